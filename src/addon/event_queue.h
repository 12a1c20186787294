#pragma once

// The queue that carries worker-thread items to the JavaScript thread.
//
// Lock order: every lock of the module, outermost first. A thread holding one takes only locks
// further down the list. The log path and the queue (5 to 8) take nothing above them, so a log
// statement or a post is allowed under any lock; a callback is released after its lock.
//   1. The process-wide window lock, win32::WindowChange (a kernel mutex): held while a window
//      is made, painted or destroyed; frames take their Frames::mutex under it.
//   2. Component locks, each over its own data, held across no callback, none nested in another
//      but as said: display_watch.cpp watchMutex (then readyMutex and 3, to start or stop its
//      thread); wnd_proxy_impl.cpp ProxyState::mutex and KeptAnnouncements::mutex;
//      WndFrameImpl::Frames::mutex and wnd_frame_impl.cpp Followers::mutex;
//      win_touch_hook_impl.cpp windowsMutex; input_integrity.cpp verdictMutex; display.cpp the
//      measured extent's mutex; off_thread.cpp strandsMutex, a strand's finish mutex and the
//      environment broadcast's mutex; the keyboard hook's start mutex; WinRegistryImpl's
//      notifyMutex_.
//   3. window_threads.cpp Kinds::mutex, then a kind's WindowThreads::State::mutex.
//   4. WinKeyboardHookImpl::callbackMutex, held while a key is reported (the report posts);
//      WinTouchHookImpl::touchCallbackMutex, held only to swap or copy the callback.
//   5. QuarnelAddon::logCallbackMutex (slim): shared while a record is posted, exclusive to
//      replace the callback, whose release may park it (6).
//   6. napi_callback.cpp targetMutex: held while a released callback is parked in the queue.
//   7. async_handle::mutex_ (slim): the pending items and parked callbacks, never held during a
//      wake-up or while a dropped item is destroyed.
//   8. async_handle::handleMutex_ (slim): shared while a wake-up is sent, exclusive to close.
#include "addon/napi_callback.h"
#include "core/bounded_queue.h"

#include <windows.h>  // after uv.h, which brings winsock2 first

#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

namespace napi {

// The locks of the log path and the queue. Waiting for a slim reader/writer lock needs no
// kernel object, which keeps a contended post cheap: the C++ runtime's mutex waits on an event, and
// under Wine every such wait is a round trip to the server.
class slim_mutex {
public:
    slim_mutex() = default;
    slim_mutex(const slim_mutex&) = delete;
    slim_mutex& operator=(const slim_mutex&) = delete;
    void lock() noexcept { AcquireSRWLockExclusive(&lock_); }
    void unlock() noexcept { ReleaseSRWLockExclusive(&lock_); }
    void lock_shared() noexcept { AcquireSRWLockShared(&lock_); }
    void unlock_shared() noexcept { ReleaseSRWLockShared(&lock_); }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};

// The libuv side of the queue, independent of the item type. One mutex guards the pending
// items and the released callbacks, so a post takes it once and the JavaScript thread once per
// batch. The wake-up itself is sent after that mutex is released, under a shared hold of the
// handle's own lock: sending is a system call (under Wine a server round trip), and the
// JavaScript thread it wakes must not then wait for the sender to let go of the queue.
//
// Queued items name their callback by plain pointer, without a share: a callback whose last
// share goes is parked here instead of deleted. A wake-up takes the parked callbacks together
// with the pending items, under the same lock, and deletes them only after running that batch.
// Every item that names a parked callback was posted before it was parked (the poster held a
// share), so it is in that batch or was dropped: no item ever outlives its callback.
class async_handle : public release_target {
public:
    class async_observer {
    public:
        virtual void OnAsync() = 0;

    protected:
        ~async_observer() = default;
    };

    // Whether the host may still be called: asked before every call into it once the queue
    // is open, since the environment can go away under a callback.
    using host_check = bool (*)() noexcept;

    // Opens the wake-up handle on the environment's own loop (a Worker has its own).
    async_handle(napi_env env, async_observer* observer, host_check calls_host);
    ~async_handle();
    async_handle(const async_handle&) = delete;
    async_handle& operator=(const async_handle&) = delete;

    // Closes the libuv handle on the JavaScript thread; later posts are dropped. With
    // `loop_alive` false (module unload at process exit) libuv is not touched at all.
    void close(bool loop_alive) noexcept;
    // For module unload inside ExitProcess: every other thread is gone, possibly while holding
    // the mutex, so the handle is dropped without locking and the destructor takes no lock
    // either. libuv is not touched.
    void abandon() noexcept;
    bool defer_release(std::unique_ptr<napi_callback>& callback) override;

protected:
    using parked_list = std::vector<std::unique_ptr<napi_callback>>;

    // Under the mutex, unless the queue is closed: `push` adds the item and answers whether
    // the queue was empty before; only then is the JavaScript thread woken (a wake-up already
    // on its way takes the newer items too). False when the item was refused.
    template <typename Push>
    bool post_with(Push&& push) {
        bool wake = false;
        {
            std::lock_guard<slim_mutex> lock(mutex_);
            if (closed_) {
                return false;
            }
            wake = push() && !draining_;
        }
        if (wake) {
            this->wake();
        }
        return true;
    }
    // Sends a wake-up, outside mutex_.
    void wake() noexcept {
        std::shared_lock<slim_mutex> hold(handleMutex_);
        if (handle_ != nullptr) {
            uv_async_send(handle_);
        }
    }
    slim_mutex& mutex() { return mutex_; }
    // Under the mutex: moves the parked callbacks into `out` (empty), leaving none parked.
    void take_parked(parked_list& out) noexcept { parked_.swap(out); }
    bool has_parked() const noexcept { return !parked_.empty(); }
    // Under the mutex, set by the JavaScript thread: a drain is running and will swap again.
    void set_draining(bool draining) noexcept { draining_ = draining; }
    bool calls_host() const noexcept { return calls_host_(); }

private:
    static void on_wakeup(uv_async_t* handle) noexcept;
    static void on_closed(uv_handle_t* handle) noexcept;
    void release_parked() noexcept;

    // Any thread, under mutex_.
    slim_mutex mutex_;
    bool closed_ = false;
    bool draining_ = false;
    parked_list parked_;  // never bounded, never dropped
    // Any thread, under handleMutex_ (shared to send, exclusive to close).
    slim_mutex handleMutex_;
    uv_async_t* handle_ = nullptr;
    // JavaScript thread only.
    async_observer* observer_;
    host_check calls_host_;
    bool abandoned_ = false;
};

// The event queue: at most `eventCapacity` events and `logCapacity` log records wait, each lane
// dropping its own oldest; the observer drains it on each wake-up by taking every pending item
// in one swap.
template <typename T>
class napi_async : public async_handle {
public:
    using async_observer = async_handle::async_observer;
    using lane = typename quarnel::two_lane_queue<T>::lane;

    static constexpr size_t kItemsPerWakeup = 1024;

    napi_async(napi_env env, async_observer* observer, host_check calls_host,
               uint32_t eventCapacity, uint32_t logCapacity)
        : async_handle(env, observer, calls_host),
          pending_(eventCapacity, logCapacity),
          batch_(eventCapacity, logCapacity) {}

    // Any thread. An item pushed out of a full lane is destroyed here, outside the lock.
    void post(T item, lane which = lane::event) {
        T dropped;
        post_with([&] {
            const bool wasEmpty = pending_.empty();
            pending_.push(std::move(item), which, dropped);
            return wasEmpty;
        });
    }

    // JavaScript thread: hands every pending item to `run` with the count of log records lost
    // just before it (see two_lane_queue::pop), oldest first, one swapped-out batch
    // at a time, and lets go of the callbacks parked up to each swap once its batch has run.
    // While batches run, posts send no wake-up (each would be a system call, under Wine a
    // server round trip, for a loop turn that finds nothing): what they add makes the next
    // batch of this wake-up. Once about `kItemsPerWakeup` items have run (a batch counts as one
    // more) the rest waits for a loop turn, so a steady stream cannot hold the loop for ever;
    // counting items rather than batches spares a stream that trickles in a few items per batch
    // a wake-up every few items. Stops once the host may no longer be called (the environment
    // went away under a callback).
    template <typename Run>
    void drain(Run&& run) {
        for (size_t ran = 0; ran < kItemsPerWakeup && calls_host(); ++ran) {
            {
                std::lock_guard<slim_mutex> lock(mutex());
                pending_.swap(batch_);
                take_parked(doomed_);
                if (batch_.empty() && doomed_.empty()) {
                    set_draining(false);
                    return;
                }
                set_draining(true);
            }
            uint32_t lost = 0;
            for (T item; batch_.pop(item, lost); ++ran) {
                if (calls_host()) {
                    run(item, lost);
                }
            }
            doomed_.clear();
        }
        // The rest is left to a later loop turn: from now on posts wake the loop themselves, and
        // what was added while the last batch ran needs a wake-up of its own.
        bool rest = false;
        {
            std::lock_guard<slim_mutex> lock(mutex());
            set_draining(false);
            rest = !pending_.empty() || has_parked();
        }
        if (rest && calls_host()) {
            wake();
        }
    }

private:
    quarnel::two_lane_queue<T> pending_;  // under the mutex
    quarnel::two_lane_queue<T> batch_;    // JavaScript thread only
    parked_list doomed_;                  // JavaScript thread only
};

}  // namespace napi
