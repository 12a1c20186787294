#include <orlix/string_conversion.h>

#include <cctype>
#include <cstdint>
#include <cwchar>
#include <new>
#include <vector>

namespace Orlix {

namespace {

constexpr std::uint32_t kMaxCode = 0x10FFFF;

// Lenient UTF-8 decoding, one 16-bit unit per sequence: overlong forms and encoded
// surrogates are accepted (WideToUtf8 produces the latter for surrogate pairs), the five- and
// six-byte forms are read by their bit patterns and only the value limit rejects them.
bool DecodeUtf8(const std::string& in, std::wstring& out) {
    std::wstring result;
    result.reserve(in.size());
    const std::size_t size = in.size();
    std::size_t i = 0;
    while (i < size) {
        const auto lead = static_cast<unsigned char>(in[i]);
        std::uint32_t code = 0;
        std::size_t extra = 0;
        if (lead < 0x80) {
            code = lead;
        } else if (lead < 0xC0) {
            return false;
        } else if (lead < 0xE0) {
            code = lead & 0x1Fu;
            extra = 1;
        } else if (lead < 0xF0) {
            code = lead & 0x0Fu;
            extra = 2;
        } else if (lead < 0xF8) {
            code = lead & 0x07u;
            extra = 3;
        } else {
            code = lead & 0x03u;
            extra = lead < 0xFC ? 4 : 5;
        }
        if (size - i - 1 < extra) {
            return false;  // truncated at the end
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(in[i + k]);
            if (next < 0x80 || next >= 0xC0) {
                return false;
            }
            code = (code << 6) | (next & 0x3Fu);
        }
        if (code > kMaxCode) {
            return false;
        }
        result.push_back(static_cast<wchar_t>(static_cast<std::uint16_t>(code)));
        i += extra + 1;
    }
    out.swap(result);
    return true;
}

// Every unit a 16-bit wchar_t can hold has an encoding; where wchar_t is wider, values up to
// 0x10FFFF take four bytes and anything above fails.
bool EncodeUtf8(const std::wstring& in, std::string& out) {
    std::string result;
    result.reserve(in.size());
    for (wchar_t unit : in) {
        const auto code = static_cast<std::uint32_t>(unit);
        if (code < 0x80) {
            result.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            result.push_back(static_cast<char>(0xC0 | (code >> 6)));
            result.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            result.push_back(static_cast<char>(0xE0 | (code >> 12)));
            result.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code <= kMaxCode) {
            result.push_back(static_cast<char>(0xF0 | (code >> 18)));
            result.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            return false;
        }
    }
    out.swap(result);
    return true;
}

}  // namespace

bool Utf8ToWide(const std::string& in, std::wstring& out) {
    try {
        return DecodeUtf8(in, out);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

std::wstring Utf8ToWide(const std::string& in) {
    std::wstring out;
    Utf8ToWide(in, out);
    return out;
}

bool WideToUtf8(const std::wstring& in, std::string& out) {
    try {
        return EncodeUtf8(in, out);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

std::string WideToUtf8(const std::wstring& in) {
    std::string out;
    WideToUtf8(in, out);
    return out;
}

bool AnsiToWide(const std::string& in, std::wstring& out) {
    std::mbstate_t state{};
    const char* source = in.c_str();
    const std::size_t length = std::mbsrtowcs(nullptr, &source, 0, &state);
    if (length == static_cast<std::size_t>(-1)) {
        return false;
    }
    std::vector<wchar_t> buffer(length + 1);
    state = std::mbstate_t{};
    source = in.c_str();
    if (std::mbsrtowcs(buffer.data(), &source, length, &state) == static_cast<std::size_t>(-1)) {
        return false;
    }
    out.assign(buffer.data(), length);
    return true;
}

std::wstring AnsiToWide(const std::string& in) {
    std::wstring out;
    AnsiToWide(in, out);
    return out;
}

bool WideToAnsi(const std::wstring& in, std::string& out) {
    std::mbstate_t state{};
    const wchar_t* source = in.c_str();
    const std::size_t length = std::wcsrtombs(nullptr, &source, 0, &state);
    if (length == static_cast<std::size_t>(-1)) {
        return false;
    }
    std::vector<char> buffer(length + 1);
    state = std::mbstate_t{};
    source = in.c_str();
    if (std::wcsrtombs(buffer.data(), &source, length, &state) == static_cast<std::size_t>(-1)) {
        return false;
    }
    out.assign(buffer.data(), length);
    return true;
}

std::string WideToAnsi(const std::wstring& in) {
    std::string out;
    WideToAnsi(in, out);
    return out;
}

bool AnsiToUtf8(const std::string& in, std::string& out) {
    std::wstring wide;
    return AnsiToWide(in, wide) && WideToUtf8(wide, out);
}

std::string AnsiToUtf8(const std::string& in) {
    std::string out;
    AnsiToUtf8(in, out);
    return out;
}

bool Utf8ToAnsi(const std::string& in, std::string& out) {
    std::wstring wide;
    return Utf8ToWide(in, wide) && WideToAnsi(wide, out);
}

std::string Utf8ToAnsi(const std::string& in) {
    std::string out;
    Utf8ToAnsi(in, out);
    return out;
}

int ICompare(const std::string& a, const std::string& b) {
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < common; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

}  // namespace Orlix
