// Registers the module with the host as soon as the DLL is loaded.
#include "addon/exports.h"

#include <clocale>

namespace {

napi_value RegisterInit(napi_env env, napi_value exports) noexcept {
    try {
        return Init(env, exports);
    } catch (...) {
        return exports;
    }
}

napi_module quarnelModule = {
    1,         // nm_version
    0,         // nm_flags
    __FILE__,  // nm_filename
    RegisterInit,
    "NODE_GYP_MODULE_NAME",
    nullptr,
    {nullptr, nullptr, nullptr, nullptr},
};

void RegisterModule() {
    napi_module_register(&quarnelModule);
    // Multibyte conversions follow the user's code page.
    std::setlocale(LC_CTYPE, "");
}

}  // namespace

// When the module was already loaded and the environment that registered it is gone (a
// Worker that used it first, which keeps it mapped), loading it again runs no static
// constructor: the host then asks for this initializer instead.
extern "C" __declspec(dllexport) napi_value
    napi_register_module_v1(napi_env env, napi_value exports) {
    return RegisterInit(env, exports);
}

// The host looks for this symbol; it is the registration's slot in the table of static
// constructors, which the C runtime runs before any other at load.
#if defined(_MSC_VER)
#pragma section(".CRT$XCT", read)
extern "C" __declspec(dllexport, allocate(".CRT$XCT")) void (*_register_NODE_GYP_MODULE_NAME_)(
    void) = RegisterModule;
#else
extern "C" {
__declspec(dllexport) void (*_register_NODE_GYP_MODULE_NAME_)(void)
    __attribute__((section(".CRT$XCT"), used)) = RegisterModule;
}
#endif
