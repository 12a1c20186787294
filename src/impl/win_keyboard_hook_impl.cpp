#include "impl/win_keyboard_hook_impl.h"

#include "core/key_mapping.h"
#include "core/logging.h"
#include "impl/win32_resources.h"
#include "impl/window_threads.h"

#include <chrono>

std::function<void(int)> WinKeyboardHookImpl::callback;
std::mutex WinKeyboardHookImpl::callbackMutex;

namespace {

// How long destruction waits for the hook thread to end before giving it up (see below).
constexpr std::chrono::milliseconds kDestroyWait{500};

// Process-wide so that the count outlives any listener whose thread still ends.
win32::WindowThreads hookThreads;

}  // namespace

WinKeyboardHookImpl::~WinKeyboardHookImpl() {
    if (threadId_ == 0) {
        return;
    }
    hookThreads.Quit(threadId_);
    // The thread has removed its hook and left this module's code within moments of the quit,
    // also under the loader lock (a library unload), since it needs that lock only afterwards,
    // inside the system's thread exit. The bound is for a thread that does not get there: it is
    // given up, and touches nothing of this object.
    hookThreads.WaitForAll(kDestroyWait);
}

void WinKeyboardHookImpl::Start() {
    if (threadId_ == 0) {
        threadId_ = hookThreads.Start(Run);
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
    if (threadId_ == 0) {
        return;
    }
    // A thread that ended by itself (no hook could be installed) is not posted to.
    hookThreads.Quit(threadId_);
    hookThreads.WaitForAll();
    // Never under the loader lock (see the destructor), so the system exit is waited for too,
    // as a join would: the process may end right after the stop.
    hookThreads.WaitForExit();
    threadId_ = 0;
}

void WinKeyboardHookImpl::Run() {
    win32::UniqueHook hook(SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardProc, nullptr, 0));
    if (!hook) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "SetWindowsHookExW err:" << error;
        return;
    }
    // The system calls the hook procedure on this thread while it waits for messages, so it
    // must keep pumping for as long as the hook is installed, until the stop's quit (which
    // waits in the queue if it came before the hook). The hook goes before the thread counts
    // as ended.
    (void)win32::PumpMessages();
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
