#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Orlix {

// One network connection as the system's connection manager knows it, with the data of the
// adapter behind it and its classification. Copyable; owns its MAC address.
class NetworkAdapter {
public:
    using MacAddress = std::array<unsigned char, 6>;

    NetworkAdapter() = default;
    NetworkAdapter(std::string guid, std::string name, std::string description);

    // The connections in the connection manager's order (Windows only); empty when the
    // manager cannot be used. Each call asks the system afresh.
    static std::vector<NetworkAdapter> List();

    // The six bytes as upper-case hexadecimal pairs joined by `separator`; "" when the
    // adapter has no MAC address (it was not found among the system's adapters).
    std::string MacText(const std::string& separator) const;

    const std::string& Guid() const noexcept { return guid_; }
    const std::string& Name() const noexcept { return name_; }
    const std::string& Description() const noexcept { return description_; }
    const std::vector<std::string>& Ipv4Addresses() const noexcept { return ipv4Addresses_; }
    const std::optional<MacAddress>& Mac() const noexcept { return macAddress_; }
    std::uint64_t TransmitLinkSpeed() const noexcept { return transmitLinkSpeed_; }
    bool IsLoopback() const noexcept { return isLoopback_; }
    bool IsEthernet() const noexcept { return isEthernet_; }
    bool IsVirtual() const noexcept { return isVirtual_; }
    bool IsWireless() const noexcept { return isWireless_; }
    bool IsEnabled() const noexcept { return isEnabled_; }

    // Filling from the system's data.
    // `length` bytes of a hardware address: shorter ones are padded with zero bytes, longer
    // ones cut to six.
    void SetPhysicalAddress(const unsigned char* address, std::size_t length);
    void AddIpv4Address(const std::string& address) { ipv4Addresses_.push_back(address); }
    void SetTransmitLinkSpeed(std::uint64_t bitsPerSecond) noexcept {
        transmitLinkSpeed_ = bitsPerSecond;
    }
    // The interface type (IF_TYPE_*) decides loopback, Ethernet and wireless.
    void SetInterfaceType(std::uint32_t ifType) noexcept;
    // The connection status (NCS_*) decides whether the connection counts as enabled.
    void SetConnectionStatus(std::uint32_t status) noexcept;
    void SetVirtual(bool isVirtual) noexcept { isVirtual_ = isVirtual; }

private:
    std::string guid_;
    std::string name_;
    std::string description_;
    std::vector<std::string> ipv4Addresses_;
    std::optional<MacAddress> macAddress_;
    std::uint64_t transmitLinkSpeed_ = 0;
    // Defaults describe an adapter the system's adapter list did not show.
    bool isLoopback_ = false;
    bool isEthernet_ = true;
    bool isVirtual_ = false;
    bool isWireless_ = false;
    bool isEnabled_ = true;
};

}  // namespace Orlix
