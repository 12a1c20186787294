#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quarnel {

// Windows drops synthesized input and focus requests aimed at a process of higher integrity
// than the sender (user interface privilege isolation) without reporting any error: SendInput
// still counts the records as injected. The module can only tell the user beforehand.

// Mandatory integrity levels, the last sub-authority of a token's integrity label.
enum IntegrityLevel : uint32_t {
    kIntegrityUntrusted = 0x0000,
    kIntegrityLow = 0x1000,
    kIntegrityMedium = 0x2000,
    kIntegrityMediumPlus = 0x2100,
    kIntegrityHigh = 0x3000,
    kIntegritySystem = 0x4000,
    kIntegrityProtected = 0x5000,
};

// What the host and the process that would receive the input are known to be. A level the
// system would not tell stays empty.
struct IntegrityFacts {
    std::optional<uint32_t> host;
    std::optional<uint32_t> target;
    bool hostHasUiAccess = false;  // such a process may drive any level's windows
};

// True only when the system is sure to drop the input: the receiver is known to run higher
// than a host known not to be exempt. An unknown level warns of nothing.
inline bool InputWillBeDropped(const IntegrityFacts& facts) {
    return facts.host && facts.target && !facts.hostHasUiAccess && *facts.target > *facts.host;
}

// The level's usual name, or its number for a level between the named ones.
inline std::string IntegrityLevelName(uint32_t level) {
    switch (level) {
        case kIntegrityUntrusted:
            return "untrusted";
        case kIntegrityLow:
            return "low";
        case kIntegrityMedium:
            return "medium";
        case kIntegrityMediumPlus:
            return "medium plus";
        case kIntegrityHigh:
            return "high";
        case kIntegritySystem:
            return "system";
        case kIntegrityProtected:
            return "protected";
        default:
            return "level " + std::to_string(level);
    }
}

// The warning record's text: which process, and why its input vanishes.
inline std::string InputDropWarning(const std::string& what, const std::string& processName,
                                    uint32_t pid, uint32_t targetLevel, uint32_t hostLevel) {
    return what + " goes to " + processName + " (pid " + std::to_string(pid) + "), which runs at " +
           IntegrityLevelName(targetLevel) + " integrity, above this process (" +
           IntegrityLevelName(hostLevel) + "): Windows will drop it without reporting an error";
}

}  // namespace quarnel
