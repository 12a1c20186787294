#pragma once

// Decisions of the single-instance launch that need no Windows.

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace quarnel {

// The image name the system lists for a program: the path after its last "\" or "/" (the
// whole path when it has neither, "" when it ends in a separator).
inline std::string ExeNameOf(const std::string& exe) {
    const std::size_t separator = exe.find_last_of("\\/");
    return separator == std::string::npos ? exe : exe.substr(separator + 1);
}

// The command line for a launch with arguments. Only the program path is quoted, and only when
// it holds a space; arguments are appended as they are, so an argument with a space reaches
// the program as several.
inline std::wstring BuildCommandLine(const std::wstring& exe,
                                     const std::vector<std::wstring>& args) {
    std::wstring line = exe.find(L' ') == std::wstring::npos ? exe : L"\"" + exe + L"\"";
    for (const std::wstring& arg : args) {
        line += L' ';
        line += arg;
    }
    return line;
}

// BuildCommandLine's length without building it: a line too long to launch can take gigabytes.
inline std::size_t CommandLineLength(const std::wstring& exe,
                                     const std::vector<std::wstring>& args) {
    std::size_t length = exe.size() + (exe.find(L' ') == std::wstring::npos ? 0 : 2);
    for (const std::wstring& arg : args) {
        length += 1 + arg.size();
    }
    return length;
}

// Where a process stands to the calling one in the process tree.
enum class Kinship { None, Self, Ancestor, Descendant };

inline const char* KinshipName(Kinship kinship) {
    switch (kinship) {
        case Kinship::Self:
            return "self";
        case Kinship::Ancestor:
            return "ancestor";
        case Kinship::Descendant:
            return "descendant";
        case Kinship::None:
            break;
    }
    return "none";
}

struct ProcessNode {
    std::uint32_t pid;
    std::uint32_t parentPid;
    std::uint64_t creationTime;  // 0 when unknown
};

// The relation of every listed process to `self`; processes that are none of self, an
// ancestor or a descendant are left out. A process names its creator by pid only, and that
// pid may have been reused since: a listed process with the parent's pid counts as the parent
// only if it was created no later than the child. Cycles (which reuse can also produce) end
// the walk.
inline std::map<std::uint32_t, Kinship> KinshipOf(const std::vector<ProcessNode>& processes,
                                                  std::uint32_t self) {
    std::map<std::uint32_t, const ProcessNode*> byPid;
    for (const ProcessNode& node : processes) {
        byPid.emplace(node.pid, &node);
    }
    const auto parentOf = [&byPid](const ProcessNode& child) -> const ProcessNode* {
        const auto parent = byPid.find(child.parentPid);
        if (parent == byPid.end() || parent->second->pid == child.pid ||
            parent->second->creationTime > child.creationTime) {
            return nullptr;
        }
        return parent->second;
    };
    // The chain of creators above a process, nearest first.
    const auto ancestorsOf = [&](const ProcessNode& node) {
        std::vector<std::uint32_t> chain;
        std::set<std::uint32_t> seen{node.pid};
        for (const ProcessNode* up = parentOf(node); up != nullptr && seen.insert(up->pid).second;
             up = parentOf(*up)) {
            chain.push_back(up->pid);
        }
        return chain;
    };

    std::map<std::uint32_t, Kinship> kin;
    const auto found = byPid.find(self);
    if (found == byPid.end()) {
        kin.emplace(self, Kinship::Self);
        return kin;
    }
    for (std::uint32_t pid : ancestorsOf(*found->second)) {
        kin.emplace(pid, Kinship::Ancestor);
    }
    for (const ProcessNode& node : processes) {
        const std::vector<std::uint32_t> chain = ancestorsOf(node);
        if (std::find(chain.begin(), chain.end(), self) != chain.end()) {
            kin.emplace(node.pid, Kinship::Descendant);
        }
    }
    kin[self] = Kinship::Self;
    return kin;
}

// Whether CreateProcessW takes a command line of this many UTF-16 units: at most 32767 with its
// terminating zero. A longer one is refused before the launch: Windows fails it anyway, and
// Wine instead probes every space-separated prefix as a program path, for minutes.
inline bool CommandLineFits(std::size_t length) {
    return length < 32767;
}

// The most arguments a command line that fits can hold: each adds a separator. Reading one more
// than this is enough to tell, however long the list claims to be.
constexpr std::size_t kMaxLaunchArguments = 32766;

enum class VisitAction { KeepRunning, Kill, Spare };

struct VisitStep {
    std::uint32_t pid;
    VisitAction action;
    Kinship kinship;  // why a process is spared
};

struct VisitPlan {
    std::vector<VisitStep> steps;  // ascending pid, one per process found
    bool rememberedRunning = false;
};

// What to do with each running process of the program's image name: the one remembered from
// the last launch stays, the calling process and its own tree (`kin`) are spared, every other
// one goes, whoever started it.
inline VisitPlan PlanVisit(std::vector<std::uint32_t> foundPids, std::uint32_t rememberedPid,
                           const std::map<std::uint32_t, Kinship>& kin = {}) {
    std::sort(foundPids.begin(), foundPids.end());
    VisitPlan plan;
    for (std::uint32_t pid : foundPids) {
        const bool remembered = pid == rememberedPid;
        plan.rememberedRunning = plan.rememberedRunning || remembered;
        const auto relation = kin.find(pid);
        const Kinship kinship = relation == kin.end() ? Kinship::None : relation->second;
        const VisitAction action = remembered                 ? VisitAction::KeepRunning
                                   : kinship != Kinship::None ? VisitAction::Spare
                                                              : VisitAction::Kill;
        plan.steps.push_back({pid, action, kinship});
    }
    return plan;
}

}  // namespace quarnel
