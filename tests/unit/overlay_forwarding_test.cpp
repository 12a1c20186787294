#include "core/frame_geometry.h"
#include "core/proxy_forwarding.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

using namespace quarnel;

TEST(OverlayMouse, ForwardsButtonsMovesAndHoverButNoWheel) {
    const std::pair<uint32_t, bool> rows[] = {
        {0x01FF, false},  // just below the mouse range
        {0x0200, true},   // WM_MOUSEMOVE
        {0x0203, true},   // WM_LBUTTONDBLCLK
        {0x0205, true},   // WM_RBUTTONUP
        {0x0209, true},   // WM_MBUTTONDBLCLK
        {0x020A, false},  // WM_MOUSEWHEEL
        {0x020D, true},   // WM_XBUTTONDBLCLK
        {0x020E, false},  // WM_MOUSEHWHEEL
        {0x0240, false},  // WM_TOUCH has its own path
        {0x02A1, true},   // WM_MOUSEHOVER
        {0x02A3, false},  // WM_MOUSELEAVE
    };
    for (const auto& [message, forwarded] : rows) {
        EXPECT_EQ(IsForwardedMouseMessage(message), forwarded) << std::hex << message;
    }
}

TEST(OverlayMouse, UnpacksSignedHalvesAndPacksThemBack) {
    struct Row {
        int64_t lParam;
        int32_t x, y;
        uint32_t repacked;
    } const rows[] = {
        {0x00AA003C, 60, 170, 0x00AA003C},
        {0x7FFF7FFF, 32767, 32767, 0x7FFF7FFF},
        {0xFFFEFFFF, -1, -2, 0xFFFEFFFF},  // captured mouse left of and above the window
        {-65535, 1, -1, 0xFFFF0001},       // the same bits sign-extended to 64 bits
        {0x00000000'80000064, 100, -32768, 0x80000064},
        {0x12345678'0001FFF6, -10, 1, 0x0001FFF6},  // bits above 32 are not coordinates
    };
    for (const Row& row : rows) {
        const Point p = PointFromLParam(row.lParam);
        EXPECT_EQ(p.x, row.x) << std::hex << row.lParam;
        EXPECT_EQ(p.y, row.y) << std::hex << row.lParam;
        EXPECT_EQ(LParamFromPoint(p), row.repacked) << std::hex << row.lParam;
    }
}

// Expected values are the physical offsets times 96/144 (150 %) or 96/120 (125 %), worked out
// by hand; the first 150 % row is what Wine 10 hands an unaware window for a real click.
TEST(OverlayMouse, ClientPointsScaleToTheParentsDpiAboutTheClientOrigin) {
    struct Row {
        int32_t x, y;
        uint32_t windowDpi, displayDpi;
        int32_t scaledX, scaledY;
    } const rows[] = {
        {100, 100, 96, 144, 67, 67},     // 66.67 rounds up
        {250, 200, 96, 144, 167, 133},   // 166.67, 133.33
        {3, 1, 96, 144, 2, 1},           // 2.0 exactly; 0.67
        {-435, -1, 96, 144, -290, -1},   // left of and above a captured window, rounded alike
        {250, 3, 96, 120, 200, 2},       // 125 %: 2.4
        {5, -5, 96, 120, 4, -4},         // 4.0 both ways
        {517, 383, 144, 144, 517, 383},  // a per-monitor aware parent: as it is
        {517, 383, 0, 144, 517, 383},    // DPI not known: as it is
        {32767, 0, 96, 192, 16384, 0},   // 200 %: 16383.5 away from zero
    };
    for (const Row& row : rows) {
        const Point p = ClientPointAtDpi({row.x, row.y}, row.windowDpi, row.displayDpi);
        EXPECT_EQ(p.x, row.scaledX) << row.x << " at " << row.windowDpi << "/" << row.displayDpi;
        EXPECT_EQ(p.y, row.scaledY) << row.y << " at " << row.windowDpi << "/" << row.displayDpi;
    }
}

struct Step {
    int32_t x, y;
    uint32_t message;
    bool operator==(const Step& o) const { return x == o.x && y == o.y && message == o.message; }
};

TEST(OverlayTouch, MovesAndLiftsBecomeMouseMessagesADownEndsTheTurn) {
    EXPECT_EQ(TouchInputCount(0xABCD0003), 3u);  // the high word is not the count
    EXPECT_TRUE(ForwardsTouch(1));
    EXPECT_FALSE(ForwardsTouch(2));
    EXPECT_FALSE(TouchRegistrationFailureIsFatal(120));  // no touch on this system
    EXPECT_TRUE(TouchRegistrationFailureIsFatal(5));     // access denied

    const uint32_t move = 0x1, down = 0x2, up = 0x4;  // TOUCHEVENTF_MOVE, _DOWN, _UP
    struct Row {
        const char* name;
        std::vector<TouchInput> records;
        std::vector<Step> steps;
    } const rows[] = {
        {"move", {{12399, 20050, move}}, {{123, 200, 0x0200}}},
        {"left of and above the primary monitor", {{-150, -99, move}}, {{-1, 0, 0x0200}}},
        {"lift", {{5000, 6000, up}}, {{50, 60, 0x0202}}},
        {"down is converted but not posted", {{100, 200, down}}, {{1, 2, 0}}},
        {"move wins over up", {{100, 100, move | up}}, {{1, 1, 0x0200}}},
        {"flags without move, up or down", {{100, 100, 0x10}}, {{1, 1, 0}}},
        {"two contacts: nothing", {{100, 100, move}, {200, 200, move}}, {}},
        {"no record", {}, {}},
    };
    for (const Row& row : rows) {
        std::vector<Step> steps;
        for (const TouchStep& s : PlanTouchForwarding(row.records)) {
            steps.push_back({s.screen.x, s.screen.y, s.message});
        }
        EXPECT_EQ(steps, row.steps) << row.name;
    }
}

TEST(OverlayFrame, BorderRectsCoverTheOuterTwoPixelsOfTheirSidesOnce) {
    // Painted pixel by pixel, each pixel within 2 of a side that carries the border is painted
    // exactly once, and nothing else.
    const int sizes[][2] = {{4, 4}, {5, 9}, {17, 6}, {300, 100}};
    // left, top, right, bottom
    const FrameSides sideSets[] = {{true, true, true, true},
                                   {true, true, false, false},
                                   {false, true, false, true},
                                   {false, false, true, false},
                                   {false, false, false, false}};
    for (const auto& [w, h] : sizes) {
        for (const FrameSides& sides : sideSets) {
            std::vector<int> hits(static_cast<size_t>(w * h), 0);
            for (const Rect& r : FrameBorderRects(w, h, sides)) {
                for (int y = r.y; y < r.y + r.height; ++y) {
                    for (int x = r.x; x < r.x + r.width; ++x) {
                        ++hits.at(static_cast<size_t>(y * w + x));
                    }
                }
            }
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    const bool ring = (sides.left && x < 2) || (sides.top && y < 2) ||
                                      (sides.right && x >= w - 2) || (sides.bottom && y >= h - 2);
                    EXPECT_EQ(hits[static_cast<size_t>(y * w + x)], ring ? 1 : 0)
                        << w << "x" << h << " sides " << sides.left << sides.top << sides.right
                        << sides.bottom << " at " << x << "," << y;
                }
            }
        }
    }
    const Rect window = RectFromEdges(100, 200, 400, 300);
    EXPECT_EQ(window.width, 300);
    EXPECT_EQ(window.height, 100);
}

}  // namespace

TEST(OverlayFrame, FrameCoversOnlyTheDesktopAndNeverAWholeDisplay) {
    struct Row {
        const char* name;
        Rect window;
        Rect desktop;
        Rect frame;
        const char* sides;  // the sides with a border: l, t, r, b
    };
    const Rect screen = {0, 0, 1920, 1080};
    const Rect wide = {-1280, -200, 3200, 1280};  // a display left of and above (0,0)
    const Row rows[] = {
        {"inside: unchanged", {100, 200, 300, 100}, screen, {100, 200, 300, 100}, "ltrb"},
        {"exactly the desktop", {0, 0, 1920, 1080}, screen, {0, 0, 1920, 1080}, "ltrb"},
        {"the largest window the system allows",
         {0, 0, 32767, 32767},
         screen,
         {0, 0, 1919, 1079},
         "lt"},
        {"one pixel off every edge", {-1, -1, 1922, 1082}, screen, {1, 1, 1918, 1078}, ""},
        {"past the right edge", {1800, 10, 500, 50}, screen, {1800, 10, 119, 50}, "ltb"},
        {"ends on the right edge", {1800, 10, 120, 50}, screen, {1800, 10, 120, 50}, "ltrb"},
        {"desktop with negative origin",
         {-3000, -300, 10000, 400},
         wide,
         {-1279, -199, 3198, 299},
         "b"},
        {"entirely off the desktop", {5000, 5000, 100, 100}, screen, {5000, 5000, 0, 0}, "lt"},
        {"entirely left of the desktop", {-500, 10, 100, 100}, screen, {-500, 10, 0, 0}, "trb"},
        {"only the pixel left out is on it", {-10, 10, 11, 10}, screen, {-10, 10, 0, 0}, "trb"},
        {"edges near the int32 limits",
         {2147483000, -2147483000, 2000, 2000},
         screen,
         {2147483000, -2147483000, 0, 0},
         "lb"},
        {"no size", {10, 10, 0, 0}, screen, {10, 10, 0, 0}, "ltrb"},
    };
    for (const Row& row : rows) {
        const DesktopPlacement p = PlaceOnDesktop(row.window, row.desktop);
        const std::string sides = std::string(p.sides.left ? "l" : "") + (p.sides.top ? "t" : "") +
                                  (p.sides.right ? "r" : "") + (p.sides.bottom ? "b" : "");
        EXPECT_EQ(
            (std::array<int32_t, 4>{p.area.x, p.area.y, p.area.width, p.area.height}),
            (std::array<int32_t, 4>{row.frame.x, row.frame.y, row.frame.width, row.frame.height}))
            << row.name;
        EXPECT_EQ(sides, row.sides) << row.name;
    }
}
