#include "core/frame_geometry.h"
#include "core/proxy_forwarding.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using overlay::Point;
using overlay::TouchRecord;

TEST(OverlayMouse, ForwardsButtonsMovesAndHoverButNoWheel) {
    struct Row {
        uint32_t message;
        bool forwarded;
    };
    const Row rows[] = {
        {0x01FF, false},  // just below the mouse range
        {0x0200, true},   // WM_MOUSEMOVE
        {0x0201, true},   // WM_LBUTTONDOWN
        {0x0203, true},   // WM_LBUTTONDBLCLK
        {0x0205, true},   // WM_RBUTTONUP
        {0x0209, true},   // WM_MBUTTONDBLCLK
        {0x020A, false},  // WM_MOUSEWHEEL
        {0x020B, true},   // WM_XBUTTONDOWN
        {0x020D, true},   // WM_XBUTTONDBLCLK
        {0x020E, false},  // WM_MOUSEHWHEEL
        {0x0240, false},  // WM_TOUCH has its own path
        {0x02A1, true},   // WM_MOUSEHOVER
        {0x02A3, false},  // WM_MOUSELEAVE
    };
    for (const Row& row : rows) {
        EXPECT_EQ(overlay::IsForwardedMouseMessage(row.message), row.forwarded)
            << std::hex << row.message;
    }
}

TEST(OverlayMouse, UnpacksSignedHalvesAndPacksThemBack) {
    struct Row {
        int64_t lParam;
        int32_t x, y;
        uint32_t repacked;
    };
    const Row rows[] = {
        {0x0014000A, 10, 20, 0x0014000A},
        {0x7FFF7FFF, 32767, 32767, 0x7FFF7FFF},
        {0xFFFEFFFF, -1, -2, 0xFFFEFFFF},  // captured mouse left of and above the window
        {-65535, 1, -1, 0xFFFF0001},       // the same bits sign-extended to 64 bits
        {0x00000000'80000064, 100, -32768, 0x80000064},
        {0x12345678'0001FFF6, -10, 1, 0x0001FFF6},  // bits above 32 are not coordinates
    };
    for (const Row& row : rows) {
        const Point p = overlay::PointFromLParam(row.lParam);
        EXPECT_EQ(p.x, row.x) << std::hex << row.lParam;
        EXPECT_EQ(p.y, row.y) << std::hex << row.lParam;
        EXPECT_EQ(overlay::LParamFromPoint(p), row.repacked) << std::hex << row.lParam;
    }
    // The worked example: client (10, 20) of a proxy at screen (100, 200) over a parent whose
    // client origin is at (50, 50) is (60, 170) for the parent.
    EXPECT_EQ(overlay::LParamFromPoint({60, 170}), 0x00AA003Cu);
}

TEST(OverlayTouch, CountsContactsAndConvertsHundredths) {
    EXPECT_EQ(overlay::TouchInputCount(0x00000001), 1u);
    EXPECT_EQ(overlay::TouchInputCount(0xABCD0003), 3u);  // the high word is not the count
    EXPECT_TRUE(overlay::ForwardsTouch(0));
    EXPECT_TRUE(overlay::ForwardsTouch(1));
    EXPECT_FALSE(overlay::ForwardsTouch(2));
    EXPECT_FALSE(overlay::TouchRegistrationFailureIsFatal(120));  // no touch on this system
    EXPECT_TRUE(overlay::TouchRegistrationFailureIsFatal(5));     // access denied
    EXPECT_TRUE(overlay::TouchRegistrationFailureIsFatal(1400));  // invalid window handle
    struct Row {
        int32_t hundredths, pixels;
    };
    const Row rows[] = {{12399, 123}, {12300, 123}, {99, 0}, {-99, 0}, {-150, -1}, {-12399, -123}};
    for (const Row& row : rows) {
        EXPECT_EQ(overlay::TouchToPixels(row.hundredths), row.pixels) << row.hundredths;
    }
}

struct Step {
    int32_t x, y;
    uint32_t message;
};

std::vector<Step> Plan(const std::vector<TouchRecord>& records) {
    std::vector<Step> steps;
    for (const overlay::TouchStep& s : overlay::PlanTouchForwarding(records)) {
        steps.push_back({s.screen.x, s.screen.y, s.message});
    }
    return steps;
}

bool operator==(const Step& a, const Step& b) {
    return a.x == b.x && a.y == b.y && a.message == b.message;
}

TEST(OverlayTouch, MovesAndLiftsBecomeMouseMessagesADownEndsTheTurn) {
    const uint32_t move = overlay::kTouchEventMove, down = overlay::kTouchEventDown,
                   up = overlay::kTouchEventUp;
    struct Row {
        const char* name;
        std::vector<TouchRecord> records;
        std::vector<Step> steps;
    };
    const Row rows[] = {
        {"move", {{12399, 20050, move}}, {{123, 200, 0x0200}}},
        {"lift", {{5000, 6000, up}}, {{50, 60, 0x0202}}},
        {"down is converted but not posted", {{100, 200, down}}, {{1, 2, 0}}},
        {"move wins over up", {{100, 100, move | up}}, {{1, 1, 0x0200}}},
        {"flags without move, up or down", {{100, 100, 0x10}}, {{1, 1, 0}}},
        {"two contacts: nothing", {{100, 100, move}, {200, 200, move}}, {}},
        {"no record", {}, {}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Plan(row.records), row.steps) << row.name;
    }
}

TEST(OverlayFrame, BorderRectsCoverTheOuterTwoPixelsOnce) {
    // A 300 x 100 frame.
    const auto rects = overlay::FrameBorderRects(300, 100);
    const int expected[4][4] = {{0, 0, 300, 2}, {0, 98, 300, 2}, {0, 2, 2, 96}, {298, 2, 2, 96}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(rects[i].x, expected[i][0]) << i;
        EXPECT_EQ(rects[i].y, expected[i][1]) << i;
        EXPECT_EQ(rects[i].width, expected[i][2]) << i;
        EXPECT_EQ(rects[i].height, expected[i][3]) << i;
    }
    // Painted pixel by pixel, every size paints each pixel of the 2-pixel ring exactly once
    // and nothing inside it.
    const int sizes[][2] = {{4, 4}, {5, 9}, {17, 6}, {64, 33}};
    for (const auto& size : sizes) {
        const int w = size[0], h = size[1];
        std::vector<int> hits(static_cast<size_t>(w * h), 0);
        for (const overlay::Rect& r : overlay::FrameBorderRects(w, h)) {
            for (int y = r.y; y < r.y + r.height; ++y) {
                for (int x = r.x; x < r.x + r.width; ++x) {
                    ++hits[static_cast<size_t>(y * w + x)];
                }
            }
        }
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const bool ring = x < 2 || y < 2 || x >= w - 2 || y >= h - 2;
                EXPECT_EQ(hits[static_cast<size_t>(y * w + x)], ring ? 1 : 0)
                    << w << "x" << h << " at " << x << "," << y;
            }
        }
    }
    const overlay::Rect window = overlay::RectFromEdges(100, 200, 400, 300);
    EXPECT_EQ(window.width, 300);
    EXPECT_EQ(window.height, 100);
}

}  // namespace
