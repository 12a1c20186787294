#pragma once

// Decisions of the single-instance launch that need no Windows.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

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

// Whether CreateProcessW takes a command line of this many UTF-16 units: at most 32767 with its
// terminating zero. A longer one is refused before the launch: Windows fails it anyway, and
// Wine instead probes every space-separated prefix as a program path, for minutes.
inline bool CommandLineFits(std::size_t length) {
    return length < 32767;
}

enum class VisitAction { KeepRunning, Kill };

struct VisitStep {
    std::uint32_t pid;
    VisitAction action;
};

struct VisitPlan {
    std::vector<VisitStep> steps;  // ascending pid, one per process found
    bool rememberedRunning = false;
};

// What to do with each running process of the program's image name: the one remembered from
// the last launch stays, every other one goes, whoever started it.
inline VisitPlan PlanVisit(std::vector<std::uint32_t> foundPids, std::uint32_t rememberedPid) {
    std::sort(foundPids.begin(), foundPids.end());
    VisitPlan plan;
    for (std::uint32_t pid : foundPids) {
        const bool remembered = pid == rememberedPid;
        plan.rememberedRunning = plan.rememberedRunning || remembered;
        plan.steps.push_back({pid, remembered ? VisitAction::KeepRunning : VisitAction::Kill});
    }
    return plan;
}
