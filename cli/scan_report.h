// Running a scan from the command line and reporting it, as text or JSON.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/categories.h"
#include "engine/registry_lib.h"

namespace qm::cli {

// The categories selected on the command line ("com,fonts,..."; empty = all).
struct CategorySelection {
    ScanCategoryStates states;  // registry categories
    bool shortcuts = false;
    std::string drives;  // letters the shortcut scan may walk ("CD"); empty = every fixed drive
};
// Throws CliError naming the first unknown category.
CategorySelection ParseCategories(const std::string& list);

// One broken shortcut as the reports show it.
struct ShortcutReport {
    std::string path;    // the .lnk file
    std::string target;  // the missing target it names
};

struct ScanOutcome {
    ResultRows rows;  // registry rows, then the shortcut row when it ran
    std::vector<ShortcutReport> shortcuts;
};

// Runs the registry categories of the selection on `engine` (and, when
// selected, the shortcut scan), and fills `outcome`.
void RunScan(CRegistryLib& engine, const CategorySelection& selection, ScanOutcome& outcome);

// "C,D" (or "c:,d:") -> "CD". Throws CliError for anything but drive letters.
std::string ParseDriveList(const std::string& list);
// The shortcut scan over `drives` (see CategorySelection), consulting the
// engine's ignore list: appends the "Missing ShortCuts" row and the broken
// shortcuts to `outcome` (shortcut_scan.cpp).
void RunShortcutScan(const CRegistryLib& engine, const std::string& drives, ScanOutcome& outcome);

nlohmann::ordered_json RowsToJson(const ResultRows& rows);
nlohmann::ordered_json FindingsToJson(const FindingList& findings);
nlohmann::ordered_json ShortcutsToJson(const std::vector<ShortcutReport>& shortcuts);

// Human-readable report: one row per category, one line per finding.
void PrintScanText(const ResultRows& rows, const FindingList& findings,
                   const std::vector<ShortcutReport>& shortcuts);
// Exactly one JSON object on standard output.
void PrintJson(const nlohmann::ordered_json& object);

}  // namespace qm::cli
