#include "addon/quarnel_addon.h"

#include "addon/lifetime.h"

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

namespace {

// Reads the call's arguments into argv. False when the handler must return undefined: the
// host could not give the arguments, or fewer than required were passed (then the TypeError
// is pending). Extra arguments are ignored.
template <size_t N>
bool ReadArguments(napi_env env, napi_callback_info info, napi_value (&argv)[N]) {
    size_t argc = N;
    if (napi_get_cb_info(env, info, &argc, argv, nullptr, nullptr) != napi_ok) {
        return false;
    }
    if (argc < N) {
        napi_throw_type_error(env, "ARGUMENTS_LENGTH_ERROR", "Wrong number of arguments");
        return false;
    }
    return true;
}

napi_value ResultObject(napi_env env, const OperationResult& result, bool withPid) {
    napi::escapable_handle_scope scope(env);
    napi::object_ref object(env);
    object.set(env, "status", napi::make_bool(env, result.status));
    object.set(env, "errorCode", napi::make_int32(env, static_cast<int32_t>(result.errorCode)));
    object.set(env, "errorMessage", napi::make_string(env, result.errorMessage));
    if (withPid) {
        object.set(env, "pid", napi::make_uint32(env, result.pid));
    }
    napi_value value = object.value(env);
    object.release();
    return value != nullptr ? scope.escape(value) : nullptr;
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
        std::lock_guard<std::mutex> lock(logCallbackMutex);
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
        std::lock_guard<std::mutex> lock(logCallbackMutex);
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

void QuarnelAddon::OnTouchEvent(const Callback& callback, const std::vector<TouchPoint>& points) {
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
    // its release, so the record needs no share of it.
    std::lock_guard<std::mutex> lock(logCallbackMutex);
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

napi_value QuarnelAddon::SetWindowFocus(napi_env env, napi_callback_info info) {
    napi::escapable_handle_scope scope(env);
    napi_value argv[1];
    if (!ReadArguments(env, info, argv)) {
        return nullptr;
    }
    utils->impl().SetWindowFocus(napi::get_int32(env, argv[0]));
    return nullptr;
}

napi_value QuarnelAddon::SetWindowParent(napi_env env, napi_callback_info info) {
    napi::escapable_handle_scope scope(env);
    napi_value argv[2];
    if (!ReadArguments(env, info, argv)) {
        return nullptr;
    }
    OperationResult result =
        utils->impl().SetWindowParent(napi::get_int32(env, argv[0]), napi::get_int32(env, argv[1]));
    return scope.escape(ResultObject(env, result, false));
}

napi_value QuarnelAddon::StartProcess(napi_env env, napi_callback_info info) {
    napi::escapable_handle_scope scope(env);
    napi_value argv[3];
    if (!ReadArguments(env, info, argv)) {
        return nullptr;
    }
    // A list longer than any command line can hold is refused as too long either way; reading
    // it all would take seconds and all memory for `args.length = 2 ** 32 - 1`.
    OperationResult result =
        utils->impl().StartProcess(napi::get_string(env, argv[0]),
                                   napi::get_string_array(env, argv[1], kMaxLaunchArguments + 1),
                                   napi::get_string(env, argv[2]));
    return scope.escape(ResultObject(env, result, true));
}

napi_value QuarnelAddon::IsHiddenFile(napi_env env, napi_callback_info info) {
    napi::escapable_handle_scope scope(env);
    napi_value argv[1];
    if (!ReadArguments(env, info, argv)) {
        return nullptr;
    }
    bool hidden = utils->impl().IsHiddenFile(napi::get_string(env, argv[0]));
    return scope.escape(napi::make_bool(env, hidden));
}

napi_value QuarnelAddon::SetWindowFrontTaskbar(napi_env env, napi_callback_info info) {
    napi::escapable_handle_scope scope(env);
    napi_value argv[1];
    if (!ReadArguments(env, info, argv)) {
        return nullptr;
    }
    utils->impl().SetWindowFrontTaskbar(napi::get_int32(env, argv[0]), true);
    return nullptr;
}

napi_value QuarnelAddon::GetMainMonitorReslution(napi_env env, napi_callback_info) {
    napi::escapable_handle_scope scope(env);
    int x = 0, y = 0, width = 0, height = 0;
    utils->impl().GetMainMonitorRect(x, y, width, height);
    napi::object_ref object(env);
    object.set(env, "width", napi::make_int32(env, width));
    object.set(env, "height", napi::make_int32(env, height));
    napi_value value = object.value(env);
    object.release();
    return value != nullptr ? scope.escape(value) : nullptr;
}

napi_value QuarnelAddon::GetMacAddresses(napi_env env, napi_callback_info) {
    napi::escapable_handle_scope scope(env);
    return scope.escape(napi::make_string_array(env, utils->impl().GetMacAddresses()));
}

napi_value QuarnelAddon::SetRunmode(napi_env env, napi_callback_info info) {
    napi::escapable_handle_scope scope(env);
    napi_value argv[1];
    if (!ReadArguments(env, info, argv)) {
        return nullptr;
    }
    static const std::string name = "runmode";
    utils->impl().SetUserEnvironment(name, napi::get_string(env, argv[0]));
    return nullptr;
}

napi_value QuarnelAddon::SetWindowFocusable(napi_env env, napi_callback_info info) {
    napi::escapable_handle_scope scope(env);
    napi_value argv[2];
    if (!ReadArguments(env, info, argv)) {
        return nullptr;
    }
    utils->impl().SetWindowFocusable(napi::get_int32(env, argv[0]), napi::get_bool(env, argv[1]));
    return nullptr;
}

napi_value QuarnelAddon::GetCurrentForegroundWindow(napi_env env, napi_callback_info) {
    napi::escapable_handle_scope scope(env);
    const HWND hwnd = utils->impl().GetCurrentForegroundWindow();
    return scope.escape(napi::make_int32(env, win32::HandleNumber(hwnd)));
}

napi_value QuarnelAddon::HookKeyboardEvent(napi_env env, napi_callback_info info) {
    napi::escapable_handle_scope scope(env);
    napi_value argv[1];
    if (!ReadArguments(env, info, argv)) {
        return nullptr;
    }
    Callback callback = napi::make_callback(env, argv[0]);
    Install(kKeyboardSlot, callback);
    keyboardHook->Hook(
        std::bind(&QuarnelAddon::OnKeyboardEvent, this, callback, std::placeholders::_1));
    return nullptr;
}

napi_value QuarnelAddon::UnHookKeyboardEvent(napi_env, napi_callback_info) {
    Install(kKeyboardSlot, nullptr);
    keyboardHook->UnHook();
    return nullptr;
}

napi_value QuarnelAddon::InputMouseMove(napi_env env, napi_callback_info info) {
    napi::escapable_handle_scope scope(env);
    napi_value argv[2];
    if (!ReadArguments(env, info, argv)) {
        return nullptr;
    }
    int result =
        utils->impl().InputMouseMove(napi::get_int32(env, argv[0]), napi::get_int32(env, argv[1]));
    return scope.escape(napi::make_int64(env, result));
}

#define QUARNEL_MOUSE_BUTTON_EXPORT(Name)                                 \
    napi_value QuarnelAddon::Name(napi_env env, napi_callback_info) {     \
        napi::escapable_handle_scope scope(env);                          \
        return scope.escape(napi::make_int64(env, utils->impl().Name())); \
    }
QUARNEL_MOUSE_BUTTON_EXPORT(InputMouseLeftClick)
QUARNEL_MOUSE_BUTTON_EXPORT(InputMouseLeftDown)
QUARNEL_MOUSE_BUTTON_EXPORT(InputMouseLeftUp)
QUARNEL_MOUSE_BUTTON_EXPORT(InputMouseRightClick)
QUARNEL_MOUSE_BUTTON_EXPORT(InputMouseRightDown)
QUARNEL_MOUSE_BUTTON_EXPORT(InputMouseRightUp)
#undef QUARNEL_MOUSE_BUTTON_EXPORT

napi_value QuarnelAddon::WndProxyCreateProxyWindow(napi_env env, napi_callback_info info) {
    napi::escapable_handle_scope scope(env);
    napi_value argv[6];
    if (!ReadArguments(env, info, argv)) {
        return nullptr;
    }
    Callback callback = napi::make_callback(env, argv[5]);
    proxyWindows->CreateProxyWindow(
        napi::get_int32(env, argv[0]), napi::get_int32(env, argv[1]), napi::get_int32(env, argv[2]),
        napi::get_int32(env, argv[3]), napi::get_int32(env, argv[4]),
        std::bind(&QuarnelAddon::OnProxyWindowCreated, this, callback, std::placeholders::_1));
    return nullptr;
}

napi_value QuarnelAddon::WndProxyResizeWindow(napi_env env, napi_callback_info info) {
    napi::escapable_handle_scope scope(env);
    napi_value argv[5];
    if (!ReadArguments(env, info, argv)) {
        return nullptr;
    }
    bool resized = proxyWindows->ResizeWindow(
        napi::get_int32(env, argv[0]), napi::get_int32(env, argv[1]), napi::get_int32(env, argv[2]),
        napi::get_int32(env, argv[3]), napi::get_int32(env, argv[4]));
    return scope.escape(napi::make_bool(env, resized));
}

napi_value QuarnelAddon::WndProxyCloseWindow(napi_env env, napi_callback_info info) {
    napi::escapable_handle_scope scope(env);
    napi_value argv[1];
    if (!ReadArguments(env, info, argv)) {
        return nullptr;
    }
    proxyWindows->CloseWindow(napi::get_int32(env, argv[0]));
    return nullptr;
}

napi_value QuarnelAddon::WndProxyCloseAllWindow(napi_env env, napi_callback_info info) {
    napi::escapable_handle_scope scope(env);
    napi_value argv[1];
    if (!ReadArguments(env, info, argv)) {
        return nullptr;
    }
    // Revoked first: a window thread that reports its close at once finds no callback to run.
    Install(kCloseSlot, nullptr);
    Install(kFocusSlot, nullptr);
    Install(kBlurSlot, nullptr);
    proxyWindows->CloseAllWindow(napi::get_int32(env, argv[0]));
    return nullptr;
}

#define QUARNEL_PROXY_CALLBACK_EXPORT(Name, Setter, Event, Slot)                     \
    napi_value QuarnelAddon::Name(napi_env env, napi_callback_info info) {           \
        napi::escapable_handle_scope scope(env);                                     \
        napi_value argv[1];                                                          \
        if (!ReadArguments(env, info, argv)) {                                       \
            return nullptr;                                                          \
        }                                                                            \
        Callback callback = napi::make_callback(env, argv[0]);                       \
        Install(Slot, callback);                                                     \
        proxyWindows->Setter(                                                        \
            std::bind(&QuarnelAddon::Event, this, callback, std::placeholders::_1)); \
        return nullptr;                                                              \
    }
QUARNEL_PROXY_CALLBACK_EXPORT(WndProxySetWindowCloseCB, SetWindowCloseCB, OnProxyWindowClose,
                              kCloseSlot)
QUARNEL_PROXY_CALLBACK_EXPORT(WndProxySetFocusCB, SetFocusCB, OnProxyWindowFocus, kFocusSlot)
QUARNEL_PROXY_CALLBACK_EXPORT(WndProxySetBlurCB, SetBlurCB, OnProxyWindowBlur, kBlurSlot)
#undef QUARNEL_PROXY_CALLBACK_EXPORT

napi_value QuarnelAddon::WndProxyShowFrame(napi_env, napi_callback_info) {
    for (const auto& entry : proxyWindows->GetProxyWindows()) {
        frameWindows->ShowFrame(entry.first);
    }
    return nullptr;
}

napi_value QuarnelAddon::WndProxyHideFrame(napi_env, napi_callback_info) {
    frameWindows->CloseAllFrameWindow();
    return nullptr;
}

napi_value QuarnelAddon::SetLogCallBack(napi_env env, napi_callback_info info) {
    napi::escapable_handle_scope scope(env);
    napi_value argv[1];
    if (!ReadArguments(env, info, argv)) {
        return nullptr;
    }
    Callback callback = napi::make_callback(env, argv[0]);
    {
        std::lock_guard<std::mutex> lock(logCallbackMutex);
        logCallback.swap(callback);
    }
    // `callback` now holds the previous one, revoked and released here on the JavaScript
    // thread.
    if (callback != nullptr) {
        callback->revoke();
    }
    logSink.store(&ForwardLogToJs, std::memory_order_release);
    return nullptr;
}

napi_value QuarnelAddon::UnSetLogCallBack(napi_env, napi_callback_info) {
    // With no sink, log statements stop before building a record, as before any callback.
    logSink.store(nullptr, std::memory_order_release);
    Callback previous;
    {
        std::lock_guard<std::mutex> lock(logCallbackMutex);
        logCallback.swap(previous);
    }
    if (previous != nullptr) {
        previous->revoke();
    }
    return nullptr;
}

napi_value QuarnelAddon::GetMachineRegString(napi_env env, napi_callback_info info) {
    napi::escapable_handle_scope scope(env);
    napi_value argv[2];
    if (!ReadArguments(env, info, argv)) {
        return nullptr;
    }
    std::string data = utils->impl().GetMachineRegString(napi::get_string(env, argv[0]),
                                                         napi::get_string(env, argv[1]));
    return scope.escape(napi::make_string(env, data));
}

napi_value QuarnelAddon::HookTouchEvent(napi_env env, napi_callback_info info) {
    napi::escapable_handle_scope scope(env);
    napi_value argv[2];
    if (!ReadArguments(env, info, argv)) {
        return nullptr;
    }
    Callback callback = napi::make_callback(env, argv[1]);
    Install(kTouchSlot, callback);
    touchHook->CreateProxyWindow(
        napi::get_int32(env, argv[0]),
        std::bind(&QuarnelAddon::OnTouchEvent, this, callback, std::placeholders::_1));
    return nullptr;
}
