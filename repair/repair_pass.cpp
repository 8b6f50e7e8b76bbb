// CRegistryRepair::FixRegistry: backs up and removes the findings of the last
// scan, one pass per category, and fills in the result rows' errors fixed.
#include "repair/repair_pass.h"

#include <cstdio>

#include "repair/registry_repair.h"
#include "repair/xml_writer.h"
#include "platform/named_event.h"
#include "platform/registry_walk.h"

namespace qm {
namespace {

struct FixPass {
    const char* tag;  // the finding tag this pass selects, compared upper-cased
    const char* label;
    const char* keyCaption;
    const char* valueCaption;
    char valueSeparator;  // between root, sub-key and value name in progress reports
};

constexpr FixPass kFixCLSID{kTagCom, kLabelCom, "Fixing CLSID ", "Fixing CLSID ", '\n'};
constexpr FixPass kFixHelp{kTagHelp, kLabelHelp, "Fixing Help Files ", "Fixing Help Files ",
                           '\\'};
constexpr FixPass kFixFonts{kTagFonts, kLabelFonts, "Fixing fonts ", "Fixing fonts ", '\n'};
constexpr FixPass kFixSharedTools{kTagSharedTools, kLabelSharedTools, "Fixing Shared tools ",
                                  "Fixing Shared Tools ", '\n'};
constexpr FixPass kFixSharedFiles{kTagSharedDlls, kLabelSharedDlls, "Fixing Shared files ",
                                  "Fixing Shared files ", '\n'};
constexpr FixPass kFixDrivers{kTagDrivers, kLabelDrivers, "Fixing Drivers ", "Fixing Drivers ",
                              '\n'};
constexpr FixPass kFixAppPaths{kTagAppPaths, kLabelAppPaths, "Fixing Application Paths ",
                               "Fixing Application Paths ", '\n'};
constexpr FixPass kFixUninstall{kTagUninstall, kLabelUninstall, "Fixing Uninstall Entries ",
                                "Fixing Uninstall Entries ", '\n'};
constexpr FixPass kFixStartup{kTagStartup, kLabelStartup, "Fixing Startup Programs ",
                              "Fixing Startup Programs ", '\n'};

std::string UpperAscii(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

}  // namespace

std::string FormatBackupFileName(const std::tm& t) {
    const char* day = (t.tm_wday >= 0 && t.tm_wday < 7) ? kBackupDayNames[t.tm_wday] : "?";
    const char* month = (t.tm_mon >= 0 && t.tm_mon < 12) ? kBackupMonthNames[t.tm_mon] : "?";
    char buf[96];
    std::snprintf(buf, sizeof buf, "FixedOn%s%s%02d%04d%02d%02d%02d.xml", day, month, t.tm_mday,
                  t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
    return buf;
}

std::string MakeBackupFileName() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return FormatBackupFileName(local);
}

std::string CRegistryRepair::FixRegistry(ResultRows& rows, const std::string& backupFileName,
                                      const std::function<void(CXmlWriter&)>& beforeEnd) {
    CXmlWriter& writer = BackupWriter();
    writer.Close();  // a name takes effect only while the writer is closed
    writer.SetFileName(backupFileName);
    CXmlElement("registry").WriteStartTag(writer, 1, true, true);
    // Released at the end of this pass: the names of another run's keys
    // may have changed meanwhile.
    if (!storedNames_) storedNames_ = std::make_unique<StoredSubKeyNames>();
    struct ForgetNames {
        StoredSubKeyNames& names;
        ~ForgetNames() { names.End(); }
    } forget{*storedNames_};
    storedNames_->Begin();
    if (writer.WriteFailed()) {
        // No backup, no undo: nothing is removed.
        writer.Close();
        return writer.GetCreatedFileName();
    }
    try {
        FixRegistryCLSID(rows);
        FixRegistryHelp(rows);
        FixRegistryFonts(rows);
        FixRegistrySharedTools(rows);
        FixRegistrySharedFiles(rows);
        FixRegistryDrivers(rows);
        FixRegistryAppPaths(rows);
        FixRegistryUninstall(rows);
        FixRegistryStartup(rows);
        if (beforeEnd) beforeEnd(writer);
    } catch (...) {
        // Leave a well-formed file: every element still open is a key chain.
        while (writer.IndentLevel() > 1) CXmlElement::WriteEndTag("k", writer, -1, true, true);
        CXmlElement::WriteEndTag("registry", writer, -1, true, true);
        writer.Close();
        throw;
    }
    CXmlElement::WriteEndTag("registry", writer, -1, true, true);
    writer.Close();
    // The backup stays: it is what a restore gives back.
    return writer.GetCreatedFileName();
}

namespace {

// The key a finding's value lives in, opened to delete the value: 0 and the
// key (`held` owns it unless it is a root), or the failure.
RegStatus OpenValueKey(IRegistry& reg, const std::string& root, const std::string& subKey, RegKeyHandle& held,
                       RegKey* key) {
    const RegKey rootKey = RootKeyFromName(root);
    if (rootKey == kNullKey) return kRegInvalidFunction;
    const RegStatus status =
        reg.RegOpenKeyExA(rootKey, subKey.c_str(), kKeySetValue | kKeyQueryValue, held.Receive(reg));
    if (status != kRegSuccess) return status;
    if (held.Get() == rootKey) held.Release();  // the root itself, not ours to close
    *key = held ? held.Get() : rootKey;
    return kRegSuccess;
}

// One pass: every finding with the pass's tag is backed up, then deleted.
// Success counts +1, access denied -1, anything else 0. The backup holds what
// is removed and nothing else: a key or value that is gone already, or that
// may not be deleted, is left out of it.
std::int32_t RunFixPass(CRegistryRepair& repair, const FixPass& pass) {
    const std::string tag = UpperAscii(pass.tag);
    CRegistryLib& lib = repair.Engine();
    const ScanProgressCallback progress = lib.GetProgressCallback();
    const NamedEvent stop(kStopEventName);
    std::int32_t fixed = 0;
    for (const auto& finding : lib.Findings()) {
        if (!finding || UpperAscii(finding->GetCategory()) != tag) continue;
        // A stop ends the pass between two entries: the one in hand is
        // backed up and deleted whole, and the backup is closed as usual.
        if (stop.IsSignalled()) break;
        // The backup and the deletion act in the view the finding was found in.
        const RegView view = finding->GetView();
        IRegistry& registry = repair.Registry(view);
        const std::string keyPath = finding->GetKeyPath();
        const ClassesHive hive = finding->GetClassesHive();
        // Progress names the key as the finding does; the backup and the
        // deletion act on it in its own hive when it has one.
        std::string shownKey = keyPath;
        const std::string shownRoot = CRegistryLib::SeperateMainKey(shownKey);
        std::string subKey = ClassesHivePath(keyPath, hive);
        const std::string root = CRegistryLib::SeperateMainKey(subKey);
        RegStatus status;
        // Nothing is removed once the backup has lost a write: what would be
        // removed might not be in it.
        CXmlWriter& writer = repair.BackupWriter();
        if (finding->GetRemoveKind() == kRemoveKey) {
            // A key goes whole or not at all, and the backup holds exactly
            // what goes: first make sure every key of the tree can be
            // deleted, then back it up (read whole before anything is
            // written), then delete it.
            const RegKey rootKey = RootKeyFromName(root);
            status = rootKey == kNullKey ? kRegInvalidFunction
                                         : CheckDeleteTree(registry, rootKey, subKey);
            if (status == kRegSuccess) {
                const int saved = repair.SaveAsXml(writer, keyPath, nullptr, hive, view);
                if (writer.WriteFailed()) continue;
                status = saved == 0 ? kRegMoreData : repair.RegDelKey(root, subKey, view);
            }
            if (progress) progress(shownRoot + "\n" + shownKey, pass.keyCaption, 0, 0);
            // A key that is gone already (or never was) was not fixed; one
            // that stays because its tree could not be read or deleted whole
            // counts against the row, as a refused deletion does.
            if (status == kRegSuccess) ++fixed;
            else if (status != kRegFileNotFound && status != kRegInvalidFunction) --fixed;
            continue;
        }
        const CRegValueItem* value = finding->GetValue();
        // Without its value record a finding names no value; deleting ""
        // would remove the key's unnamed value instead.
        if (value == nullptr) continue;
        // The unnamed value is shown as "(Default)", but a value may
        // really carry that name: delete the one the finding is about.
        const char* const name = value->isDefault ? "" : value->name.c_str();
        RegKeyHandle held;
        RegKey key = kNullKey;
        status = OpenValueKey(registry, root, subKey, held, &key);
        if (status == kRegSuccess) status = registry.RegQueryValueExA(key, name, nullptr, nullptr, nullptr);
        if (status == kRegSuccess) {
            repair.SaveAsXml(writer, keyPath, value, hive, view);
            if (writer.WriteFailed()) continue;
        }
        if (progress)
            progress(shownRoot + pass.valueSeparator + shownKey + pass.valueSeparator + value->name,
                     pass.valueCaption, 0, 0);
        if (status == kRegSuccess) status = registry.RegDeleteValueA(key, name);
        if (status == kRegSuccess) ++fixed;
        else if (status == kRegAccessDenied) --fixed;
    }
    return fixed;
}

void StoreFixed(ResultRows& rows, const char* label, std::int32_t fixed) {
    for (auto& row : rows)
        if (row && row->label == label) row->errorsFixed = fixed;
}

}  // namespace

void CRegistryRepair::FixRegistryCLSID(ResultRows& rows) {
    StoreFixed(rows, kFixCLSID.label, RunFixPass(*this, kFixCLSID));
}
void CRegistryRepair::FixRegistryHelp(ResultRows& rows) {
    StoreFixed(rows, kFixHelp.label, RunFixPass(*this, kFixHelp));
}
void CRegistryRepair::FixRegistryFonts(ResultRows& rows) {
    StoreFixed(rows, kFixFonts.label, RunFixPass(*this, kFixFonts));
}
void CRegistryRepair::FixRegistrySharedTools(ResultRows& rows) {
    StoreFixed(rows, kFixSharedTools.label, RunFixPass(*this, kFixSharedTools));
}
void CRegistryRepair::FixRegistrySharedFiles(ResultRows& rows) {
    StoreFixed(rows, kFixSharedFiles.label, RunFixPass(*this, kFixSharedFiles));
}
void CRegistryRepair::FixRegistryDrivers(ResultRows& rows) {
    StoreFixed(rows, kFixDrivers.label, RunFixPass(*this, kFixDrivers));
}
void CRegistryRepair::FixRegistryAppPaths(ResultRows& rows) {
    StoreFixed(rows, kFixAppPaths.label, RunFixPass(*this, kFixAppPaths));
}
void CRegistryRepair::FixRegistryUninstall(ResultRows& rows) {
    StoreFixed(rows, kFixUninstall.label, RunFixPass(*this, kFixUninstall));
}
void CRegistryRepair::FixRegistryStartup(ResultRows& rows) {
    StoreFixed(rows, kFixStartup.label, RunFixPass(*this, kFixStartup));
}

}  // namespace qm
