// The host functions only the test add-on and the benchmark call, bound as the module binds its
// own (host_binding.cpp): the module itself never makes a thread-safe function.
#include "addon/host_api.h"

QUARNEL_DEFINE_FORWARDER(napi_status, napi_create_double,
                         (napi_env env, double value, napi_value* result), (env, value, result),
                         napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_get_undefined, (napi_env env, napi_value* result),
                         (env, result), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(
    napi_status, napi_create_threadsafe_function,
    (napi_env env, napi_value func, napi_value async_resource, napi_value async_resource_name,
     size_t max_queue_size, size_t initial_thread_count, void* thread_finalize_data,
     napi_finalize thread_finalize_cb, void* context, napi_threadsafe_function_call_js call_js_cb,
     napi_threadsafe_function* result),
    (env, func, async_resource, async_resource_name, max_queue_size, initial_thread_count,
     thread_finalize_data, thread_finalize_cb, context, call_js_cb, result),
    napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_call_threadsafe_function,
                         (napi_threadsafe_function func, void* data,
                          napi_threadsafe_function_call_mode is_blocking),
                         (func, data, is_blocking), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_release_threadsafe_function,
                         (napi_threadsafe_function func,
                          napi_threadsafe_function_release_mode mode),
                         (func, mode), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_unref_threadsafe_function,
                         (napi_env env, napi_threadsafe_function func), (env, func),
                         napi_generic_failure)
