#pragma once

// How a proxy window hands the input that lands on it to the window beneath: which messages
// go on, how their coordinates are unpacked and packed again, and what a touch becomes.
// Free of Win32 so that every decision is tested natively.
#include "core/geometry.h"
#include "core/touch_mapping.h"

#include <cstdint>
#include <vector>

namespace quarnel {

// The mouse messages of the window manager.
constexpr uint32_t kWmMouseMove = 0x0200;
constexpr uint32_t kWmLButtonDown = 0x0201;
constexpr uint32_t kWmLButtonUp = 0x0202;
constexpr uint32_t kWmLButtonDblClk = 0x0203;
constexpr uint32_t kWmRButtonDown = 0x0204;
constexpr uint32_t kWmRButtonUp = 0x0205;
constexpr uint32_t kWmRButtonDblClk = 0x0206;
constexpr uint32_t kWmMButtonDown = 0x0207;
constexpr uint32_t kWmMButtonUp = 0x0208;
constexpr uint32_t kWmMButtonDblClk = 0x0209;
constexpr uint32_t kWmXButtonDown = 0x020B;
constexpr uint32_t kWmXButtonUp = 0x020C;
constexpr uint32_t kWmXButtonDblClk = 0x020D;
constexpr uint32_t kWmMouseHover = 0x02A1;

// The mouse messages that reach the parent. Wheel turns (0x020A, 0x020E) stay with the proxy:
// their coordinates are screen coordinates and they go to the focus window, not the one
// under the pointer, so passing them on would make no sense to the parent.
inline bool IsForwardedMouseMessage(uint32_t message) {
    switch (message) {
        case kWmMouseMove:
        case kWmLButtonDown:
        case kWmLButtonUp:
        case kWmLButtonDblClk:
        case kWmRButtonDown:
        case kWmRButtonUp:
        case kWmRButtonDblClk:
        case kWmMButtonDown:
        case kWmMButtonUp:
        case kWmMButtonDblClk:
        case kWmXButtonDown:
        case kWmXButtonUp:
        case kWmXButtonDblClk:
        case kWmMouseHover:
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

// A point in a window's client area, from the physical pixels the proxy works in to the pixels
// of the window's own DPI awareness. A parent that is not per-monitor aware reads its client
// coordinates scaled to its own DPI (96 for an unaware window) rather than the display's, and
// the client origin stays where it is, so the conversion is a scale about it, rounded as the
// system rounds (half away from zero). A DPI of 0 (not known) leaves the point as it is.
inline Point ClientPointAtDpi(Point physical, uint32_t windowDpi, uint32_t displayDpi) {
    if (windowDpi == 0 || displayDpi == 0 || windowDpi == displayDpi) {
        return physical;
    }
    const auto scale = [&](int32_t v) {
        const int64_t product = static_cast<int64_t>(v) * windowDpi;
        const int64_t half = displayDpi / 2;
        return static_cast<int32_t>(product >= 0 ? (product + half) / displayDpi
                                                 : -((-product + half) / displayDpi));
    };
    return {scale(physical.x), scale(physical.y)};
}

// ---- touch ----

constexpr uint32_t kErrorCallNotImplemented = 120;  // ERROR_CALL_NOT_IMPLEMENTED

// Whether a failed touch registration ends the proxy window. A system without touch support
// still has the mouse to forward, so the window stays.
inline bool TouchRegistrationFailureIsFatal(uint32_t error) {
    return error != kErrorCallNotImplemented;
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

// One record's turn: its screen point, which the caller converts to the parent's client
// coordinates, and the mouse message to post there; 0 marks a touch-down, which is converted
// like the others but ends the turn without being posted.
struct TouchStep {
    Point screen;
    uint32_t message = 0;
};

// The steps for the records of one WM_TOUCH message, in order, ending at the first down.
inline std::vector<TouchStep> PlanTouchForwarding(const std::vector<TouchInput>& records) {
    std::vector<TouchStep> steps;
    if (!ForwardsTouch(static_cast<uint32_t>(records.size()))) {
        return steps;
    }
    for (const TouchInput& record : records) {
        TouchStep step;
        step.screen = {HundredthsToPixels(record.x), HundredthsToPixels(record.y)};
        if ((record.flags & kTouchFlagMove) != 0) {
            step.message = kWmMouseMove;
        } else if ((record.flags & kTouchFlagUp) != 0) {
            step.message = kWmLButtonUp;
        }
        steps.push_back(step);
        if (step.message == 0) {
            break;
        }
    }
    return steps;
}

}  // namespace quarnel
