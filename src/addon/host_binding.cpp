// Node-API and libuv are exported by whatever executable hosts the module (node.exe,
// electron.exe, ...), so the module links against no import library. Each function is
// looked up in the running process on first use; a function the host lacks makes the
// call fail with an error status instead of jumping through a null pointer.
#include "addon/host_api.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

namespace {

std::mutex missingMutex;
std::string missingNames;  // guarded by missingMutex

void NoteMissing(const char* name) noexcept {
    try {
        std::lock_guard<std::mutex> lock(missingMutex);
        if (missingNames.find(name) == std::string::npos) {
            missingNames.append(missingNames.empty() ? "" : ",").append(name);
        }
    } catch (...) {
    }
}

FARPROC Resolve(const char* name) noexcept {
    FARPROC proc = GetProcAddress(GetModuleHandleW(nullptr), name);
    if (proc == nullptr) {
        NoteMissing(name);
    }
    return proc;
}

// One slot per host function: resolved once, then a relaxed load per call.
template <typename Fn>
Fn* Bound(std::atomic<Fn*>& slot, const char* name) noexcept {
    Fn* fn = slot.load(std::memory_order_acquire);
    if (fn == nullptr) {
        fn = reinterpret_cast<Fn*>(reinterpret_cast<void*>(Resolve(name)));
        slot.store(fn, std::memory_order_release);
    }
    return fn;
}

}  // namespace

// X(return type, name, parameters, arguments, value returned when the host lacks it)
#define QUARNEL_NAPI_FUNCTIONS(X)                                                                  \
    X(napi_status, napi_create_function,                                                           \
      (napi_env env, const char* utf8name, size_t length, napi_callback cb, void* data,            \
       napi_value* result),                                                                        \
      (env, utf8name, length, cb, data, result), napi_generic_failure)                             \
    X(napi_status, napi_set_named_property,                                                        \
      (napi_env env, napi_value object, const char* utf8name, napi_value value),                   \
      (env, object, utf8name, value), napi_generic_failure)                                        \
    X(napi_status, napi_get_named_property,                                                        \
      (napi_env env, napi_value object, const char* utf8name, napi_value* result),                 \
      (env, object, utf8name, result), napi_generic_failure)                                       \
    X(napi_status, napi_get_cb_info,                                                               \
      (napi_env env, napi_callback_info cbinfo, size_t * argc, napi_value * argv,                  \
       napi_value * this_arg, void** data),                                                        \
      (env, cbinfo, argc, argv, this_arg, data), napi_generic_failure)                             \
    X(napi_status, napi_throw_type_error, (napi_env env, const char* code, const char* msg),       \
      (env, code, msg), napi_generic_failure)                                                      \
    X(napi_status, napi_throw_error, (napi_env env, const char* code, const char* msg),            \
      (env, code, msg), napi_generic_failure)                                                      \
    X(napi_status, napi_open_handle_scope, (napi_env env, napi_handle_scope * result),             \
      (env, result), napi_generic_failure)                                                         \
    X(napi_status, napi_close_handle_scope, (napi_env env, napi_handle_scope scope), (env, scope), \
      napi_generic_failure)                                                                        \
    X(napi_status, napi_open_escapable_handle_scope,                                               \
      (napi_env env, napi_escapable_handle_scope * result), (env, result), napi_generic_failure)   \
    X(napi_status, napi_close_escapable_handle_scope,                                              \
      (napi_env env, napi_escapable_handle_scope scope), (env, scope), napi_generic_failure)       \
    X(napi_status, napi_escape_handle,                                                             \
      (napi_env env, napi_escapable_handle_scope scope, napi_value escapee, napi_value * result),  \
      (env, scope, escapee, result), napi_generic_failure)                                         \
    X(napi_status, napi_create_int32, (napi_env env, int32_t value, napi_value * result),          \
      (env, value, result), napi_generic_failure)                                                  \
    X(napi_status, napi_create_uint32, (napi_env env, uint32_t value, napi_value * result),        \
      (env, value, result), napi_generic_failure)                                                  \
    X(napi_status, napi_create_int64, (napi_env env, int64_t value, napi_value * result),          \
      (env, value, result), napi_generic_failure)                                                  \
    X(napi_status, napi_create_double, (napi_env env, double value, napi_value* result),           \
      (env, value, result), napi_generic_failure)                                                  \
    X(napi_status, napi_create_string_utf8,                                                        \
      (napi_env env, const char* str, size_t length, napi_value* result),                          \
      (env, str, length, result), napi_generic_failure)                                            \
    X(napi_status, napi_create_array, (napi_env env, napi_value * result), (env, result),          \
      napi_generic_failure)                                                                        \
    X(napi_status, napi_set_element,                                                               \
      (napi_env env, napi_value object, uint32_t index, napi_value value),                         \
      (env, object, index, value), napi_generic_failure)                                           \
    X(napi_status, napi_get_element,                                                               \
      (napi_env env, napi_value object, uint32_t index, napi_value * result),                      \
      (env, object, index, result), napi_generic_failure)                                          \
    X(napi_status, napi_is_array, (napi_env env, napi_value value, bool* result),                  \
      (env, value, result), napi_generic_failure)                                                  \
    X(napi_status, napi_get_array_length, (napi_env env, napi_value value, uint32_t * result),     \
      (env, value, result), napi_generic_failure)                                                  \
    X(napi_status, napi_get_value_int32, (napi_env env, napi_value value, int32_t * result),       \
      (env, value, result), napi_generic_failure)                                                  \
    X(napi_status, napi_get_value_uint32, (napi_env env, napi_value value, uint32_t * result),     \
      (env, value, result), napi_generic_failure)                                                  \
    X(napi_status, napi_get_value_double, (napi_env env, napi_value value, double* result),        \
      (env, value, result), napi_generic_failure)                                                  \
    X(napi_status, napi_get_value_bool, (napi_env env, napi_value value, bool* result),            \
      (env, value, result), napi_generic_failure)                                                  \
    X(napi_status, napi_get_value_string_utf8,                                                     \
      (napi_env env, napi_value value, char* buf, size_t bufsize, size_t* result),                 \
      (env, value, buf, bufsize, result), napi_generic_failure)                                    \
    X(napi_status, napi_create_object, (napi_env env, napi_value * result), (env, result),         \
      napi_generic_failure)                                                                        \
    X(napi_status, napi_create_reference,                                                          \
      (napi_env env, napi_value value, uint32_t initial_refcount, napi_ref * result),              \
      (env, value, initial_refcount, result), napi_generic_failure)                                \
    X(napi_status, napi_delete_reference, (napi_env env, napi_ref ref), (env, ref),                \
      napi_generic_failure)                                                                        \
    X(napi_status, napi_get_reference_value, (napi_env env, napi_ref ref, napi_value * result),    \
      (env, ref, result), napi_generic_failure)                                                    \
    X(napi_status, napi_get_global, (napi_env env, napi_value * result), (env, result),            \
      napi_generic_failure)                                                                        \
    X(napi_status, napi_get_undefined, (napi_env env, napi_value * result), (env, result),         \
      napi_generic_failure)                                                                        \
    X(napi_status, napi_typeof, (napi_env env, napi_value value, napi_valuetype * result),         \
      (env, value, result), napi_generic_failure)                                                  \
    X(napi_status, napi_call_function,                                                             \
      (napi_env env, napi_value recv, napi_value func, size_t argc, const napi_value* argv,        \
       napi_value* result),                                                                        \
      (env, recv, func, argc, argv, result), napi_generic_failure)                                 \
    X(napi_status, napi_make_callback,                                                             \
      (napi_env env, napi_async_context async_context, napi_value recv, napi_value func,           \
       size_t argc, const napi_value* argv, napi_value* result),                                   \
      (env, async_context, recv, func, argc, argv, result), napi_generic_failure)                  \
    X(napi_status, napi_async_init,                                                                \
      (napi_env env, napi_value async_resource, napi_value async_resource_name,                    \
       napi_async_context * result),                                                               \
      (env, async_resource, async_resource_name, result), napi_generic_failure)                    \
    X(napi_status, napi_async_destroy, (napi_env env, napi_async_context async_context),           \
      (env, async_context), napi_generic_failure)                                                  \
    X(napi_status, napi_get_uv_event_loop, (napi_env env, struct uv_loop_s * *loop), (env, loop),  \
      napi_generic_failure)                                                                        \
    X(napi_status, napi_is_exception_pending, (napi_env env, bool* result), (env, result),         \
      napi_generic_failure)                                                                        \
    X(napi_status, napi_get_and_clear_last_exception, (napi_env env, napi_value * result),         \
      (env, result), napi_generic_failure)                                                         \
    X(napi_status, napi_fatal_exception, (napi_env env, napi_value err), (env, err),               \
      napi_generic_failure)                                                                        \
    X(napi_status, napi_add_env_cleanup_hook, (napi_env env, napi_cleanup_hook fun, void* arg),    \
      (env, fun, arg), napi_generic_failure)                                                       \
    X(napi_status, napi_remove_env_cleanup_hook, (napi_env env, napi_cleanup_hook fun, void* arg), \
      (env, fun, arg), napi_generic_failure)                                                       \
    X(napi_status, napi_set_instance_data,                                                         \
      (napi_env env, void* data, napi_finalize finalize_cb, void* finalize_hint),                  \
      (env, data, finalize_cb, finalize_hint), napi_generic_failure)                               \
    X(napi_status, napi_get_instance_data, (napi_env env, void** data), (env, data),               \
      napi_generic_failure)                                                                        \
    X(napi_status, napi_create_threadsafe_function,                                                \
      (napi_env env, napi_value func, napi_value async_resource, napi_value async_resource_name,   \
       size_t max_queue_size, size_t initial_thread_count, void* thread_finalize_data,             \
       napi_finalize thread_finalize_cb, void* context,                                            \
       napi_threadsafe_function_call_js call_js_cb, napi_threadsafe_function* result),             \
      (env, func, async_resource, async_resource_name, max_queue_size, initial_thread_count,       \
       thread_finalize_data, thread_finalize_cb, context, call_js_cb, result),                     \
      napi_generic_failure)                                                                        \
    X(napi_status, napi_call_threadsafe_function,                                                  \
      (napi_threadsafe_function func, void* data, napi_threadsafe_function_call_mode is_blocking), \
      (func, data, is_blocking), napi_generic_failure)                                             \
    X(napi_status, napi_release_threadsafe_function,                                               \
      (napi_threadsafe_function func, napi_threadsafe_function_release_mode mode), (func, mode),   \
      napi_generic_failure)                                                                        \
    X(napi_status, napi_unref_threadsafe_function, (napi_env env, napi_threadsafe_function func),  \
      (env, func), napi_generic_failure)                                                           \
    X(napi_status, napi_create_promise,                                                            \
      (napi_env env, napi_deferred * deferred, napi_value * promise), (env, deferred, promise),    \
      napi_generic_failure)                                                                        \
    X(napi_status, napi_resolve_deferred,                                                          \
      (napi_env env, napi_deferred deferred, napi_value resolution), (env, deferred, resolution),  \
      napi_generic_failure)                                                                        \
    X(uv_loop_t*, uv_default_loop, (), (), nullptr)                                                \
    X(int, uv_async_init, (uv_loop_t * loop, uv_async_t * async, uv_async_cb cb),                  \
      (loop, async, cb), UV_ENOSYS)                                                                \
    X(int, uv_async_send, (uv_async_t * async), (async), UV_ENOSYS)

#define QUARNEL_DEFINE_FORWARDER(ret, name, params, args, fallback) \
    namespace {                                                     \
    std::atomic<ret(*) params> slot_##name{nullptr};                \
    }                                                               \
    extern "C" ret name params {                                    \
        auto fn = Bound<ret params>(slot_##name, #name);            \
        return fn != nullptr ? fn args : fallback;                  \
    }

QUARNEL_NAPI_FUNCTIONS(QUARNEL_DEFINE_FORWARDER)

// Functions without a result: a missing one does nothing.
#define QUARNEL_DEFINE_VOID_FORWARDER(name, params, args) \
    namespace {                                           \
    std::atomic<void(*) params> slot_##name{nullptr};     \
    }                                                     \
    extern "C" void name params {                         \
        auto fn = Bound<void params>(slot_##name, #name); \
        if (fn != nullptr) {                              \
            fn args;                                      \
        }                                                 \
    }

QUARNEL_DEFINE_VOID_FORWARDER(napi_module_register, (napi_module * mod), (mod))
QUARNEL_DEFINE_VOID_FORWARDER(uv_close, (uv_handle_t * handle, uv_close_cb cb), (handle, cb))
QUARNEL_DEFINE_VOID_FORWARDER(uv_unref, (uv_handle_t * handle), (handle))

namespace host {

bool all_functions_bound() {
#define QUARNEL_CHECK(ret, name, params, args, fallback) \
    ok = (Bound<ret params>(slot_##name, #name) != nullptr) && ok;
    bool ok = true;
    QUARNEL_NAPI_FUNCTIONS(QUARNEL_CHECK)
    ok =
        (Bound<void(napi_module*)>(slot_napi_module_register, "napi_module_register") != nullptr) &&
        ok;
    ok = (Bound<void(uv_handle_t*, uv_close_cb)>(slot_uv_close, "uv_close") != nullptr) && ok;
    ok = (Bound<void(uv_handle_t*)>(slot_uv_unref, "uv_unref") != nullptr) && ok;
#undef QUARNEL_CHECK
    return ok;
}

const char* missing_functions() {
    std::lock_guard<std::mutex> lock(missingMutex);
    static thread_local std::string copy;
    copy = missingNames;
    return copy.c_str();
}

}  // namespace host
