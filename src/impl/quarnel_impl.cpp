// Focus and placement of windows, synthesized mouse input and display queries.
#include "impl/quarnel_impl.h"

#include "addon/logging.h"
#include "core/desktop_geometry.h"
#include "core/focus_plan.h"
#include "core/mouse_input.h"
#include "impl/dpi_context.h"
#include "impl/input_integrity.h"
#include "impl/text_conversion.h"
#include "impl/win32_resources.h"

#include <shobjidl.h>

#include <initializer_list>
#include <vector>

namespace {

// Handles cross the JavaScript boundary as signed 32-bit numbers; the system sign-extends
// them to pointer size, so a handle read back from a 64-bit HWND compares equal.
HWND ToHwnd(int handle) {
    return reinterpret_cast<HWND>(static_cast<intptr_t>(handle));
}

intptr_t HandleValue(HWND hwnd) {
    return reinterpret_cast<intptr_t>(hwnd);
}

// SendInput rejects every record when its size argument is not the system's INPUT size: the
// 32-bit union is 24 bytes after the type, the 64-bit one 32 after padding.
static_assert(sizeof(INPUT) == (sizeof(void*) == 8 ? 40 : 28), "INPUT layout");

// Re-applies the frame so that a changed extended style takes effect, leaving position,
// size, z-order and activation alone (activated, the window would take the focus from the
// active one, and under Wine become one whose every hide waits 2 s).
BOOL RefreshFrame(HWND hwnd) {
    return SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                        SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

// Sends one input record per flag value, as button events at the cursor's position.
// Returns -1 when all went in, else the error code the system set right after the call.
int SendMouseButtons(std::initializer_list<uint32_t> flags, DWORD& failure) {
    std::vector<INPUT> records;
    for (uint32_t flag : flags) {
        INPUT record = {};
        record.type = INPUT_MOUSE;
        record.mi.dwFlags = flag;
        records.push_back(record);
    }
    const UINT count = static_cast<UINT>(records.size());
    const UINT injected = SendInput(count, records.data(), sizeof(INPUT));
    const DWORD error = GetLastError();
    failure = injected == count ? 0 : error;
    return MouseInputResult(injected, count, failure);
}

BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT rect, LPARAM list) noexcept {
    try {
        reinterpret_cast<std::vector<DisplayRect>*>(list)->push_back(
            {rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top});
        return TRUE;
    } catch (...) {
        return FALSE;  // out of memory: the displays measured so far have to do
    }
}

}  // namespace

std::wstring ErrorCodeText(uint32_t code) {
    wchar_t buffer[512] = {};
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, buffer, 512, nullptr);
    if (length == 0) {
        // Directory-service codes are not in the system table. Only System32's copy is
        // looked at (a file of that name beside the application or in its working directory
        // would otherwise be found first), and only as data: no code of it runs.
        win32::UniqueHmodule module(LoadLibraryExW(
            L"Ntdsbmsg.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_AS_DATAFILE));
        if (!module) {
            return std::wstring();
        }
        length = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                                module.get(), code, 0, buffer, 512, nullptr);
    }
    if (length == 0) {
        return L"Error message not found.";
    }
    return std::wstring(buffer);
}

OperationResult::OperationResult(bool status, uint32_t pid)
    : OperationResult(status, pid, [] {
          const DWORD error = GetLastError();
          return error;
      }()) {}

OperationResult::OperationResult(bool status, uint32_t pid, uint32_t errorCode)
    : status(status),
      errorCode(errorCode),
      errorMessage(Utf16ToUtf8(ErrorCodeText(errorCode))),
      pid(pid) {}

// ---- focus and placement ----

void QuarnelImpl::SetWindowFocus(int hwnd) {
    switch (DecideFocusStart(hwnd, HandleValue(GetForegroundWindow()))) {
        case FocusStart::InvalidHandle:
            QLOG(LOG_ERROR) << "invalid hwnd";
            return;
        case FocusStart::AlreadyForeground:
            QLOG(LOG_INFO) << "current foreground window equal to hwnd:" << hwnd;
            return;
        case FocusStart::Proceed:
            break;
    }
    const HWND window = ToHwnd(hwnd);
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
    const bool attach = NeedsInputAttach(currentThreadId, foregroundThreadId);
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
    // 0 is also the previous owner of a window that had none: only the last-error code
    // tells that apart from a failure, so it is cleared first.
    SetLastError(0);
    const LONG_PTR previous =
        SetWindowLongPtrW(childWindow, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(ToHwnd(parent)));
    bool status = true;
    DWORD failure = 0;
    if (previous == 0) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "SetWindowLongPtr GWLP_HWNDPARENT err:" << error << " child:" << child
                        << " parent:" << parent;
        status = error == 0;
        failure = error;
    }
    if (status) {
        SetLastError(0);
        if (!RefreshFrame(childWindow)) {
            const DWORD error = GetLastError();
            QLOG(LOG_ERROR) << "SetWindowPos err:" << error << " child:" << child;
            status = false;
            failure = error;
        }
    }
    return status ? OperationResult(true, 0) : OperationResult(false, 0, failure);
}

HWND QuarnelImpl::GetCurrentForegroundWindow() {
    const HWND hwnd = GetForegroundWindow();
    QLOG(LOG_INFO) << "get hwnd:" << hwnd;
    return hwnd;
}

// ---- display queries ----

void QuarnelImpl::GetDeskRect(int& width, int& height) {
    std::vector<DisplayRect> displays;
    DISPLAY_DEVICEW device = {};
    device.cb = sizeof(device);
    for (DWORD index = 0; EnumDisplayDevicesW(nullptr, index, &device, 0); ++index) {
        const std::wstring name(device.DeviceName);
        DEVMODEW mode = {};
        mode.dmSize = sizeof(mode);
        mode.dmDriverExtra = 0;
        // Adapters without a current mode are not part of the desktop.
        if (!EnumDisplaySettingsW(name.c_str(), ENUM_CURRENT_SETTINGS, &mode)) {
            continue;
        }
        const DisplayRect display{mode.dmPosition.x, mode.dmPosition.y,
                                  static_cast<int32_t>(mode.dmPelsWidth),
                                  static_cast<int32_t>(mode.dmPelsHeight)};
        QLOG(LOG_INFO) << "EnumDisplaySettings x:" << display.x << " y:" << display.y
                       << " width:" << display.width << " height:" << display.height;
        displays.push_back(display);
    }
    // The monitors too: a display whose mode the system does not tell (Wine's Xinerama heads
    // report 0 x 0) still spans part of the desktop. Physical, as the callers run per-monitor
    // aware; where they cannot, these are the scaled ones and never exceed the modes.
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&displays));
    if (const std::optional<DesktopSize> size = DesktopExtent(displays)) {
        width = size->width;
        height = size->height;
    }
    QLOG(LOG_INFO) << "width:" << width << " height:" << height;
}

void QuarnelImpl::GetMainMonitorRect(int& x, int& y, int& width, int& height) {
    const win32::PerMonitorDpiScope dpi;
    // Zeroed, so that a failed query reports an empty rectangle rather than stack contents.
    DEVMODEW mode = {};
    mode.dmSize = sizeof(mode);
    mode.dmDriverExtra = 0;
    const BOOL ret = EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    QLOG(LOG_INFO) << "EnumDisplaySettingsW ret:" << ret;
    x = mode.dmPosition.x;
    y = mode.dmPosition.y;
    width = static_cast<int>(mode.dmPelsWidth);
    height = static_cast<int>(mode.dmPelsHeight);
}

// ---- mouse input ----

int QuarnelImpl::InputMouseMove(int x, int y) {
    // The extent and the move in physical pixels, whatever the host's own DPI awareness.
    const win32::PerMonitorDpiScope dpi;
    if (const std::optional<std::string> warning =
            InputDropCheck(GetForegroundWindow(), "mouse input")) {
        QLOG(LOG_WARNING) << *warning;
    }
    int width = 0;
    int height = 0;
    GetDeskRect(width, height);
    const std::optional<int32_t> dx = NormaliseAbsolute(x, width);
    const std::optional<int32_t> dy = NormaliseAbsolute(y, height);
    if (!dx || !dy) {
        // No display reported its mode: there is nothing to scale the point onto.
        QLOG(LOG_ERROR) << "no desktop size width:" << width << " height:" << height;
        return ERROR_DEVICE_NOT_AVAILABLE;
    }
    QLOG(LOG_INFO) << "dx:" << *dx << " dy:" << *dy;
    INPUT record = {};
    record.type = INPUT_MOUSE;
    record.mi.dx = *dx;
    record.mi.dy = *dy;
    record.mi.dwFlags = kMouseAbsoluteMoveFlags;
    const UINT injected = SendInput(1, &record, sizeof(INPUT));
    const DWORD error = GetLastError();
    const int result = MouseInputResult(injected, 1, error);
    if (result != -1) {
        QLOG(LOG_ERROR) << "err:" << error;
    }
    return result;
}

// Each button operation logs under its own name, hence one small definition per operation.
#define QUARNEL_MOUSE_BUTTONS(Name, ...)                                \
    int QuarnelImpl::Name() {                                           \
        if (const std::optional<std::string> warning =                  \
                InputDropCheck(GetForegroundWindow(), "mouse input")) { \
            QLOG(LOG_WARNING) << *warning;                              \
        }                                                               \
        DWORD failure = 0;                                              \
        const int result = SendMouseButtons({__VA_ARGS__}, failure);    \
        if (result != -1) {                                             \
            QLOG(LOG_ERROR) << "err:" << failure;                       \
        }                                                               \
        return result;                                                  \
    }
QUARNEL_MOUSE_BUTTONS(InputMouseLeftClick, kMouseLeftDown, kMouseLeftUp)
QUARNEL_MOUSE_BUTTONS(InputMouseLeftDown, kMouseLeftDown)
QUARNEL_MOUSE_BUTTONS(InputMouseLeftUp, kMouseLeftUp)
QUARNEL_MOUSE_BUTTONS(InputMouseRightClick, kMouseRightDown, kMouseRightUp)
QUARNEL_MOUSE_BUTTONS(InputMouseRightDown, kMouseRightDown)
QUARNEL_MOUSE_BUTTONS(InputMouseRightUp, kMouseRightUp)
#undef QUARNEL_MOUSE_BUTTONS
