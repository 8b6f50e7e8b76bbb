// CRegistryLib: the engine object. Key paths, the stop event, progress, the
// category scan run and its nine category scans, the file test, the ignore
// list and the findings of the last scan. The backup, the deletions and the
// restore are the repair layer's, working through this object's registry.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/categories.h"
#include "engine/records.h"
#include "platform/registry.h"
#include "platform/registry_view.h"
#include "platform/system.h"

namespace qm {

// Progress report: (current item, status text, items scanned, errors found),
// called synchronously on the scanning thread.
using ScanProgressCallback = void (*)(std::string item, std::string status, std::int32_t scanned,
                                      std::int32_t found);

// The services an engine works with. Defaults: the process's registry and
// system (the real ones in the Windows build).
struct EngineServices {
    IRegistry* registry = nullptr;
    ISystem* system = nullptr;
    std::string ignoreFile = "ignore.lst";
};

class CRegistryLib {
public:
    CRegistryLib();
    explicit CRegistryLib(const EngineServices& services);
    virtual ~CRegistryLib();
    CRegistryLib(const CRegistryLib&) = delete;
    CRegistryLib& operator=(const CRegistryLib&) = delete;

    // --- key paths -----------------------------------------------------
    // Returns the root name and leaves the rest of the path in `path`.
    static std::string SeperateMainKey(std::string& path);
    // Opens root\subKey. 1 for a null out pointer or an unknown root name,
    // otherwise the registry's status.
    // `view` chooses the registry view the path is followed in.
    RegStatus OpenKey(const std::string& rootName, const std::string& subKey, RegKey* result,
                      RegView view = RegView::k64);

    // --- values ----------------------------------------------------------
    // Appends one item per value of the key, then guarantees a "(Default)" item.
    void AddRegistryValues(RegKey key, ValueList& list);
    // The same list with only its "(Default)" items: the same items, in the
    // same order, as AddRegistryValues gives them, without the others.
    void AddDefaultValues(RegKey key, ValueList& list);
    // The items AddDefaultValues would append to an empty list, read into
    // the first items of `items` (made where missing, kept otherwise, so
    // that a caller reading many keys fills the same objects again). Items
    // past the count returned are left as they were.
    std::size_t ReadDefaultValues(RegKey key, ValueList& items);
    // Runs `visit(item)` on the items AddRegistryValues would list, in the
    // same order, without holding them all: past the first few hundred the
    // values are read one at a time, so a key of any size (the Shared DLLs
    // list of a busy machine) takes the same memory. `visit` returns false
    // to stop; the result is false when it did.
    bool ForEachRegistryValue(RegKey key, const std::function<bool(const CRegValueItem&)>& visit);

    // --- scan run --------------------------------------------------------
    void ScanRegistry(ResultRows& rows, ScanCategoryStates& states);
    void ScanRegistryCLSID(ResultRows& rows);
    void ScanRegistrySharedFiles(ResultRows& rows);
    void ScanRegistryDrivers(ResultRows& rows);
    void ScanRegistryHelp(ResultRows& rows);
    void ScanRegistryAppPaths(ResultRows& rows);
    void ScanRegistrySharedTools(ResultRows& rows);
    void ScanRegistryFonts(ResultRows& rows);
    void ScanRegistryStartup(ResultRows& rows);
    void ScanRegistryUninstall(ResultRows& rows);

    // --- file test and ignore list ----------------------------------------
    // 0 when the path exists or is ignored, -1 when it is missing.
    int CheckFile(const std::string& path);
    bool IsIgnored(const std::string& path) const;
    // The file is read in binary: a UTF-8 byte-order mark is passed over,
    // lines end with LF or CR LF, and every other byte (NUL and Ctrl-Z
    // included) belongs to its line; a Ctrl-Z that ends the file (an old
    // editor's end-of-file mark) is dropped. A missing file is an empty list;
    // a file that cannot be read whole leaves the list empty with
    // IgnoreListError() set, and then SaveIgnoreList refuses to replace it.
    void LoadIgnoreList();
    // Replaces the file atomically (temporary file, flushed, renamed), one
    // path per line with the platform's line end. False, with
    // IgnoreListError() saying why, when it could not; the old file stays.
    bool SaveIgnoreList();
    // Why the last load or save failed; empty after a success.
    const std::string& IgnoreListError() const { return ignoreListError_; }

    // --- state -------------------------------------------------------------
    void SetProgressCallback(ScanProgressCallback cb) { progress_ = cb; }
    ScanProgressCallback GetProgressCallback() const { return progress_; }
    FindingList& Findings() { return findings_; }
    const FindingList& Findings() const { return findings_; }
    // Entries may be appended, or deleted and replaced by null, before saving.
    FindingList& IgnoreList() { return ignoreList_; }
    const FindingList& IgnoreList() const { return ignoreList_; }
    bool IsOldPlatform() const { return oldPlatform_ != 0; }
    // The registry every scan reads; a finding's view (CRegErrorLog::GetView)
    // says which of its views the entry was found in.
    IRegistry& Registry() { return *registry_; }
    ISystem& System() { return *system_; }
    const std::string& IgnoreFile() const { return ignoreFile_; }
    void SetIgnoreFile(const std::string& file) { ignoreFile_ = file; }

protected:
    // True when the stop event is signalled (every scan opens it afresh).
    bool StopRequested() const;
    void ReportProgress(const std::string& item, const std::string& status, std::int32_t scanned,
                        std::int32_t found) const;

private:
    ScanProgressCallback progress_ = nullptr;
    FindingList findings_;
    FindingList ignoreList_;
    std::uint8_t oldPlatform_ = 0;
    IRegistry* registry_;
    ISystem* system_;
    std::string ignoreFile_;
    std::string ignoreListError_;
    bool ignoreListUnread_ = false;  // the file exists but could not be read
};

}  // namespace qm
