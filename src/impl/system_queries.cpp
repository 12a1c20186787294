// System queries and settings: a machine registry string, the hidden attribute, the run mode
// variable and the MAC addresses.
#include "impl/quarnel_impl.h"

#include "core/logging.h"
#include "core/network_adapter_logic.h"
#include "impl/off_thread.h"
#include "impl/win32_bridge.h"

#include <orlix/environment.h>
#include <orlix/exception.h>
#include <orlix/network_adapter.h>
#include <orlix/win_registry.h>

std::string QuarnelImpl::GetMachineRegString(const std::string& keyPath,
                                             const std::string& itemKey) {
    try {
        Orlix::WinRegistry key(HKEY_LOCAL_MACHINE, keyPath, true, false, true);
        const std::string data = key.GetString(itemKey, "");
        QLOG(LOG_INFO) << "get data:" << data << " from reg:" << keyPath << " itemKey:" << itemKey;
        return data;
    } catch (const Orlix::FrameworkException& e) {
        QLOG(LOG_ERROR) << "RepairRegService fail and restart qk4:" << e.DisplayText();
        return std::string();
    }
}

bool QuarnelImpl::IsHiddenFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(win32::Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        QLOG(LOG_ERROR) << "GetFileAttributesW err:" << error;
        return false;
    }
    QLOG(LOG_INFO) << "get dwAttrs:" << attributes;
    return (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
}

void QuarnelImpl::SetUserEnvironment(const std::string& name, const std::string& value) {
    try {
        Orlix::Environment::Set(name, value);
        Orlix::WinRegistry key(HKEY_CURRENT_USER, "Environment", false, false, true);
        key.SetString(name, value);
        // Written and set here already; telling the running programs may take seconds.
        win32::AnnounceEnvironmentChange();
        QLOG(LOG_INFO) << "set success key:" << name << " value:" << value;
    } catch (const std::exception& e) {
        QLOG(LOG_ERROR) << e.what();
    }
}

std::vector<std::string> QuarnelImpl::GetMacAddresses() {
    const std::vector<std::string> texts = quarnel::PhysicalMacTexts(Orlix::NetworkAdapter::List());
    for (const std::string& text : texts) {
        QLOG(LOG_INFO) << "get mac:" << text;
    }
    return texts;
}
