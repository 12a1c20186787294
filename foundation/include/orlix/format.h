#pragma once

#include <string>
#include <type_traits>
#include <vector>

#include <orlix/any.h>

namespace Orlix {

// printf-like formatting over dynamically typed arguments, appended to `out`.
//   %[flags][width][.precision][modifier]conversion   flags # + - 0; width/precision digits or *
//   %[n]...   applies the conversion to argument n (from 0) without moving the cursor
//   modifiers l L h ?  ("?" takes any integer type); conversions d i o u x X e E f b c s z
// Integer conversions with an argument of another type write nothing and leave the argument
// for the next conversion; other typed reads that fail write "[ERRFMT]". Any other
// conversion character is written as itself. Widths and precisions above 4096 count as 4096. Throws
// InvalidArgumentException only for an argument index out of range.
void Format(std::string& out, const std::string& fmt, const std::vector<any>& args);

namespace detail {
template <typename T>
struct IsArgumentList : std::is_same<std::decay_t<T>, std::vector<any>> {};

// Literal text is packed as std::string, the type "%s" reads.
template <typename T>
any Pack(const T& value) {
    if constexpr (std::is_convertible<const T&, const char*>::value) {
        return any(std::string(value));
    } else {
        return any(value);
    }
}
}  // namespace detail

// Convenience forms: each value is packed into an any, in order.
template <typename Fmt, typename... Args,
          typename = std::enable_if_t<std::is_convertible<const Fmt&, std::string>::value &&
                                      !std::disjunction<detail::IsArgumentList<Args>...>::value>>
void Format(std::string& out, const Fmt& fmt, const Args&... args) {
    Format(out, std::string(fmt), std::vector<any>{detail::Pack(args)...});
}

template <typename... Args,
          typename = std::enable_if_t<!std::disjunction<detail::IsArgumentList<Args>...>::value>>
std::string Format(const std::string& fmt, const Args&... args) {
    std::string out;
    Format(out, fmt, std::vector<any>{detail::Pack(args)...});
    return out;
}

}  // namespace Orlix
