#include "repair/schedule_text.h"

#include <cstdio>

namespace qm {

namespace {

std::string JoinDays(std::uint32_t mask, const TriggerNames& names) {
    std::string out;
    for (int i = 0; i < 7; ++i) {
        if (!(mask & (1u << i))) continue;
        if (!out.empty()) out += ", ";
        out += names.days[i];
    }
    return out;
}

std::string JoinMonths(std::uint32_t mask, const TriggerNames& names) {
    if ((mask & kAllMonths) == kAllMonths) return "every month";
    std::string out;
    for (int i = 0; i < 12; ++i) {
        if (!(mask & (1u << i))) continue;
        if (!out.empty()) out += ", ";
        out += names.months[i];
    }
    return out;
}

std::string JoinMonthDays(std::uint32_t mask) {
    std::string out;
    for (int i = 0; i < 31; ++i) {
        if (!(mask & (1u << i))) continue;
        if (!out.empty()) out += ", ";
        out += std::to_string(i + 1);
    }
    return out;
}

std::string WhichWeek(std::uint16_t week) {
    switch (week) {
    case 1: return "first";
    case 2: return "second";
    case 3: return "third";
    case 4: return "fourth";
    default: return "last";
    }
}

}  // namespace

const TriggerNames& EnglishTriggerNames() {
    static const TriggerNames names = {
        {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"},
        {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"}};
    return names;
}

std::string DefaultTriggerTimeText(const TriggerRecord& trigger) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02u:%02u", static_cast<unsigned>(trigger.startHour % 100),
                  static_cast<unsigned>(trigger.startMinute % 100));
    return buf;
}

std::string DefaultTriggerDateText(const TriggerRecord& trigger) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%02u/%02u/%04u", static_cast<unsigned>(trigger.beginDay % 100),
                  static_cast<unsigned>(trigger.beginMonth % 100),
                  static_cast<unsigned>(trigger.beginYear));
    return buf;
}

std::string DescribeTrigger(const TriggerRecord& t, const std::string& timeText,
                            const std::string& dateText, const TriggerNames& names) {
    const std::string at = "At " + timeText;
    const std::string starting = ", starting " + dateText;
    switch (t.triggerType) {
    case kTriggerOnce:
        return at + " on " + dateText;
    case kTriggerDaily:
        if (t.type.daily.daysInterval <= 1) return at + " every day" + starting;
        return at + " every " + std::to_string(t.type.daily.daysInterval) + " days" + starting;
    case kTriggerWeekly: {
        const std::string days = JoinDays(t.type.weekly.daysOfTheWeek, names);
        const std::string every =
            t.type.weekly.weeksInterval <= 1
                ? std::string("every week")
                : "every " + std::to_string(t.type.weekly.weeksInterval) + " weeks";
        return at + " every " + days + " of " + every + starting;
    }
    case kTriggerMonthlyDate:
        return at + " on day " + JoinMonthDays(t.type.monthlyDate.days) + " of " +
               JoinMonths(t.type.monthlyDate.months, names) + starting;
    case kTriggerMonthlyDow:
        return at + " on the " + WhichWeek(t.type.monthlyDow.whichWeek) + " " +
               JoinDays(t.type.monthlyDow.daysOfTheWeek, names) + " of " +
               JoinMonths(t.type.monthlyDow.months, names) + starting;
    case kTriggerOnIdle:
        return "When the computer is idle";
    case kTriggerAtSystemStart:
        return "At system startup";
    case kTriggerAtLogon:
        return "At logon";
    default:
        return "Unknown schedule";
    }
}

std::string DescribeTrigger(const TriggerRecord& trigger) {
    return DescribeTrigger(trigger, DefaultTriggerTimeText(trigger), DefaultTriggerDateText(trigger),
                           EnglishTriggerNames());
}

std::string FormatLastRunTime(std::time_t value) {
    if (value == 0) return "Never";
    std::tm tm{};
#ifdef _WIN32
    if (localtime_s(&tm, &value) != 0) return "Never";
#else
    if (!localtime_r(&value, &tm)) return "Never";
#endif
    char buf[32];
    if (std::strftime(buf, sizeof buf, "%H:%M:%S %d-%m-%y", &tm) == 0) return "Never";
    return buf;
}

std::string TimeFormatWithoutSeconds(const std::string& format, const std::string& separator) {
    std::string out = format;
    std::string::size_type pos = out.find(separator + "ss");
    if (pos != std::string::npos) return out.erase(pos, separator.size() + 2);
    pos = out.find(separator + "s");
    if (pos != std::string::npos) out.erase(pos, separator.size() + 1);
    return out;
}

}  // namespace qm
