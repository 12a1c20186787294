#pragma once

// JavaScript functions held by native code: a persistent handle and the release of its last
// share, which the open event queue takes over.
#include "addon/host_api.h"

#include <atomic>
#include <memory>
#include <thread>

namespace napi {

// A persistent handle on a JavaScript function. Always owned through make_callback's
// shared pointer, whose deleter hands the last release to the open queue, so that the reference
// is deleted on the JavaScript thread and only once no queued event can name the callback.
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
    // Once replaced, or once its last owner let go, a callback is never called again, even for
    // events that were queued before. Set on the JavaScript thread by a setter, on any thread
    // by the last release; read on the JavaScript thread for every event.
    void revoke() { revoked_.store(true, std::memory_order_relaxed); }
    bool revoked() const { return revoked_.load(std::memory_order_relaxed); }

private:
    napi_env env_;
    napi_ref ref_ = nullptr;
    napi_async_context context_ = nullptr;
    std::thread::id owner_;
    std::atomic<bool> revoked_{false};
};

std::shared_ptr<napi_callback> make_callback(napi_env env, napi_value value);

// Receives the last release of every callback while a queue is open; set by the open queue.
class release_target {
public:
    virtual bool defer_release(std::unique_ptr<napi_callback>& callback) = 0;

protected:
    ~release_target() = default;
};
void set_release_target(release_target* target);
void clear_release_target(release_target* target);

}  // namespace napi
