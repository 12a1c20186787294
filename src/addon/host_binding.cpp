// Node-API and libuv are exported by whatever executable hosts the module (node.exe,
// electron.exe, ...), so the module links against no import library. Each function is
// looked up in the running process on first use; a function the host lacks makes the
// call fail with an error status instead of jumping through a null pointer.
#include "addon/host_api.h"

#include <windows.h>

void* host::resolve(const char* name) noexcept {
    return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), name));
}

// (return type, name, parameters, arguments, value returned when the host lacks it)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_create_function,
                         (napi_env env, const char* utf8name, size_t length, napi_callback cb,
                          void* data, napi_value* result),
                         (env, utf8name, length, cb, data, result), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_set_named_property,
                         (napi_env env, napi_value object, const char* utf8name, napi_value value),
                         (env, object, utf8name, value), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_define_properties,
                         (napi_env env, napi_value object, size_t property_count,
                          const napi_property_descriptor* properties),
                         (env, object, property_count, properties), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_get_named_property,
                         (napi_env env, napi_value object, const char* utf8name,
                          napi_value* result),
                         (env, object, utf8name, result), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_get_cb_info,
                         (napi_env env, napi_callback_info cbinfo, size_t* argc, napi_value* argv,
                          napi_value* this_arg, void** data),
                         (env, cbinfo, argc, argv, this_arg, data), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_throw_type_error,
                         (napi_env env, const char* code, const char* msg), (env, code, msg),
                         napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_throw_error,
                         (napi_env env, const char* code, const char* msg), (env, code, msg),
                         napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_open_handle_scope,
                         (napi_env env, napi_handle_scope* result), (env, result),
                         napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_close_handle_scope,
                         (napi_env env, napi_handle_scope scope), (env, scope),
                         napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_open_escapable_handle_scope,
                         (napi_env env, napi_escapable_handle_scope* result), (env, result),
                         napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_close_escapable_handle_scope,
                         (napi_env env, napi_escapable_handle_scope scope), (env, scope),
                         napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_escape_handle,
                         (napi_env env, napi_escapable_handle_scope scope, napi_value escapee,
                          napi_value* result),
                         (env, scope, escapee, result), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_create_int32,
                         (napi_env env, int32_t value, napi_value* result), (env, value, result),
                         napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_create_uint32,
                         (napi_env env, uint32_t value, napi_value* result), (env, value, result),
                         napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_create_int64,
                         (napi_env env, int64_t value, napi_value* result), (env, value, result),
                         napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_create_string_utf8,
                         (napi_env env, const char* str, size_t length, napi_value* result),
                         (env, str, length, result), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_create_array, (napi_env env, napi_value* result),
                         (env, result), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_set_element,
                         (napi_env env, napi_value object, uint32_t index, napi_value value),
                         (env, object, index, value), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_get_element,
                         (napi_env env, napi_value object, uint32_t index, napi_value* result),
                         (env, object, index, result), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_is_array, (napi_env env, napi_value value, bool* result),
                         (env, value, result), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_get_array_length,
                         (napi_env env, napi_value value, uint32_t* result), (env, value, result),
                         napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_get_value_int32,
                         (napi_env env, napi_value value, int32_t* result), (env, value, result),
                         napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_get_value_bool,
                         (napi_env env, napi_value value, bool* result), (env, value, result),
                         napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_get_value_string_utf8,
                         (napi_env env, napi_value value, char* buf, size_t bufsize,
                          size_t* result),
                         (env, value, buf, bufsize, result), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_create_object, (napi_env env, napi_value* result),
                         (env, result), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_create_reference,
                         (napi_env env, napi_value value, uint32_t initial_refcount,
                          napi_ref* result),
                         (env, value, initial_refcount, result), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_delete_reference, (napi_env env, napi_ref ref),
                         (env, ref), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_get_reference_value,
                         (napi_env env, napi_ref ref, napi_value* result), (env, ref, result),
                         napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_get_global, (napi_env env, napi_value* result),
                         (env, result), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_call_function,
                         (napi_env env, napi_value recv, napi_value func, size_t argc,
                          const napi_value* argv, napi_value* result),
                         (env, recv, func, argc, argv, result), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_make_callback,
                         (napi_env env, napi_async_context async_context, napi_value recv,
                          napi_value func, size_t argc, const napi_value* argv, napi_value* result),
                         (env, async_context, recv, func, argc, argv, result), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_async_init,
                         (napi_env env, napi_value async_resource, napi_value async_resource_name,
                          napi_async_context* result),
                         (env, async_resource, async_resource_name, result), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_async_destroy,
                         (napi_env env, napi_async_context async_context), (env, async_context),
                         napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_get_uv_event_loop,
                         (napi_env env, struct uv_loop_s** loop), (env, loop), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_is_exception_pending, (napi_env env, bool* result),
                         (env, result), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_get_and_clear_last_exception,
                         (napi_env env, napi_value* result), (env, result), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_fatal_exception, (napi_env env, napi_value err),
                         (env, err), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_add_env_cleanup_hook,
                         (napi_env env, napi_cleanup_hook fun, void* arg), (env, fun, arg),
                         napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_remove_env_cleanup_hook,
                         (napi_env env, napi_cleanup_hook fun, void* arg), (env, fun, arg),
                         napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_set_instance_data,
                         (napi_env env, void* data, napi_finalize finalize_cb, void* finalize_hint),
                         (env, data, finalize_cb, finalize_hint), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(napi_status, napi_get_instance_data, (napi_env env, void** data),
                         (env, data), napi_generic_failure)
QUARNEL_DEFINE_FORWARDER(uv_loop_t*, uv_default_loop, (), (), nullptr)
QUARNEL_DEFINE_FORWARDER(int, uv_async_init, (uv_loop_t * loop, uv_async_t* async, uv_async_cb cb),
                         (loop, async, cb), UV_ENOSYS)
QUARNEL_DEFINE_FORWARDER(int, uv_async_send, (uv_async_t * async), (async), UV_ENOSYS)

QUARNEL_DEFINE_VOID_FORWARDER(napi_module_register, (napi_module * mod), (mod))
QUARNEL_DEFINE_VOID_FORWARDER(uv_close, (uv_handle_t * handle, uv_close_cb cb), (handle, cb))
QUARNEL_DEFINE_VOID_FORWARDER(uv_unref, (uv_handle_t * handle), (handle))
