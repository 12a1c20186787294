// The export table: each JavaScript function and the add-on method behind it.
#include "addon/exports.h"

#include "addon/lifetime.h"
#include "addon/quarnel_addon.h"

namespace {

// The hooks, windows and event queue belong to one JavaScript thread; any other (a Worker)
// is refused before anything changes.
napi_value ThrowNotOwner(napi_env env) {
    napi_throw_error(env, "QUARNEL_MAIN_THREAD_ONLY",
                     "Quarnel can only be called from the JavaScript thread that first used it "
                     "(normally the main thread)");
    return nullptr;
}

// Every export is this thin entry over the add-on method of the same name. No C++ exception
// crosses into the host.
template <napi_value (QuarnelAddon::*Method)(napi_env, napi_callback_info)>
napi_value Entry(napi_env env, napi_callback_info info) noexcept {
    try {
        QuarnelAddon* addon = Lifetime::ForEnvironment(env);
        if (addon == nullptr) {
            return ThrowNotOwner(env);
        }
        if (addon->Stopped()) {
            // Called from an 'exit' listener after the module's own: nothing can run any more.
            return nullptr;
        }
        return (addon->*Method)(env, info);
    } catch (...) {
        return nullptr;
    }
}

// Builds nothing: an application may announce its exit before it ever used the module.
napi_value ProgramWillQuitEntry(napi_env env, napi_callback_info) noexcept {
    if (!Lifetime::AnnounceQuit(env)) {
        return ThrowNotOwner(env);
    }
    return nullptr;
}

const ExportRow kExports[] = {
    {"SetWindowFocus", Entry<&QuarnelAddon::SetWindowFocus>},
    {"SetWindowParent", Entry<&QuarnelAddon::SetWindowParent>},
    {"StartProcess", Entry<&QuarnelAddon::StartProcess>},
    {"IsHiddenFile", Entry<&QuarnelAddon::IsHiddenFile>},
    {"SetWindowFrontTaskbar", Entry<&QuarnelAddon::SetWindowFrontTaskbar>},
    {"GetMainMonitorReslution", Entry<&QuarnelAddon::GetMainMonitorReslution>},
    {"GetMacAddresses", Entry<&QuarnelAddon::GetMacAddresses>},
    {"SetRunmode", Entry<&QuarnelAddon::SetRunmode>},
    {"SetWindowFocusable", Entry<&QuarnelAddon::SetWindowFocusable>},
    {"GetCurrentForegroundWindow", Entry<&QuarnelAddon::GetCurrentForegroundWindow>},
    {"HookKeyboardEvent", Entry<&QuarnelAddon::HookKeyboardEvent>},
    {"UnHookKeyboardEvent", Entry<&QuarnelAddon::UnHookKeyboardEvent>},
    {"InputMouseMove", Entry<&QuarnelAddon::InputMouseMove>},
    {"InputMouseLeftClick", Entry<&QuarnelAddon::InputMouseLeftClick>},
    {"InputMouseLeftDown", Entry<&QuarnelAddon::InputMouseLeftDown>},
    {"InputMouseLeftUp", Entry<&QuarnelAddon::InputMouseLeftUp>},
    {"InputMouseRightClick", Entry<&QuarnelAddon::InputMouseRightClick>},
    {"InputMouseRightDown", Entry<&QuarnelAddon::InputMouseRightDown>},
    {"InputMouseRightUp", Entry<&QuarnelAddon::InputMouseRightUp>},
    {"WndProxyCreateProxyWindow", Entry<&QuarnelAddon::WndProxyCreateProxyWindow>},
    {"WndProxyResizeWindow", Entry<&QuarnelAddon::WndProxyResizeWindow>},
    {"WndProxyCloseWindow", Entry<&QuarnelAddon::WndProxyCloseWindow>},
    {"WndProxyCloseAllWindow", Entry<&QuarnelAddon::WndProxyCloseAllWindow>},
    {"WndProxySetWindowCloseCB", Entry<&QuarnelAddon::WndProxySetWindowCloseCB>},
    {"WndProxySetFocusCB", Entry<&QuarnelAddon::WndProxySetFocusCB>},
    {"WndProxySetBlurCB", Entry<&QuarnelAddon::WndProxySetBlurCB>},
    {"WndProxyShowFrame", Entry<&QuarnelAddon::WndProxyShowFrame>},
    {"WndProxyHideFrame", Entry<&QuarnelAddon::WndProxyHideFrame>},
    {"SetLogCallBack", Entry<&QuarnelAddon::SetLogCallBack>},
    {"UnSetLogCallBack", Entry<&QuarnelAddon::UnSetLogCallBack>},
    {"GetMachineRegString", Entry<&QuarnelAddon::GetMachineRegString>},
    {"ProgramWillQuit", ProgramWillQuitEntry},
};

}  // namespace

void DefineExports(napi_env env, napi_value exports, const ExportRow* rows, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        napi_value function = nullptr;
        if (napi_create_function(env, nullptr, 0, rows[i].entry, nullptr, &function) == napi_ok) {
            napi_set_named_property(env, exports, rows[i].name, function);
        }
    }
}

napi_value Init(napi_env env, napi_value exports) {
    DefineExports(env, exports, kExports, sizeof(kExports) / sizeof(kExports[0]));
    return exports;
}
