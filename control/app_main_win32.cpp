// quillmere.exe: the program's entry point hands over to the application.
#include <windows.h>

#include "control/main_app_win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int showCommand) {
    qm::CMainApp app;
    app.InitInstance(commandLine, showCommand);
    return 0;
}
