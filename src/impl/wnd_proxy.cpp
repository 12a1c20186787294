#include "impl/wnd_proxy.h"

#include "impl/wnd_proxy_impl.h"

WndProxy::WndProxy() : impl_(std::make_unique<WndProxyImpl>()) {}
WndProxy::~WndProxy() = default;

void WndProxy::CreateProxyWindow(int parentHwnd, int x, int y, int width, int height,
                                 const std::function<void(int)>& created) {
    impl_->CreateProxyWindow(parentHwnd, x, y, width, height, created);
}
bool WndProxy::ResizeWindow(int hwnd, int x, int y, int width, int height) {
    return WndProxyImpl::ResizeProxyWindow(hwnd, x, y, width, height);
}
void WndProxy::CloseWindow(int hwnd) {
    WndProxyImpl::CloseProxyWindow(hwnd);
}
void WndProxy::CloseAllWindow(int parentHwnd) {
    impl_->CloseAllWindow(parentHwnd);
}
void WndProxy::SetWindowCloseCB(const std::function<void(int)>& callback) {
    WndProxyImpl::SetWindowCloseCB(callback);
}
void WndProxy::SetFocusCB(const std::function<void(int)>& callback) {
    WndProxyImpl::SetFocusCB(callback);
}
void WndProxy::SetBlurCB(const std::function<void(int)>& callback) {
    WndProxyImpl::SetBlurCB(callback);
}
std::unordered_map<int, int> WndProxy::GetProxyWindows() {
    return impl_->GetProxyWindows();
}
