#include "addon/callback_task.h"

#include "core/key_names.h"

namespace {

// Calls the callback with one argument, only when that argument could be made.
void CallWith(const std::shared_ptr<napi::napi_callback>& callback, napi_value argument) {
    if (argument != nullptr) {
        callback->call(1, &argument);
    }
}

}  // namespace

void CallbackTaskI::Invoke() {
    std::shared_ptr<napi::napi_callback> target = callback.lock();
    if (target != nullptr && target->env() != nullptr && !target->revoked()) {
        Execute(target->env(), target);
    }
}

void KeyboardEventCallbackTask::Execute(napi_env env,
                                        const std::shared_ptr<napi::napi_callback>& callback) {
    const char* name = KeyCodeName(key);
    if (name == nullptr) {
        return;
    }
    napi::handle_scope scope(env);
    CallWith(callback, napi::make_string(env, name));
}

void LogInfoTask::Execute(napi_env env, const std::shared_ptr<napi::napi_callback>& callback) {
    napi::handle_scope scope(env);
    napi::object_ref record(env);
    record.set(env, "line", napi::make_uint32(env, line));
    record.set(env, "severity", napi::make_uint32(env, severity));
    record.set(env, "file", napi::make_string(env, file));
    record.set(env, "func", napi::make_string(env, func));
    record.set(env, "content", napi::make_string(env, content));
    napi_value value = record.value(env);
    record.release();
    CallWith(callback, value);
}

void ProxyWindowTask::Execute(napi_env env, const std::shared_ptr<napi::napi_callback>& callback) {
    napi::handle_scope scope(env);
    napi::object_ref payload(env);
    payload.set(env, "hwnd", napi::make_uint32(env, static_cast<uint32_t>(hwnd)));
    napi_value value = payload.value(env);
    payload.release();
    CallWith(callback, value);
}

void TouchEventTask::Execute(napi_env env, const std::shared_ptr<napi::napi_callback>& callback) {
    napi::handle_scope scope(env);
    napi::object_ref payload(env);
    payload.set(env, "points", napi::make_string(env, TouchPointsJson(points)));
    napi_value value = payload.value(env);
    payload.release();
    CallWith(callback, value);
}
