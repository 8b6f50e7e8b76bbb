// The add-schedule procedure run by the Add Schedule dialog's OK button and by
// `quillmere-cli schedule add`: the first schedule creates the task, each later
// one adds a trigger unless one already starts at the same date and minute.
#pragma once

#include <cstdint>
#include <string>

#include "repair/trigger_record.h"

namespace qm {

// COM status codes as the scheduler returns them (HRESULT).
using TaskStatus = std::int32_t;
constexpr TaskStatus kTaskOk = 0;
inline bool TaskSucceeded(TaskStatus status) { return status >= 0; }

constexpr const char* kScheduleSuccessMessage = "Schedule Creation Success!!";
constexpr const char* kScheduleFailedMessage = "Schedule Creation Failed!!";
constexpr const char* kAlreadyScheduledMessage = "Already Scheduled For This Time!!";

// The three task operations the procedure needs (CTaskSchedule on Windows).
class IScheduleOperations {
public:
    virtual ~IScheduleOperations() = default;
    virtual TaskStatus CreateTask(const std::string& taskName) = 0;
    virtual TaskStatus AddTrigger(const std::string& taskName) = 0;
    // Sets `index` to the first trigger starting at the schedule's date and
    // minute, or to -1.
    virtual TaskStatus FindTrigger(const std::string& taskName, std::int16_t& index) = 0;
};

struct AddScheduleResult {
    // One of the three messages, or empty when looking for an existing
    // trigger failed (nothing is shown then).
    std::string message;
    // The status of the last operation called.
    TaskStatus status = kTaskOk;
    bool Added() const { return message == kScheduleSuccessMessage; }
};

AddScheduleResult AddSchedule(IScheduleOperations& operations, const std::string& taskName);

// A start given as text: date "YYYY-MM-DD" and time "HH:MM" (24-hour). False
// for any other form or a date or time that does not exist; the day of the
// week is filled in from the date.
bool ParseScheduleStart(const std::string& date, const std::string& time, ScheduleTime* start);

// "once", "daily", "weekly", "monthly" as kScheduleOnce ... kScheduleMonthly;
// 0 for anything else.
std::int32_t FrequencyFromName(const std::string& name);

// "Quillmere" on the Windows 95/98/Me family; "Quillmere" followed directly by
// the logged-on user's name on the NT family.
std::string ComposeTaskName(bool oldPlatform, const std::string& userName);

}  // namespace qm
