// The pure conversions behind the X11 clipboard: CF_HTML wrapping, clipboard text decoding,
// file lists and the device-independent bitmap block.
#include <gtest/gtest.h>

#include "CfHtmlTestSupport.h"
#include "platform/clipboard/CfHtmlHeader.h"
#include "platform/clipboard/ClipboardPicture.h"
#include "platform/clipboard/ClipboardText.h"
#include "platform/clipboard/linux/UriList.h"
#include "platform/image/DibDecoder.h"
#include "platform/image/PngCodec.h"

using platform::WrapCfHtml;
using x11test::ParseCfHtml;

TEST(CfHtmlWrap, MarksTheBodyContentAndCountsBytes) {
    // Multi-byte text before the fragment: the offsets are byte offsets.
    const std::string html =
        "<html><head><title>\xE6\xA0\x87\xE9\xA2\x98</title></head>"
        "<BODY class=\"x\"><p>\xC3\xA9t\xC3\xA9 <b>bold</b></p></BODY></html>";
    const std::string block = WrapCfHtml(html, "");
    EXPECT_EQ(block.compare(0, 13, "Version:0.9\r\n"), 0);
    const auto parsed = ParseCfHtml(block);
    EXPECT_EQ(parsed.fragment, "<p>\xC3\xA9t\xC3\xA9 <b>bold</b></p>");
    EXPECT_EQ(parsed.header.count("SourceURL"), 0u);
    EXPECT_NE(parsed.document.find("<BODY class=\"x\"><!--StartFragment--><p>"), std::string::npos);
    EXPECT_NE(parsed.document.find("</p><!--EndFragment--></BODY></html>"), std::string::npos);
}

TEST(CfHtmlWrap, KeepsExistingMarkersAndAddsSourceUrl) {
    const std::string html =
        "<html><body>before<!--StartFragment--><i>copied</i><!--EndFragment-->after</body></html>";
    const std::string block = WrapCfHtml(html, "file:///home/u/report.docx\r\nInjected:1");
    const auto parsed = ParseCfHtml(block);
    EXPECT_EQ(parsed.document, html);
    EXPECT_EQ(parsed.fragment, "<i>copied</i>");
    EXPECT_EQ(parsed.header.at("SourceURL"), "file:///home/u/report.docx");
    EXPECT_EQ(parsed.header.count("Injected"), 0u);
}

TEST(CfHtmlWrap, GivesABodyToAPieceWithoutOne) {
    for (const std::string& html : {std::string("<b>just</b> a piece"), std::string()}) {
        const auto parsed = ParseCfHtml(WrapCfHtml(html, ""));
        EXPECT_EQ(parsed.fragment, html);
        EXPECT_EQ(parsed.document.compare(0, 12, "<html><body>"), 0);
    }
    // A body that is never closed: the fragment runs to the end.
    const auto parsed = ParseCfHtml(WrapCfHtml("<body><p>open", ""));
    EXPECT_EQ(parsed.fragment, "<p>open");
}

TEST(ClipboardText, DecodesUtf16AndDropsMarksAndNuls) {
    const std::string le("\xFF\xFE<\0p\0>\0\xE9\0=\xD8\x00\xDE\0\0", 16);  // "<p>é😀" + NUL
    EXPECT_EQ(platform::ClipboardTextToUtf8(le), "<p>\xC3\xA9\xF0\x9F\x98\x80");
    const std::string noMark("h\0t\0t\0p\0:\0/\0/\0a\0", 16);
    EXPECT_EQ(platform::ClipboardTextToUtf8(noMark), "http://a");
    const std::string be("\xFE\xFF\0a\xD8\x00", 6);  // lone high surrogate at the end
    EXPECT_EQ(platform::ClipboardTextToUtf8(be), "a\xEF\xBF\xBD");
    EXPECT_EQ(platform::ClipboardTextToUtf8(std::string("\xEF\xBB\xBFok\0junk", 9)), "ok");
    EXPECT_EQ(platform::FirstLineOfText("  https://x/page.html \r\nTitle of page\n"),
              "https://x/page.html");
    EXPECT_EQ(platform::FirstLineOfText(std::string("\xFF\xFE"
                                                    "f\0:\0\n\0t\0",
                                                    10)),
              "f:");
}

TEST(UriList, DecodesLocalFilesInOrderAndSkipsTheRest) {
    const std::string list =
        "# a comment\r\n"
        "file:///home/u/My%20Pictures/a+b.PNG\r\n"
        "http://example.com/x.png\r\n"
        "file://localhost/tmp/%E5%9B%BE%E7%89%87.jpg\r\n"
        "file://otherhost/share/c.png\r\n"
        "file:///tmp/bad%00name.png\r\n"
        "file:///tmp/not-utf8-%FF.png\r\n"
        "FILE:///tmp/last%2\r\n";
    const auto paths = platform::FilePathsFromUriList(list, false);
    ASSERT_EQ(paths.size(), 3u);
    EXPECT_EQ(paths[0], L"/home/u/My Pictures/a+b.PNG");
    EXPECT_EQ(paths[1], L"/tmp/\u56FE\u7247.jpg");
    EXPECT_EQ(paths[2], L"/tmp/last%2");
}

TEST(UriList, GnomeListSkipsOnlyItsLeadingOperation) {
    const auto cut = platform::FilePathsFromUriList("cut\nfile:///a/x.png\nfile:///a/y.gif", true);
    EXPECT_EQ(cut, (std::vector<std::wstring>{L"/a/x.png", L"/a/y.gif"}));
    EXPECT_EQ(platform::FilePathsFromUriList("copy\n", true).size(), 0u);
    EXPECT_EQ(platform::FilePathsFromUriList("", false).size(), 0u);
}

TEST(ClipboardPicture, DibBlockRoundTripsAndFlattensAlphaOnWhite) {
    platform::image::Bitmap source;
    ASSERT_TRUE(source.Allocate(3, 2, 0xFF102030));
    source.Row(0)[0] = 0x40;       // top-left blue
    source.Row(1)[2 * 4 + 3] = 0;  // bottom-right fully transparent
    std::string png;
    ASSERT_TRUE(platform::image::EncodePng(source, png));
    platform::image::Bitmap decoded;
    ASSERT_TRUE(platform::DecodeClipboardPicture("image/png", png, decoded));
    const std::string block = platform::MakeDibBlock(decoded);
    EXPECT_EQ(block.size(), 40u + 2 * 12);  // 9 bytes a row padded to 12
    platform::image::DibImage dib;
    ASSERT_TRUE(platform::image::DecodeDib(reinterpret_cast<const uint8_t*>(block.data()),
                                           block.size(), dib));
    EXPECT_EQ(dib.bitCount, 24);
    ASSERT_EQ(dib.bitmap.width, 3u);
    ASSERT_EQ(dib.bitmap.height, 2u);
    EXPECT_EQ(dib.bitmap.Row(0)[0], 0x40);
    EXPECT_EQ(dib.bitmap.Row(0)[4], 0x30);
    EXPECT_EQ(dib.bitmap.Row(1)[4 + 2], 0x10);
    EXPECT_EQ(dib.bitmap.Row(1)[8], 0xFF);  // transparent pixel became white
    EXPECT_EQ(dib.bitmap.Row(1)[8 + 3], 0xFF);

    platform::image::Bitmap garbage;
    EXPECT_FALSE(
        platform::DecodeClipboardPicture("image/png", "\x89PNG\r\n\x1a\nrubbish", garbage));
    EXPECT_FALSE(platform::DecodeClipboardPicture("image/bmp", "BM", garbage));
    EXPECT_TRUE(garbage.empty());
}
