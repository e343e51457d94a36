// quillon convert: runs the paste command's Word/Excel path on a file and prints its event.
#include <cstdio>
#include <memory>

#include "Office/CfHtml.h"
#include "Office/WordConverter.h"
#include "events/EventText.h"
#include "events/PageEvents.h"
#include "platform/clipboard/MemoryClipboard.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Text.h"
#include "tools/quillon/Command.h"

namespace {

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
    std::FILE* probe = std::fopen(path.c_str(), "rb");
    if (!probe) {
        std::fprintf(stderr, "quillon convert: cannot read '%s'\n", path.c_str());
        return 1;
    }
    std::fclose(probe);
    const util::SharedBuffer file = util::ReadWholeFile(util::Utf8ToWide(path));
    std::string bytes = file.data ? std::string(file.data.get(), file.size) : std::string();
    if (wrap) {
        bytes = WrapCfHtml(bytes, excel ? "file:///C:/Users/quillon/Documents/Book1.xlsx"
                                        : "file:///C:/Users/quillon/Documents/Document1.docx");
    }
    auto clipboard = std::make_shared<platform::MemoryClipboard>();
    clipboard->SetHtml(bytes);
    platform::SetCurrentClipboard(clipboard);

    WordConverter converter;
    if (!converter.HasHtml()) {
        std::fprintf(stderr, "quillon convert: no HTML to convert\n");
        return 1;
    }
    const Json::Value event = PasteWordEvent(converter);
    const std::string out = htmlOnly ? event["word"].asString() + "\n" : WriteEventText(event);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

Command cmd("convert",
            "convert FILE [--wrap] [--excel] [--html] - convert clipboard HTML as Paste does "
            "and print its event",
            &Run);

}  // namespace
