#pragma once

#include "core/touch_point.h"

#include <functional>
#include <memory>
#include <vector>

class WinTouchHookImpl;

// Owner of the touch hook window.
class WinTouchHook {
public:
    WinTouchHook();
    ~WinTouchHook();
    WinTouchHook(const WinTouchHook&) = delete;
    WinTouchHook& operator=(const WinTouchHook&) = delete;

    void CreateProxyWindow(
        int hwnd, const std::function<void(const std::vector<quarnel::TouchPoint>&)>& callback);

private:
    std::unique_ptr<WinTouchHookImpl> impl_;
};
