#pragma once

// When the keyboard hook must be installed again. Windows removes a low-level hook whose
// procedure misses its time-out too often, and tells nobody; a desktop switch can drop it too.
// Keyboard raw input reaches a sink window whatever became of the hook, so a key that raw input
// saw and the hook never reported says the hook is gone.
//
// Times are tick counts in milliseconds, as GetTickCount, KBDLLHOOKSTRUCT::time and
// GetMessageTime give them, and wrap every 49.7 days: they are compared by difference only.
// Event times (a hook event's, a raw key's) and the watchdog's clock are the same tick count.
#include <algorithm>
#include <cstdint>

namespace quarnel::hookwatch {

// How long a raw key may wait for the hook to report anything. The hook normally reports a key
// before its raw input arrives, but another program's slow hook earlier in the chain delays
// the call; short enough that a hook gone is back well within a second of the first key it
// missed.
constexpr uint32_t kGraceMs = 400;
// The wait before installing again after a failed install; it doubles with each further
// failure, up to 16 times as long.
constexpr uint32_t kRetryMs = 250;
// While the hook is being called the raw input of the same keys says nothing new, and reading
// it costs the desktop a thread switch per event: it waits in the queue until the hook has been
// quiet this long, or this long since it was last read, so that it cannot pile up.
constexpr uint32_t kBusyMs = 100;
constexpr uint32_t kRawReadMs = 250;
// Decide's wait when nothing is pending.
constexpr uint32_t kNoDeadline = UINT32_MAX;

inline bool NotBefore(uint32_t a, uint32_t b) noexcept {
    return static_cast<int32_t>(a - b) >= 0;
}

enum class RawDevice { Keyboard, Mouse, Other };

// One WM_INPUT: what sent it and the event's time. Injected input (SendInput, keybd_event)
// comes without a device on Windows.
struct RawEvent {
    RawDevice device;
    bool injected;
    uint32_t time;
};

struct HookWatch {
    bool installed = false;
    uint32_t attempted = 0;     // the last install attempt
    uint32_t failures = 0;      // failed installs since the last that worked
    bool heard = false;         // the hook has reported some event ...
    uint32_t heardTime = 0;     // ... the latest of which has this event time ...
    uint32_t calledAt = 0;      // ... at this call
    uint32_t rawReadAt = 0;     // raw input was last read
    bool missing = false;       // a key went by that the hook has not reported ...
    uint32_t missingSince = 0;  // ... since this arrival
    uint32_t recoveries = 0;    // reinstalls since the hook last reported anything
    bool resumed = false;       // the session came back (unlock, reconnect): install again
};

// After an install attempt at `now`.
inline HookWatch Installed(HookWatch watch, bool ok, uint32_t now) noexcept {
    watch.attempted = now;
    watch.failures = ok ? 0 : watch.failures + 1;
    watch.recoveries = ok && watch.installed ? watch.recoveries + 1 : watch.recoveries;
    watch.installed = ok;
    watch.missing = false;
    watch.resumed = false;
    return watch;
}

// The hook procedure was called at `now` for an event of time `eventTime`. A call at all
// proves the hook installed: a removed hook is never called again.
inline HookWatch HookEvent(HookWatch watch, uint32_t eventTime, uint32_t now) noexcept {
    // An injected event may carry any time; one from the future would hide later keys.
    const uint32_t time = NotBefore(now, eventTime) ? eventTime : now;
    if (!watch.heard || NotBefore(time, watch.heardTime)) {
        watch.heardTime = time;
    }
    watch.heard = true;
    watch.calledAt = now;
    watch.missing = false;
    watch.recoveries = 0;
    return watch;
}

// A raw input event arrived at `now`. Only keys from a keyboard device count: mouse input
// never passes a keyboard hook, and injected keys are the injecting program's business (some
// reach raw input without passing the hook). Keys from before the last install, still in
// the queue, count neither: the install has dealt with them.
inline HookWatch RawInput(HookWatch watch, RawEvent event, uint32_t now) noexcept {
    if (event.device != RawDevice::Keyboard || event.injected || !watch.installed ||
        !NotBefore(event.time, watch.attempted) ||
        (watch.heard && NotBefore(watch.heardTime, event.time)) || watch.missing) {
        return watch;
    }
    watch.missing = true;
    watch.missingSince = now;
    return watch;
}

// How long the raw input may stay unread; 0: read it now, and wake for more.
inline uint32_t RawInputDue(const HookWatch& watch, uint32_t now) noexcept {
    const uint32_t sinceCall = NotBefore(now, watch.calledAt) ? now - watch.calledAt : 0;
    const uint32_t sinceRead = NotBefore(now, watch.rawReadAt) ? now - watch.rawReadAt : 0;
    if (!watch.heard || sinceCall >= kBusyMs || sinceRead >= kRawReadMs) {
        return 0;
    }
    return std::min(kBusyMs - sinceCall, kRawReadMs - sinceRead);
}

inline HookWatch RawInputRead(HookWatch watch, uint32_t now) noexcept {
    watch.rawReadAt = now;
    return watch;
}

// The session came back to this desktop: a lock screen or a remote connection switched
// desktops, which can take the hook with it.
inline HookWatch SessionResumed(HookWatch watch) noexcept {
    watch.resumed = true;
    return watch;
}

struct Verdict {
    bool reinstall;
    uint32_t waitMs;  // until Decide is due again, kNoDeadline for no deadline
};

// Whether to install the hook again now, and otherwise how long until asking again. A
// reinstall that is followed by silence again (the hook is called for nothing, for whatever
// reason) waits twice as long before the next, so a desktop that legitimately keeps keys from
// the hook is not answered with a reinstall per key.
inline Verdict Decide(const HookWatch& watch, uint32_t now) noexcept {
    uint32_t wait = kNoDeadline;
    uint32_t since = 0;
    if (watch.resumed) {
        return {true, 0};
    }
    if (!watch.installed) {
        wait = kRetryMs << std::min<uint32_t>(watch.failures > 0 ? watch.failures - 1 : 0, 4);
        since = watch.attempted;
    } else if (watch.missing) {
        wait = kGraceMs << std::min<uint32_t>(watch.recoveries, 4);
        since = watch.missingSince;
    } else {
        return {false, kNoDeadline};
    }
    const uint32_t elapsed = NotBefore(now, since) ? now - since : 0;
    return elapsed >= wait ? Verdict{true, 0} : Verdict{false, wait - elapsed};
}

}  // namespace quarnel::hookwatch
