// Building, matching and describing schedule triggers, and the add-schedule
// procedure over scripted task operations.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "repair/add_schedule.h"
#include "repair/schedule_text.h"
#include "repair/trigger_record.h"

namespace qm {
namespace {

ScheduleTime At(int year, int month, int day, int hour, int minute) {
    ScheduleTime t;
    t.year = static_cast<std::uint16_t>(year);
    t.month = static_cast<std::uint16_t>(month);
    t.day = static_cast<std::uint16_t>(day);
    t.hour = static_cast<std::uint16_t>(hour);
    t.minute = static_cast<std::uint16_t>(minute);
    return t;
}

TriggerRecord Build(const ScheduleTime& start, std::int32_t frequency) {
    TriggerRecord r;
    EXPECT_TRUE(BuildTriggerRecord(start, frequency, &r));
    return r;
}

TEST(TriggerRecord, EveryFrequencyBeginsAtTheStartAndLeavesTheRestZero) {
    const ScheduleTime start = At(2026, 12, 7, 10, 15);
    for (std::int32_t f : {kScheduleOnce, kScheduleDaily, kScheduleWeekly, kScheduleMonthly}) {
        SCOPED_TRACE(f);
        TriggerRecord r = Build(start, f);
        EXPECT_EQ(r.size, 48);
        EXPECT_EQ(r.beginYear, 2026);
        EXPECT_EQ(r.beginMonth, 12);
        EXPECT_EQ(r.beginDay, 7);
        EXPECT_EQ(r.startHour, 10);
        EXPECT_EQ(r.startMinute, 15);
        EXPECT_EQ(r.endYear | r.endMonth | r.endDay, 0);
        EXPECT_EQ(r.minutesDuration, 0u);
        EXPECT_EQ(r.minutesInterval, 0u);
        EXPECT_EQ(r.flags, 0u);
        EXPECT_EQ(r.reserved1 | r.reserved2 | r.randomMinutesInterval, 0);
    }
    EXPECT_EQ(Build(start, kScheduleOnce).triggerType, kTriggerOnce);
    TriggerRecord once = Build(start, kScheduleOnce);
    const unsigned char zeros[sizeof once.type] = {};
    EXPECT_EQ(std::memcmp(&once.type, zeros, sizeof zeros), 0);

    TriggerRecord daily = Build(start, kScheduleDaily);
    EXPECT_EQ(daily.triggerType, kTriggerDaily);
    EXPECT_EQ(daily.type.daily.daysInterval, 1);
}

TEST(TriggerRecord, WeeklyRunsOnTheStartDatesWeekdayOnly) {
    // 2026-12-09 is a Wednesday; the dialog's day-of-week field is not trusted.
    ScheduleTime start = At(2026, 12, 9, 10, 15);
    start.dayOfWeek = 1;
    TriggerRecord r = Build(start, kScheduleWeekly);
    EXPECT_EQ(r.triggerType, kTriggerWeekly);
    EXPECT_EQ(r.type.weekly.weeksInterval, 1);
    EXPECT_EQ(r.type.weekly.daysOfTheWeek, 0x8);
    EXPECT_EQ(Build(At(2026, 12, 6, 0, 0), kScheduleWeekly).type.weekly.daysOfTheWeek, 0x1);   // Sunday
    EXPECT_EQ(Build(At(2026, 12, 12, 0, 0), kScheduleWeekly).type.weekly.daysOfTheWeek, 0x40); // Saturday
}

TEST(TriggerRecord, MonthlyByDateSetsOneDayBitAndAllMonths) {
    TriggerRecord r = Build(At(2026, 12, 31, 23, 59), kScheduleMonthly);
    EXPECT_EQ(r.triggerType, kTriggerMonthlyDate);
    EXPECT_EQ(r.type.monthlyDate.days, 1u << 30);
    EXPECT_EQ(r.type.monthlyDate.months, 0xFFF);
    EXPECT_EQ(Build(At(2027, 1, 1, 0, 0), kScheduleMonthly).type.monthlyDate.days, 0x1u);
}

TEST(TriggerRecord, RejectsUnknownFrequencyAndImpossibleStarts) {
    TriggerRecord r;
    r.beginYear = 1234;
    EXPECT_FALSE(BuildTriggerRecord(At(2026, 12, 7, 10, 15), 0, &r));
    EXPECT_FALSE(BuildTriggerRecord(At(2026, 12, 7, 10, 15), 5, &r));
    EXPECT_FALSE(BuildTriggerRecord(At(2026, 2, 29, 10, 15), kScheduleDaily, &r));
    EXPECT_FALSE(BuildTriggerRecord(At(2026, 13, 1, 10, 15), kScheduleDaily, &r));
    EXPECT_FALSE(BuildTriggerRecord(At(0, 1, 1, 10, 15), kScheduleDaily, &r));
    EXPECT_FALSE(BuildTriggerRecord(At(2026, 12, 7, 24, 0), kScheduleDaily, &r));
    EXPECT_FALSE(BuildTriggerRecord(At(2026, 12, 7, 10, 60), kScheduleDaily, &r));
    EXPECT_EQ(r.beginYear, 1234);
    EXPECT_TRUE(BuildTriggerRecord(At(2028, 2, 29, 10, 15), kScheduleMonthly, &r));
}

TEST(TriggerRecord, CalendarHelpers) {
    EXPECT_EQ(WeekdayOf(1970, 1, 1), 4);
    EXPECT_EQ(WeekdayOf(2000, 2, 29), 2);
    EXPECT_EQ(WeekdayOf(1601, 1, 1), 1);
    EXPECT_EQ(WeekdayOf(2026, 12, 7), 1);
    EXPECT_TRUE(IsValidDate(2000, 2, 29));
    EXPECT_FALSE(IsValidDate(1900, 2, 29));
    EXPECT_FALSE(IsValidDate(2026, 4, 31));
    EXPECT_EQ(DaysInMonth(2026, 0), 0);
}

TEST(TriggerRecord, MatchingComparesDateAndMinuteButNotFrequencyOrSeconds) {
    ScheduleTime start = At(2026, 12, 7, 10, 15);
    start.second = 42;
    const TriggerRecord weekly = Build(At(2026, 12, 7, 10, 15), kScheduleWeekly);
    EXPECT_TRUE(TriggerStartsAt(weekly, start));
    EXPECT_FALSE(TriggerStartsAt(weekly, At(2026, 12, 7, 10, 16)));
    EXPECT_FALSE(TriggerStartsAt(weekly, At(2026, 12, 7, 11, 15)));
    EXPECT_FALSE(TriggerStartsAt(weekly, At(2026, 12, 8, 10, 15)));
    EXPECT_FALSE(TriggerStartsAt(weekly, At(2026, 11, 7, 10, 15)));
    EXPECT_FALSE(TriggerStartsAt(weekly, At(2027, 12, 7, 10, 15)));
}

TEST(TriggerRecord, OnlyALoneDisabledTriggerStandsForAnEmptyTask) {
    TriggerRecord disabled = Build(At(2026, 12, 7, 10, 15), kScheduleDaily);
    disabled.flags = kTriggerFlagDisabled;
    const TriggerRecord enabled = Build(At(2026, 12, 7, 10, 15), kScheduleDaily);
    EXPECT_TRUE(IsEmptyTaskPlaceholder(1, disabled));
    EXPECT_FALSE(IsEmptyTaskPlaceholder(2, disabled));
    EXPECT_FALSE(IsEmptyTaskPlaceholder(1, enabled));
}

TEST(TriggerText, DescribesEachFrequencyInTheSchedulersWords) {
    EXPECT_EQ(DescribeTrigger(Build(At(2026, 12, 7, 10, 15), kScheduleDaily)),
              "At 10:15 every day, starting 07/12/2026");
    EXPECT_EQ(DescribeTrigger(Build(At(2026, 12, 7, 9, 5), kScheduleOnce)), "At 09:05 on 07/12/2026");
    EXPECT_EQ(DescribeTrigger(Build(At(2026, 12, 9, 10, 15), kScheduleWeekly)),
              "At 10:15 every Wed of every week, starting 09/12/2026");
    EXPECT_EQ(DescribeTrigger(Build(At(2026, 12, 31, 10, 15), kScheduleMonthly)),
              "At 10:15 on day 31 of every month, starting 31/12/2026");

    TriggerRecord r = Build(At(2026, 12, 7, 10, 15), kScheduleDaily);
    r.type.daily.daysInterval = 3;
    EXPECT_EQ(DescribeTrigger(r, "10:15 AM", "12/7/2026", EnglishTriggerNames()),
              "At 10:15 AM every 3 days, starting 12/7/2026");
    r = Build(At(2026, 12, 7, 10, 15), kScheduleWeekly);
    r.type.weekly.weeksInterval = 2;
    r.type.weekly.daysOfTheWeek = 0x2 | 0x8 | 0x40;
    EXPECT_EQ(DescribeTrigger(r), "At 10:15 every Mon, Wed, Sat of every 2 weeks, starting 07/12/2026");
    r = Build(At(2026, 12, 7, 10, 15), kScheduleMonthly);
    r.type.monthlyDate.days = 0x1 | 0x4000;
    r.type.monthlyDate.months = 0x1 | 0x800;
    EXPECT_EQ(DescribeTrigger(r), "At 10:15 on day 1, 15 of Jan, Dec, starting 07/12/2026");
    r.triggerType = kTriggerMonthlyDow;
    r.type.monthlyDow.whichWeek = 5;
    r.type.monthlyDow.daysOfTheWeek = 0x20;
    r.type.monthlyDow.months = 0xFFF;
    EXPECT_EQ(DescribeTrigger(r), "At 10:15 on the last Fri of every month, starting 07/12/2026");
    r.triggerType = kTriggerAtLogon;
    EXPECT_FALSE(DescribeTrigger(r).empty());
    r.triggerType = 99;
    EXPECT_FALSE(DescribeTrigger(r).empty());
}

TEST(TriggerText, LastRunTimeAndTimePickerFormat) {
    EXPECT_EQ(FormatLastRunTime(0), "Never");
    ScheduleTime ran = At(2026, 12, 7, 10, 15);
    ran.second = 30;
    const std::time_t value = LocalTimeValue(ran);
    EXPECT_NE(value, 0);
    EXPECT_EQ(FormatLastRunTime(value), "10:15:30 07-12-26");
    EXPECT_EQ(LocalTimeValue(ScheduleTime{}), 0);

    EXPECT_EQ(TimeFormatWithoutSeconds("h:mm:ss tt", ":"), "h:mm tt");
    EXPECT_EQ(TimeFormatWithoutSeconds("HH:mm:ss", ":"), "HH:mm");
    EXPECT_EQ(TimeFormatWithoutSeconds("H.mm.s", "."), "H.mm");
    EXPECT_EQ(TimeFormatWithoutSeconds("HH:mm", ":"), "HH:mm");
    // Only the first occurrence goes.
    EXPECT_EQ(TimeFormatWithoutSeconds("hh:ss:ss", ":"), "hh:ss");
}

// Task operations that answer from a script and record the calls.
class ScriptedOperations : public IScheduleOperations {
public:
    TaskStatus create = kTaskOk, add = kTaskOk, find = kTaskOk;
    std::int16_t foundIndex = -1;
    std::vector<std::string> calls;

    TaskStatus CreateTask(const std::string& name) override {
        calls.push_back("create " + name);
        return create;
    }
    TaskStatus AddTrigger(const std::string& name) override {
        calls.push_back("add " + name);
        return add;
    }
    TaskStatus FindTrigger(const std::string& name, std::int16_t& index) override {
        calls.push_back("find " + name);
        index = foundIndex;
        return find;
    }
};

constexpr TaskStatus kFileExists = static_cast<TaskStatus>(0x80070050u);
constexpr TaskStatus kFailure = static_cast<TaskStatus>(0x80004005u);

TEST(AddScheduleProcedure, FirstScheduleCreatesTheTaskThenAddsItsTrigger) {
    ScriptedOperations ops;
    AddScheduleResult r = AddSchedule(ops, "Quillmereadmin");
    EXPECT_EQ(r.message, kScheduleSuccessMessage);
    EXPECT_TRUE(r.Added());
    EXPECT_EQ(ops.calls, (std::vector<std::string>{"create Quillmereadmin", "add Quillmereadmin"}));

    ScriptedOperations failing;
    failing.add = kFailure;
    r = AddSchedule(failing, "T");
    EXPECT_EQ(r.message, kScheduleFailedMessage);
    EXPECT_EQ(r.status, kFailure);
    // A success code other than 0 is not taken for success.
    failing.add = 1;
    EXPECT_EQ(AddSchedule(failing, "T").message, kScheduleFailedMessage);
}

TEST(AddScheduleProcedure, ExistingTaskGetsATriggerUnlessOneStartsAtThatMinute) {
    ScriptedOperations ops;
    ops.create = kFileExists;
    AddScheduleResult r = AddSchedule(ops, "T");
    EXPECT_EQ(r.message, kScheduleSuccessMessage);
    EXPECT_EQ(ops.calls, (std::vector<std::string>{"create T", "find T", "add T"}));

    ops.calls.clear();
    ops.foundIndex = 0;
    r = AddSchedule(ops, "T");
    EXPECT_EQ(r.message, kAlreadyScheduledMessage);
    EXPECT_FALSE(r.Added());
    EXPECT_EQ(ops.calls, (std::vector<std::string>{"create T", "find T"}));

    ops.foundIndex = -1;
    ops.add = kFailure;
    EXPECT_EQ(AddSchedule(ops, "T").message, kScheduleFailedMessage);
}

TEST(AddScheduleProcedure, FailureWhileLookingShowsNothingAndAddsNothing) {
    ScriptedOperations ops;
    ops.create = kFailure;
    ops.find = kFailure;
    AddScheduleResult r = AddSchedule(ops, "T");
    EXPECT_EQ(r.message, "");
    EXPECT_EQ(r.status, kFailure);
    EXPECT_EQ(ops.calls, (std::vector<std::string>{"create T", "find T"}));
}

TEST(AddScheduleProcedure, StartAndFrequencyFromText) {
    ScheduleTime t;
    ASSERT_TRUE(ParseScheduleStart("2026-12-09", "07:05", &t));
    EXPECT_EQ(t.year, 2026);
    EXPECT_EQ(t.month, 12);
    EXPECT_EQ(t.day, 9);
    EXPECT_EQ(t.dayOfWeek, 3);
    EXPECT_EQ(t.hour, 7);
    EXPECT_EQ(t.minute, 5);
    EXPECT_EQ(t.second, 0);
    ASSERT_TRUE(ParseScheduleStart("2028-02-29", "23:59", &t));
    for (const char* bad : {"2026-02-29", "2026-13-01", "2026-1-05", "26-12-09", "2026/12/09",
                            "2026-12-09x", "", "2026-12-0a", "0000-01-01"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseScheduleStart(bad, "10:15", &t));
    }
    for (const char* bad : {"24:00", "10:60", "9:15", "10:5", "10-15", "10:15:00", "+1:15"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseScheduleStart("2026-12-09", bad, &t));
    }
    EXPECT_EQ(t.year, 2028) << "a rejected start leaves the output alone";

    EXPECT_EQ(FrequencyFromName("once"), kScheduleOnce);
    EXPECT_EQ(FrequencyFromName("daily"), kScheduleDaily);
    EXPECT_EQ(FrequencyFromName("weekly"), kScheduleWeekly);
    EXPECT_EQ(FrequencyFromName("monthly"), kScheduleMonthly);
    EXPECT_EQ(FrequencyFromName("Weekly"), 0);
    EXPECT_EQ(FrequencyFromName("yearly"), 0);
}

TEST(AddScheduleProcedure, TaskNamePerPlatformFamily) {
    EXPECT_EQ(ComposeTaskName(false, "admin"), "Quillmereadmin");
    EXPECT_EQ(ComposeTaskName(true, "admin"), "Quillmere");
}

}  // namespace
}  // namespace qm
