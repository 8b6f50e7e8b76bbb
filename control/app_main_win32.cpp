// quillmere.exe: the application. Notes whether the command line is exactly
// "scan", builds and shows the main window, and runs its message loop until
// the window is gone.
#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "control/main_dlg_win32.h"
#include "platform/registry.h"
#include "ui/timetable.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int showCommand) {
    qm::StartScanAtLaunch = (commandLine != nullptr && std::strcmp(commandLine, "scan") == 0) ? 1 : 0;

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_DATE_CLASSES};
    InitCommonControlsEx(&controls);

    qm::CMainDlg window(qm::DefaultRegistry());
    if (!window.Create(showCommand)) return 0;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
