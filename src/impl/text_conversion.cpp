#include "impl/text_conversion.h"

#include <windows.h>

#include <vector>

bool Utf8ToUtf16(const std::string& in, std::wstring& out) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, in.c_str(), -1, nullptr, 0);
    if (length <= 0) {
        return false;
    }
    std::vector<wchar_t> buffer(static_cast<size_t>(length));
    if (MultiByteToWideChar(CP_UTF8, 0, in.c_str(), -1, buffer.data(), length) <= 0) {
        return false;
    }
    out.assign(buffer.data());
    return true;
}

bool Utf16ToUtf8(const std::wstring& in, std::string& out) {
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, in.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return false;
    }
    std::vector<char> buffer(static_cast<size_t>(length));
    if (WideCharToMultiByte(CP_UTF8, 0, in.c_str(), -1, buffer.data(), length, nullptr, nullptr) <=
        0) {
        return false;
    }
    out.assign(buffer.data());
    return true;
}

std::wstring Utf8ToUtf16(const std::string& in) {
    std::wstring out;
    Utf8ToUtf16(in, out);
    return out;
}

std::string Utf16ToUtf8(const std::wstring& in) {
    std::string out;
    Utf16ToUtf8(in, out);
    return out;
}
