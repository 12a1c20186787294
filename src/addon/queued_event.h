#pragma once

#include "addon/napi_callback.h"
#include "core/touch_point.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One event on its way from a component thread to a JavaScript callback, held by value in the
// queue's ring: posting a key or window event allocates nothing and touches no reference count.
// The callback is named by a plain pointer; the queue keeps it alive for as long as an event can
// name it (see napi::async_handle), and a revoked callback receives nothing.
struct QueuedEvent {
    enum class Kind : uint8_t { None, Key, Window, Touch, Log };

    // What only log records and touch events carry, moved in whole.
    struct Detail {
        std::string file;
        std::string func;
        std::string content;
        std::vector<quarnel::TouchPoint> points;
    };

    Kind kind = Kind::None;
    int32_t value = 0;      // key code, window handle or log line
    uint32_t severity = 0;  // log records only
    napi::napi_callback* callback = nullptr;
    std::unique_ptr<Detail> detail;

    // JavaScript thread: calls the callback with the event's payload, unless it was revoked or
    // the payload cannot be made (a key code outside the six). A log record that follows
    // dropped ones says how many with a `lost` member.
    void Deliver(uint32_t lostBefore = 0) const;
};
