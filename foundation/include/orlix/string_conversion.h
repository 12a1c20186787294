#pragma once

#include <string>

namespace Orlix {

// UTF-8 <-> UTF-16, the same on every platform (even where wchar_t is wider, the wide string
// holds UTF-16 units): code points above U+FFFF are surrogate pairs. Nothing is rejected:
// each maximal invalid UTF-8 subsequence (stray continuation byte, bad or missing
// continuation, overlong form, encoded surrogate, code point above U+10FFFF, 5- and 6-byte
// leads) decodes to one U+FFFD, and a lone surrogate encodes as U+FFFD. Embedded NULs are
// converted like any other character. The checking forms fail only when memory runs out
// (leaving `out` untouched); value forms then return "".
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
