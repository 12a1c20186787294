#pragma once

#include <orlix/unique_resource.h>

#include <windows.h>

namespace Orlix {

namespace detail {
// Kernel calls disagree on what "no handle" is: null for most, INVALID_HANDLE_VALUE for some.
inline void CloseKernelHandle(HANDLE handle) noexcept {
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
    }
}
}  // namespace detail

// Owns one kernel handle (process, token, event); null and INVALID_HANDLE_VALUE both mean
// "holds nothing".
class ScopedHandle {
public:
    ScopedHandle() noexcept = default;
    explicit ScopedHandle(HANDLE handle) noexcept : handle_(handle) {}

    HANDLE get() const noexcept { return handle_.get(); }
    bool valid() const noexcept { return get() != nullptr && get() != INVALID_HANDLE_VALUE; }
    explicit operator bool() const noexcept { return valid(); }
    // For out-parameters of creating calls: closes what is held, then exposes the slot.
    HANDLE* put() noexcept { return handle_.put(); }
    HANDLE release() noexcept { return handle_.release(); }
    void reset(HANDLE handle = nullptr) noexcept { handle_.reset(handle); }

private:
    unique_resource<HANDLE, detail::CloseKernelHandle> handle_;
};

// A registry key; the predefined roots are never closed by anyone, so only opened keys go here.
using ScopedKey = unique_resource<HKEY, RegCloseKey>;

}  // namespace Orlix
