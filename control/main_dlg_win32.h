// CMainDlg: the program's main window. The skinned main screen (CMainSkin)
// with its panels, plus the controller (Summary), the button dispatch, the
// notification-area icon, the About item of the system menu and the two
// timers (1: every second, nothing; 2: every ten seconds, the periodic-scan
// check).
//
// Enter, Escape and Alt+F4 do not close it; BUTTON_EXIT and the tray menu's
// "Close" do. Closing ends the message loop (PostQuitMessage).
#pragma once

#include <windows.h>

#include <string>

#include "control/main_skin_win32.h"
#include "control/summary.h"

namespace qm {

// Tray icon notifications and the deferred close.
constexpr UINT kTrayMessage = WM_USER + 2;
constexpr UINT kCloseMainMessage = WM_APP + 0x171;
constexpr UINT kTimerIdle = 1;
constexpr UINT kTimerPeriodicScan = 2;

// The skin the main window reads: the built-in one unless this environment
// variable names a skin file on disk (its images are looked for beside it,
// then among the built-in ones).
constexpr const char* kSkinEnvironmentVariable = "QUILLMERE_SKIN";

class CMainDlg : public CMainSkin, public Summary {
public:
    explicit CMainDlg(IRegistry& registry);
    ~CMainDlg() override;

    // Creates the window and initialises it: title, OLE, the screen from the
    // skin, panel SUBMAIN_MAIN, the About item, icons, timers; then shows it.
    // False when it could not be created or the skin could not be loaded (a
    // message has been shown then and the window is gone).
    bool Create(int showCommand);

    // The button dispatch (skinned buttons, tray, timer, start-up).
    void ButtonPressed(const std::string& name) override;

    // True once a scan or repair result is shown and not yet left.
    bool ResultsReady() const { return resultsReady_; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnWindowGone() override;

    // Seam for the scan worker: starts a scan of ScanCategoryStates on a
    // worker thread; false when none was started.
    virtual bool StartScanWorker() { return false; }
    // Seam for the repair worker (after a scan's results): false when none
    // was started.
    virtual bool StartRepairWorker() { return false; }

private:
    bool InitDialog();
    void ShowPanelAsTab(const char* panel, const char* button);
    void OpenWebPage(const std::string& settingName, UINT stringId);
    void AddTrayIcon();
    void RemoveTrayIcon();
    void ShowFromTray();
    void TrayMenu();
    void PeriodicScanCheck();

    HICON icon_ = nullptr;
    bool oleReady_ = false;
    bool trayIcon_ = false;
    bool resultsReady_ = false;
};

}  // namespace qm
