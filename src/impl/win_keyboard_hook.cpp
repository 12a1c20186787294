#include "impl/win_keyboard_hook.h"

#include "impl/win_keyboard_hook_impl.h"

WinKeyboardHook::WinKeyboardHook() : impl_(std::make_unique<WinKeyboardHookImpl>()) {}

WinKeyboardHook::~WinKeyboardHook() {
    // The listener goes with its owner, while the add-on's queue still exists to carry the
    // last release of the JavaScript function; the implementation then ends the thread.
    WinKeyboardHookImpl::SetCallback(nullptr);
}

void WinKeyboardHook::Hook(const std::function<void(int)>& callback) {
    UnHook();
    WinKeyboardHookImpl::SetCallback(callback);
    impl_->Start();
}

void WinKeyboardHook::UnHook() {
    WinKeyboardHookImpl::SetCallback(nullptr);
    impl_->StopHook();
}
