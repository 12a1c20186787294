#include "core/logging.h"

std::atomic<LogSink> logSink{nullptr};

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
