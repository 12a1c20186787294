// The module's DLL entry point.
#include "addon/napi_bridge.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    // A non-null `reserved` on detach means ExitProcess: every other thread is already gone.
    if (reason == DLL_PROCESS_DETACH && reserved != nullptr) {
        napi::lifecycle().advance(quarnel::Stage::Exiting);
    }
    return TRUE;
}
