#include "addon/quarnel_addon.h"

#include "addon/lifetime.h"
#include "addon/napi_values.h"

#include "core/logging.h"
#include "core/process_launch.h"
#include "impl/display_watch.h"
#include "impl/quarnel_utils.h"
#include "impl/win32_bridge.h"
#include "impl/win_keyboard_hook.h"
#include "impl/win_touch_hook.h"
#include "impl/wnd_frame.h"
#include "impl/wnd_proxy.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <shared_mutex>

namespace {

napi_value ResultObject(napi_env env, const OperationResult& result, bool withPid) {
    return napi::make_object(env, [&](auto&& set) {
        set("status", napi::make_bool(env, result.status));
        set("errorCode", napi::make_int32(env, static_cast<int32_t>(result.errorCode)));
        set("errorMessage", napi::make_string(env, result.errorMessage));
        if (withPid) {
            set("pid", napi::make_uint32(env, result.pid));
        }
    });
}

}  // namespace

QuarnelAddon::QuarnelAddon(napi_env env)
    : utils(std::make_unique<QuarnelUtils>()),
      keyboardHook(std::make_unique<WinKeyboardHook>()),
      ownerEnv(env) {
    // The queue comes before the components that post to it; its libuv handle sits on the
    // owning environment's loop.
    events =
        std::make_shared<EventQueue>(env, this, &Lifetime::CallsHost, kEventCapacity, kLogCapacity);
    proxyWindows = std::make_unique<WndProxy>();
    frameWindows = std::make_unique<WndFrame>();
    touchHook = std::make_unique<WinTouchHook>();
}

QuarnelAddon::~QuarnelAddon() {
    if (!Lifetime::State().may_block()) {
        // ExitProcess has already ended every other thread, possibly inside one of our locks,
        // and the host's environment and loop are past use. Joining, locking or calling the
        // host could hang or crash the exit, so the components are left to the system.
        events->abandon();
        (void)frameWindows.release();
        (void)proxyWindows.release();
        (void)touchHook.release();
        (void)keyboardHook.release();
        (void)utils.release();
        return;
    }
    StopComponents();
    utils.reset();
    {
        std::lock_guard<napi::slim_mutex> lock(logCallbackMutex);
        logCallback.reset();
    }
    events->close(Lifetime::State().calls_host());
    events.reset();
}

void QuarnelAddon::Retire() {
    StopComponents();
    utils.reset();
    Callback previous;
    {
        std::lock_guard<napi::slim_mutex> lock(logCallbackMutex);
        logCallback.swap(previous);
    }
    events->close(true);
}

void QuarnelAddon::StopComponents() {
    frameWindows.reset();
    proxyWindows.reset();
    touchHook.reset();
    keyboardHook.reset();
    win32::StopDisplayWatch();
}

void QuarnelAddon::Install(Slot slot, const Callback& callback) {
    if (Callback previous = installed[slot].lock()) {
        if (previous != callback) {
            previous->revoke();
        }
    }
    installed[slot] = callback;
}

// ---- event methods (any thread) ----

void QuarnelAddon::Post(QueuedEvent::Kind kind, const Callback& callback, int value) {
    if (callback != nullptr) {
        QueuedEvent event;
        event.kind = kind;
        event.value = value;
        event.callback = callback.get();
        events->post(std::move(event));
    }
}

void QuarnelAddon::OnKeyboardEvent(const Callback& callback, int key) {
    Post(QueuedEvent::Kind::Key, callback, key);
}
void QuarnelAddon::OnProxyWindowCreated(const Callback& callback, int hwnd) {
    Post(QueuedEvent::Kind::Window, callback, hwnd);
}
void QuarnelAddon::OnProxyWindowClose(const Callback& callback, int hwnd) {
    Post(QueuedEvent::Kind::Window, callback, hwnd);
}
void QuarnelAddon::OnProxyWindowFocus(const Callback& callback, int hwnd) {
    Post(QueuedEvent::Kind::Window, callback, hwnd);
}
void QuarnelAddon::OnProxyWindowBlur(const Callback& callback, int hwnd) {
    Post(QueuedEvent::Kind::Window, callback, hwnd);
}

void QuarnelAddon::OnTouchEvent(const Callback& callback,
                                const std::vector<quarnel::TouchPoint>& points) {
    if (callback == nullptr) {
        return;
    }
    QueuedEvent event;
    event.kind = QueuedEvent::Kind::Touch;
    event.callback = callback.get();
    event.detail = std::make_unique<QueuedEvent::Detail>();
    event.detail->points = points;
    events->post(std::move(event));
}

void QuarnelAddon::ForwardLog(const char* file, int line, const char* func, int severity,
                              const char* text) {
    QueuedEvent event;
    event.kind = QueuedEvent::Kind::Log;
    event.value = static_cast<int32_t>(line);
    event.severity = static_cast<uint32_t>(severity);
    event.detail = std::make_unique<QueuedEvent::Detail>();
    event.detail->file = file;
    event.detail->func = func;
    event.detail->content = text;
    // Posted while the lock holds the callback: its pointer is good until the queue takes over
    // its release, so the record needs no share of it. Held shared: threads that log at once
    // do not wait for each other's post and wake-up, only a replacement waits for them.
    std::shared_lock<napi::slim_mutex> lock(logCallbackMutex);
    event.callback = logCallback.get();
    if (event.callback != nullptr) {
        events->post(std::move(event), EventQueue::lane::log);
    }
    // Otherwise a record that began just before UnSetLogCallBack: nobody to deliver it to.
}

void ForwardLogToJs(const char* file, int line, const char* func, int severity, const char* text) {
    if (QuarnelAddon* addon = Lifetime::Existing()) {
        addon->ForwardLog(file, line, func, severity, text);
    }
}

void QuarnelAddon::OnAsync() {
    delivering = true;
    events->drain([](const QueuedEvent& event, uint32_t lostBefore) {
        try {
            event.Deliver(lostBefore);
        } catch (...) {
            // One failing event (out of memory building its payload) must not stop the rest.
        }
    });
    delivering = false;
    Lifetime::DeliveryEnded(this);
}

// ---- exports ----
// Each runs inside its entry's handle scope (see exports.cpp), which has read its arguments.

napi_value QuarnelAddon::SetWindowFocus(napi_env env, const napi_value* argv) {
    utils->impl().SetWindowFocus(napi::get_int32(env, argv[0]));
    return nullptr;
}

napi_value QuarnelAddon::SetWindowParent(napi_env env, const napi_value* argv) {
    OperationResult result =
        utils->impl().SetWindowParent(napi::get_int32(env, argv[0]), napi::get_int32(env, argv[1]));
    return ResultObject(env, result, false);
}

napi_value QuarnelAddon::StartProcess(napi_env env, const napi_value* argv) {
    // A list longer than any command line can hold is refused as too long either way; reading
    // it all would take seconds and all memory for `args.length = 2 ** 32 - 1`.
    OperationResult result = utils->impl().StartProcess(
        napi::get_string(env, argv[0]),
        napi::get_string_array(env, argv[1], quarnel::kMaxLaunchArguments + 1),
        napi::get_string(env, argv[2]));
    return ResultObject(env, result, true);
}

napi_value QuarnelAddon::IsHiddenFile(napi_env env, const napi_value* argv) {
    return napi::make_bool(env, utils->impl().IsHiddenFile(napi::get_string(env, argv[0])));
}

napi_value QuarnelAddon::SetWindowFrontTaskbar(napi_env env, const napi_value* argv) {
    utils->impl().SetWindowFrontTaskbar(napi::get_int32(env, argv[0]), true);
    return nullptr;
}

napi_value QuarnelAddon::GetMainMonitorReslution(napi_env env, const napi_value*) {
    int x = 0, y = 0, width = 0, height = 0;
    utils->impl().GetMainMonitorRect(x, y, width, height);
    return napi::make_object(env, [&](auto&& set) {
        set("width", napi::make_int32(env, width));
        set("height", napi::make_int32(env, height));
    });
}

napi_value QuarnelAddon::GetMacAddresses(napi_env env, const napi_value*) {
    return napi::make_string_array(env, utils->impl().GetMacAddresses());
}

napi_value QuarnelAddon::SetRunmode(napi_env env, const napi_value* argv) {
    utils->impl().SetUserEnvironment("runmode", napi::get_string(env, argv[0]));
    return nullptr;
}

napi_value QuarnelAddon::SetWindowFocusable(napi_env env, const napi_value* argv) {
    utils->impl().SetWindowFocusable(napi::get_int32(env, argv[0]), napi::get_bool(env, argv[1]));
    return nullptr;
}

napi_value QuarnelAddon::GetCurrentForegroundWindow(napi_env env, const napi_value*) {
    const HWND hwnd = utils->impl().GetCurrentForegroundWindow();
    return napi::make_int32(env, win32::HandleNumber(hwnd));
}

std::function<void(int)> QuarnelAddon::Listen(Slot slot,
                                              void (QuarnelAddon::*event)(const Callback&, int),
                                              napi_env env, napi_value function) {
    Callback callback = napi::make_callback(env, function);
    Install(slot, callback);
    return std::bind(event, this, callback, std::placeholders::_1);
}

napi_value QuarnelAddon::HookKeyboardEvent(napi_env env, const napi_value* argv) {
    keyboardHook->Hook(Listen(kKeyboardSlot, &QuarnelAddon::OnKeyboardEvent, env, argv[0]));
    return nullptr;
}

napi_value QuarnelAddon::UnHookKeyboardEvent(napi_env, const napi_value*) {
    Install(kKeyboardSlot, nullptr);
    keyboardHook->UnHook();
    return nullptr;
}

napi_value QuarnelAddon::InputMouseMove(napi_env env, const napi_value* argv) {
    int result =
        utils->impl().InputMouseMove(napi::get_int32(env, argv[0]), napi::get_int32(env, argv[1]));
    return napi::make_int64(env, result);
}

#define QUARNEL_MOUSE_BUTTON_EXPORT(Name)                            \
    napi_value QuarnelAddon::Name(napi_env env, const napi_value*) { \
        return napi::make_int64(env, utils->impl().Name());          \
    }
QUARNEL_MOUSE_BUTTON_EXPORT(InputMouseLeftClick)
QUARNEL_MOUSE_BUTTON_EXPORT(InputMouseLeftDown)
QUARNEL_MOUSE_BUTTON_EXPORT(InputMouseLeftUp)
QUARNEL_MOUSE_BUTTON_EXPORT(InputMouseRightClick)
QUARNEL_MOUSE_BUTTON_EXPORT(InputMouseRightDown)
QUARNEL_MOUSE_BUTTON_EXPORT(InputMouseRightUp)
#undef QUARNEL_MOUSE_BUTTON_EXPORT

napi_value QuarnelAddon::WndProxyCreateProxyWindow(napi_env env, const napi_value* argv) {
    Callback callback = napi::make_callback(env, argv[5]);
    proxyWindows->CreateProxyWindow(
        napi::get_int32(env, argv[0]), napi::get_int32(env, argv[1]), napi::get_int32(env, argv[2]),
        napi::get_int32(env, argv[3]), napi::get_int32(env, argv[4]),
        std::bind(&QuarnelAddon::OnProxyWindowCreated, this, callback, std::placeholders::_1));
    return nullptr;
}

napi_value QuarnelAddon::WndProxyResizeWindow(napi_env env, const napi_value* argv) {
    bool resized = proxyWindows->ResizeWindow(
        napi::get_int32(env, argv[0]), napi::get_int32(env, argv[1]), napi::get_int32(env, argv[2]),
        napi::get_int32(env, argv[3]), napi::get_int32(env, argv[4]));
    return napi::make_bool(env, resized);
}

napi_value QuarnelAddon::WndProxyCloseWindow(napi_env env, const napi_value* argv) {
    proxyWindows->CloseWindow(napi::get_int32(env, argv[0]));
    return nullptr;
}

napi_value QuarnelAddon::WndProxyCloseAllWindow(napi_env env, const napi_value* argv) {
    // Revoked first: a window thread that reports its close at once finds no callback to run.
    Install(kCloseSlot, nullptr);
    Install(kFocusSlot, nullptr);
    Install(kBlurSlot, nullptr);
    proxyWindows->CloseAllWindow(napi::get_int32(env, argv[0]));
    return nullptr;
}

napi_value QuarnelAddon::WndProxySetWindowCloseCB(napi_env env, const napi_value* argv) {
    proxyWindows->SetWindowCloseCB(
        Listen(kCloseSlot, &QuarnelAddon::OnProxyWindowClose, env, argv[0]));
    return nullptr;
}

napi_value QuarnelAddon::WndProxySetFocusCB(napi_env env, const napi_value* argv) {
    proxyWindows->SetFocusCB(Listen(kFocusSlot, &QuarnelAddon::OnProxyWindowFocus, env, argv[0]));
    return nullptr;
}

napi_value QuarnelAddon::WndProxySetBlurCB(napi_env env, const napi_value* argv) {
    proxyWindows->SetBlurCB(Listen(kBlurSlot, &QuarnelAddon::OnProxyWindowBlur, env, argv[0]));
    return nullptr;
}

napi_value QuarnelAddon::WndProxyShowFrame(napi_env, const napi_value*) {
    for (const auto& entry : proxyWindows->GetProxyWindows()) {
        frameWindows->ShowFrame(entry.first);
    }
    return nullptr;
}

napi_value QuarnelAddon::WndProxyHideFrame(napi_env, const napi_value*) {
    frameWindows->CloseAllFrameWindow();
    return nullptr;
}

napi_value QuarnelAddon::SetLogCallBack(napi_env env, const napi_value* argv) {
    Callback callback = napi::make_callback(env, argv[0]);
    {
        std::lock_guard<napi::slim_mutex> lock(logCallbackMutex);
        logCallback.swap(callback);
    }
    // `callback` now holds the previous one, revoked and released here on the JavaScript
    // thread.
    if (callback != nullptr) {
        callback->revoke();
    }
    quarnel::logSink.store(&ForwardLogToJs, std::memory_order_release);
    return nullptr;
}

napi_value QuarnelAddon::UnSetLogCallBack(napi_env, const napi_value*) {
    // With no sink, log statements stop before building a record, as before any callback.
    quarnel::logSink.store(nullptr, std::memory_order_release);
    Callback previous;
    {
        std::lock_guard<napi::slim_mutex> lock(logCallbackMutex);
        logCallback.swap(previous);
    }
    if (previous != nullptr) {
        previous->revoke();
    }
    return nullptr;
}

napi_value QuarnelAddon::GetMachineRegString(napi_env env, const napi_value* argv) {
    std::string data = utils->impl().GetMachineRegString(napi::get_string(env, argv[0]),
                                                         napi::get_string(env, argv[1]));
    return napi::make_string(env, data);
}

napi_value QuarnelAddon::HookTouchEvent(napi_env env, const napi_value* argv) {
    Callback callback = napi::make_callback(env, argv[1]);
    Install(kTouchSlot, callback);
    touchHook->CreateProxyWindow(
        napi::get_int32(env, argv[0]),
        std::bind(&QuarnelAddon::OnTouchEvent, this, callback, std::placeholders::_1));
    return nullptr;
}
