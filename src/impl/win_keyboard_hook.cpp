// Not live yet (see README): the listener is accepted and released, no hook is installed.
#include "impl/win_keyboard_hook.h"

class WinKeyboardHookImpl {
public:
    std::function<void(int)> callback;
};

WinKeyboardHook::WinKeyboardHook() : impl_(std::make_unique<WinKeyboardHookImpl>()) {}
WinKeyboardHook::~WinKeyboardHook() = default;
void WinKeyboardHook::Hook(const std::function<void(int)>& callback) { impl_->callback = callback; }
void WinKeyboardHook::UnHook() { impl_->callback = nullptr; }
