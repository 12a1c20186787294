#pragma once

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

    void Reset(HMODULE module) noexcept { module_.reset(module); }
    HMODULE Module() const noexcept { return module_.get(); }

private:
    unique_resource<HMODULE, FreeLibrary> module_;
};

}  // namespace Orlix
