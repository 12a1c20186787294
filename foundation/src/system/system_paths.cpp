#include <orlix/detail/system_paths.h>

#include <cwctype>

#include <orlix/exception.h>

namespace Orlix {
namespace detail {

const char* const kRegistryRootNames[6] = {
    "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",     "HKEY_LOCAL_MACHINE",
    "HKEY_USERS",        "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG",
};

std::pair<std::size_t, std::string> SplitRegistryKey(const std::string& key) {
    const std::size_t separator = key.find('\\');
    if (separator == std::string::npos) {
        throw InvalidArgumentException(__FILE__, __LINE__, "Not a valid registry key", key, 0);
    }
    const std::string root = key.substr(0, separator);
    for (std::size_t i = 0; i < 6; ++i) {
        if (root == kRegistryRootNames[i]) {
            return {i, key.substr(separator + 1)};
        }
    }
    throw InvalidArgumentException(__FILE__, __LINE__, "Not a valid root key", root, 0);
}

namespace {

bool StartsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix) {
    if (prefix.size() > text.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::towlower(static_cast<std::wint_t>(text[i])) !=
            std::towlower(static_cast<std::wint_t>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

bool IsFloppy(const std::wstring& drive) {
    if (drive.size() != 3 || drive[1] != L':' || drive[2] != L'\\') {
        return false;
    }
    return drive[0] == L'A' || drive[0] == L'a' || drive[0] == L'B' || drive[0] == L'b';
}

}  // namespace

std::wstring MapDevicePathToDrive(
    const std::wstring& devicePath, const std::vector<std::wstring>& drives,
    const std::function<bool(const std::wstring& drive, std::wstring& device)>& deviceOf) {
    for (const std::wstring& drive : drives) {
        if (drive.size() < 2 || IsFloppy(drive)) {
            continue;
        }
        const std::wstring letter = drive.substr(0, 2);
        std::wstring device;
        if (!deviceOf(letter, device)) {
            return L"";
        }
        // An empty device name would match every path.
        if (!device.empty() && StartsWithIgnoringCase(devicePath, device)) {
            return letter + devicePath.substr(device.size());
        }
    }
    return L"";
}

std::vector<std::wstring> SplitMultiString(const wchar_t* list, std::size_t length) {
    std::vector<std::wstring> items;
    std::size_t start = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (list[i] == L'\0') {
            if (i == start) {
                break;
            }
            items.emplace_back(list + start, i - start);
            start = i + 1;
        }
    }
    return items;
}

}  // namespace detail
}  // namespace Orlix
