// The process-wide diagnostic logger. Off until Start() is given debug = true and a path;
// then every trace line goes to the file appenders added so far.
#pragma once

#include <log4cplus/logger.h>

#include <sstream>
#include <string>

class Log {
  public:
    enum Level {
        kTrace = 0,      // TRACE_LOG_LEVEL
        kDebug = 10000,  // DEBUG_LOG_LEVEL
        kWarn = 30000,   // WARN_LOG_LEVEL
        kOff = 60000,    // OFF_LOG_LEVEL
    };

    // Source file names carried by trace lines.
    static constexpr const char* kHttpClient = "Network\\HttpClient";
    static constexpr const char* kHttpDowner = "Network\\HttpDowner";
    static constexpr const char* kWinINetDowner = "Network\\WinINetDowner";
    static constexpr const char* kWordConverter = "Office\\WordConverter";
    static constexpr const char* kLog = "Biz\\Log";

    // The process-wide object; safe to reach first from any thread.
    static Log& Instance();

    // Adds a truncating, immediately flushed file appender for `path` and opens the logger,
    // unless debug is false or the path is empty.
    void Start(bool debug, const std::string& path);

    // From then on a log file is made in `folder`, under the file name of the path it was
    // given. The native host confines the logs of its pages: a page must not choose which of
    // the user's files is truncated. Called before the first Start.
    void ConfineTo(const std::string& folder) { confinedFolder_ = folder; }
    // The file Start writes for `path`.
    std::string LogFilePath(const std::string& path) const;

    bool IsEnabledFor(int level) const;
    // Writes without testing the level (callers test first, see QUILLON_TRACE).
    void ForcedLog(int level, const char* file, int line, const std::string& message) const;

    // The GBK bytes of a UTF-8 text: trace messages are fixed GBK texts.
    static std::string Gbk(const char* utf8);

    // Removes every appender and switches the logger off again. Tests only: the product
    // never returns to the off state.
    void ResetForTesting();

  private:
    Log();
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    unsigned int reserved_ = 0;
    std::string confinedFolder_;
    std::string name_;
    log4cplus::Logger logger_;
};

// A trace line at `level` from `file`:`line`; the stream expression is only evaluated when the
// logger is enabled for that level.
#define QUILLON_TRACE_AT(level, file, line, streamExpr)                     \
    do {                                                                    \
        Log& quillonLog_ = Log::Instance();                                 \
        if (quillonLog_.IsEnabledFor(level)) {                              \
            std::ostringstream quillonStream_;                              \
            quillonStream_ << streamExpr;                                   \
            quillonLog_.ForcedLog(level, file, line, quillonStream_.str()); \
        }                                                                   \
    } while (0)

#define QUILLON_TRACE(file, line, streamExpr) QUILLON_TRACE_AT(Log::kDebug, file, line, streamExpr)
