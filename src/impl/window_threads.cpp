#include "impl/window_threads.h"

#include "core/logging.h"
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

// Every kind, for the exit of the process. Each kind lives as long as the process, so the list
// only changes while the module's statics are made and destroyed.
struct Kinds {
    std::mutex mutex;
    std::vector<WindowThreads*> all;
};
Kinds& kinds() {
    static Kinds instance;
    return instance;
}

// The address space each thread's stack reserves. Without it a thread gets the host
// executable's reservation, which is 8 MB for node.exe: a 32-bit process, with its 2 GB of
// address space, then has room for about 200 proxy and frame windows, each on a thread of its
// own, at the very most (219 threads in a minimal program under Wine). 1 MB is what a
// program built with the usual settings gives its threads, and what code that the system and
// other software run on a window thread (hooks, input methods) is written for.
constexpr SIZE_T kStackReserve = 1 << 20;

bool Exited(const UniqueHandle& thread) {
    return WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0;
}

}  // namespace

WindowThreads::WindowThreads() {
    std::lock_guard<std::mutex> lock(kinds().mutex);
    kinds().all.push_back(this);
}

WindowThreads::~WindowThreads() {
    std::lock_guard<std::mutex> lock(kinds().mutex);
    auto& all = kinds().all;
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

DWORD WindowThreads::Start(std::function<void()> body) {
    ThreadStart start{this, std::move(body), false};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        listed_.reserve(static_cast<size_t>(running_) + 1);
        ++running_;
        // Keeping the new thread's handle cannot fail once the thread runs.
        handles_.erase(std::remove_if(handles_.begin(), handles_.end(), Exited), handles_.end());
        handles_.reserve(handles_.size() + 1);
    }
    DWORD id = 0;
    UniqueHandle thread(CreateThread(nullptr, kStackReserve, Entry, &start,
                                     STACK_SIZE_PARAM_IS_A_RESERVATION, &id));
    if (!thread) {
        const DWORD error = GetLastError();
        // Nothing else would tell: the export that asked for the thread returns as it always does.
        QLOG(LOG_ERROR) << "CreateThread err:" << error;
        Ended(0);
        throw std::system_error(static_cast<int>(error), std::system_category(), "CreateThread");
    }
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&start] { return start.ready; });
    handles_.push_back(std::move(thread));
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

bool WindowThreads::AwaitExits(std::chrono::steady_clock::time_point deadline, bool bounded) {
    // Waited on outside the lock, so that a thread still counted can end meanwhile.
    std::vector<UniqueHandle> waiting;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        waiting.swap(handles_);
    }
    bool all = true;
    for (UniqueHandle& thread : waiting) {
        DWORD wait = INFINITE;
        if (bounded) {
            const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            wait = remaining.count() > 0 ? static_cast<DWORD>(remaining.count()) : 0;
        }
        if (WaitForSingleObject(thread.get(), wait) == WAIT_OBJECT_0) {
            thread.reset();
        } else {
            all = false;
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (UniqueHandle& thread : waiting) {
        if (thread) {
            handles_.push_back(std::move(thread));
        }
    }
    return all;
}

bool WindowThreads::WaitForExit(std::chrono::milliseconds timeout) {
    return AwaitExits(std::chrono::steady_clock::now() + timeout, true);
}

void WindowThreads::WaitForExit() {
    AwaitExits({}, false);
}

bool WindowThreads::WaitForExitOfAll(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::lock_guard<std::mutex> lock(kinds().mutex);
    bool all = true;
    for (WindowThreads* kind : kinds().all) {
        all = kind->AwaitExits(deadline, true) && all;
    }
    return all;
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
