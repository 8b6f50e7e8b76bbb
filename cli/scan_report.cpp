#include "cli/scan_report.h"

#include <cstdio>
#include <iostream>
#include <sstream>

#include "cli/cli_state.h"
#include "platform/codepage.h"

namespace qm::cli {

CategorySelection ParseCategories(const std::string& list) {
    CategorySelection sel;
    if (list.empty()) {
        for (const auto& info : kCategories) {
            if (info.category == Category::Shortcuts) sel.shortcuts = true;
            else sel.states[info.slot] = 1;
        }
        return sel;
    }
    std::stringstream in(list);
    std::string name;
    while (std::getline(in, name, ',')) {
        if (name.empty()) continue;
        const CategoryInfo* info = FindCategoryByCliName(name.c_str());
        if (info == nullptr) throw CliError("unknown category \"" + name + "\"");
        if (info->category == Category::Shortcuts) sel.shortcuts = true;
        else sel.states[info->slot] = 1;
    }
    return sel;
}

void RunScan(CRegistryLib& engine, const CategorySelection& selection, ScanOutcome& outcome) {
    ScanCategoryStates states = selection.states;
    engine.ScanRegistry(outcome.rows, states);
    if (selection.shortcuts) RunShortcutScan(engine, selection.drives, outcome);
}

nlohmann::ordered_json RowsToJson(const ResultRows& rows) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const auto& row : rows) {
        if (!row) continue;
        out.push_back({{"label", AnsiToUtf8(row->label)},
                       {"scanned", row->itemsScanned},
                       {"found", row->errorsFound},
                       {"fixed", row->errorsFixed}});
    }
    return out;
}

nlohmann::ordered_json FindingsToJson(const FindingList& findings) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const auto& f : findings) {
        if (!f) continue;
        const CRegValueItem* v = f->GetValue();
        nlohmann::ordered_json finding = {{"tag", AnsiToUtf8(f->GetCategory())},
                                          {"kind", AnsiToUtf8(f->GetRemoveKind())},
                                          {"key", AnsiToUtf8(f->GetKeyPath())},
                                          {"value", v ? AnsiToUtf8(v->name) : std::string()},
                                          {"path", AnsiToUtf8(f->GetFilePath())},
                                          {"view", ViewName(f->GetView())},
                                          {"owner", AnsiToUtf8(OwnerNameOf(*f))}};
        // Only where HKEY_CLASSES_ROOT is made of two hives (--windows).
        if (f->GetClassesHive() != ClassesHive::kMerged) finding["hive"] = ClassesHiveName(f->GetClassesHive());
        out.push_back(std::move(finding));
    }
    return out;
}

nlohmann::ordered_json ShortcutsToJson(const std::vector<ShortcutReport>& shortcuts) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const auto& s : shortcuts)
        out.push_back({{"path", AnsiToUtf8(s.path)}, {"target", AnsiToUtf8(s.target)}});
    return out;
}

void PrintScanText(const ResultRows& rows, const FindingList& findings,
                   const std::vector<ShortcutReport>& shortcuts) {
    std::printf("%-28s %10s %8s %8s\n", "Category", "Scanned", "Found", "Fixed");
    for (const auto& row : rows) {
        if (!row) continue;
        std::printf("%-28s %10d %8d %8d\n", row->label.c_str(), row->itemsScanned,
                    row->errorsFound, row->errorsFixed);
    }
    if (!findings.empty() || !shortcuts.empty()) std::printf("\n");
    for (const auto& f : findings) {
        if (!f) continue;
        const CRegValueItem* v = f->GetValue();
        const ClassesHive hive = f->GetClassesHive();
        std::printf("%-11s %-3s %s  [%s]  %s%s%s\n", f->GetCategory().c_str(),
                    f->GetRemoveKind().c_str(), f->GetKeyPath().c_str(),
                    v ? v->name.c_str() : "", f->GetFilePath().c_str(),
                    f->GetView() == RegView::k32 ? "  (32-bit view)" : "",
                    hive == ClassesHive::kUser      ? "  (user's classes)"
                    : hive == ClassesHive::kMachine ? "  (machine's classes)"
                                                    : "");
    }
    for (const auto& s : shortcuts)
        std::printf("%-11s %-3s %s  ->  %s\n", "ShortCut", "LNK", s.path.c_str(), s.target.c_str());
    std::fflush(stdout);
}

void PrintJson(const nlohmann::ordered_json& object) {
    std::cout << object.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << std::endl;
}

}  // namespace qm::cli
