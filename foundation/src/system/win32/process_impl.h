#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <orlix/process.h>

namespace Orlix {

// One process found by enumeration.
class ProcessImpl {
public:
    ProcessImpl(std::uint32_t pid, std::string name, std::uint32_t parentPid = 0,
                std::uint64_t creationTime = 0)
        : pid_(pid), parentPid_(parentPid), creationTime_(creationTime), name_(std::move(name)) {}

    std::uint32_t Id() const noexcept { return pid_; }
    std::uint32_t ParentId() const noexcept { return parentPid_; }
    std::uint64_t CreationTime() const noexcept { return creationTime_; }
    const std::string& Name() const noexcept { return name_; }
    Process::KillResult Terminate(bool wait) const;

    // Calls `visit(process)` for every process the system lists until it returns false.
    // Yields nothing when the system's process list cannot be had.
    static void Enumerate(const std::function<bool(const ProcessImpl&)>& visit);
    static std::string ImagePath(std::uint32_t pid);

private:
    std::uint32_t pid_;
    std::uint32_t parentPid_;
    std::uint64_t creationTime_;
    std::string name_;
};

}  // namespace Orlix
