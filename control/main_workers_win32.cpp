// The main window's two workers: the scan (MainScanThread) and the repair
// (MainRepairThread with RemoveSelectedItems), and the progress callback they
// report through. Both run at the lowest priority. They update the screen
// through the controls (messages sent to the user-interface thread, which
// never waits for them), so they must never be waited for while they may be
// sending. Both workers hand their end to that thread (a posted message): the
// results, and a repair's closing message and the panels after it, are shown
// there, between two button presses.
#include <windows.h>
#include <objbase.h>

#include <memory>

#include "control/main_dlg_win32.h"
#include "repair/export_backups.h"
#include "repair/xml_writer.h"

namespace qm {

std::atomic<int> RepairInProgress{0};

namespace {

constexpr const char* kCurrentItemLabel = "TEXT_ERRORSCAN_CURRENTITEM";

// COM for the worker's thread while it runs: the shell calls of the export
// (and of the shortcut scan) need it.
class ThreadCom {
public:
    ThreadCom() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ThreadCom() {
        if (ok_) CoUninitialize();
    }
    ThreadCom(const ThreadCom&) = delete;
    ThreadCom& operator=(const ThreadCom&) = delete;

private:
    bool ok_;
};

CMainDlg* MainWindowOf(Summary* summary) { return dynamic_cast<CMainDlg*>(summary); }

}  // namespace

void MainProgressCallback(std::string item, std::string status, std::int32_t, std::int32_t found) {
    CMainDlg* window = MainWindowOf(CurrentSummary.load());
    if (window == nullptr) return;
    CSubMainSkin* panel = window->ProgressPanel();
    if (panel == nullptr) return;
    panel->Controls().SetLabelText(kStatusLabel, status);
    panel->Controls().SetLabelText(kCurrentItemLabel, item);
    const ScanCategoryStates states = window->States();
    panel->ShowProgress(states, static_cast<int>(found));
}

void CMainDlg::SetProgressLabel(const char* label, const std::string& text) {
    if (CSubMainSkin* panel = ProgressPanel()) panel->Controls().SetLabelText(label, text);
}

DWORD WINAPI CMainDlg::MainScanThread(LPVOID argument) {
    ThreadCom com;
    auto* self = static_cast<CMainDlg*>(argument);
    const bool stopped = self->RunScan();
    // The results are shown by the user-interface thread, between two of its
    // button presses: a press handled before this message finds the scan still
    // running (a stop, which no longer has anything to stop), a press handled
    // after it finds the results shown and the scan ended. Posted: the worker
    // never waits for that thread.
    PostMessageA(self->Window(), kScanFinishedMessage, stopped ? 1 : 0, 0);
    return 0;
}

void CMainDlg::ScanFinished(bool stopped) {
    CSubMainSkin* progress = ProgressPanel();
    if (progress != nullptr) {
        const ScanCategoryStates states = States();
        progress->ShowProgress(states, static_cast<int>(Engine().Findings().size() + Shortcuts().BrokenLinks().size()));
    }
    SetProgressLabel(kStatusLabel, stopped ? "Scan stopped" : "ScanComplete");
    SetProgressLabel(kCurrentItemLabel, "");
    if (States()[kSlotShortcuts] != 0) SetProgressLabel("PROGRESS_TEXT_SHORTCUTS", "Done");
    FillResultList();
    ClearStop();
    resultsReady_.store(true);
    ScanInProgress.store(0);
    Controls().EnableAllButtons(true);
    Controls().SetButtonCheck("BUTTON_SCAN", 0);
    // Last: once the result panel can be seen, everything above is done.
    ShowPanel("SUBMAIN_RESULT");
}

void CMainDlg::FillResultList() {
    CSubMainSkin* results = FindPanel("SUBMAIN_RESULT");
    CSkinnedListView* list = results != nullptr ? results->ResultList() : nullptr;
    if (list == nullptr) return;
    list->DeleteAllRows();
    int row = 0;
    for (const auto& finding : Engine().Findings()) {
        if (!finding) continue;
        list->InsertRow(row++, {"", finding->GetCategory(), finding->GetFilePath()}, true);
    }
    registryRows_ = row;
    for (const std::string& path : Shortcuts().BrokenLinks()) list->InsertRow(row++, {"", "SHORTCUT", path}, true);
}

DWORD WINAPI CMainDlg::MainRepairThread(LPVOID argument) {
    ThreadCom com;
    auto* self = static_cast<CMainDlg*>(argument);
    self->ShowPanel("SUBMAIN_MAIN");
    self->SetProgressLabel(kCurrentItemLabel, "Backup in progress");
    if (CSubMainSkin* panel = self->ProgressPanel()) InvalidateRect(panel->Window(), nullptr, TRUE);
    self->RemoveSelectedItems();
    return 0;
}

void CMainDlg::RemoveSelectedItems() {
    RepairInProgress.store(1);  // already set by the starter; kept for any other caller
    auto scratch = std::make_unique<CRegistryLib>(EngineServices{&Engine().Registry(), nullptr, Engine().IgnoreFile()});

    RepairOutcome outcome;
    std::string exportedTo;
    outcome.exportFailed = !ExportBeforeRepair(exportedTo, outcome.exportError);

    ShowPanel("SUBMAIN_RESULT");
    CSubMainSkin* results = FindPanel("SUBMAIN_RESULT");
    CSkinnedListView* list = results != nullptr ? results->ResultList() : nullptr;
    FindingList& findings = Engine().Findings();
    if (list != nullptr) {
        const int rows = list->RowCount();
        for (int i = 0; i < rows; ++i) {
            if (list->Checked(i)) continue;
            if (i < registryRows_) {
                if (static_cast<std::size_t>(i) >= findings.size() || !findings[i]) continue;
                scratch->IgnoreList().push_back(std::make_unique<CRegErrorLog>(*findings[i]));
                findings[i]->SetKeyPath("");
            } else {
                const std::size_t s = static_cast<std::size_t>(i - registryRows_);
                if (s >= Shortcuts().BrokenLinks().size()) continue;
                auto entry = std::make_unique<CRegErrorLog>();
                entry->SetFilePath(Shortcuts().BrokenLinks()[s]);
                scratch->IgnoreList().push_back(std::move(entry));
                Shortcuts().EmptyBrokenLink(s);
            }
        }
    }
    const bool ignoreSaved = scratch->SaveIgnoreList();

    SetProgressLabel(kStatusLabel, "Fixing errors");
    if (CSubMainSkin* panel = ProgressPanel()) InvalidateRect(panel->Window(), nullptr, TRUE);

    for (const auto& finding : findings)
        if (finding && !finding->GetKeyPath().empty()) outcome.registryToRepair = true;
    outcome.backupFile = FixError();
    outcome.backupWriteFailed = Engine().BackupWriter().WriteFailed();
    for (const auto& row : Rows())
        if (row && row->errorsFixed < 0) ++outcome.rowsNotFixed;
    outcome.entriesNotDeleted = RegistryEntriesLeft();
    for (const std::string& path : Shortcuts().BrokenLinks())
        if (!path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) ++outcome.shortcutsNotDeleted;

    auto message = std::make_unique<std::string>(RepairClosingMessage(outcome));
    if (!ignoreSaved) *message += "\r\nThe ignore list could not be saved: " + scratch->IgnoreListError();
    // The closing message is shown by the user-interface thread, the thread
    // of the window that owns it. A box of this thread would take its clicks
    // in a queue of its own: a press on the disabled main window made before
    // the box's OK could then be handled after it, once the window is enabled
    // again, and start what it names (under Wine, which does not join the two
    // threads' input as Windows does for an owned window of another thread).
    // Posted: the worker never waits for that thread.
    if (PostMessageA(Window(), kRepairFinishedMessage, 0, reinterpret_cast<LPARAM>(message.get())))
        message.release();
    else
        RepairInProgress.store(0);
}

void CMainDlg::RepairFinished(std::unique_ptr<std::string> message) {
    // Presses while the box is up are dropped as presses during the repair
    // (the window is disabled; the tray and the timer still reach it).
    if (message) MessageBoxA(Window(), message->c_str(), "Quillmere", MB_OK);
    RepairInProgress.store(0);
    // Closed from the tray meanwhile: nothing left to show.
    if (!IsWindow(Window())) return;
    ShowPanel("SUBMAIN_IGNORED");
    if (CSubMainSkin* ignored = FindPanel("SUBMAIN_IGNORED")) ignored->RefreshIgnoredList();
    SetProgressLabel(kCurrentItemLabel, "");
    ButtonPressed("BUTTON_MAIN");
}

}  // namespace qm
