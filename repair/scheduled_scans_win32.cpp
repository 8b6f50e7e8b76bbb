#include "repair/scheduled_scans.h"

#include <windows.h>

#include "platform/com_scope_win32.h"
#include "repair/task_schedule_win32.h"

namespace qm {

static_assert(kTaskMissing == static_cast<TaskStatus>(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)));
static_assert(kTriggerMissing == static_cast<TaskStatus>(SCHED_E_TRIGGER_NOT_FOUND));

bool HaveTaskScheduler() { return true; }

std::string DefaultScheduledTask() { return TaskName(); }

TaskStatus ListScheduledScans(const std::string& task, std::vector<std::string>& list,
                              std::time_t& lastRun) {
    ComScope com;
    return ListTriggers(task, list, lastRun);
}

AddScheduleResult AddScheduledScan(const std::string& task, const ScheduleTime& start,
                                   std::int32_t frequency) {
    CTaskSchedule schedule;
    schedule.start = start;
    schedule.frequency = frequency;
    schedule.DescribeRunningProgram();
    const std::string gui = schedule.workingFolder + "\\quillmere.exe";
    if (::GetFileAttributesA(gui.c_str()) != INVALID_FILE_ATTRIBUTES) schedule.application = gui;
    ComScope com;
    return AddSchedule(schedule, task);
}

TaskStatus DeleteScheduledScan(const std::string& task, int index) {
    ComScope com;
    return DeleteTrigger(task, index);
}

}  // namespace qm
