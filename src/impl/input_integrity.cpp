#include "impl/input_integrity.h"

#include "core/input_integrity.h"
#include "core/lasting.h"
#include "impl/win32_bridge.h"
#include "impl/win32_resources.h"

#include <mutex>
#include <vector>

namespace {

std::optional<uint32_t> LabelLevel(HANDLE token) {
    DWORD size = 0;
    GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
    if (size == 0) {
        return std::nullopt;
    }
    // The label holds a pointer into the same buffer: keep it pointer-aligned.
    std::vector<void*> buffer((size + sizeof(void*) - 1) / sizeof(void*));
    if (!GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size)) {
        return std::nullopt;
    }
    const PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
    if (sid == nullptr || !IsValidSid(sid) || *GetSidSubAuthorityCount(sid) == 0) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(*GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1));
}

bool HostHasUiAccess() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        return false;
    }
    const win32::UniqueHandle token(raw);
    DWORD uiAccess = 0;
    DWORD size = 0;
    return GetTokenInformation(token.get(), TokenUIAccess, &uiAccess, sizeof(uiAccess), &size) &&
           uiAccess != 0;
}

std::string ProcessName(HANDLE process) {
    wchar_t path[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    if (!QueryFullProcessImageNameW(process, 0, path, &length)) {
        return "an unnamed process";
    }
    const std::wstring full(path, length);
    const size_t slash = full.find_last_of(L"\\/");
    return win32::Utf8(slash == std::wstring::npos ? full : full.substr(slash + 1));
}

}  // namespace

std::optional<uint32_t> ProcessIntegrityLevel(HANDLE process) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &raw)) {
        return std::nullopt;
    }
    const win32::UniqueHandle token(raw);
    return LabelLevel(token.get());
}

std::optional<uint32_t> HostIntegrityLevel() {
    static const std::optional<uint32_t> level = ProcessIntegrityLevel(GetCurrentProcess());
    return level;
}

namespace {

std::optional<std::string> CheckProcess(DWORD pid, const char* what) {
    static const bool uiAccess = HostHasUiAccess();
    const win32::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) {
        return std::nullopt;
    }
    quarnel::IntegrityFacts facts;
    facts.host = HostIntegrityLevel();
    facts.target = ProcessIntegrityLevel(process.get());
    facts.hostHasUiAccess = uiAccess;
    if (!quarnel::InputWillBeDropped(facts)) {
        return std::nullopt;
    }
    return quarnel::InputDropWarning(what, ProcessName(process.get()), pid, *facts.target,
                                     *facts.host);
}

// The last verdict, for the window it was reached for. A window belongs to one process for
// its whole life and a process keeps its integrity level, so while the same window is asked
// about the answer stands, and the check costs nothing beyond finding the window: no process,
// token or even owner lookup per mouse event. (A handle value comes back for another window
// only after its slot has been reused tens of thousands of times; the cost of that would be
// one missing or stale warning, never different input.)
struct Verdict {
    HWND window = nullptr;
    std::string what;
    std::optional<std::string> warning;
};
quarnel::Lasting<std::mutex> verdictMutex;
quarnel::Lasting<Verdict> lastVerdict;

std::optional<std::string> CheckWindow(HWND window, const char* what) {
    DWORD pid = 0;
    if (GetWindowThreadProcessId(window, &pid) == 0 || pid == GetCurrentProcessId()) {
        return std::nullopt;
    }
    return CheckProcess(pid, what);
}

}  // namespace

std::optional<std::string> InputDropCheck(HWND window, const char* what) {
    if (window == nullptr) {
        return std::nullopt;
    }
    std::lock_guard<std::mutex> lock(*verdictMutex);
    if (lastVerdict->window != window || lastVerdict->what != what) {
        *lastVerdict = Verdict{window, what, CheckWindow(window, what)};
    }
    return lastVerdict->warning;
}
