#include <orlix/string_conversion.h>

#include <cctype>
#include <cstdint>
#include <cwchar>
#include <new>
#include <vector>

namespace Orlix {

namespace {

constexpr std::uint32_t kMaxCode = 0x10FFFF;
constexpr wchar_t kReplacement = 0xFFFD;

void AppendCodePoint(std::uint32_t code, std::wstring& out) {
    if (code < 0x10000) {
        out.push_back(static_cast<wchar_t>(code));
        return;
    }
    code -= 0x10000;
    out.push_back(static_cast<wchar_t>(0xD800 | (code >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 | (code & 0x3FF)));
}

void AppendUtf8(std::uint32_t code, std::string& out) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// The decoder browsers use: each maximal invalid subsequence (a byte that cannot start a
// sequence, or a valid start cut short by a byte that cannot continue it or by the end)
// becomes one U+FFFD. The narrowed ranges of the second byte after E0, ED, F0 and F4 are what
// shut out overlong forms, encoded surrogates and code points above U+10FFFF.
std::wstring DecodeUtf8(const std::string& in) {
    std::wstring result;
    result.reserve(in.size());
    const std::size_t size = in.size();
    std::size_t i = 0;
    while (i < size) {
        const auto lead = static_cast<unsigned char>(in[i++]);
        if (lead < 0x80) {
            result.push_back(static_cast<wchar_t>(lead));
            continue;
        }
        std::size_t needed = 0;
        std::uint32_t code = 0;
        unsigned char lower = 0x80;
        unsigned char upper = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            needed = 1;
            code = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            needed = 2;
            code = lead & 0x0Fu;
            lower = lead == 0xE0 ? 0xA0 : 0x80;
            upper = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            needed = 3;
            code = lead & 0x07u;
            lower = lead == 0xF0 ? 0x90 : 0x80;
            upper = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            result.push_back(kReplacement);
            continue;
        }
        bool complete = true;
        for (; needed > 0; --needed) {
            if (i == size) {
                complete = false;
                break;
            }
            const auto next = static_cast<unsigned char>(in[i]);
            if (next < lower || next > upper) {
                complete = false;  // the offending byte starts the next round
                break;
            }
            code = (code << 6) | (next & 0x3Fu);
            lower = 0x80;
            upper = 0xBF;
            ++i;
        }
        if (complete) {
            AppendCodePoint(code, result);
        } else {
            result.push_back(kReplacement);
        }
    }
    return result;
}

// Surrogate pairs join into one four-byte sequence; a surrogate without its partner has no
// UTF-8 form and becomes U+FFFD. Where wchar_t is wider than 16 bits, a value above U+FFFF is
// taken as the code point itself.
std::string EncodeUtf8(const std::wstring& in) {
    std::string result;
    result.reserve(in.size());
    const std::size_t size = in.size();
    for (std::size_t i = 0; i < size; ++i) {
        auto code = static_cast<std::uint32_t>(in[i]);
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < size) {
            const auto low = static_cast<std::uint32_t>(in[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if ((code >= 0xD800 && code <= 0xDFFF) || code > kMaxCode) {
            code = kReplacement;
        }
        AppendUtf8(code, result);
    }
    return result;
}

}  // namespace

bool Utf8ToWide(const std::string& in, std::wstring& out) {
    try {
        out = DecodeUtf8(in);
        return true;
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
        out = EncodeUtf8(in);
        return true;
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
