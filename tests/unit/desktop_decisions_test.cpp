#include "core/desktop_geometry.h"
#include "core/focus_plan.h"
#include "core/mouse_input.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <vector>

namespace {

TEST(DesktopExtent, FarthestDisplayInEachDirection) {
    struct Case {
        const char* name;
        std::vector<DisplayRect> displays;  // {x, y, width, height} in enumeration order
        int32_t width, height;
    } const cases[] = {
        {"single display", {{0, 0, 1920, 1080}}, 1920, 1080},
        // [1920x1080][1280x1024]: the right display's edge; equal |y|, the later height
        {"second display on the right", {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}}, 3200, 1024},
        // [1280x1024][1920x1080 at origin]: counted by |x| = 1280
        {"second display on the left", {{0, 0, 1920, 1080}, {-1280, 0, 1280, 1024}}, 2560, 1024},
        // the nearer display enumerated later does not shrink the width
        {"farther display first", {{1920, 0, 1280, 1024}, {0, 0, 1920, 1080}}, 3200, 1080},
        {"same offset: later wins", {{0, 0, 1920, 1080}, {0, 0, 1280, 1024}}, 1280, 1024},
        {"display above", {{0, 0, 1920, 1080}, {0, -1200, 1920, 1200}}, 1920, 2400},
        {"display below and right", {{0, 0, 800, 600}, {800, 600, 1024, 768}}, 1824, 1368},
    };
    for (const Case& c : cases) {
        const std::optional<DesktopSize> size = DesktopExtent(c.displays);
        ASSERT_TRUE(size.has_value()) << c.name;
        EXPECT_EQ(size->width, c.width) << c.name;
        EXPECT_EQ(size->height, c.height) << c.name;
    }
    EXPECT_FALSE(DesktopExtent({}).has_value());
}

TEST(NormaliseAbsolute, ScalesBy65536OverTheExtentIn32Bits) {
    struct Case {
        int32_t pixel, extent;
        std::optional<int32_t> expected;
    } const cases[] = {
        {960, 1920, 32768},      {1920, 1920, 65536},  // x * 65536 / w, not x * 65535 / (w - 1)
        {1919, 1920, 65501},                           // 125763584 / 1920 = 65501.87, truncated
        {-1280, 2560, -32768},                         // left of the origin
        {-1, 3, -21845},          // -65536 / 3 = -21845.33: toward zero, not down
        {32767, 65536, 32767},    // largest pixel that does not wrap
        {32768, 1920, -1118481},  // 2^31 wraps to -2^31; -2147483648 / 1920 = -1118481.07
        {32768, -1, INT32_MIN},   // -2^31 / -1 does not fit: wraps instead of trapping
        {100, 0, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NormaliseAbsolute(c.pixel, c.extent), c.expected) << c.pixel << "/" << c.extent;
    }
}

TEST(MouseInput, AbsoluteMoveFlagsAndResult) {
    EXPECT_EQ(kMouseAbsoluteMoveFlags, 0xC001u);  // MOVE | VIRTUALDESK | ABSOLUTE
    EXPECT_EQ(MouseInputResult(2, 2, 0), -1);
    EXPECT_EQ(MouseInputResult(1, 1, 87), -1);  // a stale error code does not matter
    EXPECT_EQ(MouseInputResult(1, 2, 5), 5);    // the press alone counts as failure
    EXPECT_EQ(MouseInputResult(0, 1, 0), 0);    // the system set no error code
}

TEST(FocusPlan, StartAndInputAttach) {
    EXPECT_EQ(DecideFocusStart(0, 0), FocusStart::InvalidHandle);
    EXPECT_EQ(DecideFocusStart(0x1234, 0x1234), FocusStart::AlreadyForeground);
    EXPECT_EQ(DecideFocusStart(0x1234, 0x5678), FocusStart::Proceed);
    EXPECT_EQ(DecideFocusStart(0x1234, 0), FocusStart::Proceed);  // nothing in the foreground
    EXPECT_FALSE(NeedsInputAttach(42, 42));  // the foreground window is on this thread
    EXPECT_TRUE(NeedsInputAttach(42, 0));    // no foreground window: tried, and it fails
}

}  // namespace
