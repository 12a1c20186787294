#include "addon/quarnel_addon.h"

#include "addon/logging.h"
#include "impl/quarnel_utils.h"
#include "impl/win_keyboard_hook.h"
#include "impl/win_touch_hook.h"
#include "impl/wnd_frame.h"
#include "impl/wnd_proxy.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <functional>

namespace {

std::atomic<bool> processExiting{false};

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

void MarkProcessExiting() { processExiting.store(true); }

QuarnelAddon& QuarnelAddon::GetInstance() {
    // Built in place in static storage rather than as a plain static: its destruction at
    // unload must be a decision. When the process is ending (the environment torn down, or
    // ExitProcess under way) worker threads may still be posting and logging into it, so it
    // is left alive for them; only an orderly unload destroys it.
    static QuarnelAddon* instance = [] {
        static std::aligned_storage_t<sizeof(QuarnelAddon), alignof(QuarnelAddon)> storage;
        QuarnelAddon* addon = ::new (&storage) QuarnelAddon();
        std::atexit(&QuarnelAddon::OnModuleUnload);
        return addon;
    }();
    return *instance;
}

void QuarnelAddon::OnModuleUnload() {
    if (processExiting.load() || napi::is_env_torn_down()) {
        napi::mark_env_teardown();
        return;
    }
    GetInstance().~QuarnelAddon();
}

QuarnelAddon::QuarnelAddon()
    : utils(std::make_unique<QuarnelUtils>()),
      keyboardHook(std::make_unique<WinKeyboardHook>()) {
    // The queue comes before the components that post to it; its libuv handle is why the
    // first call must come from the JavaScript thread.
    events = std::make_shared<EventQueue>(this, kEventCapacity);
    proxyWindows = std::make_unique<WndProxy>();
    frameWindows = std::make_unique<WndFrame>();
    touchHook = std::make_unique<WinTouchHook>();
}

QuarnelAddon::~QuarnelAddon() {
    if (processExiting.load()) {
        // ExitProcess has already ended every other thread, possibly inside one of our locks,
        // and the host's environment and loop are past use. Joining, locking or calling the
        // host could hang or crash the exit, so the components are left to the system.
        napi::mark_env_teardown();
        events->abandon();
        (void)frameWindows.release();
        (void)proxyWindows.release();
        (void)touchHook.release();
        (void)keyboardHook.release();
        (void)utils.release();
        return;
    }
    frameWindows.reset();
    proxyWindows.reset();
    touchHook.reset();
    keyboardHook.reset();
    utils.reset();
    {
        std::lock_guard<std::mutex> lock(logCallbackMutex);
        logCallback.reset();
    }
    events->close(!napi::is_env_torn_down());
    events.reset();
}

void QuarnelAddon::AttachEnvironment(napi_env env) {
    if (attachedEnv != nullptr) {
        return;
    }
    attachedEnv = env;
    napi_add_env_cleanup_hook(env, OnEnvironmentCleanup, this);
}

void QuarnelAddon::OnEnvironmentCleanup(void* self) {
    auto* addon = static_cast<QuarnelAddon*>(self);
    // From here on the environment is going away: references it owns are reclaimed with it,
    // and no native destructor may call into it.
    napi::mark_env_teardown();
    addon->events->close(true);
}

// ---- event methods (any thread) ----

void QuarnelAddon::Post(std::shared_ptr<CallbackTaskI> task) { events->post(std::move(task)); }

void QuarnelAddon::OnKeyboardEvent(Callback callback, int key) {
    auto task = std::make_shared<KeyboardEventCallbackTask>(callback);
    task->key = key;
    Post(std::move(task));
}

void QuarnelAddon::PostProxyWindowTask(Callback callback, int hwnd) {
    auto task = std::make_shared<ProxyWindowTask>(callback);
    task->hwnd = hwnd;
    Post(std::move(task));
}

void QuarnelAddon::OnProxyWindowCreated(Callback callback, int hwnd) {
    PostProxyWindowTask(std::move(callback), hwnd);
}
void QuarnelAddon::OnProxyWindowClose(Callback callback, int hwnd) {
    PostProxyWindowTask(std::move(callback), hwnd);
}
void QuarnelAddon::OnProxyWindowFocus(Callback callback, int hwnd) {
    PostProxyWindowTask(std::move(callback), hwnd);
}
void QuarnelAddon::OnProxyWindowBlur(Callback callback, int hwnd) {
    PostProxyWindowTask(std::move(callback), hwnd);
}

void QuarnelAddon::OnTouchEvent(Callback callback, const std::vector<TouchPoint>& points) {
    auto task = std::make_shared<TouchEventTask>(callback);
    task->points = points;
    Post(std::move(task));
}

QuarnelAddon::Callback QuarnelAddon::LogCallback() {
    std::lock_guard<std::mutex> lock(logCallbackMutex);
    return logCallback;
}

void QuarnelAddon::ForwardLog(const char* file, int line, const char* func, int severity,
                              const char* text) {
    // The copy taken under the lock may be the last share once the lock is gone; its
    // deleter carries that release to the JavaScript thread.
    Callback callback = LogCallback();
    auto task = std::make_shared<LogInfoTask>(callback);
    task->line = static_cast<uint32_t>(line);
    task->severity = static_cast<uint32_t>(severity);
    task->file = file;
    task->func = func;
    task->content = text;
    Post(std::move(task));
}

void ForwardLogToJs(const char* file, int line, const char* func, int severity,
                    const char* text) {
    QuarnelAddon::GetInstance().ForwardLog(file, line, func, severity, text);
}

void QuarnelAddon::OnAsync() {
    std::shared_ptr<CallbackTaskI> task;
    while (events->size() != 0) {
        if (!events->pop(task)) {
            break;
        }
        if (task != nullptr) {
            try {
                task->Invoke();
            } catch (...) {
                // One failing task (out of memory building its payload) must not stop the rest.
            }
        }
        task.reset();
    }
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
    OperationResult result = utils->impl().StartProcess(napi::get_string(env, argv[0]),
                                                        napi::get_string_array(env, argv[1]),
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
    HWND hwnd = utils->impl().GetCurrentForegroundWindow();
    // Window handles fit in 32 bits even in 64-bit processes.
    const auto handle = static_cast<int32_t>(reinterpret_cast<intptr_t>(hwnd));
    return scope.escape(napi::make_int32(env, handle));
}

napi_value QuarnelAddon::HookKeyboardEvent(napi_env env, napi_callback_info info) {
    napi::escapable_handle_scope scope(env);
    napi_value argv[1];
    if (!ReadArguments(env, info, argv)) {
        return nullptr;
    }
    Callback callback = napi::make_callback(env, argv[0]);
    keyboardHook->Hook(
        std::bind(&QuarnelAddon::OnKeyboardEvent, this, callback, std::placeholders::_1));
    return nullptr;
}

napi_value QuarnelAddon::UnHookKeyboardEvent(napi_env, napi_callback_info) {
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

#define QUARNEL_MOUSE_BUTTON_EXPORT(Name)                                   \
    napi_value QuarnelAddon::Name(napi_env env, napi_callback_info) {       \
        napi::escapable_handle_scope scope(env);                            \
        return scope.escape(napi::make_int64(env, utils->impl().Name()));   \
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
    proxyWindows->CloseAllWindow(napi::get_int32(env, argv[0]));
    return nullptr;
}

#define QUARNEL_PROXY_CALLBACK_EXPORT(Name, Setter, Event)                                   \
    napi_value QuarnelAddon::Name(napi_env env, napi_callback_info info) {                   \
        napi::escapable_handle_scope scope(env);                                             \
        napi_value argv[1];                                                                  \
        if (!ReadArguments(env, info, argv)) {                                               \
            return nullptr;                                                                  \
        }                                                                                    \
        Callback callback = napi::make_callback(env, argv[0]);                               \
        proxyWindows->Setter(                                                                \
            std::bind(&QuarnelAddon::Event, this, callback, std::placeholders::_1));         \
        return nullptr;                                                                      \
    }
QUARNEL_PROXY_CALLBACK_EXPORT(WndProxySetWindowCloseCB, SetWindowCloseCB, OnProxyWindowClose)
QUARNEL_PROXY_CALLBACK_EXPORT(WndProxySetFocusCB, SetFocusCB, OnProxyWindowFocus)
QUARNEL_PROXY_CALLBACK_EXPORT(WndProxySetBlurCB, SetBlurCB, OnProxyWindowBlur)
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
    // `callback` now holds the previous one, released here on the JavaScript thread.
    logSink.store(&ForwardLogToJs, std::memory_order_release);
    return nullptr;
}

napi_value QuarnelAddon::UnSetLogCallBack(napi_env, napi_callback_info) {
    Callback previous;
    std::lock_guard<std::mutex> lock(logCallbackMutex);
    logCallback.swap(previous);
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
    touchHook->CreateProxyWindow(
        napi::get_int32(env, argv[0]),
        std::bind(&QuarnelAddon::OnTouchEvent, this, callback, std::placeholders::_1));
    return nullptr;
}
