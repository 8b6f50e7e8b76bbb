// Help files, application paths and shared tools: sub-key scans with a value
// loop in each sub-key.
#include "engine/scan_frame.h"

namespace qm {

namespace {
constexpr const char* kHelpRoot = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows";
constexpr const char* kAppPathsRoot =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr const char* kSharedToolsRoot = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools";
}  // namespace

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
void CRegistryLib::ScanRegistryAppPaths(ResultRows& rows) {
    ScanFrame frame(*this, rows, Category::AppPaths, kStatusAppPaths);
    if (!frame.Open(kAppPathsRoot)) return;
    IRegistry& reg = *registry_;
    struct Entry {
        std::unique_ptr<CRegValueItem> value;
        std::string path;      // as cleaned: what progress shows
        std::string reported;  // what a finding names
        PathState state;
        std::int32_t scanned;  // items scanned when it was read
    };
    std::vector<Entry> entries;
    do {
        const LoopEnd end = frame.ForEachSubKey(frame.Root(), [&](const std::string& name) {
            RegKeyHandle sub;
            if (reg.RegOpenKeyA(frame.Root(), name.c_str(), sub.Receive(reg)) != kRegSuccess) return true;
            entries.clear();
            const bool completed = frame.ForEachValue(sub.Get(), [&](const CRegValueItem& item) {
                frame.CountScanned();
                if (item.data == kValueNotSet) return;
                CleanedPath path = AppPathText(item.data);
                std::string reported;
                const PathState state = frame.Judge(
                    path, [&] { return frame.WindowsLookup().Program(item.data); }, reported);
                entries.push_back({std::make_unique<CRegValueItem>(item), std::move(path.path),
                                   std::move(reported), state, frame.Scanned()});
            });
            bool programGone = false;
            for (const Entry& e : entries)
                if (e.value->isDefault && e.state == PathState::Missing) programGone = true;
            const std::string keyPath = frame.RootPath() + "\\" + AsciiLower(name);
            for (Entry& e : entries) {
                if (e.state == PathState::Missing) {
                    if (e.value->isDefault)
                        frame.Record(*e.value, keyPath, e.reported);
                    else if (!programGone)
                        frame.Record(*e.value, keyPath, e.reported, kRemoveValue);
                }
                frame.Report(std::move(e.path), e.scanned, frame.Found());
            }
            return completed;
        });
        if (end == LoopEnd::NoNameBuffer) return;
        if (end == LoopEnd::Stopped) break;
    } while (frame.NextView());
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
