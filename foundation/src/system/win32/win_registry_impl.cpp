#include "win_registry_impl.h"

#include <orlix/detail/system_paths.h>
#include <orlix/exception.h>
#include <orlix/process.h>
#include <orlix/string_conversion.h>

namespace Orlix {

namespace {

constexpr DWORD kChangeFilter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_ATTRIBUTES |
                                REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_SECURITY;

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_LINK;
}

// Names the calling thread for debuggers where the system can (Windows 10 and later). The
// older first-chance-exception convention needs structured exception handling, which this
// toolchain's C++ does not offer, and would end a process that has no debugger attached.
void NameThisThread(const std::wstring& name) noexcept {
    using SetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) {
        return;
    }
    const auto set = reinterpret_cast<SetThreadDescriptionFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetThreadDescription")));
    if (set != nullptr) {
        set(GetCurrentThread(), name.c_str());
    }
}

}  // namespace

WinRegistryImpl::WinRegistryImpl(WinRegistry& owner, HKEY root, const std::string& subKey,
                                 bool readOnly, bool currentUser, bool persistent)
    : root_(root),
      subKey_(subKey),
      readOnly_(readOnly),
      currentUser_(currentUser),
      persistent_(persistent),
      owner_(owner) {
    if (currentUser_) {
        const ConsoleUserImpersonation impersonation;
        HKEY hive = nullptr;
        if (RegOpenCurrentUser(readOnly_ ? KEY_READ : KEY_READ | KEY_WRITE, &hive) ==
            ERROR_SUCCESS) {
            ownedRoot_.reset(hive);
            root_ = hive;
        }
    }
}

WinRegistryImpl::~WinRegistryImpl() {
    // Closing the key wakes a pending notification, which then sees the key gone and returns
    // without calling back; only after that can its thread be joined.
    Close();
    StopChangeNotify();
}

REGSAM WinRegistryImpl::ViewFlag() const {
    if (view_ == 0) {
        return 0;
    }
    return view_ == 1 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

std::string WinRegistryImpl::KeyName() const {
    std::string name = "(UNKNOWN)";
    for (std::size_t i = 0; i < 6; ++i) {
        if (root_ == PredefinedRoot(i)) {
            name = detail::kRegistryRootNames[i];
            break;
        }
    }
    return name + "\\" + subKey_;
}

std::string WinRegistryImpl::ValueKeyName(const std::string& name) const {
    return name.empty() ? KeyName() : KeyName() + "\\" + name;
}

void WinRegistryImpl::Open() {
    if (key_) {
        return;
    }
    const std::wstring subKey = Utf8ToWide(subKey_);
    HKEY opened = nullptr;
    if (readOnly_) {
        if (RegOpenKeyExW(root_, subKey.c_str(), 0, KEY_READ | ViewFlag(), &opened) !=
            ERROR_SUCCESS) {
            throw NotFoundException(__FILE__, __LINE__, "Cannot open registry key: ", KeyName(), 0);
        }
    } else {
        const DWORD options = persistent_ ? REG_OPTION_NON_VOLATILE : REG_OPTION_VOLATILE;
        if (RegCreateKeyExW(root_, subKey.c_str(), 0, nullptr, options,
                            KEY_READ | KEY_WRITE | ViewFlag(), nullptr, &opened,
                            nullptr) != ERROR_SUCCESS) {
            throw SystemException(__FILE__, __LINE__, "Cannot open registry key: ", KeyName(), 0);
        }
    }
    key_.reset(opened);
    keyOpen_ = true;
}

void WinRegistryImpl::Close() {
    keyOpen_ = false;
    key_.reset();
}

HKEY WinRegistryImpl::Handle() {
    Open();
    return key_.get();
}

void WinRegistryImpl::Query(const std::wstring& name, DWORD& type, DWORD& size,
                            const std::string& valueName) {
    if (RegQueryValueExW(key_.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS) {
        throw NotFoundException(__FILE__, __LINE__, ValueKeyName(valueName), 0);
    }
}

std::string WinRegistryImpl::GetString(const std::string& name, bool expand) {
    Open();
    const std::wstring wideName = Utf8ToWide(name);
    DWORD type = REG_NONE;
    DWORD size = 0;
    Query(wideName, type, size, name);
    if (!IsStringType(type)) {
        throw NotFoundException(__FILE__, __LINE__, ValueKeyName(name), 0);
    }
    std::wstring text;
    if (size > 0) {
        // Room for a NUL the stored data may lack; an embedded NUL ends the text.
        std::vector<wchar_t> buffer(size / 2 + 1);
        DWORD read = size;
        if (RegQueryValueExW(key_.get(), wideName.c_str(), nullptr, nullptr,
                             reinterpret_cast<BYTE*>(buffer.data()), &read) != ERROR_SUCCESS) {
            throw NotFoundException(__FILE__, __LINE__, ValueKeyName(name), 0);
        }
        buffer[size / 2] = L'\0';
        text = buffer.data();
    }
    if (expand) {
        wchar_t probe = 0;
        const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), &probe, 1);
        if (needed > 0) {
            std::vector<wchar_t> expanded(needed);
            ExpandEnvironmentStringsW(text.c_str(), expanded.data(), needed);
            text = expanded.data();
        }
    }
    return WideToUtf8(text);
}

std::uint32_t WinRegistryImpl::GetInt(const std::string& name) {
    Open();
    const std::wstring wideName = Utf8ToWide(name);
    DWORD type = REG_NONE;
    std::uint32_t value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExW(key_.get(), wideName.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        (type != REG_DWORD && type != REG_DWORD_BIG_ENDIAN)) {
        throw NotFoundException(__FILE__, __LINE__, ValueKeyName(name), 0);
    }
    return value;
}

std::uint64_t WinRegistryImpl::GetInt64(const std::string& name) {
    Open();
    const std::wstring wideName = Utf8ToWide(name);
    DWORD type = REG_NONE;
    std::uint64_t value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExW(key_.get(), wideName.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_QWORD) {
        throw NotFoundException(__FILE__, __LINE__, ValueKeyName(name), 0);
    }
    return value;
}

std::vector<unsigned char> WinRegistryImpl::GetBinary(const std::string& name) {
    Open();
    const std::wstring wideName = Utf8ToWide(name);
    DWORD type = REG_NONE;
    DWORD size = 0;
    Query(wideName, type, size, name);
    if (type != REG_BINARY) {
        throw NotFoundException(__FILE__, __LINE__, ValueKeyName(name), 0);
    }
    std::vector<unsigned char> data(size);
    if (size > 0 && RegQueryValueExW(key_.get(), wideName.c_str(), nullptr, nullptr, data.data(),
                                     &size) != ERROR_SUCCESS) {
        throw NotFoundException(__FILE__, __LINE__, ValueKeyName(name), 0);
    }
    data.resize(size);
    return data;
}

DWORD WinRegistryImpl::Type(const std::string& name) {
    Open();
    DWORD type = REG_NONE;
    DWORD size = 0;
    Query(Utf8ToWide(name), type, size, name);
    return type;
}

void WinRegistryImpl::Write(const std::string& name, DWORD type, const void* data,
                            std::size_t size) {
    Open();
    if (RegSetValueExW(key_.get(), Utf8ToWide(name).c_str(), 0, type,
                       static_cast<const BYTE*>(data), static_cast<DWORD>(size)) != ERROR_SUCCESS) {
        throw SystemException(__FILE__, __LINE__, "Failed to set registry value",
                              ValueKeyName(name), 0);
    }
}

void WinRegistryImpl::SetString(const std::string& name, const std::string& value, DWORD type) {
    const std::wstring text = Utf8ToWide(value);
    Write(name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

void WinRegistryImpl::SetInt(const std::string& name, std::uint32_t value) {
    Write(name, REG_DWORD, &value, sizeof(value));
}

void WinRegistryImpl::SetInt64(const std::string& name, std::uint64_t value) {
    Write(name, REG_QWORD, &value, sizeof(value));
}

void WinRegistryImpl::SetBinary(const std::string& name, const std::vector<unsigned char>& value) {
    Write(name, REG_BINARY, value.data(), value.size());
}

bool WinRegistryImpl::Exists() {
    HKEY probe = nullptr;
    if (RegOpenKeyExW(root_, Utf8ToWide(subKey_).c_str(), 0, KEY_READ | ViewFlag(), &probe) !=
        ERROR_SUCCESS) {
        return false;
    }
    const ScopedKey owned(probe);
    return true;
}

bool WinRegistryImpl::Exists(const std::string& name) {
    HKEY probe = nullptr;
    if (RegOpenKeyExW(root_, Utf8ToWide(subKey_).c_str(), 0, KEY_READ | ViewFlag(), &probe) !=
        ERROR_SUCCESS) {
        return false;
    }
    const ScopedKey owned(probe);
    return RegQueryValueExW(probe, Utf8ToWide(name).c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

void WinRegistryImpl::SubKeys(std::vector<std::string>& names) {
    Open();
    DWORD count = 0;
    if (RegQueryInfoKeyW(key_.get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return;
    }
    wchar_t buffer[256];
    for (DWORD index = 0; index < count; ++index) {
        DWORD size = 256;
        if (RegEnumKeyExW(key_.get(), index, buffer, &size, nullptr, nullptr, nullptr, nullptr) ==
            ERROR_SUCCESS) {
            names.push_back(WideToUtf8(std::wstring(buffer, size)));
        }
    }
}

void WinRegistryImpl::Values(std::vector<std::string>& names) {
    Open();
    DWORD count = 0;
    if (RegQueryInfoKeyW(key_.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return;
    }
    wchar_t buffer[256];
    for (DWORD index = 0; index < count; ++index) {
        DWORD size = 256;
        if (RegEnumValueW(key_.get(), index, buffer, &size, nullptr, nullptr, nullptr, nullptr) ==
            ERROR_SUCCESS) {
            names.push_back(WideToUtf8(std::wstring(buffer, size)));
        }
    }
}

void WinRegistryImpl::DeleteValue(const std::string& name) {
    Open();
    if (RegDeleteValueW(key_.get(), Utf8ToWide(name).c_str()) != ERROR_SUCCESS) {
        throw NotFoundException(__FILE__, __LINE__, ValueKeyName(name), 0);
    }
}

void WinRegistryImpl::DeleteKey() {
    std::vector<std::string> children;
    SubKeys(children);
    Close();
    StopChangeNotify();
    for (const std::string& child : children) {
        WinRegistry registry(root_, subKey_ + "\\" + child, readOnly_, currentUser_, persistent_);
        registry.SetView(view_);
        registry.DeleteKey();
    }
    const std::wstring subKey = Utf8ToWide(subKey_);
    const LONG result = view_ == 0 ? RegDeleteKeyW(root_, subKey.c_str())
                                   : RegDeleteKeyExW(root_, subKey.c_str(), ViewFlag(), 0);
    if (result != ERROR_SUCCESS) {
        throw NotFoundException(__FILE__, __LINE__, KeyName(), 0);
    }
}

void WinRegistryImpl::SetChangeNotify(WinRegistry::ChangeCallback callback, bool watchSubtree) {
    {
        const std::lock_guard<std::mutex> lock(notifyMutex_);
        if (notifyEvent_) {
            throw SystemException(__FILE__, __LINE__, "can't SetChangeNotify twice", 0);
        }
    }
    Open();
    StopChangeNotify();  // a notification that already fired: its thread is ending
    std::promise<bool> armed;
    std::future<bool> armedResult = armed.get_future();
    notifyThread_ = std::thread(&WinRegistryImpl::WatchChanges, this, std::move(callback),
                                watchSubtree, &armed);
    // The system ties a notification to the thread that asks for it, and that thread must
    // stay alive; waiting here also keeps key_ still while the watch thread arms it.
    if (!armedResult.get()) {
        StopChangeNotify();
        throw SystemException(__FILE__, __LINE__, "Cannot watch registry key", KeyName(), 0);
    }
}

void WinRegistryImpl::StopChangeNotify() {
    if (!notifyThread_.joinable()) {
        return;
    }
    if (notifyThread_.get_id() == std::this_thread::get_id()) {
        // Called from the change callback: the thread touches nothing of ours once the
        // callback returns.
        notifyThread_.detach();
    } else {
        notifyThread_.join();
    }
}

void WinRegistryImpl::WatchChanges(WinRegistry::ChangeCallback callback, bool watchSubtree,
                                   std::promise<bool>* armed) noexcept {
    bool reported = false;
    try {
        NameThisThread(Utf8ToWide(KeyName() + "-WaitChange"));
        ScopedHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        const HANDLE wait = event.get();
        const bool ok = event && RegNotifyChangeKeyValue(key_.get(), watchSubtree, kChangeFilter,
                                                         wait, TRUE) == ERROR_SUCCESS;
        if (ok) {
            const std::lock_guard<std::mutex> lock(notifyMutex_);
            notifyEvent_ = std::move(event);
        }
        reported = true;
        armed->set_value(ok);  // from here on `armed` is gone
        if (!ok) {
            return;
        }
        WaitForSingleObject(wait, INFINITE);
        {
            const std::lock_guard<std::mutex> lock(notifyMutex_);
            notifyEvent_.reset();
        }
        if (keyOpen_) {
            callback(owner_);
        }
    } catch (...) {
        if (!reported) {
            try {
                armed->set_value(false);
            } catch (...) {
            }
        }
    }
}

}  // namespace Orlix
