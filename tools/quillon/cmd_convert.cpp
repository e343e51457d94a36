// quillon convert: runs the paste command's Word/Excel path on a file and prints its event.
#include <cstdio>
#include <memory>

#include "Office/CfHtml.h"
#include "Office/WordConverter.h"
#include "events/EventText.h"
#include "events/PageEvents.h"
#include "platform/clipboard/MemoryClipboard.h"
#include "platform/kernel/FileSystem.h"
#include "platform/kernel/Text.h"
#include "tools/quillon/Command.h"

namespace {

// The whole file in one buffer of its size (no zero-filled buffer copied once more).
bool ReadFileBytes(const std::string& path, std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    const int64_t size = platform::SizeOfOpenFile(file);
    bool ok = size >= 0;
    if (ok) {
        bytes.resize(static_cast<size_t>(size));
        ok = size == 0 || std::fread(&bytes[0], 1, bytes.size(), file) == bytes.size();
    }
    std::fclose(file);
    return ok;
}

int Run(const std::vector<std::string>& args) {
    std::string path;
    bool wrap = false;
    bool excel = false;
    bool htmlOnly = false;
    for (const std::string& arg : args) {
        if (arg == "--wrap") {
            wrap = true;
        } else if (arg == "--excel") {
            excel = true;
        } else if (arg == "--html") {
            htmlOnly = true;
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "quillon convert: unknown option '%s'\n", arg.c_str());
            return 2;
        } else if (path.empty()) {
            path = arg;
        } else {
            std::fprintf(stderr, "quillon convert: more than one file given\n");
            return 2;
        }
    }
    if (path.empty()) {
        std::fprintf(stderr, "usage: quillon convert FILE [--wrap] [--excel] [--html]\n");
        return 2;
    }
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) {
        std::fprintf(stderr, "quillon convert: cannot read '%s'\n", path.c_str());
        return 1;
    }
    if (wrap) {
        bytes = WrapCfHtml(bytes, excel ? "file:///C:/Users/quillon/Documents/Book1.xlsx"
                                        : "file:///C:/Users/quillon/Documents/Document1.docx");
    }
    auto clipboard = std::make_shared<platform::MemoryClipboard>();
    clipboard->SetHtml(std::move(bytes));
    platform::SetCurrentClipboard(clipboard);

    WordConverter converter;
    if (!converter.HasHtml()) {
        std::fprintf(stderr, "quillon convert: no HTML to convert\n");
        return 1;
    }
    // As the paste command does: the clipboard read once, the event text written at its size.
    const bool isExcel = converter.ConvertClipboard();
    if (htmlOnly) {
        std::fwrite(converter.Text().data(), 1, converter.Text().size(), stdout);
        std::fputc('\n', stdout);
    } else {
        const std::string out = PasteWordEventText(converter, isExcel);
        std::fwrite(out.data(), 1, out.size(), stdout);
    }
    return 0;
}

Command cmd("convert",
            "convert FILE [--wrap] [--excel] [--html] - convert clipboard HTML as Paste does "
            "and print its event",
            &Run);

}  // namespace
