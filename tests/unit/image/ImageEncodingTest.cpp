#include "image/ImageEncoding.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "Biz/Log.h"
#include "TestImages.h"
#include "config/AppConfig.h"
#include "image/CxImage.h"
#include "image/CxMemFile.h"
#include "platform/image/ImageSize.h"
#include "platform/image/JpegCodec.h"
#include "platform/image/Metafile.h"
#include "platform/image/PngCodec.h"

namespace {

using platform::image::Bitmap;
using namespace testimages;

const std::string kCorpus = QUILLON_CORPUS_DIR "/wmz/";

std::wstring Wide(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

Bitmap DecodePngBytes(const util::SharedBuffer& b) {
    Bitmap out;
    EXPECT_TRUE(
        platform::image::DecodePng(reinterpret_cast<const uint8_t*>(b.data.get()), b.size, out));
    return out;
}

// Every pixel opaque black or fully transparent; returns the black pixels' count and the
// number of 8 x 8 cells of the picture that hold one.
std::pair<size_t, size_t> BlackCoverage(const Bitmap& b) {
    size_t black = 0;
    std::vector<bool> cells(64, false);
    for (uint32_t y = 0; y < b.height; ++y) {
        for (uint32_t x = 0; x < b.width; ++x) {
            const uint8_t* p = b.Row(y) + x * 4;
            const bool isBlack = p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 0xFF;
            const bool isClear = p[3] == 0;
            EXPECT_TRUE(isBlack || isClear) << x << "," << y;
            if (isBlack) {
                ++black;
                cells[(y * 8 / b.height) * 8 + x * 8 / b.width] = true;
            }
        }
    }
    return {black, size_t(std::count(cells.begin(), cells.end(), true))};
}

TEST(ImageEncoding, PrepareUploadImageFollowsTheExtensionTable) {
    const std::string dir = MakeTempDir();
    const Bitmap gradient = Gradient(40, 30);
    const std::string dib = DibFromBitmap(gradient);
    WriteFile(dir + "/Scan.BMP",
              "BM" + Le32(uint32_t(14 + dib.size())) + Le32(0) + Le32(14 + 40) + dib);
    std::string png;
    ASSERT_TRUE(platform::image::EncodePng(gradient, png));
    WriteFile(dir + "/photo.PNG", png);
    WriteFile(dir + "/shot.jpeg", "\xFF\xD8\xFF not really decoded");
    WriteFile(dir + "/scan.tiff", std::string("II*\0", 4) + "tiff body");
    WriteFile(dir + "/anim.GIF", "GIF89a...");
    WriteFile(dir + "/README", "text");

    const EncodedImage bmp = PrepareUploadImage(Wide(dir + "/Scan.BMP"), 0, 0);
    EXPECT_EQ(L".jpg", bmp.extension);
    Bitmap decoded;
    ASSERT_TRUE(platform::image::DecodeJpeg(reinterpret_cast<const uint8_t*>(bmp.bytes.data.get()),
                                            bmp.bytes.size, decoded));
    EXPECT_EQ(40u, decoded.width);
    EXPECT_EQ(30u, decoded.height);
    // Identical input gives identical bytes (and so the same uploaded name).
    EXPECT_EQ(bmp.bytes.str(), PrepareUploadImage(Wide(dir + "/Scan.BMP"), 0, 0).bytes.str());

    const EncodedImage photo = PrepareUploadImage(Wide(dir + "/photo.PNG"), 0, 0);
    EXPECT_EQ(L".PNG", photo.extension);
    EXPECT_EQ(png, photo.bytes.str());
    EXPECT_EQ(ReadFile(dir + "/shot.jpeg"),
              PrepareUploadImage(Wide(dir + "/shot.jpeg"), 0, 0).bytes.str());
    EXPECT_EQ(ReadFile(dir + "/scan.tiff"),
              PrepareUploadImage(Wide(dir + "/scan.tiff"), 0, 0).bytes.str());
    const EncodedImage gif = PrepareUploadImage(Wide(dir + "/anim.GIF"), 0, 0);
    EXPECT_EQ(L".gif", gif.extension);
    EXPECT_EQ("GIF89a...", gif.bytes.str());
    EXPECT_EQ(L"", PrepareUploadImage(Wide(dir + "/README"), 0, 0).extension);

    // Missing or undecodable files give the empty result with the table's extension.
    const EncodedImage missing = PrepareUploadImage(Wide(dir + "/gone.bmp"), 0, 0);
    EXPECT_TRUE(missing.bytes.empty());
    EXPECT_EQ(L".jpg", missing.extension);
    WriteFile(dir + "/broken.bmp", "BM" + std::string(60, '\x7F'));
    EXPECT_TRUE(PrepareUploadImage(Wide(dir + "/broken.bmp"), 0, 0).bytes.empty());
}

TEST(ImageEncoding, WmzBecomesBlackOnTransparentPngOfTheAskedSize) {
    for (const char* name : {"gdconv_sample.wmz", "gdviewer_sample.wmz"}) {
        SCOPED_TRACE(name);
        const EncodedImage out = PrepareUploadImage(Wide(kCorpus + name), 200, 40);
        EXPECT_EQ(L".png", out.extension);
        const Bitmap png = DecodePngBytes(out.bytes);
        ASSERT_EQ(200u, png.width);
        ASSERT_EQ(40u, png.height);
        const auto coverage = BlackCoverage(png);
        EXPECT_GT(coverage.first, 200u);
        EXPECT_GE(coverage.second, 16u);  // the drawing spreads over the picture
    }
    EXPECT_TRUE(RenderMetafile(Wide(kCorpus + "gdconv_sample.wmz"), 0, 40).empty());
    EXPECT_TRUE(RenderMetafile(Wide(kCorpus + "gdconv_sample.wmz"), 200, -1).empty());
    EXPECT_TRUE(RenderMetafile(Wide(kCorpus + "gdconv_sample.wmz"), 100000, 100000).empty());
}

TEST(ImageEncoding, MetafileTextIsDrawn) {
    const std::string dir = MakeTempDir();
    WriteFile(dir + "/text.wmz", Gzip(MakeTextWmf("Hello")));
    WriteFile(dir + "/blank.wmz", Gzip(MakeTextWmf("")));
    const auto text =
        BlackCoverage(DecodePngBytes(RenderMetafile(Wide(dir + "/text.wmz"), 500, 100)));
    EXPECT_GT(text.first, 500u);
    const auto blank =
        BlackCoverage(DecodePngBytes(RenderMetafile(Wide(dir + "/blank.wmz"), 500, 100)));
    EXPECT_EQ(0u, blank.first);
}

TEST(ImageEncoding, EmzBecomesJpegAtTheMetafileSize) {
    for (const char* name : {"gdconv_sample.emz", "gdviewer_sample.emz"}) {
        SCOPED_TRACE(name);
        const util::SharedBuffer packed = util::SharedBuffer::FromString(ReadFile(kCorpus + name));
        const util::SharedBuffer emf = GunzipBytes(packed.data.get(), packed.size);
        uint32_t w = 0, h = 0;
        ASSERT_TRUE(platform::image::ReadImagePixelSize(emf.str(), w, h));
        const EncodedImage out = PrepareUploadImage(Wide(kCorpus + name), 0, 0);
        EXPECT_EQ(L".jpg", out.extension);
        uint32_t jw = 0, jh = 0;
        ASSERT_TRUE(platform::image::ReadImagePixelSize(out.bytes.str(), jw, jh));
        EXPECT_EQ(w, jw);
        EXPECT_EQ(h, jh);
    }
}

TEST(ImageEncoding, BadCompressedMetafilesGiveTheEmptyResult) {
    const std::string dir = MakeTempDir();
    WriteFile(dir + "/plain.wmz", ReadFile(kCorpus + "gdconv_sample.wmf"));  // not gzip
    WriteFile(dir + "/plain.emz", ReadFile(kCorpus + "gdconv_sample.emf"));
    WriteFile(dir + "/junk.wmz", Gzip(std::string(5000, 'j')));
    WriteFile(dir + "/junk.emz", Gzip("\x01\0\0\0 not an EMF"));
    std::string cut = ReadFile(kCorpus + "gdviewer_sample.wmz");
    WriteFile(dir + "/cut.wmz", cut.substr(0, cut.size() / 2));
    // A record whose size points past the end, and one of size 0 (a player could loop).
    std::string overrun = MakeTextWmf("x");
    overrun.replace(22 + 18, 4, Le32(0x7FFFFFFF));
    WriteFile(dir + "/overrun.wmz", Gzip(overrun));
    std::string stuck = MakeTextWmf("x");
    stuck.replace(22 + 18, 4, Le32(0));
    WriteFile(dir + "/stuck.wmz", Gzip(stuck));
    for (const char* name : {"plain.wmz", "junk.wmz", "cut.wmz", "overrun.wmz", "stuck.wmz"}) {
        EXPECT_TRUE(PrepareUploadImage(Wide(dir + "/" + name), 100, 50).bytes.empty()) << name;
    }
    for (const char* name : {"plain.emz", "junk.emz"}) {
        const EncodedImage out = PrepareUploadImage(Wide(dir + "/" + name), 100, 50);
        EXPECT_TRUE(out.bytes.empty()) << name;
        EXPECT_EQ(L".jpg", out.extension);
    }
}

TEST(ImageEncoding, GunzipBytesRoundTripsAndRefusesBombs) {
    const std::string text(100000, 'q');
    const std::string packed = Gzip(text);
    const util::SharedBuffer out = GunzipBytes(packed.data(), uint32_t(packed.size()));
    EXPECT_EQ(text, out.str());
    EXPECT_EQ('\0', out.data[out.size]);  // zero-terminated
    EXPECT_TRUE(GunzipBytes(packed.data(), uint32_t(packed.size() - 5)).empty());
    std::string badCrc = packed;
    badCrc[badCrc.size() - 6] ^= 1;
    EXPECT_TRUE(GunzipBytes(badCrc.data(), uint32_t(badCrc.size())).empty());
    EXPECT_TRUE(GunzipBytes("plain", 5).empty());

    const std::string bomb = Gzip(std::string(kMaxGunzipBytes + (1u << 20), '\0'));
    EXPECT_LT(bomb.size(), 200000u);
    EXPECT_TRUE(GunzipBytes(bomb.data(), uint32_t(bomb.size())).empty());
}

TEST(ImageEncoding, KeepBlackPixelsClearsEverythingButBlack) {
    ImagePtr image(new Bitmap);
    image->Allocate(3, 1);
    const uint8_t pixels[12] = {0, 0, 0, 0x80, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    image->bgra.assign(pixels, pixels + 12);
    const ImagePtr out = KeepBlackPixels(image);
    ASSERT_TRUE(out);
    EXPECT_NE(out.get(), image.get());
    const std::vector<uint8_t> expected = {0, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(expected, out->bgra);
    EXPECT_FALSE(KeepBlackPixels(ImagePtr()));
}

TEST(ImageEncoding, DibJpegUsesTheLowEightBitsOfTheConfiguredQuality) {
    const Bitmap gradient = Gradient(64, 48);
    const std::string dib = DibFromBitmap(gradient);
    AppConfig& config = AppConfig::Instance();
    const int16_t saved = config.jpegQuality;
    for (int16_t configured : {int16_t(300), int16_t(100)}) {
        config.jpegQuality = configured;
        CxImage image;
        ASSERT_TRUE(image.CreateFromDib(dib.data(), dib.size()));
        CxMemFile file;
        ASSERT_TRUE(config.EncodeDibAsJpeg(file, image));
        const int expected = configured == 300 ? 44 : 100;
        EXPECT_EQ(expected, image.GetJpegQuality());
        EXPECT_EQ(24, image.GetBpp());
        std::string direct;
        ASSERT_TRUE(platform::image::EncodeJpeg(gradient, expected, false, direct));
        EXPECT_EQ(direct, file.Bytes());
    }
    config.jpegQuality = saved;

    // A grey palette stays 8 bits and gives a one-component JPEG.
    DibLayout grey;
    grey.width = 8;
    grey.height = 8;
    grey.bitCount = 8;
    for (uint32_t i = 0; i < 256; ++i) grey.palette.push_back(i * 0x010101u);
    for (int i = 0; i < 64; ++i) grey.pixels += char(i * 4);
    const std::string greyDib = MakeDib(grey);
    CxImage image;
    ASSERT_TRUE(image.CreateFromDib(greyDib.data(), greyDib.size()));
    EXPECT_TRUE(image.IsGrayScale());
    CxMemFile file;
    file.Open();
    file.Write("prefix", 6);  // an open file keeps its content
    ASSERT_TRUE(AppConfig::Instance().EncodeDibAsJpeg(file, image));
    EXPECT_EQ(8, image.GetBpp());
    const std::string jpeg = file.Bytes().substr(6);
    EXPECT_EQ("prefix", file.Bytes().substr(0, 6));
    const size_t sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(std::string::npos, sof);
    EXPECT_EQ(1, jpeg[sof + 9]);  // component count

    CxImage invalid;
    EXPECT_FALSE(invalid.CreateFromDib("junk", 4));
    EXPECT_FALSE(invalid.IsValid());
    EXPECT_FALSE(AppConfig::Instance().EncodeDibAsJpeg(file, invalid));
}

TEST(ImageEncoding, CodecsRoundTripAndRefuseCutData) {
    Bitmap alpha = Gradient(33, 17);
    alpha.bgra[3] = 0;
    alpha.bgra[7] = 0x40;
    std::string png;
    ASSERT_TRUE(platform::image::EncodePng(alpha, png));
    Bitmap back;
    ASSERT_TRUE(
        platform::image::DecodePng(reinterpret_cast<const uint8_t*>(png.data()), png.size(), back));
    EXPECT_EQ(alpha.bgra, back.bgra);

    std::string jpeg;
    ASSERT_TRUE(platform::image::EncodeJpeg(alpha, 100, false, jpeg));
    ASSERT_TRUE(platform::image::DecodeJpeg(reinterpret_cast<const uint8_t*>(jpeg.data()),
                                            jpeg.size(), back));
    EXPECT_EQ(33u, back.width);
    EXPECT_NEAR(alpha.bgra[4 * 200 + 1], back.bgra[4 * 200 + 1], 8);

    for (const std::string* data : {&png, &jpeg}) {
        const ImagePtr cut = LoadImageFromBytes(data->data(), uint32_t(data->size() / 2));
        EXPECT_FALSE(cut);
    }
    EXPECT_TRUE(LoadImageFromBytes(png.data(), uint32_t(png.size())));
    EXPECT_FALSE(LoadImageFromBytes("GIF89a", 6));  // recognised, but not decoded here
}

// The renderer process's failure is logged by the image layer under the renderer's source name.
TEST(ImageEncodingTest, AMetafileRendererFailureIsLoggedWithItsReason) {
    const std::string log = ::testing::TempDir() + "quillon_metafile_failure_log.txt";
    const char* renderer = std::getenv("QUILLON_METAFILE_RENDERER");
    const std::string saved = renderer ? renderer : "";
    setenv("QUILLON_METAFILE_RENDERER", "/nonexistent/npquillon-metafile", 1);
    Log::Instance().ResetForTesting();
    Log::Instance().Start(true, log);
    const std::string wmf = MakeTextWmf("Hello");
    EXPECT_FALSE(LoadImageFromBytes(wmf.data(), uint32_t(wmf.size())));
    Log::Instance().ResetForTesting();
    setenv("QUILLON_METAFILE_RENDERER", saved.c_str(), 1);
    EXPECT_NE(
        std::string::npos,
        ReadFile(log).find("metafile renderer: the renderer program is missing or not "
                           "executable; the picture is empty [platform\\image\\MetafileChild:"));
    std::remove(log.c_str());
}

}  // namespace
