#pragma once

#include "impl/win32_resources.h"

#include <windows.h>

#include <atomic>
#include <mutex>

// A worker thread with start and stop under one lock. A derived class supplies Run and, when
// Run waits on something the stop must interrupt, OnStop to wake it.
//
// A plain system thread rather than std::thread: the owner needs its handle for a bounded wait
// (see the keyboard hook's destructor), which the standard thread does not give portably.
class BaseThread {
public:
    BaseThread() = default;
    BaseThread(const BaseThread&) = delete;
    BaseThread& operator=(const BaseThread&) = delete;

    // Starts the worker unless it runs already; returns once the new thread exists. Throws
    // std::system_error when no thread can be made.
    virtual void Start();
    // Stops the worker and waits for it to end. Waiting for it from the worker itself throws
    // std::system_error.
    virtual void Stop();
    virtual void OnStop() {}
    // The worker's handle, INVALID_HANDLE_VALUE when there is no thread.
    virtual HANDLE GetNativeHandle();
    virtual void Run() = 0;

    void ClearRunning() noexcept { running.store(false); }
    bool IsRunning() const noexcept { return running.load(); }

protected:
    // Not virtual: a worker is never deleted through this base.
    ~BaseThread();

    // Gives up the worker without waiting for its end, for an owner that must not wait.
    void Detach();

private:
    static DWORD WINAPI Entry(LPVOID self) noexcept;

    std::atomic<bool> running{false};
    std::mutex mutex;  // serialises Start, Stop, GetNativeHandle and Detach; guards thread
    win32::UniqueHandle thread;
};
