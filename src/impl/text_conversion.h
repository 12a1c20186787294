#pragma once

#include <string>

// UTF-8 <-> UTF-16 for text handed to and read from Win32 calls: the foundation's conversions
// (surrogate pairs joined and split, invalid input replaced by U+FFFD, never rejected),
// stopping at the first NUL of the source as a zero-terminated Win32 string would. The
// checking forms fail only when memory runs out, leaving `out` alone; the value forms then
// return an empty string.
bool Utf8ToUtf16(const std::string& in, std::wstring& out);
bool Utf16ToUtf8(const std::wstring& in, std::string& out);
std::wstring Utf8ToUtf16(const std::string& in);
std::string Utf16ToUtf8(const std::wstring& in);
