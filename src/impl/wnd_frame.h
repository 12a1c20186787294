#pragma once

#include <memory>

class WndFrameImpl;

// Owner of the frame windows.
class WndFrame {
public:
    WndFrame();
    ~WndFrame();
    WndFrame(const WndFrame&) = delete;
    WndFrame& operator=(const WndFrame&) = delete;

    void ShowFrame(int followHwnd);
    void CloseAllFrameWindow();

private:
    std::unique_ptr<WndFrameImpl> impl_;
};
