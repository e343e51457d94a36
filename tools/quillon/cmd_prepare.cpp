// quillon prepare: the bytes and extension an upload of a local file would send.
#include <cstdio>
#include <string>

#include "image/ImageEncoding.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Text.h"
#include "tools/quillon/Command.h"
#include "util/Numbers.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: quillon prepare FILE [--width W --height H] [-o OUT]\n");
    return 2;
}

int Run(const std::vector<std::string>& args) {
    std::string input, output;
    int32_t width = 0, height = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--width" && hasValue) {
            width = util::StringToInt(args[++i]);
        } else if (a == "--height" && hasValue) {
            height = util::StringToInt(args[++i]);
        } else if (a == "-o" && hasValue) {
            output = args[++i];
        } else if (input.empty() && !a.empty() && a[0] != '-') {
            input = a;
        } else {
            return Usage();
        }
    }
    if (input.empty()) return Usage();
    const std::wstring path = util::Utf8ToWide(input);
    if (!util::ReadWholeFile(path).data) {
        std::fprintf(stderr, "quillon prepare: cannot read %s\n", input.c_str());
        return 1;
    }
    const EncodedImage prepared = PrepareUploadImage(path, width, height);
    if (!output.empty() && !util::WriteWholeFile(util::Utf8ToWide(output), prepared.bytes.str())) {
        std::fprintf(stderr, "quillon prepare: cannot write %s\n", output.c_str());
        return 1;
    }
    std::printf("%s\n", util::WideToUtf8(prepared.extension).c_str());
    if (prepared.bytes.empty()) {
        std::fprintf(stderr, "quillon prepare: %s gives no bytes (it would upload as 0 bytes)\n",
                     input.c_str());
        return 3;
    }
    return 0;
}

Command cmd("prepare", "prepare FILE [--width W --height H] [-o OUT] - the bytes an upload sends",
            &Run);

}  // namespace
