#include "impl/wnd_frame.h"

#include "impl/wnd_frame_impl.h"

WndFrame::WndFrame() : impl_(std::make_unique<WndFrameImpl>()) {}
WndFrame::~WndFrame() = default;
void WndFrame::ShowFrame(int followHwnd) {
    impl_->ShowFrame(followHwnd);
}
void WndFrame::CloseAllFrameWindow() {
    impl_->CloseAllFrameWindow();
}
