// The clipboard a process starts with depends on whether a display can be reached.
#include <gtest/gtest.h>

#include <cstdlib>

#include "XDisplayFixture.h"
#include "platform/clipboard/DefaultClipboard.h"
#include "platform/clipboard/MemoryClipboard.h"
#include "platform/clipboard/linux/X11Clipboard.h"

namespace {

class DefaultClipboardTest : public x11test::XDisplayTest {
  protected:
    void SetUp() override {
        XDisplayTest::SetUp();
        const char* display = std::getenv("DISPLAY");
        hadDisplay_ = display != nullptr;
        if (display) savedDisplay_ = display;
    }
    void TearDown() override {
        if (hadDisplay_)
            setenv("DISPLAY", savedDisplay_.c_str(), 1);
        else
            unsetenv("DISPLAY");
        XDisplayTest::TearDown();
    }
    bool hadDisplay_ = false;
    std::string savedDisplay_;
};

template <class T>
bool Is(const std::shared_ptr<platform::Clipboard>& clipboard) {
    return std::dynamic_pointer_cast<T>(clipboard) != nullptr;
}

TEST_F(DefaultClipboardTest, DisplayChoosesX11OtherwiseMemory) {
    unsetenv("DISPLAY");
    EXPECT_TRUE(Is<platform::MemoryClipboard>(platform::MakeDefaultClipboard()));
    setenv("DISPLAY", "", 1);
    EXPECT_TRUE(Is<platform::MemoryClipboard>(platform::MakeDefaultClipboard()));
    setenv("DISPLAY", ":4097", 1);  // nothing listens there
    EXPECT_TRUE(Is<platform::MemoryClipboard>(platform::MakeDefaultClipboard()));
    setenv("DISPLAY", display_.c_str(), 1);
    EXPECT_TRUE(Is<platform::X11Clipboard>(platform::MakeDefaultClipboard()));
}

TEST_F(DefaultClipboardTest, InstalledClipboardStillOverrides) {
    auto memory = std::make_shared<platform::MemoryClipboard>();
    memory->SetHtml("Version:0.9\r\n<html></html>");
    platform::SetCurrentClipboard(memory);
    EXPECT_EQ(platform::CurrentClipboard(), memory);
    platform::SetCurrentClipboard(nullptr);
    EXPECT_NE(platform::CurrentClipboard(), memory);
    EXPECT_TRUE(Is<platform::MemoryClipboard>(platform::CurrentClipboard()));
}

}  // namespace
