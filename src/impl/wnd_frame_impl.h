#pragma once

#include "core/frame_geometry.h"

#include <windows.h>

#include <memory>
#include <mutex>
#include <unordered_set>

// Frame windows: topmost, click-through windows that outline in green the rectangle another
// window occupies, follow its moves and close when it goes. Each frame lives on a detached thread
// of its own, which paints with a GDI+ session of its own.
class WndFrameImpl {
public:
    WndFrameImpl();
    // Closes every frame and waits, with a bound, for the frame threads to end.
    ~WndFrameImpl();
    WndFrameImpl(const WndFrameImpl&) = delete;
    WndFrameImpl& operator=(const WndFrameImpl&) = delete;

    // Starts a frame thread for the window's current rectangle; neither checks the handle nor
    // looks for an existing frame of the same window. A close-all before the frame is listed
    // cancels it.
    void ShowFrame(int followHwnd);
    // Paints the frame over `area` (screen coordinates): a key-colour background made
    // transparent and an opaque 2-pixel border along `sides`.
    static void FillWindow(int hwnd, const quarnel::Rect& area, const quarnel::FrameSides& sides);
    void CloseAllFrameWindow();
    // Tells the frames that follow the window that it moved or went (any thread; returns at
    // once): each looks where it is now, on its own thread.
    static void FollowedWindowChanged(int followHwnd);

private:
    // The frame windows to close, shared with the frame threads: a thread that a timed-out wait
    // gave up may still list its frame after this object is gone.
    struct Frames {
        std::mutex mutex;
        std::unordered_set<int> windows;
        // Close-alls so far: a frame asked for before the latest is not made, or not listed.
        unsigned closeAlls = 0;
    };

    // The frame thread: makes, paints and lists the frame, then pumps its messages. `closeAlls`
    // is the count when the frame was asked for.
    static void MessageLoop(const std::shared_ptr<Frames>& frames, int followHwnd,
                            unsigned closeAlls);
    // Every frame window's messages. A frame has no state of its own, so its window reaches no
    // object that a late message could outlive.
    static LRESULT CALLBACK FrameWndProc(HWND hwnd, UINT message, WPARAM wParam,
                                         LPARAM lParam) noexcept;

    const std::shared_ptr<Frames> frames_;
};
