// The task scheduler's 48-byte trigger record and the schedule start time,
// kept free of Windows headers so that building and matching triggers can be
// checked on every platform. The layout matches TASK_TRIGGER (mstask.h)
// field for field; the Win32 side copies it in and out unchanged.
#pragma once

#include <cstdint>
#include <ctime>

namespace qm {

// The Add Schedule dialog's radio group, in order.
constexpr std::int32_t kScheduleOnce = 1;
constexpr std::int32_t kScheduleDaily = 2;
constexpr std::int32_t kScheduleWeekly = 3;
constexpr std::int32_t kScheduleMonthly = 4;

// TASK_TRIGGER_TYPE.
constexpr std::uint32_t kTriggerOnce = 0;
constexpr std::uint32_t kTriggerDaily = 1;
constexpr std::uint32_t kTriggerWeekly = 2;
constexpr std::uint32_t kTriggerMonthlyDate = 3;
constexpr std::uint32_t kTriggerMonthlyDow = 4;
constexpr std::uint32_t kTriggerOnIdle = 5;
constexpr std::uint32_t kTriggerAtSystemStart = 6;
constexpr std::uint32_t kTriggerAtLogon = 7;

// TASK_TRIGGER_FLAG_*.
constexpr std::uint32_t kTriggerFlagHasEndDate = 0x1;
constexpr std::uint32_t kTriggerFlagKillAtDurationEnd = 0x2;
constexpr std::uint32_t kTriggerFlagDisabled = 0x4;

constexpr std::uint16_t kAllMonths = 0xFFF;

// A date and time with the fields of SYSTEMTIME, in the same order.
struct ScheduleTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0;  // 0 Sunday ... 6 Saturday
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;
};

struct TriggerDaily {
    std::uint16_t daysInterval;
};
struct TriggerWeekly {
    std::uint16_t weeksInterval;
    std::uint16_t daysOfTheWeek;  // Sunday 0x1, Monday 0x2, ... Saturday 0x40
};
struct TriggerMonthlyDate {
    std::uint32_t days;    // bit n: day n + 1
    std::uint16_t months;  // bit n: month n + 1
};
struct TriggerMonthlyDow {
    std::uint16_t whichWeek;  // 1..4, 5 = last
    std::uint16_t daysOfTheWeek;
    std::uint16_t months;
};
union TriggerTypeFields {
    TriggerDaily daily;
    TriggerWeekly weekly;
    TriggerMonthlyDate monthlyDate;
    TriggerMonthlyDow monthlyDow;
};

struct TriggerRecord {
    std::uint16_t size = 48;
    std::uint16_t reserved1 = 0;
    std::uint16_t beginYear = 0;
    std::uint16_t beginMonth = 0;
    std::uint16_t beginDay = 0;
    std::uint16_t endYear = 0;
    std::uint16_t endMonth = 0;
    std::uint16_t endDay = 0;
    std::uint16_t startHour = 0;
    std::uint16_t startMinute = 0;
    std::uint32_t minutesDuration = 0;
    std::uint32_t minutesInterval = 0;
    std::uint32_t flags = 0;
    std::uint32_t triggerType = kTriggerOnce;
    TriggerTypeFields type{};
    std::uint16_t reserved2 = 0;
    std::uint16_t randomMinutesInterval = 0;
};
static_assert(sizeof(TriggerRecord) == 48, "the scheduler's trigger record is 48 bytes");

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);  // 0 for a month outside 1..12
// A real calendar date (year 1601..30827, as SYSTEMTIME allows).
bool IsValidDate(int year, int month, int day);
// Weekday of a Gregorian date, 0 Sunday ... 6 Saturday.
int WeekdayOf(int year, int month, int day);

// The trigger written for a schedule starting at `start` with the dialog's
// frequency (kScheduleOnce ... kScheduleMonthly). Weekly runs on the start
// date's weekday (computed from the date, not taken from start.dayOfWeek);
// monthly on the start date's day of the month in all twelve months. False
// (and `out` untouched) for an unknown frequency or an invalid start date.
bool BuildTriggerRecord(const ScheduleTime& start, std::int32_t frequency, TriggerRecord* out);

// True when the trigger begins on the start's date at the start's hour and
// minute; the trigger type is not compared.
bool TriggerStartsAt(const TriggerRecord& trigger, const ScheduleTime& start);

// A task saved without triggers comes back from the scheduler with one
// disabled default trigger (the .job format always stores at least one). A
// task whose only trigger is disabled therefore has no schedule of ours: the
// program never writes disabled triggers.
bool IsEmptyTaskPlaceholder(std::uint16_t triggerCount, const TriggerRecord& firstTrigger);

// A local date and time as a time value (seconds since 1970, as mktime gives
// it); a zero year (the scheduler's "never") gives 0.
std::time_t LocalTimeValue(const ScheduleTime& t);

}  // namespace qm
