#include "impl/base_thread.h"
#include "impl/window_threads.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <system_error>
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
    SetEvent(release);
    EXPECT_TRUE(threads.WaitForAll(10s));
    EXPECT_EQ(ended.load(), 3);
    CloseHandle(release);
}

LRESULT CALLBACK QuitOnDestroy(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(WindowThreads, AWindowThreadRegistersItsClassAgainAndItsLoopEndsWithTheWindow) {
    win32::WindowThreads threads;
    std::atomic<HWND> made{nullptr};
    std::atomic<bool> quit{false};
    for (int i = 0; i < 2; ++i) {  // the second registration of the class must not stop it
        threads.Start([&] {
            win32::RegisterWindowClass(L"QuarnelWindowThreadsTest", QuitOnDestroy);
            const HWND window = CreateWindowExW(0, L"QuarnelWindowThreadsTest", L"", WS_POPUP, 0, 0,
                                                10, 10, nullptr, nullptr, nullptr, nullptr);
            made = window;
            if (window != nullptr) {
                quit = win32::PumpMessages().quit;
            }
        });
        for (int wait = 0; made.load() == nullptr && wait < 500; ++wait) {
            Sleep(10);
        }
        ASSERT_NE(made.load(), nullptr) << "window " << i;
        EXPECT_FALSE(threads.WaitForAll(0ms));
        PostMessageW(made.load(), WM_CLOSE, 0, 0);  // DefWindowProc destroys it
        EXPECT_TRUE(threads.WaitForAll(10s)) << "window " << i;
        EXPECT_TRUE(quit.load()) << "window " << i;
        made = nullptr;
        quit = false;
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

// Waits in its loop until the stop's quit arrives, like the keyboard hook.
class QuitWorker : public BaseThread {
public:
    ~QuitWorker() { Stop(); }
    void Run() override {
        MSG msg;
        PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        threadId = GetCurrentThreadId();
        while (IsRunning() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_APP) {
                try {
                    Stop();  // from the worker itself
                } catch (const std::system_error&) {
                    stopFromWorkerThrew = true;
                }
            }
        }
    }
    void OnStop() override { Post(WM_QUIT); }
    void Post(UINT message) {
        while (threadId == 0) {
            Sleep(1);
        }
        PostThreadMessageW(threadId, message, 0, 0);
    }

    std::atomic<DWORD> threadId{0};
    std::atomic<bool> stopFromWorkerThrew{false};
};

TEST(BaseThread, StartsOnceStopsAndWaitsAndRefusesToWaitForItself) {
    QuitWorker worker;
    EXPECT_EQ(worker.GetNativeHandle(), INVALID_HANDLE_VALUE);
    worker.Start();
    const HANDLE first = worker.GetNativeHandle();
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    worker.Start();  // already running: the same thread
    EXPECT_EQ(worker.GetNativeHandle(), first);
    EXPECT_EQ(WaitForSingleObject(first, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    worker.Post(WM_APP);
    for (int wait = 0; !worker.stopFromWorkerThrew && wait < 500; ++wait) {
        Sleep(10);
    }
    EXPECT_TRUE(worker.stopFromWorkerThrew.load());

    // The failed stop from the worker cleared its running flag: the loop has ended by itself.
    worker.Stop();
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(worker.GetNativeHandle(), INVALID_HANDLE_VALUE);

    worker.threadId = 0;
    worker.Start();  // a new thread after a stop
    EXPECT_NE(worker.GetNativeHandle(), INVALID_HANDLE_VALUE);
    worker.Stop();
    EXPECT_EQ(worker.GetNativeHandle(), INVALID_HANDLE_VALUE);
}

}  // namespace
