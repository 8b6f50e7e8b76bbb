// Native build: the commands work on a registry held in memory, either the
// built-in demonstration registry or one loaded from a registry export file,
// and on drive letters mapped to host folders.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <memory>
#include <vector>

#include "cli/demo_registry.h"
#include "cli/platform_setup.h"
#include "platform/file_system_posix.h"
#include "platform/mapped_system.h"
#include "platform/reg_file.h"
#include "platform/registry_memory.h"

namespace qm::cli {
namespace {

struct NativeOptions {
    std::string registryFile;
    std::vector<std::string> drives;  // "C=DIR"
    std::string windowsDir = "C:\\Windows";
    std::string systemDir = "C:\\Windows\\System32";
    std::vector<std::string> env;  // "NAME=VALUE"
};

struct NativePlatform {
    MemoryRegistry registry;
    std::unique_ptr<MemorySystem> system;
    RegFileFormat format = RegFileFormat::Unicode5;
};

bool CopyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    if (!in || !out) return false;
    out << in.rdbuf();
    out.close();
    return static_cast<bool>(out);
}

void SetUp(const NativeOptions& opt, CliState& state) {
    static NativePlatform platform;
    DriveMap& drives = DefaultFileSystemDrives();
    for (const std::string& arg : opt.drives) {
        const auto eq = arg.find('=');
        if (eq != 1 || arg.size() < 3 || !std::isalpha(static_cast<unsigned char>(arg[0])))
            throw CliError("--drive takes LETTER=FOLDER, not \"" + arg + "\"");
        drives.Map(arg[0], arg.substr(2));
    }
    if (drives.Empty()) {
        platform.system = std::make_unique<MemorySystem>();
    } else {
        auto mapped = std::make_unique<MappedSystem>(drives);
        mapped->UseWindowsLayout(opt.windowsDir, opt.systemDir);
        platform.system = std::move(mapped);
    }
    for (const std::string& arg : opt.env) {
        const auto eq = arg.find('=');
        if (eq == std::string::npos || eq == 0) throw CliError("--env takes NAME=VALUE, not \"" + arg + "\"");
        platform.system->SetEnvironmentVariable(arg.substr(0, eq), arg.substr(eq + 1));
    }

    if (opt.registryFile.empty()) {
        PopulateDemoRegistry(platform.registry, *platform.system);
    } else {
        try {
            platform.format = LoadRegFile(opt.registryFile, platform.registry);
        } catch (const RegFileError& e) {
            throw CliError(opt.registryFile + ": " + e.what());
        } catch (const std::exception& e) {
            throw CliError(e.what());
        }
        const std::string file = opt.registryFile;
        state.registryChanged = [file](bool afterRepair) {
            const std::string original = file + ".orig";
            if (afterRepair) {
                std::FILE* existing = std::fopen(original.c_str(), "rb");
                if (existing != nullptr) std::fclose(existing);
                else if (!CopyFile(file, original))
                    throw CliError("cannot keep a copy of the original registry file as \"" + original + "\"");
            }
            SaveRegFile(file, platform.registry, platform.format);
        };
    }
    SetDefaultRegistry(&platform.registry);
    SetDefaultSystem(platform.system.get());
}

}  // namespace

void AddPlatformOptions(CLI::App& app, CliState& state) {
    static NativeOptions opt;
    app.add_option("--ignore-file", state.ignoreFile, "Ignore list file (default: ignore.lst)");
    app.add_option("--registry", opt.registryFile,
                   "Registry export file (.reg) to work on instead of the built-in demonstration "
                   "registry; fix and restore write it back")
        ->check(CLI::ExistingFile);
    app.add_option("--drive", opt.drives, "Map a drive letter to a folder: C=DIR (repeatable)");
    app.add_option("--windows-dir", opt.windowsDir, "Windows directory (default C:\\Windows)");
    app.add_option("--system-dir", opt.systemDir, "System directory (default C:\\Windows\\System32)");
    app.add_option("--env", opt.env, "Set an environment variable: NAME=VALUE (repeatable)");
    app.parse_complete_callback([&state]() { SetUp(opt, state); });
}

}  // namespace qm::cli
