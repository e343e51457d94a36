#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "Biz/Log.h"
#include "TestFiles.h"
#include "config/ConfigDocument.h"

namespace {

const std::string kStartLineGbk =
    "\xC8\xD5\xD6\xBE\xB4\xB4\xBD\xA8\xB3\xC9\xB9\xA6";  // 日志创建成功

using testfiles::ReadFile;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class LogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Log::Instance().ResetForTesting();
        path_ = ::testing::TempDir() + "quillon_log_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
        std::remove(path_.c_str());
    }
    void TearDown() override {
        Log::Instance().ResetForTesting();
        std::remove(path_.c_str());
    }
    std::string path_;
};

TEST_F(LogTest, StartEmptiesTheFileAndWritesTheStartLineInGbk) {
    {
        std::ofstream old(path_);
        old << "old content\n";
    }
    Log::Instance().Start(true, path_);
    const std::vector<std::string> lines = Lines(ReadFile(path_));
    ASSERT_EQ(lines.size(), 1u);
    const std::regex layout(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d    - (.*) \[Biz\\Log:47\])");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, layout)) << lines[0];
    EXPECT_EQ(m[1].str(), kStartLineGbk);
}

TEST_F(LogTest, NothingIsWrittenWithoutDebugOrWithoutAPath) {
    Log::Instance().Start(false, path_);
    QUILLON_TRACE(Log::kHttpClient, 1, "dropped");
    EXPECT_FALSE(Log::Instance().IsEnabledFor(Log::kDebug));
    EXPECT_FALSE(std::ifstream(path_).good()) << "no file is created while logging is off";
    Log::Instance().Start(true, "");
    EXPECT_FALSE(Log::Instance().IsEnabledFor(Log::kDebug));
}

TEST_F(LogTest, TraceLinesCarryTheirSourceAndTwoStartsWriteTwice) {
    Log::Instance().Start(true, path_);
    QUILLON_TRACE(Log::kHttpClient, 123, Log::Gbk(u8"请求路径：") << "http://x/");
    std::vector<std::string> lines = Lines(ReadFile(path_));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find(Log::Gbk(u8"请求路径：") + "http://x/ [Network\\HttpClient:123]"),
              std::string::npos)
        << lines[1];

    const std::string second = path_ + ".2";
    Log::Instance().Start(true, second);
    QUILLON_TRACE(Log::kWordConverter, 9, "twice");
    lines = Lines(ReadFile(second));
    ASSERT_EQ(lines.size(), 2u) << "the second appender starts with its own start line";
    EXPECT_NE(lines[1].find("twice"), std::string::npos);
    lines = Lines(ReadFile(path_));
    EXPECT_NE(lines.back().find("twice"), std::string::npos) << "the first appender stays attached";
    std::remove(second.c_str());
}

TEST_F(LogTest, InitStartsLoggingWithItsDebugTruthiness) {
    std::string error;
    const std::string doc = R"({"config":{"Debug":"false","LogFile":")" + path_ + R"("}})";
    ASSERT_TRUE(config::ApplyInitDocument(doc, error)) << error;
    EXPECT_TRUE(Log::Instance().IsEnabledFor(Log::kDebug)) << R"("false" is a non-empty string)";
    EXPECT_NE(ReadFile(path_).find(kStartLineGbk), std::string::npos);
}

TEST_F(LogTest, FirstUseFromSeveralThreadsAtOnce) {
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([] { QUILLON_TRACE(Log::kHttpDowner, 1, "before any start"); });
    for (std::thread& t : threads) t.join();
    EXPECT_FALSE(Log::Instance().IsEnabledFor(Log::kDebug));
}

}  // namespace
