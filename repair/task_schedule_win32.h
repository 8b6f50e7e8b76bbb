// Scheduled scans through the Task Scheduler 1.0 COM interfaces: one task per
// user that runs the program with "scan", one trigger per schedule.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "repair/add_schedule.h"
#include "repair/trigger_record.h"

namespace qm {

// The task every scheduled-scan operation works on: "Quillmere" followed by
// the logged-on user's name (GetUserNameA), or just "Quillmere" on the
// Windows 95/98/Me family.
std::string TaskName();

// The task to create and the trigger to add. CreateTask and AddTrigger expect
// COM to be initialised on the calling thread already.
class CTaskSchedule : public IScheduleOperations {
public:
    CTaskSchedule();

    ScheduleTime start;               // date and minute of the trigger; seconds ignored
    std::int32_t frequency = 0;       // kScheduleOnce ... kScheduleMonthly
    std::string application;          // full path of the program to run
    std::string parameters;           // "scan"
    std::string workingFolder;        // the program's folder
    std::string accountName;          // the logged-on user
    bool useAccount = true;           // NT family: run under accountName

    // Creates and saves the task without triggers; fails with
    // HRESULT_FROM_WIN32(ERROR_FILE_EXISTS) when a task of that name exists.
    TaskStatus CreateTask(const std::string& taskName) override;
    // Adds one trigger built from start and frequency to the existing task and
    // saves it.
    TaskStatus AddTrigger(const std::string& taskName) override;
    // Initialises COM for the call.
    TaskStatus FindTrigger(const std::string& taskName, std::int16_t& index) override;

    // Fills the fields from the running program: application, working folder,
    // parameters "scan" and the account name.
    void DescribeRunningProgram();
};

// The description of every trigger in index order (the scheduler's own text,
// or ours where it has none) and the task's most recent run time as a time
// value (0 when it has never run). Initialises COM for the call. `list` keeps
// whatever was gathered before a failure; a task that does not exist lists
// nothing.
TaskStatus ListTriggers(const std::string& taskName, std::vector<std::string>& list,
                        std::time_t& lastRun);

// Deletes trigger `index` (as ListTriggers numbers them, from 0) and saves the
// task. Initialises COM for the call.
TaskStatus DeleteTrigger(const std::string& taskName, int index);

// The trigger records of the task in index order (what FindTrigger compares
// against). Initialises COM for the call.
TaskStatus ReadTriggers(const std::string& taskName, std::vector<TriggerRecord>& triggers);

// Removes the whole task (ITaskScheduler::Delete). Initialises COM for the call.
TaskStatus DeleteTask(const std::string& taskName);

// The current user's name (GetUserNameA, 256-byte buffer); "" on failure.
std::string LogonUserName();

}  // namespace qm
