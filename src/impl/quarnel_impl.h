#pragma once

#include "impl/operation_result.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The Win32 work of the desktop utilities, one feature per file: focus and placement
// (focus_placement.cpp), mouse input (mouse_input.cpp), display queries (display.cpp), process
// launch (launch.cpp), and registry, file, run mode and MAC queries (system_queries.cpp).
class QuarnelImpl {
public:
    void SetWindowFocus(int hwnd);
    void SetWindowFocusable(int hwnd, bool focusable);
    void SetWindowFrontTaskbar(int hwnd, bool fullscreen);
    OperationResult SetWindowParent(int parent, int child);
    HWND GetCurrentForegroundWindow();

    void GetDeskRect(int& width, int& height);
    void GetMainMonitorRect(int& x, int& y, int& width, int& height);

    int InputMouseMove(int x, int y);
    int InputMouseLeftClick();
    int InputMouseLeftDown();
    int InputMouseLeftUp();
    int InputMouseRightClick();
    int InputMouseRightDown();
    int InputMouseRightUp();

    OperationResult StartProcess(const std::string& exe, const std::vector<std::string>& args,
                                 const std::string& workDir);
    std::string GetMachineRegString(const std::string& keyPath, const std::string& itemKey);
    bool IsHiddenFile(const std::string& path);
    void SetUserEnvironment(const std::string& name, const std::string& value);
    std::vector<std::string> GetMacAddresses();

private:
    // SetWindowFocus as the request numbered `request` of all made in this process: a request
    // that waited for its window is dropped once a later one has been made.
    void SetWindowFocus(int hwnd, uint64_t request);

    // Launch registry: the id of the last process started for each program path, keyed by
    // the path exactly as the caller spelled it.
    std::map<std::string, uint32_t> launchedPids_;
};
