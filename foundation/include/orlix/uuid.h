#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace Orlix {

// A 128-bit UUID in RFC 4122 byte order: the GUID's first three fields most significant byte
// first, its last eight bytes as they are.
class Uuid {
public:
    using Bytes = std::array<std::uint8_t, 16>;

    Uuid() noexcept = default;  // all zero
    explicit Uuid(const Bytes& bytes) noexcept : bytes_(bytes) {}

    // A new random UUID from the system (CoCreateGuid). Windows only; throws SystemException
    // when the system cannot make one.
    static Uuid Create();

    // Two hexadecimal digits per byte, `separator` after the 4th, 6th, 8th and 10th byte:
    // ToString("-", true) gives the familiar 8-4-4-4-12 upper-case form.
    std::string ToString(const std::string& separator = "-", bool upperCase = true) const;

    const Bytes& Data() const noexcept { return bytes_; }
    bool operator==(const Uuid& other) const noexcept { return bytes_ == other.bytes_; }
    bool operator!=(const Uuid& other) const noexcept { return bytes_ != other.bytes_; }
    bool operator<(const Uuid& other) const noexcept { return bytes_ < other.bytes_; }

private:
    Bytes bytes_{};
};

}  // namespace Orlix
