#include "addon/quarnel_addon.h"

#include "core/logging.h"
#include "core/process_launch.h"
#include "impl/display_watch.h"
#include "impl/quarnel_utils.h"
#include "impl/win32_bridge.h"
#include "impl/win_keyboard_hook.h"
#include "impl/win_touch_hook.h"
#include "impl/window_threads.h"
#include "impl/wnd_frame.h"
#include "impl/wnd_proxy.h"
#include "impl/wnd_proxy_impl.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <new>
#include <type_traits>

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

namespace {

// The instance lives in static storage rather than as a plain static: its destruction at
// unload must be a decision. When the process is ending (the environment torn down, or
// ExitProcess under way) worker threads may still be posting and logging into it, so it is
// left alive for them; only an orderly unload destroys it.
std::once_flag built;
// Two places: a callback of the old instance may load the module anew, and the old instance,
// whose delivery is still on the stack, can only go once it returns; meanwhile the new one
// stands in the other place.
std::aligned_storage_t<sizeof(QuarnelAddon), alignof(QuarnelAddon)> storage[2];
std::atomic<QuarnelAddon*> instance{nullptr};
QuarnelAddon* leaving = nullptr;  // JavaScript thread: taken over while delivering
// The instance data of an environment that announced its exit before anyone used the module.
const char quitAnnounced = 0;
// The instance data of an environment whose module instance a newer one took over.
const char superseded = 0;
// How long the exit event waits for stopped threads to leave the system as well.
constexpr std::chrono::milliseconds kThreadExitWait{1000};

// Component threads run code of this DLL until they end. When the environment that loaded it
// goes away (a Worker), the host frees the DLL; pinned, it stays mapped until the process ends.
void PinModule() noexcept {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&PinModule), &self);
}

const void* InstanceData(napi_env env) {
    void* data = nullptr;
    return napi_get_instance_data(env, &data) == napi_ok ? data : nullptr;
}

}  // namespace

QuarnelAddon* QuarnelAddon::ForEnvironment(napi_env env) {
    std::call_once(built, [env] {
        PinModule();
        std::atexit(&QuarnelAddon::OnModuleUnload);
        Build(env, true, &storage[0]);
    });
    QuarnelAddon* addon = instance.load(std::memory_order_acquire);
    if (addon != nullptr && addon->ownerEnv != env && addon->YieldsTo(env)) {
        addon = TakeOver(addon, env);
    }
    if (addon == nullptr || addon->ownerEnv != env || !napi::lifecycle().calls_host()) {
        return nullptr;
    }
    return addon;
}

QuarnelAddon* QuarnelAddon::Build(napi_env env, bool listenForExit, void* place) {
    QuarnelAddon* addon = ::new (place) QuarnelAddon(env);
    napi_add_env_cleanup_hook(env, OnEnvironmentCleanup, addon);
    if (listenForExit) {
        napi::on_process_exit(env, OnProcessExit, addon);
    }
    if (InstanceData(env) == &quitAnnounced) {
        napi::program_will_quit();
    }
    instance.store(addon, std::memory_order_release);
    return addon;
}

// Runs on the JavaScript thread of `env`.
bool QuarnelAddon::YieldsTo(napi_env env) const {
    if (InstanceData(env) == &superseded || napi::lifecycle().stage() == quarnel::Stage::Exiting) {
        return false;
    }
    if (!ownerGone.load(std::memory_order_acquire)) {
        // Only the owner's own thread can load the module anew while the owner lives, and not
        // once its exit event has stopped everything; a Worker calling in meanwhile is refused.
        return std::this_thread::get_id() == ownerThread && !stopped;
    }
    // A Worker's exit event stopped the instance before its environment went: that does not
    // count against the main thread.
    uv_loop_t* loop = nullptr;
    return napi_get_uv_event_loop(env, &loop) == napi_ok && loop == uv_default_loop();
}

QuarnelAddon* QuarnelAddon::TakeOver(QuarnelAddon* old, napi_env env) {
    void* place = old;
    if (old->delivering) {
        place = old == reinterpret_cast<QuarnelAddon*>(&storage[0]) ? &storage[1] : &storage[0];
        if (leaving != nullptr) {
            return nullptr;  // taken over twice within one delivery: the other place is not free
        }
    }
    // While no instance stands, log records are dropped rather than given to a half-built one.
    instance.store(nullptr, std::memory_order_release);
    const bool ownerLives = !old->ownerGone.load(std::memory_order_acquire);
    if (ownerLives) {
        // The old environment goes on: its exports are refused from now on, and its cleanup
        // must not stop the new instance (the host also keeps one hook per function and data).
        napi_remove_env_cleanup_hook(old->ownerEnv, OnEnvironmentCleanup, old);
        napi_set_instance_data(old->ownerEnv, const_cast<char*>(&superseded), nullptr, nullptr);
    }
    // The proxy callbacks are kept process-wide, bound to the old object and its functions: a
    // proxy of the new instance would report to them. Released while the stage still says
    // whether their environment lives.
    WndProxyImpl::SetWindowCloseCB(nullptr);
    WndProxyImpl::SetFocusCB(nullptr);
    WndProxyImpl::SetBlurCB(nullptr);
    // Joins the old threads and releases the old callbacks (only while their environment lives)
    // before anything of the new instance runs.
    if (old->delivering) {
        old->Retire();
        leaving = old;
    } else {
        old->~QuarnelAddon();
    }
    try {
        win32::WindowThreads::WaitForExitOfAll(kThreadExitWait);
    } catch (...) {
    }
    napi::lifecycle().restart();
    // The old exit listener stays on the same process object and serves the new instance too;
    // adding one per new instance would pile them up (a test runner loads the module per file).
    return Build(env, !ownerLives, place);
}

// Everything of a taken-over instance but the queue it is draining, which goes with the
// object once the delivery returns.
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

QuarnelAddon* QuarnelAddon::Existing() {
    return instance.load(std::memory_order_acquire);
}

bool QuarnelAddon::AnnounceQuit(napi_env env) {
    if (Existing() == nullptr) {
        // Nobody owns the module yet, and this environment may never do: the announcement is
        // kept with the environment (and goes with it) and counts only once that environment
        // becomes the owner. A Worker's announcement must not make the main thread quit.
        napi_set_instance_data(env, const_cast<char*>(&quitAnnounced), nullptr, nullptr);
        return true;
    }
    if (ForEnvironment(env) == nullptr) {
        return false;
    }
    napi::program_will_quit();
    return true;
}

void QuarnelAddon::OnModuleUnload() noexcept {
    QuarnelAddon* addon = Existing();
    if (addon == nullptr || !napi::lifecycle().releases_references()) {
        // The environment is gone or the process is exiting: leave everything to the system.
        napi::lifecycle().advance(quarnel::Stage::Detached);
        return;
    }
    addon->~QuarnelAddon();
}

QuarnelAddon::QuarnelAddon(napi_env env)
    : utils(std::make_unique<QuarnelUtils>()),
      keyboardHook(std::make_unique<WinKeyboardHook>()),
      ownerEnv(env) {
    // The queue comes before the components that post to it; its libuv handle sits on the
    // owning environment's loop.
    events = std::make_shared<EventQueue>(env, this, kEventCapacity, kLogCapacity);
    proxyWindows = std::make_unique<WndProxy>();
    frameWindows = std::make_unique<WndFrame>();
    touchHook = std::make_unique<WinTouchHook>();
}

QuarnelAddon::~QuarnelAddon() {
    if (!napi::lifecycle().may_block()) {
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
    events->close(napi::lifecycle().calls_host());
    events.reset();
}

void QuarnelAddon::StopComponents() {
    frameWindows.reset();
    proxyWindows.reset();
    touchHook.reset();
    keyboardHook.reset();
    win32::StopDisplayWatch();
}

void QuarnelAddon::OnEnvironmentCleanup(void* self) noexcept {
    auto* addon = static_cast<QuarnelAddon*>(self);
    uv_loop_t* loop = nullptr;
    const bool worker =
        napi_get_uv_event_loop(addon->ownerEnv, &loop) == napi_ok && loop != uv_default_loop();
    // From here on the environment is going away: references it owns are reclaimed with it,
    // and nothing may call into it.
    napi::lifecycle().advance(quarnel::Stage::Detached);
    addon->ownerGone.store(true, std::memory_order_release);
    quarnel::logSink.store(nullptr, std::memory_order_release);
    try {
        if (worker) {
            // A Worker ends while the process goes on: its hook and windows must not outlive
            // it. (The main thread's environment only goes at process exit, where joining
            // threads is left out on purpose.)
            addon->StopComponents();
        }
    } catch (...) {
    }
    addon->events->close(true);
}

napi_value QuarnelAddon::OnProcessExit(napi_env, napi_callback_info) noexcept {
    // One listener serves every instance that takes over within the same environment.
    QuarnelAddon* addon = Existing();
    if (addon == nullptr || addon->ownerThread != std::this_thread::get_id()) {
        return nullptr;
    }
    // Whatever ends the process next (ExitProcess, or the host tearing down) kills the threads
    // still running wherever they are: a thread killed inside the heap or a lock of the system
    // leaves it held, and the rest of the exit can wait on it forever. So the hook, window and
    // touch threads end here, and leave the system too, while they still can, bounded as an
    // unload bounds them. Nothing JavaScript owns is released any more.
    napi::lifecycle().advance(quarnel::Stage::Quitting);
    if (!addon->stopped) {
        addon->stopped = true;
        try {
            addon->StopComponents();
            win32::WindowThreads::WaitForExitOfAll(kThreadExitWait,
                                                   win32::WindowThreads::Then::ParkWindowChanges);
        } catch (...) {
        }
    }
    return nullptr;
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
    // its release, so the record needs no share of it.
    std::lock_guard<std::mutex> lock(logCallbackMutex);
    event.callback = logCallback.get();
    if (event.callback != nullptr) {
        events->post(std::move(event), EventQueue::lane::log);
    }
    // Otherwise a record that began just before UnSetLogCallBack: nobody to deliver it to.
}

void ForwardLogToJs(const char* file, int line, const char* func, int severity, const char* text) {
    if (QuarnelAddon* addon = QuarnelAddon::Existing()) {
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
    if (leaving == this) {
        // Taken over by a callback of this delivery; nothing of the object is used after this.
        leaving = nullptr;
        this->~QuarnelAddon();
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
    // A list longer than any command line can hold is refused as too long either way; reading
    // it all would take seconds and all memory for `args.length = 2 ** 32 - 1`.
    OperationResult result = utils->impl().StartProcess(
        napi::get_string(env, argv[0]),
        napi::get_string_array(env, argv[1], quarnel::kMaxLaunchArguments + 1),
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
    quarnel::logSink.store(&ForwardLogToJs, std::memory_order_release);
    return nullptr;
}

napi_value QuarnelAddon::UnSetLogCallBack(napi_env, napi_callback_info) {
    // With no sink, log statements stop before building a record, as before any callback.
    quarnel::logSink.store(nullptr, std::memory_order_release);
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
