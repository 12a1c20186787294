#pragma once

#include "core/function_name.h"
#include "core/log_text.h"

#include <atomic>
#include <string>

namespace quarnel {

enum LogSeverity : int { LOG_INFO = 1, LOG_WARNING = 2, LOG_ERROR = 3 };

using LogSink = void (*)(const char* file, int line, const char* func, int severity,
                         const char* text);

// Null until a log callback is set; from then on the add-on's sink, which queues the record
// for the JavaScript thread.
extern std::atomic<LogSink> logSink;

// Where a record comes from. `function` is the compiler's name for it (the short form is made
// only when a record is built) or a name already in that short form. A helper that several
// functions share logs under the site its caller hands in, so its records read as the caller's.
struct LogSite {
    const char* file;
    int line;
    const char* function;
};

// One record: streamed into at the log site, handed to its sink when it ends.
class LogRecord {
public:
    LogRecord(const LogSite& site, int severity, LogSink sink);
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

}  // namespace quarnel

// An error code is read first, before the record is built (building it allocates and may
// change the thread's last error), and always into a variable of the same name, so that
// `grep -rn 'GetLastError()' src | grep -v 'const DWORD error = GetLastError();'` finds none:
//   const DWORD error = GetLastError();
//   QLOG(LOG_ERROR) << "CreateWindowEx err:" << error;
// With no sink set nothing after the check runs: no record, no formatting, no allocation.
// A shared helper takes its caller's site, which costs the caller three words:
//   void Report(const LogSite& site, DWORD error) { QLOG_AS(site, LOG_ERROR) << "err:" << error; }
//   void QuarnelImpl::InputMouseLeftUp() { ... Report(QLOG_HERE, error); }
#if defined(_MSC_VER)
#define QUARNEL_FUNCTION_NAME __FUNCTION__  // already the short form
#else
#define QUARNEL_FUNCTION_NAME __PRETTY_FUNCTION__
#endif
#define QLOG_HERE (::quarnel::LogSite{__FILE__, __LINE__, QUARNEL_FUNCTION_NAME})
// The severity is one of the three names, unqualified, whatever namespace the log site is in.
#define QLOG_AS(site, severity)                                                              \
    for (::quarnel::LogSink qlog_sink_ = ::quarnel::logSink.load(std::memory_order_acquire); \
         qlog_sink_ != nullptr; qlog_sink_ = nullptr)                                        \
    ::quarnel::LogRecord((site), ::quarnel::severity, qlog_sink_).stream()
#define QLOG(severity) QLOG_AS(QLOG_HERE, severity)
