#pragma once

// Where the platform-free core meets Win32: window handles as the numbers JavaScript holds,
// the core's geometry structs as RECT and POINT, and the Windows constants the core keeps
// copies of (so that the native tests never include <windows.h>). Each copy is tied to its
// definition here: one that drifts fails the build of the module, not a test on some machine.
#include "core/frame_geometry.h"
#include "core/input_integrity.h"
#include "core/key_mapping.h"
#include "core/mouse_input.h"
#include "core/proxy_forwarding.h"
#include "core/touch_mapping.h"

#include <windows.h>

#include <cstdint>
#include <string>

#include <orlix/string_conversion.h>

namespace win32 {

// Handles cross the JavaScript boundary as signed 32-bit numbers; the system sign-extends
// them to pointer size, so a handle read back from a 64-bit HWND compares equal. Handles of
// user objects fit in 32 bits on both architectures.
inline HWND ToHwnd(int32_t number) noexcept {
    return reinterpret_cast<HWND>(static_cast<intptr_t>(number));
}

inline int32_t HandleNumber(HWND hwnd) noexcept {
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(hwnd));
}

inline quarnel::Rect ToRect(const RECT& rect) noexcept {
    return quarnel::RectFromEdges(rect.left, rect.top, rect.right, rect.bottom);
}

inline quarnel::Point ToPoint(const POINT& point) noexcept {
    return {static_cast<int32_t>(point.x), static_cast<int32_t>(point.y)};
}

inline POINT ToPOINT(quarnel::Point point) noexcept {
    return {point.x, point.y};
}

// GetTouchInputInfo checks the record size against its own: 40 bytes on ia32, 48 on x64.
static_assert(sizeof(TOUCHINPUT) == (sizeof(void*) == 8 ? 48 : 40), "TOUCHINPUT layout");

inline quarnel::TouchInput ToTouchInput(const TOUCHINPUT& record) noexcept {
    return {static_cast<int32_t>(record.x), static_cast<int32_t>(record.y),
            static_cast<uint32_t>(record.dwFlags), static_cast<uint32_t>(record.dwID),
            static_cast<uint32_t>(record.dwTime)};
}

// Text for a Win32 call: the foundation's UTF-8 conversion, up to the first NUL, where a
// zero-terminated string would end anyway. Invalid input is replaced, never rejected; false
// only when memory ran out.
inline bool ToWide(const std::string& utf8, std::wstring& wide) {
    return Orlix::Utf8ToWide(utf8.substr(0, utf8.find('\0')), wide);
}

// ToWide for text whose loss costs nothing: "" when memory ran out.
inline std::wstring Wide(const std::string& utf8) {
    std::wstring wide;
    ToWide(utf8, wide);
    return wide;
}

// Text read from a Win32 call, up to its first NUL.
inline std::string Utf8(const std::wstring& wide) {
    return Orlix::WideToUtf8(wide.substr(0, wide.find(L'\0')));
}

}  // namespace win32

// ---- the core's copies of Windows definitions ----

namespace quarnel {

static_assert(kKeyUpMessage == WM_KEYUP && kSysKeyUpMessage == WM_SYSKEYUP, "key release");
static_assert(kVkPageUp == VK_PRIOR && kVkPageDown == VK_NEXT && kVkLeft == VK_LEFT &&
                  kVkUp == VK_UP && kVkRight == VK_RIGHT && kVkDown == VK_DOWN,
              "navigation keys");

static_assert(kMouseMove == MOUSEEVENTF_MOVE && kMouseLeftDown == MOUSEEVENTF_LEFTDOWN &&
                  kMouseLeftUp == MOUSEEVENTF_LEFTUP && kMouseRightDown == MOUSEEVENTF_RIGHTDOWN &&
                  kMouseRightUp == MOUSEEVENTF_RIGHTUP &&
                  kMouseVirtualDesk == MOUSEEVENTF_VIRTUALDESK &&
                  kMouseAbsolute == MOUSEEVENTF_ABSOLUTE,
              "mouse input flags");

static_assert(kTouchFlagMove == TOUCHEVENTF_MOVE && kTouchFlagDown == TOUCHEVENTF_DOWN &&
                  kTouchFlagUp == TOUCHEVENTF_UP,
              "touch flags");

static_assert(kWmMouseMove == WM_MOUSEMOVE && kWmLButtonDown == WM_LBUTTONDOWN &&
                  kWmLButtonUp == WM_LBUTTONUP && kWmLButtonDblClk == WM_LBUTTONDBLCLK &&
                  kWmRButtonDown == WM_RBUTTONDOWN && kWmRButtonUp == WM_RBUTTONUP &&
                  kWmRButtonDblClk == WM_RBUTTONDBLCLK && kWmMButtonDown == WM_MBUTTONDOWN &&
                  kWmMButtonUp == WM_MBUTTONUP && kWmMButtonDblClk == WM_MBUTTONDBLCLK &&
                  kWmXButtonDown == WM_XBUTTONDOWN && kWmXButtonUp == WM_XBUTTONUP &&
                  kWmXButtonDblClk == WM_XBUTTONDBLCLK && kWmMouseHover == WM_MOUSEHOVER,
              "mouse messages");
static_assert(kErrorCallNotImplemented == ERROR_CALL_NOT_IMPLEMENTED, "no touch");

static_assert(kFrameKeyColourRef == RGB((kFrameKeyColourArgb >> 16) & 0xFF,
                                        (kFrameKeyColourArgb >> 8) & 0xFF,
                                        kFrameKeyColourArgb & 0xFF),
              "the frame's key colour, as GDI+ clears to it and as the layered window keys it");

// The SDK defines the medium-plus level as medium + 0x100; not every header set names it.
static_assert(kIntegrityUntrusted == SECURITY_MANDATORY_UNTRUSTED_RID &&
                  kIntegrityLow == SECURITY_MANDATORY_LOW_RID &&
                  kIntegrityMedium == SECURITY_MANDATORY_MEDIUM_RID &&
                  kIntegrityMediumPlus == SECURITY_MANDATORY_MEDIUM_RID + 0x100 &&
                  kIntegrityHigh == SECURITY_MANDATORY_HIGH_RID &&
                  kIntegritySystem == SECURITY_MANDATORY_SYSTEM_RID &&
                  kIntegrityProtected == SECURITY_MANDATORY_PROTECTED_PROCESS_RID,
              "integrity levels");

}  // namespace quarnel
