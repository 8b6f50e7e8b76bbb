// Before a repair: the findings and broken shortcuts the user unticked go to
// the ignore list and are blanked, so that the repair leaves them alone.
// Shared by the main window's repair and the command line's "fix".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/registry_lib.h"

namespace qm {

class CShortcut;

// The rows of a result list: one per finding of the engine, in findings
// order, then one per entry of the shortcut scanner's broken list. `ticked[i]`
// is row i's check box; rows past the end of `ticked` count as ticked.
//
// For each unticked finding row: a copy of the finding is appended to
// `keeper`'s ignore list and the finding's key path is emptied in `engine`.
// For each unticked shortcut row: an ignore entry with the shortcut's path is
// appended and the scanner's entry is emptied. Then, when any row was kept,
// `keeper`'s ignore list is written to its file. `keeper` is a scratch engine
// that loaded the ignore file when it was made; it may be `engine` itself.
// `shortcuts` may be null (no shortcut rows). Returns the number of rows kept.
// When the list could not be written, `saveError` (if given) says why and is
// otherwise emptied: a repair must then not run, or the kept rows would come
// back as findings and be removed next time.
std::size_t KeepUntickedRows(CRegistryLib& engine, CShortcut* shortcuts,
                             const std::vector<bool>& ticked, CRegistryLib& keeper,
                             std::string* saveError = nullptr);

// Check boxes for the rows above, ticked except where the row's file path
// (a finding's missing file, a broken shortcut's own .lnk path) equals one
// of `keepPaths` exactly.
std::vector<bool> TickedExcept(const FindingList& findings,
                               const std::vector<std::string>& brokenShortcuts,
                               const std::vector<std::string>& keepPaths);

}  // namespace qm
