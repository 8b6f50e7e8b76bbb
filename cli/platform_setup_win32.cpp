#include "cli/platform_setup.h"

namespace qm::cli {

void AddPlatformOptions(CLI::App& app, CliState& state) {
    app.add_option("--ignore-file", state.ignoreFile, "Ignore list file (default: ignore.lst)");
}

}  // namespace qm::cli
