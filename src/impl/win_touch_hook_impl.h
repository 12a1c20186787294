#pragma once

#include "core/touch_point.h"

#include "core/lasting.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// Touch hook windows: a window laid over the whole of a target window, registered for touch,
// that reports every touch message with all its contacts in screen pixels to one
// process-wide callback. Each window has a thread of its own, which ends with the window.
class WinTouchHookImpl {
public:
    using TouchCallback = std::function<void(const std::vector<quarnel::TouchPoint>&)>;

    WinTouchHookImpl() = default;
    // Closes every touch window and waits, with a bound, for their threads to end.
    ~WinTouchHookImpl();
    WinTouchHookImpl(const WinTouchHookImpl&) = delete;
    WinTouchHookImpl& operator=(const WinTouchHookImpl&) = delete;

    // Replaces the callback of every touch hook window and opens one more over `hwnd`.
    void CreateProxyWindow(int hwnd, const TouchCallback& callback);
    // The window thread: creates the window and pumps its messages until it is destroyed.
    static void MessageLoop(HWND target);
    static bool ResizeWindow(HWND hwnd, int x, int y, int width, int height);
    // Every touch window's messages. It uses the process-wide state only, so a window reaches
    // no object that a late message could outlive.
    static LRESULT CALLBACK TouchProxyWndProc(HWND hwnd, UINT message, WPARAM wParam,
                                              LPARAM lParam) noexcept;

    // Window threads, any time: calls the current callback, if any.
    static void NotifyTouch(const std::vector<quarnel::TouchPoint>& points);

private:
    // Held by a shared pointer so that a window thread calls its own share outside the lock:
    // a replacement never destroys a callback that is running.
    static quarnel::Lasting<std::shared_ptr<const TouchCallback>> touchCallback;
    static quarnel::Lasting<std::mutex>
        touchCallbackMutex;  // guards touchCallback, never held during a call
};
