#include "repair/trigger_record.h"

namespace qm {

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    if (month == 2 && IsLeapYear(year)) return 29;
    return kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
    return year >= 1601 && year <= 30827 && day >= 1 && day <= DaysInMonth(year, month);
}

int WeekdayOf(int year, int month, int day) {
    // Days from 1970-01-01 (a Thursday) by the civil-calendar formula.
    const int y = month <= 2 ? year - 1 : year;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int mp = (month + 9) % 12;
    const int doy = (153 * mp + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long days = static_cast<long long>(era) * 146097 + doe - 719468;
    const long long weekday = (days + 4) % 7;
    return static_cast<int>(weekday >= 0 ? weekday : weekday + 7);
}

bool BuildTriggerRecord(const ScheduleTime& start, std::int32_t frequency, TriggerRecord* out) {
    if (!IsValidDate(start.year, start.month, start.day) || start.hour > 23 || start.minute > 59)
        return false;
    TriggerRecord r;
    r.beginYear = start.year;
    r.beginMonth = start.month;
    r.beginDay = start.day;
    r.startHour = start.hour;
    r.startMinute = start.minute;
    switch (frequency) {
    case kScheduleOnce:
        r.triggerType = kTriggerOnce;
        break;
    case kScheduleDaily:
        r.triggerType = kTriggerDaily;
        r.type.daily.daysInterval = 1;
        break;
    case kScheduleWeekly:
        r.triggerType = kTriggerWeekly;
        r.type.weekly.weeksInterval = 1;
        r.type.weekly.daysOfTheWeek =
            static_cast<std::uint16_t>(1u << WeekdayOf(start.year, start.month, start.day));
        break;
    case kScheduleMonthly:
        r.triggerType = kTriggerMonthlyDate;
        r.type.monthlyDate.days = 1u << (start.day - 1);
        r.type.monthlyDate.months = kAllMonths;
        break;
    default:
        return false;
    }
    *out = r;
    return true;
}

bool TriggerStartsAt(const TriggerRecord& trigger, const ScheduleTime& start) {
    return trigger.beginYear == start.year && trigger.beginMonth == start.month &&
           trigger.beginDay == start.day && trigger.startHour == start.hour &&
           trigger.startMinute == start.minute;
}

bool IsEmptyTaskPlaceholder(std::uint16_t triggerCount, const TriggerRecord& firstTrigger) {
    return triggerCount == 1 && (firstTrigger.flags & kTriggerFlagDisabled) != 0;
}

std::time_t LocalTimeValue(const ScheduleTime& t) {
    if (t.year == 0) return 0;
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;
    const std::time_t value = std::mktime(&tm);
    return value == static_cast<std::time_t>(-1) ? 0 : value;
}

}  // namespace qm
