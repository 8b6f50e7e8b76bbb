// How far a repair reaches: whether everything it would remove lies in the
// user's own hive (HKEY_CURRENT_USER, which its user may change without
// administrator rights), which hive the export before it holds, and the first
// entry outside, which a user without those rights is told of. Shared by the
// windows' repairs and the command line's "fix".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/records.h"

namespace qm {

// Whether `finding` lies in the user's hive: its key path does, or it is a
// class read from the user's classes (an offline installation's UsrClass.dat,
// "hive=user" in a backup).
bool UserOwns(const CRegErrorLog& finding);

struct RepairReach {
    bool removesRegistry = false;  // some ticked finding with a key path
    bool removesShortcuts = false;  // some ticked broken shortcut
    std::size_t outside = 0;        // ticked rows outside the user's hive (shortcut files count)
    std::string firstOutside;       // the first of them: its key path, or the shortcut's path

    // Nothing outside the user's hive: no administrator rights are needed.
    bool UserHiveOnly() const { return outside == 0; }
    // kUserExportRoot when registry entries go and all are the user's, else
    // kMachineExportRoot.
    const char* ExportRoot() const;
};

// The rows as KeepUntickedRows numbers them: one per finding, then one per
// broken shortcut; rows past the end of `ticked` count as ticked. Findings
// without a key path (kept or already gone) and emptied shortcuts are not
// removed and do not count.
RepairReach ReachOf(const FindingList& findings, const std::vector<std::string>& brokenShortcuts,
                    const std::vector<bool>& ticked = {});

}  // namespace qm
