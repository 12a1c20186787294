#include "impl/base_thread.h"

#include <system_error>

BaseThread::~BaseThread() {
    try {
        Stop();
    } catch (...) {
        // A destructor cannot report a failed wait; the handle goes with the base.
    }
}

void BaseThread::Start() {
    std::lock_guard<std::mutex> lock(mutex);
    if (running.load()) {
        return;
    }
    running.store(true);
    if (thread) {
        // The previous worker ended by itself and was never waited for.
        WaitForSingleObject(thread.get(), INFINITE);
        thread.reset();
    }
    thread.reset(CreateThread(nullptr, 0, Entry, this, 0, nullptr));
    if (!thread) {
        const DWORD error = GetLastError();
        running.store(false);
        throw std::system_error(static_cast<int>(error), std::system_category(), "CreateThread");
    }
}

void BaseThread::Stop() {
    std::lock_guard<std::mutex> lock(mutex);
    running.store(false);
    if (thread) {
        if (GetThreadId(thread.get()) == GetCurrentThreadId()) {
            throw std::system_error(std::make_error_code(std::errc::resource_deadlock_would_occur));
        }
        OnStop();
        WaitForSingleObject(thread.get(), INFINITE);
        thread.reset();
    }
}

HANDLE BaseThread::GetNativeHandle() {
    std::lock_guard<std::mutex> lock(mutex);
    return thread ? thread.get() : INVALID_HANDLE_VALUE;
}

void BaseThread::Detach() {
    std::lock_guard<std::mutex> lock(mutex);
    thread.reset();
}

DWORD WINAPI BaseThread::Entry(LPVOID self) noexcept {
    auto* worker = static_cast<BaseThread*>(self);
    try {
        worker->Run();
    } catch (...) {
        // Nothing above a thread entry could handle it; the worker simply ends.
    }
    worker->running.store(false);
    return 0;
}
