#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/administrator_check.h"
#include "cli/commands.h"
#include "cli/standard_output.h"
#include "engine/registry_lib.h"
#include "platform/administrator_rights.h"
#include "repair/backup_summary.h"
#include "repair/export_backups.h"
#include "repair/registry_repair.h"
#include "repair/restore_areas.h"
#include "repair/restore_ui.h"
#include "repair/xml_reader.h"

namespace qm::cli {

namespace {

// Whether the backup at `path` puts back nothing but keys and values of the
// user's own areas (HKEY_CURRENT_USER): no shortcut file, nothing elsewhere.
bool RestoresUserHiveOnly(const std::string& path) {
    static const std::vector<RegistryArea> userAreas = [] {
        std::vector<RegistryArea> list;
        for (const RegistryArea& area : kRegistryAreas)
            if (InUserHive(area.path)) list.push_back(area);
        return list;
    }();
    static const RestoreAreas areas(userAreas.data(), userAreas.size());
    const BackupSummary summary = SummarizeBackup(path, areas);
    return summary.opened && !summary.refused && summary.shortcuts == 0;
}

}  // namespace

void AddRestoreCommand(CLI::App& app, CliState& state) {
    auto* cmd = app.add_subcommand(
        "restore", "Write the keys and values of an XML backup file (FixedOn....xml) back into the registry");
    auto file = std::make_shared<std::string>();
    cmd->add_option("FILE", *file, "The backup file")->required();
    cmd->callback([&state, file]() {
        // A backup of the user's own entries goes back with the user's rights.
        if (!DefaultAdministratorRights().Held() && !RestoresUserHiveOnly(*file))
            RefuseWithoutAdministratorRights("restore");
        if (std::FILE* f = std::fopen(file->c_str(), "rb")) {
            std::fclose(f);
        } else {
            Complain("quillmere-cli: cannot open \"%s\"\n", file->c_str());
        }
        EngineServices services;
        services.ignoreFile = state.ignoreFile;
        CRegistryLib engine(services);
        CRegistryRepair repair(engine);
        RecordingRestoreUi ui;
        repair.SetRestoreUi(&ui);
        CXmlReader reader;
        const bool restored = repair.LoadAsXml(reader, *file) == 1;
        // What was written before a failure stays written.
        state.registryChanged(false);
        for (const std::string& message : ui.Messages()) std::printf("%s\n", message.c_str());
        std::printf("%s\n", restored ? "Registry Restored Successfuly" : "Registry Restoration Failed");
        std::fflush(stdout);
        if (!restored)
            Complain("quillmere-cli: restore failed: %s\n", repair.LastRestore().Describe().c_str());
        state.exitCode = restored ? kExitClean : kExitError;
    });
}

}  // namespace qm::cli
