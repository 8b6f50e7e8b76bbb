// Runs the registry editor of the test prefix.
#pragma once

#include <windows.h>

#include <string>

#include "platform/handles_win32.h"

namespace qm::testing {

// Runs "regedit <args>", waits for it and returns its exit code.
inline DWORD RunRegedit(const std::string& args) {
    std::string command = "regedit.exe " + args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return GetLastError() | 0x80000000u;
    const Win32Handle thread(pi.hThread);
    const Win32Handle process(pi.hProcess);
    WaitForSingleObject(process.Get(), 120000);
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    return code;
}

}  // namespace qm::testing
