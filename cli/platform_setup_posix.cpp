#include "cli/demo_registry.h"
#include "cli/platform_setup.h"
#include "platform/registry_memory.h"
#include "platform/system_memory.h"

namespace qm::cli {

void AddPlatformOptions(CLI::App& app, CliState& state) {
    app.add_option("--ignore-file", state.ignoreFile, "Ignore list file (default: ignore.lst)");
    app.parse_complete_callback([]() {
        static MemoryRegistry registry;
        static MemorySystem system;
        PopulateDemoRegistry(registry, system);
        SetDefaultRegistry(&registry);
        SetDefaultSystem(&system);
    });
}

}  // namespace qm::cli
