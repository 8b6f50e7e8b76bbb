// Summary: the scan and repair controller a window owns. It holds the engine
// (CRegistryLib), the shortcut scanner (CShortcut), the per-category result
// rows and the category selection, runs one scan (RunScan) or one repair
// (FixError) on the calling worker thread, and lets a stop request through the
// named stop event end either between stages.
//
// Progress: SummaryProgressCallback writes the status text, the number of
// errors found and the entry being checked into the labels
// TEXT_ERRORSCAN_STATUS, TEXT_ERRORSCAN_ERRORFOUND and
// TEXT_ERRORSCAN_CURRENTITEM of the current controller's screen (a window's
// by-name controls; none: nothing is shown). A window that shows progress its
// own way installs its own callback on Engine() and Shortcuts().
//
// Portable: the engine's services decide which registry and file system are
// used, so the controller can be run on an in-memory registry.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

#include "engine/categories.h"
#include "engine/records.h"
#include "engine/registry_lib.h"
#include "engine/shortcut.h"
#include "platform/named_event.h"
#include "repair/registry_repair.h"
#include "ui/named_controls.h"

namespace qm {

class Summary;

// A scan is active (set by whoever starts a scan worker, cleared when it ends).
extern std::atomic<int> ScanInProgress;
// The most recently constructed controller still alive: the one whose screen
// SummaryProgressCallback writes. When it is destroyed the one constructed
// before it (if still alive) is current again, so the main window's progress
// comes back once a result window has closed.
extern std::atomic<Summary*> CurrentSummary;

// The scan categories ticked on a screen's check boxes (their check value; 0
// when unticked or missing, all 0 without a screen): slot 1 BUTTON_COM, 3 BUTTON_COM_SUBS, 4
// BUTTON_DRV, 5 BUTTON_HELP, 6 BUTTON_APPPATH, 7 BUTTON_SHARED_TOOLS, 8
// BUTTON_FONTS, 9 BUTTON_STARTUP, 10 BUTTON_SHORTCUTS, 11 BUTTON_UNINSTALL.
// The other slots are left as they are.
void ReadCategoryStates(const INamedControls* buttons, ScanCategoryStates& states);

// Label names the controller's progress callback writes.
constexpr const char* kStatusLabel = "TEXT_ERRORSCAN_STATUS";
constexpr const char* kErrorsFoundLabel = "TEXT_ERRORSCAN_ERRORFOUND";
// The line after "Checking:": the entry being checked.
constexpr const char* kCurrentItemLabel = "TEXT_ERRORSCAN_CURRENTITEM";

// Writes `status`, `found` ("%d") and the entry being checked (`item`) into
// CurrentSummary's screen.
void SummaryProgressCallback(std::string item, std::string status, std::int32_t scanned,
                             std::int32_t found);

// What a repair from the main window achieved, for its closing message.
struct RepairOutcome {
    bool exportFailed = false;       // "savereg" asked for an export that could not be made
    std::string exportError;         // why
    bool registryToRepair = false;   // some finding still had a key path
    std::string backupFile;          // the backup written ("" when none)
    bool backupWriteFailed = false;  // a write to the backup failed part way
    int rowsNotFixed = 0;            // result rows whose entries could not be deleted (fixed count < 0)
    int entriesNotDeleted = 0;       // ticked registry findings still in the registry afterwards
    int shortcutsNotDeleted = 0;     // listed shortcuts still on disk
    int registryTicked = 0;          // ticked registry rows: the findings the repair was to remove
    int shortcutsTicked = 0;         // ticked shortcut rows
    int ignoredAdded = 0;            // unticked rows put on the ignore list
    bool ignoreSaveFailed = false;   // the ignore list could not be written (nothing was added)
    std::string ignoreError;         // why
};

// The closing message of a repair: "Items selected have been removed from the
// system" first when everything ticked was removed, else what went wrong;
// then how many registry entries and shortcuts were removed, the backup file
// that holds them, and how many unticked rows went to the ignore list (which
// the Ignore list panel takes back).
std::string RepairClosingMessage(const RepairOutcome& outcome);

// What "Repair selected" says instead of repairing when no row is ticked:
// nothing is removed, exported or ignored.
std::string NothingTickedMessage();
// ... before a scan has shown its results (or after they were left).
std::string NothingToRepairMessage();
// ... for a scan that found nothing.
std::string NoProblemsToRepairMessage();
// ... without administrator rights, when `outside` ticked entries lie outside
// the user's own hive, `first` the first of them (a key path or a shortcut
// file): nothing is removed, exported or ignored. A face without tick boxes
// (the result window repairs every row) passes `rowsCanBeUnticked` false.
std::string RightsRefusalMessage(const std::string& first, std::size_t outside, bool rowsCanBeUnticked = true);
// ... when the ignore list cannot be saved (`error` says why): nothing is
// removed, or the unticked entries would be found and removed next time.
std::string IgnoreListNotSavedMessage(const std::string& error);

class Summary {
public:
    explicit Summary(const EngineServices& engine = EngineServices(),
                     const ShortcutServices& shortcuts = ShortcutServices());
    virtual ~Summary();
    Summary(const Summary&) = delete;
    Summary& operator=(const Summary&) = delete;

    // A button of the controller's screen was pressed (by name). Nothing here.
    virtual void ButtonPressed(const std::string& name);

    // The selected categories (slot 10: the shortcut scan), then the shortcut
    // scan, on the calling thread. Empties the result rows and the broken
    // shortcuts first. Returns whether the stop event was set when it ended.
    bool RunScan();
    // Backs up and deletes the findings that still have a key path, then the
    // broken shortcuts still listed (each written into the same backup before
    // it is deleted; none without a backup), on the calling thread; a stop
    // request ends it between the two. Returns the backup file's name ("" when none
    // was written or a stop came first).
    std::string FixError();
    // After a repair: how many findings that still have a key path (the ones
    // the repair was to remove) are still in the registry, the key of a key
    // finding or the value of a value finding. A category's fixed count nets
    // removals against refusals, so this is what tells of a refused deletion
    // in a category where others went through.
    int RegistryEntriesLeft();
    // The backup file name for a repair starting at `localTime`.
    static std::string BackupFileNameFor(const std::tm& localTime);
    // Asks a running scan or repair to stop; it ends at its next check.
    void RequestStop() { stop_.Set(); }
    void ClearStop() { stop_.Reset(); }
    bool StopRequested() const { return stop_.IsSignalled(); }

    CRegistryLib& Engine() { return engine_; }
    // The backup, deletions and restore on the engine (FixError's backup writer).
    CRegistryRepair& Repair() { return repair_; }
    CShortcut& Shortcuts() { return shortcuts_; }
    ResultRows& Rows() { return rows_; }
    ScanCategoryStates& States() { return states_; }

    // The controls SummaryProgressCallback writes into (not owned; null: none).
    void SetScreen(INamedControls* screen) { screen_.store(screen); }
    INamedControls* Screen() const { return screen_.load(); }

private:
    CRegistryLib engine_;
    CRegistryRepair repair_{engine_};
    CShortcut shortcuts_;
    ResultRows rows_;
    ScanCategoryStates states_;
    NamedEvent stop_;
    std::atomic<INamedControls*> screen_{nullptr};
};

}  // namespace qm
