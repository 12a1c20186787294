#include <orlix/shared_library.h>

#include <orlix/exception.h>
#include <orlix/string_conversion.h>

namespace Orlix {

bool SharedLibrary::Load(const std::string& path) {
    module_.reset();
    return Loaded(LoadLibraryW(Utf8ToWide(path).c_str()));
}

bool SharedLibrary::Load(const std::string& path, DWORD flags) {
    module_.reset();
    return Loaded(LoadLibraryExW(Utf8ToWide(path).c_str(), nullptr, flags));
}

bool SharedLibrary::Loaded(HMODULE module) {
    // Read before anything else can touch the thread's last error.
    const DWORD error = GetLastError();
    module_.reset(module);
    if (!IsNull()) {
        return true;
    }
    lastError_ = std::to_string(error) + ":" + FormatSystemError(error);
    return false;
}

bool SharedLibrary::Free() {
    const HMODULE module = module_.release();
    return module != nullptr && FreeLibrary(module) != FALSE;
}

bool SharedLibrary::IsNull() const noexcept {
    const HMODULE module = module_.get();
    return module == nullptr || module == reinterpret_cast<HMODULE>(INVALID_HANDLE_VALUE);
}

}  // namespace Orlix
