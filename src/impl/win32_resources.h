#pragma once

// RAII owners of the Win32 resources the components use: one alias per release rule.
#include <orlix/scoped_handle.h>
#include <orlix/unique_resource.h>

#include <windows.h>

namespace win32 {

using UniqueHwnd = Orlix::unique_resource<HWND, DestroyWindow>;
using UniqueHook = Orlix::unique_resource<HHOOK, UnhookWindowsHookEx>;
// The foundation's kernel-handle owner: null and INVALID_HANDLE_VALUE both hold nothing.
using UniqueHandle = Orlix::ScopedHandle;
using UniqueHdc = Orlix::unique_resource<HDC, DeleteDC>;  // a memory DC
using UniqueGdiObject = Orlix::unique_resource<HGDIOBJ, DeleteObject>;
using UniqueHmodule = Orlix::unique_resource<HMODULE, FreeLibrary>;
using UniqueTouchInput = Orlix::unique_resource<HTOUCHINPUT, CloseTouchInputHandle>;

template <typename Interface>
void ReleaseInterface(Interface* object) noexcept {
    object->Release();
}
// One reference to a COM object.
template <typename Interface>
using UniqueComPtr = Orlix::unique_resource<Interface*, ReleaseInterface<Interface>>;

// A window's DC: released with the window it came from.
class WindowDc {
public:
    explicit WindowDc(HWND hwnd) noexcept : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~WindowDc() {
        if (dc_ != nullptr) {
            ReleaseDC(hwnd_, dc_);
        }
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// Selects an object into a DC and puts the previous one back when it ends.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept
        : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (previous_ != nullptr && previous_ != HGDI_ERROR) {
            SelectObject(dc_, previous_);
        }
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace win32
