// The export table: each JavaScript function and the add-on method behind it.
#include "addon/exports.h"

#include "addon/lifetime.h"
#include "addon/napi_values.h"
#include "addon/quarnel_addon.h"
#include "impl/win32_bridge.h"

namespace {

// The hooks, windows and event queue belong to one JavaScript thread; any other (a Worker)
// is refused before anything changes.
napi_value ThrowNotOwner(napi_env env) {
    napi_throw_error(env, "QUARNEL_MAIN_THREAD_ONLY",
                     "Quarnel can only be called from the JavaScript thread that first used it "
                     "(normally the main thread)");
    return nullptr;
}

// Builds nothing: an application may announce its exit before it ever used the module.
napi_value ProgramWillQuitEntry(napi_env env, napi_callback_info) noexcept {
    if (!Lifetime::AnnounceQuit(env)) {
        return ThrowNotOwner(env);
    }
    return nullptr;
}

// Whether a number names a window, for the helpers: the proxy export never answers for a parent
// that is none, so createProxyWindow asks first and refuses it at once. Beside the exports, not
// one of them (not enumerable).
napi_value IsWindowEntry(napi_env env, napi_callback_info info) noexcept {
    napi_value argv[1] = {};
    size_t argc = 1;
    bool isWindow = false;
    if (napi_get_cb_info(env, info, &argc, argv, nullptr, nullptr) == napi_ok && argc == 1) {
        isWindow = IsWindow(win32::ToHwnd(napi::get_int32(env, argv[0]))) != FALSE;
    }
    return napi::make_bool(env, isWindow);
}

const ExportRow kExports[] = {
    {"SetWindowFocus", Entry<1, &QuarnelAddon::SetWindowFocus>},
    {"SetWindowParent", Entry<2, &QuarnelAddon::SetWindowParent>},
    {"StartProcess", Entry<3, &QuarnelAddon::StartProcess>},
    {"IsHiddenFile", Entry<1, &QuarnelAddon::IsHiddenFile>},
    {"SetWindowFrontTaskbar", Entry<1, &QuarnelAddon::SetWindowFrontTaskbar>},
    {"GetMainMonitorReslution", Entry<0, &QuarnelAddon::GetMainMonitorReslution>},
    {"GetMacAddresses", Entry<0, &QuarnelAddon::GetMacAddresses>},
    {"SetRunmode", Entry<1, &QuarnelAddon::SetRunmode>},
    {"SetWindowFocusable", Entry<2, &QuarnelAddon::SetWindowFocusable>},
    {"GetCurrentForegroundWindow", Entry<0, &QuarnelAddon::GetCurrentForegroundWindow>},
    {"HookKeyboardEvent", Entry<1, &QuarnelAddon::HookKeyboardEvent>},
    {"UnHookKeyboardEvent", Entry<0, &QuarnelAddon::UnHookKeyboardEvent>},
    {"InputMouseMove", Entry<2, &QuarnelAddon::InputMouseMove>},
    {"InputMouseLeftClick", Entry<0, &QuarnelAddon::InputMouseLeftClick>},
    {"InputMouseLeftDown", Entry<0, &QuarnelAddon::InputMouseLeftDown>},
    {"InputMouseLeftUp", Entry<0, &QuarnelAddon::InputMouseLeftUp>},
    {"InputMouseRightClick", Entry<0, &QuarnelAddon::InputMouseRightClick>},
    {"InputMouseRightDown", Entry<0, &QuarnelAddon::InputMouseRightDown>},
    {"InputMouseRightUp", Entry<0, &QuarnelAddon::InputMouseRightUp>},
    {"WndProxyCreateProxyWindow", Entry<6, &QuarnelAddon::WndProxyCreateProxyWindow>},
    {"WndProxyResizeWindow", Entry<5, &QuarnelAddon::WndProxyResizeWindow>},
    {"WndProxyCloseWindow", Entry<1, &QuarnelAddon::WndProxyCloseWindow>},
    {"WndProxyCloseAllWindow", Entry<1, &QuarnelAddon::WndProxyCloseAllWindow>},
    {"WndProxySetWindowCloseCB", Entry<1, &QuarnelAddon::WndProxySetWindowCloseCB>},
    {"WndProxySetFocusCB", Entry<1, &QuarnelAddon::WndProxySetFocusCB>},
    {"WndProxySetBlurCB", Entry<1, &QuarnelAddon::WndProxySetBlurCB>},
    {"WndProxyShowFrame", Entry<0, &QuarnelAddon::WndProxyShowFrame>},
    {"WndProxyHideFrame", Entry<0, &QuarnelAddon::WndProxyHideFrame>},
    {"SetLogCallBack", Entry<1, &QuarnelAddon::SetLogCallBack>},
    {"UnSetLogCallBack", Entry<0, &QuarnelAddon::UnSetLogCallBack>},
    {"GetMachineRegString", Entry<2, &QuarnelAddon::GetMachineRegString>},
    {"ProgramWillQuit", ProgramWillQuitEntry},
};

}  // namespace

napi_value CallExport(napi_env env, napi_callback_info info, size_t arity,
                      AddonMethod method) noexcept {
    try {
        QuarnelAddon* addon = Lifetime::ForEnvironment(env);
        if (addon == nullptr) {
            return ThrowNotOwner(env);
        }
        if (addon->Stopped()) {
            // Called from an 'exit' listener after the module's own: nothing can run any more.
            return nullptr;
        }
        napi::escapable_handle_scope scope(env);
        napi_value argv[kMaxArity] = {};
        if (arity > 0) {
            // Extra arguments are ignored; fewer than the method reads is a TypeError.
            size_t argc = arity;
            if (napi_get_cb_info(env, info, &argc, argv, nullptr, nullptr) != napi_ok) {
                return nullptr;
            }
            if (argc < arity) {
                napi_throw_type_error(env, "ARGUMENTS_LENGTH_ERROR", "Wrong number of arguments");
                return nullptr;
            }
        }
        napi_value result = (addon->*method)(env, argv);
        return result != nullptr ? scope.escape(result) : nullptr;
    } catch (...) {
        return nullptr;
    }
}

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
    const napi_property_descriptor isWindow = {"__isWindow", nullptr, IsWindowEntry, nullptr,
                                               nullptr,      nullptr, napi_default,  nullptr};
    napi_define_properties(env, exports, 1, &isWindow);
    return exports;
}
