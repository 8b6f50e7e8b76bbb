#include "cli/administrator_check.h"

#include "cli/cli_state.h"
#include "platform/administrator_rights.h"

namespace qm::cli {

void RequireAdministratorRights(const std::string& command) {
    if (DefaultAdministratorRights().Held()) return;
    throw CliError(command +
                   " needs administrator rights: run it from a command prompt started with \"Run as "
                   "administrator\"; nothing was changed");
}

}  // namespace qm::cli
