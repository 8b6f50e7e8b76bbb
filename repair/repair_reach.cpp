#include "repair/repair_reach.h"

#include "repair/export_backups.h"

namespace qm {

bool UserOwns(const CRegErrorLog& finding) {
    return InUserHive(ClassesHivePath(finding.GetKeyPath(), finding.GetClassesHive()));
}

const char* RepairReach::ExportRoot() const {
    return removesRegistry && !removesShortcuts && outside == 0 ? kUserExportRoot : kMachineExportRoot;
}

RepairReach ReachOf(const FindingList& findings, const std::vector<std::string>& brokenShortcuts,
                    const std::vector<bool>& ticked) {
    RepairReach reach;
    auto isTicked = [&ticked](std::size_t row) { return row >= ticked.size() || ticked[row]; };
    auto note = [&reach](const std::string& what) {
        if (reach.outside++ == 0) reach.firstOutside = what;
    };
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const auto& finding = findings[i];
        if (!isTicked(i) || !finding || finding->GetKeyPath().empty()) continue;
        reach.removesRegistry = true;
        if (!UserOwns(*finding)) note(finding->GetKeyPath());
    }
    for (std::size_t j = 0; j < brokenShortcuts.size(); ++j) {
        if (!isTicked(findings.size() + j) || brokenShortcuts[j].empty()) continue;
        reach.removesShortcuts = true;
        note(brokenShortcuts[j]);
    }
    return reach;
}

}  // namespace qm
