#pragma once

#include <atomic>
#include <cstdint>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <orlix/scoped_handle.h>
#include <orlix/win_registry.h>

namespace Orlix {

// The predefined roots are the handle values 0x80000000 to 0x80000005, sign-extended on
// 64-bit; `index` is the position in detail::kRegistryRootNames.
inline HKEY PredefinedRoot(std::size_t index) {
    return reinterpret_cast<HKEY>(
        static_cast<ULONG_PTR>(static_cast<LONG>(0x80000000u + static_cast<DWORD>(index))));
}

// The Win32 side of WinRegistry; see win_registry.h for the contract.
class WinRegistryImpl {
public:
    WinRegistryImpl(WinRegistry& owner, HKEY root, const std::string& subKey, bool readOnly,
                    bool currentUser, bool persistent);
    ~WinRegistryImpl();
    WinRegistryImpl(const WinRegistryImpl&) = delete;
    WinRegistryImpl& operator=(const WinRegistryImpl&) = delete;

    std::string GetString(const std::string& name, bool expand);
    std::uint32_t GetInt(const std::string& name);
    std::uint64_t GetInt64(const std::string& name);
    std::vector<unsigned char> GetBinary(const std::string& name);
    DWORD Type(const std::string& name);

    void SetString(const std::string& name, const std::string& value, DWORD type);
    void SetInt(const std::string& name, std::uint32_t value);
    void SetInt64(const std::string& name, std::uint64_t value);
    void SetBinary(const std::string& name, const std::vector<unsigned char>& value);

    bool Exists();
    bool Exists(const std::string& name);
    void SubKeys(std::vector<std::string>& names);
    void Values(std::vector<std::string>& names);
    void DeleteValue(const std::string& name);
    void DeleteKey();

    std::string KeyName() const;
    HKEY Handle();
    bool IsReadOnly() const { return readOnly_; }
    void SetView(std::uint32_t view) { view_ = view; }
    void SetChangeNotify(WinRegistry::ChangeCallback callback, bool watchSubtree);

private:
    void Open();
    void Close();
    REGSAM ViewFlag() const;
    std::string ValueKeyName(const std::string& name) const;
    // The value's type and size; NotFoundException when it is missing.
    void Query(const std::wstring& name, DWORD& type, DWORD& size, const std::string& valueName);
    void Write(const std::string& name, DWORD type, const void* data, std::size_t size);
    void StopChangeNotify();
    void WatchChanges(WinRegistry::ChangeCallback callback, bool watchSubtree,
                      std::promise<bool>* armed) noexcept;

    ScopedKey ownedRoot_;  // the console user's hive in current-user mode
    HKEY root_;
    std::string subKey_;
    ScopedKey key_;
    // The watch thread's view of key_: cleared before key_ is closed, so a notification that
    // the close wakes knows not to call back.
    std::atomic<bool> keyOpen_{false};
    bool readOnly_;
    bool currentUser_;
    bool persistent_;
    std::uint32_t view_ = 0;
    std::thread notifyThread_;
    std::mutex notifyMutex_;
    ScopedHandle notifyEvent_;  // guarded by notifyMutex_; exists while a notification is armed
    WinRegistry& owner_;
};

}  // namespace Orlix
