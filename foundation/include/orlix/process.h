#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace Orlix {

class ProcessImpl;

// A running process found by enumeration: its id and image name. Movable, not copyable;
// ordered by id. Nothing here throws on a system failure: searches come back empty, paths
// come back "" and kills return false.
class Process {
public:
    enum class KillResult { Killed, Failed, NotSameProcess };

    // A creation time of 0 means unknown: Terminate then trusts the pid alone.
    Process(std::uint32_t pid, const std::string& name, std::uint32_t parentPid = 0,
            std::uint64_t creationTime = 0);
    explicit Process(std::unique_ptr<ProcessImpl> impl) noexcept;
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    ~Process();

    // Every process whose image name equals `name` regardless of case and, when `path` is not
    // empty, whose full image path (see ImagePath) equals `path` regardless of case.
    static std::set<Process> FindByName(const std::string& name, const std::string& path = "");
    // The full image path in drive-letter form ("C:\dir\app.exe"), or "".
    static std::string ImagePath(std::uint32_t pid);
    // The calling process: its id and image file name.
    static Process Current();
    static std::set<std::uint32_t> ListIds();
    static std::set<Process> ListAll();
    static std::optional<Process> FindById(std::uint32_t pid);

    std::uint32_t Id() const noexcept;
    // The process that created this one, as the system lists it; that pid may since have
    // been reused, so a parent is only one if it was created earlier.
    std::uint32_t ParentId() const noexcept;
    // 100 ns units since 1601 (FILETIME), as listed; 0 when unknown.
    std::uint64_t CreationTime() const noexcept;
    const std::string& Name() const noexcept;
    // Terminates the process with exit code 0, waiting for it to end when `wait` is true.
    // Pid 0 is refused without asking the system. When the creation time is known, a pid
    // that now names a process created at another time is left alone (NotSameProcess).
    KillResult Terminate(bool wait = false) const;
    // Terminate(wait) == Killed.
    bool Kill(bool wait = false) const;

    bool operator<(const Process& other) const noexcept { return Id() < other.Id(); }

private:
    std::unique_ptr<ProcessImpl> impl_;
};

// Makes the calling thread impersonate the user of the active console session for the
// lifetime of the object. When that is not possible (no right to the session's token) it does
// nothing and the thread keeps its own identity.
class ConsoleUserImpersonation {
public:
    ConsoleUserImpersonation() noexcept;
    ~ConsoleUserImpersonation();
    ConsoleUserImpersonation(const ConsoleUserImpersonation&) = delete;
    ConsoleUserImpersonation& operator=(const ConsoleUserImpersonation&) = delete;

    bool Impersonating() const noexcept { return impersonating_; }

private:
    bool impersonating_ = false;
};

}  // namespace Orlix
