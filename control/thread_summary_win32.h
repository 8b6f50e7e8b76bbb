// CThreadSummary: the user-interface thread of a result window
// (control/summary_window_win32.h). A panel starts it on BUTTON_SCAN, after
// setting ScanInProgress; the thread builds the window from the skin the main
// screen was built from, scans the categories the panel had ticked, runs the
// window's messages until the window is gone, and then deletes itself with
// the window's controller (having waited for any worker still running).
//
//     ScanInProgress.store(1);
//     Win32Handle thread = CThreadSummary::Start({skin, panelWindow, services, states});
//     if (!thread) ScanInProgress.store(0);
//
// A skin without an error-scan screen gives no window: the thread ends at
// once and sets ScanInProgress back to 0.
#pragma once

#include <windows.h>

#include <memory>

#include "control/summary_window_win32.h"
#include "engine/categories.h"
#include "engine/registry_lib.h"
#include "platform/handles_win32.h"
#include "ui/skin_file.h"

namespace qm {

class CThreadSummary {
public:
    struct Setup {
        SkinFile skin;             // the skin to build the window from
        HWND starter = nullptr;    // the panel that started it
        EngineServices engine;     // the registry and system it scans
        ScanCategoryStates states; // the categories to scan
    };

    // Starts the thread; the owner returned is empty when no thread could be
    // started.
    static Win32Handle Start(const Setup& setup);
    // Cancels the result window of a thread started by Start (as Escape
    // does) and waits for the thread to end, at most `milliseconds`. True
    // when it has ended. The caller's thread keeps answering messages sent
    // to it meanwhile.
    static bool Close(HANDLE thread, DWORD milliseconds);

    // The thread's own steps (public for the thread routine).
    bool InitInstance();
    void Run();
    void ExitInstance();

private:
    explicit CThreadSummary(const Setup& setup) : setup_(setup) {}
    static DWORD WINAPI ThreadMain(LPVOID self);

    Setup setup_;
    std::unique_ptr<CSummaryWindow> summary_;
};

}  // namespace qm
