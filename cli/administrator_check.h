// The commands that change the registry (fix, restore, settings set/unset)
// refuse at once, before reading or writing anything, when the program runs
// without administrator rights: a repair without them would fail entry by
// entry with "access denied" and leave a partial result. Only what touches
// nothing but the user's own entries (HKEY_CURRENT_USER) goes ahead without
// them: a fix of the categories that have such entries, which refuses after
// its scan, before changing anything, when it would remove more; a restore
// of a backup holding nothing else.
#pragma once

#include <cstddef>
#include <string>

namespace qm::cli {

// Throws CliError ("<command> needs administrator rights ...; nothing was
// changed", exit 2) unless DefaultAdministratorRights() holds them.
void RequireAdministratorRights(const std::string& command);

// The same refusal, whatever the rights; `what` (" to remove ...") follows
// "administrator rights" and `hint` the advice to run it elevated.
[[noreturn]] void RefuseWithoutAdministratorRights(const std::string& command, const std::string& what = {},
                                                   const std::string& hint = {});

// The refusal of a fix without administrator rights that would remove
// `outside` entries outside HKEY_CURRENT_USER, `first` the first of them.
[[noreturn]] void RefuseToRemoveOutsideUserHive(const std::string& first, std::size_t outside);

}  // namespace qm::cli
