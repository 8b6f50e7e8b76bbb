// Help files, application paths and shared tools: sub-key scans with a value
// loop in each sub-key.
#include "engine/scan_areas.h"
#include "engine/scan_frame.h"

namespace qm {

void CRegistryLib::ScanRegistryHelp(ResultRows& rows) {
    ScanFrame frame(*this, rows, Category::Help, kStatusHelp);
    const auto wanted = [](const std::string& name) {
        return EqualsAsciiLower(name, "help") || EqualsAsciiLower(name, "html help");
    };
    RunSubKeyValueScan(frame, kHelpRoot, wanted,
                       [&](const CRegValueItem& item, const std::string& subKey) {
                           frame.CountScanned();
                           if (item.data == kValueNotSet) return;
                           frame.Examine(
                               item, [&] { return frame.RootPath() + "\\" + AsciiLower(subKey); },
                               HelpFilePath(item.data, item.name, frame.Paths()), [&] {
                                   return HelpFileLookup(item.data, item.name,
                                                         frame.WindowsLookup(), frame.Paths());
                               });
                       });
}

// An application's key is judged as a whole once all its values are read.
// Only the program itself (the unnamed default value) can condemn the key:
// a key whose program is there is never deleted because some other value
// names something missing. Another value naming a missing file or folder
// (a "Path" folder, say) is at most a finding on that value alone, and none
// at all when the key goes anyway. Counters and progress reports come out as
// if each value had been handled on the spot.
// The machine's keys come first, then the user's.
void CRegistryLib::ScanRegistryAppPaths(ResultRows& rows) {
    ScanFrame frame(*this, rows, Category::AppPaths, kStatusAppPaths);
    if (!frame.Begin()) return;
    IRegistry& reg = *registry_;
    // The entries of one key, used again (objects and buffers) for the next.
    struct Entry {
        CRegValueItem value;
        CleanedPath path;      // as cleaned: what progress shows
        std::string reported;  // what a finding names
        PathState state;
        std::int32_t scanned;  // items scanned when it was read
    };
    std::vector<Entry> entries;  // the first `used` are this key's
    std::size_t used = 0;
    std::string keyPath;
    for (const char* rootPath : kAppPathsRoots) {
        if (!frame.OpenRoot(rootPath)) {
            if (frame.StopRequested()) break;
            continue;
        }
        LoopEnd end = LoopEnd::Completed;
        do {
            end = frame.ForEachSubKey(frame.Root(), [&](const std::string& name) {
                RegKeyHandle sub;
                if (reg.RegOpenKeyA(frame.Root(), name.c_str(), sub.Receive(reg)) != kRegSuccess) return true;
                used = 0;
                const bool completed = frame.ForEachValue(sub.Get(), [&](const CRegValueItem& item) {
                    frame.CountScanned();
                    if (item.data == kValueNotSet) return;
                    if (used == entries.size()) entries.emplace_back();
                    Entry& e = entries[used++];
                    e.value = item;
                    AppPathText(e.value.data, frame.Paths(), e.path);
                    e.reported.clear();
                    e.state = frame.Judge(
                        e.path, [&] { return frame.WindowsLookup().Program(e.value.data); }, e.reported);
                    e.scanned = frame.Scanned();
                });
                bool programGone = false;
                for (std::size_t i = 0; i < used; ++i)
                    if (entries[i].value.isDefault && entries[i].state == PathState::Missing) programGone = true;
                keyPath.clear();  // made for the key's first finding
                for (std::size_t i = 0; i < used; ++i) {
                    Entry& e = entries[i];
                    if (e.state == PathState::Missing && (e.value.isDefault || !programGone)) {
                        if (keyPath.empty()) keyPath = frame.RootPath() + "\\" + AsciiLower(name);
                        if (e.value.isDefault)
                            frame.Record(e.value, keyPath, e.reported);
                        else
                            frame.Record(e.value, keyPath, e.reported, kRemoveValue);
                    }
                    frame.ReportCopy(e.path.path, e.scanned, frame.Found());
                }
                return completed;
            });
            if (end == LoopEnd::NoNameBuffer) return;
        } while (end != LoopEnd::Stopped && frame.NextView());
        if (end == LoopEnd::Stopped) break;
    }
    frame.AppendRow();
}

void CRegistryLib::ScanRegistrySharedTools(ResultRows& rows) {
    ScanFrame frame(*this, rows, Category::SharedTools, kStatusSharedTools);
    RunSubKeyValueScan(frame, kSharedToolsRoot, [](const std::string&) { return true; },
                       [&](const CRegValueItem& item, const std::string& subKey) {
                           frame.CountScanned();
                           if (!EqualsAsciiLower(TrimWhiteSpace(item.name), "path")) return;
                           if (item.data == kValueNotSet) return;
                           frame.Examine(item, [&] { return frame.RootPath() + "\\" + subKey; },
                                         SharedToolPath(item.data, frame.Paths()), [&] {
                                             return frame.WindowsLookup().Program(item.data);
                                         });
                       });
}

}  // namespace qm
