// Proxy windows: nearly transparent windows over another application's window that hand the
// mouse and single-finger touch input landing on them to that window, and report their
// creation, focus, blur and end to JavaScript.
#include "impl/wnd_proxy_impl.h"

#include "core/frame_geometry.h"
#include "core/logging.h"
#include "core/proxy_forwarding.h"
#include "impl/dpi_context.h"
#include "impl/win32_bridge.h"
#include "impl/win32_resources.h"
#include "impl/window_threads.h"
#include "impl/wnd_frame_impl.h"

#include <orlix/string_conversion.h>
#include <orlix/uuid.h>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

using win32::ToHwnd;

// Every close of a proxy window logs under one name, whichever path asked for it.
constexpr quarnel::LogSite kCloseSite{__FILE__, __LINE__, "WndProxyImpl::CloseWindow"};

using Callback = std::function<void(int)>;
// Window threads call the callbacks without a lock while the JavaScript thread may replace or
// clear them: each slot is swapped and read atomically, and a caller holds its own share of the
// function for the length of the call, so the function outlives any call in flight.
using CallbackSlot = std::shared_ptr<const Callback>;

// ---- process-wide state ----
// Never destroyed (win32::Lasting): the process's exit may have ended the window threads in
// the middle of anything.

struct ProxyState {
    std::unordered_map<int, int> parentOfWindow;  // proxy window → parent window
    // proxy window → the latest rectangle asked for and not made yet
    std::unordered_map<int, quarnel::Rect> pendingMoves;
    // Close-alls so far, and for each parent the count its latest close-all made: a proxy
    // asked for before that is closed as soon as it exists, or not made at all.
    uint64_t closeAlls = 0;
    std::unordered_map<int, uint64_t> closedAllAt;
    bool closingAll = false;  // set while the manager is going away: late windows do not list
    std::mutex mutex;         // guards all of the above

    bool Cancelled(int parent, uint64_t askedAt) const {
        const auto closed = closedAllAt.find(parent);
        return closed != closedAllAt.end() && closed->second > askedAt;
    }
};
win32::Lasting<ProxyState> proxies;

// The creation callbacks of the latest windows whose threads ended: a JavaScript callback
// whose last share goes is never called again, not even for the announcement already on its
// way, and a window closed right after it was made (or never made) ends its thread before the
// JavaScript thread had its turn. The event queue holds at most 128 events, so once 128 later
// threads announced their windows, this one's announcement was delivered or dropped.
constexpr size_t kKeptAnnouncements = 128;
struct KeptAnnouncements {
    std::mutex mutex;
    std::deque<std::function<void(int)>> callbacks;
};
win32::Lasting<KeptAnnouncements> kept;

void KeepAnnouncement(const std::function<void(int)>& created) {
    if (!created) {
        return;
    }
    std::function<void(int)> oldest;  // released after the lock
    std::lock_guard<std::mutex> lock(kept->mutex);
    kept->callbacks.push_back(created);
    if (kept->callbacks.size() > kKeptAnnouncements) {
        oldest = std::move(kept->callbacks.front());
        kept->callbacks.pop_front();
    }
}

void Announce(const std::function<void(int)>& created, int hwnd) {
    if (created) {
        created(hwnd);
    }
}

win32::Lasting<CallbackSlot> windowCloseCallback;
win32::Lasting<CallbackSlot> focusCallback;
win32::Lasting<CallbackSlot> blurCallback;
win32::Lasting<win32::WindowThreads> proxyThreads;

constexpr std::chrono::milliseconds kShutdownWait{2000};
// Posted to a proxy window: make the move waiting in pendingMoves.
constexpr UINT kApplyMove = WM_APP + 1;
// How often a proxy's thread looks whether its parent still exists. Windows does not destroy
// a popup with the owner's destruction on another thread (Wine keeps it, Windows leaves an
// invisible window that swallows clicks), and no notice of it reaches another process in
// every case (a killed process announces nothing): a check on the proxy's own thread costs
// nothing elsewhere.
constexpr UINT kParentCheckMs = 100;
constexpr UINT_PTR kParentCheckTimer = 1;

void Notify(win32::Lasting<CallbackSlot>& slot, int hwnd) {
    const CallbackSlot callback = std::atomic_load(&*slot);
    if (callback && *callback) {
        (*callback)(hwnd);
    }
}

// Returns the previous callback, to be released by the caller outside any lock.
CallbackSlot Replace(win32::Lasting<CallbackSlot>& slot, const Callback& callback) {
    return std::atomic_exchange(&*slot, std::make_shared<const Callback>(callback));
}

CallbackSlot Clear(win32::Lasting<CallbackSlot>& slot) {
    return std::atomic_exchange(&*slot, CallbackSlot());
}

// Unregisters a window's own class when its thread is done with it, so a long session that
// opens many proxy windows does not fill the class table.
class ClassRegistration {
public:
    explicit ClassRegistration(std::wstring name) : name_(std::move(name)) {}
    ~ClassRegistration() { UnregisterClassW(name_.c_str(), nullptr); }
    ClassRegistration(const ClassRegistration&) = delete;
    ClassRegistration& operator=(const ClassRegistration&) = delete;

private:
    std::wstring name_;
};

// The rectangle a proxy asked for at x, y, width, height takes: cut to the desktop as frames
// are (quarnel::PlaceOnDesktop), since input arrives only there and a proxy covering a whole
// display is taken for a full-screen window. One entirely off the desktop stays as asked.
// Screen coordinates in physical pixels: the caller runs per-monitor aware.
quarnel::Rect ProxyArea(int x, int y, int width, int height) {
    const quarnel::Rect asked = {x, y, width, height};
    const quarnel::Rect desktop = {
        GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
        GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    const quarnel::Rect area = quarnel::PlaceOnDesktop(asked, desktop).area;
    return area.width > 0 && area.height > 0 ? area : asked;
}

// On the window's own thread. Alpha 1, not 0: a fully transparent layered window would let the
// mouse fall through. The first move also shows the window, which is made hidden: without the
// activation, which would be handed over by the thread of the parent (another program's).
bool MoveProxy(HWND window, const quarnel::Rect& area, bool show = false) {
    if (show && !SetLayeredWindowAttributes(window, 0, 1, LWA_ALPHA)) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "SetLayeredWindowAttributes err:" << error
                        << " hWnd:" << win32::HandleNumber(window);
        return false;
    }
    if (!SetWindowPos(window, nullptr, area.x, area.y, area.width, area.height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (show ? SWP_SHOWWINDOW : 0))) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "MoveWindow err:" << error << " hWnd:" << win32::HandleNumber(window)
                        << " x:" << area.x << " y:" << area.y << " width:" << area.width
                        << " height:" << area.height;
        return false;
    }
    if (!SetLayeredWindowAttributes(window, 0, 1, LWA_ALPHA)) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "SetLayeredWindowAttributes err:" << error
                        << " hWnd:" << win32::HandleNumber(window);
        return false;
    }
    return true;
}

// One proxy window's own state, made by its thread before the window and gone after it: the
// window procedure finds it through the window, so forwarding input takes no lock.
class ProxyWindow {
public:
    explicit ProxyWindow(int parent) noexcept : parent_(parent) {}

    LRESULT WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

private:
    void ForwardTouch(HWND hwnd, WPARAM wParam, LPARAM lParam) const;
    bool ToParentClient(HWND hwnd, POINT& p) const;
    void ForwardMouse(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) const;
    // False once the window is ending or its parent is gone, which then ends the window: input
    // for a parent that no longer exists would only log an error for every mouse move.
    bool Forwards(HWND hwnd) noexcept;
    void End(HWND hwnd) noexcept;

    const int parent_;
    bool ending_ = false;
};

bool ProxyWindow::Forwards(HWND hwnd) noexcept {
    if (!ending_ && !IsWindow(ToHwnd(parent_))) {
        End(hwnd);
    }
    return !ending_;
}

void ProxyWindow::End(HWND hwnd) noexcept {
    if (ending_) {
        return;
    }
    ending_ = true;
    KillTimer(hwnd, kParentCheckTimer);
    if (!DestroyWindow(hwnd)) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "DestroyWindow err:" << error
                        << " childHWnd:" << win32::HandleNumber(hwnd);
    }
}

LRESULT ProxyWindow::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        const int self = win32::HandleNumber(hwnd);
        switch (message) {
            case WM_DESTROY:
                ending_ = true;
                PostQuitMessage(0);
                return 1;
            case WM_SETFOCUS:
                Notify(focusCallback, self);
                return 1;
            case WM_KILLFOCUS:
                Notify(blurCallback, self);
                return 1;
            case WM_TIMER:
                if (wParam == kParentCheckTimer) {
                    Forwards(hwnd);
                    return 1;
                }
                break;
            case kApplyMove: {
                quarnel::Rect area;
                {
                    std::lock_guard<std::mutex> lock(proxies->mutex);
                    const auto pending = proxies->pendingMoves.find(self);
                    if (pending == proxies->pendingMoves.end()) {
                        return 1;  // a later move already made it
                    }
                    area = pending->second;
                    proxies->pendingMoves.erase(pending);
                }
                if (MoveProxy(hwnd, area)) {
                    WndFrameImpl::FollowedWindowChanged(self);
                }
                return 1;
            }
            case WM_CLOSE:
                End(hwnd);
                return 1;
            case WM_TOUCH:
                if (Forwards(hwnd)) {
                    ForwardTouch(hwnd, wParam, lParam);
                } else {
                    CloseTouchInputHandle(reinterpret_cast<HTOUCHINPUT>(lParam));
                }
                return 1;
            default:
                break;
        }
        if (!quarnel::IsForwardedMouseMessage(message)) {
            return DefWindowProcW(hwnd, message, wParam, lParam);
        }
        if (Forwards(hwnd)) {
            ForwardMouse(hwnd, message, wParam, lParam);
        }
        return 1;
    } catch (...) {
        return 1;
    }
}

// Posted, never sent: the parent's thread (another process) must not hold up this one. The
// input handle is closed on every path, a failed allocation included, and DefWindowProc never
// sees the message, so the system makes no mouse messages of its own from it.
void ProxyWindow::ForwardTouch(HWND hwnd, WPARAM wParam, LPARAM lParam) const {
    const win32::UniqueTouchInput owner(reinterpret_cast<HTOUCHINPUT>(lParam));
    const UINT count = quarnel::TouchInputCount(wParam);
    if (!quarnel::ForwardsTouch(count)) {
        return;
    }
    std::vector<TOUCHINPUT> records(count);
    if (!GetTouchInputInfo(owner.get(), count, records.data(), sizeof(TOUCHINPUT))) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "GetTouchInputInfo err:" << error << " numInputs:" << count;
        return;
    }
    std::vector<quarnel::TouchInput> touches;
    for (const TOUCHINPUT& record : records) {
        touches.push_back(win32::ToTouchInput(record));
    }
    const HWND parentWindow = ToHwnd(parent_);
    for (const quarnel::TouchStep& step : quarnel::PlanTouchForwarding(touches)) {
        POINT p = win32::ToPOINT(step.screen);
        ToParentClient(hwnd, p);
        if (step.message == 0) {
            break;
        }
        const LPARAM point = static_cast<LPARAM>(quarnel::LParamFromPoint(win32::ToPoint(p)));
        if (!PostMessageW(parentWindow, step.message, wParam, point)) {
            const DWORD error = GetLastError();
            QLOG(LOG_ERROR) << "post touch message to parentHWnd:" << parent_
                            << " msg:" << step.message << " x:" << p.x << " y:" << p.y
                            << " err:" << error;
        }
    }
}

// A physical screen point to the point in the parent's client area that its own messages would
// carry: this thread is per-monitor aware, the parent (another program) often is not, and an
// unaware parent on a scaled display reads logical pixels. The proxy lies on the parent's
// display, so its DPI is that display's.
bool ProxyWindow::ToParentClient(HWND hwnd, POINT& p) const {
    const HWND parentWindow = ToHwnd(parent_);
    if (!ScreenToClient(parentWindow, &p)) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "ScreenToClient err:" << error << " parentHWnd:" << parent_;
        return false;
    }
    p = win32::ToPOINT(quarnel::ClientPointAtDpi(win32::ToPoint(p), win32::WindowDpi(parentWindow),
                                                 win32::WindowDpi(hwnd)));
    return true;
}

// The same message at the same place, in the parent's client coordinates, with the button and
// key state of wParam unchanged.
void ProxyWindow::ForwardMouse(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) const {
    const quarnel::Point client = quarnel::PointFromLParam(static_cast<int64_t>(lParam));
    POINT p = win32::ToPOINT(client);
    if (!ClientToScreen(hwnd, &p)) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "ClientToScreen err:" << error
                        << " childHWnd:" << win32::HandleNumber(hwnd);
    }
    const HWND parentWindow = ToHwnd(parent_);
    ToParentClient(hwnd, p);
    const LPARAM point = static_cast<LPARAM>(quarnel::LParamFromPoint(win32::ToPoint(p)));
    if (!PostMessageW(parentWindow, message, wParam, point)) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "post mouse message to parentHWnd:" << parent_ << " msg:" << message
                        << " x:" << p.x << " y:" << p.y << " err:" << error;
    }
}

}  // namespace

WndProxyImpl::WndProxyImpl() {
    std::lock_guard<std::mutex> lock(proxies->mutex);
    proxies->closingAll = false;
}

WndProxyImpl::~WndProxyImpl() {
    {
        std::lock_guard<std::mutex> lock(proxies->mutex);
        proxies->closingAll = true;
        for (const auto& entry : proxies->parentOfWindow) {
            win32::PostClose(entry.first, kCloseSite);
        }
        proxies->parentOfWindow.clear();
    }
    // The windows close on their own threads; the module may be unloaded right after this.
    proxyThreads->WaitForAll(kShutdownWait);
}

void WndProxyImpl::CreateProxyWindow(int parentHwnd, int x, int y, int width, int height,
                                     const std::function<void(int)>& created) {
    if (!IsWindow(ToHwnd(parentHwnd))) {
        QLOG(LOG_ERROR) << "invalid parentHWnd:" << parentHwnd;
        return;
    }
    uint64_t askedAt = 0;
    {
        std::lock_guard<std::mutex> lock(proxies->mutex);
        askedAt = proxies->closeAlls;
    }
    proxyThreads->Start([this, parentHwnd, x, y, width, height, created, askedAt] {
        MessageLoop(parentHwnd, x, y, width, height, created, askedAt);
        KeepAnnouncement(created);
    });
}

void WndProxyImpl::MessageLoop(int parentHwnd, int x, int y, int width, int height,
                               const std::function<void(int)>& created, uint64_t askedAt) {
    {
        std::lock_guard<std::mutex> lock(proxies->mutex);
        if (proxies->closingAll || proxies->Cancelled(parentHwnd, askedAt)) {
            // All proxies of the parent were closed before this one's turn came.
            QLOG(LOG_INFO) << "proxy window not made, closed before it was made parentHWnd:"
                           << parentHwnd;
            Announce(created, -1);
            return;
        }
    }
    // For the thread's whole life: the window keeps the awareness it was made with, and its
    // rectangle is then in physical pixels, like every coordinate JavaScript hands over.
    const win32::PerMonitorDpiScope dpi;
    // A class of its own for every window, so that no two proxy windows share a class.
    const std::string name = "TransparentWindow" + Orlix::Uuid::Create().ToString("-", true);
    const std::wstring className = Orlix::AnsiToWide(name);
    win32::RegisterWindowClass(className.c_str(),
                               win32::OwnedWindowProc<ProxyWindow, &ProxyWindow::WndProc>);
    const ClassRegistration registration(className);
    // Before the window, so that it outlives every message the window gets.
    ProxyWindow state(parentHwnd);

    // Made where it goes: a window that ever covered a whole display stays a full-screen one
    // for Wine. Made hidden (see MoveProxy); the first move shows it.
    const quarnel::Rect area = ProxyArea(x, y, width, height);
    win32::UniqueHwnd window;
    {
        const win32::WindowChange change;
        window.reset(CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW, className.c_str(),
                                     className.c_str(), WS_POPUP | WS_CHILD, area.x, area.y,
                                     area.width, area.height, ToHwnd(parentHwnd), nullptr, nullptr,
                                     &state));
    }
    if (!window) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "CreateWindowEx err:" << error << " x:" << x << " y:" << y
                        << " width:" << width << " height:" << height
                        << " parentHWnd:" << parentHwnd;
        Announce(created, -1);
        return;
    }
    const int hwnd = win32::HandleNumber(window.get());
    if (!RegisterTouchWindow(window.get(), TWF_WANTPALM)) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "RegisterTouchWindow err:" << error;
        if (quarnel::TouchRegistrationFailureIsFatal(error)) {
            return;
        }
    }
    if (!MoveProxy(window.get(), area, true)) {
        return;
    }
    QLOG(LOG_INFO) << "MoveWindow hWnd:" << hwnd << " x:" << x << " y:" << y << " width:" << width
                   << " height:" << height;
    bool cancelled = false;
    {
        std::lock_guard<std::mutex> lock(proxies->mutex);
        if (proxies->closingAll) {
            // The manager went away while this window was being made: nobody could close it.
            return;
        }
        cancelled = proxies->Cancelled(parentHwnd, askedAt);
        if (!cancelled) {
            proxies->parentOfWindow[hwnd] = parentHwnd;
        }
    }
    if (cancelled) {
        Announce(created, hwnd);
        // Closed with all of its parent's proxies while it was being made: it goes at once,
        // unlisted, so nothing reports its close.
        QLOG(LOG_INFO) << "proxy window closed as it was made hwnd:" << hwnd
                       << " parentHWnd:" << parentHwnd;
        return;
    }
    // Announced only once listed, so the handle can be moved and closed as soon as it is known.
    if (created) {
        created(hwnd);
    }
    QLOG(LOG_INFO) << "create windows cuccess hwnd:" << hwnd << " parentHWnd:" << parentHwnd
                   << " x:" << x << " y:" << y << " width:" << width << " height:" << height;
    SetTimer(window.get(), kParentCheckTimer, kParentCheckMs, nullptr);

    const win32::LoopEnd end = win32::PumpMessages();
    if (end.quit) {
        // WM_QUIT comes from WM_DESTROY only: the window is gone already.
        (void)window.release();
    } else {
        QLOG(LOG_WARNING) << "GetMessage break childHWnd:" << hwnd << " err : " << end.error;
        window.reset();
    }
    // Its frames go with it.
    WndFrameImpl::FollowedWindowChanged(hwnd);
    // A window that CloseAllWindow already unlisted ends without a report, however late its
    // thread gets here (a newer close callback may be set by then).
    bool listed = false;
    {
        std::lock_guard<std::mutex> lock(proxies->mutex);
        listed = proxies->parentOfWindow.erase(hwnd) != 0;
        proxies->pendingMoves.erase(hwnd);
    }
    if (listed) {
        Notify(windowCloseCallback, hwnd);
    }
    QLOG(LOG_INFO) << "end message loop childHWnd:" << hwnd;
}

bool WndProxyImpl::ResizeWindow(int hwnd, int x, int y, int width, int height) {
    const win32::PerMonitorDpiScope dpi;
    const quarnel::Rect area = ProxyArea(x, y, width, height);
    const HWND window = ToHwnd(hwnd);
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
        if (!MoveProxy(window, area)) {
            return false;
        }
        WndFrameImpl::FollowedWindowChanged(hwnd);
    } else {
        // Made on the window's own thread: a move from here would wait for that thread, and
        // hiding a window (one moved off the desktop, say) can take it seconds (2 s under Wine
        // without a window manager). Only the latest rectangle counts; an earlier one not made
        // yet is replaced.
        {
            std::lock_guard<std::mutex> lock(proxies->mutex);
            proxies->pendingMoves[hwnd] = area;
        }
        if (!PostMessageW(window, kApplyMove, 0, 0)) {
            const DWORD error = GetLastError();
            QLOG(LOG_ERROR) << "MoveWindow err:" << error << " hWnd:" << hwnd << " x:" << x
                            << " y:" << y << " width:" << width << " height:" << height;
            std::lock_guard<std::mutex> lock(proxies->mutex);
            proxies->pendingMoves.erase(hwnd);
            return false;
        }
    }
    QLOG(LOG_INFO) << "MoveWindow hWnd:" << hwnd << " x:" << x << " y:" << y << " width:" << width
                   << " height:" << height;
    return true;
}

bool WndProxyImpl::ResizeProxyWindow(int hwnd, int x, int y, int width, int height) {
    {
        std::lock_guard<std::mutex> lock(proxies->mutex);
        if (proxies->parentOfWindow.count(hwnd) == 0) {
            // Moving another application's window waits on its thread (under Wine, 2 s for
            // a window with a frame), and was never this export's business.
            QLOG(LOG_WARNING) << "not a proxy window hWnd:" << hwnd;
            return false;
        }
    }
    return ResizeWindow(hwnd, x, y, width, height);
}

bool WndProxyImpl::PendingArea(int hwnd, quarnel::Rect& area) {
    std::lock_guard<std::mutex> lock(proxies->mutex);
    const auto pending = proxies->pendingMoves.find(hwnd);
    if (pending == proxies->pendingMoves.end()) {
        return false;
    }
    area = pending->second;
    return true;
}

void WndProxyImpl::CloseProxyWindow(int hwnd) {
    {
        std::lock_guard<std::mutex> lock(proxies->mutex);
        if (proxies->parentOfWindow.count(hwnd) != 0) {
            win32::PostClose(hwnd, kCloseSite);
            return;
        }
    }
    // Any other handle is someone else's window, and -1 or 0xFFFF would post the close to
    // every top-level window of the desktop.
    QLOG(LOG_WARNING) << "not a proxy window childHWnd:" << hwnd;
}

void WndProxyImpl::CloseAllWindow(int parentHwnd) {
    QLOG(LOG_INFO) << "close all child window by parentHWnd:" << parentHwnd;
    // Released after the lock: dropping a callback may hand its JavaScript function on.
    // Cleared before any close is posted, so a fast window thread has nothing to report to.
    CallbackSlot close = Clear(windowCloseCallback);
    CallbackSlot focus = Clear(focusCallback);
    CallbackSlot blur = Clear(blurCallback);
    std::lock_guard<std::mutex> lock(proxies->mutex);
    // The proxies of this parent still being made are closed as they are made.
    proxies->closedAllAt[parentHwnd] = ++proxies->closeAlls;
    auto& table = proxies->parentOfWindow;
    for (auto entry = table.begin(); entry != table.end();) {
        if (entry->second == parentHwnd) {
            win32::PostClose(entry->first, kCloseSite);
            entry = table.erase(entry);
        } else {
            ++entry;
        }
    }
}

std::unordered_map<int, int> WndProxyImpl::GetProxyWindows() {
    std::lock_guard<std::mutex> lock(proxies->mutex);
    return proxies->parentOfWindow;
}

void WndProxyImpl::SetWindowCloseCB(const std::function<void(int)>& callback) {
    Replace(windowCloseCallback, callback);
}

void WndProxyImpl::SetFocusCB(const std::function<void(int)>& callback) {
    Replace(focusCallback, callback);
}

void WndProxyImpl::SetBlurCB(const std::function<void(int)>& callback) {
    Replace(blurCallback, callback);
}
