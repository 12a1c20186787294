#pragma once

#include "addon/event_queue.h"
#include "addon/queued_event.h"
#include "core/touch_point.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QuarnelUtils;
class WinKeyboardHook;
class WinTouchHook;
class WndProxy;
class WndFrame;

// The one add-on object behind the 32 exports: owns the component owners, the event queue
// to the JavaScript thread and the JavaScript log callback.
class QuarnelAddon : public napi::napi_async<QueuedEvent>::async_observer {
public:
    using Callback = std::shared_ptr<napi::napi_callback>;
    using EventQueue = napi::napi_async<QueuedEvent>;
    static constexpr uint32_t kEventCapacity = 128;
    // Log records wait in a ring of their own: a burst of them never pushes out an event.
    static constexpr uint32_t kLogCapacity = 512;

    ~QuarnelAddon();
    QuarnelAddon(const QuarnelAddon&) = delete;
    QuarnelAddon& operator=(const QuarnelAddon&) = delete;

    // Exports, JavaScript thread: each gets as many arguments as its row in the export table
    // names.
    napi_value SetWindowFocus(napi_env env, const napi_value* argv);
    napi_value SetWindowParent(napi_env env, const napi_value* argv);
    napi_value StartProcess(napi_env env, const napi_value* argv);
    napi_value IsHiddenFile(napi_env env, const napi_value* argv);
    napi_value SetWindowFrontTaskbar(napi_env env, const napi_value* argv);
    napi_value GetMainMonitorReslution(napi_env env, const napi_value* argv);
    napi_value GetMacAddresses(napi_env env, const napi_value* argv);
    napi_value SetRunmode(napi_env env, const napi_value* argv);
    napi_value SetWindowFocusable(napi_env env, const napi_value* argv);
    napi_value GetCurrentForegroundWindow(napi_env env, const napi_value* argv);
    napi_value HookKeyboardEvent(napi_env env, const napi_value* argv);
    napi_value UnHookKeyboardEvent(napi_env env, const napi_value* argv);
    napi_value InputMouseMove(napi_env env, const napi_value* argv);
    napi_value InputMouseLeftClick(napi_env env, const napi_value* argv);
    napi_value InputMouseLeftDown(napi_env env, const napi_value* argv);
    napi_value InputMouseLeftUp(napi_env env, const napi_value* argv);
    napi_value InputMouseRightClick(napi_env env, const napi_value* argv);
    napi_value InputMouseRightDown(napi_env env, const napi_value* argv);
    napi_value InputMouseRightUp(napi_env env, const napi_value* argv);
    napi_value WndProxyCreateProxyWindow(napi_env env, const napi_value* argv);
    napi_value WndProxyResizeWindow(napi_env env, const napi_value* argv);
    napi_value WndProxyCloseWindow(napi_env env, const napi_value* argv);
    napi_value WndProxyCloseAllWindow(napi_env env, const napi_value* argv);
    napi_value WndProxySetWindowCloseCB(napi_env env, const napi_value* argv);
    napi_value WndProxySetFocusCB(napi_env env, const napi_value* argv);
    napi_value WndProxySetBlurCB(napi_env env, const napi_value* argv);
    napi_value WndProxyShowFrame(napi_env env, const napi_value* argv);
    napi_value WndProxyHideFrame(napi_env env, const napi_value* argv);
    napi_value SetLogCallBack(napi_env env, const napi_value* argv);
    napi_value UnSetLogCallBack(napi_env env, const napi_value* argv);
    napi_value GetMachineRegString(napi_env env, const napi_value* argv);
    // Not exported: only the test add-on reaches it.
    napi_value HookTouchEvent(napi_env env, const napi_value* argv);

    // Event methods, any thread: each posts one event to the queue. The callback is taken by
    // reference: the bound function keeps it alive during the call, which is all the queue
    // needs (see napi::async_handle).
    void OnKeyboardEvent(const Callback& callback, int key);
    void OnProxyWindowCreated(const Callback& callback, int hwnd);
    void OnProxyWindowClose(const Callback& callback, int hwnd);
    void OnProxyWindowFocus(const Callback& callback, int hwnd);
    void OnProxyWindowBlur(const Callback& callback, int hwnd);
    void OnTouchEvent(const Callback& callback, const std::vector<quarnel::TouchPoint>& points);

    // The log sink: any thread.
    void ForwardLog(const char* file, int line, const char* func, int severity, const char* text);

    // Queue wake-up, JavaScript thread: delivers every waiting event.
    void OnAsync() override;

    // True once the process's exit has stopped the components: exports then do nothing.
    bool Stopped() const { return stopped; }

private:
    // The callbacks that a setter replaces: the one it replaces is revoked on the spot.
    enum Slot { kKeyboardSlot, kCloseSlot, kFocusSlot, kBlurSlot, kTouchSlot, kSlotCount };

    // Builds, hands over and ends the instance.
    friend class Lifetime;

    explicit QuarnelAddon(napi_env env);
    // Everything of a taken-over instance but the queue it is draining, which goes with the
    // object once the delivery returns.
    void Retire();
    void Post(QueuedEvent::Kind kind, const Callback& callback, int value);
    void Install(Slot slot, const Callback& callback);
    // Installs `function` in `slot` and binds `event` to it, for a component to call.
    std::function<void(int)> Listen(Slot slot, void (QuarnelAddon::*event)(const Callback&, int),
                                    napi_env env, napi_value function);
    void StopComponents();

    std::shared_ptr<EventQueue> events;
    napi::slim_mutex logCallbackMutex;  // guards logCallback: replaced on the JavaScript thread,
    Callback logCallback;               // read by the log sink on any thread
    std::unique_ptr<QuarnelUtils> utils;
    std::unique_ptr<WinKeyboardHook> keyboardHook;
    std::unique_ptr<WinTouchHook> touchHook;
    std::unique_ptr<WndProxy> proxyWindows;
    std::unique_ptr<WndFrame> frameWindows;
    napi_env ownerEnv;                                         // set once, at construction
    std::thread::id ownerThread = std::this_thread::get_id();  // the JavaScript thread
    std::atomic<bool> ownerGone{false};                        // its environment was torn down
    bool delivering = false;                                   // JavaScript thread only
    bool stopped = false;                                      // JavaScript thread only
    std::weak_ptr<napi::napi_callback> installed[kSlotCount];  // JavaScript thread only
};

// The module's one log sink.
void ForwardLogToJs(const char* file, int line, const char* func, int severity, const char* text);
