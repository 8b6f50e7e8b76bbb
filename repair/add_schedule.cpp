#include "repair/add_schedule.h"

#include <cctype>

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

namespace {

// Exactly `digits` decimal digits at text[pos].
bool ReadNumber(const std::string& text, std::size_t pos, std::size_t digits, int* value) {
    if (pos + digits > text.size()) return false;
    int v = 0;
    for (std::size_t i = pos; i < pos + digits; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        v = v * 10 + (text[i] - '0');
    }
    *value = v;
    return true;
}

}  // namespace

bool ParseScheduleStart(const std::string& date, const std::string& time, ScheduleTime* start) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    if (date.size() != 10 || date[4] != '-' || date[7] != '-' || !ReadNumber(date, 0, 4, &year) ||
        !ReadNumber(date, 5, 2, &month) || !ReadNumber(date, 8, 2, &day))
        return false;
    if (time.size() != 5 || time[2] != ':' || !ReadNumber(time, 0, 2, &hour) ||
        !ReadNumber(time, 3, 2, &minute))
        return false;
    if (!IsValidDate(year, month, day) || hour > 23 || minute > 59) return false;
    ScheduleTime t;
    t.year = static_cast<std::uint16_t>(year);
    t.month = static_cast<std::uint16_t>(month);
    t.day = static_cast<std::uint16_t>(day);
    t.dayOfWeek = static_cast<std::uint16_t>(WeekdayOf(year, month, day));
    t.hour = static_cast<std::uint16_t>(hour);
    t.minute = static_cast<std::uint16_t>(minute);
    *start = t;
    return true;
}

std::int32_t FrequencyFromName(const std::string& name) {
    if (name == "once") return kScheduleOnce;
    if (name == "daily") return kScheduleDaily;
    if (name == "weekly") return kScheduleWeekly;
    if (name == "monthly") return kScheduleMonthly;
    return 0;
}

std::string ComposeTaskName(bool oldPlatform, const std::string& userName) {
    return oldPlatform ? std::string("Quillmere") : "Quillmere" + userName;
}

}  // namespace qm
