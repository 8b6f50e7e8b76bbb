#include "control/main_app_win32.h"

#include <commctrl.h>

#include <cstring>

#include "control/main_dlg_win32.h"
#include "platform/registry.h"
#include "ui/timetable.h"

namespace qm {

bool CMainApp::IsScanCommandLine(const char* commandLine) {
    return commandLine != nullptr && std::strcmp(commandLine, "scan") == 0;
}

bool CMainApp::InitInstance(const char* commandLine, int showCommand) {
    StartScanAtLaunch = IsScanCommandLine(commandLine) ? 1 : 0;

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_DATE_CLASSES};
    InitCommonControlsEx(&controls);

    CMainDlg window(DefaultRegistry());
    if (!window.Create(showCommand)) return false;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return false;
}

}  // namespace qm
