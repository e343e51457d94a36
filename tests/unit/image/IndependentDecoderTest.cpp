// The pictures we produce, decoded by a decoder that is not ours (PIL).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "TestImages.h"
#include "config/AppConfig.h"
#include "image/CxImage.h"
#include "image/CxMemFile.h"
#include "image/ImageEncoding.h"
#include "platform/image/ImageSize.h"

namespace {

using namespace testimages;

const std::string kCorpus = QUILLON_CORPUS_DIR "/wmz/";

std::wstring Wide(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

TEST(IndependentDecoder, ProducedPicturesDecodeWithTheExpectedSizeModeAndQuality) {
    const std::string dir = MakeTempDir();
    std::ofstream manifest(dir + "/manifest");

    for (const char* name : {"gdconv_sample.wmz", "gdviewer_sample.wmz"}) {
        const std::string out = dir + "/" + name + ".png";
        WriteFile(out, PrepareUploadImage(Wide(kCorpus + name), 600, 150).bytes.str());
        manifest << out << " 600 150 RGBA -\n";
    }
    for (const char* name : {"gdconv_sample.emz", "gdviewer_sample.emz"}) {
        const std::string out = dir + "/" + name + ".jpg";
        const std::string jpeg = PrepareUploadImage(Wide(kCorpus + name), 0, 0).bytes.str();
        WriteFile(out, jpeg);
        uint32_t w = 0, h = 0;
        ASSERT_TRUE(platform::image::ReadImagePixelSize(jpeg, w, h));
        manifest << out << " " << w << " " << h << " RGB 100\n";
    }

    const std::string dib = DibFromBitmap(Gradient(320, 200));
    AppConfig& config = AppConfig::Instance();
    const int16_t saved = config.jpegQuality;
    for (int16_t quality : {int16_t(300), int16_t(100), int16_t(75)}) {
        config.jpegQuality = quality;
        CxImage image;
        ASSERT_TRUE(image.CreateFromDib(dib.data(), dib.size()));
        CxMemFile file;
        ASSERT_TRUE(config.EncodeDibAsJpeg(file, image));
        const std::string out = dir + "/dib" + std::to_string(quality) + ".jpg";
        WriteFile(out, file.Bytes());
        manifest << out << " 320 200 RGB " << (quality & 0xFF) << "\n";
    }
    config.jpegQuality = saved;
    manifest.close();

    const std::string command = "/usr/bin/python3 " QUILLON_SOURCE_DIR
                                "/tests/unit/image/check_with_pil.py " +
                                dir + "/manifest";
    EXPECT_EQ(0, std::system(command.c_str()));
}

}  // namespace
