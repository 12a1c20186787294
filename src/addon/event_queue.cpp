#include "addon/event_queue.h"

#include <utility>

namespace napi {

// ---- async_handle ----

async_handle::async_handle(napi_env env, async_observer* observer, host_check calls_host)
    : observer_(observer), calls_host_(calls_host) {
    auto handle = std::make_unique<uv_async_t>();
    *handle = uv_async_t{};
    uv_loop_t* loop = nullptr;
    if (napi_get_uv_event_loop(env, &loop) == napi_ok && loop != nullptr &&
        uv_async_init(loop, handle.get(), on_wakeup) == 0) {
        handle->data = this;
        // Waiting for module events must not keep an otherwise finished process alive.
        uv_unref(reinterpret_cast<uv_handle_t*>(handle.get()));
        handle_ = handle.release();
    } else {
        closed_ = true;
    }
    set_release_target(this);
}

async_handle::~async_handle() {
    if (abandoned_) {
        return;  // parked_ goes with the object; nothing calls the host any more
    }
    close(calls_host());
    release_parked();
}

void async_handle::abandon() noexcept {
    abandoned_ = true;
    closed_ = true;
    handle_ = nullptr;
}

void async_handle::close(bool loop_alive) noexcept {
    clear_release_target(this);
    {
        std::lock_guard<slim_mutex> lock(mutex_);
        closed_ = true;
    }
    // Waits for a post that is sending its wake-up right now.
    std::lock_guard<slim_mutex> lock(handleMutex_);
    if (handle_ == nullptr) {
        return;
    }
    handle_->data = nullptr;
    if (loop_alive) {
        uv_close(reinterpret_cast<uv_handle_t*>(handle_), on_closed);
    }
    // Otherwise the loop will never run again: the handle is left to the operating system
    // rather than touching a loop that is being torn down.
    handle_ = nullptr;
}

bool async_handle::defer_release(std::unique_ptr<napi_callback>& callback) {
    try {
        return post_with([&] {
            parked_.push_back(std::move(callback));
            return true;
        });
    } catch (...) {
        // No memory to park it, and queued events may still name it: it is leaked rather
        // than freed under them.
        (void)callback.release();
        return true;
    }
}

void async_handle::release_parked() noexcept {
    parked_list doomed;
    {
        std::lock_guard<slim_mutex> lock(mutex_);
        take_parked(doomed);
    }
}

void async_handle::on_wakeup(uv_async_t* handle) noexcept {
    auto* self = static_cast<async_handle*>(handle->data);
    if (self != nullptr && self->observer_ != nullptr) {
        self->observer_->OnAsync();
    }
}

void async_handle::on_closed(uv_handle_t* handle) noexcept {
    std::unique_ptr<uv_async_t> owned(reinterpret_cast<uv_async_t*>(handle));
}

}  // namespace napi
