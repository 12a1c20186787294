#include "core/desktop_geometry.h"
#include "core/focus_plan.h"
#include "core/mouse_input.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

struct ExtentCase {
    const char* name;
    std::vector<DisplayRect> displays;  // {x, y, width, height} in enumeration order
    int32_t width;
    int32_t height;
};

TEST(DesktopExtent, FarthestDisplayInEachDirection) {
    const ExtentCase cases[] = {
        {"single display", {{0, 0, 1920, 1080}}, 1920, 1080},
        // [1920x1080][1280x1024]: the right display's edge; equal |y|, the later height
        {"second display on the right", {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}}, 3200, 1024},
        // [1280x1024][1920x1080 at origin]: counted by |x| = 1280
        {"second display on the left", {{0, 0, 1920, 1080}, {-1280, 0, 1280, 1024}}, 2560, 1024},
        // the nearer display enumerated later does not shrink the width
        {"farther display first", {{1920, 0, 1280, 1024}, {0, 0, 1920, 1080}}, 3200, 1080},
        {"same offset: later wins", {{0, 0, 1920, 1080}, {0, 0, 1280, 1024}}, 1280, 1024},
        // a 1920x1200 display above the origin: 1200 + 1200
        {"display above", {{0, 0, 1920, 1080}, {0, -1200, 1920, 1200}}, 1920, 2400},
        {"display below and right", {{0, 0, 800, 600}, {800, 600, 1024, 768}}, 1824, 1368},
    };
    for (const ExtentCase& c : cases) {
        const std::optional<DesktopSize> size = DesktopExtent(c.displays);
        ASSERT_TRUE(size.has_value()) << c.name;
        EXPECT_EQ(size->width, c.width) << c.name;
        EXPECT_EQ(size->height, c.height) << c.name;
    }
}

TEST(DesktopExtent, NoDisplayMeasuredGivesNothing) {
    EXPECT_FALSE(DesktopExtent({}).has_value());
}

TEST(NormaliseAbsolute, ScalesBy65536OverTheExtentIn32Bits) {
    struct Case {
        int32_t pixel, extent, expected;
    } const cases[] = {
        {960, 1920, 32768},  // the middle
        {540, 1080, 32768},      {0, 1920, 0},
        {1920, 1920, 65536},      // x * 65536 / w, not x * 65535 / (w - 1)
        {1919, 1920, 65501},      // 125763584 / 1920 = 65501.87, truncated
        {-1280, 2560, -32768},    // left of the origin
        {-1, 3, -21845},          // -65536 / 3 = -21845.33: toward zero, not down
        {32768, 1920, -1118481},  // 2^31 wraps to -2^31; -2147483648 / 1920 = -1118481.07
        {40000, 3200, -522977},   // 2621440000 - 2^32 = -1673527296; / 3200 = -522977.28
        {65536, 1920, 0},         // 2^32 wraps to 0
        {32767, 65536, 32767},    // largest pixel that does not wrap
    };
    for (const Case& c : cases) {
        const std::optional<int32_t> value = NormaliseAbsolute(c.pixel, c.extent);
        ASSERT_TRUE(value.has_value()) << c.pixel << "/" << c.extent;
        EXPECT_EQ(*value, c.expected) << c.pixel << "/" << c.extent;
    }
}

TEST(NormaliseAbsolute, ZeroExtentIsNotDivided) {
    EXPECT_FALSE(NormaliseAbsolute(100, 0).has_value());
    EXPECT_FALSE(NormaliseAbsolute(0, 0).has_value());
}

TEST(MouseInput, AbsoluteMoveFlagsAndResult) {
    EXPECT_EQ(kMouseAbsoluteMoveFlags, 0xC001u);
    struct Case {
        uint32_t injected, requested, error;
        int32_t expected;
    } const cases[] = {
        {2, 2, 0, -1},
        {1, 1, 87, -1},  // a stale error code does not matter when everything went in
        {1, 2, 5, 5},    // the press alone counts as failure
        {0, 1, 0, 0},    // the system set no error code
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MouseInputResult(c.injected, c.requested, c.error), c.expected)
            << c.injected << " of " << c.requested;
    }
}

TEST(FocusPlan, StartAndInputAttach) {
    struct StartCase {
        intptr_t hwnd, foreground;
        FocusStart expected;
    } const starts[] = {
        {0, 0, FocusStart::InvalidHandle},
        {0, 0x1234, FocusStart::InvalidHandle},
        {0x1234, 0x1234, FocusStart::AlreadyForeground},
        {0x1234, 0x5678, FocusStart::Proceed},
        {0x1234, 0, FocusStart::Proceed},  // nothing in the foreground
        {-2, -2, FocusStart::AlreadyForeground},
    };
    for (const StartCase& c : starts) {
        EXPECT_EQ(DecideFocusStart(c.hwnd, c.foreground), c.expected)
            << c.hwnd << " " << c.foreground;
    }
    EXPECT_FALSE(NeedsInputAttach(42, 42));  // the foreground window is on this thread
    EXPECT_TRUE(NeedsInputAttach(42, 43));
    EXPECT_TRUE(NeedsInputAttach(42, 0));  // no foreground window: the attach is tried and fails
}

}  // namespace
