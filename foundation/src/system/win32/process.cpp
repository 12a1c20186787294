#include <orlix/process.h>

#include <map>
#include <vector>

#include <orlix/string_conversion.h>

#include "process_impl.h"

#include <windows.h>

namespace Orlix {

Process::Process(std::uint32_t pid, const std::string& name)
    : impl_(std::make_unique<ProcessImpl>(pid, name)) {}

Process::Process(std::unique_ptr<ProcessImpl> impl) noexcept : impl_(std::move(impl)) {}

Process::Process(Process&& other) noexcept = default;

Process& Process::operator=(Process&& other) noexcept = default;

Process::~Process() = default;

std::uint32_t Process::Id() const noexcept {
    return impl_ ? impl_->Id() : 0;
}

const std::string& Process::Name() const noexcept {
    static const std::string kNone;
    return impl_ ? impl_->Name() : kNone;
}

bool Process::Kill(bool wait) const {
    return impl_ && impl_->Kill(wait);
}

std::set<Process> Process::FindByName(const std::string& name, const std::string& path) {
    std::map<std::uint32_t, std::string> matches;
    ProcessImpl::Enumerate([&](std::uint32_t pid, const std::string& image) {
        if (ICompare(image, name) == 0 &&
            (path.empty() || ICompare(ProcessImpl::ImagePath(pid), path) == 0)) {
            matches.emplace(pid, image);
        }
        return true;
    });
    std::set<Process> found;
    for (const auto& [pid, image] : matches) {
        found.emplace(pid, image);
    }
    return found;
}

std::string Process::ImagePath(std::uint32_t pid) {
    return ProcessImpl::ImagePath(pid);
}

Process Process::Current() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            buffer[0] = L'\0';
            break;
        }
        if (length < buffer.size()) {
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    const std::wstring path(buffer.data());
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::wstring file = slash == std::wstring::npos ? path : path.substr(slash + 1);
    return Process(static_cast<std::uint32_t>(GetCurrentProcessId()), WideToUtf8(file));
}

std::set<std::uint32_t> Process::ListIds() {
    std::set<std::uint32_t> ids;
    ProcessImpl::Enumerate([&](std::uint32_t pid, const std::string&) {
        ids.insert(pid);
        return true;
    });
    return ids;
}

std::set<Process> Process::ListAll() {
    std::set<Process> all;
    ProcessImpl::Enumerate([&](std::uint32_t pid, const std::string& image) {
        all.emplace(pid, image);
        return true;
    });
    return all;
}

std::optional<Process> Process::FindById(std::uint32_t pid) {
    std::optional<Process> found;
    ProcessImpl::Enumerate([&](std::uint32_t id, const std::string& image) {
        if (id != pid) {
            return true;
        }
        found.emplace(id, image);
        return false;
    });
    return found;
}

}  // namespace Orlix
