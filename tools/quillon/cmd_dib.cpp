// quillon dib: a CF_DIB block (or a BMP file) through the device-independent bitmap path.
#include <cstdio>
#include <string>

#include "config/AppConfig.h"
#include "image/CxImage.h"
#include "image/CxMemFile.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Text.h"
#include "tools/quillon/Command.h"
#include "util/Numbers.h"

namespace {

const size_t kFileHeaderSize = 14;

int Usage() {
    std::fprintf(stderr, "usage: quillon dib FILE.dib [--quality Q] -o OUT.jpg\n");
    return 2;
}

int Run(const std::vector<std::string>& args) {
    std::string input, output;
    bool qualityGiven = false;
    int quality = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--quality" && hasValue) {
            quality = util::StringToInt(args[++i]);
            qualityGiven = true;
        } else if (a == "-o" && hasValue) {
            output = args[++i];
        } else if (input.empty() && !a.empty() && a[0] != '-') {
            input = a;
        } else {
            return Usage();
        }
    }
    if (input.empty() || output.empty()) return Usage();
    const util::SharedBuffer file = util::ReadWholeFile(util::Utf8ToWide(input));
    if (!file.data) {
        std::fprintf(stderr, "quillon dib: cannot read %s\n", input.c_str());
        return 1;
    }
    // A BMP file is a DIB block behind a 14-byte file header.
    const char* block = file.data.get();
    size_t size = file.size;
    if (size >= kFileHeaderSize && block[0] == 'B' && block[1] == 'M') {
        block += kFileHeaderSize;
        size -= kFileHeaderSize;
    }
    CxImage image;
    if (!image.CreateFromDib(block, size)) {
        std::fprintf(stderr, "quillon dib: %s is not a readable device-independent bitmap\n",
                     input.c_str());
        return 1;
    }
    AppConfig& config = AppConfig::Instance();
    if (qualityGiven) config.jpegQuality = static_cast<int16_t>(quality);
    CxMemFile memory;
    if (!config.EncodeDibAsJpeg(memory, image)) {
        std::fprintf(stderr, "quillon dib: encoding failed\n");
        return 1;
    }
    if (!util::WriteWholeFile(util::Utf8ToWide(output), memory.Bytes())) {
        std::fprintf(stderr, "quillon dib: cannot write %s\n", output.c_str());
        return 1;
    }
    std::printf("%ux%u %u-bit, quality %u, %zu bytes\n", image.GetWidth(), image.GetHeight(),
                unsigned(image.GetBpp()), unsigned(image.GetJpegQuality()), memory.Size());
    return 0;
}

Command cmd("dib", "dib FILE.dib [--quality Q] -o OUT.jpg - a device-independent bitmap to JPEG",
            &Run);

}  // namespace
