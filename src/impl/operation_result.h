#pragma once

#include <cstdint>
#include <string>

// Result of an operation that JavaScript receives as { status, errorCode, errorMessage[, pid] }.
struct OperationResult {
    // The code is the last error read right after the operation's system call, before any log
    // record was built (building one may change it); a success carries it too.
    OperationResult(bool status, uint32_t pid, uint32_t errorCode);

    bool status;
    uint32_t errorCode;
    std::string errorMessage;
    uint32_t pid;
};

// The system's text for an error code, UTF-8, trailing line break included; directory-service
// codes come from their own message module. "Error message not found." when neither knows the
// code, empty when that module cannot be loaded.
std::string ErrorCodeText(uint32_t code);
