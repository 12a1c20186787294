#include <orlix/network_adapter.h>

// winsock2.h must come before windows.h, which the other foundation headers include.
#include <winsock2.h>
#include <iphlpapi.h>
#include <netcon.h>
#include <objbase.h>
#include <windows.h>

#include <memory>
#include <vector>

#include <orlix/com_initializer.h>
#include <orlix/detail/network_adapter_rules.h>
#include <orlix/shared_library.h>
#include <orlix/string_conversion.h>
#include <orlix/unique_resource.h>
#include <orlix/win_registry.h>

namespace Orlix {

// The portable rules keep copies of these so that they are tested without Windows.
static_assert(detail::kIfTypeEthernet == IF_TYPE_ETHERNET_CSMACD &&
                  detail::kIfTypeSoftwareLoopback == IF_TYPE_SOFTWARE_LOOPBACK &&
                  detail::kIfTypeIeee80211 == IF_TYPE_IEEE80211,
              "interface types");
static_assert(NCS_CONNECTED == 2 && NCS_MEDIA_DISCONNECTED == 7 && NCS_AUTHENTICATING == 8 &&
                  NCS_AUTHENTICATION_SUCCEEDED == 9,
              "the connection statuses IsEnabledConnectionStatus names");

namespace {

// Spelled out rather than taken from the SDK's uuid library, which not every toolchain ships
// with these two.
const CLSID kClsidConnectionManager = {
    0xBA126AD1, 0x2166, 0x11D1, {0xB1, 0xD0, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};
const IID kIidConnectionManager = {
    0xC08956A2, 0x1CD3, 0x11D1, {0xB1, 0xC5, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};

const char kAdapterClassKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002bE10318}";

template <typename Interface>
void ReleaseInterface(Interface* object) noexcept {
    object->Release();
}
template <typename Interface>
using ComPtr = unique_resource<Interface*, ReleaseInterface<Interface>>;

using FreePropertiesFn = void(WINAPI*)(NETCON_PROPERTIES*);
using PropertiesPtr = std::unique_ptr<NETCON_PROPERTIES, FreePropertiesFn>;

std::string GuidText(const GUID& guid) {
    wchar_t text[39] = {};
    if (StringFromGUID2(guid, text, 39) == 0) {
        return std::string();
    }
    return WideToUtf8(text);
}

// The system's adapter list (IPv4 interfaces, including those that are down), asked afresh.
// Empty when the system does not answer.
std::vector<unsigned char> QueryAdapterAddresses() {
    constexpr ULONG kFlags = GAA_FLAG_INCLUDE_ALL_INTERFACES;
    ULONG size = 0;
    std::vector<unsigned char> buffer;
    ULONG result = GetAdaptersAddresses(AF_INET, kFlags, nullptr, nullptr, &size);
    // Adapters come and go between two calls, so the size may grow again; a few rounds suffice.
    for (int attempt = 0; result == ERROR_BUFFER_OVERFLOW && attempt < 8; ++attempt) {
        buffer.assign(size, 0);
        result =
            GetAdaptersAddresses(AF_INET, kFlags, nullptr,
                                 reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (result != NO_ERROR) {
        buffer.clear();
    }
    return buffer;
}

void FillFromSystemAdapters(NetworkAdapter& adapter) {
    const std::vector<unsigned char> buffer = QueryAdapterAddresses();
    if (buffer.empty()) {
        return;
    }
    const IP_ADAPTER_ADDRESSES* entry = detail::FindAdapterByName(
        reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()), adapter.Guid());
    if (entry == nullptr) {
        return;
    }
    adapter.SetPhysicalAddress(entry->PhysicalAddress, entry->PhysicalAddressLength);
    for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = entry->FirstUnicastAddress; unicast != nullptr;
         unicast = unicast->Next) {
        const SOCKADDR* address = unicast->Address.lpSockaddr;
        if (address != nullptr && address->sa_family == AF_INET) {
            const char* text = inet_ntoa(reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
            adapter.AddIpv4Address(text != nullptr ? text : "");
        }
    }
    adapter.SetTransmitLinkSpeed(entry->TransmitLinkSpeed);
    adapter.SetInterfaceType(entry->IfType);
}

bool IsVirtualAdapter(const std::string& guid) noexcept {
    try {
        std::vector<std::string> subKeys;
        WinRegistry(HKEY_LOCAL_MACHINE, kAdapterClassKey, true, false, true).SubKeys(subKeys);
        return detail::IsVirtualByClassKeys(subKeys, guid, [](const std::string& name) {
            return std::make_unique<WinRegistry>(
                HKEY_LOCAL_MACHINE, std::string(kAdapterClassKey) + "\\" + name, true, false, true);
        });
    } catch (...) {
        return false;
    }
}

}  // namespace

std::vector<NetworkAdapter> NetworkAdapter::List() {
    std::vector<NetworkAdapter> adapters;
    // Declared in the order they must be given back in reverse: the enumerator before the
    // library, the library before COM.
    const ComInitializer com;
    SharedLibrary netshell;
    ComPtr<INetConnectionManager> manager;
    ComPtr<IEnumNetConnection> enumerator;

    // Only System32's copy: a file of that name beside the application or in its working
    // directory would otherwise be found first and its code run. Loaded before the connection
    // manager is asked, so that the rule holds on systems where the manager is missing too.
    netshell.Reset(LoadLibraryExW(L"netshell.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (netshell.Module() == nullptr) {
        return adapters;
    }
    const auto freeProperties = reinterpret_cast<FreePropertiesFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(netshell.Module(), "NcFreeNetconProperties")));
    if (freeProperties == nullptr) {
        return adapters;
    }

    if (FAILED(CoCreateInstance(kClsidConnectionManager, nullptr,
                                CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
                                kIidConnectionManager, reinterpret_cast<void**>(manager.put())))) {
        return adapters;
    }
    if (FAILED(manager.get()->EnumConnections(NCME_DEFAULT, enumerator.put()))) {
        return adapters;
    }
    manager.reset();

    for (;;) {
        // The connection is released before its properties are freed.
        PropertiesPtr properties(nullptr, freeProperties);
        ComPtr<INetConnection> connection;
        ULONG fetched = 0;
        if (enumerator.get()->Next(1, connection.put(), &fetched) != S_OK) {
            break;
        }
        NETCON_PROPERTIES* raw = nullptr;
        if (FAILED(connection.get()->GetProperties(&raw))) {
            break;
        }
        properties.reset(raw);

        NetworkAdapter adapter(
            GuidText(raw->guidId), WideToUtf8(raw->pszwName != nullptr ? raw->pszwName : L""),
            WideToUtf8(raw->pszwDeviceName != nullptr ? raw->pszwDeviceName : L""));
        FillFromSystemAdapters(adapter);
        adapter.SetConnectionStatus(static_cast<std::uint32_t>(raw->Status));
        adapter.SetVirtual(IsVirtualAdapter(adapter.Guid()));
        adapters.push_back(adapter);
    }
    return adapters;
}

}  // namespace Orlix
