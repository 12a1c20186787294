#include "core/key_mapping.h"
#include "core/touch_mapping.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

using namespace quarnel;

TEST(KeyMapping, OnlyReleasesOfTheSixNavigationKeysReport) {
    constexpr uint32_t keyDown = 0x0100, keyUp = 0x0101, sysKeyDown = 0x0104, sysKeyUp = 0x0105;
    struct Row {
        uint32_t message, virtualKey;
        std::optional<int> code;
    } const rows[] = {
        {keyUp, 0x25, 0},               // Left
        {keyUp, 0x26, 1},               // Up
        {keyUp, 0x27, 2},               // Right
        {keyUp, 0x28, 3},               // Down
        {keyUp, 0x21, 4},               // Page Up
        {keyUp, 0x22, 5},               // Page Down
        {sysKeyUp, 0x27, 2},            // Right released with Alt held
        {keyUp, 0x23, std::nullopt},    // End, inside 0x21..0x28
        {keyUp, 0x24, std::nullopt},    // Home, likewise
        {keyUp, 0x20, std::nullopt},    // Space, just below the range
        {keyUp, 0x29, std::nullopt},    // Select, just above it
        {keyUp, 0x125, std::nullopt},   // Left plus a stray high bit is not Left
        {keyDown, 0x25, std::nullopt},  // presses and auto-repeat
        {sysKeyDown, 0x27, std::nullopt},
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
    } const rows[] = {
        {0x2, TouchPoint::Down},         {0x1, TouchPoint::Move},
        {0x4, TouchPoint::Up},           {0x2 | 0x1, TouchPoint::Down},
        {0x2 | 0x4, TouchPoint::Down},   {0x1 | 0x4, TouchPoint::Move},
        {0x10 | 0x4, TouchPoint::Up},     // TOUCHEVENTF_PRIMARY with up
        {0x10 | 0x80, TouchPoint::Down},  // primary, palm, none of the three: reads as down
    };
    for (const Row& row : rows) {
        EXPECT_EQ(TouchTypeFromFlags(row.flags), row.type) << "flags 0x" << std::hex << row.flags;
    }
}

TEST(TouchMapping, HundredthsTruncateTowardZeroOnBothSides) {
    // -150 (-1.5 px, left of the primary monitor) is -1, not -2.
    const std::pair<int32_t, int32_t> rows[] = {
        {99, 0},  {100, 1},   {192050, 1920}, {INT32_MAX, 21474836},
        {-99, 0}, {-150, -1}, {-200, -2},     {INT32_MIN, -21474836}};
    for (const auto& [hundredths, pixels] : rows) {
        EXPECT_EQ(HundredthsToPixels(hundredths), pixels) << hundredths;
    }
}

TEST(TouchMapping, TwoContactsGiveTwoPointsInRecordOrder) {
    // Finger 7 lands at (512.34, 300.99) px while finger 9, already down, moves left of the
    // primary monitor to (-20.5, 41.0) px.
    const TouchInput inputs[] = {
        {51234, 30099, 0x2 | 0x10, 7, 123456},
        {-2050, 4100, 0x1, 9, 123457},
    };
    EXPECT_EQ(TouchPointsJson(ToTouchPoints(inputs, 2)),
              R"([{"id":7,"time":123456,"touchType":0,"x":512,"y":300},)"
              R"({"id":9,"time":123457,"touchType":2,"x":-20,"y":41}])");
    EXPECT_TRUE(ToTouchPoints(inputs, 0).empty());
}

}  // namespace
