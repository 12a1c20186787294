// Not live yet: each operation reports that it is not implemented (see README).
#include "impl/quarnel_impl.h"

#include "addon/logging.h"

namespace {

int NotImplemented(const char* what) {
    QLOG(LOG_ERROR) << what << " not implemented";
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return ERROR_CALL_NOT_IMPLEMENTED;
}

}  // namespace

OperationResult::OperationResult(bool status, uint32_t pid)
    : status(status), errorCode(GetLastError()), pid(pid) {
    wchar_t buffer[512] = {};
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, errorCode, 0, buffer, 512, nullptr);
    if (length == 0) {
        errorMessage = "Error message not found.";
        return;
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), nullptr, 0,
                                   nullptr, nullptr);
    errorMessage.resize(size > 0 ? size : 0);
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), &errorMessage[0], size,
                            nullptr, nullptr);
    }
}

void QuarnelImpl::SetWindowFocus(int) { NotImplemented("SetWindowFocus"); }
void QuarnelImpl::SetWindowFocusable(int, bool) { NotImplemented("SetWindowFocusable"); }
void QuarnelImpl::SetWindowFrontTaskbar(int, bool) { NotImplemented("SetWindowFrontTaskbar"); }
OperationResult QuarnelImpl::SetWindowParent(int, int) {
    NotImplemented("SetWindowParent");
    return OperationResult(false, 0);
}
HWND QuarnelImpl::GetCurrentForegroundWindow() {
    NotImplemented("GetCurrentForegroundWindow");
    return nullptr;
}
void QuarnelImpl::GetDeskRect(int& width, int& height) { width = height = 0; }
void QuarnelImpl::GetMainMonitorRect(int& x, int& y, int& width, int& height) {
    x = y = width = height = 0;
}
int QuarnelImpl::InputMouseMove(int, int) { return NotImplemented("InputMouseMove"); }
int QuarnelImpl::InputMouseLeftClick() { return NotImplemented("InputMouseLeftClick"); }
int QuarnelImpl::InputMouseLeftDown() { return NotImplemented("InputMouseLeftDown"); }
int QuarnelImpl::InputMouseLeftUp() { return NotImplemented("InputMouseLeftUp"); }
int QuarnelImpl::InputMouseRightClick() { return NotImplemented("InputMouseRightClick"); }
int QuarnelImpl::InputMouseRightDown() { return NotImplemented("InputMouseRightDown"); }
int QuarnelImpl::InputMouseRightUp() { return NotImplemented("InputMouseRightUp"); }
