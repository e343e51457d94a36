#include <gtest/gtest.h>

#include <json/writer.h>

#include <cstring>

#include "events/EventText.h"
#include "events/PageEvents.h"

namespace {

TEST(EventText, ProgressEventMembersInKeyOrderWithALineFeed) {
    Json::Value e;
    e["name"] = "Parser_PostProcess";
    e["time"] = "00:00:06";
    e["len"] = "16384";
    e["percent"] = "25%";
    e["speed"] = "8192";
    EXPECT_EQ(WriteEventText(e),
              "{\"len\":\"16384\",\"name\":\"Parser_PostProcess\",\"percent\":\"25%\","
              "\"speed\":\"8192\",\"time\":\"00:00:06\"}\n");
}

TEST(EventText, EscapesQuoteBackslashAndControlBytesButCopiesUtf8) {
    Json::Value e;
    e["name"] = "File_PostComplete";
    e["id"] = 3;
    e["value"] = "say \"hi\"\nC:\\x\t\x01\x1f \xE5\x9B\xBE\x7f";
    EXPECT_EQ(WriteEventText(e),
              "{\"id\":3,\"name\":\"File_PostComplete\",\"value\":"
              "\"say \\\"hi\\\"\\nC:\\\\x\\t\\u0001\\u001F \xE5\x9B\xBE\x7f\"}\n");
}

TEST(EventText, ArraysOfObjectsAndUnsignedNumbers) {
    Json::Value e;
    e["name"] = "Parser_PasteFiles";
    Json::Value img;
    img["src"] = "C:\\a\\b.JPG";
    img["name"] = "b.JPG";
    img["ext"] = "JPG";
    e["imgs"].append(img);
    Json::Value err;
    err["value"] = Json::UInt(4294967295u);
    EXPECT_EQ(WriteEventText(e),
              "{\"imgs\":[{\"ext\":\"JPG\",\"name\":\"b.JPG\",\"src\":\"C:\\\\a\\\\b.JPG\"}],"
              "\"name\":\"Parser_PasteFiles\"}\n");
    EXPECT_EQ(WriteEventText(err), "{\"value\":4294967295}\n");
}

TEST(EventText, AgreesWithTheLibraryWriterOnPlainAsciiAndDiffersWhereItEscapesUtf8) {
    Json::Value e;
    e["name"] = "Parser_PostError";
    e["value"] = 2u;
    e["id"] = -1;
    Json::FastWriter writer;
    EXPECT_EQ(WriteEventText(e), writer.write(e));
    // The library escapes non-ASCII text; page code expects the UTF-8 bytes themselves.
    Json::Value u;
    u["word"] = "\xE5\x9B\xBE";
    EXPECT_NE(writer.write(u), WriteEventText(u));
    EXPECT_EQ(WriteEventText(u), "{\"word\":\"\xE5\x9B\xBE\"}\n");
}

TEST(EventText, PasteImageTextIsFixed) {
    EXPECT_STREQ(kPasteImageEventText, "{\"name\":\"Parser_PasteImage\"}");
    EXPECT_EQ(std::strlen(kPasteImageEventText), 28u);
}

}  // namespace
