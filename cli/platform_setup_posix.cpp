// Native build: the commands work on a registry held in memory, either the
// built-in demonstration registry, one loaded from a registry export file, or
// the hive files of an offline Windows installation, and on drive letters
// mapped to host folders.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "cli/demo_registry.h"
#include "cli/platform_setup.h"
#include "cli/standard_output.h"
#include "platform/codepage.h"
#include "platform/file_lock.h"
#include "emulation/file_system_posix.h"
#include "emulation/hive_file_posix.h"
#include "emulation/hive_registry_posix.h"
#include "emulation/offline_windows_posix.h"
#include "emulation/mapped_system.h"
#include "emulation/reg_file.h"
#include "emulation/registry_memory.h"
#include "platform/whole_file.h"

namespace qm::cli {
namespace {

struct NativeOptions {
    std::string registryFile;
    std::string codePage;     // --codepage CP
    std::string windowsRoot;  // --windows DIR
    std::string user;         // --user NAME
    bool windowsDirGiven = false, systemDirGiven = false;
    std::vector<std::string> drives;  // "C=DIR"
    std::string windowsDir = "C:\\Windows";
    std::string systemDir = "C:\\Windows\\System32";
    std::vector<std::string> env;  // "NAME=VALUE"
};

struct NativePlatform {
    MemoryRegistry registry;
    std::unique_ptr<MemorySystem> system;
    RegFileEncoding encoding;
    ExclusiveFileLock lock;
    std::unique_ptr<HiveRegistry> hives;
    std::vector<std::unique_ptr<ExclusiveFileLock>> hiveLocks;
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

// --codepage: a Windows code page number (1252, 65001), or UTF-8,
// Windows-NNNN or CPNNNN in any letter case.
std::uint32_t ParseCodePage(const std::string& text) {
    std::string t;
    for (const char c : text) t.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    std::string digits = t;
    if (t == "utf-8" || t == "utf8") digits = std::to_string(kCodePageUtf8);
    else if (t.compare(0, 8, "windows-") == 0) digits = t.substr(8);
    else if (t.compare(0, 2, "cp") == 0) digits = t.substr(2);
    std::uint32_t codePage = 0;
    bool number = !digits.empty() && digits.size() <= 5;
    for (const char c : digits) {
        if (c < '0' || c > '9') number = false;
        else codePage = codePage * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (!number || codePage == 0)
        throw CliError("--codepage takes a code page such as 1252, 65001, UTF-8 or Windows-1251, not \"" + text + "\"");
    if (!CodePageKnown(codePage))
        throw CliError("--codepage " + text + ": code page " + std::to_string(codePage) + " is not known here");
    return codePage;
}

// Locks a file for a run that changes it (see kRegistryLockWaitMs). Returns
// whether it had to wait for another run.
bool LockForChange(ExclusiveFileLock& lock, const std::string& file) {
    std::string error;
    bool waited = false;
    const auto locked = lock.Lock(file, kRegistryLockWaitMs, [&file, &waited]() {
        waited = true;
        Complain("quillmere-cli: waiting for another run that is changing \"%s\"\n", file.c_str());
    }, error);
    if (locked != ExclusiveFileLock::Result::Locked) throw CliError(error);
    return waited;
}

// Removes what interrupted commits left beside the hive, saying so on
// standard error. The caller holds the hive's lock: no other run is writing it.
void RemoveCommitLeftovers(const std::string& hive) {
    for (const std::string& file : CommitLeftovers(hive)) {
        struct stat st {};
        const std::uint64_t size = ::stat(file.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
        if (::unlink(file.c_str()) == 0)
            Complain("quillmere-cli: removed \"%s\" (%s), left by an interrupted write of \"%s\"\n", file.c_str(),
                     DescribeSize(size).c_str(), hive.c_str());
        else
            Complain("quillmere-cli: cannot remove \"%s\", left by an interrupted write of \"%s\": %s\n",
                     file.c_str(), hive.c_str(), std::strerror(errno));
    }
}

// --windows DIR: the hives of the installation, its drive C: and the
// environment its registry describes.
void SetUpOfflineWindows(const NativeOptions& opt, NativePlatform& platform, CliState& state,
                         bool changesRegistry) {
    DriveMap& drives = DefaultFileSystemDrives();
    if (drives.Folder('C')) throw CliError("--windows maps drive C: itself; do not give --drive C=...");
    struct stat st {};
    if (::stat(opt.windowsRoot.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw CliError("--windows " + opt.windowsRoot + ": no such folder");
    drives.Map('C', opt.windowsRoot);
    OfflineWindows windows;
    const auto load = [&]() {
        platform.hives = std::make_unique<HiveRegistry>();
        try {
            windows = LoadOfflineWindows(*platform.hives, opt.windowsRoot, opt.user, changesRegistry);
        } catch (const HiveError& e) {
            throw CliError(e.what());
        }
    };
    load();
    if (changesRegistry) {
        // Which hives there are is known once they are read; a run that had to
        // wait for another one reads them again, as that one left them.
        std::vector<std::string> locked;
        for (bool again = true; again;) {
            again = false;
            for (const std::string& hive : windows.hives) {
                if (std::find(locked.begin(), locked.end(), hive) != locked.end()) continue;
                platform.hiveLocks.push_back(std::make_unique<ExclusiveFileLock>());
                if (LockForChange(*platform.hiveLocks.back(), hive)) again = true;
                locked.push_back(hive);
            }
            if (again) load();
        }
        for (const std::string& hive : windows.hives) RemoveCommitLeftovers(hive);
        const std::string dirty = OfflineHivesNotWritable(windows);
        if (!dirty.empty())
            throw CliError("will not change the registry of \"" + opt.windowsRoot + "\": " + dirty +
                           ". Start that Windows and shut it down fully (shutdown /s /f /t 0), or scan "
                           "only; nothing was changed");
    } else {
        // A run that only reads removes them when no other run holds the
        // hive, which might be writing it this moment.
        for (const std::string& hive : windows.hives) {
            if (CommitLeftovers(hive).empty()) continue;
            ExclusiveFileLock lock;
            std::string error;
            if (lock.Lock(hive, 0, {}, error) == ExclusiveFileLock::Result::Locked) RemoveCommitLeftovers(hive);
        }
    }
    auto mapped = std::make_unique<MappedSystem>(drives);
    mapped->UseWindowsLayout(opt.windowsDirGiven ? opt.windowsDir : windows.windowsDir,
                             opt.systemDirGiven ? opt.systemDir : windows.systemDir);
    for (const auto& [name, value] : windows.environment)
        mapped->SetEnvironmentVariable(name, mapped->ExpandEnvironmentStrings(value));
    platform.system = std::move(mapped);
    HiveRegistry* hives = platform.hives.get();
    state.registryChanged = [hives](bool) {
        try {
            hives->Commit();
        } catch (const HiveError& e) {
            throw CliError(e.what());
        }
    };
}

void SetUp(const NativeOptions& opt, CliState& state, bool changesRegistry) {
    // Lives until the process ends, which gives its memory back whole:
    // freeing a registry of a million keys key by key would only cost time.
    static NativePlatform& platform = *new NativePlatform;
    if (!opt.windowsRoot.empty() && !opt.registryFile.empty())
        throw CliError("--windows and --registry cannot be given together");
    if (!opt.codePage.empty() && opt.registryFile.empty()) throw CliError("--codepage goes with --registry");
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
    if (!opt.windowsRoot.empty()) {
        SetUpOfflineWindows(opt, platform, state, changesRegistry);
    } else if (drives.Empty()) {
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

    if (platform.hives) {
        SetDefaultRegistry(platform.hives.get());
        SetDefaultSystem(platform.system.get());
        return;
    }
    if (opt.registryFile.empty()) {
        PopulateDemoRegistry(platform.registry, *platform.system);
    } else {
        // Runs that change the file one at a time, each reading what the
        // previous one wrote: two at once would each write back their own
        // registry, and one run's removals would be silently undone.
        if (changesRegistry) LockForChange(platform.lock, opt.registryFile);
        const std::uint32_t codePage = opt.codePage.empty() ? kRegFileChooseCodePage : ParseCodePage(opt.codePage);
        // A run that only reads takes the file as the registry editor imports
        // it, saying which lines the editor skips; one that writes the file
        // back would lose those lines, and refuses it.
        std::vector<RegFileSkippedLine> skipped;
        try {
            platform.encoding =
                StreamRegFile(opt.registryFile, platform.registry, codePage, changesRegistry ? nullptr : &skipped);
        } catch (const RegFileCodePageError& e) {
            throw CliError(opt.registryFile + ": " + e.what() + "; name the file's code page with --codepage");
        } catch (const RegFileError& e) {
            throw CliError(opt.registryFile + ": " + e.what());
        } catch (const std::exception& e) {
            throw CliError(e.what());
        }
        for (const RegFileSkippedLine& line : skipped)
            Complain("quillmere-cli: warning: %s: line %d: %s\n", opt.registryFile.c_str(), line.line,
                     line.what.c_str());
        const std::string file = opt.registryFile;
        state.beforeRepair = [file]() { KeepOriginal(file, file + ".orig"); };
        state.registryChanged = [file](bool) { WriteRegFile(file, platform.registry, platform.encoding); };
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
    app.add_option("--codepage", opt.codePage,
                   "Code page of an 8-bit --registry file, read and written back in it: a number (1252, "
                   "65001) or UTF-8, Windows-NNNN (default: UTF-8 when the file's bytes are UTF-8, else "
                   "Windows-1252)");
    app.add_option("--drive", opt.drives, "Map a drive letter to a folder: C=DIR (repeatable)");
    app.add_option("--windows", opt.windowsRoot,
                   "Work on the offline Windows installation whose drive C: is this folder: its registry "
                   "hives (fix and restore write them back), its drive and its environment");
    app.add_option("--user", opt.user,
                   "With --windows: the user profile whose hives stand for HKEY_CURRENT_USER (default: the "
                   "only one)");
    auto* windowsDir = app.add_option("--windows-dir", opt.windowsDir, "Windows directory (default C:\\Windows)");
    auto* systemDir = app.add_option("--system-dir", opt.systemDir, "System directory (default C:\\Windows\\System32)");
    app.add_option("--env", opt.env, "Set an environment variable: NAME=VALUE (repeatable)");
    app.parse_complete_callback([&app, &state, windowsDir, systemDir]() {
        opt.windowsDirGiven = windowsDir->count() > 0;
        opt.systemDirGiven = systemDir->count() > 0;
        if (!opt.user.empty() && opt.windowsRoot.empty()) throw CliError("--user goes with --windows");
        bool changes = false;
        for (const CLI::App* command : app.get_subcommands())
            for (const char* name : {"fix", "restore", "settings"})
                if (command->get_name() == name) changes = true;
        SetUp(opt, state, changes);
    });
}

}  // namespace qm::cli
