// The repair's backups in one folder, as the window's restore centre lists
// them: each "FixedOn....xml" file with the time its name holds and what it
// would put back, newest first.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "repair/backup_summary.h"

namespace qm {

class IFileSystem;
class RestoreAreas;

struct BackupListing {
    std::string fileName;  // the bare name
    std::string path;      // folder and name
    std::tm written{};     // the local time the name holds
    BackupSummary summary;
};

// The names among `names` that a repair gives its backups (those
// BackupTimeFromFileName reads), newest first: by the time in the name, and
// within one second by the counter a taken name gets ("-2" after the plain
// name, "-3" after "-2"). Other names are left out.
std::vector<std::string> BackupNamesNewestFirst(const std::vector<std::string>& names);

// The backups among `names` (bare names of files in `folder`; "" for the
// current folder), newest first, each summarized against `areas` (`fs`: where
// shortcuts are put back, as SummarizeBackup takes it).
std::vector<BackupListing> ListBackups(const std::string& folder, const std::vector<std::string>& names,
                                       const RestoreAreas& areas, IFileSystem* fs = nullptr);

// "2026-12-06 05:06:45": a listed backup's time, in a form that sorts.
std::string FormatBackupListTime(const std::tm& time);

}  // namespace qm
