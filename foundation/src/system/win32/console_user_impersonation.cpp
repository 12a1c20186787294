#include <orlix/process.h>

#include <orlix/scoped_handle.h>

#include <windows.h>
#include <wtsapi32.h>

namespace Orlix {

ConsoleUserImpersonation::ConsoleUserImpersonation() noexcept {
    const DWORD session = WTSGetActiveConsoleSessionId();
    ScopedHandle token;
    if (WTSQueryUserToken(session, token.put()) == FALSE) {
        return;
    }
    ScopedHandle duplicate;
    if (DuplicateTokenEx(token.get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation,
                         TokenPrimary, duplicate.put()) != TRUE) {
        return;
    }
    impersonating_ = ImpersonateLoggedOnUser(duplicate.get()) != FALSE;
}

ConsoleUserImpersonation::~ConsoleUserImpersonation() {
    if (impersonating_) {
        RevertToSelf();
    }
}

}  // namespace Orlix
