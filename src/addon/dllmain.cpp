// The module's DLL entry point.
#include "addon/napi_bridge.h"
#include "impl/window_threads.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    // A non-null `reserved` on detach means ExitProcess: every other thread is already gone,
    // wherever it was. The statics destroyed after this entry must neither free nor lock.
    if (reason == DLL_PROCESS_DETACH && reserved != nullptr) {
        win32::ProcessExitBegun();
        napi::lifecycle().advance(quarnel::Stage::Exiting);
    }
    return TRUE;
}
