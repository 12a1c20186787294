#pragma once

#include <cstdint>
#include <limits>
#include <optional>

namespace quarnel {

// Absolute mouse coordinates are given to the system on a 0..65536 scale over the virtual
// desktop, and the system maps them back to a pixel as value * extent / 65536, truncated. The
// scaling is therefore pixel * 65536 / extent rounded up: the smallest value that maps back to
// the pixel itself (truncating here too would land one pixel short wherever the division is
// not exact). The shift is 32-bit and wraps modulo 2^32 for pixels of 32768 and more. Nothing
// when the extent is 0, which leaves the caller to report that instead of dividing.
inline std::optional<int32_t> NormaliseAbsolute(int32_t pixel, int32_t extent) {
    if (extent == 0) {
        return std::nullopt;
    }
    const auto shifted = static_cast<int32_t>(static_cast<uint32_t>(pixel) << 16);
    if (shifted == std::numeric_limits<int32_t>::min() && extent == -1) {
        return shifted;  // the one quotient that does not fit: wrap as the hardware would
    }
    const int32_t quotient = shifted / extent;
    // Division truncates toward zero, which already rounds a negative quotient up.
    const bool positive = (shifted > 0) == (extent > 0);
    return shifted % extent != 0 && positive ? quotient + 1 : quotient;
}

// Button event flags of the system's mouse input records.
enum MouseEventFlag : uint32_t {
    kMouseMove = 0x0001,
    kMouseLeftDown = 0x0002,
    kMouseLeftUp = 0x0004,
    kMouseRightDown = 0x0008,
    kMouseRightUp = 0x0010,
    kMouseVirtualDesk = 0x4000,
    kMouseAbsolute = 0x8000,
};

constexpr uint32_t kMouseAbsoluteMoveFlags = kMouseMove | kMouseVirtualDesk | kMouseAbsolute;

// What a mouse operation returns: -1 when every record went in, else the error the system set
// (0 when it set none).
inline int32_t MouseInputResult(uint32_t injected, uint32_t requested, uint32_t lastError) {
    return injected == requested ? -1 : static_cast<int32_t>(lastError);
}

}  // namespace quarnel
