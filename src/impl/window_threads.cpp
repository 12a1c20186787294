#include "impl/window_threads.h"

#include "impl/win32_resources.h"

#include <memory>
#include <system_error>
#include <utility>

namespace win32 {

namespace {

struct ThreadStart {
    WindowThreads* owner;
    std::function<void()> body;
};

}  // namespace

void WindowThreads::Start(std::function<void()> body) {
    auto start = std::make_unique<ThreadStart>(ThreadStart{this, std::move(body)});
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++running_;
    }
    win32::UniqueHandle thread(CreateThread(nullptr, 0, Entry, start.get(), 0, nullptr));
    if (!thread) {
        const DWORD error = GetLastError();
        Ended();
        throw std::system_error(static_cast<int>(error), std::system_category(), "CreateThread");
    }
    // The thread owns its start record now; closing our handle detaches it.
    (void)start.release();
}

DWORD WINAPI WindowThreads::Entry(LPVOID parameter) noexcept {
    WindowThreads* owner = nullptr;
    {
        std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
        owner = start->owner;
        try {
            start->body();
        } catch (...) {
            // Nothing above a thread's entry could take the exception.
        }
        // The body's captures (callbacks among them) go before the thread counts as ended.
    }
    owner->Ended();
    return 0;
}

void WindowThreads::Ended() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (--running_ == 0) {
        allEnded_.notify_all();
    }
}

bool WindowThreads::WaitForAll(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return allEnded_.wait_for(lock, timeout, [this] { return running_ == 0; });
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
