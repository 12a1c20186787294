#pragma once

// The picture of a frame window: a key-colour background and a thin opaque border.
#include <algorithm>
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

// The part of a followed window that a frame has to cover: what lies on the virtual desktop,
// with room for the border just beyond its edges, so an edge that runs off the desktop keeps
// its border out of sight as before. The frame's picture is a bitmap of the frame's size, and a
// window can be far larger than any desktop (the system allows 32767 pixels a side): drawn whole
// it would take gigabytes and minutes, with the frame's thread deaf to every message meanwhile.
// A window entirely off the desktop gives an empty rectangle.
inline Rect ClipFrameToDesktop(const Rect& window, const Rect& desktop) {
    const int64_t b = kFrameBorderWidth;
    const int64_t left = std::max<int64_t>(window.x, int64_t{desktop.x} - b);
    const int64_t top = std::max<int64_t>(window.y, int64_t{desktop.y} - b);
    const int64_t right =
        std::min<int64_t>(int64_t{window.x} + window.width, int64_t{desktop.x} + desktop.width + b);
    const int64_t bottom = std::min<int64_t>(int64_t{window.y} + window.height,
                                             int64_t{desktop.y} + desktop.height + b);
    if (right <= left || bottom <= top) {
        return {window.x, window.y, 0, 0};
    }
    return {static_cast<int32_t>(left), static_cast<int32_t>(top),
            static_cast<int32_t>(right - left), static_cast<int32_t>(bottom - top)};
}

}  // namespace overlay
