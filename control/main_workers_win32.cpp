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

#include <algorithm>
#include <iterator>
#include <memory>
#include <mutex>
#include <vector>

#include "control/main_dlg_win32.h"
#include "control/scan_outcome.h"
#include "platform/administrator_rights.h"
#include "platform/com_scope_win32.h"
#include "repair/repair_job.h"

namespace qm {

std::atomic<int> RepairInProgress{0};

namespace {

CMainDlg* MainWindowOf(Summary* summary) { return dynamic_cast<CMainDlg*>(summary); }

}  // namespace

namespace {

// What the panel last showed of the worker's progress, and the report held
// back since. The panel follows the worker at most every 50 ms: the worker
// reports each item it checks, far more often than anyone can read, and each
// change is drawn by the user-interface thread. A report held back is shown
// when an area ends (the next report names other states), so that each area
// keeps its last count, and at the end of the scan.
struct ShownProgress {
    std::mutex lock;
    ULONGLONG at = 0;
    ScanCategoryStates states;
    bool held = false;
    std::string item, status;
    std::int32_t found = 0;
    ScanCategoryStates heldStates;
};

ShownProgress& Shown() {
    static ShownProgress shown;
    return shown;
}

bool SameStates(const ScanCategoryStates& a, const ScanCategoryStates& b) {
    return std::equal(std::begin(a.slots), std::end(a.slots), std::begin(b.slots));
}

void ShowOnPanel(CSubMainSkin* panel, const std::string& item, const std::string& status,
                 const ScanCategoryStates& states, std::int32_t found) {
    panel->Controls().SetLabelText(kStatusLabel, status);
    panel->Controls().SetLabelText(kCurrentItemLabel, item);
    panel->ShowProgress(states, static_cast<int>(found));
}

// Shows the report held back, if any.
void ShowHeldProgress(CSubMainSkin* panel, ShownProgress& shown) {
    if (!shown.held) return;
    shown.held = false;
    if (panel != nullptr) ShowOnPanel(panel, shown.item, shown.status, shown.heldStates, shown.found);
    shown.states = shown.heldStates;
}

}  // namespace

void MainProgressCallback(std::string item, std::string status, std::int32_t, std::int32_t found) {
    CMainDlg* window = MainWindowOf(CurrentSummary.load());
    if (window == nullptr || window->Closing()) return;  // the window says it is closing instead
    CSubMainSkin* panel = window->ProgressPanel();
    if (panel == nullptr) return;
    const ScanCategoryStates states = window->States();
    ShownProgress& shown = Shown();
    const std::lock_guard<std::mutex> hold(shown.lock);
    const ULONGLONG now = GetTickCount64();
    if (!SameStates(states, shown.states)) {
        ShowHeldProgress(panel, shown);
    } else if (now - shown.at < 50 && now >= shown.at) {
        shown.held = true;
        shown.item = std::move(item);
        shown.status = std::move(status);
        shown.found = found;
        shown.heldStates = states;
        return;
    }
    shown.held = false;
    shown.at = now;
    shown.states = states;
    ShowOnPanel(panel, item, status, states, found);
}

void CMainDlg::SetProgressLabel(const char* label, const std::string& text) {
    if (CSubMainSkin* panel = ProgressPanel()) panel->Controls().SetLabelText(label, text);
}

DWORD WINAPI CMainDlg::MainScanThread(LPVOID argument) {
    // The shell calls of the export and of the shortcut scan need COM.
    const ComScope com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
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
    {
        ShownProgress& shown = Shown();
        const std::lock_guard<std::mutex> hold(shown.lock);
        ShowHeldProgress(progress, shown);
    }
    if (progress != nullptr) {
        const ScanCategoryStates states = States();
        progress->ShowProgress(states, static_cast<int>(Engine().Findings().size() + Shortcuts().BrokenLinks().size()));
    }
    SetProgressLabel(kStatusLabel, stopped ? "Scan stopped" : "ScanComplete");
    SetProgressLabel(kCurrentItemLabel, "");
    // Each ticked area says how it ended: after a stop, the one it came in
    // and the ones never reached say so (their counts stay empty).
    for (const CategoryInfo& info : kCategories) {
        const AreaEnd end = AreaEndOf(info.slot, States(), Rows(), stopped);
        if (end == AreaEnd::NotSelected) continue;
        const std::string suffix = ProgressLabelSuffix(info.slot);
        SetProgressLabel(("PROGRESS_TEXT_" + suffix).c_str(), AreaEndText(end));
        if (end == AreaEnd::NotReached) SetProgressLabel(("PROGRESS_COUNT_" + suffix).c_str(), "");
    }
    FillResultList();
    if (CSubMainSkin* results = FindPanel("SUBMAIN_RESULT")) {
        // The hint line says when the list is only what a stopped scan found.
        if (CSkinnedLabel* hint = results->Controls().FindLabel(kResultHintLabel)) {
            if (!resultHintKept_) resultHint_ = hint->Text();
            resultHintKept_ = true;
            hint->SetText(stopped ? std::string(kStoppedScanHint) : resultHint_);
        }
    }
    ClearStop();
    resultsReady_.store(true);
    ScanInProgress.store(0);
    Controls().EnableAllButtons(true);
    Controls().SetButtonCheck("BUTTON_SCAN", 0);
    // Last: once the result panel can be seen, everything above is done.
    ShowPanel("SUBMAIN_RESULT");
    if (!IsWindowVisible(Window()) && !entries_.empty()) ShowFoundBalloon(entries_.size());
}

void CMainDlg::FillResultList() {
    const FindingList& findings = Engine().Findings();
    entries_ = MakeResultEntries(findings, Shortcuts().BrokenLinks(), Shortcuts().BrokenTargets());
    registryRows_ = static_cast<int>(findings.size());
    CSubMainSkin* results = FindPanel("SUBMAIN_RESULT");
    CSkinnedListView* list = results != nullptr ? results->ResultList() : nullptr;
    std::size_t shown = 0;
    if (list != nullptr) {
        // The columns the skin leaves out are added after its own.
        for (int c = list->ColumnCount(); c < kResultColumnCount; ++c)
            if (!list->AddColumn(kResultColumnDefaults[c].title, kResultColumnDefaults[c].width)) break;
        SendMessageA(list->Window(), WM_SETREDRAW, FALSE, 0);
        list->DeleteAllRows();
        std::vector<std::string> columns(kResultColumnCount);
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (i < findings.size() && !findings[i]) continue;
            for (int c = 0; c < kResultColumnCount; ++c) columns[c] = entries_[i].Column(c);
            if (list->InsertRow(static_cast<int>(shown), columns, true, static_cast<LPARAM>(i)) >= 0) ++shown;
        }
        // The text columns as wide as their longest text: whole paths, with
        // the list scrolling sideways.
        for (int c : {kColumnMissingFile, kColumnProgram, kColumnRemoves, kColumnEntry, kColumnValue}) {
            std::vector<const std::string*> texts;
            texts.reserve(entries_.size());
            for (const ResultEntry& e : entries_) {
                switch (c) {
                    case kColumnMissingFile: texts.push_back(&e.missing); break;
                    case kColumnProgram: texts.push_back(&e.owner); break;
                    case kColumnRemoves: texts.push_back(&e.removes); break;
                    case kColumnEntry: texts.push_back(&e.key); break;
                    default: texts.push_back(&e.valueName); break;
                }
            }
            list->FitColumn(c, texts);
        }
        SendMessageA(list->Window(), WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list->Window(), nullptr, TRUE);
    }
    if (results != nullptr) results->Controls().SetLabelText(kResultTotalLabel, ProblemsFoundText(shown));
}

DWORD WINAPI CMainDlg::MainRepairThread(LPVOID argument) {
    const ComScope com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    auto* self = static_cast<CMainDlg*>(argument);
    self->ShowPanel("SUBMAIN_MAIN");
    self->SetProgressLabel(kCurrentItemLabel, "Backup in progress");
    if (CSubMainSkin* panel = self->ProgressPanel()) InvalidateRect(panel->Window(), nullptr, TRUE);
    self->RemoveSelectedItems();
    return 0;
}

void CMainDlg::RemoveSelectedItems() {
    RepairInProgress.store(1);  // already set by the starter; kept for any other caller

    // Which findings and shortcuts the rows leave ticked (a row's data is its
    // entry: the findings, then the shortcuts; the rows may have been sorted).
    RepairOutcome outcome;
    CSkinnedListView* list = ResultListView();
    const FindingList& findings = Engine().Findings();
    const std::size_t links = Shortcuts().BrokenLinks().size();
    std::vector<bool> ticked(findings.size() + links, false);
    if (list != nullptr) {
        const int rows = list->RowCount();
        for (int i = 0; i < rows; ++i) {
            const LPARAM data = list->RowData(i);
            if (data < 0) continue;
            const bool checked = list->Checked(i);
            if (data < registryRows_) {
                const auto f = static_cast<std::size_t>(data);
                if (f >= findings.size() || !findings[f]) continue;
                if (checked) ++outcome.registryTicked;
                ticked[f] = checked;
            } else {
                const auto sc = static_cast<std::size_t>(data - registryRows_);
                if (sc >= links) continue;
                if (checked) ++outcome.shortcutsTicked;
                ticked[findings.size() + sc] = checked;
            }
        }
    }
    // The closing message, shown by the user-interface thread; `keepResults`
    // leaves the result list up to tick and repair again.
    auto finish = [this](std::string text, bool keepResults) {
        auto message = std::make_unique<std::string>(std::move(text));
        // The closing message is shown by the user-interface thread, the thread
        // of the window that owns it. A box of this thread would take its clicks
        // in a queue of its own: a press on the disabled main window made before
        // the box's OK could then be handled after it, once the window is enabled
        // again, and start what it names (under Wine, which does not join the two
        // threads' input as Windows does for an owned window of another thread).
        // Posted: the worker never waits for that thread.
        if (PostMessageA(Window(), kRepairFinishedMessage, keepResults ? 1 : 0,
                         reinterpret_cast<LPARAM>(message.get())))
            message.release();
        else
            RepairInProgress.store(0);
    };
    if (outcome.registryTicked + outcome.shortcutsTicked == 0) {
        // Nothing to remove: no export, no backup, nothing ignored.
        exporting_.store(false);
        finish(NothingTickedMessage(), true);
        return;
    }

    RepairJob job(Repair(), Rows());
    job.shortcuts = &Shortcuts();
    job.ticked = std::move(ticked);
    job.administrator = DefaultAdministratorRights().Held();
    job.afterExport = [this] { exporting_.store(false); };
    job.stopRequested = [this] { return StopRequested(); };
    job.beforeRemoval = [this] {
        ShowPanel("SUBMAIN_RESULT");
        SetProgressLabel(kStatusLabel, "Fixing errors");
        if (CSubMainSkin* panel = ProgressPanel()) InvalidateRect(panel->Window(), nullptr, TRUE);
    };
    const RepairJobOutcome repaired = RunRepairJob(job);
    switch (repaired.end) {
        case RepairEnd::NeedsAdministrator:
            exporting_.store(false);
            finish(RightsRefusalMessage(repaired.reach.firstOutside, repaired.reach.outside), true);
            return;
        case RepairEnd::Stopped:
            // Stopped during the export (the window is closing): nothing is
            // removed or ignored.
            finish("The repair was stopped before anything was removed.", true);
            return;
        case RepairEnd::IgnoreListNotSaved:
            // The unticked rows are blanked for the repair: the results are
            // left, and a new scan lists them again.
            finish(IgnoreListNotSavedMessage(repaired.ignoreError), false);
            return;
        case RepairEnd::Done:
            break;
    }

    outcome.exportFailed = repaired.exportFailed;
    outcome.exportError = repaired.exportError;
    outcome.ignoredAdded = static_cast<int>(repaired.ignored);
    outcome.registryToRepair = repaired.reach.removesRegistry;
    outcome.backupFile = repaired.backupFile;
    outcome.backupWriteFailed = !repaired.backupComplete;
    for (const auto& row : Rows())
        if (row && row->errorsFixed < 0) ++outcome.rowsNotFixed;
    outcome.entriesNotDeleted = repaired.entriesLeft;
    outcome.shortcutsNotDeleted = repaired.shortcutsLeft;
    finish(RepairClosingMessage(outcome), false);
}

void CMainDlg::RepairFinished(std::unique_ptr<std::string> message, bool keepResults) {
    {
        ShownProgress& shown = Shown();
        const std::lock_guard<std::mutex> hold(shown.lock);
        ShowHeldProgress(ProgressPanel(), shown);
    }
    // Presses while the box is up are dropped as presses during the repair
    // (the window is disabled; the tray and the timer still reach it).
    if (message) MessageBoxA(Window(), message->c_str(), "Quillmere", MB_OK);
    RepairInProgress.store(0);
    // Closed from the tray meanwhile: nothing left to show.
    if (!IsWindow(Window())) return;
    SetProgressLabel(kCurrentItemLabel, "");
    if (keepResults) {
        ShowPanel("SUBMAIN_RESULT");
        Controls().EnableAllButtons(true);
        resultsReady_.store(true);
        return;
    }
    ShowPanel("SUBMAIN_IGNORED");
    if (CSubMainSkin* ignored = FindPanel("SUBMAIN_IGNORED")) ignored->RefreshIgnoredList();
    ButtonPressed("BUTTON_MAIN");
}

}  // namespace qm
