#include "impl/dpi_context.h"

namespace win32 {

namespace {

template <typename Call>
Call User32Call(const char* name) noexcept {
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    const FARPROC found = user32 == nullptr ? nullptr : GetProcAddress(user32, name);
    // Through a generic function pointer, the one cast between function types GCC accepts.
    return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(found));
}

using SetThreadContext = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);

// Looked up at run time: the module must still load where user32 lacks it.
SetThreadContext SetThreadContextCall() noexcept {
    static const SetThreadContext call =
        User32Call<SetThreadContext>("SetThreadDpiAwarenessContext");
    return call;
}

}  // namespace

UINT WindowDpi(HWND window) noexcept {
    using GetDpi = UINT(WINAPI*)(HWND);
    static const GetDpi call = User32Call<GetDpi>("GetDpiForWindow");
    return call == nullptr ? 0 : call(window);
}

PerMonitorDpiScope::PerMonitorDpiScope() noexcept {
    const SetThreadContext set = SetThreadContextCall();
    if (set == nullptr) {
        return;
    }
    // Version 2 also scales the non-client area; releases before 1703 know only version 1.
    previous_ = set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    if (previous_ == nullptr) {
        previous_ = set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
    }
}

PerMonitorDpiScope::~PerMonitorDpiScope() {
    if (previous_ != nullptr) {
        SetThreadContextCall()(previous_);
    }
}

}  // namespace win32
