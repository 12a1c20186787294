#include "impl/off_thread.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

using namespace std::chrono_literals;

std::atomic<int> announcements{0};

LRESULT CALLBACK CountAnnouncements(HWND hwnd, UINT message, WPARAM wParam,
                                    LPARAM lParam) noexcept {
    if (message == WM_SETTINGCHANGE && lParam != 0 &&
        std::strcmp(reinterpret_cast<const char*>(lParam), "Environment") == 0) {
        ++announcements;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// A top-level window (broadcasts pass message-only windows by) on a thread of its own, which
// pumps or, for `stallMs` after it is made, does not.
void RunWindow(const char* className, DWORD stallMs, HANDLE made, HANDLE quit) {
    HWND hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, className, "", WS_POPUP, 0, 0, 10, 10, nullptr,
                                nullptr, nullptr, nullptr);
    SetEvent(made);
    Sleep(stallMs);
    while (MsgWaitForMultipleObjects(1, &quit, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
        }
    }
    DestroyWindow(hwnd);
}

// Each announcement waits for every window's answer: while a window is slow, the calls made
// meanwhile become one more announcement, not one each.
TEST(OffThread, AnnouncementsAskedForDuringOneComeAsOneMore) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = CountAnnouncements;
    windowClass.lpszClassName = "QuarnelTestAnnouncements";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    const HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE counterMade = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE slowMade = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread counter(RunWindow, windowClass.lpszClassName, 0, counterMade, quit);
    std::thread slow(RunWindow, windowClass.lpszClassName, 1500, slowMade, quit);
    WaitForSingleObject(counterMade, INFINITE);
    WaitForSingleObject(slowMade, INFINITE);

    for (int i = 0; i < 20; ++i) {
        win32::AnnounceEnvironmentChange();
    }
    // Both windows count: two announcements reach each.
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (announcements.load() < 4 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    std::this_thread::sleep_for(500ms);  // time for any further one to arrive
    EXPECT_EQ(announcements.load(), 4);

    SetEvent(quit);
    counter.join();
    slow.join();
    for (HANDLE event : {quit, counterMade, slowMade}) {
        CloseHandle(event);
    }
    UnregisterClassA(windowClass.lpszClassName, nullptr);
}

}  // namespace
