#pragma once

#include <string>

// UTF-8 <-> UTF-16 over the system code-page functions, for text handed to and read from
// Win32 calls. Both stop at the first NUL of the source; invalid input is replaced by the
// system, not reported. The checking forms return false (leaving `out` alone) when the
// system cannot convert; the value forms then return an empty string.
bool Utf8ToUtf16(const std::string& in, std::wstring& out);
bool Utf16ToUtf8(const std::wstring& in, std::string& out);
std::wstring Utf8ToUtf16(const std::string& in);
std::string Utf16ToUtf8(const std::wstring& in);
