#include "Biz/Log.h"

#include <log4cplus/fileappender.h>
#include <log4cplus/layout.h>
#include <log4cplus/config.hxx>

#include <memory>

#include "platform/kernel/CodePage.h"
#include "util/Utf8.h"

namespace {

const char kLoggerName[] = "Velloran6(x86)";
const char kPattern[] = "%d{%m/%d/%y %H:%M:%S}    - %m [%l]%n";

}  // namespace

Log& Log::Instance() {
    // Function-local statics are constructed once even when two threads arrive together.
    static Log instance;
    return instance;
}

Log::Log() : name_(kLoggerName) {
    log4cplus::initialize();
    logger_ = log4cplus::Logger::getInstance(name_);
    logger_.setLogLevel(kOff);
}

std::string Log::LogFilePath(const std::string& path) const {
    if (confinedFolder_.empty()) return path;
    const size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") name = "npquillon.log";
    return confinedFolder_ + "/" + name;
}

void Log::Start(bool debug, const std::string& path) {
    if (!debug || path.empty()) return;
    log4cplus::SharedAppenderPtr appender(
        new log4cplus::FileAppender(LogFilePath(path), std::ios_base::trunc, true));
    appender->setLayout(std::unique_ptr<log4cplus::Layout>(new log4cplus::PatternLayout(kPattern)));
    logger_.addAppender(appender);
    logger_.setLogLevel(kTrace);
    QUILLON_TRACE_AT(kWarn, kLog, 47, Gbk(u8"日志创建成功"));
}

bool Log::IsEnabledFor(int level) const {
    return logger_.isEnabledFor(level);
}

void Log::ForcedLog(int level, const char* file, int line, const std::string& message) const {
    logger_.forcedLog(level, message, file, line, "");
}

std::string Log::Gbk(const char* utf8) {
    return platform::WideToMultiByte(util::DecodeUtf8(utf8), "GBK");
}

void Log::ResetForTesting() {
    logger_.removeAllAppenders();
    logger_.setLogLevel(kOff);
}
