#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace Orlix {

// One process found by enumeration.
class ProcessImpl {
public:
    ProcessImpl(std::uint32_t pid, std::string name) : pid_(pid), name_(std::move(name)) {}

    std::uint32_t Id() const noexcept { return pid_; }
    const std::string& Name() const noexcept { return name_; }
    bool Kill(bool wait) const;

    // Calls `visit(pid, imageName)` for every process the system lists until it returns
    // false. Yields nothing when the system's process list cannot be had.
    static void Enumerate(const std::function<bool(std::uint32_t, const std::string&)>& visit);
    static std::string ImagePath(std::uint32_t pid);

private:
    std::uint32_t pid_;
    std::string name_;
};

}  // namespace Orlix
