// The shortcut part of `quillmere-cli scan`: the walk over the fixed drives
// (or those --drives names), its "Missing ShortCuts" row and the list of
// broken shortcuts.
#include <sstream>

#include "cli/cli_state.h"
#include "cli/scan_report.h"
#include "engine/shortcut.h"

namespace qm::cli {

std::string ParseDriveList(const std::string& list) {
    std::string letters;
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ',')) {
        if (item.empty()) continue;
        const char c = item[0];
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (!letter || item.size() > 2 || (item.size() == 2 && item[1] != ':'))
            throw CliError("--drives takes drive letters such as C,D, not \"" + item + "\"");
        letters += static_cast<char>(c & ~0x20);
    }
    return letters;
}

void RunShortcutScan(const CRegistryLib& engine, const std::string& drives, ScanOutcome& outcome) {
    CShortcut scanner;
    scanner.UseIgnoreListOf(engine);
    scanner.SetDriveFilter(drives);
    scanner.ScanLinkFile();
    outcome.rows.push_back(
        std::make_unique<CScanError>(kLabelShortcuts, scanner.ItemsScanned(), scanner.ErrorsFound()));
    for (std::size_t i = 0; i < scanner.BrokenLinks().size(); ++i)
        outcome.shortcuts.push_back({scanner.BrokenLinks()[i], scanner.BrokenTargets()[i]});
}

}  // namespace qm::cli
