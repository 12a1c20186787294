#include "core/hook_watchdog.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

using namespace quarnel::hookwatch;

// What the hook thread learns, in order, one word each: a letter, the clock and, after "/",
// the event's time. I install, F failed install, H hook call, K raw key, M raw mouse event,
// J injected raw key, S the session came back, R raw input read.
HookWatch Replay(const std::string& script) {
    HookWatch watch;
    std::istringstream words(script);
    for (std::string word; words >> word;) {
        char* end = nullptr;
        const auto at = static_cast<uint32_t>(std::strtoul(word.c_str() + 1, &end, 0));
        const auto time =
            static_cast<uint32_t>(*end == '/' ? std::strtoul(end + 1, nullptr, 0) : 0);
        const char kind = word[0];
        if (kind == 'I' || kind == 'F') {
            watch = Installed(watch, kind == 'I', at);
        } else if (kind == 'H') {
            watch = HookEvent(watch, time, at);
        } else if (kind == 'K' || kind == 'M' || kind == 'J') {
            const RawDevice device = kind == 'M' ? RawDevice::Mouse : RawDevice::Keyboard;
            watch = RawInput(watch, {device, kind == 'J', time}, at);
        } else if (kind == 'S') {
            watch = SessionResumed(watch);
        } else if (kind == 'R') {
            watch = RawInputRead(watch, at);
        } else {
            ADD_FAILURE() << "unknown step " << word;
        }
    }
    return watch;
}

TEST(HookWatchdog, ReinstallsOnlyWhenAKeyboardKeyWentByUnreported) {
    constexpr uint32_t never = kNoDeadline;
    struct Row {
        const char* what;
        const char* steps;
        uint32_t now;
        bool reinstall;
        uint32_t waitMs;
    } const rows[] = {
        {"hook reports the key before its raw input", "I0 H1000/1000 K1001/1000", 5000, false,
         never},
        {"raw input first, the hook's report 300 ms later", "I0 K1000/1000 H1300/1000", 5000, false,
         never},
        {"hook silent after the key: not yet", "I0 H500/500 K1000/1000", 1399, false, 1},
        {"hook silent after the key: now", "I0 H500/500 K1000/1000", 1400, true, 0},
        {"counted from the first key the hook missed", "I0 K1000/1000 K1300/1300", 1400, true, 0},
        {"a hook removed before it ever reported", "I0 K50/50", 450, true, 0},
        {"mouse input only", "I0 M1000/1000", 9000, false, never},
        {"injected keys only", "I0 J1000/1000", 9000, false, never},
        {"key from before the reinstall still queued", "I0 I2000 K2005/1990", 9000, false, never},
        {"an injected event's future time hides no later key", "I0 H1000/90000 K1500/1500", 1900,
         true, 0},
        {"silent again after a reinstall: twice the grace", "I0 K100/100 I500 K600/600", 1399,
         false, 1},
        {"silent after five reinstalls: sixteen times, no more", "I0 I1 I2 I3 I4 I5 K600/600",
         600 + 16 * kGraceMs, true, 0},
        {"a report after the reinstall ends the back-off", "I0 I500 H550/550 K600/600", 1000, true,
         0},
        {"first failed install: retried", "F0", 250, true, 0},
        {"second failure: twice the wait", "F0 F250", 749, false, 1},
        {"sixth failure: sixteen times, no more", "F0 F1 F2 F3 F4 F5", 5 + 16 * kRetryMs, true, 0},
        {"keys without a hook wait for the retry", "F0 K10/10", 100, false, 150},
        {"session back: at once", "I0 S10", 10, true, 0},
        {"session back, hook installed again", "I0 S10 I20", 9000, false, never},
        {"tick count wraps between the key and now", "I0xFFFFFF00 K0xFFFFFFF0/0xFFFFFFF0",
         0xFFFFFFF0u + kGraceMs, true, 0},
        {"tick count wraps between the report and the key",
         "I0xFFFFFF00 H0xFFFFFFF0/0xFFFFFFF0 K0x10/0x10", 0x10 + kGraceMs, true, 0},
    };
    for (const Row& row : rows) {
        const Verdict verdict = Decide(Replay(row.steps), row.now);
        EXPECT_EQ(verdict.reinstall, row.reinstall) << row.what;
        EXPECT_EQ(verdict.waitMs, row.waitMs) << row.what;
    }
}

TEST(HookWatchdog, RawInputWaitsWhileTheHookIsBusyAndNoLongerThanTheReadInterval) {
    struct Row {
        const char* what;
        const char* steps;
        uint32_t now, due;
    } const rows[] = {
        {"no call yet", "I0 R0", 10, 0},
        {"called 30 ms ago, read 10 ms ago", "I0 R1020 H1000/1000", 1030, 70},
        {"called 30 ms ago, read 240 ms ago", "I0 R790 H1000/1000", 1030, 10},
        {"quiet for 100 ms", "I0 R1050 H1000/1000", 1100, 0},
        {"busy, but unread for 250 ms", "I0 R800 H1040/1040", 1050, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(RawInputDue(Replay(row.steps), row.now), row.due) << row.what;
    }
}

}  // namespace
