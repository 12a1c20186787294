#include "core/desktop_geometry.h"
#include "core/focus_plan.h"
#include "core/input_integrity.h"
#include "core/mouse_input.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <vector>

namespace {

using namespace quarnel;

TEST(DesktopExtent, BoundingBoxOfTheDisplays) {
    struct Case {
        const char* name;
        std::vector<Rect> displays;  // {x, y, width, height} in enumeration order
        int32_t width, height;
    } const cases[] = {
        {"single display", {{0, 0, 1920, 1080}}, 1920, 1080},
        // [1920x1080][1280x1024]: the taller main display sets the height
        {"second display on the right", {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}}, 3200, 1080},
        // [1280x1024][1920x1080 at origin]: -1280 .. 1920
        {"second display on the left", {{0, 0, 1920, 1080}, {-1280, 0, 1280, 1024}}, 3200, 1080},
        // [1280x1024][main 1920x1080][1600x900]: -1280 .. 3520
        {"displays on both sides",
         {{0, 0, 1920, 1080}, {-1280, 0, 1280, 1024}, {1920, 0, 1600, 900}},
         4800,
         1080},
        {"farther display first", {{1920, 0, 1280, 1024}, {0, 0, 1920, 1080}}, 3200, 1080},
        // one above the other: -1200 .. 1080
        {"stacked", {{0, 0, 1920, 1080}, {0, -1200, 1920, 1200}}, 1920, 2280},
        // a portrait display raised by 300: -300 .. 1620, 0 .. 3640
        {"mixed sizes, negative y", {{0, 0, 2560, 1440}, {2560, -300, 1080, 1920}}, 3640, 1920},
        {"below and right", {{0, 0, 800, 600}, {800, 600, 1024, 768}}, 1824, 1368},
        {"overlapping heads", {{0, 0, 800, 600}, {0, 0, 1024, 768}}, 1024, 768},
        {"a display without a mode takes no room", {{0, 0, 800, 600}, {0, 0, 0, 0}}, 800, 600},
        {"absurd data saturates",
         {{INT32_MIN, 0, 10, 10}, {INT32_MAX - 5, 0, 10, 10}},
         INT32_MAX,
         10},
    };
    for (const Case& c : cases) {
        const std::optional<DesktopSize> size = DesktopExtent(c.displays);
        ASSERT_TRUE(size.has_value()) << c.name;
        EXPECT_EQ(size->width, c.width) << c.name;
        EXPECT_EQ(size->height, c.height) << c.name;
    }
    EXPECT_FALSE(DesktopExtent({}).has_value());
    EXPECT_FALSE(DesktopExtent({{0, 0, 0, 0}}).has_value());
}

TEST(NormaliseAbsolute, SmallestValueThatMapsBackToThePixel) {
    struct Case {
        int32_t pixel, extent;
        std::optional<int32_t> expected;
    } const cases[] = {
        {960, 1920, 32768},      {1920, 1920, 65536},  // exact: 65536 per extent, not 65535
        {1919, 1920, 65502},                           // 125763584 / 1920 = 65501.87, rounded up
        {1, 1920, 35},                                 // 34.13 up: 35 * 1920 / 65536 = 1.03 → 1
        {2, 3, 43691},                                 // 131072 / 3 = 43690.67
        {-1280, 2560, -32768},                         // left of the origin, exact
        {-1, 3, -21845},                               // -65536 / 3 = -21845.33: up is toward zero
        {32767, 65536, 32767},                         // largest pixel that does not wrap
        {32768, 1920, -1118481},  // 2^31 wraps to -2^31; -2147483648 / 1920 = -1118481.07
        {32768, -1, INT32_MIN},   // -2^31 / -1 does not fit: wraps instead of trapping
        {100, 0, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NormaliseAbsolute(c.pixel, c.extent), c.expected) << c.pixel << "/" << c.extent;
    }
    // Every pixel of common extents maps back onto itself under the system's truncation.
    for (const int32_t extent : {800, 1024, 1366, 1920, 3200, 4800, 7680}) {
        for (int32_t pixel = 0; pixel < extent; ++pixel) {
            const int64_t value = *NormaliseAbsolute(pixel, extent);
            ASSERT_EQ(value * extent / 65536, pixel) << pixel << "/" << extent;
        }
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

TEST(InputIntegrity, DroppedOnlyWhenTheReceiverIsKnownToRunHigher) {
    const std::optional<uint32_t> unknown;
    struct Case {
        const char* name;
        IntegrityFacts facts;  // host, target, host has UI access
        bool dropped;
    } const cases[] = {
        {"elevated receiver", {kIntegrityMedium, kIntegrityHigh, false}, true},
        {"service window", {kIntegrityMedium, kIntegritySystem, false}, true},
        {"sandboxed host", {kIntegrityLow, kIntegrityMedium, false}, true},
        {"one step up", {kIntegrityMedium, kIntegrityMediumPlus, false}, true},
        {"equal", {kIntegrityMedium, kIntegrityMedium, false}, false},
        {"receiver lower", {kIntegrityHigh, kIntegrityMedium, false}, false},
        {"UI access exempts", {kIntegrityMedium, kIntegrityHigh, true}, false},
        {"host unknown", {unknown, kIntegrityHigh, false}, false},
        {"receiver unknown", {kIntegrityMedium, unknown, false}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(InputWillBeDropped(c.facts), c.dropped) << c.name;
    }
    EXPECT_EQ(
        InputDropWarning("mouse input", "Taskmgr.exe", 4242, kIntegrityHigh, kIntegrityMedium),
        "mouse input goes to Taskmgr.exe (pid 4242), which runs at high integrity, above "
        "this process (medium): Windows will drop it without reporting an error");
    EXPECT_EQ(IntegrityLevelName(kIntegrityMediumPlus), "medium plus");
    EXPECT_EQ(IntegrityLevelName(0x2050), "level 8272");
}

}  // namespace
