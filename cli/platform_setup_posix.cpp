// Native build: the commands work on a registry held in memory, either the
// built-in demonstration registry or one loaded from a registry export file,
// and on drive letters mapped to host folders.
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <memory>
#include <vector>

#include "cli/demo_registry.h"
#include "cli/platform_setup.h"
#include "cli/standard_output.h"
#include "platform/file_lock.h"
#include "platform/file_system_posix.h"
#include "platform/mapped_system.h"
#include "platform/reg_file.h"
#include "platform/registry_memory.h"
#include "platform/whole_file.h"

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
    ExclusiveFileLock lock;
};

// How long a run waits for another one that is changing the same registry file.
constexpr std::uint32_t kRegistryLockWaitMs = 10 * 60 * 1000;

// Whether the kept original of a registry file is whole: it reads as a
// registry file from its header to its last line. (Copies made before
// "FILE.orig" was written atomically could be cut short by a kill or a full
// disk.)
bool IsCompleteRegFile(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE && bytes.size() % 2 != 0) return false;
    try {
        MemoryRegistry scratch;
        LoadRegText(bytes, scratch);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// Before the first repair of `file` removes anything: its original is kept as
// `original`, written whole or not at all. A whole original from an earlier
// run is left as it is; an incomplete one is replaced, with a message.
void KeepOriginal(const std::string& file, const std::string& original) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    const ReadStatus existing = ReadWholeFile(original, kRegFileSizeLimit, bytes, error);
    if (existing == ReadStatus::Read && IsCompleteRegFile(bytes)) return;
    if (existing == ReadStatus::Failed || existing == ReadStatus::TooLarge)
        throw CliError("cannot check the copy of the original registry file: " + error + "; nothing was removed");
    if (ReadWholeFile(file, kRegFileSizeLimit, bytes, error) != ReadStatus::Read ||
        !ReplaceFileAtomically(original, bytes.data(), bytes.size(), error))
        throw CliError("cannot keep a copy of the original registry file as \"" + original + "\": " + error +
                       "; nothing was removed");
    if (existing == ReadStatus::Read)
        Complain("quillmere-cli: \"%s\" was incomplete; it now holds \"%s\" as it was before this fix\n",
                 original.c_str(), file.c_str());
}

void SetUp(const NativeOptions& opt, CliState& state, bool changesRegistry) {
    static NativePlatform platform;
    DriveMap& drives = DefaultFileSystemDrives();
    for (const std::string& arg : opt.drives) {
        const auto eq = arg.find('=');
        if (eq != 1 || arg.size() < 3 || !std::isalpha(static_cast<unsigned char>(arg[0])))
            throw CliError("--drive takes LETTER=FOLDER, not \"" + arg + "\"");
        struct stat st {};
        if (::stat(arg.substr(2).c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            throw CliError("--drive " + arg + ": no such folder");
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
        // Runs that change the file one at a time, each reading what the
        // previous one wrote: two at once would each write back their own
        // registry, and one run's removals would be silently undone.
        if (changesRegistry) {
            std::string error;
            const std::string file = opt.registryFile;
            const auto locked = platform.lock.Lock(file, kRegistryLockWaitMs, [&file]() {
                Complain("quillmere-cli: waiting for another run that is changing \"%s\"\n", file.c_str());
            }, error);
            if (locked != ExclusiveFileLock::Result::Locked) throw CliError(error);
        }
        try {
            platform.format = LoadRegFile(opt.registryFile, platform.registry);
        } catch (const RegFileError& e) {
            throw CliError(opt.registryFile + ": " + e.what());
        } catch (const std::exception& e) {
            throw CliError(e.what());
        }
        const std::string file = opt.registryFile;
        state.beforeRepair = [file]() { KeepOriginal(file, file + ".orig"); };
        state.registryChanged = [file](bool) { SaveRegFile(file, platform.registry, platform.format); };
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
    app.parse_complete_callback([&app, &state]() {
        bool changes = false;
        for (const CLI::App* command : app.get_subcommands())
            for (const char* name : {"fix", "restore", "settings"})
                if (command->get_name() == name) changes = true;
        SetUp(opt, state, changes);
    });
}

}  // namespace qm::cli
