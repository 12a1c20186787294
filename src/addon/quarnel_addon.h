#pragma once

#include "addon/callback_task.h"
#include "addon/napi_bridge.h"
#include "core/touch_point.h"

#include <memory>
#include <mutex>
#include <vector>

class QuarnelUtils;
class WinKeyboardHook;
class WinTouchHook;
class WndProxy;
class WndFrame;

// The one add-on object behind the 32 exports: owns the component owners, the event queue
// to the JavaScript thread and the JavaScript log callback.
class QuarnelAddon : public napi::napi_async<std::shared_ptr<CallbackTaskI>>::async_observer {
public:
    using Callback = std::shared_ptr<napi::napi_callback>;
    using EventQueue = napi::napi_async<std::shared_ptr<CallbackTaskI>>;
    static constexpr uint32_t kEventCapacity = 128;

    // Built on the first call, on the JavaScript thread; worker threads may call it later.
    static QuarnelAddon& GetInstance();

    ~QuarnelAddon();
    QuarnelAddon(const QuarnelAddon&) = delete;
    QuarnelAddon& operator=(const QuarnelAddon&) = delete;

    // Registers the environment's cleanup hook once: after the host tears the environment
    // down, the module makes no further N-API call.
    void AttachEnvironment(napi_env env);

    // Exports, JavaScript thread.
    napi_value SetWindowFocus(napi_env env, napi_callback_info info);
    napi_value SetWindowParent(napi_env env, napi_callback_info info);
    napi_value StartProcess(napi_env env, napi_callback_info info);
    napi_value IsHiddenFile(napi_env env, napi_callback_info info);
    napi_value SetWindowFrontTaskbar(napi_env env, napi_callback_info info);
    napi_value GetMainMonitorReslution(napi_env env, napi_callback_info info);
    napi_value GetMacAddresses(napi_env env, napi_callback_info info);
    napi_value SetRunmode(napi_env env, napi_callback_info info);
    napi_value SetWindowFocusable(napi_env env, napi_callback_info info);
    napi_value GetCurrentForegroundWindow(napi_env env, napi_callback_info info);
    napi_value HookKeyboardEvent(napi_env env, napi_callback_info info);
    napi_value UnHookKeyboardEvent(napi_env env, napi_callback_info info);
    napi_value InputMouseMove(napi_env env, napi_callback_info info);
    napi_value InputMouseLeftClick(napi_env env, napi_callback_info info);
    napi_value InputMouseLeftDown(napi_env env, napi_callback_info info);
    napi_value InputMouseLeftUp(napi_env env, napi_callback_info info);
    napi_value InputMouseRightClick(napi_env env, napi_callback_info info);
    napi_value InputMouseRightDown(napi_env env, napi_callback_info info);
    napi_value InputMouseRightUp(napi_env env, napi_callback_info info);
    napi_value WndProxyCreateProxyWindow(napi_env env, napi_callback_info info);
    napi_value WndProxyResizeWindow(napi_env env, napi_callback_info info);
    napi_value WndProxyCloseWindow(napi_env env, napi_callback_info info);
    napi_value WndProxyCloseAllWindow(napi_env env, napi_callback_info info);
    napi_value WndProxySetWindowCloseCB(napi_env env, napi_callback_info info);
    napi_value WndProxySetFocusCB(napi_env env, napi_callback_info info);
    napi_value WndProxySetBlurCB(napi_env env, napi_callback_info info);
    napi_value WndProxyShowFrame(napi_env env, napi_callback_info info);
    napi_value WndProxyHideFrame(napi_env env, napi_callback_info info);
    napi_value SetLogCallBack(napi_env env, napi_callback_info info);
    napi_value UnSetLogCallBack(napi_env env, napi_callback_info info);
    napi_value GetMachineRegString(napi_env env, napi_callback_info info);
    // Not exported: only the test add-on reaches it.
    napi_value HookTouchEvent(napi_env env, napi_callback_info info);

    // Event methods, any thread: each posts one task to the event queue.
    void OnKeyboardEvent(Callback callback, int key);
    void OnProxyWindowCreated(Callback callback, int hwnd);
    void OnProxyWindowClose(Callback callback, int hwnd);
    void OnProxyWindowFocus(Callback callback, int hwnd);
    void OnProxyWindowBlur(Callback callback, int hwnd);
    void OnTouchEvent(Callback callback, const std::vector<TouchPoint>& points);

    // The log sink: any thread.
    void ForwardLog(const char* file, int line, const char* func, int severity, const char* text);

    // Queue wake-up, JavaScript thread: runs every waiting task.
    void OnAsync() override;

    // For the test add-on: the queue items go through.
    void Post(std::shared_ptr<CallbackTaskI> task);

private:
    QuarnelAddon();
    void PostProxyWindowTask(Callback callback, int hwnd);
    Callback LogCallback();
    static void OnEnvironmentCleanup(void* self);
    static void OnModuleUnload();

    std::shared_ptr<EventQueue> events;
    std::mutex logCallbackMutex;  // guards logCallback: replaced on the JavaScript thread,
    Callback logCallback;         // copied by the log sink on any thread
    std::unique_ptr<QuarnelUtils> utils;
    std::unique_ptr<WinKeyboardHook> keyboardHook;
    std::unique_ptr<WinTouchHook> touchHook;
    std::unique_ptr<WndProxy> proxyWindows;
    std::unique_ptr<WndFrame> frameWindows;
    napi_env attachedEnv = nullptr;  // JavaScript thread only
};

// The module's one log sink.
void ForwardLogToJs(const char* file, int line, const char* func, int severity, const char* text);

// Set from DllMain when the process is ending: other threads are gone and the host's
// environment can no longer be called, so unload does the least it safely can.
void MarkProcessExiting();
