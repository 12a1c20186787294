#include "addon/lifetime.h"

#include "addon/napi_values.h"
#include "addon/quarnel_addon.h"
#include "core/logging.h"
#include "impl/window_threads.h"
#include "impl/wnd_proxy_impl.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <new>
#include <thread>
#include <type_traits>

namespace {

quarnel::Lifecycle lifecycle;

// How far each hook moves the stage; nothing else moves it forward, and only a take-over
// starts it again.
constexpr quarnel::Stage kStageAfter[] = {
    quarnel::Stage::Quitting,  // QuitAnnounced: the application promised to exit
    quarnel::Stage::Quitting,  // ProcessExit: the last moment JavaScript runs
    quarnel::Stage::Detached,  // EnvironmentCleanup: the owner's environment goes
    quarnel::Stage::Detached,  // ModuleUnload with the environment gone or the process ending
    quarnel::Stage::Exiting,   // ProcessDetach: ExitProcess ended every other thread
};

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

bool Lifetime::ListenForProcessExit(napi_env env, ::napi_callback listener, void* data) {
    napi::handle_scope scope(env);
    napi_value global = nullptr, process = nullptr, on = nullptr, name = nullptr,
               function = nullptr;
    if (napi_get_global(env, &global) != napi_ok ||
        napi_get_named_property(env, global, "process", &process) != napi_ok ||
        napi_get_named_property(env, process, "on", &on) != napi_ok ||
        napi_create_string_utf8(env, "exit", NAPI_AUTO_LENGTH, &name) != napi_ok ||
        napi_create_function(env, "quarnelExit", NAPI_AUTO_LENGTH, listener, data, &function) !=
            napi_ok) {
        return false;
    }
    napi_value argv[] = {name, function};
    napi_value ignored = nullptr;
    return napi_call_function(env, process, on, 2, argv, &ignored) == napi_ok;
}

const quarnel::Lifecycle& Lifetime::State() noexcept {
    return lifecycle;
}

void Lifetime::Enter(Hook hook) noexcept {
    lifecycle.advance(kStageAfter[static_cast<uint8_t>(hook)]);
}

QuarnelAddon* Lifetime::ForEnvironment(napi_env env) {
    std::call_once(built, [env] {
        PinModule();
        std::atexit(&Lifetime::OnModuleUnload);
        Build(env, true, &storage[0]);
    });
    QuarnelAddon* addon = instance.load(std::memory_order_acquire);
    if (addon != nullptr && !OwnedBy(*addon, env) && YieldsTo(*addon, env)) {
        addon = TakeOver(addon, env);
    }
    if (addon == nullptr || !OwnedBy(*addon, env) || !lifecycle.calls_host()) {
        return nullptr;
    }
    return addon;
}

QuarnelAddon* Lifetime::Build(napi_env env, bool listenForExit, void* place) {
    QuarnelAddon* addon = ::new (place) QuarnelAddon(env);
    napi_add_env_cleanup_hook(env, OnEnvironmentCleanup, addon);
    if (listenForExit) {
        ListenForProcessExit(env, OnProcessExit, addon);
    }
    if (InstanceData(env) == &quitAnnounced) {
        Enter(Hook::QuitAnnounced);
    }
    instance.store(addon, std::memory_order_release);
    return addon;
}

// A torn-down environment's address can come back for the next one: the main thread that
// loads the module right after the Worker that owned it ended may be handed the Worker's old
// napi_env. So an owner whose environment is gone owns none, whatever its address.
bool Lifetime::OwnedBy(const QuarnelAddon& addon, napi_env env) {
    return addon.ownerEnv == env && !addon.ownerGone.load(std::memory_order_acquire);
}

// Runs on the JavaScript thread of `env`.
bool Lifetime::YieldsTo(const QuarnelAddon& addon, napi_env env) {
    if (InstanceData(env) == &superseded || lifecycle.stage() == quarnel::Stage::Exiting) {
        return false;
    }
    if (!addon.ownerGone.load(std::memory_order_acquire)) {
        // Only the owner's own thread can load the module anew while the owner lives, and not
        // once its exit event has stopped everything; a Worker calling in meanwhile is refused.
        return std::this_thread::get_id() == addon.ownerThread && !addon.stopped;
    }
    // A Worker's exit event stopped the instance before its environment went: that does not
    // count against the main thread.
    uv_loop_t* loop = nullptr;
    return napi_get_uv_event_loop(env, &loop) == napi_ok && loop == uv_default_loop();
}

QuarnelAddon* Lifetime::TakeOver(QuarnelAddon* old, napi_env env) {
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
    lifecycle.restart();
    // The old exit listener stays on the same process object and serves the new instance too;
    // adding one per new instance would pile them up (a test runner loads the module per file).
    return Build(env, !ownerLives, place);
}

void Lifetime::DeliveryEnded(QuarnelAddon* addon) {
    if (leaving == addon) {
        // Taken over by a callback of this delivery; nothing of the object is used after this.
        leaving = nullptr;
        addon->~QuarnelAddon();
    }
}

QuarnelAddon* Lifetime::Existing() {
    return instance.load(std::memory_order_acquire);
}

bool Lifetime::AnnounceQuit(napi_env env) {
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
    Enter(Hook::QuitAnnounced);
    return true;
}

void Lifetime::OnModuleUnload() noexcept {
    QuarnelAddon* addon = Existing();
    if (addon == nullptr || !lifecycle.releases_references()) {
        // The environment is gone or the process is exiting: leave everything to the system.
        Enter(Hook::ModuleUnload);
        return;
    }
    addon->~QuarnelAddon();
}

void Lifetime::OnEnvironmentCleanup(void* self) noexcept {
    auto* addon = static_cast<QuarnelAddon*>(self);
    uv_loop_t* loop = nullptr;
    const bool worker =
        napi_get_uv_event_loop(addon->ownerEnv, &loop) == napi_ok && loop != uv_default_loop();
    // From here on the environment is going away: references it owns are reclaimed with it,
    // and nothing may call into it.
    Enter(Hook::EnvironmentCleanup);
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

napi_value Lifetime::OnProcessExit(napi_env, napi_callback_info) noexcept {
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
    Enter(Hook::ProcessExit);
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

void Lifetime::OnProcessDetach() noexcept {
    win32::ProcessExitBegun();
    Enter(Hook::ProcessDetach);
}

// The module's DLL entry point.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    // A non-null `reserved` on detach means ExitProcess: every other thread is already gone,
    // wherever it was. The statics destroyed after this entry must neither free nor lock.
    if (reason == DLL_PROCESS_DETACH && reserved != nullptr) {
        Lifetime::OnProcessDetach();
    }
    return TRUE;
}
