#include <cstdio>
#include <memory>

#include "cli/commands.h"
#include "engine/registry_lib.h"

namespace qm::cli {
namespace {

std::unique_ptr<CRegistryLib> OpenList(const CliState& state) {
    EngineServices services;
    services.ignoreFile = state.ignoreFile;
    auto lib = std::make_unique<CRegistryLib>(services);
    if (!lib->IgnoreListError().empty()) throw CliError(lib->IgnoreListError());
    return lib;
}

void Save(CRegistryLib& lib) {
    if (!lib.SaveIgnoreList()) throw CliError(lib.IgnoreListError());
}

}  // namespace

void AddIgnoreCommand(CLI::App& app, CliState& state) {
    auto* cmd = app.add_subcommand("ignore", "Show or change the ignore list (paths never reported again)");
    cmd->require_subcommand(1);

    auto* list = cmd->add_subcommand("list", "Print the ignored paths, one per line");
    list->callback([&state]() {
        auto lib = OpenList(state);
        for (const auto& entry : lib->IgnoreList())
            if (entry) std::printf("%s\n", entry->GetFilePath().c_str());
        state.exitCode = kExitClean;
    });

    auto addPath = std::make_shared<std::string>();
    auto* add = cmd->add_subcommand("add", "Add a path to the ignore list");
    add->add_option("PATH", *addPath, "The path, exactly as the scan reports it")->required();
    add->callback([&state, addPath]() {
        auto lib = OpenList(state);
        if (lib->IsIgnored(*addPath)) {
            std::printf("already ignored: %s\n", addPath->c_str());
        } else {
            auto entry = std::make_unique<CRegErrorLog>();
            entry->SetFilePath(*addPath);
            lib->IgnoreList().push_back(std::move(entry));
            Save(*lib);
            std::printf("ignored: %s\n", addPath->c_str());
        }
        state.exitCode = kExitClean;
    });

    auto removePath = std::make_shared<std::string>();
    auto* remove = cmd->add_subcommand("remove", "Remove a path from the ignore list");
    remove->add_option("PATH", *removePath, "The path, exactly as listed")->required();
    remove->callback([&state, removePath]() {
        auto lib = OpenList(state);
        bool found = false;
        for (auto& entry : lib->IgnoreList()) {
            if (entry && entry->GetFilePath() == *removePath) {
                entry.reset();
                found = true;
            }
        }
        if (!found) throw CliError("not on the ignore list: " + *removePath);
        Save(*lib);
        std::printf("no longer ignored: %s\n", removePath->c_str());
        state.exitCode = kExitClean;
    });
}

}  // namespace qm::cli
