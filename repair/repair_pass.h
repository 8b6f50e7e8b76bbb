// The name of a repair's XML backup file.
#pragma once

#include <ctime>
#include <string>

namespace qm {

// "FixedOn%A%B%d%Y%H%M%S.xml" with English day and month names whatever the
// process's locale, e.g. "FixedOnSundayDecember062026050447.xml".
std::string FormatBackupFileName(const std::tm& localTime);
// The name for a repair starting now (local time).
std::string MakeBackupFileName();

}  // namespace qm
