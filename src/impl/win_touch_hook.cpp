// Not live yet (see README).
#include "impl/win_touch_hook.h"

class WinTouchHookImpl {};

WinTouchHook::WinTouchHook() : impl_(std::make_unique<WinTouchHookImpl>()) {}
WinTouchHook::~WinTouchHook() = default;
void WinTouchHook::CreateProxyWindow(int, const std::function<void(const std::vector<TouchPoint>&)>&) {}
