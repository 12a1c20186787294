#include "impl/wnd_frame_impl.h"

#include "core/frame_geometry.h"
#include "core/logging.h"
#include "impl/dpi_context.h"
#include "impl/gdiplus_resources.h"
#include "impl/win32_bridge.h"
#include "impl/win32_resources.h"
#include "impl/window_threads.h"
#include "impl/wnd_proxy_impl.h"

#include <chrono>
#include <mutex>
#include <unordered_map>

namespace {

using win32::ToHwnd;

// Every close of a frame logs under one name, whichever path asked for it.
constexpr quarnel::LogSite kCloseSite{__FILE__, __LINE__, "WndFrameImpl::CloseWindow"};

const wchar_t kFrameClassName[] = L"TransparentFollowFrameWindow";
constexpr std::chrono::milliseconds kShutdownWait{2000};

// Process-wide so that the count outlives any frame manager whose threads still end.
win32::Lasting<win32::WindowThreads> frameThreads;

// Posted to a frame: its followed window moved or went.
constexpr UINT kFollowedChanged = WM_APP + 1;

// The live frames and the window each follows, from the frame's listing to its destruction.
struct Followers {
    std::mutex mutex;
    std::unordered_map<HWND, int> frames;
};
win32::Lasting<Followers> followers;

// Frames are made, painted and destroyed one at a time, under the process-wide window lock:
// showing frames makes one per proxy at once, hiding them ends them all at once (on Windows
// the wait is a fraction of a millisecond). A frame has no parent or owner and never
// activates, so nothing done under the lock waits on another thread.
void DestroyFrame(HWND frame) noexcept {
    {
        std::lock_guard<std::mutex> lock(followers->mutex);
        followers->frames.erase(frame);
    }
    const win32::WindowChange destroying;
    DestroyWindow(frame);
}
using FrameWindow = Orlix::unique_resource<HWND, DestroyFrame>;

// Where a frame over `followHwnd` goes: where the window is, or where a move of it that its
// thread has not made yet puts it. False when it is not a window.
bool FollowedArea(int followHwnd, quarnel::DesktopPlacement& placement) {
    quarnel::Rect window;
    if (!WndProxyImpl::PendingArea(followHwnd, window)) {
        RECT rect = {};
        if (!GetWindowRect(ToHwnd(followHwnd), &rect)) {
            return false;
        }
        window = win32::ToRect(rect);
    }
    const quarnel::Rect desktop = {
        GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
        GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    placement = quarnel::PlaceOnDesktop(window, desktop);
    return true;
}

// The frame's picture over `placement`, under the window lock. The GDI+ session starts and
// ends under it as well: GDI+ started or shut down beside another window's change corrupts
// Wine's heap too. The layered window keeps its picture.
void Paint(HWND frame, const quarnel::DesktopPlacement& placement) {
    const quarnel::Rect& area = placement.area;
    const win32::WindowChange painting;
    if (area.width > 0 && area.height > 0) {
        const win32::GdiplusSession gdiplus;
        WndFrameImpl::FillWindow(win32::HandleNumber(frame), area, placement.sides);
    }
}

// A frame follows its window: moved where the window went, closed when it is gone.
void Follow(HWND frame) {
    int followHwnd = 0;
    {
        std::lock_guard<std::mutex> lock(followers->mutex);
        const auto entry = followers->frames.find(frame);
        if (entry == followers->frames.end()) {
            return;
        }
        followHwnd = entry->second;
    }
    const win32::PerMonitorDpiScope dpi;
    quarnel::DesktopPlacement placement;
    if (!IsWindow(ToHwnd(followHwnd)) || !FollowedArea(followHwnd, placement)) {
        QLOG(LOG_INFO) << "follow frame window closed with its followed window hwnd:"
                       << win32::HandleNumber(frame) << " followHWnd:" << followHwnd;
        DestroyFrame(frame);
        return;
    }
    RECT now = {};
    GetWindowRect(frame, &now);
    const quarnel::Rect current = win32::ToRect(now);
    const quarnel::Rect& area = placement.area;
    if (current.x == area.x && current.y == area.y && current.width == area.width &&
        current.height == area.height) {
        return;
    }
    Paint(frame, placement);
    QLOG(LOG_INFO) << "follow frame window moved hwnd:" << win32::HandleNumber(frame)
                   << " followHWnd:" << followHwnd << " x:" << area.x << " y:" << area.y
                   << " width:" << area.width << " height:" << area.height;
}

}  // namespace

WndFrameImpl::WndFrameImpl() : frames_(std::make_shared<Frames>()) {}

WndFrameImpl::~WndFrameImpl() {
    CloseAllFrameWindow();  // cancels the frames still to be made, too
    // The frame windows' procedure is this module's code, which may be unloaded right after.
    frameThreads->WaitForAll(kShutdownWait, kFrameClassName);
}

void WndFrameImpl::ShowFrame(int followHwnd) {
    unsigned closeAlls = 0;
    {
        std::lock_guard<std::mutex> lock(frames_->mutex);
        closeAlls = frames_->closeAlls;
    }
    frameThreads->Start(
        [frames = frames_, followHwnd, closeAlls] { MessageLoop(frames, followHwnd, closeAlls); });
}

void WndFrameImpl::MessageLoop(const std::shared_ptr<Frames>& frames, int followHwnd,
                               unsigned closeAlls) {
    // The followed rectangle and the frame in physical pixels, as the proxy windows are.
    const win32::PerMonitorDpiScope dpi;
    quarnel::DesktopPlacement placement;
    if (!FollowedArea(followHwnd, placement)) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "GetClientRect err:" << error << " followHWnd:" << followHwnd;
        return;
    }
    const quarnel::Rect& area = placement.area;

    // Shared by every frame thread; unregistered once the last has ended at a stop.
    win32::RegisterWindowClass(kFrameClassName, FrameWndProc);

    FrameWindow window;  // declared first, so that it is destroyed after the lock is left
    {
        const win32::WindowChange making;
        // Hidden or stopped while this frame waited its turn: making it anyway would leave a
        // frame that the close-all missed, and lengthen the line (at the process's exit a long
        // line outlasts the exit wait and is killed inside the system's window code).
        {
            std::lock_guard<std::mutex> lock(frames->mutex);
            if (frames->closeAlls != closeAlls) {
                return;
            }
        }
        window.reset(CreateWindowExW(
            WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TRANSPARENT | WS_EX_TOPMOST | WS_EX_NOACTIVATE,
            kFrameClassName, kFrameClassName, WS_POPUP, area.x, area.y, area.width, area.height,
            nullptr, nullptr, nullptr, nullptr));
        if (!window) {
            const DWORD error = GetLastError();
            QLOG(LOG_ERROR) << "create follow frame window err:" << error << " x:" << area.x
                            << " y:" << area.y << " width:" << area.width
                            << " height:" << area.height << " followHWnd:" << followHwnd;
            return;
        }
        // Shown without taking the activation: a frame that became the foreground window would
        // make every later focus request wait on this thread, even while it closes the frame.
        ShowWindow(window.get(), SW_SHOWNA);
    }
    Paint(window.get(), placement);
    const int hwnd = win32::HandleNumber(window.get());
    {
        std::lock_guard<std::mutex> lock(frames->mutex);
        if (frames->closeAlls != closeAlls) {
            return;  // closed while it was being made: the owner destroys it
        }
        frames->windows.insert(hwnd);
    }
    {
        std::lock_guard<std::mutex> lock(followers->mutex);
        followers->frames[window.get()] = followHwnd;
    }
    // The followed window may have moved or gone since its rectangle was read, before it could
    // tell this frame: one look once it can.
    PostMessageW(window.get(), kFollowedChanged, 0, 0);
    QLOG(LOG_INFO) << "create follow frame window cuccess hwnd:" << hwnd
                   << " followHWnd:" << followHwnd << " x:" << area.x << " y:" << area.y
                   << " width:" << area.width << " height:" << area.height;

    const win32::LoopEnd end = win32::PumpMessages();
    if (end.quit) {
        (void)window.release();  // WM_QUIT follows WM_DESTROY: the window is gone
    } else {
        QLOG(LOG_WARNING) << "GetMessage break hwnd:" << hwnd << " err : " << end.error;
    }
}

void WndFrameImpl::FillWindow(int hwnd, const quarnel::Rect& area,
                              const quarnel::FrameSides& sides) {
    const int width = area.width;
    const int height = area.height;
    const HWND frame = ToHwnd(hwnd);
    const win32::WindowDc windowDc(frame);
    const win32::UniqueHdc memoryDc(CreateCompatibleDC(windowDc.get()));
    // A 32-bit top-down DIB section rather than a compatible bitmap: GDI+ writes its alpha
    // bytes, and some compositors drop pixels whose alpha is 0 even under a colour key, which
    // is all a compatible bitmap would hold.
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const win32::UniqueGdiObject bitmap(
        CreateDIBSection(windowDc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const win32::SelectedObject selected(memoryDc.get(), bitmap.get());

    win32::UniqueGpGraphics graphics;
    Gdiplus::DllExports::GdipCreateFromHDC(memoryDc.get(), graphics.put());
    Gdiplus::DllExports::GdipGraphicsClear(graphics.get(), quarnel::kFrameKeyColourArgb);
    win32::UniqueGpBrush brush;
    {
        Gdiplus::GpSolidFill* fill = nullptr;
        Gdiplus::DllExports::GdipCreateSolidFill(quarnel::kFrameBorderArgb, &fill);
        brush.reset(fill);
    }
    for (const quarnel::Rect& r : quarnel::FrameBorderRects(width, height, sides)) {
        if (r.width <= 0 || r.height <= 0) {
            continue;
        }
        Gdiplus::DllExports::GdipFillRectangleI(graphics.get(), brush.get(), r.x, r.y, r.width,
                                                r.height);
    }
    const win32::GraphicsDc sourceDc(graphics.get());

    POINT destination = {area.x, area.y};
    SIZE size = {width, height};
    POINT source = {0, 0};
    // Ignored without ULW_ALPHA; only the colour key makes the background transparent.
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    if (!UpdateLayeredWindow(frame, windowDc.get(), &destination, &size, sourceDc.get(), &source,
                             quarnel::kFrameKeyColourRef, &blend, ULW_COLORKEY)) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "UpdateLayeredWindow err:" << error << " hwnd:" << hwnd;
    }
}

void WndFrameImpl::FollowedWindowChanged(int followHwnd) {
    std::lock_guard<std::mutex> lock(followers->mutex);
    for (const auto& entry : followers->frames) {
        if (entry.second == followHwnd) {
            PostMessageW(entry.first, kFollowedChanged, 0, 0);
        }
    }
}

void WndFrameImpl::CloseAllFrameWindow() {
    QLOG(LOG_INFO) << "close all frame window";
    std::lock_guard<std::mutex> lock(frames_->mutex);
    ++frames_->closeAlls;
    for (const int hwnd : frames_->windows) {
        win32::PostClose(hwnd, kCloseSite);
    }
    frames_->windows.clear();
}

LRESULT CALLBACK WndFrameImpl::FrameWndProc(HWND hwnd, UINT message, WPARAM wParam,
                                            LPARAM lParam) noexcept {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 1;
        case WM_CLOSE:
            DestroyFrame(hwnd);
            return 1;
        case WM_ERASEBKGND:
            return 1;  // the layered picture is the only content
        case kFollowedChanged:
            try {
                Follow(hwnd);
            } catch (...) {
            }
            return 1;
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}
