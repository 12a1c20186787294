#pragma once

// How a proxy window hands the input that lands on it to the window beneath: which messages
// go on, how their coordinates are unpacked and packed again, and what a touch becomes.
// Free of Win32 so that every decision is tested natively.
#include "core/touch_mapping.h"

#include <cstdint>
#include <vector>

namespace overlay {

struct Point {
    int32_t x = 0;
    int32_t y = 0;
};

constexpr uint32_t kWmMouseMove = 0x0200;
constexpr uint32_t kWmLButtonUp = 0x0202;

// The mouse messages that reach the parent. Wheel turns (0x020A, 0x020E) stay with the proxy:
// their coordinates are screen coordinates and they go to the focus window, not the one
// under the pointer, so passing them on would make no sense to the parent.
inline bool IsForwardedMouseMessage(uint32_t message) {
    switch (message) {
        case 0x0200:  // move
        case 0x0201:
        case 0x0202:
        case 0x0203:  // left down, up, double click
        case 0x0204:
        case 0x0205:
        case 0x0206:  // right
        case 0x0207:
        case 0x0208:
        case 0x0209:  // middle
        case 0x020B:
        case 0x020C:
        case 0x020D:  // X buttons
        case 0x02A1:  // hover
            return true;
        default:
            return false;
    }
}

// Mouse coordinates travel as two signed 16-bit halves: while the mouse is captured a point
// left of or above the window arrives as 0xFFFF..., which has to read as a negative number.
inline Point PointFromLParam(int64_t lParam) {
    const auto bits = static_cast<uint32_t>(static_cast<uint64_t>(lParam));
    return {static_cast<int16_t>(static_cast<uint16_t>(bits & 0xFFFFu)),
            static_cast<int16_t>(static_cast<uint16_t>(bits >> 16))};
}

// Low 16 bits x, high 16 bits y, zero-extended, as the system packs a mouse message.
inline uint32_t LParamFromPoint(Point point) {
    return static_cast<uint32_t>(static_cast<uint16_t>(point.x)) |
           (static_cast<uint32_t>(static_cast<uint16_t>(point.y)) << 16);
}

// ---- touch ----

constexpr uint32_t kTouchEventMove = 0x1;
constexpr uint32_t kTouchEventDown = 0x2;
constexpr uint32_t kTouchEventUp = 0x4;

// Whether a failed touch registration ends the proxy window. A system without touch support
// (ERROR_CALL_NOT_IMPLEMENTED, 120) still has the mouse to forward, so the window stays.
inline bool TouchRegistrationFailureIsFatal(uint32_t error) {
    return error != 120;
}

// The number of contacts a WM_TOUCH message reports.
inline uint32_t TouchInputCount(uint64_t wParam) {
    return static_cast<uint32_t>(wParam & 0xFFFFu);
}

// Only single-finger touch is mouse-like; two or more contacts are a gesture the parent could
// not read as mouse input, so they are dropped as a whole.
inline bool ForwardsTouch(uint32_t contacts) {
    return contacts <= 1;
}

struct TouchRecord {
    int32_t x = 0;  // hundredths of a screen pixel
    int32_t y = 0;
    uint32_t flags = 0;
};

// One record's turn: its screen point, which the caller converts to the parent's client
// coordinates, and the mouse message to post there; 0 marks a touch-down, which is converted
// like the others but ends the turn without being posted.
struct TouchStep {
    Point screen;
    uint32_t message = 0;
};

// The steps for the records of one WM_TOUCH message, in order, ending at the first down.
inline std::vector<TouchStep> PlanTouchForwarding(const std::vector<TouchRecord>& records) {
    std::vector<TouchStep> steps;
    if (!ForwardsTouch(static_cast<uint32_t>(records.size()))) {
        return steps;
    }
    for (const TouchRecord& record : records) {
        TouchStep step;
        step.screen = {HundredthsToPixels(record.x), HundredthsToPixels(record.y)};
        if ((record.flags & kTouchEventMove) != 0) {
            step.message = kWmMouseMove;
        } else if ((record.flags & kTouchEventUp) != 0) {
            step.message = kWmLButtonUp;
        }
        steps.push_back(step);
        if (step.message == 0) {
            break;
        }
    }
    return steps;
}

}  // namespace overlay
