// Not live yet (see README).
#include "impl/wnd_frame.h"

class WndFrameImpl {};

WndFrame::WndFrame() : impl_(std::make_unique<WndFrameImpl>()) {}
WndFrame::~WndFrame() = default;
void WndFrame::ShowFrame(int) {}
void WndFrame::CloseFrameWindowByFollowWindow(int) {}
void WndFrame::CloseAllFrameWindow() {}
