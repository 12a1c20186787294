#include <orlix/shared_library.h>

#include <orlix/exception.h>
#include <orlix/string_conversion.h>

namespace Orlix {

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// "C:\x.dll", "\\server\share\x.dll", "\\?\C:\x.dll"; not "C:x.dll" nor "\x.dll", which
// depend on the current directory of a drive or on the current drive.
bool IsFullyQualified(const std::wstring& path) {
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        return true;
    }
    return path.size() >= 3 && path[1] == L':' && IsSeparator(path[2]) &&
           ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
}

bool IsBareName(const std::wstring& path) {
    return !path.empty() && path.find_first_of(L"\\/:") == std::wstring::npos;
}

}  // namespace

bool SharedLibrary::Load(const std::string& path) {
    module_.reset();
    const std::wstring wide = Utf8ToWide(path);
    if (IsBareName(wide)) {
        return Loaded(LoadLibraryExW(wide.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    }
    if (IsFullyQualified(wide)) {
        return Loaded(
            LoadLibraryExW(wide.c_str(), nullptr,
                           LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
    }
    SetLastError(ERROR_BAD_PATHNAME);
    return Loaded(nullptr);
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
