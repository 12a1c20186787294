#pragma once

#include "core/touch_point.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quarnel {

// The parts of one system touch record that the touch listener reports and a proxy window
// forwards; coordinates in hundredths of a screen pixel, as the system gives them.
struct TouchInput {
    int32_t x = 0;
    int32_t y = 0;
    uint32_t flags = 0;
    uint32_t id = 0;
    uint32_t time = 0;
};

constexpr uint32_t kTouchFlagMove = 0x1;  // TOUCHEVENTF_MOVE
constexpr uint32_t kTouchFlagDown = 0x2;  // TOUCHEVENTF_DOWN
constexpr uint32_t kTouchFlagUp = 0x4;    // TOUCHEVENTF_UP

// A first contact may carry the move flag as well; it must still read as a touch down, or the
// application would see a contact move that never started.
inline int32_t TouchTypeFromFlags(uint32_t flags) noexcept {
    if ((flags & kTouchFlagDown) != 0) {
        return TouchPoint::Down;
    }
    if ((flags & kTouchFlagMove) != 0) {
        return TouchPoint::Move;
    }
    if ((flags & kTouchFlagUp) != 0) {
        return TouchPoint::Up;
    }
    return TouchPoint::Down;
}

// Whole pixels, truncated toward zero on both sides of the origin (a monitor left of or above
// the primary one has negative coordinates): -150 is -1, not -2.
inline int32_t HundredthsToPixels(int32_t hundredths) noexcept {
    return hundredths / 100;
}

inline TouchPoint ToTouchPoint(const TouchInput& input) noexcept {
    TouchPoint point;
    point.touchType = TouchTypeFromFlags(input.flags);
    point.x = HundredthsToPixels(input.x);
    point.y = HundredthsToPixels(input.y);
    point.id = input.id;
    point.time = input.time;
    return point;
}

// Every contact of one touch message, in record order.
inline std::vector<TouchPoint> ToTouchPoints(const TouchInput* inputs, size_t count) {
    std::vector<TouchPoint> points;
    points.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        points.push_back(ToTouchPoint(inputs[i]));
    }
    return points;
}

}  // namespace quarnel
