#include "impl/win_keyboard_hook_impl.h"

#include "core/key_mapping.h"
#include "core/logging.h"
#include "impl/win32_resources.h"
#include "impl/window_threads.h"

std::function<void(int)> WinKeyboardHookImpl::callback;
std::mutex WinKeyboardHookImpl::callbackMutex;

namespace {

// How long destruction waits for the hook thread to end before giving it up (see below).
constexpr DWORD kDestroyWaitMs = 500;

}  // namespace

WinKeyboardHookImpl::~WinKeyboardHookImpl() {
    ClearRunning();
    PostQuit();
    const HANDLE worker = GetNativeHandle();
    if (worker == INVALID_HANDLE_VALUE) {
        return;
    }
    // Outside unload the quit ends the thread within moments and it is joined. On a library
    // unload this runs under the loader lock, and a Win32 thread cannot finish exiting without
    // it (its DLL_THREAD_DETACH notifications need it), so a join would never return. The
    // thread has by then removed its hook and left this module's code within moments of the
    // quit, and only waits inside the system's thread exit: after a bounded wait it is
    // detached and finishes on its own once the lock is free.
    if (WaitForSingleObject(worker, kDestroyWaitMs) == WAIT_OBJECT_0) {
        try {
            Stop();
        } catch (...) {
        }
    } else {
        Detach();
    }
}

void WinKeyboardHookImpl::SetCallback(const std::function<void(int)>& next) {
    std::function<void(int)> replaced(next);
    std::lock_guard<std::mutex> lock(callbackMutex);
    callback.swap(replaced);
    // Gone before the lock is released: once this returns, the previous callback (and its
    // share of the JavaScript function) no longer exists anywhere.
    replaced = nullptr;
}

void WinKeyboardHookImpl::StopHook() {
    ClearRunning();
    PostQuit();
    Stop();
    // The joined thread's id may be handed to another thread of the process; never post to it.
    threadId.store(0);
}

void WinKeyboardHookImpl::PostQuit() const noexcept {
    // running is cleared before threadId is read, and Run publishes threadId before it reads
    // running (both sequentially consistent): either the id is seen here and the quit lands
    // in an existing queue, or Run sees running false and never waits for a message. So a stop
    // right after a start cannot lose its quit and leave the join waiting.
    if (const uint32_t id = threadId.load()) {
        PostThreadMessageW(id, WM_QUIT, 0, 0);
    }
}

void WinKeyboardHookImpl::Run() {
    MSG msg;
    // A thread gets its message queue with its first message call; a quit posted by id before
    // that is lost. Make the queue first, then publish the id.
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    threadId.store(GetCurrentThreadId());
    win32::UniqueHook hook(SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardProc, nullptr, 0));
    if (!hook) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "SetWindowsHookExW err:" << error;
        return;
    }
    // The system calls the hook procedure on this thread while it waits for messages, so it
    // must keep pumping for as long as the hook is installed, until the stop's quit.
    if (IsRunning()) {
        (void)win32::PumpMessages();
    }
}

LRESULT CALLBACK WinKeyboardHookImpl::KeyboardProc(int nCode, WPARAM wParam,
                                                   LPARAM lParam) noexcept {
    const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (event != nullptr) {
        if (const auto key = ReportedKeyCode(static_cast<uint32_t>(wParam), event->vkCode)) {
            try {
                NotifyKey(*key);
            } catch (...) {
                // The key still goes on; only its report is lost.
            }
        }
    }
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

void WinKeyboardHookImpl::NotifyKey(int key) {
    std::lock_guard<std::mutex> lock(callbackMutex);
    if (callback) {
        callback(key);
    }
}
