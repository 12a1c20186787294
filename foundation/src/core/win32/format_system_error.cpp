#include <orlix/exception.h>

#include <vector>

#include <orlix/string_conversion.h>

#include <windows.h>

namespace Orlix {

namespace {

std::string FormatFrom(DWORD source, const void* module, std::uint32_t code) {
    std::vector<wchar_t> buffer(64);
    DWORD length = 0;
    for (;;) {
        length = FormatMessageW(source | FORMAT_MESSAGE_IGNORE_INSERTS, module, code,
                                MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer.data(),
                                static_cast<DWORD>(buffer.size()), nullptr);
        if (length != 0 || GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    return WideToUtf8(std::wstring(buffer.data(), length));
}

}  // namespace

std::string FormatSystemError(std::uint32_t code) {
    return FormatFrom(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code);
}

std::string FormatModuleError(const void* module, std::uint32_t code) {
    return FormatFrom(FORMAT_MESSAGE_FROM_HMODULE, module, code);
}

}  // namespace Orlix
