// CRegistryLib: the engine object. Scan side (this folder): key paths, the
// stop event, progress, the category scan run and its nine category scans,
// the file test and the ignore list. Repair, backup and restore side: repair/.
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

class StoredSubKeyNames;

class CXmlReader;
class CXmlWriter;
class IFileSystem;
class IRestoreUi;
class RestoreAreas;

// One "k" element being restored: its key-name component and the key opened
// for the whole path up to it (null when it could be neither opened nor created).
struct RestoreKeyFrame {
    std::string component;
    RegKeyHandle key;
    RegView view = RegView::k64;  // of the root frame: the view the chain is restored in
};

// How the last restore went. It is complete only when the file's root element
// closed and every key, value and file in it was written back.
struct RestoreReport {
    bool complete = false;
    std::int32_t line = 0;  // line of the file where the first failure was met (0: none, or before the first line)
    std::string reason;     // what was wrong; empty when complete
    std::uint32_t keys = 0;     // keys opened or created
    std::uint32_t values = 0;   // values written
    std::uint32_t files = 0;    // files put back
    bool shown = false;         // the reason was shown as a message already
    // The file names something outside the areas a backup may restore
    // into: it was refused whole, nothing of it was written.
    bool refused = false;
    // "line 7: unknown type \"REG_X\" (2 keys, 3 values and 0 files restored before it)"
    std::string Describe() const;
};

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

    // Makes every registry call of the engine (Registry(), the deletion
    // primitives, the backup) work in `view`: the repair of a finding of the
    // 32-bit view. Set back to RegView::k64 when done.
    void SetRegistryView(RegView view);
    RegView RegistryView() const { return registryView_; }
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

    // --- repair side (repair/) ---------------------------------------------
    // Backs up and deletes every finding that still has a key path, one pass
    // per category, and writes each pass's count into the errors-fixed field
    // of the row with that category's label. Returns the name of the backup
    // file created (the given name, or the given name with a counter when a
    // file of that name existed already); "" when none could be created, in
    // which case nothing is removed. Once a write to the backup fails, no
    // further finding is removed (BackupWriter().WriteFailed() tells).
    // `beforeEnd`, when given, runs after the passes and before the backup's
    // "registry" element is closed, so that it can add to the backup (the
    // shortcut files the repair deletes next). A stop request ends it between
    // two findings; the backup is still closed whole.
    std::string FixRegistry(ResultRows& rows, const std::string& backupFileName,
                            const std::function<void(CXmlWriter&)>& beforeEnd = {});

    // Appends the key named by `keyPath` (root name first) to the backup:
    // the chain of "k" elements down to it, then either `value` alone or all
    // its values, then its whole sub-key tree. 1 when written, 0 when the key
    // does not open (nothing written) or a key's information could not be
    // read (every element opened is still closed). A key of HKEY_CLASSES_ROOT
    // with a `hive` is read from that hive alone (ClassesHivePath) and its
    // chain's root element says which (the attribute "hive").
    int SaveAsXml(CXmlWriter& writer, const std::string& keyPath, const CRegValueItem* value,
                  ClassesHive hive = ClassesHive::kMerged);
    // The recursive worker for one open key; an empty `keyName` writes no
    // element of its own (the caller wrote the chain).
    int SaveAsXml(CXmlWriter& writer, const std::string& keyName, RegKey key,
                  const CRegValueItem* value);
    // The backup's type attribute for a registry type code.
    static std::string StringFromValueType(std::uint32_t type);

    // Deletion primitives; they return the registry status unchanged
    // (1 for a root name that is not one of the five).
    RegStatus RegDelKey(const std::string& rootName, const std::string& subKey);
    RegStatus RegDelKeyValue(const std::string& rootName, const std::string& subKey,
                             const std::string& valueName);
    // Deletes `subKey` below `parent` depth-first (for systems whose key
    // deletion refuses keys that still have sub-keys).
    RegStatus RegDeleteKeyNT(RegKey parent, const std::string& subKey);

    // The backup writer of the repair passes (made on first use, in repair/).
    CXmlWriter& BackupWriter();

    // --- restore side (repair/registry_restore.cpp) -------------------------
    // Where the restore shows its messages, cursors and file dialog (not
    // owned). Without one, messages are dropped and RestoreRegistry fails.
    void SetRestoreUi(IRestoreUi* ui) { restoreUi_ = ui; }
    IRestoreUi* GetRestoreUi() const { return restoreUi_; }
    // Lets the user pick a backup file, shows what it puts back and applies
    // it once the user confirms. False when the user cancelled or declined,
    // or the restore failed.
    bool RestoreRegistry();
    // Writes the keys, values and files of the backup file back. 1 only when
    // the file is a complete backup (its "registry" element closed) and all
    // of it was written; 0 otherwise, with the reason in LastRestore(). A
    // file that names a key, value or file outside the restore's areas
    // (SetRestoreAreas) is refused whole before anything is written. The
    // walk stops at the first malformed element (a parse error, an unknown
    // element, a key or value without a name, an unknown type name, a value
    // text its type does not read) and at a key that can be neither opened
    // nor created; a value or file that cannot be written gives a message
    // and the walk goes on. What was written before a failure stays written.
    int LoadAsXml(CXmlReader& reader, const std::string& path);
    const RestoreReport& LastRestore() const { return restoreReport_; }
    // Where the restore puts back files (not owned; null: the process's own).
    void SetRestoreFileSystem(IFileSystem* fileSystem) { restoreFs_ = fileSystem; }
    // The areas a backup may write into (not owned; null: the program's own,
    // RestoreAreas::Program()).
    void SetRestoreAreas(const RestoreAreas* areas) { restoreAreas_ = areas; }
    // Opens or creates the key the frames spell (root name first); null and a
    // message when it cannot be created, null without one for an unknown root.
    RegKey LoadAsXml_OpenKey(const std::vector<RestoreKeyFrame>& frames);
    void LoadAsXml_CloseKey(RegKey key);
    // Writes one value ("(Default)": the unnamed one) of the type and bytes
    // that the text and type name stand for. 1 when written; 0 after the
    // message "couldn't set value NAME"; -1 when the text or type name is not
    // what a backup holds (the reason in `error`, nothing written).
    int LoadAsXml_SetValue(RegKey key, const std::string& name, const std::string& text,
                           const std::string& typeName, std::string& error);
    // The type code for a backup's type attribute (REG_SZ for anything unknown).
    static std::uint32_t TypeFromString(const std::string& typeName);

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
    // The repair passes, run by FixRegistry in this order.
    void FixRegistryCLSID(ResultRows& rows);
    void FixRegistryHelp(ResultRows& rows);
    void FixRegistryFonts(ResultRows& rows);
    void FixRegistrySharedTools(ResultRows& rows);
    void FixRegistrySharedFiles(ResultRows& rows);
    void FixRegistryDrivers(ResultRows& rows);
    void FixRegistryAppPaths(ResultRows& rows);
    void FixRegistryUninstall(ResultRows& rows);
    void FixRegistryStartup(ResultRows& rows);

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
    IRegistry* baseRegistry_;
    std::unique_ptr<ViewRegistry> registry32_;
    RegView registryView_ = RegView::k64;
    ISystem* system_;
    std::string ignoreFile_;
    std::string ignoreListError_;
    bool ignoreListUnread_ = false;  // the file exists but could not be read
    // Shared ownership keeps the writer's type out of this header: the
    // engine is built without the repair side.
    std::shared_ptr<CXmlWriter> backupWriter_;
    IRestoreUi* restoreUi_ = nullptr;
    IFileSystem* restoreFs_ = nullptr;
    const RestoreAreas* restoreAreas_ = nullptr;
    RestoreReport restoreReport_;
    // The stored letter case of the keys a repair backs up, read once per
    // parent key (kept for one FixRegistry); made by the repair side.
    std::shared_ptr<StoredSubKeyNames> storedNames_;
};

// Backup value text to registry data by type code (the inverse of
// ConvertToString for the types a backup expresses).
std::vector<std::uint8_t> ConvertFromString(const std::string& text, std::uint32_t type);
// UTF-8 -> the ANSI code page (through UTF-16), in full.
std::string FromUTF8Conversion(const std::string& text);
// FromUTF8Conversion, then "&lt;", "&quot;" and "&amp;" back to their
// characters, each entity of the input replaced once.
std::string GetUnescapedXmlString(const std::string& text);

}  // namespace qm
