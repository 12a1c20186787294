#pragma once

// The text of a log record, built as a stream would build it ("<<" of text and numbers, with
// the default format: decimal integers, bools as 1 and 0, six significant digits), without the
// standard streams: they bring the library's whole locale machinery into the module, about a
// megabyte that every load of the module pays for.

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <type_traits>

namespace quarnel {

class LogText {
public:
    LogText& operator<<(std::string_view text) {
        text_.append(text.data(), text.size());
        return *this;
    }
    LogText& operator<<(const std::string& text) { return *this << std::string_view(text); }
    LogText& operator<<(const char* text) {
        if (text == nullptr) {
            return *this;  // a stream would stop taking text; the record keeps what it has
        }
        return *this << std::string_view(text);
    }
    LogText& operator<<(char c) {
        text_ += c;
        return *this;
    }
    // Any other pointer as its address, as a stream shows it: "0x" and lowercase hex, a null
    // one as 0.
    LogText& operator<<(const void* pointer) {
        const auto address = reinterpret_cast<std::uintptr_t>(pointer);
        if (address != 0) {
            text_ += "0x";
        }
        char digits[20];
        const auto end = std::to_chars(digits, digits + sizeof digits, address, 16).ptr;
        text_.append(digits, static_cast<size_t>(end - digits));
        return *this;
    }
    LogText& operator<<(bool value) { return *this << (value ? '1' : '0'); }
    LogText& operator<<(double value) {
        char digits[32];
        const int length = std::snprintf(digits, sizeof digits, "%g", value);
        if (length > 0) {
            text_.append(digits, static_cast<size_t>(length) < sizeof digits
                                     ? static_cast<size_t>(length)
                                     : sizeof digits - 1);
        }
        return *this;
    }
    // Every other integer type, characters of other widths among them, as a stream shows it:
    // signed char and unsigned char are characters to a stream, so they are here too.
    template <typename Integer,
              std::enable_if_t<std::is_integral_v<Integer> && !std::is_same_v<Integer, bool> &&
                                   !std::is_same_v<Integer, char>,
                               int> = 0>
    LogText& operator<<(Integer value) {
        if constexpr (std::is_same_v<Integer, signed char> ||
                      std::is_same_v<Integer, unsigned char>) {
            return *this << static_cast<char>(value);
        } else {
            char digits[24];
            const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
            text_.append(digits, static_cast<size_t>(end - digits));
            return *this;
        }
    }
    // Enumerations as their numbers, as a stream shows an unscoped one.
    template <typename Enum, std::enable_if_t<std::is_enum_v<Enum>, int> = 0>
    LogText& operator<<(Enum value) {
        return *this << static_cast<std::underlying_type_t<Enum>>(value);
    }

    const std::string& str() const noexcept { return text_; }

private:
    std::string text_;
};

}  // namespace quarnel
