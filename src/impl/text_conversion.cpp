#include "impl/text_conversion.h"

#include <orlix/string_conversion.h>

// The system's code-page functions are not used: how they treat a lone surrogate or a
// malformed sequence differs between Windows versions (and Wine), and this text has to match
// what the foundation wrote to the registry and read from the process list.
bool Utf8ToUtf16(const std::string& in, std::wstring& out) {
    return Orlix::Utf8ToWide(in.substr(0, in.find('\0')), out);
}

bool Utf16ToUtf8(const std::wstring& in, std::string& out) {
    return Orlix::WideToUtf8(in.substr(0, in.find(L'\0')), out);
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
