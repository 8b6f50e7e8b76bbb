#include "cli/administrator_check.h"

#include "cli/cli_state.h"
#include "platform/administrator_rights.h"
#include "repair/export_backups.h"

namespace qm::cli {

void RequireAdministratorRights(const std::string& command) {
    if (DefaultAdministratorRights().Held()) return;
    RefuseWithoutAdministratorRights(command);
}

void RefuseWithoutAdministratorRights(const std::string& command, const std::string& what,
                                      const std::string& hint) {
    throw CliError(command + " needs administrator rights" + what +
                   ": run it from a command prompt started with \"Run as administrator\"" + hint +
                   "; nothing was changed");
}

void RefuseToRemoveOutsideUserHive(const std::string& first, std::size_t outside) {
    RefuseWithoutAdministratorRights(
        "fix",
        " to remove \"" + first + "\"" +
            (outside > 1 ? " and " + std::to_string(outside - 1) + " more entries outside " : ", which lies outside ") +
            kUserExportRoot,
        outside > 1 ? " or leave them with --keep" : " or leave it with --keep");
}

}  // namespace qm::cli
