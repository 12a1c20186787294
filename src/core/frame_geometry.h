#pragma once

// The picture of a frame window: a key-colour background and a thin opaque border.
#include <array>
#include <cstdint>

namespace overlay {

struct Rect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

constexpr int32_t kFrameBorderWidth = 2;
// ARGB: the background is cleared to the key colour (made transparent), the border is opaque.
constexpr uint32_t kFrameKeyColourArgb = 0xFFFF0000u;
constexpr uint32_t kFrameBorderArgb = 0xFF00E600u;
// The key colour as a COLORREF (0x00BBGGRR).
constexpr uint32_t kFrameKeyColourRef = 0x000000FFu;

// Top, bottom, left, right. The side bars leave out the corners, which the top and bottom
// bars already cover, so no pixel is painted twice.
inline std::array<Rect, 4> FrameBorderRects(int32_t width, int32_t height) {
    const int32_t b = kFrameBorderWidth;
    return {{{0, 0, width, b},
             {0, height - b, width, b},
             {0, b, b, height - 2 * b},
             {width - b, b, b, height - 2 * b}}};
}

// A window rectangle given by its edges, as x, y, width, height.
inline Rect RectFromEdges(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return {left, top, right - left, bottom - top};
}

}  // namespace overlay
