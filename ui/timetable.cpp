#include "ui/timetable.h"

#include <cctype>
#include <ctime>
#include <limits>

namespace qm {

int ScanEnabled = 1;
std::int32_t NextScanTime = 0;
std::int32_t ScanPeriod = 0;
int StartScanAtLaunch = 0;

namespace {

class RealClock : public IClock {
public:
    std::int64_t Now() const override { return static_cast<std::int64_t>(std::time(nullptr)); }
    std::int64_t FromLocalTime(int year, int month, int day, int hour, int minute,
                               int second) const override {
        std::tm t{};
        t.tm_year = year - 1900;
        t.tm_mon = month - 1;
        t.tm_mday = day;
        t.tm_hour = hour;
        t.tm_min = minute;
        t.tm_sec = second;
        t.tm_isdst = -1;
        return static_cast<std::int64_t>(std::mktime(&t));
    }
};

}  // namespace

const IClock& SystemClock() {
    static const RealClock clock;
    return clock;
}

std::int64_t EarliestScheduledTime(const IClock& clock) {
    return clock.FromLocalTime(2000, 1, 1, 1, 1, 1);
}

std::int32_t ClampToStoredTime(std::int64_t seconds) {
    if (seconds > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (seconds < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(seconds);
}

void LoadTimetable(std::int32_t& next, std::int32_t& period, std::int32_t storedNext,
                   std::int32_t storedPeriod, const IClock& clock) {
    next = storedNext;
    period = storedPeriod;
    if (period < kShortestScanPeriod) period = kDefaultScanPeriod;
    if (next < EarliestScheduledTime(clock)) AdvanceTimetable(next, period, clock.Now());
}

void AdvanceTimetable(std::int32_t& next, std::int32_t& period, std::int64_t now) {
    if (period < kShortestScanPeriod) period = kDefaultScanPeriod;
    next = ClampToStoredTime(now + period);
}

bool PeriodicScanDue(std::int32_t& next, std::int32_t& period, int scanEnabled,
                     int scanInProgress, std::int64_t now) {
    if (!(next < now)) return false;
    AdvanceTimetable(next, period, now);
    return scanEnabled == 1 && scanInProgress == 0;
}

void ApplyScheduleChoice(std::int32_t& next, std::int32_t& period, const ScheduleChoice& choice,
                         int scanEnabled, std::int64_t now) {
    if (scanEnabled == 1) {
        if (choice.startAfterEvery) {
            if (choice.month) period = kMonthPeriod;
            if (choice.week) period = kWeekPeriod;
            if (choice.day) period = kDayPeriod;
        } else if (choice.startEvery) {
            period = ClampToStoredTime(static_cast<std::int64_t>(LeadingNumber(choice.minutesText)) * 60);
        }
    }
    if (period < kShortestScanPeriod) period = kShortestScanPeriod;
    next = ClampToStoredTime(now + period);
}

std::int32_t LeadingNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    const std::int64_t limit = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value >= limit) {  // saturated; the clamp below gives the 32-bit end
            value = limit;
            break;
        }
    }
    return ClampToStoredTime(negative ? -value : value);
}

}  // namespace qm
