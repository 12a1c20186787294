#pragma once

#include <cstdint>

namespace win32 {

// A number that changes whenever the display configuration may have changed: a hidden window
// on a thread of its own counts the system's announcements (display mode, settings, devices,
// DPI). The thread starts with the first call; until it can, and once it has been stopped, every
// call gives a new number, so that callers measure every time, as without a watch.
uint64_t DisplayGeneration() noexcept;

// Ends the watch thread, within a bound; a later DisplayGeneration starts it again.
void StopDisplayWatch() noexcept;

}  // namespace win32
