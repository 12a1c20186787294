#include "process_impl.h"

#include <atomic>
#include <vector>

#include <orlix/detail/system_paths.h>
#include <orlix/scoped_handle.h>
#include <orlix/shared_library.h>
#include <orlix/string_conversion.h>

#include <windows.h>
#include <winternl.h>
#include <psapi.h>

namespace Orlix {

namespace {

using NtQuerySystemInformationFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

constexpr ULONG kSystemProcessInformation = 5;
constexpr std::size_t kInitialBufferSize = 0x96000;

// PROCESS_QUERY_LIMITED_INFORMATION works on more processes (protected ones included) than
// the full right, so it is the default.
std::atomic<bool> g_useLimitedQueryRight{true};

// Each thread keeps its buffer for its next enumeration; it is freed when the thread ends.
thread_local std::vector<unsigned char> t_processBuffer;
thread_local bool t_enumerating = false;

}  // namespace

void ProcessImpl::Enumerate(const std::function<bool(const ProcessImpl&)>& visit) {
    const SharedLibrary ntdll(LoadLibraryExW(L"ntdll.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (ntdll.Module() == nullptr) {
        return;
    }
    const auto query = reinterpret_cast<NtQuerySystemInformationFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(ntdll.Module(), "NtQuerySystemInformation")));
    if (query == nullptr) {
        return;
    }
    // A visitor that enumerates again must not have the buffer it is walking reallocated.
    std::vector<unsigned char> nested;
    std::vector<unsigned char>& buffer = t_enumerating ? nested : t_processBuffer;
    if (buffer.empty()) {
        buffer.assign(kInitialBufferSize, 0);
    }
    const bool ok = detail::QueryIntoGrowingBuffer(
        buffer, [query](void* data, std::uint32_t size, std::uint32_t* needed) {
            ULONG length = 0;
            const LONG status = query(kSystemProcessInformation, data, size, &length);
            *needed = length;
            return static_cast<std::uint32_t>(status);
        });
    if (!ok) {
        return;
    }
    const bool outer = !t_enumerating;
    t_enumerating = true;
    struct Reset {
        bool outer;
        ~Reset() {
            if (outer) {
                t_enumerating = false;
            }
        }
    } reset{outer};

    std::size_t offset = 0;
    while (offset + sizeof(SYSTEM_PROCESS_INFORMATION) <= buffer.size()) {
        const auto* info = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(&buffer[offset]);
        std::wstring image;
        if (info->ImageName.Buffer != nullptr) {
            image.assign(info->ImageName.Buffer, info->ImageName.Length / sizeof(wchar_t));
        }
        const auto pid =
            static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(info->UniqueProcessId));
        const auto parentPid = static_cast<std::uint32_t>(
            reinterpret_cast<ULONG_PTR>(info->InheritedFromUniqueProcessId));
        const ProcessImpl process(pid, WideToUtf8(image), parentPid,
                                  static_cast<std::uint64_t>(info->CreateTime.QuadPart));
        if (!visit(process) || info->NextEntryOffset == 0) {
            break;
        }
        offset += info->NextEntryOffset;
    }
}

std::string ProcessImpl::ImagePath(std::uint32_t pid) {
    const DWORD right =
        g_useLimitedQueryRight ? PROCESS_QUERY_LIMITED_INFORMATION : PROCESS_QUERY_INFORMATION;
    std::wstring devicePath;
    {
        const ScopedHandle process(OpenProcess(right, FALSE, pid));
        if (!process) {
            return "";
        }
        std::vector<wchar_t> buffer(520);
        const DWORD length = GetProcessImageFileNameW(process.get(), buffer.data(),
                                                      static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return "";
        }
        devicePath.assign(buffer.data(), length);
    }
    std::vector<wchar_t> drives(200);
    const DWORD length = GetLogicalDriveStringsW(static_cast<DWORD>(drives.size()), drives.data());
    if (length == 0 || length > drives.size()) {
        return "";
    }
    const std::wstring path = detail::MapDevicePathToDrive(
        devicePath, detail::SplitMultiString(drives.data(), length),
        [](const std::wstring& drive, std::wstring& device) {
            std::vector<wchar_t> name(100);
            if (QueryDosDeviceW(drive.c_str(), name.data(), static_cast<DWORD>(name.size())) == 0) {
                return false;
            }
            device = name.data();
            return true;
        });
    return WideToUtf8(path);
}

Process::KillResult ProcessImpl::Terminate(bool wait) const {
    if (pid_ == 0) {
        return Process::KillResult::Failed;
    }
    DWORD access = wait ? PROCESS_TERMINATE | SYNCHRONIZE : PROCESS_TERMINATE;
    if (creationTime_ != 0) {
        access |= PROCESS_QUERY_LIMITED_INFORMATION;
    }
    const ScopedHandle process(OpenProcess(access, FALSE, pid_));
    if (!process) {
        return Process::KillResult::Failed;
    }
    // The pid may have been given to another process since the enumeration; a pid and a
    // creation time together name one process, and the handle pins the one it names now.
    if (creationTime_ != 0) {
        FILETIME created{};
        FILETIME exited{};
        FILETIME kernel{};
        FILETIME user{};
        if (!GetProcessTimes(process.get(), &created, &exited, &kernel, &user)) {
            return Process::KillResult::Failed;
        }
        const std::uint64_t createdAt =
            (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
        if (createdAt != creationTime_) {
            return Process::KillResult::NotSameProcess;
        }
    }
    if (!TerminateProcess(process.get(), 0)) {
        return Process::KillResult::Failed;
    }
    if (wait) {
        WaitForSingleObject(process.get(), INFINITE);
    }
    return Process::KillResult::Killed;
}

}  // namespace Orlix
