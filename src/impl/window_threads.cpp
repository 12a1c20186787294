#include "impl/window_threads.h"

#include "impl/win32_resources.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace win32 {

namespace {

// On the starter's stack: the new thread takes the body and then only says it is ready.
struct ThreadStart {
    WindowThreads* owner;
    std::function<void()> body;
    bool ready;  // guarded by the owner's mutex
};

}  // namespace

DWORD WindowThreads::Start(std::function<void()> body, win32::UniqueHandle* handle) {
    ThreadStart start{this, std::move(body), false};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        listed_.reserve(static_cast<size_t>(running_) + 1);
        ++running_;
    }
    DWORD id = 0;
    // Closing the handle detaches the thread.
    win32::UniqueHandle thread(CreateThread(nullptr, 0, Entry, &start, 0, &id));
    if (!thread) {
        const DWORD error = GetLastError();
        Ended(0);
        throw std::system_error(static_cast<int>(error), std::system_category(), "CreateThread");
    }
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&start] { return start.ready; });
    if (handle != nullptr) {
        handle->reset(thread.release());
    }
    return id;
}

DWORD WINAPI WindowThreads::Entry(LPVOID parameter) noexcept {
    auto* const start = static_cast<ThreadStart*>(parameter);
    WindowThreads* const owner = start->owner;
    const DWORD id = GetCurrentThreadId();
    {
        std::function<void()> body = std::move(start->body);
        // A thread gets its message queue with its first message call, and a quit posted to it
        // before that is lost: the queue comes before anyone learns the id.
        MSG msg;
        PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        {
            std::lock_guard<std::mutex> lock(owner->mutex_);
            owner->listed_.push_back(id);
            start->ready = true;  // the starter's record is gone from here on
            owner->changed_.notify_all();
        }
        try {
            body();
        } catch (...) {
            // Nothing above a thread's entry could take the exception.
        }
        // The body's captures (callbacks among them) go before the thread counts as ended.
    }
    owner->Ended(id);
    return 0;
}

void WindowThreads::Ended(DWORD id) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto listed = std::find(listed_.begin(), listed_.end(), id);
    if (listed != listed_.end()) {
        listed_.erase(listed);
    }
    --running_;
    changed_.notify_all();
}

bool WindowThreads::Quit(DWORD id) noexcept {
    std::lock_guard<std::mutex> lock(mutex_);
    // Listed, the thread has not ended, so the id is still its own.
    return std::find(listed_.begin(), listed_.end(), id) != listed_.end() &&
           PostThreadMessageW(id, WM_QUIT, 0, 0);
}

bool WindowThreads::WaitForAll(std::chrono::milliseconds timeout, const wchar_t* windowClass) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!changed_.wait_for(lock, timeout, [this] { return running_ == 0; })) {
            return false;
        }
    }
    // No thread is left to have a window of the class.
    if (windowClass != nullptr) {
        UnregisterClassW(windowClass, nullptr);
    }
    return true;
}

void WindowThreads::WaitForAll() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return running_ == 0; });
}

void RegisterWindowClass(const wchar_t* name, WNDPROC procedure) noexcept {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = name;
    windowClass.hIconSm = LoadIconW(nullptr, IDI_APPLICATION);
    RegisterClassExW(&windowClass);
}

LoopEnd PumpMessages() noexcept {
    MSG msg;
    for (;;) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            return {true, 0};
        }
        if (got == -1) {
            const DWORD error = GetLastError();
            return {false, error};
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

namespace detail {

void* WindowOwner(HWND hwnd, UINT message, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        void* const owner = reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
        return owner;
    }
    return reinterpret_cast<void*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void ForgetWindowOwner(HWND hwnd) noexcept {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
}

}  // namespace detail

}  // namespace win32
