#include "core/hook_watchdog.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>

namespace {

using namespace quarnel::hookwatch;

// One thing the hook thread learns: an install (ok or failed), a hook call (event time), a raw
// input event (device, injected, event time) or the session coming back; `at` is the clock.
struct Step {
    enum Kind { Install, Fail, Hook, Key, Mouse, Injected, Resume, Read } kind;
    uint32_t at;
    uint32_t eventTime = 0;
};

HookWatch Replay(std::initializer_list<Step> steps) {
    HookWatch watch;
    for (const Step& step : steps) {
        switch (step.kind) {
            case Step::Install:
            case Step::Fail:
                watch = Installed(watch, step.kind == Step::Install, step.at);
                break;
            case Step::Hook:
                watch = HookEvent(watch, step.eventTime, step.at);
                break;
            case Step::Key:
            case Step::Mouse:
            case Step::Injected:
                watch = RawInput(watch,
                                 {step.kind == Step::Mouse ? RawDevice::Mouse : RawDevice::Keyboard,
                                  step.kind == Step::Injected, step.eventTime},
                                 step.at);
                break;
            case Step::Resume:
                watch = SessionResumed(watch);
                break;
            case Step::Read:
                watch = RawInputRead(watch, step.at);
                break;
        }
    }
    return watch;
}

TEST(HookWatchdog, ReinstallsOnlyWhenAKeyboardKeyWentByUnreported) {
    constexpr uint32_t never = kNoDeadline;
    struct Row {
        const char* what;
        HookWatch watch;
        uint32_t now;
        bool reinstall;
        uint32_t waitMs;
    } const rows[] = {
        {"hook reports the key before its raw input",
         Replay({{Step::Install, 0}, {Step::Hook, 1000, 1000}, {Step::Key, 1001, 1000}}), 5000,
         false, never},
        {"raw input first, the hook's report 300 ms later",
         Replay({{Step::Install, 0}, {Step::Key, 1000, 1000}, {Step::Hook, 1300, 1000}}), 5000,
         false, never},
        {"hook silent after the key: not yet",
         Replay({{Step::Install, 0}, {Step::Hook, 500, 500}, {Step::Key, 1000, 1000}}), 1399, false,
         1},
        {"hook silent after the key: now",
         Replay({{Step::Install, 0}, {Step::Hook, 500, 500}, {Step::Key, 1000, 1000}}), 1400, true,
         0},
        {"counted from the first key the hook missed",
         Replay({{Step::Install, 0}, {Step::Key, 1000, 1000}, {Step::Key, 1300, 1300}}), 1400, true,
         0},
        {"a hook removed before it ever reported",
         Replay({{Step::Install, 0}, {Step::Key, 50, 50}}), 450, true, 0},
        {"mouse input only", Replay({{Step::Install, 0}, {Step::Mouse, 1000, 1000}}), 9000, false,
         never},
        {"injected keys only", Replay({{Step::Install, 0}, {Step::Injected, 1000, 1000}}), 9000,
         false, never},
        {"key from before the reinstall still queued",
         Replay({{Step::Install, 0}, {Step::Install, 2000}, {Step::Key, 2005, 1990}}), 9000, false,
         never},
        {"an injected event's future time hides no later key",
         Replay({{Step::Install, 0}, {Step::Hook, 1000, 90000}, {Step::Key, 1500, 1500}}), 1900,
         true, 0},
        {"silent again after a reinstall: twice the grace",
         Replay({{Step::Install, 0},
                 {Step::Key, 100, 100},
                 {Step::Install, 500},
                 {Step::Key, 600, 600}}),
         1399, false, 1},
        {"silent after five reinstalls: sixteen times, no more",
         Replay({{Step::Install, 0},
                 {Step::Install, 1},
                 {Step::Install, 2},
                 {Step::Install, 3},
                 {Step::Install, 4},
                 {Step::Install, 5},
                 {Step::Key, 600, 600}}),
         600 + 16 * kGraceMs, true, 0},
        {"a report after the reinstall ends the back-off",
         Replay({{Step::Install, 0},
                 {Step::Install, 500},
                 {Step::Hook, 550, 550},
                 {Step::Key, 600, 600}}),
         1000, true, 0},
        {"first failed install: retried", Replay({{Step::Fail, 0}}), 250, true, 0},
        {"second failure: twice the wait", Replay({{Step::Fail, 0}, {Step::Fail, 250}}), 749, false,
         1},
        {"sixth failure: sixteen times, no more",
         Replay({{Step::Fail, 0},
                 {Step::Fail, 1},
                 {Step::Fail, 2},
                 {Step::Fail, 3},
                 {Step::Fail, 4},
                 {Step::Fail, 5}}),
         5 + 16 * kRetryMs, true, 0},
        {"keys without a hook wait for the retry", Replay({{Step::Fail, 0}, {Step::Key, 10, 10}}),
         100, false, 150},
        {"session back: at once", Replay({{Step::Install, 0}, {Step::Resume, 10}}), 10, true, 0},
        {"session back, hook installed again",
         Replay({{Step::Install, 0}, {Step::Resume, 10}, {Step::Install, 20}}), 9000, false, never},
        {"tick count wraps between the key and now",
         Replay({{Step::Install, 0xFFFFFF00u}, {Step::Key, 0xFFFFFFF0u, 0xFFFFFFF0u}}),
         0xFFFFFFF0u + kGraceMs, true, 0},
        {"tick count wraps between the report and the key",
         Replay({{Step::Install, 0xFFFFFF00u},
                 {Step::Hook, 0xFFFFFFF0u, 0xFFFFFFF0u},
                 {Step::Key, 0x10, 0x10}}),
         0x10 + kGraceMs, true, 0},
    };
    for (const Row& row : rows) {
        const Verdict verdict = Decide(row.watch, row.now);
        EXPECT_EQ(verdict.reinstall, row.reinstall) << row.what;
        EXPECT_EQ(verdict.waitMs, row.waitMs) << row.what;
    }
}

TEST(HookWatchdog, RawInputWaitsWhileTheHookIsBusyAndNoLongerThanTheReadInterval) {
    struct Row {
        const char* what;
        HookWatch watch;
        uint32_t now, due;
    } const rows[] = {
        {"no call yet", Replay({{Step::Install, 0}, {Step::Read, 0}}), 10, 0},
        {"called 30 ms ago, read 10 ms ago",
         Replay({{Step::Install, 0}, {Step::Read, 1020}, {Step::Hook, 1000, 1000}}), 1030, 70},
        {"called 30 ms ago, read 240 ms ago",
         Replay({{Step::Install, 0}, {Step::Read, 790}, {Step::Hook, 1000, 1000}}), 1030, 10},
        {"quiet for 100 ms",
         Replay({{Step::Install, 0}, {Step::Read, 1050}, {Step::Hook, 1000, 1000}}), 1100, 0},
        {"busy, but unread for 250 ms",
         Replay({{Step::Install, 0}, {Step::Read, 800}, {Step::Hook, 1040, 1040}}), 1050, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(RawInputDue(row.watch, row.now), row.due) << row.what;
    }
}

}  // namespace
