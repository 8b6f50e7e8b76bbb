// The commands of quillmere-cli. Each Add*Command registers one sub-command
// on the application; its callback sets `state.exitCode`.
#pragma once

#include <CLI/CLI.hpp>

#include "cli/cli_state.h"

namespace qm::cli {

void AddScanCommand(CLI::App& app, CliState& state);
// "restore FILE": applies an XML backup without any dialog; prints the
// restore's messages, then "Registry Restored Successfuly" (exit 0) or
// "Registry Restoration Failed" (exit 2).
void AddRestoreCommand(CLI::App& app, CliState& state);
void AddIgnoreCommand(CLI::App& app, CliState& state);
// "settings get [NAME] | set NAME [VALUE] | unset NAME": the values under
// HKEY_LOCAL_MACHINE\Software\QUILLMERE (flags on/off, texts, times in seconds).
void AddSettingsCommand(CLI::App& app, CliState& state);
// "fix [--categories LIST] [--keep PATH]... [--json]": scans, keeps the
// findings and broken shortcuts whose file path is a --keep PATH (they go to
// the ignore list), removes the rest, and prints the rows with errors fixed
// and the backup file's name.
void AddFixCommand(CLI::App& app, CliState& state);
// "schedule list | add --date YYYY-MM-DD --time HH:MM [--frequency F] |
// delete N": the scheduled scans (Windows only; elsewhere an error, exit 2).
// add prints the add-schedule message; exit 0 only when the schedule was added.
void AddScheduleCommand(CLI::App& app, CliState& state);

}  // namespace qm::cli
