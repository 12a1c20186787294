// Single-instance process launch: every other instance of the program ends first, except the
// host's own kin.
#include "impl/quarnel_impl.h"

#include "core/logging.h"
#include "core/process_launch.h"
#include "impl/win32_bridge.h"
#include "impl/win32_resources.h"

#include <orlix/process.h>
#include <orlix/string_conversion.h>

#include <map>
#include <set>

// The launch parameters below are fixed for the 32-bit module, whose STARTUPINFOW is 68 bytes;
// the 64-bit build passes its own size.
static_assert(sizeof(void*) != 4 || sizeof(STARTUPINFOW) == 68, "STARTUPINFOW of the 32-bit ABI");

OperationResult QuarnelImpl::StartProcess(const std::string& exe,
                                          const std::vector<std::string>& args,
                                          const std::string& workDir) {
    // Converted before anything ends: text lost for want of memory would launch the program
    // without its arguments, or in another directory.
    std::wstring exeWide;
    std::wstring workDirWide;
    std::vector<std::wstring> argsWide(args.size());
    bool converted = win32::ToWide(exe, exeWide) && win32::ToWide(workDir, workDirWide);
    for (size_t i = 0; converted && i < args.size(); ++i) {
        converted = win32::ToWide(args[i], argsWide[i]);
    }
    if (!converted) {
        QLOG(LOG_ERROR) << "out of memory for the command line exe:" << exe.substr(0, MAX_PATH);
        return OperationResult(false, 0, ERROR_NOT_ENOUGH_MEMORY);
    }

    const auto remembered = launchedPids_.find(exe);
    const uint32_t rememberedPid = remembered == launchedPids_.end() ? 0 : remembered->second;
    const std::string exeName = quarnel::ExeNameOf(exe);

    // One snapshot serves both the search by name and the process tree, so that the two agree.
    const std::set<Orlix::Process> all = Orlix::Process::ListAll();
    std::vector<quarnel::ProcessNode> tree;
    std::map<uint32_t, const Orlix::Process*> byPid;
    std::vector<uint32_t> pids;
    for (const Orlix::Process& process : all) {
        tree.push_back({process.Id(), process.ParentId(), process.CreationTime()});
        if (Orlix::ICompare(process.Name(), exeName) == 0) {
            byPid.emplace(process.Id(), &process);
            pids.push_back(process.Id());
        }
    }
    // Starting the host's own program must not end the host, whoever launched it, or what it
    // launched (in Electron: its renderer and GPU processes).
    const quarnel::VisitPlan plan =
        quarnel::PlanVisit(pids, rememberedPid,
                           quarnel::KinshipOf(tree, static_cast<uint32_t>(GetCurrentProcessId())));
    for (const quarnel::VisitStep& step : plan.steps) {
        if (step.action == quarnel::VisitAction::KeepRunning) {
            QLOG(LOG_INFO) << "process is running pid:" << step.pid << " exeUtf8:" << exe
                           << " exeName:" << exeName;
        } else if (step.action == quarnel::VisitAction::Spare) {
            QLOG(LOG_INFO) << "spare own process pid:" << step.pid
                           << " relation:" << quarnel::KinshipName(step.kinship);
        } else {
            QLOG(LOG_INFO) << "kill process pid:" << step.pid;
            // A process that cannot be ended does not stop the launch.
            if (byPid.at(step.pid)->Terminate(false) ==
                Orlix::Process::KillResult::NotSameProcess) {
                QLOG(LOG_WARNING) << "spare reused pid:" << step.pid
                                  << ", it names another process now";
            }
        }
    }
    if (plan.rememberedRunning) {
        const DWORD error = GetLastError();
        return OperationResult(true, rememberedPid, error);
    }

    const std::size_t length = args.empty() ? 0 : quarnel::CommandLineLength(exeWide, argsWide);
    if (!quarnel::CommandLineFits(length)) {
        QLOG(LOG_ERROR) << "command line too long length:" << length << " exe:" << exe;
        return OperationResult(false, 0, ERROR_FILENAME_EXCED_RANGE);
    }
    const std::wstring commandLine =
        args.empty() ? std::wstring() : quarnel::BuildCommandLine(exeWide, argsWide);
    // CreateProcessW may write into the command line.
    std::vector<wchar_t> commandBuffer(commandLine.begin(), commandLine.end());
    commandBuffer.push_back(L'\0');
    wchar_t desktop[] = L"WinSta0\\Default";

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.lpDesktop = desktop;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION info = {};
    const DWORD flags = CREATE_UNICODE_ENVIRONMENT | NORMAL_PRIORITY_CLASS | CREATE_NEW_CONSOLE;
    const BOOL created = CreateProcessW(
        args.empty() ? exeWide.c_str() : nullptr, args.empty() ? nullptr : commandBuffer.data(),
        nullptr, nullptr, FALSE, flags, nullptr,
        workDirWide.empty() ? nullptr : workDirWide.c_str(), &startup, &info);
    const DWORD error = GetLastError();
    if (!created) {
        QLOG(LOG_ERROR) << "CreateProcess err:" << error
                        << " cmd:" << Orlix::WideToUtf8(commandLine)
                        << " exe:" << Orlix::WideToUtf8(exeWide)
                        << " workDir:" << Orlix::WideToUtf8(workDirWide);
        return OperationResult(false, 0, error);
    }
    const win32::UniqueHandle process(info.hProcess);
    const win32::UniqueHandle thread(info.hThread);
    const uint32_t pid = info.dwProcessId;
    QLOG(LOG_INFO) << "CreateProcess success cmd:" << Orlix::WideToUtf8(commandLine)
                   << " exe:" << Orlix::WideToUtf8(exeWide)
                   << " workDir:" << Orlix::WideToUtf8(workDirWide) << " pid:" << pid;
    launchedPids_[exe] = pid;
    return OperationResult(true, pid, error);
}
