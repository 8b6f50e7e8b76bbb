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

// The registry categories, then (this command's own scanner, which the
// repair needs) the shortcut scan.
void ScanForFix(CRegistryLib& engine, const CategorySelection& selection, ScanOutcome& outcome,
                CShortcut& shortcuts) {
    CategorySelection registryOnly = selection;
    registryOnly.shortcuts = false;
    RunScan(engine, registryOnly, outcome);
    if (selection.shortcuts) {
        shortcuts.UseIgnoreListOf(engine);
        shortcuts.SetDriveFilter(selection.drives);
        shortcuts.ScanLinkFile();
    }
}

// Removes what was found but what the user keeps: that goes to the ignore
// list and is left alone, as the rows a user unticks in the main window.
// Throws when the repair may not or could not start (nothing removed).
RepairJobOutcome RemoveAllButKept(CRegistryRepair& repair, ResultRows& rows, CShortcut& shortcuts,
                                  const std::vector<std::string>& keep, bool administrator, const CliState& state) {
    RepairJob job(repair, rows);
    job.shortcuts = &shortcuts;
    job.ticked = TickedExcept(repair.Engine().Findings(), shortcuts.BrokenLinks(), keep);
    job.administrator = administrator;
    job.beforeRemoval = state.beforeRepair;
    RepairJobOutcome repaired = RunRepairJob(job);
    if (repaired.end == RepairEnd::NeedsAdministrator)
        RefuseToRemoveOutsideUserHive(repaired.reach.firstOutside, repaired.reach.outside);
    // Without its ignore list a repair would remove what the user kept.
    if (repaired.end == RepairEnd::IgnoreListNotSaved)
        throw CliError(repaired.ignoreError + "; nothing was kept or removed");
    if (repaired.backupFile.empty())
        throw CliError("cannot create the backup file \"" + repaired.backupRequested + "\"; nothing was removed");
    return repaired;
}

// The rows, what was kept, the backup and the export (when one was made).
void PrintFixReport(bool json, const ResultRows& rows, const RepairJobOutcome& repaired) {
    const std::string& exported = repaired.exportFile;
    if (json) {
        nlohmann::ordered_json keptJson = nlohmann::ordered_json::array();
        for (const auto& path : repaired.kept) keptJson.push_back(AnsiToUtf8(path));
        PrintJson({{"rows", RowsToJson(rows)},
                   {"kept", keptJson},
                   {"backup", AnsiToUtf8(repaired.backupFile)},
                   {"registryExport", exported.empty() ? nlohmann::ordered_json(nullptr)
                                                       : nlohmann::ordered_json(AnsiToUtf8(exported))}});
    } else {
        PrintScanText(rows, FindingList(), {});
        for (const auto& path : repaired.kept) std::printf("kept: %s\n", path.c_str());
        std::printf("backup: %s\n", repaired.backupFile.c_str());
        if (!exported.empty()) std::printf("registry export: %s\n", exported.c_str());
        std::fflush(stdout);
    }
}

// With "savereg" set the export came first; if it could not be made, the
// repair still ran (its XML backup keeps what it removed) and the exit
// status is 2, as it is when a write to the backup failed.
int FixExitCode(const RepairJobOutcome& repaired) {
    int code = kExitClean;
    if (repaired.exportFailed) {
        Complain("quillmere-cli: %s\n", repaired.exportError.c_str());
        code = kExitError;
    }
    if (!repaired.backupComplete) {
        Complain("quillmere-cli: writing the backup file \"%s\" failed; the removals stopped there\n",
                 repaired.backupFile.c_str());
        code = kExitError;
    }
    return code;
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

        ScanOutcome outcome;
        CShortcut shortcuts;
        ScanForFix(engine, selection, outcome, shortcuts);
        CRegistryRepair repair(engine);
        const RepairJobOutcome repaired =
            RemoveAllButKept(repair, outcome.rows, shortcuts, *keep, administrator, state);
        state.registryChanged(true);
        if (selection.shortcuts) {
            auto row = std::make_unique<CScanError>(kLabelShortcuts, shortcuts.ItemsScanned(),
                                                    shortcuts.ErrorsFound());
            row->errorsFixed = repaired.backupComplete ? shortcuts.ErrorsFixed() : 0;
            outcome.rows.push_back(std::move(row));
        }
        PrintFixReport(*json, outcome.rows, repaired);
        state.exitCode = FixExitCode(repaired);
    });
}

}  // namespace qm::cli
