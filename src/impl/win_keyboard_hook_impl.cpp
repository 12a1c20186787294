#include "impl/win_keyboard_hook_impl.h"

#include "core/hook_watchdog.h"
#include "core/key_mapping.h"
#include "core/logging.h"
#include "impl/win32_resources.h"
#include "impl/window_threads.h"

#include <wtsapi32.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <optional>
#include <vector>

quarnel::Lasting<std::function<void(int)>> WinKeyboardHookImpl::callback;
quarnel::Lasting<std::mutex> WinKeyboardHookImpl::callbackMutex;

namespace {

// How long destruction waits for the hook thread to end before giving it up (see below).
constexpr std::chrono::milliseconds kDestroyWait{500};
// How long a start waits for the new thread's first install.
constexpr std::chrono::milliseconds kInstallWait{500};

constexpr wchar_t kWatchClass[] = L"QuarnelKeyboardWatch";

// Process-wide so that the count outlives any listener whose thread still ends.
win32::Lasting<win32::WindowThreads> hookThreads;

// For the fault injection (any thread).
std::atomic<HHOOK> liveHook{nullptr};
std::atomic<DWORD> liveThread{0};
std::atomic<HWND> watchWindow{nullptr};
std::atomic<int> failingInstalls{0};

// Told by the hook thread once its first install was tried.
struct InstallTried {
    std::mutex mutex;
    std::condition_variable tried;
    bool done = false;
};

// ---- the hook thread's own state: only that thread touches it ----

quarnel::hookwatch::HookWatch watch;

uint32_t Now() noexcept {
    return GetTickCount();
}

// Installs the hook, or logs why it could not be.
win32::UniqueHook Install() noexcept {
    HHOOK hook = nullptr;
    int failing = failingInstalls.load();
    if (failing > 0 && failingInstalls.compare_exchange_strong(failing, failing - 1)) {
        SetLastError(ERROR_ACCESS_DENIED);
    } else {
        hook = SetWindowsHookExW(WH_KEYBOARD_LL, WinKeyboardHookImpl::KeyboardProc, nullptr, 0);
    }
    if (hook == nullptr) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "SetWindowsHookExW err:" << error;
    }
    watch = quarnel::hookwatch::Installed(watch, hook != nullptr, Now());
    if (hook != nullptr) {
        liveHook.store(hook);
    }
    return win32::UniqueHook(hook);
}

// WM_INPUT: what the raw input says happened on the keyboard.
void OnRawInput(LPARAM lParam) noexcept {
    RAWINPUT input;
    UINT size = sizeof(input);
    if (GetRawInputData(reinterpret_cast<HRAWINPUT>(lParam), RID_INPUT, &input, &size,
                        sizeof(RAWINPUTHEADER)) == static_cast<UINT>(-1)) {
        return;
    }
    const quarnel::hookwatch::RawDevice device =
        input.header.dwType == RIM_TYPEKEYBOARD ? quarnel::hookwatch::RawDevice::Keyboard
        : input.header.dwType == RIM_TYPEMOUSE  ? quarnel::hookwatch::RawDevice::Mouse
                                                : quarnel::hookwatch::RawDevice::Other;
    const auto time = static_cast<uint32_t>(GetMessageTime());
    watch =
        quarnel::hookwatch::RawInput(watch, {device, input.header.hDevice == nullptr, time}, Now());
}

LRESULT CALLBACK WatchProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_INPUT:
            OnRawInput(lParam);
            break;  // the default handling frees the input
        case WM_WTSSESSION_CHANGE:
            if (wParam == WTS_SESSION_UNLOCK || wParam == WTS_CONSOLE_CONNECT ||
                wParam == WTS_REMOTE_CONNECT) {
                watch = quarnel::hookwatch::SessionResumed(watch);
            }
            return 1;
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The message-only window that raw input and session changes reach, registered for both.
class WatchSink {
public:
    WatchSink() noexcept {
        win32::RegisterWindowClass(kWatchClass, WatchProc);
        window_.reset(CreateWindowExW(0, kWatchClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      nullptr, nullptr));
        if (!window_) {
            const DWORD error = GetLastError();
            QLOG(LOG_ERROR) << "CreateWindowExW err:" << error;
            return;
        }
        // Keyboard only: mouse input says nothing about a keyboard hook. With the input sink
        // flag the window gets the keyboard's input whichever window has the focus. A process
        // has one keyboard registration: one the host made for its own windows is left to it,
        // and the watchdog then learns of no key.
        if (KeyboardTarget().has_value()) {
            QLOG(LOG_INFO) << "keyboard raw input belongs to the host: the hook is not watched";
        } else {
            const RAWINPUTDEVICE keyboard{0x01, 0x06, RIDEV_INPUTSINK, window_.get()};
            if (RegisterRawInputDevices(&keyboard, 1, sizeof(keyboard))) {
                registered_ = true;
            } else {
                const DWORD error = GetLastError();
                QLOG(LOG_ERROR) << "RegisterRawInputDevices err:" << error;
            }
        }
        sessions_ = WTSRegisterSessionNotification(window_.get(), NOTIFY_FOR_THIS_SESSION) != 0;
        watchWindow.store(window_.get());
    }
    ~WatchSink() {
        watchWindow.store(nullptr);
        if (sessions_) {
            WTSUnRegisterSessionNotification(window_.get());
        }
        // The registration outlives the window unless removed; one the host has made since
        // is its own.
        if (registered_ && KeyboardTarget() == window_.get()) {
            const RAWINPUTDEVICE keyboard{0x01, 0x06, RIDEV_REMOVE, nullptr};
            RegisterRawInputDevices(&keyboard, 1, sizeof(keyboard));
        }
    }
    WatchSink(const WatchSink&) = delete;
    WatchSink& operator=(const WatchSink&) = delete;

    HWND window() const noexcept { return window_.get(); }

private:
    // The window the process's keyboard raw input goes to (null: the focused one), if any.
    static std::optional<HWND> KeyboardTarget() noexcept {
        UINT count = 0;
        if (GetRegisteredRawInputDevices(nullptr, &count, sizeof(RAWINPUTDEVICE)) != 0 ||
            count == 0) {
            return std::nullopt;
        }
        try {
            std::vector<RAWINPUTDEVICE> devices(count);
            count = GetRegisteredRawInputDevices(devices.data(), &count, sizeof(RAWINPUTDEVICE));
            for (UINT i = 0; i < count && count != static_cast<UINT>(-1); ++i) {
                if (devices[i].usUsagePage == 0x01 && devices[i].usUsage == 0x06) {
                    return devices[i].hwndTarget;
                }
            }
        } catch (...) {
        }
        return std::nullopt;
    }

    win32::UniqueHwnd window_;
    bool registered_ = false;
    bool sessions_ = false;
};

// Installs the hook again: the new one first, so that no key falls between the two. No event
// is reported twice: the procedure runs only when this thread takes messages, by which time
// the old hook is gone from the chain.
void Reinstall(win32::UniqueHook& hook, const char* why) noexcept {
    const bool wasInstalled = watch.installed;
    const uint32_t failures = watch.failures;
    win32::UniqueHook next = Install();
    if (!next) {
        return;
    }
    hook = std::move(next);
    if (wasInstalled) {
        QLOG(LOG_WARNING) << "keyboard hook reinstalled: " << why;
    } else {
        QLOG(LOG_WARNING) << "keyboard hook installed after failed attempts: " << failures;
    }
}

// The hook thread: installs the hook, then pumps messages until the stop's quit. The system
// calls the hook procedure on this thread while it waits for messages, so it must keep
// pumping for as long as the hook is installed; between messages it checks on the hook.
void Run(const std::shared_ptr<InstallTried>& started) {
    // Every key on the desktop waits for this thread's answer: it must get the processor
    // before anything else of this process.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    watch = {};
    liveThread.store(GetCurrentThreadId());
    WatchSink sink;
    win32::UniqueHook hook = Install();
    {
        std::lock_guard<std::mutex> lock(started->mutex);
        started->done = true;
        started->tried.notify_all();
    }
    for (bool quit = false; !quit;) {
        quarnel::hookwatch::Verdict verdict = quarnel::hookwatch::Decide(watch, Now());
        while (verdict.reinstall) {
            Reinstall(hook, watch.resumed ? "the session came back"
                                          : "a key went by that it did not report");
            verdict = quarnel::hookwatch::Decide(watch, Now());
        }
        const uint32_t rawDue = quarnel::hookwatch::RawInputDue(watch, Now());
        if (rawDue == 0) {
            watch = quarnel::hookwatch::RawInputRead(watch, Now());
        }
        // Sent messages are the hook's calls; posted ones the quit and session changes.
        const UINT wake =
            QS_SENDMESSAGE | QS_POSTMESSAGE | QS_TIMER | (rawDue == 0 ? QS_RAWINPUT : 0);
        const uint32_t wait =
            std::min(verdict.waitMs, rawDue == 0 ? quarnel::hookwatch::kNoDeadline : rawDue);
        // Returns at once for raw input left unread while the hook was busy.
        MsgWaitForMultipleObjectsEx(0, nullptr,
                                    wait == quarnel::hookwatch::kNoDeadline ? INFINITE : wait, wake,
                                    MWMO_INPUTAVAILABLE);
        const UINT take = rawDue == 0 ? 0 : PM_QS_SENDMESSAGE | PM_QS_POSTMESSAGE;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | take)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    liveHook.store(nullptr);
    liveThread.store(0);
    // The hook goes before the window and before the thread counts as ended.
}

}  // namespace

WinKeyboardHookImpl::~WinKeyboardHookImpl() {
    if (threadId_ == 0) {
        return;
    }
    hookThreads->Quit(threadId_);
    // The thread has removed its hook and left this module's code within moments of the quit,
    // also under the loader lock (a library unload), since it needs that lock only afterwards,
    // inside the system's thread exit. The bound is for a thread that does not get there: it is
    // given up, and touches nothing of this object.
    hookThreads->WaitForAll(kDestroyWait, kWatchClass);
}

void WinKeyboardHookImpl::Start() {
    if (threadId_ != 0) {
        return;
    }
    auto started = std::make_shared<InstallTried>();
    threadId_ = hookThreads->Start([started] { Run(started); });
    // Keys released before the hook is in place would be lost; a failed install is the
    // watchdog's to retry, so the wait is for the first attempt only.
    std::unique_lock<std::mutex> lock(started->mutex);
    started->tried.wait_for(lock, kInstallWait, [&started] { return started->done; });
}

void WinKeyboardHookImpl::SetCallback(const std::function<void(int)>& next) {
    std::function<void(int)> replaced(next);
    {
        // Held for the swap only: the hook thread takes this lock to report a key.
        std::lock_guard<std::mutex> lock(*callbackMutex);
        callback->swap(replaced);
    }
    // Released here, on the caller's thread (the JavaScript thread, where its share of the
    // JavaScript function may go); no key reaches it any more.
    replaced = nullptr;
}

void WinKeyboardHookImpl::StopHook() {
    if (threadId_ == 0) {
        return;
    }
    // A thread that ended by itself is not posted to.
    hookThreads->Quit(threadId_);
    hookThreads->WaitForAll();
    // Never under the loader lock (see the destructor), so the system exit is waited for too,
    // as a join would: the process may end right after the stop.
    hookThreads->WaitForExit();
    UnregisterClassW(kWatchClass, nullptr);
    threadId_ = 0;
}

LRESULT CALLBACK WinKeyboardHookImpl::KeyboardProc(int nCode, WPARAM wParam,
                                                   LPARAM lParam) noexcept {
    // Every key on the desktop waits for this procedure, so the report waits for nothing (a
    // push into the event queue, whose lock the JavaScript thread holds for a swap only, and a
    // wake-up) and allocates nothing. It goes before the rest of the chain: the JavaScript
    // thread then wakes while the chain is walked (under Wine each step is a server round
    // trip) instead of after it.
    const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (nCode == HC_ACTION && event != nullptr) {
        watch = quarnel::hookwatch::HookEvent(watch, event->time, Now());
        if (const auto key =
                quarnel::ReportedKeyCode(static_cast<uint32_t>(wParam), event->vkCode)) {
            try {
                NotifyKey(*key);
            } catch (...) {
                // The key goes on; only its report is lost.
            }
        }
    }
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

void WinKeyboardHookImpl::NotifyKey(int key) {
    std::lock_guard<std::mutex> lock(*callbackMutex);
    if (*callback) {
        (*callback)(key);
    }
}

HHOOK WinKeyboardHookImpl::LiveHook() noexcept {
    return liveHook.load();
}

DWORD WinKeyboardHookImpl::HookThread() noexcept {
    return liveThread.load();
}

HWND WinKeyboardHookImpl::WatchWindow() noexcept {
    return watchWindow.load();
}

void WinKeyboardHookImpl::FailInstalls(int count) noexcept {
    failingInstalls.store(count);
}
