// Full exports of the HKEY_LOCAL_MACHINE hive made with the system's registry
// editor before a repair, kept in the folder "Registry Backups" below the
// current directory under dated names, of which "savecountreg" are kept. A
// repair that removes only entries of the user's own hive exports that hive,
// HKEY_CURRENT_USER, instead (RepairReach::ExportRoot, repair_reach.h).
//
// One export (BackupRegistry):
//   1. the backup name is the local time, "%4.4d-%2.2d-%2.2d_%2.2d-%2.2d-%2.2d.reg";
//   2. a leftover "1.reg" in the current directory is deleted; if it cannot
//      be, the export stops there (a stale export is never moved);
//   3. "regedit.exe /e 1.reg HKEY_LOCAL_MACHINE" is started hidden, without
//      waiting for it;
//   4. "Registry Backups" is created if needed;
//   5. once the editor has ended, "1.reg" is moved into it under the backup
//      name (when the editor's process cannot be watched, the move is retried
//      until it succeeds, which it does once the editor has closed the file).
//      The wait is bounded: it ends when the editor has ended without leaving
//      an export, or after the wait limit. Giving up deletes nothing;
//   6. the "*.reg" files of the folder are listed (FindFiles) and, when
//      "savecountreg" exists, the oldest of the exports this program named
//      (by their dates) are deleted until that many remain. Other files in
//      the folder (the user's own .reg files) are never deleted, and the new
//      export is always kept: 0, 1 or a value that is not a number keep it
//      alone. Without "savecountreg" nothing is deleted.
// The result says what happened; anything but success comes with one line for
// the user.
//
// The files, clock and program start go through IExportHost: Win32 uses the
// real calls (ShellExecuteEx, MoveFileA, FindFirstFileA...); the native build
// uses the host's files and stands in for the registry editor by writing the
// program's own registry (DefaultRegistry) in the editor's export format.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/records.h"
#include "platform/registry.h"

namespace qm {

constexpr const char* kExportWorkFile = "1.reg";
constexpr const char* kExportFolderName = "Registry Backups";
constexpr const char* kRegistryEditor = "regedit.exe";
constexpr const char* kRegistryEditorParameters = "/e 1.reg HKEY_LOCAL_MACHINE";
constexpr const char* kMachineExportRoot = "HKEY_LOCAL_MACHINE";
constexpr const char* kUserExportRoot = "HKEY_CURRENT_USER";
// An export of a large hive takes about a minute on a slow machine.
constexpr std::uint32_t kExportWaitLimitMs = 10 * 60 * 1000;
constexpr std::uint32_t kExportRetryMs = 250;

struct ExportTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// "2026-12-06_05-06-45.reg".
std::string ExportFileName(const ExportTime& time);

// What an export needs from the system.
class IExportHost {
public:
    virtual ~IExportHost() = default;
    virtual std::string GetCurrentDirectoryA() = 0;
    virtual char PathSeparator() const = 0;
    virtual ExportTime GetLocalTime() = 0;
    virtual bool FileExists(const std::string& path) = 0;
    virtual bool DeleteFileA(const std::string& path) = 0;
    virtual bool CreateDirectoryA(const std::string& path) = 0;
    // Fails when `to` exists, or while `from` is open for writing elsewhere.
    virtual bool MoveFileA(const std::string& from, const std::string& to) = 0;
    // The names FindFirstFileA / FindNextFileA give for `pattern` (a folder
    // and a name pattern), in their order.
    virtual std::vector<std::string> FindFileNames(const std::string& pattern) = 0;
    // Starts `program` with `parameters`, hidden, in the current directory,
    // without waiting for it. False when it cannot be started.
    virtual bool StartEditor(const std::string& program, const std::string& parameters) = 0;
    // Whether the program StartEditor started still runs.
    enum class EditorState { Running, Ended, Unknown };
    virtual EditorState EditorStatus() = 0;
    // A monotonic clock, and a pause.
    virtual std::uint64_t Milliseconds() = 0;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
};

// The platform's host (a new one per export).
std::unique_ptr<IExportHost> MakeExportHost();

struct ExportOptions {
    std::string editor = kRegistryEditor;
    std::string parameters = kRegistryEditorParameters;
    std::uint32_t waitLimitMs = kExportWaitLimitMs;
    std::uint32_t retryMs = kExportRetryMs;
    // How "Software\QUILLMERE" is opened to read "savereg" and "savecountreg".
    std::uint32_t settingsAccess = kKeyAllAccess;
};

// Whether `keyPath` (root name first) lies in the user's own hive,
// HKEY_CURRENT_USER, which its user may change without administrator rights.
bool InUserHive(const std::string& keyPath);

// The options of an export of `root`. For the user's hive the settings are
// only read, as a user without administrator rights may; the machine's is
// exported as it always was.
ExportOptions ExportOptionsFor(const char* root);

enum class ExportStatus {
    Exported,          // the export is in the backup folder
    StaleFileKept,     // a leftover "1.reg" could not be deleted; nothing started
    EditorNotStarted,  // the registry editor could not be started
    EditorFailed,      // the editor ended and no export could be moved
    TimedOut,          // the export did not show up within the wait limit
};

struct ExportResult {
    ExportStatus status = ExportStatus::Exported;
    std::string backupFile;            // full path of the new export (when Exported)
    std::vector<std::string> deleted;  // older exports removed by the pruning
    std::string message;               // for the user, when not Exported
    bool Succeeded() const { return status == ExportStatus::Exported; }
};

// Appends folder + name for every entry matching folder + pattern except ".",
// ".." and "desktop.ini", in enumeration order; returns how many it appended.
// `folder` ends with a separator.
int FindFiles(IExportHost& host, const std::string& folder, const std::string& pattern,
              std::vector<std::string>& list);

// Whether `name` (a bare file name) is one an export is given:
// "YYYY-MM-DD_hh-mm-ss.reg", or "YYYY-MM-DD_hh-mm-ss_N.reg" for the N-th
// export within one second.
bool IsExportFileName(const std::string& name);

// The exports among `files` (full paths) to delete so that `keepText` (the
// "savecountreg" text, read like atoi) remain: the oldest by date and counter.
// Only files with export names count and are deleted; at least one export is
// kept, `newest` (the export just made, when given) always. None when
// `haveKeep` is false.
std::vector<std::string> ExportsToDelete(std::vector<std::string> files, bool haveKeep,
                                         const std::string& keepText,
                                         const std::string& newest = std::string());

// One export with pruning ("savecountreg" read from `registry`).
ExportResult BackupRegistry(IExportHost& host, IRegistry& registry,
                            const ExportOptions& options = ExportOptions());

// Whether "savereg" exists under HKEY_LOCAL_MACHINE\Software\QUILLMERE (opened
// with full access, or `access`; data longer than 256 bytes counts as absent).
bool ExportBeforeRepairWanted(IRegistry& registry, std::uint32_t access = kKeyAllAccess);

// The export a repair makes first: when "savereg" exists, BackupRegistry.
// Returns false only when an export was wanted and failed (`error` says why);
// `where` is the new export's path, empty when none was wanted.
bool ExportBeforeRepair(IRegistry& registry, IExportHost& host, const ExportOptions& options,
                        std::string& where, std::string& error);
// The same on DefaultRegistry() and the platform's host, exporting `root`
// (RepairReach::ExportRoot).
bool ExportBeforeRepair(std::string& where, std::string& error, const char* root = kMachineExportRoot);

}  // namespace qm
