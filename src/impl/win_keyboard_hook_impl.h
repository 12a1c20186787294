#pragma once

#include "impl/base_thread.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

// The global keyboard listener: a low-level keyboard hook on a thread of its own that reports
// the release of the six navigation keys to one process-wide callback. It only observes:
// every key event goes on to the next hook unchanged.
class WinKeyboardHookImpl : private BaseThread {
public:
    WinKeyboardHookImpl() = default;
    // Removes the hook and ends the thread without waiting forever (see the definition).
    ~WinKeyboardHookImpl();
    WinKeyboardHookImpl(const WinKeyboardHookImpl&) = delete;
    WinKeyboardHookImpl& operator=(const WinKeyboardHookImpl&) = delete;

    using BaseThread::Start;

    // Replaces the process-wide callback; the previous one is gone when this returns, so no
    // key is reported to it afterwards.
    static void SetCallback(const std::function<void(int)>& callback);
    // Ends the hook loop and joins the thread.
    void StopHook();

    static LRESULT CALLBACK KeyboardProc(int nCode, WPARAM wParam, LPARAM lParam) noexcept;
    static void NotifyKey(int key);

private:
    void Run() override;
    void PostQuit() const noexcept;

    // Written by the hook thread once it owns a message queue; 0 while no such thread exists.
    std::atomic<uint32_t> threadId{0};

    static std::function<void(int)> callback;
    static std::mutex callbackMutex;  // guards callback: every replacement and every call
};
