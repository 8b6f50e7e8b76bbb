#include "repair/backup_list.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

namespace qm {
namespace {

#ifdef _WIN32
constexpr const char* kSeparator = "\\";
#else
constexpr const char* kSeparator = "/";
#endif

// The counter of a taken name ("...-3.xml": 3); 1 for the plain name.
long NameCounter(const std::string& name) {
    const std::size_t dot = name.find_last_of('.');
    const std::size_t dash = name.find_last_of('-', dot);
    if (dot == std::string::npos || dash == std::string::npos) return 1;
    long n = 0;
    for (std::size_t i = dash + 1; i < dot; ++i) {
        if (name[i] < '0' || name[i] > '9') return 1;
        if (i - dash > 9) return n;  // more digits than any counter a repair reaches
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

struct Dated {
    std::string name;
    std::tm time;
    long counter;
};

auto Key(const Dated& d) {
    return std::make_tuple(d.time.tm_year, d.time.tm_mon, d.time.tm_mday, d.time.tm_hour, d.time.tm_min,
                           d.time.tm_sec, d.counter);
}

std::vector<Dated> DatedNewestFirst(const std::vector<std::string>& names) {
    std::vector<Dated> dated;
    for (const std::string& name : names) {
        std::tm time{};
        if (BackupTimeFromFileName(name, time)) dated.push_back(Dated{name, time, NameCounter(name)});
    }
    // Equal keys (names differing only in letter case) keep a fixed order.
    std::stable_sort(dated.begin(), dated.end(), [](const Dated& a, const Dated& b) {
        if (Key(a) != Key(b)) return Key(a) > Key(b);
        return a.name < b.name;
    });
    return dated;
}

}  // namespace

std::vector<std::string> BackupNamesNewestFirst(const std::vector<std::string>& names) {
    std::vector<std::string> ordered;
    for (const Dated& d : DatedNewestFirst(names)) ordered.push_back(d.name);
    return ordered;
}

std::vector<BackupListing> ListBackups(const std::string& folder, const std::vector<std::string>& names,
                                       const RestoreAreas& areas, IFileSystem* fs) {
    std::vector<BackupListing> listed;
    for (const Dated& d : DatedNewestFirst(names)) {
        BackupListing entry;
        entry.fileName = d.name;
        entry.path = d.name;
        if (!folder.empty())
            entry.path = folder + (folder.back() == '\\' || folder.back() == '/' ? "" : kSeparator) + d.name;
        entry.written = d.time;
        entry.summary = SummarizeBackup(entry.path, areas, fs);
        listed.push_back(std::move(entry));
    }
    return listed;
}

std::string FormatBackupListTime(const std::tm& t) {
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

}  // namespace qm
