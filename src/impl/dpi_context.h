#pragma once

// Coordinates the module takes and gives are physical pixels of the virtual desktop, whatever
// DPI awareness the host has: plain node.exe is unaware, so the system would scale its
// coordinates at a display scaling other than 100 %.
#include <windows.h>

namespace win32 {

// Makes the calling thread per-monitor DPI aware for the scope's lifetime, where the system
// offers thread DPI contexts (Windows 10 1607 and later); elsewhere (older Windows, and
// wherever the call is missing) it changes nothing. Windows made inside the scope keep the
// awareness for good.
class PerMonitorDpiScope {
public:
    PerMonitorDpiScope() noexcept;
    ~PerMonitorDpiScope();
    PerMonitorDpiScope(const PerMonitorDpiScope&) = delete;
    PerMonitorDpiScope& operator=(const PerMonitorDpiScope&) = delete;

private:
    DPI_AWARENESS_CONTEXT previous_ = nullptr;
};

// The DPI a window's coordinates are in, as the calling thread sees it: for a per-monitor aware
// caller, the display's DPI for a per-monitor aware window, 96 for an unaware one and the
// system DPI for a system-aware one. 0 where the system cannot tell (before Windows 10 1607).
UINT WindowDpi(HWND window) noexcept;

}  // namespace win32
