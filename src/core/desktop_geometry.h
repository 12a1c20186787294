#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// Where one display sits on the virtual desktop and how large its current mode is.
struct DisplayRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

struct DesktopSize {
    int32_t width = 0;
    int32_t height = 0;
};

namespace desktop_detail {

// |value| without the overflow of std::abs(INT32_MIN).
inline uint32_t Magnitude(int32_t value) {
    return value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
}

// Sums as 32-bit unsigned and reinterprets, so absurd display data wraps instead of being UB.
inline int32_t WrappingAdd(int32_t extent, uint32_t offset) {
    return static_cast<int32_t>(static_cast<uint32_t>(extent) + offset);
}

}  // namespace desktop_detail

// Extent of the desktop as the mouse normalisation needs it: in each direction the far edge
// of the display lying farthest from the origin, a display left of or above the origin
// counting by the magnitude of its offset. A tie goes to the display enumerated later.
// Nothing when no display was measured, so callers keep whatever they had.
inline std::optional<DesktopSize> DesktopExtent(const std::vector<DisplayRect>& displays) {
    if (displays.empty()) {
        return std::nullopt;
    }
    DesktopSize size;
    uint32_t maxX = 0;
    uint32_t maxY = 0;
    for (const DisplayRect& display : displays) {
        const uint32_t ax = desktop_detail::Magnitude(display.x);
        if (ax >= maxX) {
            maxX = ax;
            size.width = desktop_detail::WrappingAdd(display.width, ax);
        }
        const uint32_t ay = desktop_detail::Magnitude(display.y);
        if (ay >= maxY) {
            maxY = ay;
            size.height = desktop_detail::WrappingAdd(display.height, ay);
        }
    }
    return size;
}
