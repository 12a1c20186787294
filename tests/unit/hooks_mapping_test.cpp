#include "core/key_mapping.h"
#include "core/touch_mapping.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

constexpr uint32_t WM_KEYDOWN_ = 0x0100;
constexpr uint32_t WM_KEYUP_ = 0x0101;
constexpr uint32_t WM_SYSKEYDOWN_ = 0x0104;
constexpr uint32_t WM_SYSKEYUP_ = 0x0105;

TEST(KeyMapping, OnlyReleasesOfTheSixNavigationKeysReport) {
    struct Row {
        uint32_t message;
        uint32_t virtualKey;
        std::optional<int> code;
    };
    const Row rows[] = {
        {WM_KEYUP_, 0x25, 0},               // Left
        {WM_KEYUP_, 0x26, 1},               // Up
        {WM_KEYUP_, 0x27, 2},               // Right
        {WM_KEYUP_, 0x28, 3},               // Down
        {WM_KEYUP_, 0x21, 4},               // Page Up
        {WM_KEYUP_, 0x22, 5},               // Page Down
        {WM_SYSKEYUP_, 0x27, 2},            // Right released with Alt held
        {WM_SYSKEYUP_, 0x22, 5},            //
        {WM_KEYUP_, 0x23, std::nullopt},    // End, inside 0x21..0x28
        {WM_KEYUP_, 0x24, std::nullopt},    // Home, likewise
        {WM_KEYUP_, 0x20, std::nullopt},    // Space, just below the range
        {WM_KEYUP_, 0x29, std::nullopt},    // Select, just above it
        {WM_KEYUP_, 0x41, std::nullopt},    // A
        {WM_KEYUP_, 0x125, std::nullopt},   // Left plus a stray high bit is not Left
        {WM_KEYDOWN_, 0x25, std::nullopt},  // presses and auto-repeat
        {WM_SYSKEYDOWN_, 0x27, std::nullopt},
        {0x0102, 0x25, std::nullopt},  // WM_CHAR
        {0x0106, 0x27, std::nullopt},  // WM_SYSCHAR
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ReportedKeyCode(row.message, row.virtualKey), row.code)
            << "message 0x" << std::hex << row.message << " key 0x" << row.virtualKey;
    }
}

TEST(TouchMapping, DownWinsOverMoveAndMoveOverUp) {
    struct Row {
        uint32_t flags;
        int32_t type;
    };
    const Row rows[] = {
        {0x2, TouchPoint::Down},         {0x1, TouchPoint::Move},
        {0x4, TouchPoint::Up},           {0x2 | 0x1, TouchPoint::Down},
        {0x2 | 0x4, TouchPoint::Down},   {0x1 | 0x4, TouchPoint::Move},
        {0x10 | 0x4, TouchPoint::Up},     // TOUCHEVENTF_PRIMARY with up
        {0x10 | 0x80, TouchPoint::Down},  // primary, palm, none of the three: reads as down
        {0, TouchPoint::Down},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(TouchTypeFromFlags(row.flags), row.type) << "flags 0x" << std::hex << row.flags;
    }
}

TEST(TouchMapping, HundredthsTruncateTowardZeroOnBothSides) {
    struct Row {
        int32_t hundredths;
        int32_t pixels;
    };
    const Row rows[] = {
        {0, 0},
        {99, 0},
        {100, 1},
        {199, 1},
        {192050, 1920},
        {-1, 0},
        {-99, 0},
        {-100, -1},
        {-150, -1},
        {-199, -1},
        {-200, -2},
        {-192099, -1920},
        {INT32_MAX, 21474836},
        {INT32_MIN, -21474836},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(HundredthsToPixels(row.hundredths), row.pixels) << row.hundredths;
    }
}

TEST(TouchMapping, TwoContactsGiveTwoPointsInRecordOrder) {
    // Finger 7 lands at (512.34, 300.99) px while finger 9, already down, moves left of the
    // primary monitor to (-20.5, 41.0) px.
    const TouchInput inputs[] = {
        {51234, 30099, 7, 0x2 | 0x10, 123456},
        {-2050, 4100, 9, 0x1, 123456},
    };
    const std::vector<TouchPoint> points = ToTouchPoints(inputs, 2);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0].touchType, TouchPoint::Down);
    EXPECT_EQ(points[0].x, 512);
    EXPECT_EQ(points[0].y, 300);
    EXPECT_EQ(points[0].id, 7u);
    EXPECT_EQ(points[0].time, 123456u);
    EXPECT_EQ(points[1].touchType, TouchPoint::Move);
    EXPECT_EQ(points[1].x, -20);
    EXPECT_EQ(points[1].y, 41);
    EXPECT_EQ(points[1].id, 9u);
    EXPECT_EQ(points[1].time, 123456u);
    // As JavaScript reads them.
    EXPECT_EQ(TouchPointsJson(points), R"([{"id":7,"time":123456,"touchType":0,"x":512,"y":300},)"
                                       R"({"id":9,"time":123456,"touchType":2,"x":-20,"y":41}])");
    EXPECT_TRUE(ToTouchPoints(inputs, 0).empty());
}

}  // namespace
