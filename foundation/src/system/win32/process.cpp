#include <orlix/process.h>

#include <map>
#include <vector>

#include <orlix/string_conversion.h>

#include "process_impl.h"

#include <windows.h>

namespace Orlix {

Process::Process(std::uint32_t pid, const std::string& name, std::uint32_t parentPid,
                 std::uint64_t creationTime)
    : impl_(std::make_unique<ProcessImpl>(pid, name, parentPid, creationTime)) {}

Process::Process(std::unique_ptr<ProcessImpl> impl) noexcept : impl_(std::move(impl)) {}

Process::Process(Process&& other) noexcept = default;

Process& Process::operator=(Process&& other) noexcept = default;

Process::~Process() = default;

std::uint32_t Process::Id() const noexcept {
    return impl_ ? impl_->Id() : 0;
}

std::uint32_t Process::ParentId() const noexcept {
    return impl_ ? impl_->ParentId() : 0;
}

std::uint64_t Process::CreationTime() const noexcept {
    return impl_ ? impl_->CreationTime() : 0;
}

const std::string& Process::Name() const noexcept {
    static const std::string kNone;
    return impl_ ? impl_->Name() : kNone;
}

Process::KillResult Process::Terminate(bool wait) const {
    return impl_ ? impl_->Terminate(wait) : KillResult::Failed;
}

bool Process::Kill(bool wait) const {
    return Terminate(wait) == KillResult::Killed;
}

std::set<Process> Process::FindByName(const std::string& name, const std::string& path) {
    std::map<std::uint32_t, ProcessImpl> matches;
    ProcessImpl::Enumerate([&](const ProcessImpl& process) {
        if (ICompare(process.Name(), name) == 0 &&
            (path.empty() || ICompare(ProcessImpl::ImagePath(process.Id()), path) == 0)) {
            matches.emplace(process.Id(), process);
        }
        return true;
    });
    std::set<Process> found;
    for (const auto& [pid, process] : matches) {
        found.emplace(std::make_unique<ProcessImpl>(process));
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
    ProcessImpl::Enumerate([&](const ProcessImpl& process) {
        ids.insert(process.Id());
        return true;
    });
    return ids;
}

std::set<Process> Process::ListAll() {
    std::set<Process> all;
    ProcessImpl::Enumerate([&](const ProcessImpl& process) {
        all.emplace(std::make_unique<ProcessImpl>(process));
        return true;
    });
    return all;
}

std::optional<Process> Process::FindById(std::uint32_t pid) {
    std::optional<Process> found;
    ProcessImpl::Enumerate([&](const ProcessImpl& process) {
        if (process.Id() != pid) {
            return true;
        }
        found.emplace(std::make_unique<ProcessImpl>(process));
        return false;
    });
    return found;
}

}  // namespace Orlix
