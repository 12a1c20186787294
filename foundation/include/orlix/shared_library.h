#pragma once

#include <string>

#include <orlix/unique_resource.h>

#include <windows.h>

namespace Orlix {

// Owns one loaded module and frees it on destruction.
class SharedLibrary {
public:
    SharedLibrary() noexcept = default;
    // Takes ownership of a module the caller has just loaded; null is fine.
    explicit SharedLibrary(HMODULE module) noexcept : module_(module) {}
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // Frees the held module first, then holds the result. On failure LastError() becomes the
    // Win32 error code, ":" and its system text.
    //
    // Never by the default search order, which also looks beside the application and in the
    // working directory, where anyone may have left a file of that name: a bare file name is
    // taken from System32 only; a fully qualified path is that file, its dependencies taken
    // from its directory and System32; any other path (relative, or relative to a drive or to
    // the current root) fails with ERROR_BAD_PATHNAME.
    bool Load(const std::string& path);
    // LoadLibraryExW with the caller's flags.
    bool Load(const std::string& path, DWORD flags);
    // FreeLibrary's result; the handle is forgotten either way.
    bool Free();
    void Reset(HMODULE module) noexcept { module_.reset(module); }
    bool IsNull() const noexcept;
    HMODULE Module() const noexcept { return module_.get(); }
    std::string LastError() const { return lastError_; }

private:
    bool Loaded(HMODULE module);

    std::string lastError_;
    unique_resource<HMODULE, FreeLibrary> module_;
};

}  // namespace Orlix
