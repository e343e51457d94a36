// The paste event's text written straight from the conversion is the same bytes as the event
// object written the general way, for every document of the corpus.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "Office/CfHtml.h"
#include "TestFiles.h"
#include "events/EventText.h"
#include "events/PageEvents.h"
#include "platform/clipboard/MemoryClipboard.h"

namespace {

TEST(PasteEventText, WrittenDirectlyItIsTheGeneralWritersBytes) {
    auto clipboard = std::make_shared<platform::MemoryClipboard>();
    platform::SetCurrentClipboard(clipboard);
    size_t documents = 0, pictures = 0;
    for (const char* kind : {"word", "excel"}) {
        const std::string folder = std::string(QUILLON_CORPUS_DIR) + "/" + kind;
        for (const auto& file : std::filesystem::directory_iterator(folder)) {
            if (file.path().extension() != ".html") continue;
            const bool excel = std::string(kind) == "excel";
            clipboard->SetHtml(WrapCfHtml(testfiles::ReadFile(file.path().string()),
                                          excel ? "file:///C:/b.xlsx" : "file:///C:/d.docx"));
            WordConverter converter;
            const std::string general = WriteEventText(PasteWordEvent(converter));
            EXPECT_EQ(PasteWordEventText(converter, excel), general) << file.path();
            ++documents;
            pictures += converter.Images().size();
        }
    }
    EXPECT_GT(documents, 20u);
    EXPECT_GT(pictures, 20u) << "the corpus exercises the picture list";

    // Escapes and ill-formed UTF-8 in a picture's address and in the text itself.
    clipboard->SetHtml(
        WrapCfHtml("<html><body><!--StartFragment--><p>\"q\"\\\t\x01\xC3</p>"
                   "<img src=\"file:///C:/a%20\xFF"
                   "b\\.png\" width=3 height=4 alt=\"\x02\"><!--EndFragment-->"
                   "</body></html>",
                   "file:///C:/d.docx"));
    WordConverter converter;
    const std::string general = WriteEventText(PasteWordEvent(converter));
    EXPECT_EQ(PasteWordEventText(converter, false), general);
    EXPECT_NE(general.find("\"imgs\":[{"), std::string::npos) << general;
    platform::SetCurrentClipboard(nullptr);
}

}  // namespace
