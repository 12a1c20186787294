#pragma once

// The picture of a frame window: a key-colour background and a thin opaque border.
#include "core/geometry.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace quarnel {

constexpr int32_t kFrameBorderWidth = 2;
// ARGB: the background is cleared to the key colour (made transparent), the border is opaque.
constexpr uint32_t kFrameKeyColourArgb = 0xFFFF0000u;
constexpr uint32_t kFrameBorderArgb = 0xFF00E600u;
// The key colour as a COLORREF (0x00BBGGRR).
constexpr uint32_t kFrameKeyColourRef = 0x000000FFu;

// The edges of a frame that carry the border: those of the followed window itself, not the
// ones made by cutting the window to the desktop.
struct FrameSides {
    bool left = true;
    bool top = true;
    bool right = true;
    bool bottom = true;
};

// Top, bottom, left, right; a side without a border gives an empty rectangle. The side bars
// leave out the corners that a top or bottom bar already covers, so no pixel is painted twice.
inline std::array<Rect, 4> FrameBorderRects(int32_t width, int32_t height,
                                            const FrameSides& sides = {}) {
    const int32_t b = kFrameBorderWidth;
    const int32_t barTop = sides.top ? b : 0;
    const int32_t barHeight = height - barTop - (sides.bottom ? b : 0);
    const Rect none = {};
    return {{sides.top ? Rect{0, 0, width, b} : none,
             sides.bottom ? Rect{0, height - b, width, b} : none,
             sides.left ? Rect{0, barTop, b, barHeight} : none,
             sides.right ? Rect{width - b, barTop, b, barHeight} : none}};
}

struct DesktopPlacement {
    Rect area;
    FrameSides sides;
};

// Where an overlay (a frame, a proxy window) over a window goes: only over what lies on the
// virtual desktop. A frame's picture is a bitmap of the frame's size, and a window can be far
// larger than any desktop (the system allows 32767 pixels a side): drawn whole it would take
// gigabytes and minutes, with the frame's thread deaf to every message meanwhile.
//
// An edge that runs off the desktop gets no border (it was out of sight) and stops one pixel
// short of the desktop's edge: a window covering a whole display is taken for a full-screen
// application (the shell changes its behaviour for a topmost one, and under Wine without a
// window manager each hide or close of it waits 2 s, its thread deaf to every message). A
// window entirely off the desktop gives an empty rectangle.
inline DesktopPlacement PlaceOnDesktop(const Rect& window, const Rect& desktop) {
    const int64_t windowRight = int64_t{window.x} + window.width;
    const int64_t windowBottom = int64_t{window.y} + window.height;
    const int64_t desktopRight = int64_t{desktop.x} + desktop.width;
    const int64_t desktopBottom = int64_t{desktop.y} + desktop.height;
    FrameSides sides;
    sides.left = window.x >= desktop.x;
    sides.top = window.y >= desktop.y;
    sides.right = windowRight <= desktopRight;
    sides.bottom = windowBottom <= desktopBottom;
    const int64_t left = sides.left ? window.x : int64_t{desktop.x} + 1;
    const int64_t top = sides.top ? window.y : int64_t{desktop.y} + 1;
    const int64_t right = sides.right ? windowRight : desktopRight - 1;
    const int64_t bottom = sides.bottom ? windowBottom : desktopBottom - 1;
    if (right <= left || bottom <= top) {
        return {{window.x, window.y, 0, 0}, sides};
    }
    return {{static_cast<int32_t>(left), static_cast<int32_t>(top),
             static_cast<int32_t>(right - left), static_cast<int32_t>(bottom - top)},
            sides};
}

}  // namespace quarnel
