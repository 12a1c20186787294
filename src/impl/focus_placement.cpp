// Focus and placement of windows: the foreground, activation, owners, the taskbar.
#include "impl/quarnel_impl.h"

#include "core/logging.h"
#include "core/focus_plan.h"
#include "impl/input_integrity.h"
#include "impl/off_thread.h"
#include "impl/win32_bridge.h"
#include "impl/win32_resources.h"

#include <shobjidl.h>

#include <atomic>
#include <cstdint>
#include <memory>

namespace {

using win32::ToHwnd;

// A window that does not answer is changed from a thread of its own, once it answers.
constexpr const char* kUnanswered = "window does not answer, changed once it does, hwnd:";

// Re-applies the frame so that a changed extended style takes effect, leaving position,
// size and z-order alone.
BOOL RefreshFrame(HWND hwnd) {
    return SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                        SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

// Focus requests made so far: the foreground goes to the window asked for last, also when an
// earlier request still waits for a window that does not answer (and would land after it).
std::atomic<uint64_t> focusRequests{0};

}  // namespace

void QuarnelImpl::SetWindowFocus(int hwnd) {
    SetWindowFocus(hwnd, ++focusRequests);
}

void QuarnelImpl::SetWindowFocus(int hwnd, uint64_t request) {
    if (request != focusRequests.load()) {
        QLOG(LOG_INFO) << "focus request for hwnd:" << hwnd << " dropped: a later one was made";
        return;
    }
    switch (quarnel::DecideFocusStart(hwnd, win32::HandleNumber(GetForegroundWindow()))) {
        case quarnel::FocusStart::InvalidHandle:
            QLOG(LOG_ERROR) << "invalid hwnd";
            return;
        case quarnel::FocusStart::AlreadyForeground:
            QLOG(LOG_INFO) << "current foreground window equal to hwnd:" << hwnd;
            return;
        case quarnel::FocusStart::Proceed:
            break;
    }
    const HWND window = ToHwnd(hwnd);
    // Bringing a window to the top waits for its thread.
    switch (win32::RunForWindow(window,
                                [hwnd, request] { QuarnelImpl().SetWindowFocus(hwnd, request); })) {
        case win32::Handed::No:
            break;
        case win32::Handed::Done:
            return;
        case win32::Handed::Late:
            QLOG(LOG_WARNING) << kUnanswered << hwnd;
            return;
    }
    // Still tried: the warning is the only sign the user gets when it fails.
    if (const std::optional<std::string> warning = InputDropCheck(window, "the focus request")) {
        QLOG(LOG_WARNING) << *warning;
    }
    const DWORD currentThreadId = GetCurrentThreadId();
    // Asked again: the foreground may have moved since the check above, and the attach has
    // to be with whoever holds it now.
    const DWORD foregroundThreadId = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    QLOG(LOG_INFO) << "currentThreadId:" << currentThreadId
                   << " foregroundThreadId:" << foregroundThreadId;
    const bool attach = quarnel::NeedsInputAttach(currentThreadId, foregroundThreadId);
    if (attach) {
        const BOOL attached = AttachThreadInput(foregroundThreadId, currentThreadId, TRUE);
        QLOG(LOG_INFO) << "AttachThreadInput ret:" << attached;
    }
    // Neither result changes the course: bringing to top still helps when the foreground
    // was refused, and the detach below must run whatever happened.
    const BOOL foreground = SetForegroundWindow(window);
    QLOG(LOG_INFO) << "SetForegroundWindow ret:" << foreground;
    const BOOL top = BringWindowToTop(window);
    QLOG(LOG_INFO) << "BringWindowToTop ret:" << top;
    if (attach) {
        const BOOL detached = AttachThreadInput(foregroundThreadId, currentThreadId, FALSE);
        QLOG(LOG_INFO) << "UnAttachThreadInput ret:" << detached;
    }
}

void QuarnelImpl::SetWindowFocusable(int hwnd, bool focusable) {
    const HWND window = ToHwnd(hwnd);
    // A style change is sent to the window's thread, and so is the frame refresh.
    switch (win32::RunForWindow(
        window, [hwnd, focusable] { QuarnelImpl().SetWindowFocusable(hwnd, focusable); })) {
        case win32::Handed::No:
            break;
        case win32::Handed::Done:
            return;
        case win32::Handed::Late:
            QLOG(LOG_WARNING) << kUnanswered << hwnd;
            return;
    }
    LONG_PTR style = GetWindowLongPtrW(window, GWL_EXSTYLE);
    if (focusable) {
        style &= ~static_cast<LONG_PTR>(WS_EX_NOACTIVATE);
    } else {
        style |= WS_EX_NOACTIVATE;
    }
    const LONG_PTR previous = SetWindowLongPtrW(window, GWL_EXSTYLE, style);
    // Styles are 32 bits wide; the pointer-sized call widens them on 64-bit builds.
    QLOG(LOG_INFO) << "SetWindowLongPtr ret:" << static_cast<int32_t>(previous) << " hwnd:" << hwnd
                   << " focusable:" << focusable;
    const BOOL refreshed = RefreshFrame(window);
    QLOG(LOG_INFO) << "SetWindowPos ret:" << refreshed;
}

void QuarnelImpl::SetWindowFrontTaskbar(int hwnd, bool fullscreen) {
    // The taskbar is told by message, and looks at the window.
    if (win32::DeferredWhileUnanswered(
            ToHwnd(hwnd),
            [hwnd, fullscreen] { QuarnelImpl().SetWindowFrontTaskbar(hwnd, fullscreen); },
            FindWindowW(L"Shell_TrayWnd", nullptr))) {
        QLOG(LOG_WARNING) << kUnanswered << hwnd;
        return;
    }
    // Deliberately never uninitialised: the taskbar object is made on every call, and
    // leaving the apartment in place spares re-entering it each time. A thread that already
    // lives in another apartment can use the object just as well.
    const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(init) && init != RPC_E_CHANGED_MODE) {
        QLOG(LOG_ERROR) << "CoInitializeEx fail";
        return;
    }
    win32::UniqueComPtr<ITaskbarList2> taskbar;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList2,
                                reinterpret_cast<void**>(taskbar.put())))) {
        return;
    }
    if (FAILED(taskbar.get()->HrInit())) {
        return;
    }
    const HRESULT hr = taskbar.get()->MarkFullscreenWindow(ToHwnd(hwnd), fullscreen);
    QLOG(LOG_INFO) << "MarkFullscreenWindow ret:" << hr << " hwnd:" << hwnd
                   << " fullscreen:" << fullscreen;
}

OperationResult QuarnelImpl::SetWindowParent(int parent, int child) {
    const HWND childWindow = ToHwnd(child);
    // The owner change and the frame refresh are both sent to the child's thread. The caller
    // learns that the change is still to come from ERROR_TIMEOUT.
    // Written by the thread before it counts as done, read only then.
    const auto result = std::make_shared<OperationResult>(false, 0, ERROR_TIMEOUT);
    switch (win32::RunForWindow(childWindow, [parent, child, result] {
        *result = QuarnelImpl().SetWindowParent(parent, child);
    })) {
        case win32::Handed::No:
            break;
        case win32::Handed::Done:
            return *result;
        case win32::Handed::Late:
            QLOG(LOG_WARNING) << kUnanswered << child;
            return OperationResult(false, 0, ERROR_TIMEOUT);
    }
    // 0 is also the previous owner of a window that had none: only the last-error code
    // tells that apart from a failure, so it is cleared first.
    SetLastError(0);
    const LONG_PTR previous =
        SetWindowLongPtrW(childWindow, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(ToHwnd(parent)));
    bool status = true;
    DWORD code = 0;
    if (previous == 0) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "SetWindowLongPtr GWLP_HWNDPARENT err:" << error << " child:" << child
                        << " parent:" << parent;
        status = error == 0;
        code = error;
    }
    if (status) {
        SetLastError(0);
        const BOOL refreshed = RefreshFrame(childWindow);
        const DWORD error = GetLastError();
        code = error;
        if (!refreshed) {
            QLOG(LOG_ERROR) << "SetWindowPos err:" << error << " child:" << child;
            status = false;
        }
    }
    return OperationResult(status, 0, code);
}

HWND QuarnelImpl::GetCurrentForegroundWindow() {
    const HWND hwnd = GetForegroundWindow();
    QLOG(LOG_INFO) << "get hwnd:" << hwnd;
    return hwnd;
}
