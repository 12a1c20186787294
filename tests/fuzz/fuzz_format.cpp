// Format over arbitrary format strings and argument lists: it may throw only
// InvalidArgumentException (an index out of range) and must not crash or read out of bounds.
#include <orlix/any.h>
#include <orlix/exception.h>
#include <orlix/format.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// The first byte gives the argument count (low 3 bits); each argument takes one byte choosing
// its type and one byte for its value. The rest is the format string.
Orlix::any MakeArgument(std::uint8_t type, std::uint8_t value) {
    const auto s = static_cast<std::int8_t>(value);
    switch (type % 16) {
        case 0:
            return static_cast<int>(s) * 1000;
        case 1:
            return static_cast<unsigned>(value) * 1000u;
        case 2:
            return static_cast<char>(value);
        case 3:
            return static_cast<unsigned char>(value);
        case 4:
            return static_cast<short>(s);
        case 5:
            return static_cast<long long>(s) * (1LL << 40);
        case 6:
            return static_cast<unsigned long long>(value) << 56;
        case 7:
            return static_cast<long>(s);
        case 8:
            return static_cast<unsigned long>(value);
        case 9:
            return static_cast<double>(s) / 3.0;
        case 10:
            return static_cast<float>(s) * 1e30f;
        case 11:
            return static_cast<long double>(s) * 1e300L;
        case 12:
            return (value & 1) != 0;
        case 13:
            return std::string(value % 8, 'x');
        case 14:
            return static_cast<signed char>(s);
        default:
            return Orlix::any();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    std::size_t pos = 1;
    const std::size_t count = data[0] & 7u;
    std::vector<Orlix::any> args;
    for (std::size_t i = 0; i < count && pos + 1 < size; ++i, pos += 2) {
        args.push_back(MakeArgument(data[pos], data[pos + 1]));
    }
    const std::string fmt(reinterpret_cast<const char*>(data) + pos, size - pos);
    std::string out;
    try {
        Orlix::Format(out, fmt, args);
    } catch (const Orlix::InvalidArgumentException&) {
    }
    return 0;
}
