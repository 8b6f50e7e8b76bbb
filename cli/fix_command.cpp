// "fix": scan, keep what the user named, remove the rest (registry entries
// with an XML backup, then broken shortcuts), and report. The shortcut scan
// is run here rather than by RunScan because the repair needs the scanner.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/administrator_check.h"
#include "cli/commands.h"
#include "cli/scan_report.h"
#include "cli/standard_output.h"
#include "engine/scan_areas.h"
#include "engine/shortcut.h"
#include "platform/administrator_rights.h"
#include "platform/codepage.h"
#include "repair/export_backups.h"
#include "repair/keep_selection.h"
#include "repair/repair_job.h"
#include "repair/registry_repair.h"

namespace qm::cli {

namespace {

bool InClassesRoot(const std::string& path) { return path.rfind("HKEY_CLASSES_ROOT\\", 0) == 0; }

// Whether every category of the selection has keys in the user's hive, so
// that its findings may all be the user's own (a class may be the user's:
// HKEY_CLASSES_ROOT shows the user's classes too).
bool OnlyCategoriesWithUserAreas(const CategorySelection& selection) {
    if (selection.shortcuts) return false;
    for (const CategoryInfo& info : kCategories) {
        if (info.category == Category::Shortcuts || selection.states[info.slot] == 0) continue;
        bool userArea = false;
        for (const RegistryArea& area : kRegistryAreas)
            if (area.category == info.category && (InUserHive(area.path) || InClassesRoot(area.path)))
                userArea = true;
        if (!userArea) return false;
    }
    return true;
}

}  // namespace

void AddFixCommand(CLI::App& app, CliState& state) {
    auto* cmd = app.add_subcommand(
        "fix",
        "Scan, then remove what was found (registry entries, then broken shortcuts), writing every "
        "removed registry key and value to an XML backup file (FixedOn....xml) first");
    auto categories = std::make_shared<std::string>();
    auto keep = std::make_shared<std::vector<std::string>>();
    auto json = std::make_shared<bool>(false);
    cmd->add_option("--categories", *categories,
                    "Comma-separated categories: com,shareddlls,drivers,help,apppaths,"
                    "sharedtools,fonts,startup,uninstall,shortcuts (default: all)");
    cmd->add_option("--keep", *keep,
                    "Leave alone every finding (or broken shortcut) whose file path is PATH and add "
                    "PATH to the ignore list (repeatable)")
        ->type_name("PATH")
        ->allow_extra_args(false);
    cmd->add_flag("--json", *json, "Print one JSON object instead of text");
    auto drives = std::make_shared<std::string>();
    cmd->add_option("--drives", *drives,
                    "Comma-separated drive letters the shortcut scan walks, e.g. C,D "
                    "(default: every fixed drive)");
    cmd->callback([&state, categories, keep, json, drives]() {
        // Without administrator rights a fix may remove the user's own entries
        // only: categories that have some, and nothing else found (below).
        const bool administrator = DefaultAdministratorRights().Held();
        CategorySelection selection = ParseCategories(*categories);
        if (!administrator && !OnlyCategoriesWithUserAreas(selection)) RefuseWithoutAdministratorRights("fix");
        selection.drives = ParseDriveList(*drives);
        EngineServices services;
        services.ignoreFile = state.ignoreFile;
        CRegistryLib engine(services);
        // Without its ignore list a repair would remove what the user kept.
        if (!engine.IgnoreListError().empty())
            throw CliError(engine.IgnoreListError() + "; nothing was removed");

        // The registry categories, then (this command's own scanner, which
        // the repair needs) the shortcut scan.
        CategorySelection registryOnly = selection;
        registryOnly.shortcuts = false;
        ScanOutcome outcome;
        RunScan(engine, registryOnly, outcome);
        CShortcut shortcuts;
        if (selection.shortcuts) {
            shortcuts.UseIgnoreListOf(engine);
            shortcuts.SetDriveFilter(selection.drives);
            shortcuts.ScanLinkFile();
        }

        // What the user keeps goes to the ignore list and is left alone, as
        // the rows a user unticks in the main window.
        CRegistryRepair repair(engine);
        RepairJob job(repair, outcome.rows);
        job.shortcuts = &shortcuts;
        job.ticked = TickedExcept(engine.Findings(), shortcuts.BrokenLinks(), *keep);
        job.administrator = administrator;
        job.beforeRemoval = state.beforeRepair;
        const RepairJobOutcome repaired = RunRepairJob(job);
        if (repaired.end == RepairEnd::NeedsAdministrator)
            RefuseToRemoveOutsideUserHive(repaired.reach.firstOutside, repaired.reach.outside);
        // Without its ignore list a repair would remove what the user kept.
        if (repaired.end == RepairEnd::IgnoreListNotSaved)
            throw CliError(repaired.ignoreError + "; nothing was kept or removed");
        // With "savereg" set the export came first; if it could not be made,
        // the repair still ran (its XML backup keeps what it removed) and the
        // exit status is 2.
        const std::string& exported = repaired.exportFile;
        const std::string& backup = repaired.backupFile;
        if (backup.empty())
            throw CliError("cannot create the backup file \"" + repaired.backupRequested + "\"; nothing was removed");
        state.registryChanged(true);
        const bool backupComplete = repaired.backupComplete;
        if (selection.shortcuts) {
            auto row = std::make_unique<CScanError>(kLabelShortcuts, shortcuts.ItemsScanned(),
                                                    shortcuts.ErrorsFound());
            row->errorsFixed = backupComplete ? shortcuts.ErrorsFixed() : 0;
            outcome.rows.push_back(std::move(row));
        }

        if (*json) {
            nlohmann::ordered_json keptJson = nlohmann::ordered_json::array();
            for (const auto& path : repaired.kept) keptJson.push_back(AnsiToUtf8(path));
            PrintJson({{"rows", RowsToJson(outcome.rows)},
                       {"kept", keptJson},
                       {"backup", AnsiToUtf8(backup)},
                       {"registryExport", exported.empty() ? nlohmann::ordered_json(nullptr)
                                                           : nlohmann::ordered_json(AnsiToUtf8(exported))}});
        } else {
            PrintScanText(outcome.rows, FindingList(), {});
            for (const auto& path : repaired.kept) std::printf("kept: %s\n", path.c_str());
            std::printf("backup: %s\n", backup.c_str());
            if (!exported.empty()) std::printf("registry export: %s\n", exported.c_str());
            std::fflush(stdout);
        }
        if (repaired.exportFailed) {
            Complain("quillmere-cli: %s\n", repaired.exportError.c_str());
            state.exitCode = kExitError;
            if (backupComplete) return;
        }
        if (!backupComplete) {
            Complain("quillmere-cli: writing the backup file \"%s\" failed; the removals stopped there\n",
                     backup.c_str());
            state.exitCode = kExitError;
            return;
        }
        state.exitCode = kExitClean;
    });
}

}  // namespace qm::cli
