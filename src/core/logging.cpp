#include "core/logging.h"

std::atomic<LogSink> logSink{nullptr};

LogRecord::~LogRecord() {
    if (sink_ == nullptr) {
        return;
    }
    try {
        const std::string text = stream_.str();
        sink_(file_.c_str(), line_, func_.c_str(), severity_, text.c_str());
    } catch (...) {
        // A record that cannot be delivered is lost; logging never throws into its caller.
    }
}
