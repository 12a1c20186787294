#include <orlix/win_registry.h>

#include <orlix/detail/system_paths.h>
#include <orlix/exception.h>

#include "win_registry_impl.h"

namespace Orlix {

WinRegistry::WinRegistry(HKEY root, const std::string& subKey, bool readOnly, bool currentUser,
                         bool persistent)
    : impl_(std::make_unique<WinRegistryImpl>(*this, root, subKey, readOnly, currentUser,
                                              persistent)) {}

WinRegistry::WinRegistry(const std::string& key, bool readOnly, bool currentUser, bool persistent) {
    const auto [root, subKey] = detail::SplitRegistryKey(key);
    impl_ = std::make_unique<WinRegistryImpl>(*this, PredefinedRoot(root), subKey, readOnly,
                                              currentUser, persistent);
}

WinRegistry::~WinRegistry() = default;

std::string WinRegistry::GetString(const std::string& name) {
    return impl_->GetString(name, false);
}

std::string WinRegistry::GetString(const std::string& name, const std::string& defaultValue) {
    try {
        return impl_->GetString(name, false);
    } catch (const FrameworkException&) {
        return defaultValue;
    }
}

std::string WinRegistry::GetStringExpand(const std::string& name) {
    return impl_->GetString(name, true);
}

std::string WinRegistry::GetStringExpand(const std::string& name, const std::string& defaultValue) {
    try {
        return impl_->GetString(name, true);
    } catch (const FrameworkException&) {
        return defaultValue;
    }
}

std::uint32_t WinRegistry::GetInt(const std::string& name) {
    return impl_->GetInt(name);
}

std::uint32_t WinRegistry::GetInt(const std::string& name, std::uint32_t defaultValue) {
    try {
        return impl_->GetInt(name);
    } catch (const FrameworkException&) {
        return defaultValue;
    }
}

std::uint64_t WinRegistry::GetInt64(const std::string& name) {
    return impl_->GetInt64(name);
}

std::uint64_t WinRegistry::GetInt64(const std::string& name, std::uint64_t defaultValue) {
    try {
        return impl_->GetInt64(name);
    } catch (const FrameworkException&) {
        return defaultValue;
    }
}

std::vector<unsigned char> WinRegistry::GetBinary(const std::string& name) {
    return impl_->GetBinary(name);
}

DWORD WinRegistry::Type(const std::string& name) {
    return impl_->Type(name);
}

void WinRegistry::SetString(const std::string& name, const std::string& value) {
    impl_->SetString(name, value, REG_SZ);
}

void WinRegistry::SetStringExpand(const std::string& name, const std::string& value) {
    impl_->SetString(name, value, REG_EXPAND_SZ);
}

void WinRegistry::SetInt(const std::string& name, std::uint32_t value) {
    impl_->SetInt(name, value);
}

void WinRegistry::SetInt64(const std::string& name, std::uint64_t value) {
    impl_->SetInt64(name, value);
}

void WinRegistry::SetBinary(const std::string& name, const std::vector<unsigned char>& value) {
    impl_->SetBinary(name, value);
}

bool WinRegistry::Exists() {
    return impl_->Exists();
}

bool WinRegistry::Exists(const std::string& name) {
    return impl_->Exists(name);
}

void WinRegistry::SubKeys(std::vector<std::string>& names) {
    impl_->SubKeys(names);
}

void WinRegistry::Values(std::vector<std::string>& names) {
    impl_->Values(names);
}

void WinRegistry::DeleteValue(const std::string& name) {
    impl_->DeleteValue(name);
}

void WinRegistry::DeleteKey() {
    impl_->DeleteKey();
}

std::string WinRegistry::KeyName() const {
    return impl_->KeyName();
}

HKEY WinRegistry::Handle() {
    return impl_->Handle();
}

bool WinRegistry::IsReadOnly() const {
    return impl_->IsReadOnly();
}

void WinRegistry::SetView(std::uint32_t view) {
    impl_->SetView(view);
}

void WinRegistry::SetChangeNotify(ChangeCallback callback, bool watchSubtree) {
    impl_->SetChangeNotify(std::move(callback), watchSubtree);
}

}  // namespace Orlix
