// Not live yet (see README): creation reports failure through the callback.
#include "impl/wnd_proxy.h"

class WndProxyImpl {};

WndProxy::WndProxy() : impl_(std::make_unique<WndProxyImpl>()) {}
WndProxy::~WndProxy() = default;
void WndProxy::CreateProxyWindow(int, int, int, int, int, const std::function<void(int)>& created) {
    if (created) {
        created(-1);
    }
}
bool WndProxy::ResizeWindow(int, int, int, int, int) { return false; }
void WndProxy::CloseWindow(int) {}
void WndProxy::CloseAllWindow(int) {}
void WndProxy::SetWindowCloseCB(const std::function<void(int)>&) {}
void WndProxy::SetFocusCB(const std::function<void(int)>&) {}
void WndProxy::SetBlurCB(const std::function<void(int)>&) {}
std::unordered_map<int, int> WndProxy::GetProxyWindows() { return {}; }
