#include "repair/scheduled_scans.h"

namespace qm {

namespace {
// HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED).
constexpr TaskStatus kNoScheduler = static_cast<TaskStatus>(0x80070032u);
}  // namespace

bool HaveTaskScheduler() { return false; }

std::string DefaultScheduledTask() { return ComposeTaskName(false, ""); }

TaskStatus ListScheduledScans(const std::string&, std::vector<std::string>& list, std::time_t& lastRun) {
    list.clear();
    lastRun = 0;
    return kNoScheduler;
}

AddScheduleResult AddScheduledScan(const std::string&, const ScheduleTime&, std::int32_t) {
    AddScheduleResult result;
    result.status = kNoScheduler;
    return result;
}

TaskStatus DeleteScheduledScan(const std::string&, int) { return kNoScheduler; }

}  // namespace qm
