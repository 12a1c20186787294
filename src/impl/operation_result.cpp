#include "impl/operation_result.h"

#include "impl/win32_resources.h"

#include <orlix/exception.h>

std::string ErrorCodeText(uint32_t code) {
    std::string text = Orlix::FormatSystemError(code);
    if (!text.empty()) {
        return text;
    }
    // Directory-service codes are not in the system table. Only System32's copy is looked at
    // (a file of that name beside the application or in its working directory would otherwise
    // be found first), and only as data: no code of it runs.
    const win32::UniqueHmodule module(LoadLibraryExW(
        L"Ntdsbmsg.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_AS_DATAFILE));
    if (!module) {
        return std::string();
    }
    text = Orlix::FormatModuleError(module.get(), code);
    return text.empty() ? "Error message not found." : text;
}

OperationResult::OperationResult(bool status, uint32_t pid, uint32_t errorCode)
    : status(status), errorCode(errorCode), errorMessage(ErrorCodeText(errorCode)), pid(pid) {}
