#pragma once

#include <functional>
#include <memory>

class WinKeyboardHookImpl;

// Owner of the global keyboard listener: at most one hook thread at a time.
class WinKeyboardHook {
public:
    WinKeyboardHook();
    ~WinKeyboardHook();
    WinKeyboardHook(const WinKeyboardHook&) = delete;
    WinKeyboardHook& operator=(const WinKeyboardHook&) = delete;

    // Replaces the listener and (re)starts the hook thread.
    void Hook(const std::function<void(int)>& callback);
    // Releases the listener at once, then stops the hook thread and waits for its end.
    void UnHook();

private:
    std::unique_ptr<WinKeyboardHookImpl> impl_;
};
