#pragma once

// The shapes the module measures in: pixels of the virtual desktop, or of a window's client
// area where a function says so.
#include <cstdint>

namespace quarnel {

struct Point {
    int32_t x = 0;
    int32_t y = 0;
};

struct Rect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// A rectangle given by its edges, as x, y, width, height.
inline Rect RectFromEdges(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return {left, top, right - left, bottom - top};
}

}  // namespace quarnel
