#pragma once

#include <functional>
#include <memory>
#include <unordered_map>

class WndProxyImpl;

// Owner of the proxy window manager.
class WndProxy {
public:
    WndProxy();
    ~WndProxy();
    WndProxy(const WndProxy&) = delete;
    WndProxy& operator=(const WndProxy&) = delete;

    void CreateProxyWindow(int parentHwnd, int x, int y, int width, int height,
                           const std::function<void(int)>& created);
    bool ResizeWindow(int hwnd, int x, int y, int width, int height);
    void CloseWindow(int hwnd);
    void CloseAllWindow(int parentHwnd);
    void SetWindowCloseCB(const std::function<void(int)>& callback);
    void SetFocusCB(const std::function<void(int)>& callback);
    void SetBlurCB(const std::function<void(int)>& callback);
    // A copy of the table proxy window → parent window.
    std::unordered_map<int, int> GetProxyWindows();

private:
    std::unique_ptr<WndProxyImpl> impl_;
};
