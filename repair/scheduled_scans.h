// The scheduled scans of one scheduler task as `quillmere-cli schedule` works
// with them: list, add and delete its triggers. On Windows they go to the task
// scheduler (scheduled_scans_win32.cpp, through CTaskSchedule); elsewhere there
// is no task scheduler and HaveTaskScheduler() is false.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "repair/add_schedule.h"
#include "repair/trigger_record.h"

namespace qm {

// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND): there is no task of that name.
constexpr TaskStatus kTaskMissing = static_cast<TaskStatus>(0x80070002u);
// SCHED_E_TRIGGER_NOT_FOUND: the task has no trigger of that number.
constexpr TaskStatus kTriggerMissing = static_cast<TaskStatus>(0x80041309u);

// False where the system has no task scheduler; every other function here
// may then only be called to fail.
bool HaveTaskScheduler();

// The task of the logged-on user ("Quillmere" followed by the user name).
std::string DefaultScheduledTask();

// The description of every trigger in index order and the task's most recent
// run (0: never). A task that does not exist gives kTaskMissing.
TaskStatus ListScheduledScans(const std::string& task, std::vector<std::string>& list,
                              std::time_t& lastRun);

// Adds a scan starting at `start` with `frequency` (kScheduleOnce ...
// kScheduleMonthly), as the Add Schedule dialog does. The task runs
// quillmere.exe beside this program when it is there, otherwise this program.
AddScheduleResult AddScheduledScan(const std::string& task, const ScheduleTime& start,
                                   std::int32_t frequency);

// Deletes trigger `index` (as ListScheduledScans numbers them, from 0).
TaskStatus DeleteScheduledScan(const std::string& task, int index);

}  // namespace qm
