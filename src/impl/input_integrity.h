#pragma once

// Tells beforehand when Windows will drop input or a focus request without an error, because
// the receiving window's process runs at a higher integrity level than the host.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

// The integrity level of a process's token; nothing when the system does not tell it.
std::optional<uint32_t> ProcessIntegrityLevel(HANDLE process);

// The host's own level, read once: a process's integrity never changes.
std::optional<uint32_t> HostIntegrityLevel();

// The warning to log when `what` (say "mouse input") aimed at `window` would be dropped;
// nothing when it would arrive, or when that cannot be told.
std::optional<std::string> InputDropCheck(HWND window, const char* what);
