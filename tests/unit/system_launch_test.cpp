#include "core/process_launch.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cwchar>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace quarnel;

TEST(SystemLaunch, ExeNameIsThePartAfterTheLastSeparator) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\apps\\tool.exe", "tool.exe"},
        {"C:/apps/tool.exe", "tool.exe"},
        {"C:\\apps/sub\\tool.exe", "tool.exe"},  // mixed: the last one wins, whichever it is
        {"C:/apps\\sub/tool.exe", "tool.exe"},
        {"tool.exe", "tool.exe"},
        {"C:\\apps\\", ""},  // the search then finds only the idle process
        {"\\x", "x"},
    };
    for (const auto& [exe, name] : cases) {
        EXPECT_EQ(ExeNameOf(exe), name) << exe;
    }
}

TEST(SystemLaunch, CommandLineQuotesOnlyAPathWithASpace) {
    struct Case {
        const wchar_t* exe;
        std::vector<std::wstring> args;
        const wchar_t* line;
    } const cases[] = {
        // the program sees three arguments: -a, b and c
        {L"C:\\Program Files\\app.exe", {L"-a", L"b c"}, L"\"C:\\Program Files\\app.exe\" -a b c"},
        {L"C:\\apps\\app.exe", {L"--log", L"C:\\x y.log"}, L"C:\\apps\\app.exe --log C:\\x y.log"},
        {L"app.exe", {L""}, L"app.exe "},
        {L"app.exe", {L"\"quoted\"", L"a\\"}, L"app.exe \"quoted\" a\\"},
        {L" ", {L"1"}, L"\" \" 1"},
        {L"C:\\a\tb.exe", {L"1"}, L"C:\\a\tb.exe 1"},  // only U+0020 counts
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BuildCommandLine(c.exe, c.args), c.line);
        EXPECT_EQ(CommandLineLength(c.exe, c.args), std::wcslen(c.line)) << c.line;
    }
}

TEST(SystemLaunch, CommandLineFitsUpToTheSystemLimit) {
    const std::pair<std::size_t, bool> cases[] = {
        {0, true}, {32766, true}, {32767, false}, {1 << 20, false}};
    for (const auto& [length, fits] : cases) {
        EXPECT_EQ(CommandLineFits(length), fits) << length;
    }
    // The most arguments of a line that fits: empty ones after an empty program path.
    for (const std::size_t count : {kMaxLaunchArguments, kMaxLaunchArguments + 1}) {
        const std::vector<std::wstring> args(count);
        EXPECT_EQ(CommandLineFits(CommandLineLength(L"", args)), count == kMaxLaunchArguments);
    }
}

TEST(SystemLaunch, VisitKeepsOnlyTheRememberedProcess) {
    using A = VisitAction;
    struct Case {
        std::vector<std::uint32_t> found;
        std::uint32_t remembered;
        std::vector<std::pair<std::uint32_t, A>> steps;  // ascending pid
        bool running;
    } const cases[] = {
        {{}, 40, {}, false},
        {{40}, 40, {{40, A::KeepRunning}}, true},
        {{40}, 0, {{40, A::Kill}}, false},  // started elsewhere
        {{40}, 41, {{40, A::Kill}}, false},
        // strays on both sides of the remembered one go too, and the walk is by pid
        {{90, 12, 40}, 40, {{12, A::Kill}, {40, A::KeepRunning}, {90, A::Kill}}, true},
        {{90, 12}, 40, {{12, A::Kill}, {90, A::Kill}}, false},
        // an empty image name finds the idle process, id 0, which equals "nothing remembered"
        {{0}, 0, {{0, A::KeepRunning}}, true},
        // the caller's own tree (kin: 3 self, 2 ancestor, 5 descendant) is spared, but the
        // remembered instance is still the one kept running
        {{5, 3, 2, 50}, 0, {{2, A::Spare}, {3, A::Spare}, {5, A::Spare}, {50, A::Kill}}, false},
        {{5, 50}, 5, {{5, A::KeepRunning}, {50, A::Kill}}, true},
    };
    const std::map<std::uint32_t, Kinship> kin = {
        {2, Kinship::Ancestor}, {3, Kinship::Self}, {5, Kinship::Descendant}};
    for (const Case& c : cases) {
        const VisitPlan plan = PlanVisit(c.found, c.remembered, kin);
        std::vector<std::pair<std::uint32_t, A>> steps;
        for (const VisitStep& step : plan.steps) {
            steps.emplace_back(step.pid, step.action);
        }
        EXPECT_EQ(steps, c.steps) << "remembered " << c.remembered;
        EXPECT_EQ(plan.rememberedRunning, c.running) << "remembered " << c.remembered;
    }
}

// "pid<creator@time ..." as the process list; the relations found as the pid and the first
// letter of the relation's name ("300s 400d ...").
std::vector<ProcessNode> Processes(const std::string& text) {
    std::vector<ProcessNode> list;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        ProcessNode node{};
        std::sscanf(word.c_str(), "%u<%u@%" SCNu64, &node.pid, &node.parentPid, &node.creationTime);
        list.push_back(node);
    }
    return list;
}

std::string Relations(const std::map<std::uint32_t, Kinship>& kin) {
    std::string text;
    for (const auto& [pid, relation] : kin) {
        text += (text.empty() ? "" : " ") + std::to_string(pid) + KinshipName(relation)[0];
    }
    return text;
}

TEST(SystemLaunch, KinshipFollowsCreatorsThatAreOlderThanTheirChildren) {
    struct Case {
        const char* what;
        const char* processes;
        std::uint32_t self;
        const char* kin;
    } const cases[] = {
        {"a tree: grandparents, children and grandchildren count, a sibling does not",
         "4<0@1 100<4@10 200<100@20 300<200@30 400<300@40 500<400@50 600<200@35 900<999@5", 300,
         "4a 100a 200a 300s 400d 500d"},
        {"a process older than self that names self's pid had a creator who ended",
         "200<0@20 300<200@30 700<300@25 800<700@60", 300, "200a 300s"},
        {"self's creator ended and its pid went to a child of self",
         "200<300@35 300<200@30 400<300@40", 300, "200d 300s 400d"},
        {"a loop of creators (pid reuse with equal times) ends the walk", "10<11@5 11<10@5 12<10@6",
         12, "10a 11a 12s"},
        {"unknown creation times (all 0) trust the pids", "1<0@0 2<1@0 3<2@0", 2, "1a 2s 3d"},
        {"self missing from the list", "1<0@0 2<1@0", 7, "7s"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Relations(KinshipOf(Processes(c.processes), c.self)), c.kin) << c.what;
    }
}

}  // namespace
