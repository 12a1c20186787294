#pragma once

// Which adapters' MAC addresses the module reports, and how.

#include <orlix/network_adapter.h>

#include <string>
#include <vector>

namespace quarnel {

// The MAC texts ("AA:BB:CC:DD:EE:FF") of the physical, non-loopback adapters, in the order
// given. Duplicates stay; an adapter the system's adapter list did not show gives "".
inline std::vector<std::string> PhysicalMacTexts(
    const std::vector<Orlix::NetworkAdapter>& adapters) {
    std::vector<std::string> texts;
    for (const Orlix::NetworkAdapter& adapter : adapters) {
        if (adapter.IsVirtual() || adapter.IsLoopback()) {
            continue;
        }
        texts.push_back(adapter.MacText(":"));
    }
    return texts;
}

}  // namespace quarnel
