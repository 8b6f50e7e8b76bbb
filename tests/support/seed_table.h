// The seed table: registry entries of every area the scans look at, written
// into a registry (the in-memory one, or the real one under Wine) by the
// tests that scan and repair them. Broken entries name missing files under
// C:\QmGone, and each has an intact twin naming a file that exists; a key no
// scan looks at stays untouched.
//
// The entries of both registry views (ViewSeedValues): broken 32-bit entries
// name files under C:\QmGone32; their intact twins name files only a 32-bit
// program finds: C:\Windows\System32\qmview32.* (there only in SysWOW64),
// %ProgramFiles% and %CommonProgramFiles% (there only below Program Files
// (x86)). A 64-bit entry naming System32\qmview32.exe is broken, one naming
// qmview64.dll (in System32 only) is not. An App Paths entry written in the
// 32-bit view lands in the key both views share and is found once, in the
// 64-bit view.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "engine/registry_lib.h"
#include "platform/registry_view.h"
#include "tests/support/registry_keys.h"

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
    RegView view = RegView::k64;  // the view it is written in
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
    RegView view = RegView::k64;  // the view the finding is made and repaired in
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

// The files the seeds rely on, as a 64-bit program names them (below the
// Windows folder `windows`).
inline std::vector<std::string> ViewSeedFiles(const std::string& windows) {
    return {windows + "\\SysWOW64\\qmview32.dll", windows + "\\SysWOW64\\qmview32.exe",
            windows + "\\System32\\qmview64.dll", "C:\\Program Files (x86)\\QmView\\qmview.exe",
            "C:\\Program Files (x86)\\Common Files\\QmView\\tool.exe"};
}

const char* const kGone32Class = "{51A1D032-0000-4000-8000-00000000000A}";
const char* const kOk32Class = "{51A1D032-0000-4000-8000-00000000000B}";
const char* const kOk64Class = "{51A1D064-0000-4000-8000-00000000000C}";

inline const std::vector<SeedValue>& ViewSeedValues() {
    const RegView v32 = RegView::k32, v64 = RegView::k64;
    const std::string gone = kGone32Class, ok = kOk32Class, ok64 = kOk64Class;
    static const std::vector<SeedValue> values = {
        {kClsid, gone, "", kRegSz, Sz("Qm Gone 32 Class"), v32},
        {kClsid, gone + "\\InprocServer32", "", kRegSz, Sz("C:\\QmGone32\\com.dll"), v32},
        {kClsid, gone + "\\ProgID", "", kRegSz, Sz("Qm.Gone32.1"), v32},
        {kClsid, ok + "\\InprocServer32", "", kRegSz, Sz("C:\\Windows\\System32\\qmview32.dll"), v32},
        {kClsid, ok64 + "\\InprocServer32", "", kRegSz, Sz("C:\\Windows\\System32\\qmview64.dll"), v64},
        {kHelp, "", "qmgone32.hlp", kRegSz, Sz("C:\\QmGone32\\"), v32},
        {kHelp, "", "qmview32.dll", kRegSz, Sz("C:\\Windows\\System32\\"), v32},
        {kAppPaths, "qmgone32.exe", "", kRegSz, Sz("C:\\QmGone32\\app.exe"), v32},
        {kTools, "QmGone32Tool", "Path", kRegSz, Sz("C:\\QmGone32\\tool.exe"), v32},
        {kTools, "QmOk32Tool", "Path", kRegSz, Sz("%CommonProgramFiles%\\QmView\\tool.exe"), v32},
        {kShared, "", "C:\\QmGone32\\shared.dll", kRegDword, Dw(2), v32},
        {kShared, "", "C:\\Windows\\System32\\qmview32.dll", kRegDword, Dw(1), v32},
        {kDrivers, "", "msacm.qmgone32", kRegSz, Sz("qmgone32.acm"), v32},
        {kDrivers, "", "msacm.qmok32", kRegSz, Sz("qmview32.dll"), v32},
        {kUninstall, "qmgone32app", "UninstallString", kRegSz, Sz("\"C:\\QmGone32\\uninst.exe\" /S"), v32},
        {kUninstall, "qmok32app", "UninstallString", kRegSz, Sz("\"C:\\Windows\\System32\\qmview32.exe\" /x"), v32},
        {kRun, "", "QmGone32Start", kRegSz, Sz("\"C:\\QmGone32\\start.exe\" /min"), v32},
        {kRun, "", "QmOk32Start", kRegSz, Sz("\"%ProgramFiles%\\QmView\\qmview.exe\" /min"), v32},
        {kRun, "", "QmGone64Start", kRegSz, Sz("C:\\Windows\\System32\\qmview32.exe"), v64},
        {kRun, "", "QmOk64Start", kRegSz, Sz("C:\\Windows\\System32\\qmview64.dll"), v64},
    };
    return values;
}

inline const std::vector<SeedRemoval>& ViewSeedRemovals() {
    const RegView v32 = RegView::k32, v64 = RegView::k64;
    static const std::vector<SeedRemoval> removals = {
        {kClsid, kGone32Class, "", "Invalid CLSID", v32},
        {kHelp, "", "qmgone32.hlp", "Corrupt Help Files", v32},
        {kAppPaths, "qmgone32.exe", "", "Invalid Application Paths", v64},
        {kTools, "QmGone32Tool", "", "Invalid Shared Tools", v32},
        {kShared, "", "C:\\QmGone32\\shared.dll", "Corrupt Shared Files", v32},
        {kDrivers, "", "msacm.qmgone32", "Missing Drivers", v32},
        {kUninstall, "qmgone32app", "UninstallString", "Invalid Uninstall Entries", v32},
        {kRun, "", "QmGone32Start", "Invalid Startup Programs", v32},
        {kRun, "", "QmGone64Start", "Invalid Startup Programs", v64},
    };
    return removals;
}

// The registry `view` of the seeds goes to.
class SeedView {
public:
    SeedView(IRegistry& reg, RegView view) : in32_(reg, RegView::k32), reg_(view == RegView::k32 ? in32_ : reg) {}
    IRegistry& Registry() { return reg_; }

private:
    ViewRegistry in32_;
    IRegistry& reg_;
};

inline void SeedRegistry(IRegistry& reg, const std::vector<SeedValue>& values = SeedValues()) {
    for (const SeedValue& v : values) {
        SeedView view(reg, v.view);
        IRegistry& r = view.Registry();
        RegKey root;
        std::string sub;
        SplitFull(Join(SeedAreas()[v.area], v.key), &root, &sub);
        RegKey k = kNullKey;
        ASSERT_EQ(r.RegCreateKeyExA(root, sub.c_str(), &k, nullptr), kRegSuccess) << sub;
        RegKeyHandle h(r, k);
        ASSERT_EQ(r.RegSetValueExA(k, v.name.c_str(), v.type, v.data.data(),
                                   static_cast<std::uint32_t>(v.data.size())),
                  kRegSuccess)
            << sub << " " << v.name;
    }
}

// Removes what SeedRegistry made (for the real registry). The area key no
// scan looks at, and the 64-bit Help key (a fresh Wine prefix has none), go
// whole.
inline void UnseedRegistry(IRegistry& reg, const std::vector<SeedValue>& values = SeedValues()) {
    for (const SeedValue& v : values) {
        SeedView view(reg, v.view);
        IRegistry& r = view.Registry();
        RegKey root;
        std::string sub;
        SplitFull(SeedAreas()[v.area], &root, &sub);
        if (v.key.empty() && (v.area == kOther || (v.area == kHelp && v.view == RegView::k64))) {
            DeleteTree(r, root, sub);
            continue;
        }
        RegKey k = kNullKey;
        if (r.RegOpenKeyExA(root, sub.c_str(), kKeyAllAccess, &k) != kRegSuccess) continue;
        RegKeyHandle h(r, k);
        if (!v.key.empty())
            DeleteTree(r, k, v.key.substr(0, v.key.find('\\')));
        else
            r.RegDeleteValueA(k, v.name.c_str());
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

// Both views' areas: the 64-bit ones, then the 32-bit ones.
inline AreaSnapshots SnapshotBothViews(IRegistry& reg) {
    AreaSnapshots out = SnapshotAreas(reg);
    ViewRegistry in32(reg, RegView::k32);
    const AreaSnapshots other = SnapshotAreas(in32);
    out.insert(out.end(), other.begin(), other.end());
    return out;
}

// `area` (the snapshot of removal `r`'s area) as the removal leaves it: the
// key's tree, or the value, gone. False when the value was not there.
inline bool WithoutRemoval(TreeSnapshot& area, const SeedRemoval& r) {
    if (!r.value.empty()) return area.count(r.key) != 0 && area.at(r.key).erase(r.value) == 1;
    for (auto it = area.begin(); it != area.end();)
        it = (it->first == r.key || it->first.rfind(r.key + "\\", 0) == 0) ? area.erase(it) : std::next(it);
    return true;
}

inline std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

inline bool IsSeededFinding(const CRegErrorLog& f) {
    return Upper(f.GetFilePath()).find("QMGONE") != std::string::npos;
}

inline bool IsViewSeedFinding(const CRegErrorLog& f) {
    const std::string p = Upper(f.GetFilePath()) + "|" + Upper(f.GetKeyPath());
    return p.find("QMGONE32") != std::string::npos || p.find("QMVIEW") != std::string::npos ||
           p.find("QMOK") != std::string::npos || p.find("{51A1D0") != std::string::npos;
}

}  // namespace qm::test
