#include "impl/display_watch.h"

#include "core/logging.h"
#include "impl/window_threads.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace win32 {

namespace {

constexpr wchar_t kWatchClass[] = L"QuarnelDisplayWatch";
constexpr std::chrono::milliseconds kStopWait{500};

constexpr std::chrono::milliseconds kReadyWait{500};

// Announcements seen, plus the calls made while nobody watched; only ever counts up.
std::atomic<uint64_t> generation{0};
std::atomic<bool> watching{false};
Lasting<std::mutex> readyMutex;
Lasting<std::condition_variable> ready;  // watching has changed

// The watch's thread: started and stopped on whichever thread asks, one at a time.
Lasting<std::mutex> watchMutex;
DWORD watchThread = 0;  // under watchMutex

WindowThreads& watchThreads() {
    static Lasting<WindowThreads> threads;
    return *threads;
}

LRESULT CALLBACK WatchProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_DISPLAYCHANGE:
        case WM_SETTINGCHANGE:
        case WM_DEVICECHANGE:
        case WM_DPICHANGED:
            generation.fetch_add(1, std::memory_order_release);
            break;
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// A hidden top-level window, not a message-only one: only top-level windows hear broadcasts.
void Watch() {
    RegisterWindowClass(kWatchClass, WatchProc);
    UniqueHwnd window;
    {
        // Its first window opens the thread's display connection under Wine, as a proxy's does.
        const WindowChange making;
        window.reset(CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kWatchClass, L"",
                                     WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr));
    }
    if (!window) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "CreateWindowEx err:" << error;
        return;
    }
    {
        std::lock_guard<std::mutex> lock(*readyMutex);
        watching.store(true, std::memory_order_release);
    }
    ready->notify_all();
    PumpMessages();
    watching.store(false, std::memory_order_release);
}

}  // namespace

uint64_t DisplayGeneration() noexcept {
    if (!watching.load(std::memory_order_acquire)) {
        std::lock_guard<std::mutex> lock(*watchMutex);
        if (watchThread == 0) {
            try {
                watchThread = watchThreads().Start(Watch);
                // Once: a change the window could not hear yet is seen by the measurement that
                // follows, one made later by the window.
                std::unique_lock<std::mutex> wait(*readyMutex);
                ready->wait_for(wait, kReadyWait, [] { return watching.load(); });
                // Nobody heard what changed while no window listened.
                generation.fetch_add(1, std::memory_order_acq_rel);
            } catch (...) {
                // Logged by the start; measured every time instead.
            }
        }
        if (!watching.load(std::memory_order_acquire)) {
            // Not watching (yet, or any more): nothing may be taken as unchanged.
            return generation.fetch_add(1, std::memory_order_acq_rel) + 1;
        }
    }
    return generation.load(std::memory_order_acquire);
}

void StopDisplayWatch() noexcept {
    std::lock_guard<std::mutex> lock(*watchMutex);
    if (watchThread == 0) {
        return;
    }
    watchThreads().Quit(watchThread);
    watchThreads().WaitForAll(kStopWait, kWatchClass);
    watchThread = 0;
    watching.store(false, std::memory_order_release);
}

}  // namespace win32
