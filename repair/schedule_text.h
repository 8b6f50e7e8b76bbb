// Texts shown for scheduled scans: the description of a trigger in the words
// the Windows task scheduler uses (for when the scheduler cannot describe it
// itself), the last-run column of the schedule list, and the time picker's
// display format without seconds.
#pragma once

#include <array>
#include <ctime>
#include <string>

#include "repair/trigger_record.h"

namespace qm {

// Day and month names as the description shows them (abbreviated).
struct TriggerNames {
    std::array<std::string, 7> days;     // Sunday first
    std::array<std::string, 12> months;  // January first
};
const TriggerNames& EnglishTriggerNames();

// "10:15" and "07/12/2026" (day/month/year): the texts used when no locale
// formatting is at hand.
std::string DefaultTriggerTimeText(const TriggerRecord& trigger);
std::string DefaultTriggerDateText(const TriggerRecord& trigger);

// The scheduler's wording, for example "At 10:15 every day, starting
// 07/12/2026". `timeText` is the start time and `dateText` the begin date as
// the user's locale writes them.
std::string DescribeTrigger(const TriggerRecord& trigger, const std::string& timeText,
                            const std::string& dateText, const TriggerNames& names);
// The same with the default texts and English names.
std::string DescribeTrigger(const TriggerRecord& trigger);

// "%H:%M:%S %d-%m-%y" in local time, or "Never" for the time value 0.
std::string FormatLastRunTime(std::time_t value);

// A locale time format with the seconds removed: the first occurrence of
// separator + "ss" is deleted, or, when there is none, of separator + "s".
std::string TimeFormatWithoutSeconds(const std::string& format, const std::string& separator);

}  // namespace qm
