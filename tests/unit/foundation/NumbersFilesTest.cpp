#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/kernel/Files.h"
#include "util/Numbers.h"
#include "util/Utf8.h"

namespace {

TEST(Numbers, LeadingNumberParsingLikeTheCLibrary) {
    EXPECT_EQ(util::StringToInt("  -42abc"), -42);
    EXPECT_EQ(util::StringToInt("+7"), 7);
    EXPECT_EQ(util::StringToInt("abc"), 0);
    EXPECT_EQ(util::StringToInt(""), 0);
    EXPECT_EQ(util::StringToInt("99999999999"), 2147483647);
    EXPECT_EQ(util::StringToInt("-99999999999"), -2147483647 - 1);
    EXPECT_EQ(util::StringToInt64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(util::StringToInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(util::StringToInt64("123456789012"), 123456789012LL);
    EXPECT_DOUBLE_EQ(util::StringToDouble("2.5x"), 2.5);
    EXPECT_EQ(util::IntToString(-5), "-5");
    EXPECT_EQ(util::Int64ToString(INT64_MIN), "-9223372036854775808");
}

TEST(Files, SizeAndWholeReadOfAnExistingAndAMissingFile) {
    const std::string path = ::testing::TempDir() + "quillon_files_\xE5\x9B\xBE.bin";
    const std::wstring wide = util::DecodeUtf8(path);
    const std::string bytes("ab\0cd", 5);
    ASSERT_TRUE(util::WriteWholeFile(wide, bytes));
    EXPECT_EQ(util::FileSize(wide), 5);
    util::SharedBuffer read = util::ReadWholeFile(wide);
    ASSERT_TRUE(read.data);
    EXPECT_EQ(read.size, 5u);
    EXPECT_EQ(read.str(), bytes);
    EXPECT_EQ(read.data[5], 0) << "one zero byte follows the content";
    std::remove(path.c_str());

    EXPECT_EQ(util::FileSize(L"/nonexistent/quillon"), 0);
    util::SharedBuffer missing = util::ReadWholeFile(L"/nonexistent/quillon");
    EXPECT_FALSE(missing.data);
    EXPECT_EQ(missing.size, 0u);
}

}  // namespace
