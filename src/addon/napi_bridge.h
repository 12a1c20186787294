#pragma once

// The module's thin layer over Node-API and libuv: scopes, lenient readers, value makers,
// persistent callbacks and the queue that carries worker-thread items to the JavaScript thread.
#include "addon/host_api.h"
#include "core/bounded_queue.h"
#include "core/lifecycle.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace napi {

class handle_scope {
public:
    explicit handle_scope(napi_env env);
    ~handle_scope() { close(); }
    handle_scope(const handle_scope&) = delete;
    handle_scope& operator=(const handle_scope&) = delete;
    void close();

private:
    napi_env env_;
    napi_handle_scope scope_ = nullptr;
};

class escapable_handle_scope {
public:
    explicit escapable_handle_scope(napi_env env);
    ~escapable_handle_scope() { close(); }
    escapable_handle_scope(const escapable_handle_scope&) = delete;
    escapable_handle_scope& operator=(const escapable_handle_scope&) = delete;
    void close();
    napi_value escape(napi_value value);

private:
    napi_env env_;
    napi_escapable_handle_scope scope_ = nullptr;
};

// Makers: null when the host call fails.
napi_value make_int32(napi_env env, const int32_t& value);
napi_value make_bool(napi_env env, const bool& value);  // 1 or 0, never a JavaScript boolean
napi_value make_uint32(napi_env env, const uint32_t& value);
napi_value make_int64(napi_env env, const int64_t& value);
napi_value make_string(napi_env env, const std::string& value);  // ends at the first zero byte
napi_value make_string_array(napi_env env, const std::vector<std::string>& values);

// Lenient readers: a value of the wrong type reads as 0, false, "" or an empty list.
int32_t get_int32(napi_env env, napi_value value);
bool get_bool(napi_env env, napi_value value);
std::string get_string(napi_env env, napi_value value);
std::vector<std::string> get_string_array(napi_env env, napi_value value);

// A new object kept alive by a strong reference while native code fills it.
class object_ref {
public:
    explicit object_ref(napi_env env);
    ~object_ref() { release(); }
    object_ref(const object_ref&) = delete;
    object_ref& operator=(const object_ref&) = delete;
    void set(napi_env env, const char* name, napi_value value);
    napi_value value(napi_env env);
    void release();

private:
    napi_env env_;
    napi_ref ref_ = nullptr;
};

// The add-on's one lifecycle state, process-wide. `program_will_quit` is the application's
// promise that it is exiting: from then on no JavaScript reference is deleted.
quarnel::Lifecycle& lifecycle();
void program_will_quit();

// Adds `listener` (called with `data`) to the 'exit' event of the environment's `process`:
// the last moment of an ending process at which JavaScript still runs and threads can still be
// joined, whether it ends by process.exit(), an uncaught exception or running dry. False when
// the host has no such object.
bool on_process_exit(napi_env env, ::napi_callback listener, void* data);

// A persistent handle on a JavaScript function. Always owned through make_callback's
// shared pointer, whose deleter makes sure the reference is deleted on the JavaScript thread.
class napi_callback {
public:
    napi_callback(napi_env env, napi_value value);
    ~napi_callback();
    napi_callback(const napi_callback&) = delete;
    napi_callback& operator=(const napi_callback&) = delete;

    napi_env env() const { return env_; }
    // Calls the function with the global object as receiver inside a callback scope of the
    // async context captured when the callback was made: microtasks and nextTick callbacks it
    // queues run right after it, and AsyncLocalStorage sees the store active at that time.
    // Its result lives in the caller's handle scope (every event opens one). Null when it
    // cannot be called.
    napi_value call(size_t argc, const napi_value* argv);
    bool on_owner_thread() const { return std::this_thread::get_id() == owner_; }
    // Forgets the reference without an N-API call (the environment reclaims it).
    void abandon() {
        ref_ = nullptr;
        context_ = nullptr;
    }
    // JavaScript thread: once replaced, a callback is never called again, whoever still
    // holds a share of it.
    void revoke() { revoked_ = true; }
    bool revoked() const { return revoked_; }

private:
    napi_env env_;
    napi_ref ref_ = nullptr;
    napi_async_context context_ = nullptr;
    std::thread::id owner_;
    bool revoked_ = false;  // JavaScript thread only
};

std::shared_ptr<napi_callback> make_callback(napi_env env, napi_value value);

// Receives the last release of callbacks dropped on other threads; set by the open queue.
class release_target {
public:
    virtual bool defer_release(std::unique_ptr<napi_callback>& callback) = 0;

protected:
    ~release_target() = default;
};
void set_release_target(release_target* target);
void clear_release_target(release_target* target);

// The libuv side of the queue, independent of the item type. One mutex guards the handle and
// the pending items, so a post takes one lock and the JavaScript thread one per wake-up.
class async_handle : public release_target {
public:
    class async_observer {
    public:
        virtual void OnAsync() = 0;

    protected:
        ~async_observer() = default;
    };

    // Opens the wake-up handle on the environment's own loop (a Worker has its own).
    async_handle(napi_env env, async_observer* observer);
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
    // Under the mutex, unless the handle is closed: `push` adds the item and answers whether
    // the queue was empty before; only then is the JavaScript thread woken (a wake-up already
    // on its way takes the newer items too). False when the item was refused.
    template <typename Push>
    bool post_with(Push&& push) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (handle_ == nullptr) {
            return false;
        }
        if (push()) {
            uv_async_send(handle_);
        }
        return true;
    }
    std::mutex& mutex() { return mutex_; }

private:
    static void on_wakeup(uv_async_t* handle) noexcept;
    static void on_closed(uv_handle_t* handle) noexcept;
    void release_deferred() noexcept;

    // Any thread, under mutex_ (with the derived queue's pending items).
    std::mutex mutex_;
    uv_async_t* handle_ = nullptr;
    // Callbacks whose last owner let go off the JavaScript thread; never bounded, never dropped.
    std::mutex deferredMutex_;
    std::vector<std::unique_ptr<napi_callback>> deferred_;
    std::atomic<bool> deferredWaiting_{false};
    // JavaScript thread only.
    async_observer* observer_;
    bool abandoned_ = false;
};

// The event queue: at most `capacity` items wait; the observer drains it on each wake-up by
// taking every pending item in one swap.
template <typename T>
class napi_async : public async_handle {
public:
    using async_observer = async_handle::async_observer;

    napi_async(napi_env env, async_observer* observer, uint32_t capacity)
        : async_handle(env, observer), pending_(capacity), batch_(capacity) {}

    void post(T item) {
        T dropped;
        post_with([&] {
            const bool wasEmpty = pending_.empty();
            pending_.push(std::move(item), dropped);
            return wasEmpty;
        });
    }

    // JavaScript thread: hands every item pending now to `run`, oldest first. Items posted
    // meanwhile wait for the next wake-up.
    template <typename Run>
    void drain(Run&& run) {
        {
            std::lock_guard<std::mutex> lock(mutex());
            pending_.swap(batch_);
        }
        for (T item; batch_.pop(item);) {
            run(item);
            item = T();
        }
    }

private:
    bounded_queue<T> pending_;  // under the mutex
    bounded_queue<T> batch_;    // JavaScript thread only
};

}  // namespace napi
