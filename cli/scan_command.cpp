#include <memory>

#include "cli/commands.h"
#include "cli/scan_report.h"

namespace qm::cli {

void AddScanCommand(CLI::App& app, CliState& state) {
    auto* cmd = app.add_subcommand("scan", "Scan the registry (and shortcut files) for entries naming missing files");
    auto categories = std::make_shared<std::string>();
    auto json = std::make_shared<bool>(false);
    cmd->add_option("--categories", *categories,
                    "Comma-separated categories: com,shareddlls,drivers,help,apppaths,"
                    "sharedtools,fonts,startup,uninstall,shortcuts (default: all)");
    cmd->add_flag("--json", *json, "Print one JSON object instead of text");
    auto drives = std::make_shared<std::string>();
    cmd->add_option("--drives", *drives,
                    "Comma-separated drive letters the shortcut scan walks, e.g. C,D "
                    "(default: every fixed drive)");
    cmd->callback([&state, categories, json, drives]() {
        CategorySelection selection = ParseCategories(*categories);
        selection.drives = ParseDriveList(*drives);
        EngineServices services;
        services.ignoreFile = state.ignoreFile;
        CRegistryLib engine(services);
        // Without its ignore list the scan would report what the user ignored.
        if (!engine.IgnoreListError().empty()) throw CliError(engine.IgnoreListError());
        ScanOutcome outcome;
        RunScan(engine, selection, outcome);
        if (*json) {
            PrintJson({{"rows", RowsToJson(outcome.rows)},
                       {"findings", FindingsToJson(engine.Findings())},
                       {"shortcuts", ShortcutsToJson(outcome.shortcuts)}});
        } else {
            PrintScanText(outcome.rows, engine.Findings(), outcome.shortcuts);
        }
        const bool found = !engine.Findings().empty() || !outcome.shortcuts.empty();
        state.exitCode = found ? kExitFindings : kExitClean;
    });
}

}  // namespace qm::cli
