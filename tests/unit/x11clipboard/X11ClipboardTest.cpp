// The X11 clipboard against real owners on a private Xvfb: xclip and our test owner.
#include <gtest/gtest.h>

#include "CfHtmlTestSupport.h"
#include "XDisplayFixture.h"
#include "platform/clipboard/linux/X11Clipboard.h"
#include "platform/image/DibDecoder.h"
#include "platform/image/PngCodec.h"

namespace {

using platform::X11Clipboard;

class X11ClipboardTest : public x11test::XDisplayTest {
  protected:
    void SetUp() override {
        XDisplayTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        clipboard_.reset(new X11Clipboard(display_));
        ASSERT_TRUE(clipboard_->Connect());
        html_ = clipboard_->RegisterFormat("HTML Format");
    }

    // Which of the mapped formats the clipboard claims.
    std::string Offered() {
        std::string s;
        if (clipboard_->IsFormatAvailable(html_)) s += "html ";
        if (clipboard_->IsFormatAvailable(platform::kClipboardDib)) s += "dib ";
        if (clipboard_->IsFormatAvailable(platform::kClipboardBitmap)) s += "bitmap ";
        if (clipboard_->IsFormatAvailable(platform::kClipboardHdrop)) s += "files ";
        return s;
    }

    static std::string TestPng() {
        platform::image::Bitmap picture;
        EXPECT_TRUE(picture.Allocate(5, 4, 0xFF204060));
        picture.Row(0)[0] = 0x99;  // top-left blue, to see the row order
        std::string png;
        EXPECT_TRUE(platform::image::EncodePng(picture, png));
        return png;
    }

    std::unique_ptr<X11Clipboard> clipboard_;
    uint32_t html_ = 0;
};

TEST_F(X11ClipboardTest, EmptyClipboardOffersNothing) {
    EXPECT_EQ(Offered(), "");
    std::string bytes;
    EXPECT_FALSE(clipboard_->GetData(html_, bytes));
    std::vector<std::wstring> paths;
    EXPECT_FALSE(clipboard_->GetFileList(paths));
    platform::ClipboardBitmap bitmap;
    EXPECT_FALSE(clipboard_->GetBitmap(bitmap));
}

TEST_F(X11ClipboardTest, RegisteredNamesKeepStableNumbers) {
    const uint32_t other = clipboard_->RegisterFormat("application/x-quillon-test");
    EXPECT_GE(html_, 0xC000u);
    EXPECT_NE(other, html_);
    EXPECT_EQ(clipboard_->RegisterFormat("HTML Format"), html_);
    // A registered name that is not mapped is read as the target of that name.
    StartOwner({"application/x-quillon-test=" + TempFile("raw", std::string("r\0aw", 4))});
    std::string bytes;
    ASSERT_TRUE(clipboard_->GetData(other, bytes));
    EXPECT_EQ(bytes, std::string("r\0aw", 4));
    EXPECT_EQ(Offered(), "");
    EXPECT_FALSE(clipboard_->IsFormatAvailable(0xC000 + 77));
}

TEST_F(X11ClipboardTest, TextHtmlFromXclipIsWrappedIntoCfHtml) {
    const std::string html =
        "<html><body><p>\xE4\xBD\xA0\xE5\xA5\xBD <b>world</b></p></body></html>";
    StartXclip("text/html", TempFile("page.html", html));
    EXPECT_EQ(Offered(), "html ");
    std::string block;
    ASSERT_TRUE(clipboard_->GetData(html_, block));
    const auto parsed = x11test::ParseCfHtml(block);
    EXPECT_EQ(parsed.fragment, "<p>\xE4\xBD\xA0\xE5\xA5\xBD <b>world</b></p>");
    EXPECT_EQ(parsed.header.count("SourceURL"), 0u);
}

TEST_F(X11ClipboardTest, HtmlFormatTargetIsTakenAsItIs) {
    const std::string cfHtml =
        "Version:1.0\r\nStartHTML:000\r\nSourceURL:file:///x.doc\r\n<html>as is</html>";
    StartOwner(
        {"HTML Format=" + TempFile("cf", cfHtml), "text/html=" + TempFile("h", "<p>not this</p>")});
    std::string block;
    ASSERT_TRUE(clipboard_->GetData(html_, block));
    EXPECT_EQ(block, cfHtml);
}

TEST_F(X11ClipboardTest, SourceUrlComesFromTheOwnersAddressTarget) {
    // A browser offers the page address beside the HTML, as UTF-16.
    const std::string url("\xFF\xFEh\0t\0t\0p\0:\0/\0/\0w\0/\0d\0.\0d\0o\0c\0", 30);
    StartOwner(
        {"text/html=" + TempFile("h", "<b>x</b>"), "text/x-moz-url-priv=" + TempFile("u", url)});
    std::string block;
    ASSERT_TRUE(clipboard_->GetData(html_, block));
    const auto parsed = x11test::ParseCfHtml(block);
    EXPECT_EQ(parsed.header.at("SourceURL"), "http://w/d.doc");
    EXPECT_EQ(parsed.fragment, "<b>x</b>");
}

TEST_F(X11ClipboardTest, PngFromXclipGivesDibAndBitmap) {
    StartXclip("image/png", TempFile("shot.png", TestPng()));
    EXPECT_EQ(Offered(), "dib bitmap ");
    std::string block;
    ASSERT_TRUE(clipboard_->GetData(platform::kClipboardDib, block));
    platform::image::DibImage dib;
    ASSERT_TRUE(platform::image::DecodeDib(reinterpret_cast<const uint8_t*>(block.data()),
                                           block.size(), dib));
    EXPECT_EQ(block.compare(0, 4, std::string("\x28\0\0\0", 4)), 0);  // BITMAPINFOHEADER
    EXPECT_EQ(dib.bitmap.width, 5u);
    EXPECT_EQ(dib.bitmap.height, 4u);
    EXPECT_EQ(dib.bitmap.Row(0)[0], 0x99);
    EXPECT_EQ(dib.bitmap.Row(3)[0], 0x60);

    platform::ClipboardBitmap bitmap;
    ASSERT_TRUE(clipboard_->GetBitmap(bitmap));
    ASSERT_EQ(bitmap.width, 5u);
    ASSERT_EQ(bitmap.height, 4u);
    ASSERT_EQ(bitmap.bgra.size(), 5u * 4 * 4);
    EXPECT_EQ(bitmap.bgra[0], 0x99);  // top row first
    EXPECT_EQ(bitmap.bgra[4], 0x60);
    EXPECT_EQ(bitmap.bgra[4 + 1], 0x40);
    EXPECT_EQ(bitmap.bgra[4 + 2], 0x20);
}

TEST_F(X11ClipboardTest, BmpTargetGivesTheSamePicture) {
    // A 2x1 24-bit BMP: blue then red.
    std::string bmp(
        "BM\x3e\0\0\0\0\0\0\0\x36\0\0\0"
        "\x28\0\0\0\x02\0\0\0\x01\0\0\0\x01\0\x18\0"
        "\0\0\0\0\x08\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"
        "\xff\0\0\0\0\xff\0\0",
        62);
    StartOwner({"image/bmp=" + TempFile("p.bmp", bmp)});
    EXPECT_EQ(Offered(), "dib bitmap ");
    platform::ClipboardBitmap bitmap;
    ASSERT_TRUE(clipboard_->GetBitmap(bitmap));
    ASSERT_EQ(bitmap.bgra.size(), 8u);
    EXPECT_EQ(bitmap.bgra[0], 0xFF);
    EXPECT_EQ(bitmap.bgra[4 + 2], 0xFF);
}

TEST_F(X11ClipboardTest, UriListFromXclipGivesDecodedPaths) {
    StartXclip("text/uri-list",
               TempFile("list",
                        "# copied\r\nfile:///home/u/My%20Docs/%E5%9B%BE%201.png\r\n"
                        "https://example.com/a.png\r\nfile:///tmp/b.gif\r\n"));
    EXPECT_EQ(Offered(), "files ");
    std::vector<std::wstring> paths;
    ASSERT_TRUE(clipboard_->GetFileList(paths));
    EXPECT_EQ(paths, (std::vector<std::wstring>{L"/home/u/My Docs/\u56FE 1.png", L"/tmp/b.gif"}));
}

TEST_F(X11ClipboardTest, GnomeCopiedFilesSkipTheOperationLine) {
    StartOwner({"x-special/gnome-copied-files=" +
                TempFile("g", "copy\nfile:///srv/a%20b.jpg\nfile:///srv/c.png")});
    EXPECT_EQ(Offered(), "files ");
    std::vector<std::wstring> paths;
    ASSERT_TRUE(clipboard_->GetFileList(paths));
    EXPECT_EQ(paths, (std::vector<std::wstring>{L"/srv/a b.jpg", L"/srv/c.png"}));
}

TEST_F(X11ClipboardTest, LargeTargetsArriveWholeThroughIncr) {
    // 5 MB of HTML in 64 KB pieces.
    std::string body(5 << 20, 'x');
    const std::string html = "<html><body>" + body + "</body></html>";
    StartOwner({"--incr-above", "1000", "--chunk", "65536", "text/html=" + TempFile("big", html)});
    std::string block;
    ASSERT_TRUE(clipboard_->GetData(html_, block));
    const auto parsed = x11test::ParseCfHtml(block);
    EXPECT_EQ(parsed.fragment, body);
}

TEST_F(X11ClipboardTest, FollowsOwnerChanges) {
    StartXclip("text/html", TempFile("a.html", "<p>a</p>"));
    EXPECT_EQ(Offered(), "html ");
    StartXclip("image/png", TempFile("b.png", TestPng()));  // takes the clipboard from the first
    EXPECT_EQ(Offered(), "dib bitmap ");
}

}  // namespace
