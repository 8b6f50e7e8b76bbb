// The periodic-scan timetable rules, at chosen moments and in chosen time zones.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "ui/timetable.h"

namespace qm {
namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// A clock standing still at `now`, in a zone `offset` seconds east of UTC.
class FixedClock : public IClock {
public:
    FixedClock(std::int64_t now, std::int64_t offset = 0) : now_(now), offset_(offset) {}
    std::int64_t Now() const override { return now_; }
    std::int64_t FromLocalTime(int year, int month, int day, int hour, int minute,
                               int second) const override {
        return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - offset_;
    }

private:
    std::int64_t now_;
    std::int64_t offset_;
};

constexpr std::int64_t kNow = 1796532287;  // 2026-12-06 04:44:47 UTC

TEST(TimetableClock, EarliestScheduledTimeIsTheLocalMoment) {
    EXPECT_EQ(EarliestScheduledTime(FixedClock(kNow)), 946688461);  // 2000-01-01 01:01:01 UTC
    EXPECT_EQ(EarliestScheduledTime(FixedClock(kNow, 3600)), 946688461 - 3600);
    // The system clock agrees with the C library's idea of local time.
    const std::int64_t earliest = EarliestScheduledTime(SystemClock());
    EXPECT_GT(earliest, 946688461 - 15 * 3600);
    EXPECT_LT(earliest, 946688461 + 15 * 3600);
}

// ---------------------------------------------------------------- start-up

TEST(TimetableLoad, FreshMachineIsDueOneDayAndOneMinuteAfterStartUp) {
    std::int32_t next = -1, period = -1;
    LoadTimetable(next, period, 0, 0, FixedClock(kNow));
    EXPECT_EQ(period, 86460);
    EXPECT_EQ(next, kNow + 86460);
}

TEST(TimetableLoad, PeriodsUnderSixtySecondsAreReplacedButSixtyAndMoreSurvive) {
    const std::int32_t stored = static_cast<std::int32_t>(kNow + 1000);
    for (std::int32_t p : {-5, 0, 1, 59}) {
        std::int32_t next = 0, period = 0;
        LoadTimetable(next, period, stored, p, FixedClock(kNow));
        EXPECT_EQ(period, 86460) << p;
        EXPECT_EQ(next, stored) << p;
    }
    for (std::int32_t p : {60, 120, 179, 604800}) {
        std::int32_t next = 0, period = 0;
        LoadTimetable(next, period, stored, p, FixedClock(kNow));
        EXPECT_EQ(period, p);
        EXPECT_EQ(next, stored);
    }
}

TEST(TimetableLoad, NextScanBeforeTheYear2000ThresholdIsRescheduledFromNow) {
    // Threshold 2000-01-01 01:01:01 local; in UTC+2 that is 946681261.
    const FixedClock clock(kNow, 7200);
    const std::int32_t threshold = 946681261;
    std::int32_t next = 0, period = 0;
    LoadTimetable(next, period, threshold - 1, 3600, clock);
    EXPECT_EQ(next, kNow + 3600);
    LoadTimetable(next, period, threshold - 1, 120, clock);
    EXPECT_EQ(period, 120);  // advancing keeps a stored period of two minutes
    EXPECT_EQ(next, kNow + 120);
    LoadTimetable(next, period, -100, 3600, clock);
    EXPECT_EQ(next, kNow + 3600);

    // At the threshold and after it the stored time stays, even in the past.
    LoadTimetable(next, period, threshold, 3600, clock);
    EXPECT_EQ(next, threshold);
    LoadTimetable(next, period, static_cast<std::int32_t>(kNow - 5000), 3600, clock);
    EXPECT_EQ(next, kNow - 5000);
    // ...and fires on the first timer tick.
    EXPECT_TRUE(PeriodicScanDue(next, period, 1, 0, kNow + 10));
    EXPECT_EQ(next, kNow + 10 + 3600);
}

// ---------------------------------------------------------------- the trigger

TEST(TimetableTrigger, NotDueUntilTheTimeHasPassed) {
    std::int32_t next = static_cast<std::int32_t>(kNow), period = 3600;
    EXPECT_FALSE(PeriodicScanDue(next, period, 1, 0, kNow - 1));
    EXPECT_FALSE(PeriodicScanDue(next, period, 1, 0, kNow));  // "earlier than now" only
    EXPECT_EQ(next, kNow);
    EXPECT_TRUE(PeriodicScanDue(next, period, 1, 0, kNow + 1));
    EXPECT_EQ(next, kNow + 1 + 3600);
    EXPECT_EQ(period, 3600);
}

TEST(TimetableTrigger, DueTimeMissedWhileDisabledOrBusyIsSkippedNotQueued) {
    std::int32_t next = static_cast<std::int32_t>(kNow), period = 3600;
    EXPECT_FALSE(PeriodicScanDue(next, period, 0, 0, kNow + 5));  // disabled
    EXPECT_EQ(next, kNow + 5 + 3600);                             // but advanced
    EXPECT_FALSE(PeriodicScanDue(next, period, 1, 0, kNow + 6));  // not due again
    next = static_cast<std::int32_t>(kNow);
    EXPECT_FALSE(PeriodicScanDue(next, period, 1, 1, kNow + 5));  // a scan runs
    EXPECT_EQ(next, kNow + 5 + 3600);
    // "enablescan" data is never looked at: ScanEnabled is 1 or 0.
    next = static_cast<std::int32_t>(kNow);
    EXPECT_FALSE(PeriodicScanDue(next, period, 2, 0, kNow + 5));
}

// ---------------------------------------------------------------- schedule choices

ScheduleChoice EveryMinutes(const std::string& text) {
    ScheduleChoice c;
    c.startEvery = true;
    c.minutesText = text;
    return c;
}

TEST(TimetableSchedule, EveryNMinutesWithZeroOneOrNoNumberStoresOneMinute) {
    for (const char* text : {"0", "1", "abc", "", " ", "-7", "x5"}) {
        std::int32_t next = 0, period = 86460;
        ApplyScheduleChoice(next, period, EveryMinutes(text), 1, kNow);
        EXPECT_EQ(period, 60) << text;
        EXPECT_EQ(next, kNow + 60) << text;
        // Once that scan fires the minute stays the period.
        EXPECT_TRUE(PeriodicScanDue(next, period, 1, 0, kNow + 61));
        EXPECT_EQ(period, 60) << text;
        EXPECT_EQ(next, kNow + 61 + 60) << text;
    }
}

TEST(TimetableSchedule, EveryTwoMinutesStaysTwoMinutesAfterEachScan) {
    std::int32_t next = 0, period = 0;
    ApplyScheduleChoice(next, period, EveryMinutes("2"), 1, kNow);
    EXPECT_EQ(period, 120);
    EXPECT_EQ(next, kNow + 120);
    // It survives a restart...
    std::int32_t n2 = 0, p2 = 0;
    LoadTimetable(n2, p2, next, period, FixedClock(kNow + 30));
    EXPECT_EQ(p2, 120);
    EXPECT_EQ(n2, kNow + 120);
    // ...and when it fires: the next scan is two minutes later, every time.
    EXPECT_TRUE(PeriodicScanDue(n2, p2, 1, 0, kNow + 121));
    EXPECT_EQ(p2, 120);
    EXPECT_EQ(n2, kNow + 121 + 120);
    EXPECT_TRUE(PeriodicScanDue(n2, p2, 1, 0, kNow + 245));
    EXPECT_EQ(p2, 120);
    EXPECT_EQ(n2, kNow + 245 + 120);
}

TEST(TimetableSchedule, EveryNMinutesReadsTheLeadingNumber) {
    std::int32_t next = 0, period = 0;
    ApplyScheduleChoice(next, period, EveryMinutes(" 15 minutes"), 1, kNow);
    EXPECT_EQ(period, 900);
    ApplyScheduleChoice(next, period, EveryMinutes("99999999999"), 1, kNow);
    EXPECT_EQ(period, std::numeric_limits<std::int32_t>::max());  // no overflow
    EXPECT_EQ(next, std::numeric_limits<std::int32_t>::max());
}

TEST(TimetableSchedule, AfterEveryTakesTheLastCheckedUnit) {
    auto choose = [](bool m, bool w, bool d, std::int32_t before) {
        ScheduleChoice c;
        c.startAfterEvery = true;
        c.startEvery = true;  // after-every wins over every-N
        c.minutesText = "3";
        c.month = m;
        c.week = w;
        c.day = d;
        std::int32_t next = 0, period = before;
        ApplyScheduleChoice(next, period, c, 1, kNow);
        EXPECT_EQ(next, kNow + period);
        return period;
    };
    EXPECT_EQ(choose(true, false, false, 0), 2678400);
    EXPECT_EQ(choose(false, true, false, 0), 604800);  // the week unit
    EXPECT_EQ(choose(false, false, true, 0), 86400);
    EXPECT_EQ(choose(true, true, false, 0), 604800);
    EXPECT_EQ(choose(true, true, true, 0), 86400);
    EXPECT_EQ(choose(false, false, false, 7200), 7200);  // no unit: unchanged
    EXPECT_EQ(choose(false, false, false, 10), 60);      // ...but at least a minute
}

TEST(TimetableSchedule, NoModeOrScanningDisabledKeepsThePeriod) {
    ScheduleChoice none;
    std::int32_t next = 0, period = 5000;
    ApplyScheduleChoice(next, period, none, 1, kNow);
    EXPECT_EQ(period, 5000);
    EXPECT_EQ(next, kNow + 5000);
    ApplyScheduleChoice(next, period, EveryMinutes("9"), 0, kNow);
    EXPECT_EQ(period, 5000);
}

TEST(TimetableArithmetic, TimesPast2038SaturateInsteadOfWrapping) {
    std::int32_t next = 0, period = 86460;
    AdvanceTimetable(next, period, std::numeric_limits<std::int32_t>::max() - 10);
    EXPECT_EQ(next, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(LeadingNumber("-99999999999"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(LeadingNumber("+42x"), 42);
    EXPECT_EQ(LeadingNumber("\t 7"), 7);
}

}  // namespace
}  // namespace qm
