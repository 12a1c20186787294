#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

namespace Orlix {

class WinRegistryImpl;

// One registry key: a root plus a sub key path ("\"-separated, UTF-8), opened on first use
// (read-only opens, writable creates the key when missing). Names and values are UTF-8.
// Failures throw the FrameworkException family; reads of a missing value or of another type
// throw NotFoundException. Not synchronised: one thread at a time.
class WinRegistry {
public:
    using ChangeCallback = std::function<void(WinRegistry&)>;

    // `currentUser` opens the hive of the active console session's user instead of `root`.
    // `persistent` false makes a key this object creates volatile.
    WinRegistry(HKEY root, const std::string& subKey, bool readOnly = true,
                bool currentUser = false, bool persistent = true);
    // `key` is a full path such as "HKEY_LOCAL_MACHINE\SOFTWARE\x" (root names are
    // case-sensitive). Throws InvalidArgumentException for a path without "\" or an unknown
    // root name.
    explicit WinRegistry(const std::string& key, bool readOnly = true, bool currentUser = false,
                         bool persistent = true);
    ~WinRegistry();
    WinRegistry(const WinRegistry&) = delete;
    WinRegistry& operator=(const WinRegistry&) = delete;

    // REG_SZ, REG_EXPAND_SZ or REG_LINK, unexpanded; the default forms swallow every
    // FrameworkException (a missing key included) and return `defaultValue`.
    std::string GetString(const std::string& name);
    std::string GetString(const std::string& name, const std::string& defaultValue);
    // As GetString, with environment references expanded.
    std::string GetStringExpand(const std::string& name);
    std::string GetStringExpand(const std::string& name, const std::string& defaultValue);
    // REG_DWORD or REG_DWORD_BIG_ENDIAN, the stored bytes as they are.
    std::uint32_t GetInt(const std::string& name);
    std::uint32_t GetInt(const std::string& name, std::uint32_t defaultValue);
    // REG_QWORD.
    std::uint64_t GetInt64(const std::string& name);
    std::uint64_t GetInt64(const std::string& name, std::uint64_t defaultValue);
    // REG_BINARY.
    std::vector<unsigned char> GetBinary(const std::string& name);
    // The stored REG_* type code.
    DWORD Type(const std::string& name);

    // Writes throw SystemException "Failed to set registry value: <key>\<name>".
    void SetString(const std::string& name, const std::string& value);
    void SetStringExpand(const std::string& name, const std::string& value);
    void SetInt(const std::string& name, std::uint32_t value);
    void SetInt64(const std::string& name, std::uint64_t value);
    void SetBinary(const std::string& name, const std::vector<unsigned char>& value);

    // Whether the key can be opened for reading / the value exists (a separate handle each).
    bool Exists();
    bool Exists(const std::string& name);

    // Append the names of the sub keys / values in index order.
    void SubKeys(std::vector<std::string>& names);
    void Values(std::vector<std::string>& names);

    // Throws NotFoundException when the value is missing.
    void DeleteValue(const std::string& name);
    // Deletes the key and everything below it, depth first.
    void DeleteKey();

    // Root name, "\", sub key; "(UNKNOWN)" stands for a current-user hive.
    std::string KeyName() const;
    // Opens the key if needed.
    HKEY Handle();
    bool IsReadOnly() const;
    // 0 default, 1 the 32-bit view, anything else the 64-bit view; used by later opens.
    void SetView(std::uint32_t view);

    // Calls `callback` once, on a thread of its own, when the key (or, with `watchSubtree`,
    // anything below it) changes. Throws SystemException "can't SetChangeNotify twice" while
    // a notification is armed; after it fired it may be armed again. Destroying the object
    // (or DeleteKey) ends a pending notification without calling the callback, and waits for
    // a callback already running; such a callback must not use the object any more.
    void SetChangeNotify(ChangeCallback callback, bool watchSubtree);

private:
    std::unique_ptr<WinRegistryImpl> impl_;
};

}  // namespace Orlix
