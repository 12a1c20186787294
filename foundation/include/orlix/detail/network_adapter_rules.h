#pragma once

// Decisions of the network adapter enumeration that need no Windows, kept apart so they are
// tested natively (the connection manager does not exist everywhere the code runs).

#include <cstdint>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace Orlix {
namespace detail {

// Interface types (IF_TYPE_*).
constexpr std::uint32_t kIfTypeEthernet = 6;
constexpr std::uint32_t kIfTypeSoftwareLoopback = 24;
constexpr std::uint32_t kIfTypeIeee80211 = 71;

// Connection statuses (NCS_*) under which a connection counts as enabled: connected, media
// disconnected (cable out, still enabled), authenticating, authenticated.
inline bool IsEnabledConnectionStatus(std::uint32_t status) noexcept {
    return status == 2 || status == 7 || status == 8 || status == 9;
}

// Adapter class characteristics (NCF_*): only a physical adapter with a user interface is a
// real network card; software adapters, miniports and filters lack one of the two.
constexpr std::uint32_t kNcfPhysical = 0x04;
constexpr std::uint32_t kNcfHasUi = 0x80;
inline bool IsVirtualByCharacteristics(std::uint32_t characteristics) noexcept {
    const std::uint32_t both = kNcfPhysical | kNcfHasUi;
    return (characteristics & both) != both;
}

// The entry of the system's adapter list (linked by `Next`, named by `AdapterName`) whose name
// is `guid` exactly, or null.
template <typename Entry>
const Entry* FindAdapterByName(const Entry* first, const std::string& guid) {
    for (const Entry* entry = first; entry != nullptr; entry = entry->Next) {
        if (entry->AdapterName != nullptr && std::strlen(entry->AdapterName) == guid.size() &&
            std::memcmp(entry->AdapterName, guid.data(), guid.size()) == 0) {
            return entry;
        }
    }
    return nullptr;
}

// The registry test for a virtual adapter over the network adapter class key: the first sub key
// (in `subKeys` order) whose NetCfgInstanceId is `guid` and which has Characteristics decides
// by those bits; no such sub key means a physical adapter. `open(name)` gives a pointer-like
// handle on a sub key with Exists(value), GetString(value) and GetInt(value). Anything that
// throws makes the adapter count as physical, so a broken class key never hides an adapter.
template <typename Open>
bool IsVirtualByClassKeys(const std::vector<std::string>& subKeys, const std::string& guid,
                          Open&& open) noexcept {
    try {
        for (const std::string& name : subKeys) {
            auto key = open(name);
            if (key->Exists("NetCfgInstanceId") && key->GetString("NetCfgInstanceId") == guid &&
                key->Exists("Characteristics")) {
                return IsVirtualByCharacteristics(key->GetInt("Characteristics"));
            }
        }
    } catch (...) {
    }
    return false;
}

}  // namespace detail
}  // namespace Orlix
