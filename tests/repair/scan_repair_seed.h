// A scan-then-repair run over seeded registry entries, shared by the test on
// the in-memory registry and the one on the real registry (Wine): entries of
// every category naming missing files under C:\QmGone, entries naming a file
// that exists, and a key no scan looks at. Checks that exactly the seeded
// findings are removed, each counted in its own row, that everything else is
// untouched, that the backup holds each removed entry once, and that
// restoring the backup gives back the registry as it was.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "backup_test_util.h"
#include "engine/registry_lib.h"
#include "repair/keep_selection.h"
#include "repair/registry_repair.h"
#include "repair/xml_reader.h"
#include "tests/restore/restore_test_util.h"

namespace qm::test {

const char* const kPresentFile = "C:\\windows\\system32\\kernel32.dll";

// The areas compared before and after (full key paths).
inline const std::vector<std::string>& SeedAreas() {
    static const std::vector<std::string> areas = {
        "HKEY_CLASSES_ROOT\\CLSID",
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\Help",
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools",
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32",
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Currentversion\\Uninstall",
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Currentversion\\Run",
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\QmUntouched",
    };
    return areas;
}
enum SeedArea { kClsid, kHelp, kAppPaths, kTools, kFonts, kShared, kDrivers, kUninstall, kRun, kOther };

struct SeedValue {
    int area;
    std::string key;  // below the area ("" = the area key itself)
    std::string name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
};

inline std::vector<std::uint8_t> Sz(const std::string& s) {
    std::vector<std::uint8_t> v(s.begin(), s.end());
    v.push_back(0);
    return v;
}
inline std::vector<std::uint8_t> Dw(std::uint32_t x) {
    return {std::uint8_t(x), std::uint8_t(x >> 8), std::uint8_t(x >> 16), std::uint8_t(x >> 24)};
}

const char* const kGoneClass = "{51A1D000-0000-4000-8000-00000000000A}";
const char* const kOkClass = "{51A1D000-0000-4000-8000-00000000000B}";

inline const std::vector<SeedValue>& SeedValues() {
    const std::string gone = std::string(kGoneClass);
    const std::string ok = std::string(kOkClass);
    static const std::vector<SeedValue> values = {
        {kClsid, gone, "", kRegSz, Sz("Qm Gone Class")},
        {kClsid, gone, "AppID", kRegSz, Sz("{51A1D000-0000-4000-8000-0000000000FF}")},
        {kClsid, gone + "\\InprocServer32", "", kRegExpandSz, Sz("C:\\QmGone\\com.dll")},
        {kClsid, gone + "\\InprocServer32", "ThreadingModel", kRegSz, Sz("Both")},
        {kClsid, gone + "\\ProgID", "", kRegSz, Sz("Qm.Gone.1")},
        {kClsid, gone + "\\Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}", "",
         kRegSz, Sz("")},
        {kClsid, ok, "", kRegSz, Sz("Qm Ok Class")},
        {kClsid, ok + "\\InprocServer32", "", kRegSz, Sz(kPresentFile)},
        {kHelp, "", "qmgone.hlp", kRegSz, Sz("C:\\QmGone\\")},
        {kHelp, "", "kernel32.dll", kRegSz, Sz("C:\\windows\\system32\\")},
        {kAppPaths, "qmgone.exe", "", kRegSz, Sz("C:\\QmGone\\app.exe")},
        {kAppPaths, "qmgone.exe", "UseUrl", kRegDword, Dw(1)},
        {kAppPaths, "qmok.exe", "", kRegSz, Sz(kPresentFile)},
        {kTools, "QmGoneTool", "Path", kRegSz, Sz("C:\\QmGone\\tool.exe")},
        {kTools, "QmGoneTool\\Options", "Blob", kRegBinary, {0x00, 0x01, 0xfe, 0xff}},
        {kTools, "QmGoneTool\\Options", "Big", kRegQword, {1, 2, 3, 4, 5, 6, 7, 8}},
        {kTools, "QmOkTool", "Path", kRegSz, Sz(kPresentFile)},
        {kFonts, "", "Qm Gone (TrueType)", kRegSz, Sz("C:\\QmGone\\gone.ttf")},
        {kFonts, "", "Qm Ok (TrueType)", kRegSz, Sz(kPresentFile)},
        {kShared, "", "C:\\QmGone\\shared.dll", kRegDword, Dw(3)},
        {kShared, "", kPresentFile, kRegDword, Dw(1)},
        {kDrivers, "", "msacm.qmgone", kRegSz, Sz("qmgone.acm")},
        {kDrivers, "", "msacm.qmok", kRegSz, Sz("kernel32.dll")},
        {kUninstall, "qmgoneapp", "UninstallString", kRegSz, Sz("\"C:\\QmGone\\uninst.exe\" /S")},
        {kUninstall, "qmgoneapp", "DisplayName", kRegSz, Sz("Qm Gone App")},
        {kUninstall, "qmokapp", "UninstallString", kRegSz, Sz(kPresentFile)},
        {kRun, "", "QmGoneStart", kRegSz, Sz("\"C:\\QmGone\\start.exe\" /min")},
        {kRun, "", "QmOkStart", kRegSz, Sz(kPresentFile)},
        {kOther, "", "Keep", kRegMultiSz, {'a', 0, 'b', 0, 0}},
        {kOther, "Sub", "", kRegBinary, {0x0a, 0x00, 0x0b}},
    };
    return values;
}

// What the repair must remove: a key (with its tree) or one value.
struct SeedRemoval {
    int area;
    std::string key;
    std::string value;  // "" for a key removal
    const char* label;
};

inline const std::vector<SeedRemoval>& SeedRemovals() {
    static const std::vector<SeedRemoval> removals = {
        {kClsid, kGoneClass, "", "Invalid CLSID"},
        {kHelp, "", "qmgone.hlp", "Corrupt Help Files"},
        {kAppPaths, "qmgone.exe", "", "Invalid Application Paths"},
        {kTools, "QmGoneTool", "", "Invalid Shared Tools"},
        {kFonts, "", "Qm Gone (TrueType)", "Corrupt Fonts"},
        {kShared, "", "C:\\QmGone\\shared.dll", "Corrupt Shared Files"},
        {kDrivers, "", "msacm.qmgone", "Missing Drivers"},
        {kUninstall, "qmgoneapp", "UninstallString", "Invalid Uninstall Entries"},
        {kRun, "", "QmGoneStart", "Invalid Startup Programs"},
    };
    return removals;
}

inline std::string Join(const std::string& a, const std::string& b) {
    return b.empty() ? a : a + "\\" + b;
}

inline void SplitFull(const std::string& full, RegKey* root, std::string* sub) {
    std::string rest = full;
    *root = RootKeyFromName(CRegistryLib::SeperateMainKey(rest));
    *sub = rest;
}

inline void SeedRegistry(IRegistry& reg) {
    for (const SeedValue& v : SeedValues()) {
        RegKey root;
        std::string sub;
        SplitFull(Join(SeedAreas()[v.area], v.key), &root, &sub);
        RegKey k = kNullKey;
        ASSERT_EQ(reg.RegCreateKeyExA(root, sub.c_str(), &k, nullptr), kRegSuccess) << sub;
        RegKeyHandle h(reg, k);
        ASSERT_EQ(reg.RegSetValueExA(k, v.name.c_str(), v.type, v.data.data(),
                                     static_cast<std::uint32_t>(v.data.size())),
                  kRegSuccess)
            << sub << " " << v.name;
    }
}

// Removes what SeedRegistry made (for the real registry).
inline void UnseedRegistry(IRegistry& reg) {
    for (const SeedValue& v : SeedValues()) {
        RegKey root;
        std::string sub;
        SplitFull(SeedAreas()[v.area], &root, &sub);
        if (!v.key.empty()) {
            const std::string top = v.key.substr(0, v.key.find('\\'));
            RegKey parent = kNullKey;
            if (reg.RegOpenKeyExA(root, sub.c_str(), kKeyAllAccess, &parent) == kRegSuccess) {
                RegKeyHandle h(reg, parent);
                DeleteTree(reg, parent, top);
            }
        } else if (v.area == kOther || v.area == kHelp) {
            DeleteTree(reg, root, sub);
        } else {
            RegKey k = kNullKey;
            if (reg.RegOpenKeyExA(root, sub.c_str(), kKeyAllAccess, &k) == kRegSuccess) {
                RegKeyHandle h(reg, k);
                reg.RegDeleteValueA(k, v.name.c_str());
            }
        }
    }
}

using AreaSnapshots = std::vector<TreeSnapshot>;

inline AreaSnapshots SnapshotAreas(IRegistry& reg) {
    AreaSnapshots out;
    for (const std::string& area : SeedAreas()) {
        RegKey root;
        std::string sub;
        SplitFull(area, &root, &sub);
        out.push_back(Snapshot(reg, root, sub));
    }
    return out;
}

inline bool IsSeededFinding(const CRegErrorLog& f) {
    std::string p = f.GetFilePath();
    for (char& c : p) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return p.find("qmgone") != std::string::npos;
}

inline std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The backup entries (see CollectEntries) the removal of `r` must produce,
// key paths upper-cased.
inline std::vector<std::string> ExpectedBackupEntries(const TreeSnapshot& area,
                                                      const std::string& areaPath,
                                                      const SeedRemoval& r) {
    std::vector<std::string> out;
    auto entry = [&](const std::string& rel, const std::string& name, const ValueSnapshot& v) {
        const std::string text = ConvertToString(v.type, v.bytes.data(), v.bytes.size());
        const std::string type = (v.type == kRegNone || v.type == kRegSz)
                                     ? std::string("-")
                                     : CRegistryRepair::StringFromValueType(v.type);
        return Upper(Join(areaPath, rel)) + "|" + (name.empty() ? "(Default)" : name) + "=" + text +
               "|" + type;
    };
    if (!r.value.empty()) {
        out.push_back(entry(r.key, r.value, area.at(r.key).at(r.value)));
        return out;
    }
    for (const auto& [rel, values] : area) {
        if (!(rel == r.key || rel.rfind(r.key + "\\", 0) == 0)) continue;
        for (const auto& [name, v] : values) out.push_back(entry(rel, name, v));
    }
    return out;
}

inline std::vector<std::string> UpperKeyPaths(std::vector<std::string> entries) {
    for (std::string& e : entries) {
        const auto bar = e.find('|');
        e = Upper(e.substr(0, bar)) + e.substr(bar);
    }
    return entries;
}

// Scan, keep every finding that is not a seeded one (a real registry has
// findings of its own), repair, check, restore, check again.
inline void ScanThenRepair(CRegistryRepair& repair, IRegistry& reg, const std::string& backupName) {
    CRegistryLib& lib = repair.Engine();
    const AreaSnapshots before = SnapshotAreas(reg);

    ResultRows rows;
    ScanCategoryStates states;
    for (int slot : {1, 3, 4, 5, 6, 7, 8, 9, 11}) states[slot] = 1;
    lib.ScanRegistry(rows, states);
    ASSERT_EQ(rows.size(), 9u);

    std::vector<bool> ticked;
    std::vector<std::string> seededTags;
    for (const auto& f : lib.Findings()) {
        ticked.push_back(IsSeededFinding(*f));
        if (ticked.back()) seededTags.push_back(f->GetCategory() + " " + f->GetKeyPath());
    }
    // Each seeded missing file gives exactly one finding.
    EXPECT_EQ(seededTags.size(), SeedRemovals().size()) << ::testing::PrintToString(seededTags);
    KeepUntickedRows(lib, nullptr, ticked, lib);

    const std::string file = repair.FixRegistry(rows, backupName);
    ASSERT_EQ(file, backupName);

    // Rows: each category's own removal, nothing else.
    for (const auto& row : rows) EXPECT_EQ(row->errorsFixed, 1) << row->label;

    // Registry: the removals gone, everything else as it was.
    AreaSnapshots expected = before;
    for (const SeedRemoval& r : SeedRemovals()) {
        TreeSnapshot& area = expected[r.area];
        if (r.value.empty()) {
            for (auto it = area.begin(); it != area.end();)
                it = (it->first == r.key || it->first.rfind(r.key + "\\", 0) == 0) ? area.erase(it)
                                                                                     : std::next(it);
        } else {
            ASSERT_EQ(area.at(r.key).erase(r.value), 1u) << r.value;
        }
    }
    const AreaSnapshots after = SnapshotAreas(reg);
    for (std::size_t i = 0; i < after.size(); ++i)
        EXPECT_TRUE(after[i] == expected[i]) << SeedAreas()[i];

    // Backup: well-formed, and each removed entry in it exactly once.
    const std::string bytes = ReadFileBytes(file);
    const ParsedBackup parsed = ParseBackup(bytes);
    EXPECT_TRUE(parsed.wellFormed) << parsed.error;
    const std::vector<std::string> entries = UpperKeyPaths(BackupEntries(bytes));
    for (const SeedRemoval& r : SeedRemovals()) {
        const auto wanted = ExpectedBackupEntries(before[r.area], SeedAreas()[r.area], r);
        EXPECT_FALSE(wanted.empty());
        for (const std::string& e : wanted) EXPECT_EQ(CountOf(entries, e), 1u) << e;
    }

    // Restoring the backup gives the registry back as it was.
    CXmlReader reader;
    EXPECT_EQ(repair.LoadAsXml(reader, file), 1);
    const AreaSnapshots restored = SnapshotAreas(reg);
    for (std::size_t i = 0; i < restored.size(); ++i)
        EXPECT_TRUE(restored[i] == before[i]) << SeedAreas()[i];
}

}  // namespace qm::test
