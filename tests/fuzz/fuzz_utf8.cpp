// The UTF-8 conversions over arbitrary bytes, checked against their own guarantees: decoding
// never fails and yields well-formed UTF-16 no longer than the input; text that decodes
// without a replacement comes back byte for byte; any sequence of 16-bit units survives the
// trip through UTF-8 except its lone surrogates, each of which comes back as one U+FFFD.
#include <orlix/string_conversion.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool IsHigh(std::uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLow(std::uint32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Each unit that is not half of a high-low pair.
std::wstring ReplaceLoneSurrogates(std::wstring units) {
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto unit = static_cast<std::uint32_t>(units[i]);
        if (IsHigh(unit) && i + 1 < units.size() &&
            IsLow(static_cast<std::uint32_t>(units[i + 1]))) {
            ++i;
        } else if (IsHigh(unit) || IsLow(unit)) {
            units[i] = 0xFFFD;
        }
    }
    return units;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    std::wstring wide;
    if (!Orlix::Utf8ToWide(bytes, wide) || wide.size() > bytes.size() ||
        ReplaceLoneSurrogates(wide) != wide) {
        std::abort();
    }
    std::string again;
    if (!Orlix::WideToUtf8(wide, again) || Orlix::Utf8ToWide(again) != wide) {
        std::abort();
    }
    if (wide.find(L'\xFFFD') == std::wstring::npos && again != bytes) {
        std::abort();
    }

    std::wstring units;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        units.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    }
    std::string utf8;
    if (!Orlix::WideToUtf8(units, utf8) || utf8.size() > units.size() * 3 ||
        Orlix::Utf8ToWide(utf8) != ReplaceLoneSurrogates(units)) {
        std::abort();
    }
    return 0;
}
