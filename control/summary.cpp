#include "control/summary.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

#include "repair/repair_job.h"
#include "repair/repair_pass.h"

namespace qm {

std::atomic<int> ScanInProgress{0};
std::atomic<Summary*> CurrentSummary{nullptr};

namespace {

// The controllers alive, oldest first; CurrentSummary is the last one. Never
// destroyed: a worker still running while the process ends may use it.
struct LiveSummaries {
    std::mutex lock;
    std::vector<Summary*> alive;
};
LiveSummaries& Live() {
    static LiveSummaries* live = new LiveSummaries;
    return *live;
}

}  // namespace

void ReadCategoryStates(const INamedControls* buttons, ScanCategoryStates& states) {
    auto tick = [buttons](const char* name) { return buttons != nullptr ? buttons->GetButtonCheck(name) : 0; };
    states[kSlotCom] = tick("BUTTON_COM");
    states[kSlotSharedDlls] = tick("BUTTON_COM_SUBS");
    states[kSlotDrivers] = tick("BUTTON_DRV");
    states[kSlotHelp] = tick("BUTTON_HELP");
    states[kSlotAppPaths] = tick("BUTTON_APPPATH");
    states[kSlotSharedTools] = tick("BUTTON_SHARED_TOOLS");
    states[kSlotFonts] = tick("BUTTON_FONTS");
    states[kSlotStartup] = tick("BUTTON_STARTUP");
    states[kSlotShortcuts] = tick("BUTTON_SHORTCUTS");
    states[kSlotUninstall] = tick("BUTTON_UNINSTALL");
}

void SummaryProgressCallback(std::string item, std::string status, std::int32_t, std::int32_t found) {
    Summary* summary = CurrentSummary.load();
    if (summary == nullptr) return;
    INamedControls* screen = summary->Screen();
    if (screen == nullptr) return;
    char count[16];
    std::snprintf(count, sizeof count, "%d", static_cast<int>(found));
    screen->SetLabelText(kStatusLabel, status);
    screen->SetLabelText(kErrorsFoundLabel, count);
    screen->SetLabelText(kCurrentItemLabel, item);
}

namespace {

std::string CountOf(int n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string RepairClosingMessage(const RepairOutcome& o) {
    const bool backupMissing = o.registryToRepair && o.backupFile.empty();
    std::string text;
    auto line = [&text](const std::string& l) { text += (text.empty() ? "" : "\r\n") + l; };
    if (!o.exportFailed && !backupMissing && !o.backupWriteFailed && o.rowsNotFixed == 0 &&
        o.entriesNotDeleted == 0 && o.shortcutsNotDeleted == 0)
        line("Items selected have been removed from the system");
    if (o.exportFailed)
        line("The registry export before the repair failed" +
             (o.exportError.empty() ? std::string(".") : ": " + o.exportError));
    if (backupMissing) line("The backup file could not be written: no registry entry was removed.");
    else if (o.backupWriteFailed)
        line("Writing the backup " + o.backupFile + " failed part way: the entries after that were not removed.");
    if (o.entriesNotDeleted > 0)
        line(CountOf(o.entriesNotDeleted, "registry entry", "registry entries") +
             " could not be deleted (Access Denied).");
    else if (o.rowsNotFixed > 0)
        line("Some registry entries could not be deleted (Access Denied) in " + std::to_string(o.rowsNotFixed) +
             (o.rowsNotFixed == 1 ? " category." : " categories."));
    if (o.shortcutsNotDeleted > 0)
        line(CountOf(o.shortcutsNotDeleted, "shortcut could not be deleted.", "shortcuts could not be deleted."));

    const int registryRemoved = std::max(0, o.registryTicked - o.entriesNotDeleted);
    const int shortcutsRemoved = std::max(0, o.shortcutsTicked - o.shortcutsNotDeleted);
    if (registryRemoved + shortcutsRemoved == 0) {
        line("Nothing was removed.");
    } else {
        std::string removed;
        if (registryRemoved > 0) removed = CountOf(registryRemoved, "registry entry", "registry entries");
        if (shortcutsRemoved > 0)
            removed += (removed.empty() ? "" : " and ") + CountOf(shortcutsRemoved, "shortcut", "shortcuts");
        line(removed + (registryRemoved + shortcutsRemoved == 1 ? " was removed." : " were removed."));
    }
    if (!o.backupFile.empty()) line("What was removed is saved in " + o.backupFile + ".");

    if (o.ignoreSaveFailed)
        line("The ignore list could not be saved, so no unticked entry was added to it: " + o.ignoreError);
    else if (o.ignoredAdded > 0)
        line(CountOf(o.ignoredAdded, "unticked entry was", "unticked entries were") +
             " added to the ignore list and will not be reported again; the Ignore list panel takes " +
             (o.ignoredAdded == 1 ? "it" : "them") + " back.");
    else
        line("Nothing was added to the ignore list.");
    return text;
}

std::string NothingTickedMessage() {
    return "No entry is ticked: nothing was removed and nothing was added to the ignore list.\r\n"
           "Tick the entries to remove, then press Repair selected.";
}

std::string NothingToRepairMessage() {
    return "There is nothing to repair yet.\r\n"
           "Press Start scan: the result list shows what it finds, and Repair selected removes the ticked "
           "entries.";
}

std::string NoProblemsToRepairMessage() { return "No problems found: there is nothing to repair."; }

std::string IgnoreListNotSavedMessage(const std::string& error) {
    return "The ignore list could not be saved, so nothing was removed: " + error +
           "\r\nThe unticked entries would otherwise be reported again and removed by a later repair. "
           "Scan again once the ignore list can be written.";
}

std::string RightsRefusalMessage(const std::string& first, std::size_t outside, bool rowsCanBeUnticked) {
    const bool many = outside > 1;
    const std::string why =
        "Removing \"" + first + "\"" +
        (many ? " and " + std::to_string(outside - 1) + " more entries outside HKEY_CURRENT_USER"
              : ", which lies outside HKEY_CURRENT_USER,") +
        " needs administrator rights: nothing was removed and nothing was added to the ignore list.\r\n";
    if (!rowsCanBeUnticked) return why + "Start Quillmere as an administrator to remove them.";
    return why + "Untick " + (many ? "them" : "it") +
           " to remove only your own entries, or start Quillmere as an administrator.";
}

Summary::Summary(const EngineServices& engine, const ShortcutServices& shortcuts)
    : engine_(engine), shortcuts_(shortcuts), stop_(kStopEventName) {
    engine_.SetProgressCallback(&SummaryProgressCallback);
    shortcuts_.SetProgressCallback(&SummaryProgressCallback);
    shortcuts_.UseIgnoreListOf(engine_);
    LiveSummaries& live = Live();
    std::lock_guard<std::mutex> hold(live.lock);
    live.alive.push_back(this);
    CurrentSummary.store(this);
}

Summary::~Summary() {
    rows_.clear();
    LiveSummaries& live = Live();
    std::lock_guard<std::mutex> hold(live.lock);
    live.alive.erase(std::remove(live.alive.begin(), live.alive.end(), this), live.alive.end());
    CurrentSummary.store(live.alive.empty() ? nullptr : live.alive.back());
}

void Summary::ButtonPressed(const std::string&) {}

bool Summary::RunScan() {
    rows_.clear();
    shortcuts_.ClearBrokenLinks();
    if (StopRequested()) return true;
    engine_.ScanRegistry(rows_, states_);
    if (StopRequested()) return true;
    if (states_[kSlotShortcuts] != 0) {
        states_[kSlotShortcuts] = 2;
        shortcuts_.ScanLinkFile();
        states_[kSlotShortcuts] = -1;
    }
    return StopRequested();
}

int Summary::RegistryEntriesLeft() { return FindingsStillPresent(repair_); }

std::string Summary::BackupFileNameFor(const std::tm& localTime) { return FormatBackupFileName(localTime); }

std::string Summary::FixError() {
    const std::string requested = MakeBackupFileName();
    if (StopRequested()) return std::string();
    return RemoveWithBackup(repair_, &shortcuts_, rows_, requested, [this] { return StopRequested(); });
}

}  // namespace qm
