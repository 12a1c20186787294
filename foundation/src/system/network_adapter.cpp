#include <orlix/network_adapter.h>

#include <algorithm>
#include <utility>

#include <orlix/detail/network_adapter_rules.h>
#include <orlix/format.h>

namespace Orlix {

NetworkAdapter::NetworkAdapter(std::string guid, std::string name, std::string description)
    : guid_(std::move(guid)), name_(std::move(name)), description_(std::move(description)) {}

std::string NetworkAdapter::MacText(const std::string& separator) const {
    if (!macAddress_) {
        return std::string();
    }
    std::string format = "%02?X";
    for (int i = 1; i < 6; ++i) {
        format += separator + "%02?X";
    }
    const MacAddress& mac = *macAddress_;
    std::string text;
    Format(text, format, mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

void NetworkAdapter::SetPhysicalAddress(const unsigned char* address, std::size_t length) {
    // The system's field holds at most eight bytes; a MAC address is the first six.
    unsigned char bytes[8] = {};
    std::copy_n(address, std::min<std::size_t>(length, sizeof bytes), bytes);
    MacAddress mac;
    std::copy_n(bytes, mac.size(), mac.begin());
    macAddress_ = mac;
}

void NetworkAdapter::SetInterfaceType(std::uint32_t ifType) noexcept {
    isLoopback_ = ifType == detail::kIfTypeSoftwareLoopback;
    isEthernet_ = ifType == detail::kIfTypeEthernet;
    isWireless_ = ifType == detail::kIfTypeIeee80211;
}

void NetworkAdapter::SetConnectionStatus(std::uint32_t status) noexcept {
    isEnabled_ = detail::IsEnabledConnectionStatus(status);
}

}  // namespace Orlix
