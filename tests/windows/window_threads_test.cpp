#include "impl/window_threads.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <vector>

namespace {

using namespace std::chrono_literals;

TEST(WindowThreads, TheCountWaitsForEveryThreadAndOnlyWithinItsBound) {
    win32::WindowThreads threads;
    EXPECT_TRUE(threads.WaitForAll(0ms));  // none started
    const HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(release, nullptr);
    std::atomic<int> ended{0};
    for (int i = 0; i < 3; ++i) {
        threads.Start([&] {
            WaitForSingleObject(release, INFINITE);
            ++ended;
        });
    }
    // One that throws still counts as ended.
    threads.Start([] { throw std::runtime_error("ends the thread quietly"); });
    EXPECT_FALSE(threads.WaitForAll(50ms));
    EXPECT_FALSE(threads.WaitForExit(50ms));
    EXPECT_FALSE(win32::WindowThreads::WaitForExitOfAll(50ms));
    SetEvent(release);
    EXPECT_TRUE(threads.WaitForAll(10s));
    EXPECT_EQ(ended.load(), 3);
    // Counted out is not yet out of the system; both come.
    EXPECT_TRUE(threads.WaitForExit(10s));
    EXPECT_TRUE(win32::WindowThreads::WaitForExitOfAll(0ms));
    CloseHandle(release);
}

// This executable asks for node.exe's 8 MB a thread: a 32-bit host has room for about 200 of
// those, and every proxy and frame window has a thread of its own.
TEST(WindowThreads, EachThreadReservesOneMegabyteOfStackWhateverTheExecutableAsks) {
    win32::WindowThreads threads;
    std::atomic<size_t> reserved{0};
    threads.Start([&reserved] {
        MEMORY_BASIC_INFORMATION stack = {};
        VirtualQuery(&stack, &stack, sizeof(stack));
        // The committed top of the stack ends where its reservation does.
        reserved = static_cast<size_t>(static_cast<char*>(stack.BaseAddress) + stack.RegionSize -
                                       static_cast<char*>(stack.AllocationBase));
    });
    EXPECT_TRUE(threads.WaitForAll(10s));
    EXPECT_EQ(reserved.load(), size_t{1} << 20);
}

LRESULT CALLBACK QuitOnDestroy(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool ClassRegistered(const wchar_t* name) {
    WNDCLASSEXW info = {};
    info.cbSize = sizeof(info);
    return GetClassInfoExW(GetModuleHandleW(nullptr), name, &info) != FALSE;
}

TEST(WindowThreads, TheThreadsOfAKindShareItsClassWhichGoesOnceAWaitSeesTheLastEnd) {
    constexpr const wchar_t* kClass = L"QuarnelWindowThreadsTest";
    win32::WindowThreads threads;
    std::atomic<HWND> made[2] = {};
    std::atomic<int> quits{0};
    for (auto& window : made) {
        // The second thread finds the class registered and must still make its window.
        threads.Start([&window, &quits] {
            win32::RegisterWindowClass(kClass, QuitOnDestroy);
            window = CreateWindowExW(0, kClass, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                     nullptr, nullptr);
            if (window.load() != nullptr && win32::PumpMessages().quit) {
                ++quits;
            }
        });
        for (int wait = 0; window.load() == nullptr && wait < 500; ++wait) {
            Sleep(10);
        }
        ASSERT_NE(window.load(), nullptr);
    }
    // One window still open: the wait times out and the class stays.
    PostMessageW(made[0], WM_CLOSE, 0, 0);  // DefWindowProc destroys it
    EXPECT_FALSE(threads.WaitForAll(50ms, kClass));
    EXPECT_TRUE(ClassRegistered(kClass));
    PostMessageW(made[1], WM_CLOSE, 0, 0);
    EXPECT_TRUE(threads.WaitForAll(10s, kClass));
    EXPECT_EQ(quits.load(), 2);
    EXPECT_FALSE(ClassRegistered(kClass));
}

// The keyboard hook's way: a thread without a window, ended by a quit posted to its id.
TEST(WindowThreads, AQuitByIdRightAfterTheStartIsNeverLostAndAnEndedThreadGetsNone) {
    win32::WindowThreads threads;
    for (int i = 0; i < 20; ++i) {  // the quit races the new thread's first steps
        std::atomic<bool> quit{false};
        const DWORD id = threads.Start([&quit] { quit = win32::PumpMessages().quit; });
        EXPECT_TRUE(threads.Quit(id)) << "start " << i;
        ASSERT_TRUE(threads.WaitForAll(10s)) << "start " << i;
        EXPECT_TRUE(quit.load()) << "start " << i;
        // Its id may be another thread's by now.
        EXPECT_FALSE(threads.Quit(id)) << "start " << i;
    }
}

// A window's owner that notes what reaches it and answers WM_APP with its own number.
struct NotingOwner {
    LRESULT Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        messages.push_back(message);
        return message == WM_APP ? number : DefWindowProcW(hwnd, message, wParam, lParam);
    }
    int number;
    std::vector<UINT> messages;
};

TEST(OwnedWindowProc, EachWindowReachesItsOwnOwnerFromItsFirstMessageToItsLast) {
    win32::RegisterWindowClass(L"QuarnelOwnedWindowTest",
                               win32::OwnedWindowProc<NotingOwner, &NotingOwner::Procedure>);
    NotingOwner owners[] = {{7, {}}, {9, {}}};
    HWND windows[2] = {};
    for (int i = 0; i < 2; ++i) {
        windows[i] = CreateWindowExW(0, L"QuarnelOwnedWindowTest", L"", WS_POPUP, 0, 0, 10, 10,
                                     nullptr, nullptr, nullptr, &owners[i]);
        ASSERT_NE(windows[i], nullptr) << "window " << i;
    }
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(SendMessageW(windows[i], WM_APP, 0, 0), owners[i].number) << "window " << i;
        ASSERT_FALSE(owners[i].messages.empty());
        EXPECT_EQ(owners[i].messages.front(), static_cast<UINT>(WM_NCCREATE)) << "window " << i;
    }
    DestroyWindow(windows[0]);
    EXPECT_EQ(owners[0].messages.back(), static_cast<UINT>(WM_NCDESTROY));
    EXPECT_EQ(SendMessageW(windows[1], WM_APP, 0, 0), owners[1].number);  // still its own
    DestroyWindow(windows[1]);
    EXPECT_EQ(owners[1].messages.back(), static_cast<UINT>(WM_NCDESTROY));
}

}  // namespace
