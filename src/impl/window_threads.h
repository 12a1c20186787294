#pragma once

// What every thread of the module shares: its start, its count, its window class and its
// message loop. The proxy, frame and touch windows each live on a thread of their own, and the
// keyboard hook has one that pumps the same loop.
#include "core/lasting.h"
#include "core/logging.h"
#include "impl/win32_resources.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace win32 {

using quarnel::Lasting;

// Set by the DLL's detach when the process exits (ExitProcess): from then on nothing of this
// module frees memory, takes a lock or waits.
void ProcessExitBegun() noexcept;
bool ProcessExiting() noexcept;

// The process-wide window lock. Under Wine, threads of one process that make (or paint, or
// destroy) layered windows at the same moment corrupt the X11 driver's heap: a plain Win32
// program does it too, 24 threads each making a proxy-like window over another program's
// window. The fault lies in what Wine does at a thread's first window: it opens the thread's
// input method, and libX11 lists the input methods of a process without a lock. So every
// thread of this module makes its windows one at a time, under this lock (message-only windows
// have no X window, and so no share in it); frames are also painted and destroyed under it. Nothing
// done under it may wait for another thread: a proxy or touch window is made hidden and shown
// without taking the activation, since activation would be handed to (and answered by) the thread
// of the other program's window.
//
// A system mutex rather than a critical section: a thread that the process's exit kills while
// it waits for it leaves nothing of the system half-changed.
class WindowChange {
public:
    WindowChange() noexcept;
    ~WindowChange();
    WindowChange(const WindowChange&) = delete;
    WindowChange& operator=(const WindowChange&) = delete;

private:
    bool owned_;
};

// At the process's exit: takes the window lock for good, within `timeout`, so that no thread
// of this module is inside a window change while the exit goes on; a thread that comes to one
// later waits there until the process is gone. False when the lock was not free in time.
bool ParkWindowChanges(std::chrono::milliseconds timeout) noexcept;

// The threads of one kind. Nobody joins them: a window thread ends with its window, a thread
// without one when Quit reaches it. They are counted so that a stop can wait, with a bound,
// until none of them still runs this module's code; the module must not be unmapped under a
// live window or hook procedure. The count drops as the last of the module's code on the thread
// runs, before the system's own thread exit, which needs the loader lock: so a wait from under
// that lock (a library unload) still returns, where a join would not.
//
// The threads are plain system threads rather than std::thread: after the count drops, the
// only code of this module left on the thread is the return from its entry function, where
// std::thread would still run its own and the thread library's clean-up from this image.
//
// An object of this class must outlive its threads: each kind keeps one for the life of the
// process (a Lasting), so that a thread given up by a timed-out wait still has a count to leave.
class WindowThreads {
public:
    WindowThreads();
    ~WindowThreads();
    WindowThreads(const WindowThreads&) = delete;
    WindowThreads& operator=(const WindowThreads&) = delete;

    // Runs `body` on a new detached thread and returns the thread's id once the thread has a
    // message queue, so that a Quit right after cannot be lost. Exceptions from `body` end the
    // thread quietly. Throws std::system_error when no thread can be made. Never called under
    // the loader lock: the new thread needs it before it can answer.
    DWORD Start(std::function<void()> body);

    // Posts WM_QUIT to the thread `id` of this kind unless it has ended (the id of an ended
    // thread may be another thread's by now); false when it has, or the post failed.
    bool Quit(DWORD id) noexcept;

    // True when no thread of this kind runs any more, at the latest after `timeout`. For an
    // orderly stop, `windowClass` names the class the kind's threads register: once none runs
    // it is unregistered, so that the module loaded again (at another address) registers its
    // own procedure rather than finding this one. A timed-out wait leaves it registered.
    bool WaitForAll(std::chrono::milliseconds timeout, const wchar_t* windowClass = nullptr);
    // Waits without a bound, for callers that are never under the loader lock.
    void WaitForAll();

    // True when every thread of this kind has also left the system's thread exit, at the latest
    // after `timeout` (none: no bound). After the count a thread still tears down its system
    // state (under Wine its display connection, in the C runtime's heap), and a process that
    // ends then kills it in the middle of that, which can leave the heap corrupt for the rest
    // of the exit. Never under the loader lock: the system's thread exit needs it.
    bool WaitForExit(std::chrono::milliseconds timeout);
    void WaitForExit();
    // WaitForExit for every kind within one bound, then (at the process's exit only: nothing
    // can make a window afterwards) ParkWindowChanges within what is left of it. A new module
    // instance that takes over waits without parking: its own windows come next.
    enum class Then { Return, ParkWindowChanges };
    static bool WaitForExitOfAll(std::chrono::milliseconds timeout, Then then = Then::Return);

private:
    static DWORD WINAPI Entry(LPVOID parameter) noexcept;
    void Ended(DWORD id);
    // Waits on the handles of the threads started so far, until `deadline` when `bounded`.
    bool AwaitExits(std::chrono::steady_clock::time_point deadline, bool bounded);

    struct State {
        std::mutex mutex;
        std::condition_variable changed;  // a thread has started or ended
        int running = 0;
        // The threads that have a queue and have not ended; its capacity covers every running
        // thread, so that a new thread lists itself without allocating.
        std::vector<DWORD> listed;
        // The threads that may not have left the system yet; the ones that have are dropped as
        // threads start.
        std::vector<UniqueHandle> handles;
    };
    // Let go of, not destroyed, when the process exits.
    std::unique_ptr<State> state_;
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

// Asks the window's thread to close it (WM_CLOSE, posted: returns at once) and logs the outcome
// under `site`.
void PostClose(int hwnd, const quarnel::LogSite& site);

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
