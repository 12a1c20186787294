#include <orlix/network_adapter.h>

#include <algorithm>
#include <utility>

#include <orlix/detail/network_adapter_rules.h>

namespace Orlix {

NetworkAdapter::NetworkAdapter(std::string guid, std::string name, std::string description)
    : guid_(std::move(guid)), name_(std::move(name)), description_(std::move(description)) {}

std::string NetworkAdapter::MacText(const std::string& separator) const {
    if (!macAddress_) {
        return std::string();
    }
    // Formatted by hand: the general formatter's streams would bring their locale machinery
    // into every module that shows a MAC address.
    static const char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < macAddress_->size(); ++i) {
        if (i > 0) {
            text += separator;
        }
        const unsigned byte = (*macAddress_)[i];
        text += kHex[byte >> 4];
        text += kHex[byte & 0x0F];
    }
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
