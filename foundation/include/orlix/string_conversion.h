#pragma once

#include <string>

namespace Orlix {

// UTF-8 <-> UTF-16 over single 16-bit units, the same on every platform (even where wchar_t
// is wider): a surrogate pair becomes two three-byte sequences, a four-byte sequence becomes
// one unit holding the low 16 bits of its code point. Malformed UTF-8 (a stray continuation
// byte as lead, a bad continuation byte, a truncated tail, a code point above 0x10FFFF)
// fails. Embedded NULs are converted like any other character.
// Checking forms leave `out` untouched on failure; value forms return "" instead.
bool Utf8ToWide(const std::string& in, std::wstring& out);
std::wstring Utf8ToWide(const std::string& in);
bool WideToUtf8(const std::wstring& in, std::string& out);
std::string WideToUtf8(const std::wstring& in);

// The runtime library's current multibyte encoding (its locale; never changed here). These
// stop at the first NUL.
bool AnsiToWide(const std::string& in, std::wstring& out);
std::wstring AnsiToWide(const std::string& in);
bool WideToAnsi(const std::wstring& in, std::string& out);
std::string WideToAnsi(const std::wstring& in);
bool AnsiToUtf8(const std::string& in, std::string& out);
std::string AnsiToUtf8(const std::string& in);
bool Utf8ToAnsi(const std::string& in, std::string& out);
std::string Utf8ToAnsi(const std::string& in);

// Case-insensitive comparison through the runtime library's tolower: -1, 0 or 1; a prefix
// is less than the longer string.
int ICompare(const std::string& a, const std::string& b);

}  // namespace Orlix
