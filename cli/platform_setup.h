// Chooses the registry and file system the commands work on: the real ones in
// the Windows build; natively, the built-in demonstration registry (or the
// one the options name).
#pragma once

#include <CLI/CLI.hpp>

#include "cli/cli_state.h"

namespace qm::cli {

// Adds the platform's global options and installs the services before any
// command's callback runs.
void AddPlatformOptions(CLI::App& app, CliState& state);

}  // namespace qm::cli
