// The loader of the module's delay-imported DLLs (gdiplus.dll, wtsapi32.dll): neither is loaded
// by the host, and loading them with the module made every require pay for them (under Wine
// about 0.9 and 0.5 ms) though only frames and console-user launches use them. The first call of
// one of their functions lands here, through the thunk the import library put in its place.
//
// The toolchain's own helper loads by bare name, searching the application's directory first;
// this one takes the DLL from System32 only, as the module's other run-time loads do.
#if defined(__MINGW32__)

#include <windows.h>

#include <delayimp.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

// The import library writes every address of the descriptor as an offset into this image.
template <typename T>
T* InImage(RVA rva) noexcept {
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(&__ImageBase) + rva);
}

// As the system's own helper does: a structured exception, which ends the process unless the
// caller handles it. The DLLs are part of every Windows, so this means a broken system.
[[noreturn]] void Fail(DWORD code) noexcept {
    for (;;) {
        RaiseException(VcppException(ERROR_SEVERITY_ERROR, code), EXCEPTION_NONCONTINUABLE, 0,
                       nullptr);
    }
}

}  // namespace

extern "C" FARPROC WINAPI __delayLoadHelper2(PCImgDelayDescr descriptor, FARPROC* slot) noexcept {
    auto* const loaded = InImage<HMODULE>(descriptor->rvaHmod);
    HMODULE module = static_cast<HMODULE>(
        InterlockedCompareExchangePointer(reinterpret_cast<PVOID*>(loaded), nullptr, nullptr));
    if (module == nullptr) {
        module = LoadLibraryExA(InImage<const char>(descriptor->rvaDLLName), nullptr,
                                LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (module == nullptr) {
            Fail(ERROR_MOD_NOT_FOUND);
        }
        // Two threads may have loaded it at once: one reference stays with the module.
        const PVOID first =
            InterlockedCompareExchangePointer(reinterpret_cast<PVOID*>(loaded), module, nullptr);
        if (first != nullptr) {
            FreeLibrary(module);
            module = static_cast<HMODULE>(first);
        }
    }
    // The slot's place in the address table gives the entry of the name table to look up.
    const size_t index = static_cast<size_t>(slot - InImage<FARPROC>(descriptor->rvaIAT));
    const IMAGE_THUNK_DATA& entry = InImage<IMAGE_THUNK_DATA>(descriptor->rvaINT)[index];
    const FARPROC function =
        IMAGE_SNAP_BY_ORDINAL(entry.u1.Ordinal)
            ? GetProcAddress(module, MAKEINTRESOURCEA(IMAGE_ORDINAL(entry.u1.Ordinal)))
            : GetProcAddress(
                  module,
                  InImage<IMAGE_IMPORT_BY_NAME>(static_cast<RVA>(entry.u1.AddressOfData))->Name);
    if (function == nullptr) {
        Fail(ERROR_PROC_NOT_FOUND);
    }
    *slot = function;
    return function;
}

#endif
