// The result window's two workers (ScanThread, FixThread) and what it does
// when they have returned (OnFinishScan, OnFinishFixing). The workers run at
// normal priority, write only label texts (SummaryProgressCallback) and post
// their finish message: they never wait for the window's thread, so the
// window may wait for them.
#include <cstdio>
#include <string>
#include <vector>

#include "control/summary_window_win32.h"
#include "platform/administrator_rights.h"
#include "platform/com_scope_win32.h"
#include "repair/repair_job.h"

namespace qm {

namespace {

std::string Number(std::int32_t n) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(n));
    return text;
}

// The list is hidden and shown again so that it repaints over the screen.
void Redraw(CSkinnedListView* list) {
    if (list == nullptr || list->Window() == nullptr) return;
    ShowWindow(list->Window(), SW_HIDE);
    ShowWindow(list->Window(), SW_SHOW);
}

}  // namespace

DWORD WINAPI CSummaryWindow::ScanThread(LPVOID argument) {
    ComScope com;  // the shortcut scan resolves links through the shell
    auto* self = static_cast<CSummaryWindow*>(argument);
    const HWND window = self->postTo_;
    try {
        self->RunScan();
    } catch (...) {
        // The window's thread may be waiting for this one: the box has no owner.
        MessageBoxA(nullptr, "Error Occured while scanning", "Scan thread", MB_OK);
    }
    PostMessageA(window, kFinishScanMessage, 0, 0);
    return 0;
}

DWORD WINAPI CSummaryWindow::FixThread(LPVOID argument) {
    ComScope com;
    auto* self = static_cast<CSummaryWindow*>(argument);
    const HWND window = self->postTo_;
    self->fixStatus_ = "Fixed";
    try {
        self->fixProblems_ = self->RunRepair();
    } catch (...) {
        self->fixStatus_ = "Failed";
        MessageBoxA(nullptr, "Error Occured while Fixing", "Fix thread", MB_OK);
    }
    PostMessageA(window, kFinishFixingMessage, 0, 0);
    return 0;
}

std::string CSummaryWindow::RunRepair() {
    RepairJob job(Repair(), Rows());
    job.shortcuts = &Shortcuts();
    job.administrator = DefaultAdministratorRights().Held();
    job.stopRequested = [this] { return StopRequested(); };
    const RepairJobOutcome repaired = RunRepairJob(job);
    switch (repaired.end) {
        case RepairEnd::NeedsAdministrator:
            fixStatus_ = "Not fixed";
            return RightsRefusalMessage(repaired.reach.firstOutside, repaired.reach.outside, false);
        case RepairEnd::IgnoreListNotSaved:
            fixStatus_ = "Not fixed";
            return IgnoreListNotSavedMessage(repaired.ignoreError);
        case RepairEnd::Stopped:
        case RepairEnd::Done:
            break;
    }
    std::string problems;
    auto line = [&problems](const std::string& l) { problems += (problems.empty() ? "" : "\r\n") + l; };
    if (repaired.exportFailed)
        line("The registry export before the repair failed" +
             (repaired.exportError.empty() ? std::string(".") : ": " + repaired.exportError));
    if (repaired.end == RepairEnd::Done && repaired.reach.removesRegistry && repaired.backupFile.empty()) {
        // Without a backup nothing is removed, the shortcuts neither.
        fixStatus_ = "Not fixed";
        line("The backup file could not be written: no registry entry was removed.");
    } else if (!repaired.backupComplete) {
        line("Writing the backup " + repaired.backupFile + " failed part way: the entries after that were not removed.");
    }
    return problems;
}

void CSummaryWindow::OnFinishScan() {
    WaitForWorker();
    const bool stopped = StopRequested();
    if (stopped && !stopPressed_) {
        CloseStopped();
        return;
    }
    if (stopped) {
        // Stopped from this window: what was found up to then is shown and
        // can be repaired, so the stop is cleared (after "aborted" is set,
        // as CloseStopped does).
        NamedEvent(kAbortedEventName).Set();
        ClearStop();
    }
    stopPressed_ = false;
    ShowScanResults(stopped);
}

void CSummaryWindow::ShowScanResults(bool stopped) {
    // The animation shows the scan: it goes with it (it would cover the
    // results' buttons).
    animation_.Destroy();
    ReadScanCompleteScreenInfo();
    std::int32_t scanned = 0, found = 0;
    int row = 0;
    if (list_) list_->DeleteAllRows();
    for (const auto& r : Rows()) {
        if (!r) continue;
        if (list_) list_->InsertRow(row++, {r->label, Number(r->itemsScanned), Number(r->errorsFound)});
        scanned += r->itemsScanned;
        found += r->errorsFound;
    }
    const CShortcut& links = Shortcuts();
    if (list_) list_->InsertRow(row++, {"Missing ShortCuts", Number(links.ItemsScanned()), Number(links.ErrorsFound())});
    scanned += links.ItemsScanned();
    found += links.ErrorsFound();

    char title[96];
    if (stopped)
        std::snprintf(title, sizeof title, "Scan stopped: Quillmere found %d bugs up to then\n",
                      static_cast<int>(found));
    else
        std::snprintf(title, sizeof title, "Quillmere has found %d potentially dangerous bugs\n",
                      static_cast<int>(found));
    controls_.SetLabelText("TEXT_SCANCOMPLETE_STATUS", stopped ? "Stopped" : "Complete");
    controls_.SetLabelText("TEXT_SCANCOMPLETE_ITEMSCANNED", Number(scanned));
    controls_.SetLabelText("TEXT_SCANCOMPLETE_ERRORFOUND", Number(found));
    controls_.SetLabelText("TEXT_SCREENSCANCOMPLETE_TITLE",
                           std::string(title) + "click the button below to repair your computer");
    Redraw(list_.get());
}

void CSummaryWindow::OnFinishFixing() {
    WaitForWorker();
    if (StopRequested()) {
        CloseStopped();
        return;
    }
    ReadFixCompleteScreenInfo();
    std::int32_t scanned = 0, found = 0, fixed = 0;
    int row = 0;
    if (list_) list_->DeleteAllRows();
    for (const auto& r : Rows()) {
        if (!r) continue;
        if (list_)
            list_->InsertRow(row++, {r->label, Number(r->itemsScanned), Number(r->errorsFound),
                                     r->errorsFixed < 0 ? std::string("Access Denied") : Number(r->errorsFixed)});
        scanned += r->itemsScanned;
        found += r->errorsFound;
        fixed += r->errorsFixed;
    }
    const CShortcut& links = Shortcuts();
    if (list_) {
        list_->InsertRow(row++, {"Missing ShortCuts", Number(links.ItemsScanned()), Number(links.ErrorsFound()),
                                 Number(links.ErrorsFixed())});
        list_->InsertRow(row++, {"Spywares"});
    }
    Redraw(list_.get());
    scanned += links.ItemsScanned();
    found += links.ErrorsFound();
    fixed += links.ErrorsFixed();
    Rows().clear();

    controls_.SetLabelText("TEXT_FIXCOMPLETE_STATUS", fixStatus_);
    controls_.SetLabelText("TEXT_FIXCOMPLETE_ITEMSCANNED", Number(scanned));
    controls_.SetLabelText("TEXT_FIXCOMPLETE_ERRORFOUND", Number(found));
    controls_.SetLabelText("TEXT_FIXCOMPLETE_FIXED", Number(fixed));
    if (!fixProblems_.empty()) MessageBoxA(Window(), fixProblems_.c_str(), "Quillmere", MB_OK | MB_ICONWARNING);
    fixProblems_.clear();
}

}  // namespace qm
