#pragma once

#include "core/frame_geometry.h"

#include <cstdint>
#include <functional>
#include <unordered_map>

// The proxy windows' Win32 work. The table of proxy windows and the three event callbacks are
// process-wide, shared by every proxy window and its window procedure, so an object carries no
// state of its own.
class WndProxyImpl {
public:
    WndProxyImpl();
    // Closes every listed proxy window and waits, with a bound, for the window threads to end.
    ~WndProxyImpl();
    WndProxyImpl(const WndProxyImpl&) = delete;
    WndProxyImpl& operator=(const WndProxyImpl&) = delete;

    // Starts a window thread; the created callback receives the new window's handle once the
    // window is listed, or -1 when it could not be made. Nothing happens for an invalid parent.
    // A close-all of the parent before the window is listed closes it at once (its handle is
    // still announced), or, before it exists, keeps it from being made (-1 is announced).
    // The window ends by itself, and reports its close, when its parent no longer exists.
    void CreateProxyWindow(int parentHwnd, int x, int y, int width, int height,
                           const std::function<void(int)>& created);
    // The window thread: makes the window, pumps its messages, reports and unlists its end.
    // `askedAt` is the count of close-alls when the window was asked for.
    void MessageLoop(int parentHwnd, int x, int y, int width, int height,
                     const std::function<void(int)>& created, uint64_t askedAt);
    // Moves a proxy window, cut to the desktop, and makes it layered-transparent (alpha 1 of
    // 255, so it still gets the mouse input over it). From another thread the move is posted
    // to the window's own: true then means it was handed over.
    static bool ResizeWindow(int hwnd, int x, int y, int width, int height);
    // ResizeWindow for the proxy windows this module lists; any other handle is refused.
    static bool ResizeProxyWindow(int hwnd, int x, int y, int width, int height);
    // The rectangle a move of the proxy window asked for and its thread has not made yet.
    static bool PendingArea(int hwnd, quarnel::Rect& area);
    // Closes a listed proxy window only; any other handle is logged and left alone.
    static void CloseProxyWindow(int hwnd);
    // Closes and unlists the proxy windows of one parent and clears all three callbacks.
    void CloseAllWindow(int parentHwnd);
    // A copy of the table proxy window → parent window.
    std::unordered_map<int, int> GetProxyWindows();

    static void SetWindowCloseCB(const std::function<void(int)>& callback);
    static void SetFocusCB(const std::function<void(int)>& callback);
    static void SetBlurCB(const std::function<void(int)>& callback);
};
