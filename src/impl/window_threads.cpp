#include "impl/window_threads.h"

#include "core/logging.h"
#include "impl/win32_bridge.h"
#include "impl/win32_resources.h"

#include <algorithm>
#include <atomic>
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
    static Lasting<Kinds> instance;
    return *instance;
}

std::atomic<bool> exiting{false};

// Made on first use and never closed.
HANDLE WindowMutex() noexcept {
    static const HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    return mutex;
}

bool TakeWindowMutex(DWORD timeout) noexcept {
    const DWORD result = WaitForSingleObject(WindowMutex(), timeout);
    // Abandoned: its owner ended inside a change, which is over now either way.
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
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

void ProcessExitBegun() noexcept {
    exiting.store(true, std::memory_order_release);
}

bool ProcessExiting() noexcept {
    return exiting.load(std::memory_order_acquire);
}

WindowChange::WindowChange() noexcept : owned_(TakeWindowMutex(INFINITE)) {}

WindowChange::~WindowChange() {
    if (owned_) {
        ReleaseMutex(WindowMutex());
    }
}

bool ParkWindowChanges(std::chrono::milliseconds timeout) noexcept {
    return TakeWindowMutex(static_cast<DWORD>(std::max<int64_t>(0, timeout.count())));
}

WindowThreads::WindowThreads() : state_(std::make_unique<State>()) {
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
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->listed.reserve(static_cast<size_t>(state_->running) + 1);
        ++state_->running;
        // Keeping the new thread's handle cannot fail once the thread runs.
        state_->handles.erase(
            std::remove_if(state_->handles.begin(), state_->handles.end(), Exited),
            state_->handles.end());
        state_->handles.reserve(state_->handles.size() + 1);
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
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->changed.wait(lock, [&start] { return start.ready; });
    state_->handles.push_back(std::move(thread));
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
            std::lock_guard<std::mutex> lock(owner->state_->mutex);
            owner->state_->listed.push_back(id);
            start->ready = true;  // the starter's record is gone from here on
            owner->state_->changed.notify_all();
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
    std::lock_guard<std::mutex> lock(state_->mutex);
    const auto listed = std::find(state_->listed.begin(), state_->listed.end(), id);
    if (listed != state_->listed.end()) {
        state_->listed.erase(listed);
    }
    --state_->running;
    state_->changed.notify_all();
}

bool WindowThreads::Quit(DWORD id) noexcept {
    std::lock_guard<std::mutex> lock(state_->mutex);
    // Listed, the thread has not ended, so the id is still its own.
    return std::find(state_->listed.begin(), state_->listed.end(), id) != state_->listed.end() &&
           PostThreadMessageW(id, WM_QUIT, 0, 0);
}

bool WindowThreads::WaitForAll(std::chrono::milliseconds timeout, const wchar_t* windowClass) {
    {
        std::unique_lock<std::mutex> lock(state_->mutex);
        if (!state_->changed.wait_for(lock, timeout, [this] { return state_->running == 0; })) {
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
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->changed.wait(lock, [this] { return state_->running == 0; });
}

bool WindowThreads::AwaitExits(std::chrono::steady_clock::time_point deadline, bool bounded) {
    // Waited on outside the lock, so that a thread still counted can end meanwhile.
    std::vector<UniqueHandle> waiting;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        waiting.swap(state_->handles);
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
    std::lock_guard<std::mutex> lock(state_->mutex);
    for (UniqueHandle& thread : waiting) {
        if (thread) {
            state_->handles.push_back(std::move(thread));
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

bool WindowThreads::WaitForExitOfAll(std::chrono::milliseconds timeout, Then then) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool all = true;
    {
        std::lock_guard<std::mutex> lock(kinds().mutex);
        for (WindowThreads* kind : kinds().all) {
            all = kind->AwaitExits(deadline, true) && all;
        }
    }
    if (then == Then::Return) {
        return all;
    }
    const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return ParkWindowChanges(remaining) && all;
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

void PostClose(int hwnd, const quarnel::LogSite& site) {
    if (PostMessageW(ToHwnd(hwnd), WM_CLOSE, 0, 0)) {
        QLOG_AS(site, LOG_INFO) << "PostMessage WM_CLOSE success childHWnd:" << hwnd;
    } else {
        const DWORD error = GetLastError();
        QLOG_AS(site, LOG_ERROR) << "PostMessage WM_CLOSE err:" << error << " childHWnd:" << hwnd;
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
