#include "core/logging.h"

namespace quarnel {

std::atomic<LogSink> logSink{nullptr};

LogRecord::LogRecord(const LogSite& site, int severity, LogSink sink)
    : file_(site.file),
#if defined(_MSC_VER)
      func_(site.function),
#else
      func_(ShortFunctionName(site.function)),
#endif
      severity_(severity),
      line_(site.line),
      sink_(sink) {
}

LogRecord::~LogRecord() {
    if (sink_ == nullptr) {
        return;
    }
    try {
        sink_(file_.c_str(), line_, func_.c_str(), severity_, stream_.str().c_str());
    } catch (...) {
        // A record that cannot be delivered is lost; logging never throws into its caller.
    }
}

}  // namespace quarnel
