#pragma once

#include "core/lasting.h"

#include <windows.h>

#include <functional>
#include <mutex>

// The global keyboard listener: a low-level keyboard hook on a thread of its own that reports
// the release of the six navigation keys to one process-wide callback. It only observes:
// every key event goes on to the next hook unchanged.
//
// The same thread keeps the hook alive: keyboard raw input reaches a message-only window of
// that thread whatever became of the hook, and a key that went by unreported makes it install
// the hook again (see core/hook_watchdog.h), as does the session's return from a lock screen.
//
// The thread uses nothing of this object, only process-wide state, so a thread that a
// timed-out wait gave up never reaches a listener that is gone.
class WinKeyboardHookImpl {
public:
    WinKeyboardHookImpl() = default;
    // Ends the hook thread, waiting for it with a bound (see the definition).
    ~WinKeyboardHookImpl();
    WinKeyboardHookImpl(const WinKeyboardHookImpl&) = delete;
    WinKeyboardHookImpl& operator=(const WinKeyboardHookImpl&) = delete;

    // Starts the hook thread unless one was started and not stopped since; returns once the
    // thread has tried to install its hook, or after half a second. Throws std::system_error
    // when no thread can be made.
    void Start();
    // Ends the hook loop and waits until the thread has removed its hook and left this module's
    // code.
    void StopHook();

    // Replaces the process-wide callback; once this returns no key is reported to the previous
    // one, which is released here, outside the lock the hook thread takes.
    static void SetCallback(const std::function<void(int)>& callback);

    static LRESULT CALLBACK KeyboardProc(int nCode, WPARAM wParam, LPARAM lParam) noexcept;
    static void NotifyKey(int key);

    // For the test add-on's fault injection, any thread; the module itself never calls these.
    // The hook installed now (null for none) and the thread that owns it (0 for none).
    static HHOOK LiveHook() noexcept;
    static DWORD HookThread() noexcept;
    // The hook thread's message-only window, which gets raw input and session changes.
    static HWND WatchWindow() noexcept;
    // The next `count` installs fail as SetWindowsHookExW can.
    static void FailInstalls(int count) noexcept;

private:
    DWORD threadId_ = 0;  // the hook thread started last and not stopped since; 0 for none

    static quarnel::Lasting<std::function<void(int)>> callback;
    static quarnel::Lasting<std::mutex>
        callbackMutex;  // guards callback: every replacement and every call
};
