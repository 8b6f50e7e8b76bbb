// CRegistryLib: the engine object. Scan side (this folder): key paths, the
// stop event, progress, the category scan run and its nine category scans,
// the file test and the ignore list. Repair, backup and restore side: repair/.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/categories.h"
#include "engine/records.h"
#include "platform/registry.h"
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
    RegStatus OpenKey(const std::string& rootName, const std::string& subKey, RegKey* result);

    // --- values ----------------------------------------------------------
    // Appends one item per value of the key, then guarantees a "(Default)" item.
    void AddRegistryValues(RegKey key, ValueList& list);

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
    void LoadIgnoreList();
    void SaveIgnoreList();

    // --- state -------------------------------------------------------------
    void SetProgressCallback(ScanProgressCallback cb) { progress_ = cb; }
    ScanProgressCallback GetProgressCallback() const { return progress_; }
    FindingList& Findings() { return findings_; }
    const FindingList& Findings() const { return findings_; }
    // Entries may be appended, or deleted and replaced by null, before saving.
    FindingList& IgnoreList() { return ignoreList_; }
    const FindingList& IgnoreList() const { return ignoreList_; }
    bool IsOldPlatform() const { return oldPlatform_ != 0; }
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
};

}  // namespace qm
