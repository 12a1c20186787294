#pragma once

#include "core/function_name.h"
#include "core/log_text.h"

#include <atomic>
#include <string>

enum LogSeverity : int { LOG_INFO = 1, LOG_WARNING = 2, LOG_ERROR = 3 };

using LogSink = void (*)(const char* file, int line, const char* func, int severity,
                         const char* text);

// Null until a log callback is set; from then on the add-on's sink, which queues the record
// for the JavaScript thread.
extern std::atomic<LogSink> logSink;

// One record: streamed into at the log site, handed to its sink when it ends.
class LogRecord {
public:
    LogRecord(const char* file, int line, std::string func, int severity, LogSink sink)
        : file_(file), func_(std::move(func)), severity_(severity), line_(line), sink_(sink) {}
    ~LogRecord();
    LogRecord(const LogRecord&) = delete;
    LogRecord& operator=(const LogRecord&) = delete;

    LogText& stream() { return stream_; }

private:
    std::string file_;
    std::string func_;
    int severity_;
    int line_;
    LogSink sink_;
    LogText stream_;
};

// An error code is read first, before the record is built (building it allocates and may
// change the thread's last error), and always into a variable of the same name, so that
// `grep -rn 'GetLastError()' src | grep -v 'const DWORD error = GetLastError();'` finds none:
//   const DWORD error = GetLastError();
//   QLOG(LOG_ERROR) << "CreateWindowEx err:" << error;
// With no sink set nothing after the check runs: no record, no formatting, no allocation.
#if defined(_MSC_VER)
#define QUARNEL_FUNCTION_NAME std::string(__FUNCTION__)  // already the short form
#else
#define QUARNEL_FUNCTION_NAME ShortFunctionName(__PRETTY_FUNCTION__)
#endif
#define QLOG(severity)                                                                        \
    for (LogSink qlog_sink_ = logSink.load(std::memory_order_acquire); qlog_sink_ != nullptr; \
         qlog_sink_ = nullptr)                                                                \
    LogRecord(__FILE__, __LINE__, QUARNEL_FUNCTION_NAME, (severity), qlog_sink_).stream()
