// One repair, as the main window, the result window and "fix" run it. Its
// steps, in order, each of which may end it:
//   1. the rights: without administrator rights only entries of the user's
//      own hive may go (RepairReach); anything else ends the job before
//      anything is exported, ignored or removed (NeedsAdministrator);
//   2. the export before the repair when "savereg" is set, of the hive the
//      repair reaches; one that fails is reported and the repair goes on
//      (its XML backup still keeps what it removes);
//   3. a stop request ends the job here (Stopped), nothing ignored or removed;
//   4. the unticked rows go to the ignore list (KeepUntickedRows); when the
//      list cannot be saved nothing is removed (IgnoreListNotSaved): the kept
//      rows would come back as findings and be removed by the next repair;
//   5. the XML backup of the ticked findings with the broken shortcuts inside
//      it, each written before it is deleted, and the deletions;
//   6. what is still there afterwards: the findings the repair was to remove
//      and the shortcut files.
// Each face says what the outcome holds in its own words.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/records.h"
#include "engine/registry_lib.h"
#include "repair/registry_repair.h"
#include "repair/repair_reach.h"

namespace qm {

class CShortcut;

enum class RepairEnd {
    Done,                // steps 5 and 6 ran (see the backup fields for how far)
    NeedsAdministrator,  // step 1 refused: reach.firstOutside names the first entry outside
    Stopped,             // step 3
    IgnoreListNotSaved,  // step 4: ignoreError says why
};

struct RepairJob {
    RepairJob(CRegistryRepair& repairIn, ResultRows& rowsIn)
        : repair(repairIn), engine(repairIn.Engine()), rows(rowsIn) {}

    CRegistryRepair& repair;  // on the engine below
    CRegistryLib& engine;
    ResultRows& rows;
    // The broken shortcuts' rows (null: none).
    CShortcut* shortcuts = nullptr;
    // The rows' check boxes as KeepUntickedRows numbers them (empty: all ticked).
    std::vector<bool> ticked;
    bool administrator = true;
    // Makes the export before the repair of `root` (ExportBeforeRepair by default).
    std::function<bool(std::string& where, std::string& error, const char* root)> exportBeforeRepair;
    // Runs right after the export step (also when none was wanted).
    std::function<void()> afterExport;
    // Asked after the export and before the shortcuts are deleted.
    std::function<bool()> stopRequested;
    // Runs once the ignore list is saved, before the backup is opened.
    std::function<void()> beforeRemoval;
};

struct RepairJobOutcome {
    RepairEnd end = RepairEnd::Done;
    RepairReach reach;               // what the ticked rows reach
    bool exportFailed = false;       // "savereg" asked for an export that could not be made
    std::string exportFile;          // the export made ("" when none)
    std::string exportError;         // why it failed
    std::vector<std::string> kept;   // the unticked rows' paths, in row order
    std::size_t ignored = 0;         // rows put on the ignore list (0 when it was not saved)
    std::string ignoreError;
    std::string backupRequested;     // the backup file name asked for
    std::string backupFile;          // the one written ("" when none could be created)
    bool backupComplete = true;      // no write to it failed
    int entriesLeft = 0;             // findings to remove still in the registry afterwards
    int shortcutsLeft = 0;           // broken shortcuts to remove still on disk afterwards
};

RepairJobOutcome RunRepairJob(RepairJob& job);

// Step 5 alone: backs up and deletes the findings that still have a key path,
// then the broken shortcuts still listed (`shortcuts`, may be null), each
// written into the same backup first; `stop` (may be empty) ends it before
// the shortcuts. Returns the backup file written ("" when none).
std::string RemoveWithBackup(CRegistryRepair& repair, CShortcut* shortcuts, ResultRows& rows,
                             const std::string& backupFileName, const std::function<bool()>& stop);

// How many findings that still have a key path are still in the registry,
// each looked for in its own view: the key of a key finding, the value of a
// value finding.
int FindingsStillPresent(CRegistryRepair& repair);

}  // namespace qm
