// The periodic-scan timetable: when the next periodic scan is due and how far
// apart periodic scans are, and the rules that keep both sensible.
//
// Times are 32-bit signed counts of seconds (since 1970-01-01 00:00:00 UTC for
// a point in time), as they are stored in the settings ("scannext",
// "scanperiod"). The arithmetic takes the clock as an argument so that it can
// be tested at any moment; the program passes SystemClock().
//
// The rules:
//   - at start-up (LoadTimetable) a period under 60 s becomes 86460 s (a day
//     and a minute), and a next-scan time before 2000-01-01 01:01:01 local time
//     (an absent value reads as 0) is set one period from now;
//   - after a schedule option is chosen (ApplyScheduleChoice) the period comes
//     from the options, is at least 60 s, and the next scan is one period away;
//   - advancing (AdvanceTimetable, used at start-up and when a scan falls due)
//     keeps every period a schedule stores (60 s and more) as it is; only a
//     shorter one becomes 86460 s;
//   - the periodic trigger (PeriodicScanDue) fires when the next-scan time has
//     passed; it always advances the timetable, and says "scan now" only when
//     scanning is enabled and no scan runs. A due time missed while disabled or
//     busy is skipped, not queued.
#pragma once

#include <cstdint>
#include <string>

namespace qm {

// ---------------------------------------------------------------- process-wide state
// Read and written on the user-interface thread (the panels while they load,
// the schedule buttons, the main window's timer).

extern int ScanEnabled;            // periodic scanning enabled (0/1); starts 1
extern std::int32_t NextScanTime;  // seconds since 1970 UTC; 0 = not scheduled
extern std::int32_t ScanPeriod;    // seconds between periodic scans; 0 until loaded
extern int StartScanAtLaunch;      // start a scan once the main screen has loaded

// ---------------------------------------------------------------- periods

constexpr std::int32_t kDefaultScanPeriod = 86460;  // one day and one minute
constexpr std::int32_t kShortestScanPeriod = 60;    // shortest period a schedule stores
constexpr std::int32_t kMonthPeriod = 2678400;  // 31 days
constexpr std::int32_t kWeekPeriod = 604800;
constexpr std::int32_t kDayPeriod = 86400;

// ---------------------------------------------------------------- clock

class IClock {
public:
    virtual ~IClock() = default;
    // The current time, seconds since 1970-01-01 00:00:00 UTC.
    virtual std::int64_t Now() const = 0;
    // The moment the local wall-clock time names (as mktime, daylight saving
    // decided by the system).
    virtual std::int64_t FromLocalTime(int year, int month, int day, int hour, int minute,
                                       int second) const = 0;
};

// time() and mktime().
const IClock& SystemClock();

// 2000-01-01 01:01:01 local time: a stored next-scan time before it is treated
// as not scheduled.
std::int64_t EarliestScheduledTime(const IClock& clock);

// A 64-bit time or period brought into the stored 32-bit range (saturating).
std::int32_t ClampToStoredTime(std::int64_t seconds);

// ---------------------------------------------------------------- rules

// Start-up: takes the stored values and repairs them (see above).
void LoadTimetable(std::int32_t& next, std::int32_t& period, std::int32_t storedNext,
                   std::int32_t storedPeriod, const IClock& clock);

// Advancing from `now`: a period under 60 s becomes 86460 s; next = now + period.
void AdvanceTimetable(std::int32_t& next, std::int32_t& period, std::int64_t now);

// The timer's check at `now`: when `next` is earlier than `now` the timetable is
// advanced from `now`, and the result is true if a scan should start (scanning
// enabled and none running). Otherwise nothing changes and the result is false.
bool PeriodicScanDue(std::int32_t& next, std::int32_t& period, int scanEnabled,
                     int scanInProgress, std::int64_t now);

// The schedule options as the schedule panel shows them.
struct ScheduleChoice {
    bool startEvery = false;       // every N minutes (BUTTON_START_EVERY)
    bool startAfterEvery = false;  // after every month, week or day (BUTTON_START_AFTER_EVERY)
    bool month = false;
    bool week = false;
    bool day = false;
    std::string minutesText;  // EDIT_SCAN_PERIOD's text: N
};

// After a schedule option was chosen at `now`. With scanning enabled the period
// comes from the mode: after-every takes the unit (month, then week, then day;
// a later checked unit wins; none leaves the period), else every-N-minutes
// takes LeadingNumber(minutesText) * 60; no mode leaves the period. Then the
// period is made at least 60 s and next = now + period.
void ApplyScheduleChoice(std::int32_t& next, std::int32_t& period, const ScheduleChoice& choice,
                         int scanEnabled, std::int64_t now);

// The leading decimal number of `text` as atoi reads it (leading blanks, an
// optional sign, digits; anything else gives 0), saturated to 32 bits.
std::int32_t LeadingNumber(const std::string& text);

}  // namespace qm
