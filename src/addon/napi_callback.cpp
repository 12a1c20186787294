#include "addon/napi_callback.h"

#include "addon/lifetime.h"
#include "addon/napi_values.h"
#include "core/lasting.h"

#include <mutex>
#include <utility>

namespace napi {

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

quarnel::Lasting<std::mutex> targetMutex;
release_target* currentTarget = nullptr;  // guarded by targetMutex

void release_callback(napi_callback* raw) noexcept {
    std::unique_ptr<napi_callback> callback(raw);
    // Queued events may still name it: from now on they find it revoked.
    callback->revoke();
    if (!Lifetime::State().calls_host()) {
        return;  // nothing drains or calls the host any more: deleted without an N-API call
    }
    {
        std::lock_guard<std::mutex> lock(*targetMutex);
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
    std::lock_guard<std::mutex> lock(*targetMutex);
    currentTarget = target;
}

void clear_release_target(release_target* target) {
    std::lock_guard<std::mutex> lock(*targetMutex);
    if (currentTarget == target) {
        currentTarget = nullptr;
    }
}

}  // namespace napi
