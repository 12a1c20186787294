#include <orlix/process.h>
#include <orlix/scoped_handle.h>
#include <orlix/string_conversion.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace {

using Orlix::Process;

// A copy of the target application under a name no other process has, started with a time
// limit so that a failing test leaves nothing behind for long.
class FoundationProcess : public testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        wchar_t self[MAX_PATH] = {};
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
        std::wstring target(self);
        target = target.substr(0, target.find_last_of(L'\\')) + L"\\..\\fixtures\\target_app.exe";
        path_ = temp + fileName_;
        ASSERT_TRUE(CopyFileW(target.c_str(), path_.c_str(), FALSE))
            << "copy of target_app.exe failed: " << GetLastError();
        std::wstring command = L"\"" + path_ + L"\" --exit-after 20000";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        ASSERT_TRUE(CreateProcessW(path_.c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                                   nullptr, nullptr, &startup, &info));
        process_.reset(info.hProcess);
        CloseHandle(info.hThread);
        pid_ = info.dwProcessId;
    }
    void TearDown() override {
        if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.get(), 1);
            WaitForSingleObject(process_.get(), 5000);
        }
        process_.reset();
        DeleteFileW(path_.c_str());
    }

    const std::wstring fileName_ =
        L"FoundationProbe" + std::to_wstring(GetCurrentProcessId()) + L".EXE";
    std::wstring path_;
    Orlix::ScopedHandle process_;
    DWORD pid_ = 0;
};

TEST_F(FoundationProcess, FindsByNameWithoutRegardToCaseAndKillsIt) {
    std::string lower = Orlix::WideToUtf8(fileName_);
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    const auto found = Process::FindByName(lower);
    ASSERT_EQ(found.size(), 1u);
    const Process& probe = *found.begin();
    EXPECT_EQ(probe.Id(), pid_);
    EXPECT_EQ(Orlix::ICompare(probe.Name(), lower), 0);

    // Drive-letter form, not a device path.
    EXPECT_EQ(Orlix::ICompare(Process::ImagePath(pid_), Orlix::WideToUtf8(path_)), 0)
        << Process::ImagePath(pid_);
    EXPECT_EQ(Process::FindByName(lower, Orlix::WideToUtf8(path_)).size(), 1u);
    EXPECT_TRUE(Process::FindByName(lower, "C:\\elsewhere\\" + lower).empty());

    // The listing names its creator and the creation time a handle to it reports.
    EXPECT_EQ(probe.ParentId(), GetCurrentProcessId());
    FILETIME created{}, exited{}, kernel{}, user{};
    ASSERT_TRUE(GetProcessTimes(process_.get(), &created, &exited, &kernel, &user));
    EXPECT_EQ(probe.CreationTime(),
              (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime);
    // Its pid with another creation time is a process that no longer runs: left alone.
    const Process reused(pid_, probe.Name(), probe.ParentId(), probe.CreationTime() - 1);
    EXPECT_EQ(reused.Terminate(true), Process::KillResult::NotSameProcess);
    EXPECT_EQ(WaitForSingleObject(process_.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

    EXPECT_TRUE(probe.Kill(true));
    EXPECT_EQ(WaitForSingleObject(process_.get(), 0), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(process_.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(Process::FindByName(lower).empty());
}

TEST(FoundationProcessList, ListsAndFindsTheCurrentProcess) {
    const Process current = Process::Current();
    const auto self = static_cast<std::uint32_t>(GetCurrentProcessId());
    EXPECT_EQ(current.Id(), self);
    EXPECT_EQ(Orlix::ICompare(current.Name(), "windows_tests.exe"), 0) << current.Name();
    EXPECT_EQ(Process::ListIds().count(self), 1u);
    const auto all = Process::ListAll();
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&](const Process& process) {
        return process.Id() == self && process.Name() == current.Name();
    }));
    const auto byId = Process::FindById(self);
    ASSERT_TRUE(byId.has_value());
    EXPECT_EQ(byId->Name(), current.Name());
    EXPECT_FALSE(Process::FindById(0xFFFFFFF0u).has_value());
    EXPECT_FALSE(Process(0, "System Idle Process").Kill());
}

TEST(FoundationProcessList, ThreadsEnumerateSideBySide) {
    std::vector<int> found(4, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&found, i] {
            for (int round = 0; round < 5; ++round) {
                found[i] += static_cast<int>(Process::FindByName("WINDOWS_TESTS.EXE").size());
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(found, (std::vector<int>{5, 5, 5, 5}));
}

}  // namespace
