// The frame every category scan shares: the stop test, opening the root key,
// the two counters, testing a derived path, recording a finding, reporting
// progress, the sub-key and value loops, and the closing result row.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "engine/categories.h"
#include "engine/path_cleaning.h"
#include "engine/path_lookup.h"
#include "engine/registry_lib.h"
#include "engine/wow64_system.h"
#include "platform/named_event.h"
#include "platform/registry_walk.h"

namespace qm {

// Status texts passed to the progress callback.
constexpr const char* kStatusCom = "Scanning CLSID";
constexpr const char* kStatusSharedDlls = "Scanning Shared Files";
constexpr const char* kStatusDrivers = "Scanning VXD";
constexpr const char* kStatusHelp = "Scanning Help Files";
constexpr const char* kStatusAppPaths = "Scanning Application Paths";
constexpr const char* kStatusSharedTools = "Scanning Shared Tools";
constexpr const char* kStatusFonts = "Scanning Fonts";
constexpr const char* kStatusStartup = "Scanning Startup Programs";
constexpr const char* kStatusUninstall = "Scanning Uninstall Entries";

// What testing a derived path gave.
enum class PathState {
    NotTested,  // a filter passed it over (or it holds "?" / "*")
    Exists,     // the file or directory is there
    Ignored,    // missing, but on the ignore list
    Missing,    // missing and not ignored: a finding
};

// Key names hold at most 255 UTF-16 units, at most three bytes each in any
// ANSI code page: a name buffer of this size takes any key name at once, so
// a sub-key loop needs no query of the key for its longest name.
constexpr std::uint32_t kAnyKeyNameChars = 255 * 3;

// How a sub-key loop ended.
enum class LoopEnd {
    Completed,     // the enumeration ran to its end (or failed on an entry)
    Stopped,       // the stop event was seen
    NoNameBuffer,  // the key could not be queried or the buffer not had
};

class ScanFrame {
public:
    ScanFrame(CRegistryLib& lib, ResultRows& rows, Category category, const char* status);

    // The stop test before every entry: the process's flag of the stop event
    // (named_event.h), a memory read rather than a wait on the event.
    bool StopRequested() const { return stop_.IsSignalled(); }

    // Stop test at entry, split and open `rootPath`, zero the counters.
    // False when the scan ends here: stopped (no row) or the root could not be
    // opened (a 0/0 row has been appended). The root is opened in the 64-bit
    // view, or in the 32-bit view when only that view has it.
    bool Open(const std::string& rootPath);
    // The same in two steps, for a category that scans several roots into
    // one row: Begin is the stop test at entry and zeroes the counters (false:
    // stopped, no row); OpenRoot opens the next root and keeps the counters
    // (false: stopped, or the root cannot be opened; no row either way).
    bool Begin();
    bool OpenRoot(const std::string& rootPath);
    // Changes with every root and view the scan moves to: values read under
    // another count belong to another key, even when its name is the same.
    std::uint32_t Segment() const { return segment_; }
    // Moves on from the 64-bit view to the 32-bit view of the same root path,
    // where 32-bit programs keep their entries: true when that root opens
    // and is a key of its own (a key both views share is scanned once).
    // Counters and row go on across both views; findings record their view,
    // and paths are judged as a 32-bit program sees the files.
    bool NextView();
    RegView View() const { return view_; }
    RegKey Root() const { return root_.Get(); }
    const std::string& RootPath() const { return rootPath_; }

    void CountScanned(std::int32_t n = 1) { scanned_ += n; }
    std::int32_t Scanned() const { return scanned_; }
    std::int32_t Found() const { return found_; }

    // Tests a derived path. A path holding "?" or "*" is never tested.
    // Ignored and Exists are told apart only when `distinguishIgnored`.
    PathState Test(const CleanedPath& path, bool distinguishIgnored = false);
    // Test, and for a path found missing a second look: `lookup()` reads the
    // entry as Windows reads it when it uses it (path_lookup.h). An entry
    // Windows would find is not missing, and one whose answer lies beyond
    // this machine is not tested. Either way the cleaning steps never report
    // more than they did. For Missing, `reported` receives the path the
    // finding names: the derived one, or the lookup's when it gives one (a
    // driver's full path, a help folder joined with its separator); a path
    // on the ignore list in either form is not missing. Otherwise `reported`
    // is left as it was.
    template <class SecondLook>
    PathState Judge(const CleanedPath& path, SecondLook&& lookup, std::string& reported,
                    bool distinguishIgnored = false);
    // Appends a finding with this category's tag and removal kind (or the
    // one given) and counts it. `hive`: where its key lives when it is below
    // HKEY_CLASSES_ROOT (RegClassesHiveOf).
    void Record(const CRegValueItem& value, const std::string& keyPath, const std::string& path,
                const char* removeKind = nullptr, ClassesHive hive = ClassesHive::kMerged);
    // Calls the progress callback, if one is set, with the current counters.
    // The path is handed on (moved), so pass a copy if it is still needed.
    void Report(std::string path) const { Report(std::move(path), scanned_, found_); }
    void Report(std::string path, std::int32_t scanned, std::int32_t found) const;
    // The same with a path the caller keeps: copied only for a callback.
    void ReportCopy(const std::string& path, std::int32_t scanned, std::int32_t found) const {
        if (lib_.GetProgressCallback()) Report(path, scanned, found);
    }
    // Test, record when missing, report: the common handling of one entry.
    // `keyPath()` gives the finding's key path; it is called only for a finding.
    template <class KeyPath, class SecondLook>
    void Examine(const CRegValueItem& value, KeyPath&& keyPath, const CleanedPath& path, SecondLook&& lookup) {
        std::string reported;
        if (Judge(path, lookup, reported) == PathState::Missing) Record(value, keyPath(), reported);
        ReportCopy(path.path, scanned_, found_);
    }
    // A path for the derivations that write into one, kept for the whole
    // category so that its buffer is allocated once.
    CleanedPath& ScratchPath() { return scratch_; }

    // Appends this category's row with the counters so far.
    void AppendRow();

    CRegistryLib& Lib() { return lib_; }
    // The files and environment of the view being scanned.
    ISystem& System() { return view32_ ? static_cast<ISystem&>(view32_->system) : lib_.System(); }
    // The directories and expansion the path derivations use, read once per scan.
    const SystemPaths& Paths() const { return view32_ ? view32_->paths : paths_; }
    // Windows' own way of finding what an entry names, for the second look.
    const PathLookup& WindowsLookup() const { return view32_ ? view32_->lookup : lookup_; }
    IRegistry& Registry() { return lib_.Registry(); }

    // Runs `visit(name)` for each non-empty sub-key name of `key`, with the
    // stop test before every step. `visit` returns false to end the loop as
    // stopped.
    template <class Visit>
    LoopEnd ForEachSubKey(RegKey key, Visit&& visit);
    // The same without querying the key: its name buffer takes names of
    // `maxSubKeyLen` bytes at once (kAnyKeyNameChars: any key name); a
    // longer name is read again into a grown buffer.
    template <class Visit>
    LoopEnd ForEachSubKey(RegKey key, std::uint32_t maxSubKeyLen, Visit&& visit);

    // Runs `visit(item)` on each value of `key` as AddRegistryValues lists
    // them (CRegistryLib::ForEachRegistryValue: a large key is not held
    // whole), with the stop test before every item. False when stopped.
    template <class Visit>
    bool ForEachValue(RegKey key, Visit&& visit);

private:
    CRegistryLib& lib_;
    ResultRows& rows_;
    const CategoryInfo& info_;
    const char* status_;
    NamedEvent stop_;
    SystemPaths paths_;
    PathLookup lookup_{paths_};
    // Files, directories and lookup of the 32-bit view, made when a scan
    // reaches that view.
    struct View32 {
        explicit View32(ISystem& base) : system(base) {}
        Wow64System system;
        SystemPaths paths{system};
        PathLookup lookup{paths};
    };
    std::unique_ptr<View32> view32_;
    RegView view_ = RegView::k64;
    void EnterView32();
    RegKeyHandle root_;
    std::string rootPath_;
    std::int32_t scanned_ = 0;
    std::int32_t found_ = 0;
    std::uint32_t segment_ = 0;
    CleanedPath scratch_;
    std::deque<RegReadBuffers> nameBuffers_;
    std::size_t depth_ = 0;
};

template <class SecondLook>
PathState ScanFrame::Judge(const CleanedPath& path, SecondLook&& lookup, std::string& reported,
                           bool distinguishIgnored) {
    const PathState first = Test(path, distinguishIgnored);
    if (first != PathState::Missing) return first;
    struct JustMissing {
        const PathLookup& lookup;
        ~JustMissing() { lookup.SetJustMissing(std::string()); }
    } justMissing{WindowsLookup()};
    WindowsLookup().SetJustMissing(path.path);
    const LookupResult second = lookup();
    if (second.verdict == LookupVerdict::Found) return PathState::Exists;
    if (second.verdict == LookupVerdict::CannotJudge) return PathState::NotTested;
    if (!second.path.empty() && second.path != path.path) {
        if (lib_.IsIgnored(second.path))
            return distinguishIgnored ? PathState::Ignored : PathState::Exists;
        reported = second.path;
    } else {
        reported = path.path;
    }
    return PathState::Missing;
}

template <class Visit>
LoopEnd ScanFrame::ForEachSubKey(RegKey key, Visit&& visit) {
    RegKeyInfo info;
    if (Registry().RegQueryInfoKeyA(key, &info) != kRegSuccess) return LoopEnd::NoNameBuffer;
    return ForEachSubKey(key, info.maxSubKeyLen, visit);
}

template <class Visit>
LoopEnd ScanFrame::ForEachSubKey(RegKey key, std::uint32_t maxSubKeyLen, Visit&& visit) {
    // One set of buffers per nesting level, kept for the whole scan.
    struct Level {
        std::size_t& depth;
        explicit Level(std::size_t& d) : depth(++d) {}
        ~Level() { --depth; }
    } level(depth_);
    try {
        if (nameBuffers_.size() < depth_) nameBuffers_.resize(depth_);
        std::vector<char>& b = nameBuffers_[depth_ - 1].name;
        if (b.size() < std::size_t(maxSubKeyLen) + 1) b.resize(std::size_t(maxSubKeyLen) + 1);
    } catch (const std::bad_alloc&) {
        return LoopEnd::NoNameBuffer;
    }
    RegReadBuffers& buffers = nameBuffers_[depth_ - 1];
    std::string name;  // reused for every sub-key
    for (std::uint32_t index = 0;; ++index) {
        if (StopRequested()) return LoopEnd::Stopped;
        if (EnumSubKeyName(Registry(), key, index, &name, buffers) != kRegSuccess)
            return LoopEnd::Completed;
        if (name.empty()) continue;
        if (!visit(name)) return LoopEnd::Stopped;
    }
}

template <class Visit>
bool ScanFrame::ForEachValue(RegKey key, Visit&& visit) {
    return lib_.ForEachRegistryValue(key, [&](const CRegValueItem& item) {
        if (StopRequested()) return false;
        visit(item);
        return true;
    });
}

// The sub-key scan with a value loop in each sub-key (help files, application
// paths, shared tools, uninstall entries). `wanted(name)` filters sub-keys by
// their enumerated name; `visit(item, name)` examines one value of sub-key
// `name`. Appends the row unless the root could not be queried.
// Several roots (`rootPaths`, in order) go into the one row; a root that
// cannot be opened is passed over, and with none open the row is 0/0.
template <std::size_t N, class Wanted, class Visit>
void RunSubKeyValueScan(ScanFrame& frame, const char* const (&rootPaths)[N], Wanted&& wanted,
                        Visit&& visit) {
    if (!frame.Begin()) return;
    IRegistry& reg = frame.Registry();
    for (const char* rootPath : rootPaths) {
        if (!frame.OpenRoot(rootPath)) {
            if (frame.StopRequested()) break;
            continue;
        }
        LoopEnd end = LoopEnd::Completed;
        do {
            end = frame.ForEachSubKey(frame.Root(), [&](const std::string& name) {
                if (!wanted(name)) return true;
                RegKeyHandle sub;
                if (reg.RegOpenKeyA(frame.Root(), name.c_str(), sub.Receive(reg)) != kRegSuccess)
                    return true;
                return frame.ForEachValue(sub.Get(), [&](const CRegValueItem& item) { visit(item, name); });
            });
            if (end == LoopEnd::NoNameBuffer) return;
        } while (end != LoopEnd::Stopped && frame.NextView());
        if (end == LoopEnd::Stopped) break;
    }
    frame.AppendRow();
}

template <class Wanted, class Visit>
void RunSubKeyValueScan(ScanFrame& frame, const char* rootPath, Wanted&& wanted, Visit&& visit) {
    const char* const roots[] = {rootPath};
    RunSubKeyValueScan(frame, roots, wanted, visit);
}

// The value-list scan (fonts, shared DLLs, drivers, startup programs):
// `visit(item)` examines one value of the root key. Always appends the row
// unless stopped at entry; several roots go into the one row as above.
template <std::size_t N, class Visit>
void RunValueListScan(ScanFrame& frame, const char* const (&rootPaths)[N], Visit&& visit) {
    if (!frame.Begin()) return;
    for (const char* rootPath : rootPaths) {
        if (!frame.OpenRoot(rootPath)) {
            if (frame.StopRequested()) break;
            continue;
        }
        bool completed = true;
        while ((completed = frame.ForEachValue(frame.Root(), visit)) && frame.NextView()) {
        }
        if (!completed) break;
    }
    frame.AppendRow();
}

template <class Visit>
void RunValueListScan(ScanFrame& frame, const char* rootPath, Visit&& visit) {
    const char* const roots[] = {rootPath};
    RunValueListScan(frame, roots, visit);
}

}  // namespace qm
