#pragma once

#include "core/geometry.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace quarnel {

struct DesktopSize {
    int32_t width = 0;
    int32_t height = 0;
};

// The bounding box of the displays (each where it sits on the virtual desktop, as large as its
// current mode), as the system spans its virtual desktop over them, so that a
// normalised absolute move lands on the pixel asked for. A display without a size (no current
// mode) takes no room. Nothing when no display has a size, so callers keep whatever they had.
// Sums are taken in 64 bits and the extent saturates: absurd display data gives a large
// desktop, never a negative one.
inline std::optional<DesktopSize> DesktopExtent(const std::vector<Rect>& displays) {
    bool any = false;
    int64_t left = 0, top = 0, right = 0, bottom = 0;
    for (const Rect& display : displays) {
        if (display.width <= 0 || display.height <= 0) {
            continue;
        }
        const int64_t l = display.x;
        const int64_t t = display.y;
        const int64_t r = l + display.width;
        const int64_t b = t + display.height;
        left = any ? std::min(left, l) : l;
        top = any ? std::min(top, t) : t;
        right = any ? std::max(right, r) : r;
        bottom = any ? std::max(bottom, b) : b;
        any = true;
    }
    if (!any) {
        return std::nullopt;
    }
    const auto saturate = [](int64_t extent) {
        return static_cast<int32_t>(std::min<int64_t>(extent, std::numeric_limits<int32_t>::max()));
    };
    return DesktopSize{saturate(right - left), saturate(bottom - top)};
}

}  // namespace quarnel
