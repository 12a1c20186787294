#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

// A worker thread with start and stop under one lock. A derived class supplies Run and, when
// Run waits on something the stop must interrupt, OnStop to wake it.
class BaseThread {
public:
    BaseThread() = default;
    BaseThread(const BaseThread&) = delete;
    BaseThread& operator=(const BaseThread&) = delete;

    // Starts the worker unless it runs already; returns once the new thread exists.
    virtual void Start();
    // Stops and joins the worker. Joining it from the worker itself throws std::system_error.
    virtual void Stop();
    virtual void OnStop() {}
    // The worker's Win32 handle, INVALID_HANDLE_VALUE when there is no thread object.
    virtual HANDLE GetNativeHandle();
    virtual void Run() = 0;

    void ClearRunning() noexcept { running.store(false); }
    bool IsRunning() const noexcept { return running.load(); }
    static void Sleep(int32_t milliseconds);

protected:
    // Not virtual: a worker is never deleted through this base.
    ~BaseThread();

    // Gives up the worker without joining it, for an owner that must not wait for its exit.
    void Detach();

private:
    void ThreadProc() noexcept;

    std::atomic<bool> running{false};
    std::mutex mutex;  // serialises Start, Stop, GetNativeHandle and Detach; guards thread
    std::unique_ptr<std::thread> thread;
};
