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

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "control/main_skin_win32.h"
#include "control/result_entries.h"
#include "control/summary.h"
#include "platform/handles_win32.h"
#include "ui/window_messages_win32.h"

namespace qm {

// The result panel's label that gives the number of rows ("16 problems found").
constexpr const char* kResultTotalLabel = "TEXT_RESULT_TOTAL";
// The line beside it: the skin's hint, or after a stopped scan what the list is.
constexpr const char* kResultHintLabel = "TEXT_RESULT_HINT";
constexpr UINT kTimerIdle = 1;
constexpr UINT kTimerPeriodicScan = 2;

// The skin the main window reads: the built-in one unless this environment
// variable names a skin file on disk (its images are looked for beside it,
// then among the built-in ones).
constexpr const char* kSkinEnvironmentVariable = "QUILLMERE_SKIN";
// Drive letters ("CD") the window's shortcut scan may walk, when set; unset:
// every fixed drive.
constexpr const char* kShortcutDrivesEnvironmentVariable = "QUILLMERE_SHORTCUT_DRIVES";

// The main window's repair runs (set on the user-interface thread before its
// worker starts, cleared on that thread once the worker's closing message has
// been closed).
extern std::atomic<int> RepairInProgress;

// The main window's progress callback: status and current item on the
// progress panel, then its per-category progress.
void MainProgressCallback(std::string item, std::string status, std::int32_t scanned, std::int32_t found);

class CMainDlg : public CMainSkin, public Summary {
public:
    explicit CMainDlg(IRegistry& registry);
    ~CMainDlg() override;

    // Creates the window and initialises it: title, OLE, the screen from the
    // skin, panel SUBMAIN_MAIN, the About item, icons, timers; then shows it.
    // False when it could not be created or the skin could not be loaded (a
    // message has been shown then and the window is gone).
    bool Create(int showCommand);

    // A second start of the program: finds the running copy's window (waiting
    // a while for one still being built), asks it to come to the front, and
    // to scan when `scan`. False when no window answered.
    static bool PassToRunningCopy(bool scan);
    // The message that asks (wParam 1: scan as well, when idle).
    static UINT ShowRunningCopyMessage();

    // The button dispatch (skinned buttons, tray, timer, start-up).
    void ButtonPressed(const std::string& name) override;

    // True once a scan or repair result is shown and not yet left.
    bool ResultsReady() const { return resultsReady_.load(); }

    // BUTTON_EXIT and the tray's "Close": closes the window, except while a
    // repair runs: then it asks, and on Yes stops the repair after the entry
    // in hand (or lets the registry export before it end) and closes once
    // the repair's backup is complete. Nothing is ended half way.
    void RequestClose();
    // The window closes as soon as its repair has ended.
    bool Closing() const { return closing_.load(); }

    // Worker thread routines (argument: the main window; result 0).
    static DWORD WINAPI MainScanThread(LPVOID window);
    static DWORD WINAPI MainRepairThread(LPVOID window);
    // The body of a repair: the unticked rows to the ignore list, the export
    // when "savereg" is set, the repair with its backup, the closing message.
    void RemoveSelectedItems();
    // The panel progress is shown on (set when a scan starts).
    CSubMainSkin* ProgressPanel() const { return progressPanel_.load(); }

    // IPanelHost: the result rows, by their data (the entry each stands for).
    std::string ResultRowDetails(LPARAM row) const override;
    int CompareResultRows(LPARAM a, LPARAM b, int column) const override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnWindowGone() override;

    // Seam for the scan worker: starts a scan of ScanCategoryStates on a
    // worker thread; false when none was started.
    virtual bool StartScanWorker();
    // Seam for the repair worker (after a scan's results): false when none
    // was started.
    virtual bool StartRepairWorker();

private:
    bool InitDialog();
    void ShowPanelAsTab(const char* panel, const char* button);
    void OpenWebPage(const std::string& settingName, UINT stringId);
    // BUTTON_REMOVE: starts the repair when the result list has ticked rows;
    // otherwise says why nothing can be repaired. True when it started one.
    bool RepairOrExplain();
    CSkinnedListView* ResultListView() const;
    void AddTrayIcon();
    void RemoveTrayIcon();
    void ShowFromTray();
    // A scan ended while the window was hidden and found `found` problems:
    // the notification-area icon says so (a click on it shows the results).
    void ShowFoundBalloon(std::size_t found);
    void TrayMenu();
    void PeriodicScanCheck();
    // The messages HandleMessage passes on; a bool result is true when the
    // message was handled (0 is its result).
    void RunningCopyStarted(bool scan);
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);
    bool TrayNotification(WPARAM icon, LPARAM event);
    void TrayCommand(WORD command);
    bool SystemCommand(WPARAM command);
    // The repair worker ended: its closing message now, or held while the
    // close question is up, or none when the window is closing.
    void RepairEnded(std::unique_ptr<std::string> message, bool keepResults);
    // The text of a web address that could not be opened, shown.
    void WebPageFailed(std::unique_ptr<std::string> text);
    // Minimised: hides the window when the tray icon can bring it back.
    bool HideToTray();
    // Draws the icon in the middle of the minimised window; false when the
    // window is not minimised.
    bool PaintMinimised();
    bool StartWorker(LPTHREAD_START_ROUTINE routine);
    void ScanFinished(bool stopped);
    // At the end of a repair: shows its closing message; once that is
    // closed, the repair no longer runs, the ignored panel is reloaded, then
    // the main panel is shown (a press of BUTTON_MAIN).
    // With `keepResults` (nothing was ticked, nothing done) the results are
    // shown again instead, still ready for a repair.
    void RepairFinished(std::unique_ptr<std::string> message, bool keepResults);
    void FillResultList();
    void SetProgressLabel(const char* label, const std::string& text);

    HICON icon_ = nullptr;
    bool oleReady_ = false;
    bool trayIcon_ = false;
    std::atomic<bool> resultsReady_{false};
    std::atomic<CSubMainSkin*> progressPanel_{nullptr};
    // What the result rows show: one entry per finding, then one per broken
    // shortcut; a row's data is its entry's index.
    std::vector<ResultEntry> entries_;
    int registryRows_ = 0;  // entries that are registry findings (the rest: shortcuts)
    std::string resultHint_;  // the skin's text of the result hint line
    bool resultHintKept_ = false;
    // The last worker started (kept to see whether it still runs at the end).
    Win32Handle worker_;
    // Closing waits for the repair (see RequestClose).
    std::atomic<bool> closing_{false};
    // The repair's stage, for what closing says: the export, then the rest.
    std::atomic<bool> exporting_{false};
    // User-interface thread: a repair worker runs (up to its end message).
    bool repairRunning_ = false;
    // The close question is up: a repair's end arriving meanwhile is held
    // until it is answered.
    bool askingToClose_ = false;
    bool repairEndHeld_ = false;
    std::unique_ptr<std::string> heldMessage_;
    bool heldKeepResults_ = false;
};

}  // namespace qm
