#include "impl/dpi_context.h"

namespace win32 {

namespace {

using SetThreadContext = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);

// Looked up at run time: the module must still load where user32 lacks it.
SetThreadContext SetThreadContextCall() noexcept {
    static const SetThreadContext call = [] {
        const HMODULE user32 = GetModuleHandleW(L"user32.dll");
        const FARPROC found =
            user32 == nullptr ? nullptr : GetProcAddress(user32, "SetThreadDpiAwarenessContext");
        // Through a generic function pointer, the one cast between function types GCC accepts.
        return reinterpret_cast<SetThreadContext>(reinterpret_cast<void (*)()>(found));
    }();
    return call;
}

}  // namespace

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
