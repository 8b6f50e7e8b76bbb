#include "repair/backup_summary.h"

#include <cstdio>
#include <unordered_set>
#include <vector>

#include "platform/file_system.h"
#include "platform/file_time.h"
#include "repair/backup_file_element.h"
#include "repair/backup_walk.h"
#include "repair/checked_restore_steps.h"
#include "repair/repair_pass.h"
#include "repair/restore_areas.h"
#include "repair/trigger_record.h"
#include "repair/xml_reader.h"

namespace qm {
namespace {

// Keys, values and files are told apart by a 64-bit hash of their names
// (FNV-1a, ASCII letters in lower case): a backup is not held in memory.
constexpr std::uint64_t kHashStart = 14695981039346656037ull;

std::uint64_t HashByte(std::uint64_t hash, unsigned char c) { return (hash ^ c) * 1099511628211ull; }

std::uint64_t HashLower(std::uint64_t hash, const std::string& text) {
    for (const char c : text)
        hash = HashByte(hash, static_cast<unsigned char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c));
    return hash;
}

bool ReadDigits(const std::string& text, std::size_t at, std::size_t count, int& value) {
    if (at + count > text.size()) return false;
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

// The index of the name in `names` that `text` holds at `at`; -1 for none.
template <std::size_t N>
int NameAt(const std::string& text, std::size_t at, const char* const (&names)[N], std::size_t& length) {
    for (std::size_t i = 0; i < N; ++i) {
        const std::string name = names[i];
        if (text.compare(at, name.size(), name) == 0) {
            length = name.size();
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string Plural(std::uint32_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

bool BackupTimeFromFileName(const std::string& path, std::tm& time) {
    const std::size_t slash = path.find_last_of("\\/");
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    static const std::string kPrefix = "FixedOn";
    if (name.compare(0, kPrefix.size(), kPrefix) != 0) return false;
    std::size_t at = kPrefix.size(), length = 0;
    const int weekday = NameAt(name, at, kBackupDayNames, length);
    if (weekday < 0) return false;
    at += length;
    const int month = NameAt(name, at, kBackupMonthNames, length);
    if (month < 0) return false;
    at += length;
    int day = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (!ReadDigits(name, at, 2, day) || !ReadDigits(name, at + 2, 4, year) || !ReadDigits(name, at + 6, 2, hour) ||
        !ReadDigits(name, at + 8, 2, minute) || !ReadDigits(name, at + 10, 2, second))
        return false;
    at += 12;
    // "-2", "-3", ...: the counter of a name that was taken.
    if (at < name.size() && name[at] == '-') {
        const std::size_t digits = ++at;
        while (at < name.size() && name[at] >= '0' && name[at] <= '9') ++at;
        if (at == digits) return false;
    }
    std::string extension = name.substr(at);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (extension != ".xml") return false;
    if (year < 1 || day < 1 || day > DaysInMonth(year, month + 1) || hour > 23 || minute > 59 || second > 60 ||
        WeekdayOf(year, month + 1, day) != weekday)
        return false;
    time = std::tm{};
    time.tm_year = year - 1900;
    time.tm_mon = month;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    time.tm_wday = weekday;
    time.tm_isdst = -1;
    return true;
}

std::string FormatBackupTime(const std::tm& t) {
    char text[96];
    const char* day = (t.tm_wday >= 0 && t.tm_wday < 7) ? kBackupDayNames[t.tm_wday] : "";
    const char* month = (t.tm_mon >= 0 && t.tm_mon < 12) ? kBackupMonthNames[t.tm_mon] : "?";
    std::snprintf(text, sizeof text, "%s%s%d %s %04d at %02d:%02d:%02d", day, *day != '\0' ? " " : "", t.tm_mday,
                  month, t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

std::string BackupSummary::ConfirmationText(const std::string& fileName) const {
    std::string text = "Put back what this backup holds?\n\n" + fileName + "\n";
    switch (dateSource) {
        case DateSource::FileName: text += "Written on " + FormatBackupTime(written) + "\n"; break;
        case DateSource::ModificationTime: text += "Last changed on " + FormatBackupTime(written) + "\n"; break;
        case DateSource::None: text += "Written on an unknown date\n"; break;
    }
    text += "\nIt puts back " + Plural(keys, "key", "keys") + ", " + Plural(values, "value", "values") + " and " +
            Plural(shortcuts, "shortcut", "shortcuts") + ".";
    if (!complete)
        text += "\n\nThe file breaks off at line " + std::to_string(line) + " (" + reason +
                "): only what comes before it is put back.";
    return text;
}

BackupSummary SummarizeBackup(const std::string& path, const RestoreAreas& areas, IFileSystem* fs, bool count,
                              CheckedRestoreSteps* keep) {
    BackupSummary summary;
    std::unordered_set<std::uint64_t> keys, values, files;
    std::vector<std::uint64_t> open;  // the hash of each open key's path
    CXmlReader reader;
    {
        BackupWalk walk(reader, path, false, &areas, fs != nullptr ? fs : &DefaultFileSystem());
        RestoreStepBatch batch;
        std::vector<std::uint8_t> bytes;
        std::uint32_t attributes = 0;
        bool more = true, stopped = false;
        auto stop = [&](std::int32_t line, const std::string& reason) {
            summary.line = line;
            summary.reason = reason;
            stopped = true;
        };
        while (more && !stopped) {
            batch.Clear();
            more = walk.Fill(batch, 512);
            for (std::size_t i = 0; i < batch.Size() && !stopped; ++i) {
                const RestoreStep& step = batch[i];
                if (keep != nullptr) keep->Keep(step);
                switch (step.kind) {
                    case RestoreStep::Kind::Key: {
                        if (!count) break;
                        std::uint64_t hash = open.empty() ? HashByte(kHashStart, step.view == RegView::k32 ? '3' : '6')
                                                          : HashByte(open.back(), '\\');
                        hash = HashLower(hash, step.text);
                        open.push_back(hash);
                        if (HoldsValues(step.place)) keys.insert(hash);
                        break;
                    }
                    case RestoreStep::Kind::EndKey:
                        if (count && !open.empty()) open.pop_back();
                        break;
                    case RestoreStep::Kind::Value:
                        if (!step.error.empty()) {
                            stop(step.line, "value \"" + step.text + "\": " + step.error);
                            break;
                        }
                        if (count && !open.empty()) values.insert(HashLower(HashByte(open.back(), 0), step.text));
                        break;
                    case RestoreStep::Kind::File: {
                        std::string error;
                        if (!ReadBackupFileElement((step.given & 1) ? &step.text : nullptr,
                                                   (step.given & 2) ? &step.fileData : nullptr,
                                                   (step.given & 4) ? &step.attributes : nullptr, bytes, attributes,
                                                   error)) {
                            stop(step.line, error);
                            break;
                        }
                        if (count) files.insert(HashLower(kHashStart, step.text));
                        break;
                    }
                    case RestoreStep::Kind::Fail:
                        stop(step.line, step.error);
                        summary.refused = step.refused;
                        break;
                }
            }
        }
        summary.opened = reader.IsOpen();
        summary.complete = !stopped;
        if (keep != nullptr && stopped) keep->Drop();
    }
    reader.Close();
    summary.keys = static_cast<std::uint32_t>(keys.size());
    summary.values = static_cast<std::uint32_t>(values.size());
    summary.shortcuts = static_cast<std::uint32_t>(files.size());
    if (!count) return summary;

    std::time_t modified = 0;
    if (BackupTimeFromFileName(path, summary.written)) {
        summary.dateSource = BackupSummary::DateSource::FileName;
    } else if (FileModificationTime(path, modified)) {
#ifdef _WIN32
        if (localtime_s(&summary.written, &modified) == 0)
#else
        if (localtime_r(&modified, &summary.written) != nullptr)
#endif
            summary.dateSource = BackupSummary::DateSource::ModificationTime;
    }
    return summary;
}

}  // namespace qm
