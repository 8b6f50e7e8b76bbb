#include "repair/add_schedule.h"

namespace qm {

namespace {

AddScheduleResult AddTriggerAndReport(IScheduleOperations& operations, const std::string& taskName) {
    AddScheduleResult result;
    result.status = operations.AddTrigger(taskName);
    result.message = result.status == kTaskOk ? kScheduleSuccessMessage : kScheduleFailedMessage;
    return result;
}

}  // namespace

AddScheduleResult AddSchedule(IScheduleOperations& operations, const std::string& taskName) {
    const TaskStatus created = operations.CreateTask(taskName);
    if (created == kTaskOk) return AddTriggerAndReport(operations, taskName);

    AddScheduleResult result;
    std::int16_t index = -1;
    result.status = operations.FindTrigger(taskName, index);
    if (result.status != kTaskOk) return result;
    if (index == -1) return AddTriggerAndReport(operations, taskName);
    result.message = kAlreadyScheduledMessage;
    return result;
}

std::string ComposeTaskName(bool oldPlatform, const std::string& userName) {
    return oldPlatform ? std::string("Quillmere") : "Quillmere" + userName;
}

}  // namespace qm
