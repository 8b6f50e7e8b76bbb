// The commands of quillmere-cli. Each Add*Command registers one sub-command
// on the application; its callback sets `state.exitCode`.
#pragma once

#include <CLI/CLI.hpp>

#include "cli/cli_state.h"

namespace qm::cli {

void AddScanCommand(CLI::App& app, CliState& state);

}  // namespace qm::cli
