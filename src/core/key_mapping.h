#pragma once

#include <cstdint>
#include <optional>

namespace quarnel {

// Messages of a low-level keyboard event (the hook's wParam) that mark a key release. A
// release with Alt held arrives as the system variant.
constexpr uint32_t kKeyUpMessage = 0x0101;     // WM_KEYUP
constexpr uint32_t kSysKeyUpMessage = 0x0105;  // WM_SYSKEYUP

// The virtual-key codes of the six navigation keys.
enum NavigationKey : uint32_t {
    kVkPageUp = 0x21,    // VK_PRIOR
    kVkPageDown = 0x22,  // VK_NEXT
    kVkLeft = 0x25,
    kVkUp = 0x26,
    kVkRight = 0x27,
    kVkDown = 0x28,
};

// The key code the keyboard listener reports for one low-level keyboard event, or nothing.
// Only releases count, so a held key (presses and auto-repeat) reports once, when let go.
// Home (0x24) and End (0x23) lie between Page Down and Left but are not navigation keys here.
inline std::optional<int> ReportedKeyCode(uint32_t message, uint32_t virtualKey) noexcept {
    if (message != kKeyUpMessage && message != kSysKeyUpMessage) {
        return std::nullopt;
    }
    switch (virtualKey) {
        case kVkLeft:
            return 0;
        case kVkUp:
            return 1;
        case kVkRight:
            return 2;
        case kVkDown:
            return 3;
        case kVkPageUp:
            return 4;
        case kVkPageDown:
            return 5;
        default:
            return std::nullopt;
    }
}

}  // namespace quarnel
