#include "repair/repair_job.h"

#include "engine/shortcut.h"
#include "repair/backup_file_element.h"
#include "repair/export_backups.h"
#include "repair/keep_selection.h"
#include "repair/repair_pass.h"
#include "repair/xml_writer.h"

namespace qm {

namespace {

bool Stop(const RepairJob& job) { return job.stopRequested && job.stopRequested(); }

int ShortcutsStillPresent(CShortcut& shortcuts) {
    int left = 0;
    for (const std::string& path : shortcuts.BrokenLinks())
        if (!path.empty() && shortcuts.FileSystem().GetFileAttributesA(path) != kInvalidFileAttributes) ++left;
    return left;
}

}  // namespace

std::string RemoveWithBackup(CRegistryRepair& repair, CShortcut* shortcuts, ResultRows& rows,
                             const std::string& backupFileName, const std::function<bool()>& stop) {
    return repair.FixRegistry(rows, backupFileName, [&](CXmlWriter& writer) {
        if (shortcuts == nullptr || (stop && stop()) || writer.WriteFailed()) return;
        shortcuts->FixLinkFile([&](const std::string& path) {
            return WriteBackupFileElement(writer, shortcuts->FileSystem(), path);
        });
    });
}

int FindingsStillPresent(CRegistryRepair& repair) {
    int left = 0;
    for (const auto& finding : repair.Engine().Findings()) {
        if (!finding || finding->GetKeyPath().empty()) continue;
        IRegistry& registry = repair.Registry(finding->GetView());
        std::string subKey = finding->GetKeyPath();
        const RegKey root = RootKeyFromName(CRegistryLib::SeperateMainKey(subKey));
        if (root == kNullKey || subKey.empty()) continue;
        RegKey opened = kNullKey;
        if (registry.RegOpenKeyExA(root, subKey.c_str(), kKeyRead, &opened) != kRegSuccess) continue;  // gone
        RegKeyHandle key(registry, opened);
        if (finding->GetRemoveKind() == kRemoveKey) {
            ++left;
            continue;
        }
        const CRegValueItem* value = finding->GetValue();
        if (value == nullptr) continue;
        const std::string name = value->isDefault ? std::string() : value->name;
        std::uint32_t size = 0;
        if (registry.RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr, &size) == kRegSuccess) ++left;
    }
    return left;
}

RepairJobOutcome RunRepairJob(RepairJob& job) {
    RepairJobOutcome outcome;
    FindingList& findings = job.engine.Findings();
    static const std::vector<std::string> kNoShortcuts;
    const std::vector<std::string>& links = job.shortcuts != nullptr ? job.shortcuts->BrokenLinks() : kNoShortcuts;

    outcome.reach = ReachOf(findings, links, job.ticked);
    if (!job.administrator && !outcome.reach.UserHiveOnly()) {
        outcome.end = RepairEnd::NeedsAdministrator;
        return outcome;
    }

    const char* root = outcome.reach.ExportRoot();
    outcome.exportFailed = job.exportBeforeRepair
                               ? !job.exportBeforeRepair(outcome.exportFile, outcome.exportError, root)
                               : !ExportBeforeRepair(outcome.exportFile, outcome.exportError, root);
    if (job.afterExport) job.afterExport();
    if (Stop(job)) {
        outcome.end = RepairEnd::Stopped;
        return outcome;
    }

    for (std::size_t i = 0; i < job.ticked.size(); ++i) {
        if (job.ticked[i]) continue;
        if (i < findings.size()) {
            if (findings[i]) outcome.kept.push_back(findings[i]->GetFilePath());
        } else if (i - findings.size() < links.size()) {
            outcome.kept.push_back(links[i - findings.size()]);
        }
    }
    {
        CRegistryLib keeper(EngineServices{&job.engine.Registry(), nullptr, job.engine.IgnoreFile()});
        const std::size_t kept = KeepUntickedRows(job.engine, job.shortcuts, job.ticked, keeper, &outcome.ignoreError);
        if (!outcome.ignoreError.empty()) {
            outcome.end = RepairEnd::IgnoreListNotSaved;
            return outcome;
        }
        outcome.ignored = kept;
    }

    if (job.beforeRemoval) job.beforeRemoval();
    outcome.backupRequested = MakeBackupFileName();
    outcome.backupFile = RemoveWithBackup(job.repair, job.shortcuts, job.rows, outcome.backupRequested,
                                          job.stopRequested);
    outcome.backupComplete = !job.repair.BackupWriter().WriteFailed();
    outcome.entriesLeft = FindingsStillPresent(job.repair);
    if (job.shortcuts != nullptr) outcome.shortcutsLeft = ShortcutsStillPresent(*job.shortcuts);
    return outcome;
}

}  // namespace qm
