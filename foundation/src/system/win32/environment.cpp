#include <orlix/environment.h>

#include <vector>

#include <orlix/exception.h>
#include <orlix/string_conversion.h>

#include <windows.h>

namespace Orlix {

void Environment::Set(const std::string& name, const std::string& value) {
    if (SetEnvironmentVariableW(Utf8ToWide(name).c_str(), Utf8ToWide(value).c_str()) == FALSE) {
        throw SystemException(__FILE__, __LINE__, "cannot set environment variable: " + name, 0);
    }
}

std::string Environment::Get(const std::string& name, const std::string& defaultValue) {
    const std::wstring wideName = Utf8ToWide(name);
    std::vector<wchar_t> buffer(256);
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD length = GetEnvironmentVariableW(wideName.c_str(), buffer.data(),
                                                     static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? defaultValue : std::string();
        }
        if (length < buffer.size()) {
            return WideToUtf8(std::wstring(buffer.data(), length));
        }
        buffer.resize(length);
    }
}

bool Environment::Has(const std::string& name) {
    return GetEnvironmentVariableW(Utf8ToWide(name).c_str(), nullptr, 0) != 0;
}

}  // namespace Orlix
