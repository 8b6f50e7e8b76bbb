// CRegistryRepair: the backup, the deletions and the restore, working through
// the registry of an engine object (CRegistryLib) and on the findings of its
// last scan. Every operation names the registry view it acts in: a finding's
// own view for the repair, the backup's "view" attribute for the restore.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/records.h"
#include "engine/registry_lib.h"
#include "platform/registry.h"
#include "platform/registry_view.h"

namespace qm {

class CXmlReader;
class CXmlWriter;
class IFileSystem;
class IRestoreUi;
class RestoreAreas;
class StoredSubKeyNames;

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

class CRegistryRepair {
public:
    // Works through `engine`'s registry and on its findings; `engine` must
    // outlive this object.
    explicit CRegistryRepair(CRegistryLib& engine);
    ~CRegistryRepair();
    CRegistryRepair(const CRegistryRepair&) = delete;
    CRegistryRepair& operator=(const CRegistryRepair&) = delete;

    CRegistryLib& Engine() { return engine_; }
    // The engine's registry seen in `view` (every call of the 32-bit one
    // carries the 32-bit flag).
    IRegistry& Registry(RegView view = RegView::k64);

    // --- repair ------------------------------------------------------------
    // Backs up and deletes every finding that still has a key path, one pass
    // per category, each in the finding's own view, and writes each pass's
    // count into the errors-fixed field of the row with that category's
    // label. Returns the name of the backup file created (the given name, or
    // the given name with a counter when a file of that name existed
    // already); "" when none could be created, in which case nothing is
    // removed. Once a write to the backup fails, no further finding is
    // removed (BackupWriter().WriteFailed() tells).
    // `beforeEnd`, when given, runs after the passes and before the backup's
    // "registry" element is closed, so that it can add to the backup (the
    // shortcut files the repair deletes next). A stop request ends it between
    // two findings; the backup is still closed whole.
    std::string FixRegistry(ResultRows& rows, const std::string& backupFileName,
                            const std::function<void(CXmlWriter&)>& beforeEnd = {});

    // Appends the key named by `keyPath` (root name first), read in `view`,
    // to the backup: the chain of "k" elements down to it, then either
    // `value` alone or all its values, then its whole sub-key tree. 1 when
    // written, 0 when the key does not open (nothing written) or a key's
    // information could not be read (every element opened is still closed).
    // A key of HKEY_CLASSES_ROOT with a `hive` is read from that hive alone
    // (ClassesHivePath) and its chain's root element says which (the
    // attribute "hive"); a key of the 32-bit view says so too ("view").
    int SaveAsXml(CXmlWriter& writer, const std::string& keyPath, const CRegValueItem* value,
                  ClassesHive hive = ClassesHive::kMerged, RegView view = RegView::k64);
    // The recursive worker for one open key (opened in `view`); an empty
    // `keyName` writes no element of its own (the caller wrote the chain).
    int SaveAsXml(CXmlWriter& writer, const std::string& keyName, RegKey key,
                  const CRegValueItem* value, RegView view = RegView::k64);
    // The backup's type attribute for a registry type code.
    static std::string StringFromValueType(std::uint32_t type);

    // Deletion primitives, each in `view`; they return the registry status
    // unchanged (1 for a root name that is not one of the five).
    RegStatus RegDelKey(const std::string& rootName, const std::string& subKey,
                        RegView view = RegView::k64);
    RegStatus RegDelKeyValue(const std::string& rootName, const std::string& subKey,
                             const std::string& valueName, RegView view = RegView::k64);
    // Deletes `subKey` below `parent` depth-first (for systems whose key
    // deletion refuses keys that still have sub-keys).
    RegStatus RegDeleteKeyNT(RegKey parent, const std::string& subKey, RegView view = RegView::k64);

    // The backup writer of the repair passes (made on first use).
    CXmlWriter& BackupWriter();

    // --- restore (registry_restore.cpp) ------------------------------------
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
    // Opens or creates the key the frames spell (root name first), in the
    // view of the root frame; null and a message when it cannot be created,
    // null without one for an unknown root.
    RegKeyHandle LoadAsXml_OpenKey(const std::vector<RestoreKeyFrame>& frames);
    // Writes one value ("(Default)": the unnamed one) of the type and bytes
    // that the text and type name stand for. 1 when written; 0 after the
    // message "couldn't set value NAME"; -1 when the text or type name is not
    // what a backup holds (the reason in `error`, nothing written).
    int LoadAsXml_SetValue(RegKey key, const std::string& name, const std::string& text,
                           const std::string& typeName, std::string& error);
    // The type code for a backup's type attribute (REG_SZ for anything unknown).
    static std::uint32_t TypeFromString(const std::string& typeName);

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

private:
    CRegistryLib& engine_;
    std::unique_ptr<ViewRegistry> registry32_;  // the engine's registry in the 32-bit view, made on first use
    std::unique_ptr<CXmlWriter> backupWriter_;
    IRestoreUi* restoreUi_ = nullptr;
    IFileSystem* restoreFs_ = nullptr;
    const RestoreAreas* restoreAreas_ = nullptr;
    RestoreReport restoreReport_;
    // The stored letter case of the keys a repair backs up, read once per
    // parent key (kept for one FixRegistry).
    std::unique_ptr<StoredSubKeyNames> storedNames_;
};

// Backup value text to registry data by type code (the inverse of
// ConvertToString for the types a backup expresses).
std::vector<std::uint8_t> ConvertFromString(const std::string& text, std::uint32_t type);
// The same into `data`, whose storage is used again.
void ConvertFromStringInto(const std::string& text, std::uint32_t type, std::vector<std::uint8_t>& data);
// UTF-8 -> the ANSI code page (through UTF-16), in full.
std::string FromUTF8Conversion(const std::string& text);
// FromUTF8Conversion, then "&lt;", "&quot;" and "&amp;" back to their
// characters, each entity of the input replaced once.
std::string GetUnescapedXmlString(const std::string& text);

}  // namespace qm
