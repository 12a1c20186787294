#pragma once

// The one owner of the module's life: it builds the add-on instance, hands it over to a newer
// module instance, and alone answers the host's hooks that end it (the environment's cleanup,
// the process's 'exit' event, the module's unload and the DLL's detach at ExitProcess). It
// alone advances the lifecycle stage; everything else only reads it.
#include "addon/host_api.h"
#include "core/lifecycle.h"

class QuarnelAddon;

class Lifetime {
public:
    // The instance for an export called from `env`: built by the first call, whose
    // environment then owns it. A newer module instance on the owner's thread (a reset module
    // registry, a vm context), or one on the main thread once the owner's environment is gone,
    // takes it over: the old one is stopped and a new one built. Null for any other
    // environment (Workers, a superseded module instance).
    static QuarnelAddon* ForEnvironment(napi_env env);
    // The instance if one was built, from any thread (the log sink).
    static QuarnelAddon* Existing();
    // ProgramWillQuit from `env`: false when another environment owns the instance (nothing
    // changes then).
    static bool AnnounceQuit(napi_env env);
    // JavaScript thread, once a delivery of `addon` returned: a callback of it may have
    // handed the module to a newer instance, and the old object goes only now.
    static void DeliveryEnded(QuarnelAddon* addon);

    // The process-wide stage, any thread.
    static const quarnel::Lifecycle& State() noexcept;
    // The queue's check before it calls into the host.
    static bool CallsHost() noexcept { return State().calls_host(); }

    // Adds `listener` (called with `data`) to the 'exit' event of the environment's `process`:
    // the last moment of an ending process at which JavaScript still runs and threads can
    // still be joined, whether it ends by process.exit(), an uncaught exception or running
    // dry. False when the host has no such object.
    static bool ListenForProcessExit(napi_env env, ::napi_callback listener, void* data);

    // DLL_PROCESS_DETACH inside ExitProcess.
    static void OnProcessDetach() noexcept;

private:
    // What moves the stage, and how far (kStageAfter in lifetime.cpp).
    enum class Hook : uint8_t {
        QuitAnnounced,
        ProcessExit,
        EnvironmentCleanup,
        ModuleUnload,
        ProcessDetach
    };
    static void Enter(Hook hook) noexcept;

    static QuarnelAddon* Build(napi_env env, bool listenForExit, void* place);
    static bool OwnedBy(const QuarnelAddon& addon, napi_env env);
    static bool YieldsTo(const QuarnelAddon& addon, napi_env env);
    static QuarnelAddon* TakeOver(QuarnelAddon* old, napi_env env);
    static void OnEnvironmentCleanup(void* addon) noexcept;
    static napi_value OnProcessExit(napi_env env, napi_callback_info info) noexcept;
    static void OnModuleUnload() noexcept;
};
