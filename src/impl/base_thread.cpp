#include "impl/base_thread.h"

#include <pthread.h>

#include <chrono>

BaseThread::~BaseThread() {
    try {
        Stop();
    } catch (...) {
        // A destructor cannot report a failed join; the thread object goes with the base.
    }
}

void BaseThread::Start() {
    std::lock_guard<std::mutex> lock(mutex);
    if (running.load()) {
        return;
    }
    running.store(true);
    if (thread != nullptr) {
        // The previous worker ended by itself and was never joined.
        thread->join();
        thread.reset();
    }
    try {
        thread = std::make_unique<std::thread>(&BaseThread::ThreadProc, this);
    } catch (...) {
        running.store(false);
        throw;
    }
}

void BaseThread::Stop() {
    std::lock_guard<std::mutex> lock(mutex);
    running.store(false);
    if (thread != nullptr) {
        OnStop();
        thread->join();
        thread.reset();
    }
}

HANDLE BaseThread::GetNativeHandle() {
    std::lock_guard<std::mutex> lock(mutex);
    if (thread == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    // The posix thread model's std::thread wraps a winpthreads thread, which keeps the Win32
    // handle open until it is joined or detached.
    return pthread_gethandle(thread->native_handle());
}

void BaseThread::Detach() {
    std::lock_guard<std::mutex> lock(mutex);
    if (thread != nullptr) {
        thread->detach();
        thread.reset();
    }
}

void BaseThread::Sleep(int32_t milliseconds) {
    if (milliseconds > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

void BaseThread::ThreadProc() noexcept {
    try {
        Run();
    } catch (...) {
        // Nothing above a thread entry could handle it; the worker simply ends.
    }
    running.store(false);
}
