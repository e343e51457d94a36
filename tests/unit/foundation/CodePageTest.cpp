#include <gtest/gtest.h>

#include "platform/kernel/CodePage.h"
#include "platform/kernel/Text.h"

namespace {

class AnsiCodePage : public ::testing::Test {
  protected:
    void SetUp() override { platform::SetAnsiCodePage("GBK"); }
    void TearDown() override { platform::SetAnsiCodePage(""); }
};

TEST_F(AnsiCodePage, GbkRoundTripsChineseAndStopsAtNul) {
    const std::wstring wide = L"图片上传";
    const std::string gbk = util::WideToAnsi(wide);
    EXPECT_EQ(gbk, "\xCD\xBC\xC6\xAC\xC9\xCF\xB4\xAB");
    EXPECT_EQ(util::AnsiToWide(gbk), wide);
    EXPECT_EQ(util::AnsiToWide(std::string("ab\0cd", 5)), L"ab");
    EXPECT_EQ(util::WideToAnsi(std::wstring(L"ab\0cd", 5)), "ab");
    EXPECT_EQ(util::AnsiToUtf8(gbk), u8"图片上传");
    EXPECT_EQ(util::Utf8ToAnsi(u8"图片上传"), gbk);
}

TEST_F(AnsiCodePage, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    EXPECT_EQ(util::WideToAnsi(L"a\x0E01"
                               L"b"),
              "a?b");  // Thai letter: not in GBK
    // A lone lead byte at the end cannot be decoded.
    EXPECT_EQ(util::AnsiToWide("a\xCD"), L"a\xFFFD");
}

TEST(Utf8, IllFormedSequencesBecomeReplacementCharacters) {
    EXPECT_EQ(util::NormalizeUtf8("ok \xC3\xA9"), "ok \xC3\xA9");
    EXPECT_EQ(util::NormalizeUtf8("a\xFF"
                                  "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(util::NormalizeUtf8("\xE4\xB8"), "\xEF\xBF\xBD");  // truncated
    EXPECT_EQ(util::NormalizeUtf8("\xED\xA0\x80"),
              "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");                       // surrogate
    EXPECT_EQ(util::NormalizeUtf8("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");  // overlong
    EXPECT_EQ(util::NormalizeUtf8(std::string("x\0y", 3)), "x");
    EXPECT_EQ(util::NormalizeUtf8(""), "");
    EXPECT_EQ(util::Utf8ToWide("\xF0\x9F\x98\x80"), std::wstring(1, static_cast<wchar_t>(0x1F600)));
    EXPECT_EQ(util::WideToUtf8(std::wstring(1, static_cast<wchar_t>(0x1F600))), "\xF0\x9F\x98\x80");
}

TEST(UrlDecode, PercentPairsAndPlusOnly) {
    EXPECT_EQ(util::UrlDecode("a%20b+c"), "a b c");
    EXPECT_EQ(util::UrlDecode("%E5%9B%BE"), "\xE5\x9B\xBE");
    EXPECT_EQ(util::UrlDecode("100%"), "100%");
    EXPECT_EQ(util::UrlDecode("%zz%4"), "%zz%4");
    EXPECT_EQ(util::UrlDecode("%41%4a%4A"), "AJJ");
    EXPECT_EQ(util::UrlDecode(std::string("%41\0%42", 6)), "A");
}

}  // namespace
