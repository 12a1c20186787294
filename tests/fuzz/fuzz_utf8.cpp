// The UTF-8 conversions over arbitrary bytes, checked against their own guarantees: what
// decodes is single 16-bit units that encode and decode back unchanged, and any sequence of
// 16-bit units survives the trip through UTF-8.
#include <orlix/string_conversion.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    std::wstring wide = L"untouched";
    if (Orlix::Utf8ToWide(bytes, wide)) {
        if (wide.size() > bytes.size()) {
            std::abort();
        }
        for (wchar_t unit : wide) {
            if (static_cast<std::uint32_t>(unit) > 0xFFFF) {
                std::abort();
            }
        }
        std::string again;
        if (!Orlix::WideToUtf8(wide, again) || Orlix::Utf8ToWide(again) != wide) {
            std::abort();
        }
    } else if (wide != L"untouched" || !Orlix::Utf8ToWide(bytes).empty()) {
        std::abort();
    }

    std::wstring units;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        units.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    }
    std::string utf8;
    if (!Orlix::WideToUtf8(units, utf8) || utf8.size() > units.size() * 3 ||
        Orlix::Utf8ToWide(utf8) != units) {
        std::abort();
    }
    return 0;
}
