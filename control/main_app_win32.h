// CMainApp: the application. Notes whether the command line is exactly
// "scan", builds and shows the main window, runs its message loop until the
// window is gone, and ends.
#pragma once

#include <windows.h>

namespace qm {

// Held by the running copy of the program: a session's own name, so each
// user session has its one copy.
constexpr const char* kOneCopyMutexName = "Local\\QuillmereOneCopy";

class CMainApp {
public:
    // True only for the command line "scan" itself (compared byte for byte:
    // no other case, no blanks around it, no further words).
    static bool IsScanCommandLine(const char* commandLine);

    // The whole life of the program: StartScanAtLaunch from the command line
    // (the text after the program's name), the main window shown with
    // `showCommand`, its messages until it closes. When a copy already runs
    // in this session, its window is brought to the front instead (and asked
    // to scan for "scan"). Always false: nothing is left to run afterwards.
    bool InitInstance(const char* commandLine, int showCommand);
};

}  // namespace qm
