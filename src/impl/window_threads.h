#pragma once

// What every window thread of the module shares: its start, its count, its window class and
// its message loop. The proxy, frame and touch windows each live on a thread of their own;
// the keyboard hook's thread pumps the same loop.
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace win32 {

// The window threads of one kind. Nobody joins them: each ends with its window. They are
// counted so that an orderly unload can wait, with a bound, until none of them still runs
// this module's code; the module must not be unmapped under a live window procedure.
//
// The threads are plain system threads rather than std::thread: after the count drops, the
// only code of this module left on the thread is the return from its entry function, where
// std::thread would still run its own and the thread library's clean-up from this image.
class WindowThreads {
public:
    WindowThreads() = default;
    WindowThreads(const WindowThreads&) = delete;
    WindowThreads& operator=(const WindowThreads&) = delete;

    // Runs `body` on a new detached thread. Exceptions from `body` end the thread quietly.
    // Throws std::system_error when no thread can be made.
    void Start(std::function<void()> body);

    // True when no thread of this kind runs any more, at the latest after `timeout`.
    bool WaitForAll(std::chrono::milliseconds timeout);

private:
    static DWORD WINAPI Entry(LPVOID parameter) noexcept;
    void Ended();

    std::mutex mutex_;
    std::condition_variable allEnded_;
    int running_ = 0;
};

// Registers a class for this module's windows: the arrow cursor, the window colour behind,
// the application icon. A class that exists already is left as it is, so every thread of a
// kind may register the kind's class before it makes its window.
void RegisterWindowClass(const wchar_t* name, WNDPROC procedure) noexcept;

// How a message loop ended: at WM_QUIT, or when GetMessage failed (with its error code).
struct LoopEnd {
    bool quit = false;
    DWORD error = 0;
};

// Pumps the calling thread's messages, translated and dispatched, until WM_QUIT or a failed
// GetMessage.
LoopEnd PumpMessages() noexcept;

namespace detail {

// The object a window was made for: taken from the creation parameter at WM_NCCREATE and kept
// with the window, nullptr before that (a top-level window gets WM_GETMINMAXINFO first).
void* WindowOwner(HWND hwnd, UINT message, LPARAM lParam) noexcept;
// Cleared once the window's last message is handled: a message that still arrives for the
// handle must not reach an owner that may be gone.
void ForgetWindowOwner(HWND hwnd) noexcept;

}  // namespace detail

// The window procedure of a class whose windows each belong to an Owner: CreateWindowExW's last
// argument is the owner, which must outlive the window, and every message from WM_NCCREATE to
// WM_NCDESTROY goes to its Procedure member. Messages before WM_NCCREATE get the default
// handling. The member is noexcept, so the edge into the system is one too.
template <typename Owner, LRESULT (Owner::*Procedure)(HWND, UINT, WPARAM, LPARAM) noexcept>
LRESULT CALLBACK OwnedWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    auto* const owner = static_cast<Owner*>(detail::WindowOwner(hwnd, message, lParam));
    if (owner == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    const LRESULT result = (owner->*Procedure)(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        detail::ForgetWindowOwner(hwnd);
    }
    return result;
}

}  // namespace win32
