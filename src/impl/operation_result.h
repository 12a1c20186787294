#pragma once

#include <cstdint>
#include <string>

// Result of an operation that JavaScript receives as { status, errorCode, errorMessage[, pid] }.
struct OperationResult {
    // Reads the calling thread's last-error code and its text at construction, after the
    // operation has written its log records.
    OperationResult(bool status, uint32_t pid);
    // For a failure whose code was read (and logged) earlier: logging may have changed the
    // last error since.
    OperationResult(bool status, uint32_t pid, uint32_t errorCode);

    bool status;
    uint32_t errorCode;
    std::string errorMessage;
    uint32_t pid;
};

// The system's text for an error code, trailing line break included; directory-service codes
// come from their own message module. "Error message not found." when neither knows the code,
// empty when that module cannot be loaded.
std::wstring ErrorCodeText(uint32_t code);
