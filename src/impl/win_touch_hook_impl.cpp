#include "impl/win_touch_hook_impl.h"

#include "core/logging.h"
#include "core/touch_mapping.h"
#include "impl/dpi_context.h"
#include "impl/win32_bridge.h"
#include "impl/win32_resources.h"
#include "impl/window_threads.h"

#include <chrono>
#include <cstdint>
#include <set>

quarnel::Lasting<std::shared_ptr<const WinTouchHookImpl::TouchCallback>>
    WinTouchHookImpl::touchCallback;
quarnel::Lasting<std::mutex> WinTouchHookImpl::touchCallbackMutex;

namespace {

constexpr wchar_t kWindowClass[] = L"TouchHookWindow";

constexpr std::chrono::milliseconds kShutdownWait{2000};

// Process-wide so that the count outlives any touch hook whose threads still end.
win32::Lasting<win32::WindowThreads> touchThreads;

// The live touch windows, listed by their own thread from the first message to the last, so
// that a handle found here is never one the system has given to another window since.
win32::Lasting<std::mutex> windowsMutex;
win32::Lasting<std::set<HWND>> windows;

}  // namespace

LRESULT CALLBACK WinTouchHookImpl::TouchProxyWndProc(HWND hwnd, UINT message, WPARAM wParam,
                                                     LPARAM lParam) noexcept {
    switch (message) {
        case WM_TOUCH: {
            // Closed on every path, reported or not.
            win32::UniqueTouchInput handle(reinterpret_cast<HTOUCHINPUT>(lParam));
            const UINT count = LOWORD(wParam);
            try {
                std::vector<TOUCHINPUT> records(count);
                if (!GetTouchInputInfo(handle.get(), count, records.data(), sizeof(TOUCHINPUT))) {
                    const DWORD error = GetLastError();
                    QLOG(LOG_ERROR) << "GetTouchInputInfo err:" << error << " numInputs:" << count;
                    return 1;
                }
                std::vector<quarnel::TouchInput> inputs;
                inputs.reserve(count);
                for (const TOUCHINPUT& record : records) {
                    inputs.push_back(win32::ToTouchInput(record));
                }
                NotifyTouch(quarnel::ToTouchPoints(inputs.data(), inputs.size()));
            } catch (...) {
                // Out of memory for one message: that message is not reported.
            }
            return 1;
        }
        case WM_NCCREATE:
            try {
                std::lock_guard<std::mutex> lock(*windowsMutex);
                windows->insert(hwnd);
            } catch (...) {
                return FALSE;  // a window that cannot be listed could not be closed at unload
            }
            break;
        case WM_DESTROY:
            // The window goes with its target; its thread has nothing left to do.
            PostQuitMessage(0);
            break;
        case WM_NCDESTROY: {
            std::lock_guard<std::mutex> lock(*windowsMutex);
            windows->erase(hwnd);
            break;
        }
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void WinTouchHookImpl::CreateProxyWindow(int hwnd, const TouchCallback& callback) {
    const HWND target = win32::ToHwnd(hwnd);
    if (!IsWindow(target)) {
        QLOG(LOG_ERROR) << "invalid hWnd:" << hwnd;
        return;
    }
    auto next = std::make_shared<const TouchCallback>(callback);
    {
        std::lock_guard<std::mutex> lock(*touchCallbackMutex);
        touchCallback->swap(next);
    }
    // `next` now holds the previous callback; a window thread may still be calling its own
    // share, which then is the last.
    next.reset();
    // A failure to log or to allocate ends this window's thread, nothing else.
    touchThreads->Start([target] { MessageLoop(target); });
}

WinTouchHookImpl::~WinTouchHookImpl() {
    {
        std::lock_guard<std::mutex> lock(*windowsMutex);
        for (const HWND hwnd : *windows) {
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
        }
    }
    // The touch windows' procedure is this module's code, which may be unloaded right after.
    touchThreads->WaitForAll(kShutdownWait, kWindowClass);
}

void WinTouchHookImpl::NotifyTouch(const std::vector<quarnel::TouchPoint>& points) {
    std::shared_ptr<const TouchCallback> current;
    {
        std::lock_guard<std::mutex> lock(*touchCallbackMutex);
        current = *touchCallback;
    }
    if (current != nullptr && *current) {
        (*current)(points);
    }
}

void WinTouchHookImpl::MessageLoop(HWND target) {
    // Touch points and the target's rectangle in physical pixels.
    const win32::PerMonitorDpiScope dpi;
    RECT rect = {};
    GetWindowRect(target, &rect);
    const int x = rect.left;
    const int y = rect.top;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;

    // Shared by every touch thread; unregistered once the last has ended at a stop.
    win32::RegisterWindowClass(kWindowClass, TouchProxyWndProc);

    // Made hidden under the window lock and shown there without the activation, which would
    // wait for the target's thread (window_threads.h).
    win32::UniqueHwnd window;
    {
        const win32::WindowChange change;
        window.reset(CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW, kWindowClass, kWindowClass,
                                     WS_POPUP | WS_CHILD, x, y, width, height, target, nullptr,
                                     nullptr, nullptr));
        if (window) {
            SetWindowPos(window.get(), nullptr, x, y, width, height,
                         SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        }
    }
    if (!window) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "CreateWindowEx err:" << error << " parentHWnd:" << target << " x:" << x
                        << " y:" << y << " width:" << width << " height:" << height;
        return;
    }
    const HWND hwnd = window.get();
    if (!RegisterTouchWindow(hwnd, TWF_WANTPALM)) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "RegisterTouchWindow err:" << error;
        return;
    }
    if (!ResizeWindow(hwnd, x, y, width, height)) {
        return;
    }
    QLOG(LOG_INFO) << "create windows cuccess hwnd:" << hwnd << " parentHWnd:" << target
                   << " x:" << x << " y:" << y << " width:" << width << " height:" << height;

    const win32::LoopEnd end = win32::PumpMessages();
    if (!end.quit) {
        QLOG(LOG_WARNING) << "GetMessage break childHWnd:" << hwnd << " err:" << end.error;
    }
    QLOG(LOG_INFO) << "end message loop childHWnd:" << hwnd;
    if (!IsWindow(hwnd)) {
        // Destroyed with its target: nothing is left to close.
        (void)window.release();
    }
}

bool WinTouchHookImpl::ResizeWindow(HWND hwnd, int x, int y, int width, int height) {
    if (!SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_SHOWWINDOW)) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "SetWindowPos err:" << error << " hWnd:" << hwnd << " x:" << x
                        << " y:" << y << " width:" << width << " height:" << height;
        return false;
    }
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    return true;
}
