// Owners that stall, answer garbage or send too much: every read ends within its bounds with
// "not available", and a good owner afterwards is read normally.
#include <gtest/gtest.h>

#include <chrono>

#include "XDisplayFixture.h"
#include "platform/clipboard/linux/X11Clipboard.h"

namespace {

using platform::X11Clipboard;
using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class BadOwnerTest : public x11test::XDisplayTest {
  protected:
    void Open(const platform::X11ClipboardLimits& limits) {
        clipboard_.reset(new X11Clipboard(display_, limits));
        ASSERT_TRUE(clipboard_->Connect());
        html_ = clipboard_->RegisterFormat("HTML Format");
    }
    static platform::X11ClipboardLimits Short() {
        platform::X11ClipboardLimits limits;
        limits.replyTimeoutMs = 300;
        limits.transferTimeoutMs = 3000;
        return limits;
    }

    std::unique_ptr<X11Clipboard> clipboard_;
    uint32_t html_ = 0;
};

TEST_F(BadOwnerTest, SilentOwnerCostsOneDefaultTimeoutThenAnswersAtOnce) {
    Open(platform::X11ClipboardLimits());
    StartOwner({"--stall", "text/html=" + TempFile("h", "<p>x</p>")});
    auto start = Clock::now();
    EXPECT_FALSE(clipboard_->IsFormatAvailable(html_));
    const int64_t first = MsSince(start);
    EXPECT_GE(first, 1900);
    EXPECT_LT(first, 3500);
    // The rest of one paste (the other formats, a read) does not wait for it again.
    start = Clock::now();
    EXPECT_FALSE(clipboard_->IsFormatAvailable(platform::kClipboardDib));
    EXPECT_FALSE(clipboard_->IsFormatAvailable(platform::kClipboardHdrop));
    std::string bytes;
    EXPECT_FALSE(clipboard_->GetData(html_, bytes));
    EXPECT_LT(MsSince(start), 500);
}

TEST_F(BadOwnerTest, OwnerThatNeverSendsDataIsBounded) {
    Open(Short());
    StartOwner({"--stall-data", "text/html=" + TempFile("h", "<p>x</p>"),
                "image/png=" + TempFile("p", "png")});
    EXPECT_TRUE(clipboard_->IsFormatAvailable(html_));
    const auto start = Clock::now();
    std::string bytes;
    EXPECT_FALSE(clipboard_->GetData(html_, bytes));
    platform::ClipboardBitmap bitmap;
    EXPECT_FALSE(clipboard_->GetBitmap(bitmap));
    EXPECT_LT(MsSince(start), 1500);
    EXPECT_TRUE(bytes.empty());
}

TEST_F(BadOwnerTest, IncrTransferThatNeverStartsIsBounded) {
    Open(Short());
    StartOwner({"--incr-stall", "text/uri-list=" + TempFile("u", "file:///a.png\n")});
    EXPECT_TRUE(clipboard_->IsFormatAvailable(platform::kClipboardHdrop));
    const auto start = Clock::now();
    std::vector<std::wstring> paths;
    EXPECT_FALSE(clipboard_->GetFileList(paths));
    EXPECT_LT(MsSince(start), 1500);
    EXPECT_TRUE(paths.empty());
}

TEST_F(BadOwnerTest, GarbageAnswersGiveNothing) {
    Open(Short());
    {
        StartOwner({"--garbage-targets", "text/html=" + TempFile("h", "<p>x</p>")});
        EXPECT_FALSE(clipboard_->IsFormatAvailable(html_));
        std::string bytes;
        EXPECT_FALSE(clipboard_->GetData(html_, bytes));
    }
    StopOwners();
    Open(Short());
    {
        // Says the data is there but never writes it.
        StartOwner({"--no-property", "text/html=" + TempFile("h", "<p>x</p>")});
        const auto start = Clock::now();
        std::string bytes;
        EXPECT_FALSE(clipboard_->GetData(html_, bytes));
        EXPECT_LT(MsSince(start), 250);
    }
    StopOwners();
    Open(Short());
    {
        // Image and file-list targets whose bytes are not what they claim.
        const std::string junk = TempFile("junk", std::string("\x89PNG\r\n\x1a\n\0\0\xff\xff", 12));
        StartOwner({"image/png=" + junk, "image/bmp=" + junk, "text/uri-list=" + junk});
        EXPECT_TRUE(clipboard_->IsFormatAvailable(platform::kClipboardDib));
        std::string block;
        EXPECT_FALSE(clipboard_->GetData(platform::kClipboardDib, block));
        platform::ClipboardBitmap bitmap;
        EXPECT_FALSE(clipboard_->GetBitmap(bitmap));
        std::vector<std::wstring> paths;
        EXPECT_FALSE(clipboard_->GetFileList(paths));
    }
}

TEST_F(BadOwnerTest, HundredMegabytesStopAtTheSizeCap) {
    // Time enough to take all of it: only the default 64 MB cap stops the transfer.
    platform::X11ClipboardLimits patient;
    patient.transferTimeoutMs = 120000;
    Open(patient);
    StartOwner({"--incr-above", "1000", "--chunk", "1048576", "text/html=@repeat:104857600"});
    std::string bytes;
    EXPECT_FALSE(clipboard_->GetData(html_, bytes));
    EXPECT_TRUE(bytes.empty());
    // The cap counts the target's own bytes, in one property or across INCR pieces.
    StopOwners();
    platform::X11ClipboardLimits small = Short();
    small.maxBytes = 1000;
    Open(small);
    const uint32_t raw = clipboard_->RegisterFormat("application/x-quillon-test");
    const std::vector<std::vector<std::string>> incrOrNot = {
        {}, {"--incr-above", "10", "--chunk", "64"}};
    for (std::vector<std::string> args : incrOrNot) {
        args.push_back("application/x-quillon-test=@repeat:1001");
        StartOwner(args);
        EXPECT_FALSE(clipboard_->GetData(raw, bytes));
        args.back() = "application/x-quillon-test=@repeat:1000";
        StartOwner(args);
        EXPECT_TRUE(clipboard_->GetData(raw, bytes));
        EXPECT_EQ(bytes.size(), 1000u);
    }
}

TEST_F(BadOwnerTest, GoodOwnerAfterASilentOneIsRead) {
    Open(Short());
    StartOwner({"--stall", "text/html=" + TempFile("h", "<p>x</p>")});
    EXPECT_FALSE(clipboard_->IsFormatAvailable(html_));
    StartOwner({"text/html=" + TempFile("g", "<p>good</p>")});
    std::string bytes;
    ASSERT_TRUE(clipboard_->GetData(html_, bytes));
    EXPECT_NE(bytes.find("<!--StartFragment--><p>good</p><!--EndFragment-->"), std::string::npos);
}

}  // namespace
