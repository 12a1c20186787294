#pragma once

#include "addon/napi_bridge.h"
#include "core/touch_point.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One event on its way from a component thread to a JavaScript callback. It holds only a
// weak pointer: a callback replaced or released before the task runs receives nothing.
class CallbackTaskI {
public:
    explicit CallbackTaskI(std::weak_ptr<napi::napi_callback> callback)
        : callback(std::move(callback)) {}
    virtual ~CallbackTaskI() = default;
    virtual void Execute(napi_env env, const std::shared_ptr<napi::napi_callback>& callback) = 0;

    // JavaScript thread.
    void Invoke();

protected:
    std::weak_ptr<napi::napi_callback> callback;
};

class KeyboardEventCallbackTask : public CallbackTaskI {
public:
    using CallbackTaskI::CallbackTaskI;
    void Execute(napi_env env, const std::shared_ptr<napi::napi_callback>& callback) override;

    int key = 0;
};

class LogInfoTask : public CallbackTaskI {
public:
    using CallbackTaskI::CallbackTaskI;
    void Execute(napi_env env, const std::shared_ptr<napi::napi_callback>& callback) override;

    uint32_t line = 0;
    uint32_t severity = 0;
    std::string file;
    std::string func;
    std::string content;
};

class ProxyWindowTask : public CallbackTaskI {
public:
    using CallbackTaskI::CallbackTaskI;
    void Execute(napi_env env, const std::shared_ptr<napi::napi_callback>& callback) override;

    int32_t hwnd = 0;
};

class TouchEventTask : public CallbackTaskI {
public:
    using CallbackTaskI::CallbackTaskI;
    void Execute(napi_env env, const std::shared_ptr<napi::napi_callback>& callback) override;

    std::vector<TouchPoint> points;
};
