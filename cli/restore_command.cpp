#include <cstdio>
#include <memory>
#include <string>

#include "cli/administrator_check.h"
#include "cli/commands.h"
#include "cli/standard_output.h"
#include "engine/registry_lib.h"
#include "repair/restore_ui.h"
#include "repair/xml_reader.h"

namespace qm::cli {

void AddRestoreCommand(CLI::App& app, CliState& state) {
    auto* cmd = app.add_subcommand(
        "restore", "Write the keys and values of an XML backup file (FixedOn....xml) back into the registry");
    auto file = std::make_shared<std::string>();
    cmd->add_option("FILE", *file, "The backup file")->required();
    cmd->callback([&state, file]() {
        RequireAdministratorRights("restore");
        if (std::FILE* f = std::fopen(file->c_str(), "rb")) {
            std::fclose(f);
        } else {
            Complain("quillmere-cli: cannot open \"%s\"\n", file->c_str());
        }
        EngineServices services;
        services.ignoreFile = state.ignoreFile;
        CRegistryLib engine(services);
        RecordingRestoreUi ui;
        engine.SetRestoreUi(&ui);
        CXmlReader reader;
        const bool restored = engine.LoadAsXml(reader, *file) == 1;
        // What was written before a failure stays written.
        state.registryChanged(false);
        for (const std::string& message : ui.Messages()) std::printf("%s\n", message.c_str());
        std::printf("%s\n", restored ? "Registry Restored Successfuly" : "Registry Restoration Failed");
        std::fflush(stdout);
        if (!restored)
            Complain("quillmere-cli: restore failed: %s\n", engine.LastRestore().Describe().c_str());
        state.exitCode = restored ? kExitClean : kExitError;
    });
}

}  // namespace qm::cli
