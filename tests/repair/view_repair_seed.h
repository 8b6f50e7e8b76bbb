// A scan-then-repair-then-restore over entries of both registry views, shared
// by the test on the in-memory registry and the one on the real registry
// (Wine's 64-bit prefix). Broken 32-bit entries name files under C:\QmGone32;
// their intact twins name files only a 32-bit program finds:
// C:\Windows\System32\qmview32.* (there only in SysWOW64), %ProgramFiles%
// and %CommonProgramFiles% (there only below Program Files (x86)). A 64-bit
// entry naming System32\qmview32.exe is broken, one naming qmview64.dll (in
// System32 only) is not. An App Paths entry written in the 32-bit view lands
// in the key both views share and is found once, in the 64-bit view.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/registry_lib.h"
#include "platform/registry_view.h"
#include "repair/keep_selection.h"
#include "repair/registry_repair.h"
#include "repair/xml_reader.h"
#include "scan_repair_seed.h"

namespace qm::test {

// The files the seeds rely on, as a 64-bit program names them (below the
// Windows folder `windows`).
inline std::vector<std::string> ViewSeedFiles(const std::string& windows) {
    return {windows + "\\SysWOW64\\qmview32.dll", windows + "\\SysWOW64\\qmview32.exe",
            windows + "\\System32\\qmview64.dll", "C:\\Program Files (x86)\\QmView\\qmview.exe",
            "C:\\Program Files (x86)\\Common Files\\QmView\\tool.exe"};
}

struct ViewSeedValue {
    RegView view;
    SeedValue value;
};

const char* const kGone32Class = "{51A1D032-0000-4000-8000-00000000000A}";
const char* const kOk32Class = "{51A1D032-0000-4000-8000-00000000000B}";
const char* const kOk64Class = "{51A1D064-0000-4000-8000-00000000000C}";

inline const std::vector<ViewSeedValue>& ViewSeedValues() {
    const RegView v32 = RegView::k32, v64 = RegView::k64;
    const std::string gone = kGone32Class, ok = kOk32Class, ok64 = kOk64Class;
    static const std::vector<ViewSeedValue> values = {
        {v32, {kClsid, gone, "", kRegSz, Sz("Qm Gone 32 Class")}},
        {v32, {kClsid, gone + "\\InprocServer32", "", kRegSz, Sz("C:\\QmGone32\\com.dll")}},
        {v32, {kClsid, gone + "\\ProgID", "", kRegSz, Sz("Qm.Gone32.1")}},
        {v32, {kClsid, ok + "\\InprocServer32", "", kRegSz, Sz("C:\\Windows\\System32\\qmview32.dll")}},
        {v64, {kClsid, ok64 + "\\InprocServer32", "", kRegSz, Sz("C:\\Windows\\System32\\qmview64.dll")}},
        {v32, {kHelp, "", "qmgone32.hlp", kRegSz, Sz("C:\\QmGone32\\")}},
        {v32, {kHelp, "", "qmview32.dll", kRegSz, Sz("C:\\Windows\\System32\\")}},
        {v32, {kAppPaths, "qmgone32.exe", "", kRegSz, Sz("C:\\QmGone32\\app.exe")}},
        {v32, {kTools, "QmGone32Tool", "Path", kRegSz, Sz("C:\\QmGone32\\tool.exe")}},
        {v32, {kTools, "QmOk32Tool", "Path", kRegSz, Sz("%CommonProgramFiles%\\QmView\\tool.exe")}},
        {v32, {kShared, "", "C:\\QmGone32\\shared.dll", kRegDword, Dw(2)}},
        {v32, {kShared, "", "C:\\Windows\\System32\\qmview32.dll", kRegDword, Dw(1)}},
        {v32, {kDrivers, "", "msacm.qmgone32", kRegSz, Sz("qmgone32.acm")}},
        {v32, {kDrivers, "", "msacm.qmok32", kRegSz, Sz("qmview32.dll")}},
        {v32, {kUninstall, "qmgone32app", "UninstallString", kRegSz, Sz("\"C:\\QmGone32\\uninst.exe\" /S")}},
        {v32, {kUninstall, "qmok32app", "UninstallString", kRegSz, Sz("\"C:\\Windows\\System32\\qmview32.exe\" /x")}},
        {v32, {kRun, "", "QmGone32Start", kRegSz, Sz("\"C:\\QmGone32\\start.exe\" /min")}},
        {v32, {kRun, "", "QmOk32Start", kRegSz, Sz("\"%ProgramFiles%\\QmView\\qmview.exe\" /min")}},
        {v64, {kRun, "", "QmGone64Start", kRegSz, Sz("C:\\Windows\\System32\\qmview32.exe")}},
        {v64, {kRun, "", "QmOk64Start", kRegSz, Sz("C:\\Windows\\System32\\qmview64.dll")}},
    };
    return values;
}

struct ViewSeedRemoval {
    RegView view;  // the view the finding is made and repaired in
    SeedRemoval removal;
};

inline const std::vector<ViewSeedRemoval>& ViewSeedRemovals() {
    const RegView v32 = RegView::k32, v64 = RegView::k64;
    static const std::vector<ViewSeedRemoval> removals = {
        {v32, {kClsid, kGone32Class, "", "Invalid CLSID"}},
        {v32, {kHelp, "", "qmgone32.hlp", "Corrupt Help Files"}},
        {v64, {kAppPaths, "qmgone32.exe", "", "Invalid Application Paths"}},
        {v32, {kTools, "QmGone32Tool", "", "Invalid Shared Tools"}},
        {v32, {kShared, "", "C:\\QmGone32\\shared.dll", "Corrupt Shared Files"}},
        {v32, {kDrivers, "", "msacm.qmgone32", "Missing Drivers"}},
        {v32, {kUninstall, "qmgone32app", "UninstallString", "Invalid Uninstall Entries"}},
        {v32, {kRun, "", "QmGone32Start", "Invalid Startup Programs"}},
        {v64, {kRun, "", "QmGone64Start", "Invalid Startup Programs"}},
    };
    return removals;
}

inline void SeedViews(IRegistry& reg) {
    ViewRegistry in32(reg, RegView::k32);
    for (const ViewSeedValue& s : ViewSeedValues()) {
        IRegistry& r = s.view == RegView::k32 ? static_cast<IRegistry&>(in32) : reg;
        RegKey root;
        std::string sub;
        SplitFull(Join(SeedAreas()[s.value.area], s.value.key), &root, &sub);
        RegKey k = kNullKey;
        ASSERT_EQ(r.RegCreateKeyExA(root, sub.c_str(), &k, nullptr), kRegSuccess) << sub;
        RegKeyHandle h(r, k);
        ASSERT_EQ(r.RegSetValueExA(k, s.value.name.c_str(), s.value.type, s.value.data.data(),
                                   static_cast<std::uint32_t>(s.value.data.size())),
                  kRegSuccess)
            << sub << " " << s.value.name;
    }
}

// Removes what SeedViews made (for the real registry).
inline void UnseedViews(IRegistry& reg) {
    ViewRegistry in32(reg, RegView::k32);
    for (const ViewSeedValue& s : ViewSeedValues()) {
        IRegistry& r = s.view == RegView::k32 ? static_cast<IRegistry&>(in32) : reg;
        RegKey root;
        std::string sub;
        SplitFull(SeedAreas()[s.value.area], &root, &sub);
        RegKey k = kNullKey;
        if (r.RegOpenKeyExA(root, sub.c_str(), kKeyAllAccess, &k) != kRegSuccess) continue;
        RegKeyHandle h(r, k);
        if (!s.value.key.empty())
            DeleteTree(r, k, s.value.key.substr(0, s.value.key.find('\\')));
        else
            r.RegDeleteValueA(k, s.value.name.c_str());
    }
}

inline bool IsViewSeedFinding(const CRegErrorLog& f) {
    const std::string p = Upper(f.GetFilePath()) + "|" + Upper(f.GetKeyPath());
    return p.find("QMGONE32") != std::string::npos || p.find("QMVIEW") != std::string::npos ||
           p.find("QMOK") != std::string::npos || p.find("{51A1D0") != std::string::npos;
}

// Both views' areas: the 64-bit ones, then the 32-bit ones.
inline AreaSnapshots SnapshotBothViews(IRegistry& reg) {
    AreaSnapshots out = SnapshotAreas(reg);
    ViewRegistry in32(reg, RegView::k32);
    const AreaSnapshots other = SnapshotAreas(in32);
    out.insert(out.end(), other.begin(), other.end());
    return out;
}

// Scan, keep every finding that is not a seeded one, repair, check, restore,
// check again.
inline void ViewScanThenRepair(CRegistryRepair& repair, IRegistry& reg, const std::string& backupName) {
    CRegistryLib& lib = repair.Engine();
    const AreaSnapshots before = SnapshotBothViews(reg);

    ResultRows rows;
    ScanCategoryStates states;
    for (int slot : {1, 3, 4, 5, 6, 7, 8, 9, 11}) states[slot] = 1;
    lib.ScanRegistry(rows, states);
    ASSERT_EQ(rows.size(), 9u);

    // Exactly the seeded broken entries, each once, in its view.
    std::vector<bool> ticked;
    std::vector<std::string> found, wanted;
    for (const auto& f : lib.Findings()) {
        ticked.push_back(IsViewSeedFinding(*f));
        if (ticked.back()) found.push_back(std::string(ViewName(f->GetView())) + " " + Upper(f->GetKeyPath()) +
                                           " [" + f->GetValue()->name + "]");
    }
    for (const ViewSeedRemoval& r : ViewSeedRemovals()) {
        const bool key = r.removal.value.empty();
        wanted.push_back(std::string(ViewName(r.view)) + " " +
                         Upper(Join(SeedAreas()[r.removal.area], r.removal.key)) + " [" +
                         (key ? r.removal.area == kTools ? "Path" : "(Default)" : r.removal.value) + "]");
    }
    std::sort(found.begin(), found.end());
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(found, wanted);
    KeepUntickedRows(lib, nullptr, ticked, lib);

    const std::string file = repair.FixRegistry(rows, backupName);
    ASSERT_EQ(file, backupName);

    // Each removal gone from its own view; everything else as it was.
    AreaSnapshots expected = before;
    const std::size_t areas = SeedAreas().size();
    for (const ViewSeedRemoval& vr : ViewSeedRemovals()) {
        const SeedRemoval& r = vr.removal;
        // A key both views share shows in both snapshots.
        for (const std::size_t base : {std::size_t(0), areas}) {
            const bool inView = (base == 0) == (vr.view == RegView::k64);
            const bool shared = r.area == kAppPaths;
            if (!inView && !shared) continue;
            TreeSnapshot& area = expected[base + r.area];
            if (r.value.empty()) {
                for (auto it = area.begin(); it != area.end();)
                    it = (it->first == r.key || it->first.rfind(r.key + "\\", 0) == 0) ? area.erase(it)
                                                                                         : std::next(it);
            } else {
                EXPECT_EQ(area.at(r.key).erase(r.value), 1u) << r.value;
            }
        }
    }
    const AreaSnapshots after = SnapshotBothViews(reg);
    for (std::size_t i = 0; i < after.size(); ++i)
        EXPECT_TRUE(after[i] == expected[i]) << (i < areas ? "64 " : "32 ") << SeedAreas()[i % areas];

    // The backup marks the keys of the 32-bit view.
    const std::string bytes = ReadFileBytes(file);
    EXPECT_TRUE(ParseBackup(bytes).wellFormed);
    EXPECT_NE(bytes.find("<k name=\"HKEY_CLASSES_ROOT\" view=\"32\">"), std::string::npos);
    EXPECT_NE(bytes.find("<k name=\"HKEY_LOCAL_MACHINE\" view=\"32\">"), std::string::npos);

    CXmlReader reader;
    EXPECT_EQ(repair.LoadAsXml(reader, file), 1) << repair.LastRestore().Describe();
    const AreaSnapshots restored = SnapshotBothViews(reg);
    for (std::size_t i = 0; i < restored.size(); ++i)
        EXPECT_TRUE(restored[i] == before[i]) << (i < areas ? "64 " : "32 ") << SeedAreas()[i % areas];
}

}  // namespace qm::test
