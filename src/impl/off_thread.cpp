#include "impl/off_thread.h"

#include "core/lasting.h"
#include "core/logging.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

namespace win32 {

namespace {

// Enough for a few system calls and a log record.
constexpr SIZE_T kStackReserve = 256 * 1024;

struct OwnWork {
    std::function<void()> work;
    HMODULE module = nullptr;
};

thread_local bool onOwnThread = false;

DWORD WINAPI OwnThreadEntry(LPVOID parameter) noexcept {
    onOwnThread = true;
    HMODULE module = nullptr;
    {
        std::unique_ptr<OwnWork> owned(static_cast<OwnWork*>(parameter));
        module = owned->module;
        try {
            owned->work();
        } catch (...) {
        }
    }
    // The reference goes as the thread leaves: nothing of this module runs after it.
    FreeLibraryAndExitThread(module, 0);
}

}  // namespace

bool AnswersPromptly(HWND hwnd) noexcept {
    if (hwnd == nullptr || GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) {
        return true;
    }
    DWORD_PTR ignored = 0;
    if (SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kAnswerWaitMs, &ignored)) {
        return true;
    }
    // Any other failure (a window of a higher integrity level refuses the message) says
    // nothing about its thread: the call goes ahead as it would have.
    const DWORD error = GetLastError();
    return error != ERROR_TIMEOUT || !IsWindow(hwnd);
}

bool RunOnOwnThread(std::function<void()> work) noexcept {
    try {
        auto owned = std::make_unique<OwnWork>();
        owned->work = std::move(work);
        if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                reinterpret_cast<LPCWSTR>(&OwnThreadEntry), &owned->module)) {
            const DWORD error = GetLastError();
            QLOG(LOG_ERROR) << "GetModuleHandleExW err:" << error;
            return false;
        }
        const HMODULE module = owned->module;
        HANDLE thread = CreateThread(nullptr, kStackReserve, OwnThreadEntry, owned.get(),
                                     STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        if (thread == nullptr) {
            const DWORD error = GetLastError();
            FreeLibrary(module);
            QLOG(LOG_ERROR) << "CreateThread err:" << error;
            return false;
        }
        (void)owned.release();  // the thread's now
        CloseHandle(thread);
        return true;
    } catch (...) {
        return false;  // no memory for the work
    }
}

bool DeferredWhileUnanswered(HWND hwnd, std::function<void()> work, HWND also) noexcept {
    if (onOwnThread || (AnswersPromptly(hwnd) && AnswersPromptly(also))) {
        return false;
    }
    // Not made at all when no thread can be: the caller cannot wait without the risk of seconds.
    RunOnOwnThread(std::move(work));
    return true;
}

namespace {

// The work handed over for the windows of one thread, run in the order it was handed over by
// one thread at a time: a late change never lands after one asked for later.
struct Strand {
    std::deque<std::function<void()>> pending;
    bool running = false;  // a thread runs the strand
};
quarnel::Lasting<std::mutex> strandsMutex;
quarnel::Lasting<std::map<DWORD, Strand>>
    strands;  // by window thread; a strand goes when it runs dry

void RunStrand(DWORD windowThread) {
    for (;;) {
        std::function<void()> next;
        {
            std::lock_guard<std::mutex> lock(*strandsMutex);
            Strand& strand = (*strands)[windowThread];
            if (strand.pending.empty()) {
                strands->erase(windowThread);
                return;
            }
            next = std::move(strand.pending.front());
            strand.pending.pop_front();
        }
        try {
            next();
        } catch (...) {
        }
    }
}

}  // namespace

Handed RunForWindow(HWND hwnd, std::function<void()> work) noexcept {
    const DWORD windowThread = hwnd == nullptr ? 0 : GetWindowThreadProcessId(hwnd, nullptr);
    if (onOwnThread || windowThread == 0 || windowThread == GetCurrentThreadId()) {
        return Handed::No;
    }
    try {
        // Shared with the strand, which may outlive the wait.
        struct Finish {
            std::mutex mutex;
            std::condition_variable done;
            bool finished = false;
        };
        const auto finish = std::make_shared<Finish>();
        std::function<void()> item = [finish, work = std::move(work)] {
            try {
                work();
            } catch (...) {
            }
            {
                std::lock_guard<std::mutex> lock(finish->mutex);
                finish->finished = true;
            }
            finish->done.notify_all();
        };
        bool start = false;
        {
            std::lock_guard<std::mutex> lock(*strandsMutex);
            Strand& strand = (*strands)[windowThread];
            strand.pending.push_back(std::move(item));
            start = !strand.running;
            strand.running = true;
        }
        if (start && !RunOnOwnThread([windowThread] { RunStrand(windowThread); })) {
            // Nothing runs the strand, which held only this: the caller does the work.
            std::lock_guard<std::mutex> lock(*strandsMutex);
            strands->erase(windowThread);
            return Handed::No;
        }
        std::unique_lock<std::mutex> lock(finish->mutex);
        return finish->done.wait_for(lock, std::chrono::milliseconds(kFinishWaitMs),
                                     [&finish] { return finish->finished; })
                   ? Handed::Done
                   : Handed::Late;
    } catch (...) {
        return Handed::No;  // no memory for the hand-over: as before
    }
}

namespace {

// The announcer's state, process-wide.
struct Announcer {
    std::mutex mutex;
    bool running = false;  // a thread is announcing, or about to
    bool again = false;    // asked for while it was
};

Announcer& announcer() {
    static quarnel::Lasting<Announcer> instance;
    return *instance;
}

void AnnounceUntilCaughtUp() {
    Announcer& state = announcer();
    for (;;) {
        // Running programs (the shell above all) reload their environment block on this.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                            reinterpret_cast<LPARAM>("Environment"), SMTO_ABORTIFHUNG, 5000,
                            &ignored);
        std::lock_guard<std::mutex> lock(state.mutex);
        if (!state.again) {
            state.running = false;
            return;
        }
        state.again = false;
    }
}

}  // namespace

void AnnounceEnvironmentChange() noexcept {
    Announcer& state = announcer();
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        if (state.running) {
            state.again = true;
            return;
        }
        state.running = true;
    }
    if (!RunOnOwnThread(AnnounceUntilCaughtUp)) {
        std::lock_guard<std::mutex> lock(state.mutex);
        state.running = false;
    }
}

}  // namespace win32
