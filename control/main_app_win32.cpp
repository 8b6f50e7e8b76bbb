#include "control/main_app_win32.h"

#include <commctrl.h>

#include <cstring>
#include <exception>
#include <string>

#include "control/main_dlg_win32.h"
#include "platform/handles_win32.h"
#include "platform/registry.h"
#include "ui/timetable.h"

namespace qm {

bool CMainApp::IsScanCommandLine(const char* commandLine) {
    return commandLine != nullptr && std::strcmp(commandLine, "scan") == 0;
}

bool CMainApp::InitInstance(const char* commandLine, int showCommand) {
    StartScanAtLaunch = IsScanCommandLine(commandLine) ? 1 : 0;

    // One copy per user session: a second start hands its "scan" to the
    // window already running, brings that window to the front and ends.
    Win32Handle oneCopy(CreateMutexA(nullptr, FALSE, kOneCopyMutexName));
    if (oneCopy && GetLastError() == ERROR_ALREADY_EXISTS && CMainDlg::PassToRunningCopy(StartScanAtLaunch != 0))
        return false;

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_DATE_CLASSES};
    InitCommonControlsEx(&controls);

    // Exceptions in the windows' handlers stop at their window procedures;
    // one while the window is being built ends the program with a message.
    try {
        CMainDlg window(DefaultRegistry());
        if (!window.Create(showCommand)) return false;
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            // Alt+F4 does not close the window (the system menu's Close does,
            // after the same checks as the cross): the key never becomes a
            // close command.
            if ((msg.message == WM_SYSKEYDOWN || msg.message == WM_SYSKEYUP) && msg.wParam == VK_F4 &&
                window.Window() != nullptr &&
                (msg.hwnd == window.Window() || IsChild(window.Window(), msg.hwnd)))
                continue;
            // Tab and Shift+Tab move the keyboard focus through the buttons,
            // boxes and lists shown, in the order the skin lists them.
            // (With no focus, as after the focused tab button was disabled by
            // its own press, the keys come to the window as system keys
            // without Alt.)
            const bool tab = msg.wParam == VK_TAB && (msg.message == WM_KEYDOWN ||
                                                      (msg.message == WM_SYSKEYDOWN && (msg.lParam & (1 << 29)) == 0));
            if (tab && window.Window() != nullptr &&
                (msg.hwnd == window.Window() || IsChild(window.Window(), msg.hwnd))) {
                HWND focus = GetFocus();
                if (focus == window.Window()) focus = nullptr;
                if (HWND next = GetNextDlgTabItem(window.Window(), focus, (GetKeyState(VK_SHIFT) & 0x8000) != 0))
                    SetFocus(next);
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    } catch (const std::exception& e) {
        const std::string text = std::string("Quillmere could not go on: ") + e.what();
        MessageBoxA(nullptr, text.c_str(), "Quillmere", MB_OK | MB_ICONSTOP);
    }
    return false;
}

}  // namespace qm
