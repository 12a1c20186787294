#pragma once

#include <cstdint>

namespace quarnel {

// The decisions of moving the foreground to a window, apart from the calls that carry them out.
enum class FocusStart {
    InvalidHandle,      // nothing to focus
    AlreadyForeground,  // the window has it: touching the input queues would only add risk
    Proceed,
};

inline FocusStart DecideFocusStart(intptr_t hwnd, intptr_t foreground) {
    if (hwnd == 0) {
        return FocusStart::InvalidHandle;
    }
    return hwnd == foreground ? FocusStart::AlreadyForeground : FocusStart::Proceed;
}

// The system only lets a thread take the foreground when its input is joined with the
// foreground thread's; joining a thread with itself is an error, so it is skipped then.
// A foreground thread id of 0 (no foreground window) also differs, and the failed attach
// is then only logged.
inline bool NeedsInputAttach(uint32_t currentThreadId, uint32_t foregroundThreadId) {
    return currentThreadId != foregroundThreadId;
}

}  // namespace quarnel
