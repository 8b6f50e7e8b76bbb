// What an XML backup would put back, read without writing anything: the
// keys, values and shortcut files it holds, when it was written, and whether
// it may be restored at all (every element inside the areas of
// restore_areas.h). The window shows it before a restore and asks the user
// to confirm; the restore itself runs the same check before its first write.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace qm {

class CheckedRestoreSteps;
class IFileSystem;
class RestoreAreas;

struct BackupSummary {
    bool opened = false;   // the file could be read
    bool refused = false;  // it names something outside the areas: none of it may be restored
    // A complete backup that nothing in it stops early (its "registry"
    // element closed, every element well formed).
    bool complete = false;
    std::int32_t line = 0;  // of the refusal, or of what stops a restore early
    std::string reason;     // what is wrong there
    // What a restore puts back (up to where it stops), each counted once
    // however often the backup names it: keys whose values or sub-keys are
    // an area's (not those on the way to them), values, shortcut files.
    std::uint32_t keys = 0;
    std::uint32_t values = 0;
    std::uint32_t shortcuts = 0;

    enum class DateSource { None, FileName, ModificationTime };
    DateSource dateSource = DateSource::None;
    std::tm written{};  // local time, when dateSource is not None

    // The question the window asks before a restore: the file's name, when
    // it was written, what it puts back and, for a file that breaks off,
    // that only what comes before the break is put back.
    std::string ConfirmationText(const std::string& fileName) const;
};

// Walks the backup at `path` with the areas' check (`fs`: where shortcuts
// are put back; null: the process's own). Without `count`, only the check:
// keys, values and shortcuts stay 0 and no date is looked for. `keep`, when
// given, keeps the steps walked, for a restore that follows (dropped unless
// the backup is complete).
BackupSummary SummarizeBackup(const std::string& path, const RestoreAreas& areas, IFileSystem* fs = nullptr,
                              bool count = true, CheckedRestoreSteps* keep = nullptr);

// The local time a repair's backup name holds ("FixedOn%A%B%d%Y%H%M%S.xml",
// with "-N" before the extension when the name was taken), any folder before
// it. False for any other name, or a date that does not exist.
bool BackupTimeFromFileName(const std::string& path, std::tm& time);

// "Sunday 6 December 2026 at 05:06:45" (English names).
std::string FormatBackupTime(const std::tm& time);

}  // namespace qm
