#pragma once

#include <cstdint>
#include <optional>

// Messages of a low-level keyboard event (the hook's wParam) that mark a key release. A
// release with Alt held arrives as the system variant.
constexpr uint32_t kKeyUpMessage = 0x0101;     // WM_KEYUP
constexpr uint32_t kSysKeyUpMessage = 0x0105;  // WM_SYSKEYUP

// The key code the keyboard listener reports for one low-level keyboard event, or nothing.
// Only releases count, so a held key (presses and auto-repeat) reports once, when let go.
// Home (0x24) and End (0x23) lie between Page Down and Left but are not navigation keys here.
inline std::optional<int> ReportedKeyCode(uint32_t message, uint32_t virtualKey) noexcept {
    if (message != kKeyUpMessage && message != kSysKeyUpMessage) {
        return std::nullopt;
    }
    switch (virtualKey) {
        case 0x25:
            return 0;  // VK_LEFT
        case 0x26:
            return 1;  // VK_UP
        case 0x27:
            return 2;  // VK_RIGHT
        case 0x28:
            return 3;  // VK_DOWN
        case 0x21:
            return 4;  // VK_PRIOR, Page Up
        case 0x22:
            return 5;  // VK_NEXT, Page Down
        default:
            return std::nullopt;
    }
}
