#include "impl/win_touch_hook.h"

#include "impl/win_touch_hook_impl.h"

WinTouchHook::WinTouchHook() : impl_(std::make_unique<WinTouchHookImpl>()) {}

WinTouchHook::~WinTouchHook() = default;

void WinTouchHook::CreateProxyWindow(
    int hwnd, const std::function<void(const std::vector<quarnel::TouchPoint>&)>& callback) {
    impl_->CreateProxyWindow(hwnd, callback);
}
