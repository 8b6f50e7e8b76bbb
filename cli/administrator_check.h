// The commands that change the registry (fix, restore, settings set/unset)
// refuse at once, before reading or writing anything, when the program runs
// without administrator rights: a repair without them would fail entry by
// entry with "access denied" and leave a partial result.
#pragma once

#include <string>

namespace qm::cli {

// Throws CliError ("<command> needs administrator rights ...; nothing was
// changed", exit 2) unless DefaultAdministratorRights() holds them.
void RequireAdministratorRights(const std::string& command);

}  // namespace qm::cli
