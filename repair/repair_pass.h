// The name of a repair's XML backup file.
#pragma once

#include <ctime>
#include <string>

namespace qm {

// The English day and month names of a backup's name (tm_wday, tm_mon order).
inline constexpr const char* kBackupDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                  "Thursday", "Friday", "Saturday"};
inline constexpr const char* kBackupMonthNames[] = {"January", "February", "March",     "April",
                                                    "May",     "June",     "July",      "August",
                                                    "September", "October", "November", "December"};

// "FixedOn%A%B%d%Y%H%M%S.xml" with English day and month names whatever the
// process's locale, e.g. "FixedOnSundayDecember062026050447.xml".
std::string FormatBackupFileName(const std::tm& localTime);
// The name for a repair starting now (local time).
std::string MakeBackupFileName();

}  // namespace qm
