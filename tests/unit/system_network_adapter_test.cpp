#include "core/network_adapter_logic.h"

#include <orlix/detail/network_adapter_rules.h>
#include <orlix/network_adapter.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace quarnel;
using Orlix::NetworkAdapter;

TEST(SystemNetworkAdapter, MacTextTakesSixBytesOfTheHardwareAddress) {
    struct Case {
        std::vector<unsigned char> address;
        const char* separator;
        const char* text;
    } const cases[] = {
        {{0x00, 0x15, 0x5d, 0x0a, 0xff, 0x01}, ":", "00:15:5D:0A:FF:01"},
        {{0x0a, 0x1b, 0x2c, 0x3d, 0x4e, 0xf0}, "", "0A1B2C3D4EF0"},
        {{0x0a, 0x1b, 0x2c, 0x3d, 0x4e, 0xf0}, " - ", "0A - 1B - 2C - 3D - 4E - F0"},
        {{0xab, 0xcd, 0xef, 0x12}, ":", "AB:CD:EF:12:00:00"},  // short: zero padded
        {{1, 2, 3, 4, 5, 6, 7, 8}, ":", "01:02:03:04:05:06"},  // EUI-64 style: cut
        {{}, ":", "00:00:00:00:00:00"},  // found, but no hardware address (loopback)
    };
    for (const Case& c : cases) {
        NetworkAdapter adapter("{G}", "n", "d");
        adapter.SetPhysicalAddress(c.address.data(), c.address.size());
        EXPECT_EQ(adapter.MacText(c.separator), c.text);
    }
}

TEST(SystemNetworkAdapter, InterfaceTypeAndConnectionStatus) {
    struct TypeCase {
        std::uint32_t ifType;
        bool loopback, ethernet, wireless;
    } const types[] = {
        {6, false, true, false},     // IF_TYPE_ETHERNET_CSMACD
        {24, true, false, false},    // IF_TYPE_SOFTWARE_LOOPBACK
        {71, false, false, true},    // IF_TYPE_IEEE80211
        {131, false, false, false},  // IF_TYPE_TUNNEL
    };
    for (const TypeCase& c : types) {
        NetworkAdapter adapter;
        adapter.SetInterfaceType(c.ifType);
        EXPECT_EQ(adapter.IsLoopback(), c.loopback) << c.ifType;
        EXPECT_EQ(adapter.IsEthernet(), c.ethernet) << c.ifType;
        EXPECT_EQ(adapter.IsWireless(), c.wireless) << c.ifType;
    }

    // NCS_DISCONNECTED 0 ... NCS_CREDENTIALS_REQUIRED 12: connected (2), media disconnected
    // (7) and the two authentication states (8, 9) count as enabled.
    const bool enabled[13] = {false, false, true, false, false, false, false,
                              true,  true,  true, false, false, false};
    for (std::uint32_t status = 0; status < 13; ++status) {
        NetworkAdapter adapter;
        adapter.SetConnectionStatus(status);
        EXPECT_EQ(adapter.IsEnabled(), enabled[status]) << status;
    }
}

TEST(SystemNetworkAdapter, CharacteristicsMarkVirtualAdapters) {
    const std::pair<std::uint32_t, bool> cases[] = {
        {0x84, false},        // NCF_PHYSICAL | NCF_HAS_UI: a wired card
        {0xffffffff, false},  // any other bits do not matter
        {0x80, true},         // software adapter with a UI
        {0x04, true},         // physical without NCF_HAS_UI
        {0x29, true},         // NCF_VIRTUAL | NCF_HIDDEN | NCF_NOT_USER_REMOVABLE
    };
    for (const auto& [characteristics, isVirtual] : cases) {
        EXPECT_EQ(Orlix::detail::IsVirtualByCharacteristics(characteristics), isVirtual)
            << std::hex << characteristics;
    }
}

// The two fields of the system's adapter list entry that the lookup reads.
struct FakeEntry {
    const char* AdapterName;
    const FakeEntry* Next;
};

TEST(SystemNetworkAdapter, AdapterFoundByItsExactName) {
    const FakeEntry third{"{AB-2}", nullptr};
    const FakeEntry second{"{AB-1}", &third};
    const FakeEntry first{nullptr, &second};
    const FakeEntry twin{"{AB-2}", nullptr};
    const FakeEntry earlier{"{AB-2}", &twin};
    struct Case {
        const FakeEntry* list;
        const char* guid;
        const FakeEntry* found;
    } const cases[] = {
        {&first, "{AB-1}", &second},    {&first, "{AB-2}", &third},
        {&first, "{ab-1}", nullptr},   // case matters
        {&first, "{AB-1", nullptr},    // neither prefix ...
        {&first, "{AB-1}x", nullptr},  // ... nor extension
        {&first, "", nullptr},          {nullptr, "{AB-1}", nullptr},
        {&earlier, "{AB-2}", &earlier},  // the first of two
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Orlix::detail::FindAdapterByName(c.list, c.guid), c.found) << c.guid;
    }
}

// A class sub key: string and number values; reading a missing value or one of the other
// type throws, as the registry does.
struct FakeKey {
    std::map<std::string, std::string> strings;
    std::map<std::string, std::uint32_t> numbers;

    bool Exists(const std::string& name) const {
        return strings.count(name) != 0 || numbers.count(name) != 0;
    }
    std::string GetString(const std::string& name) const { return strings.at(name); }
    std::uint32_t GetInt(const std::string& name) const { return numbers.at(name); }
};

FakeKey Instance(const std::string& id, std::uint32_t characteristics) {
    return FakeKey{{{"NetCfgInstanceId", id}}, {{"Characteristics", characteristics}}};
}

TEST(SystemNetworkAdapter, ClassKeysDecideVirtual) {
    const std::string guid = "{5F2A-77}";
    const FakeKey noCharacteristics{{{"NetCfgInstanceId", guid}}, {}};
    const FakeKey textCharacteristics{{{"NetCfgInstanceId", guid}, {"Characteristics", "132"}}, {}};
    const FakeKey numericId{{}, {{"NetCfgInstanceId", 7}, {"Characteristics", 0x80}}};
    struct Case {
        const char* what;
        std::vector<FakeKey> keys;  // listed as sub keys "0000", "0001", ...
        bool isVirtual;
    } const cases[] = {
        {"no sub keys", {}, false},
        {"other adapters only", {Instance("{OTHER}", 0x80), Instance("{5f2a-77}", 0x80)}, false},
        {"wired card", {Instance("{OTHER}", 0x80), Instance(guid, 0x84)}, false},
        {"software adapter", {Instance(guid, 0x80)}, true},
        {"no user interface", {Instance(guid, 0x04)}, true},
        {"a match without characteristics is skipped",
         {noCharacteristics, Instance(guid, 0x80)},
         true},
        {"only a match without characteristics", {noCharacteristics}, false},
        {"first full match wins", {Instance(guid, 0x84), Instance(guid, 0x80)}, false},
        {"characteristics of another type", {textCharacteristics, Instance(guid, 0x80)}, false},
        {"instance id of another type", {numericId, Instance(guid, 0x80)}, false},
    };
    for (const Case& c : cases) {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < c.keys.size(); ++i) {
            names.push_back("000" + std::to_string(i));
        }
        const bool isVirtual =
            Orlix::detail::IsVirtualByClassKeys(names, guid, [&](const std::string& name) {
                return std::make_unique<FakeKey>(c.keys.at(std::stoul(name)));
            });
        EXPECT_EQ(isVirtual, c.isVirtual) << c.what;
    }

    const bool failedOpen = Orlix::detail::IsVirtualByClassKeys(
        {"0000"}, guid, [](const std::string&) -> std::unique_ptr<FakeKey> {
            throw std::runtime_error("Cannot open registry key");
        });
    EXPECT_FALSE(failedOpen);
}

TEST(SystemNetworkAdapter, ReportsPhysicalNonLoopbackAdaptersInOrder) {
    const unsigned char wired[] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    const unsigned char wifi[] = {0xf8, 0x00, 0x00, 0x00, 0x00, 0x01};
    auto adapter = [](const unsigned char* mac, bool isVirtual, std::uint32_t ifType) {
        NetworkAdapter a("{G}", "n", "d");
        if (mac != nullptr) {
            a.SetPhysicalAddress(mac, 6);
            a.SetInterfaceType(ifType);
        }
        a.SetVirtual(isVirtual);
        return a;
    };
    const std::vector<NetworkAdapter> adapters = {
        adapter(wifi, false, 71),   adapter(wired, true, 6),  // virtual: left out
        adapter(nullptr, false, 0),  // not in the system's list: kept, no text
        adapter(wired, false, 24),   // loopback: left out
        adapter(wired, false, 6),   adapter(wired, false, 6),  // duplicates stay
    };
    const std::vector<std::string> expected = {"F8:00:00:00:00:01", "", "00:1A:2B:3C:4D:5E",
                                               "00:1A:2B:3C:4D:5E"};
    EXPECT_EQ(PhysicalMacTexts(adapters), expected);
}

}  // namespace
