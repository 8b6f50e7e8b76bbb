#include "repair/keep_selection.h"

#include <algorithm>

#include "engine/shortcut.h"

namespace qm {

std::size_t KeepUntickedRows(CRegistryLib& engine, CShortcut* shortcuts,
                             const std::vector<bool>& ticked, CRegistryLib& keeper,
                             std::string* saveError) {
    if (saveError != nullptr) saveError->clear();
    auto isTicked = [&ticked](std::size_t row) { return row >= ticked.size() || ticked[row]; };
    // Copies first: `keeper` may be `engine`, whose ignore list grows here.
    std::vector<std::unique_ptr<CRegErrorLog>> entries;
    FindingList& findings = engine.Findings();
    const std::size_t registryRows = findings.size();
    for (std::size_t i = 0; i < registryRows; ++i) {
        if (isTicked(i) || !findings[i]) continue;
        entries.push_back(std::make_unique<CRegErrorLog>(*findings[i]));
        findings[i]->SetKeyPath(std::string());
    }
    if (shortcuts != nullptr) {
        const std::size_t links = shortcuts->BrokenLinks().size();
        for (std::size_t j = 0; j < links; ++j) {
            if (isTicked(registryRows + j)) continue;
            auto entry = std::make_unique<CRegErrorLog>();
            entry->SetFilePath(shortcuts->BrokenLinks()[j]);
            entries.push_back(std::move(entry));
            shortcuts->EmptyBrokenLink(j);
        }
    }
    const std::size_t kept = entries.size();
    if (kept == 0) return 0;
    for (auto& entry : entries) keeper.IgnoreList().push_back(std::move(entry));
    if (!keeper.SaveIgnoreList() && saveError != nullptr) *saveError = keeper.IgnoreListError();
    return kept;
}

std::vector<bool> TickedExcept(const FindingList& findings,
                               const std::vector<std::string>& brokenShortcuts,
                               const std::vector<std::string>& keepPaths) {
    auto kept = [&keepPaths](const std::string& path) {
        return std::find(keepPaths.begin(), keepPaths.end(), path) != keepPaths.end();
    };
    std::vector<bool> ticked;
    ticked.reserve(findings.size() + brokenShortcuts.size());
    for (const auto& f : findings) ticked.push_back(!(f && kept(f->GetFilePath())));
    for (const auto& link : brokenShortcuts) ticked.push_back(!kept(link));
    return ticked;
}

}  // namespace qm
