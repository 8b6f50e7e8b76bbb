#include "cli/administrator_check.h"

#include "cli/cli_state.h"
#include "platform/administrator_rights.h"

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

}  // namespace qm::cli
