#pragma once

#include <windows.h>

#include <functional>
#include <mutex>

// The global keyboard listener: a low-level keyboard hook on a thread of its own that reports
// the release of the six navigation keys to one process-wide callback. It only observes:
// every key event goes on to the next hook unchanged.
//
// The thread uses nothing of this object, only the process-wide callback, so a thread that a
// timed-out wait gave up never reaches a listener that is gone.
class WinKeyboardHookImpl {
public:
    WinKeyboardHookImpl() = default;
    // Ends the hook thread, waiting for it with a bound (see the definition).
    ~WinKeyboardHookImpl();
    WinKeyboardHookImpl(const WinKeyboardHookImpl&) = delete;
    WinKeyboardHookImpl& operator=(const WinKeyboardHookImpl&) = delete;

    // Starts the hook thread unless one was started and not stopped since; returns once a stop
    // can reach the new thread. Throws std::system_error when no thread can be made.
    void Start();
    // Ends the hook loop and waits until the thread has removed its hook and left this module's
    // code.
    void StopHook();

    // Replaces the process-wide callback; the previous one is gone when this returns, so no
    // key is reported to it afterwards.
    static void SetCallback(const std::function<void(int)>& callback);

    static LRESULT CALLBACK KeyboardProc(int nCode, WPARAM wParam, LPARAM lParam) noexcept;
    static void NotifyKey(int key);

private:
    // The hook thread: installs the hook and pumps messages until the stop's quit.
    static void Run();

    DWORD threadId_ = 0;  // the hook thread started last and not stopped since; 0 for none

    static std::function<void(int)> callback;
    static std::mutex callbackMutex;  // guards callback: every replacement and every call
};
