#include "addon/napi_bridge.h"

#include "addon/lifetime.h"

#include <algorithm>
#include <utility>

namespace napi {

// ---- scopes ----

handle_scope::handle_scope(napi_env env) : env_(env) {
    if (napi_open_handle_scope(env_, &scope_) != napi_ok) {
        scope_ = nullptr;
    }
}

void handle_scope::close() {
    if (scope_ != nullptr && napi_close_handle_scope(env_, scope_) == napi_ok) {
        scope_ = nullptr;
    }
}

escapable_handle_scope::escapable_handle_scope(napi_env env) : env_(env) {
    if (napi_open_escapable_handle_scope(env_, &scope_) != napi_ok) {
        scope_ = nullptr;
    }
}

void escapable_handle_scope::close() {
    if (scope_ != nullptr && napi_close_escapable_handle_scope(env_, scope_) == napi_ok) {
        scope_ = nullptr;
    }
}

napi_value escapable_handle_scope::escape(napi_value value) {
    napi_value escaped = nullptr;
    if (napi_escape_handle(env_, scope_, value, &escaped) != napi_ok) {
        return nullptr;
    }
    return escaped;
}

// ---- makers ----

namespace {

template <typename Create>
napi_value make_escaped(napi_env env, Create&& create) {
    escapable_handle_scope scope(env);
    napi_value value = nullptr;
    if (create(&value) != napi_ok || value == nullptr) {
        return nullptr;
    }
    return scope.escape(value);
}

}  // namespace

napi_value make_int32(napi_env env, const int32_t& value) {
    return make_escaped(env, [&](napi_value* out) { return napi_create_int32(env, value, out); });
}

napi_value make_bool(napi_env env, const bool& value) {
    return make_escaped(
        env, [&](napi_value* out) { return napi_create_int32(env, value ? 1 : 0, out); });
}

napi_value make_uint32(napi_env env, const uint32_t& value) {
    return make_escaped(env, [&](napi_value* out) { return napi_create_uint32(env, value, out); });
}

napi_value make_int64(napi_env env, const int64_t& value) {
    return make_escaped(env, [&](napi_value* out) { return napi_create_int64(env, value, out); });
}

napi_value make_string(napi_env env, const std::string& value) {
    return make_escaped(env, [&](napi_value* out) {
        return napi_create_string_utf8(env, value.c_str(), NAPI_AUTO_LENGTH, out);
    });
}

napi_value make_string_array(napi_env env, const std::vector<std::string>& values) {
    return make_escaped(env, [&](napi_value* out) {
        napi_status status = napi_create_array(env, out);
        if (status != napi_ok || *out == nullptr) {
            return status;
        }
        for (uint32_t i = 0; i < values.size(); ++i) {
            handle_scope element_scope(env);
            napi_set_element(env, *out, i, make_string(env, values[i]));
        }
        return napi_ok;
    });
}

// ---- readers ----

int32_t get_int32(napi_env env, napi_value value) {
    handle_scope scope(env);
    int32_t result = 0;
    if (napi_get_value_int32(env, value, &result) != napi_ok) {
        return 0;
    }
    return result;
}

bool get_bool(napi_env env, napi_value value) {
    handle_scope scope(env);
    bool result = false;
    if (napi_get_value_bool(env, value, &result) != napi_ok) {
        return false;
    }
    return result;
}

std::string get_string(napi_env env, napi_value value) {
    handle_scope scope(env);
    size_t length = 0;
    if (napi_get_value_string_utf8(env, value, nullptr, 0, &length) != napi_ok) {
        return std::string();
    }
    std::string text(length + 1, '\0');
    size_t copied = 0;
    if (napi_get_value_string_utf8(env, value, &text[0], text.size(), &copied) != napi_ok) {
        return std::string();
    }
    text.resize(length);
    return text;
}

std::vector<std::string> get_string_array(napi_env env, napi_value value, uint32_t limit) {
    handle_scope scope(env);
    std::vector<std::string> result;
    bool isArray = false;
    if (napi_is_array(env, value, &isArray) != napi_ok || !isArray) {
        return result;
    }
    uint32_t length = 0;
    if (napi_get_array_length(env, value, &length) != napi_ok) {
        return result;
    }
    length = std::min(length, limit);
    for (uint32_t i = 0; i < length; ++i) {
        handle_scope element_scope(env);
        napi_value element = nullptr;
        if (napi_get_element(env, value, i, &element) != napi_ok) {
            // A getter threw: the element is read as any other non-string, and the exception
            // must not reach the caller of an export that only reads its arguments.
            bool pending = false;
            napi_value ignored = nullptr;
            if (napi_is_exception_pending(env, &pending) != napi_ok || !pending ||
                napi_get_and_clear_last_exception(env, &ignored) != napi_ok) {
                break;
            }
            result.emplace_back();
            continue;
        }
        result.push_back(get_string(env, element));
    }
    return result;
}

// ---- object_ref ----

object_ref::object_ref(napi_env env) : env_(env) {
    handle_scope scope(env);
    napi_value object = nullptr;
    if (napi_create_object(env, &object) == napi_ok) {
        if (napi_create_reference(env, object, 1, &ref_) != napi_ok) {
            ref_ = nullptr;
        }
    }
}

void object_ref::set(napi_env env, const char* name, napi_value value) {
    handle_scope scope(env);
    napi_value object = nullptr;
    if (ref_ == nullptr || napi_get_reference_value(env, ref_, &object) != napi_ok) {
        return;
    }
    napi_set_named_property(env, object, name, value);
}

napi_value object_ref::value(napi_env env) {
    escapable_handle_scope scope(env);
    napi_value object = nullptr;
    if (ref_ == nullptr || napi_get_reference_value(env, ref_, &object) != napi_ok ||
        object == nullptr) {
        return nullptr;
    }
    return scope.escape(object);
}

void object_ref::release() {
    if (ref_ != nullptr) {
        napi_delete_reference(env_, ref_);
        ref_ = nullptr;
    }
}

// ---- the process's exit ----

bool on_process_exit(napi_env env, ::napi_callback listener, void* data) {
    handle_scope scope(env);
    napi_value global = nullptr, process = nullptr, on = nullptr, name = nullptr,
               function = nullptr;
    if (napi_get_global(env, &global) != napi_ok ||
        napi_get_named_property(env, global, "process", &process) != napi_ok ||
        napi_get_named_property(env, process, "on", &on) != napi_ok ||
        napi_create_string_utf8(env, "exit", NAPI_AUTO_LENGTH, &name) != napi_ok ||
        napi_create_function(env, "quarnelExit", NAPI_AUTO_LENGTH, listener, data, &function) !=
            napi_ok) {
        return false;
    }
    napi_value argv[] = {name, function};
    napi_value ignored = nullptr;
    return napi_call_function(env, process, on, 2, argv, &ignored) == napi_ok;
}

// ---- napi_callback ----

napi_callback::napi_callback(napi_env env, napi_value value)
    : env_(env), owner_(std::this_thread::get_id()) {
    if (napi_create_reference(env, value, 1, &ref_) != napi_ok) {
        ref_ = nullptr;
        return;
    }
    // Made now, on the caller's JavaScript stack: the async context remembers the execution
    // context (and so the AsyncLocalStorage store) active when the callback was handed over.
    handle_scope scope(env);
    napi_value name = make_string(env, "Quarnel");
    if (name == nullptr || napi_async_init(env, nullptr, name, &context_) != napi_ok) {
        context_ = nullptr;
    }
}

napi_callback::~napi_callback() {
    if (!Lifetime::State().releases_references()) {
        return;  // the environment reclaims both with itself
    }
    if (context_ != nullptr) {
        napi_async_destroy(env_, context_);
        context_ = nullptr;
    }
    if (ref_ != nullptr) {
        napi_delete_reference(env_, ref_);
        ref_ = nullptr;
    }
}

napi_value napi_callback::call(size_t argc, const napi_value* argv) {
    if (ref_ == nullptr) {
        return nullptr;
    }
    napi_value function = nullptr;
    napi_value global = nullptr;
    if (napi_get_reference_value(env_, ref_, &function) != napi_ok ||
        napi_get_global(env_, &global) != napi_ok || function == nullptr || global == nullptr) {
        return nullptr;
    }
    napi_value result = nullptr;
    // Without a context (its creation failed) the host still opens a callback scope.
    if (napi_make_callback(env_, context_, global, function, argc, argv, &result) != napi_ok) {
        // A throwing listener must not silence the ones after it: hand its exception to the
        // host's uncaught-exception handling and clear it from the environment.
        bool pending = false;
        napi_value error = nullptr;
        if (napi_is_exception_pending(env_, &pending) == napi_ok && pending &&
            napi_get_and_clear_last_exception(env_, &error) == napi_ok) {
            napi_fatal_exception(env_, error);
        }
        return nullptr;
    }
    return result;
}

namespace {

std::mutex targetMutex;
release_target* currentTarget = nullptr;  // guarded by targetMutex

void release_callback(napi_callback* raw) noexcept {
    std::unique_ptr<napi_callback> callback(raw);
    // Queued events may still name it: from now on they find it revoked.
    callback->revoke();
    if (!Lifetime::State().calls_host()) {
        return;  // nothing drains or calls the host any more: deleted without an N-API call
    }
    {
        std::lock_guard<std::mutex> lock(targetMutex);
        if (currentTarget != nullptr && currentTarget->defer_release(callback)) {
            return;
        }
    }
    // No open queue: no event can still reach it. On its own thread it is deleted here; on any
    // other thread the environment reclaims the reference itself, so forgetting it is the only
    // safe move.
    if (!callback->on_owner_thread()) {
        callback->abandon();
    }
}

}  // namespace

std::shared_ptr<napi_callback> make_callback(napi_env env, napi_value value) {
    return std::shared_ptr<napi_callback>(new napi_callback(env, value), release_callback);
}

void set_release_target(release_target* target) {
    std::lock_guard<std::mutex> lock(targetMutex);
    currentTarget = target;
}

void clear_release_target(release_target* target) {
    std::lock_guard<std::mutex> lock(targetMutex);
    if (currentTarget == target) {
        currentTarget = nullptr;
    }
}

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
