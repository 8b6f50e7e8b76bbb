// The category scans on the real registry of the machine (under Wine: the
// test prefix): what a healthy system reports, and seeded broken entries of
// every category beside intact twins.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <tuple>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "engine/path_cleaning.h"
#include "engine/registry_lib.h"
#include "platform/handles_win32.h"

namespace qm {
namespace {

using Hkey = RegistryKey;

EngineServices Services() {
    EngineServices s;
    s.ignoreFile = "real-registry-test-ignore.lst";  // never written: nothing ignored
    return s;
}

ScanCategoryStates AllRegistryCategories() {
    ScanCategoryStates states;
    for (int slot : {kSlotCom, kSlotSharedDlls, kSlotDrivers, kSlotHelp, kSlotAppPaths,
                     kSlotSharedTools, kSlotFonts, kSlotStartup, kSlotUninstall})
        states[slot] = 1;
    return states;
}

std::vector<std::pair<std::string, std::string>> g_reported;  // (status, path)
void Collect(std::string item, std::string status, std::int32_t, std::int32_t) {
    g_reported.emplace_back(status, item);
}

// Whatever this system holds, the rows must add up to the findings and every
// finding's file must be missing. The list is also printed for a person to
// judge (a healthy system should report nothing), with the COM server files
// that are missing but were not recorded because the class has a working
// server too.
TEST(RealRegistry, ReportsOnlyMissingFilesAndTheRowsAddUp) {
    std::remove("real-registry-test-ignore.lst");
    g_reported.clear();
    CRegistryLib engine(Services());
    engine.SetProgressCallback(&Collect);
    ResultRows rows;
    ScanCategoryStates states = AllRegistryCategories();
    engine.ScanRegistry(rows, states);
    ASSERT_EQ(rows.size(), 9u);
    std::printf("%-28s %8s %6s\n", "category", "scanned", "found");
    std::size_t found = 0;
    for (const auto& row : rows) {
        std::printf("%-28s %8d %6d\n", row->label.c_str(), row->itemsScanned, row->errorsFound);
        EXPECT_GE(row->errorsFound, 0) << row->label;
        EXPECT_LE(row->errorsFound, row->itemsScanned) << row->label;
        found += static_cast<std::size_t>(row->errorsFound);
    }
    EXPECT_EQ(found, engine.Findings().size());
    for (const auto& f : engine.Findings()) {
        EXPECT_FALSE(f->GetFilePath().empty()) << f->GetKeyPath();
        EXPECT_FALSE(engine.System().FileExists(f->GetFilePath())) << f->GetKeyPath();
        const CRegValueItem* v = f->GetValue();
        std::printf("%-11s %s\n    [%s] = \"%s\"\n    tested: \"%s\"\n", f->GetCategory().c_str(),
                    f->GetKeyPath().c_str(), v ? v->name.c_str() : "", v ? v->data.c_str() : "",
                    f->GetFilePath().c_str());
    }
    std::printf("missing COM server files not recorded (their class has a working server):\n");
    for (const auto& [status, path] : g_reported)
        if (status == "Scanning CLSID" && !engine.System().FileExists(path))
            std::printf("    %s\n", path.c_str());
    std::printf("entries passed over untested or tested and present, per status:\n");
    std::map<std::string, int> perStatus;
    for (const auto& [status, path] : g_reported) ++perStatus[status];
    for (const auto& [status, n] : perStatus) std::printf("    %-28s %d\n", status.c_str(), n);
    if (std::getenv("QM_LIST_REPORTED"))
        for (const auto& [status, path] : g_reported)
            std::printf("  %s | %s | %s\n", status.c_str(), path.c_str(),
                        engine.System().FileExists(path) ? "exists" : "MISSING");
}

// ------------------------------------------------------------------ seeding

constexpr const char* kClsid = "Software\\Classes\\CLSID";  // what HKEY_CLASSES_ROOT\CLSID shows
constexpr const char* kWin = "SOFTWARE\\Microsoft\\Windows";
constexpr const char* kCurrent = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr const char* kNt = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr const char* kSharedToolsKey = "SOFTWARE\\Microsoft\\Shared Tools";

std::string Lower(std::string s) {
    for (char& c : s) c = char(::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Broken entries of every category, each beside an intact twin, under the
// real keys the scans read. Every name carries a tag of this run so that the
// test finds its own entries among the machine's, and takes them all away
// again.
class SeededRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        tag_ = "QmScanTest" + std::to_string(::GetCurrentProcessId());
        char buf[MAX_PATH];
        ASSERT_GT(::GetSystemDirectoryA(buf, MAX_PATH), 0u);
        sys_ = buf;
        ASSERT_GT(::GetWindowsDirectoryA(buf, MAX_PATH), 0u);
        win_ = buf;
        dir_ = win_.substr(0, 3) + tag_;  // C:\QmScanTest<pid>
        ASSERT_TRUE(::CreateDirectoryA(dir_.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
        ::CreateDirectoryA((win_ + "\\Fonts").c_str(), nullptr);
    }
    void TearDown() override {
        for (auto it = values_.rbegin(); it != values_.rend(); ++it) {
            Hkey key;
            if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, it->first.c_str(), 0, KEY_SET_VALUE, key.Out()) ==
                ERROR_SUCCESS)
                ::RegDeleteValueA(key.Get(), it->second.c_str());
        }
        for (auto it = keys_.rbegin(); it != keys_.rend(); ++it)
            ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, it->c_str());
        // Shared keys this test brought into being go again once empty.
        for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
            DWORD subKeys = 1, values = 1;
            {
                Hkey key;
                if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, it->c_str(), 0, KEY_READ, key.Out()) != ERROR_SUCCESS)
                    continue;
                ::RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                                   &values, nullptr, nullptr, nullptr, nullptr);
            }
            if (subKeys == 0 && values == 0) ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, it->c_str());
        }
        for (const auto& f : files_) ::DeleteFileA(f.c_str());
        ::RemoveDirectoryA(dir_.c_str());
        std::remove("real-registry-test-ignore.lst");
    }

    // A key of our own (removed whole at the end).
    void OwnKey(const std::string& path) { keys_.push_back(path); }
    // A value in a shared key (only the value is removed at the end).
    void OwnValue(const std::string& key, const std::string& name) { values_.emplace_back(key, name); }
    // Opens or creates the key, noting a shared key that did not exist before.
    void Create(const std::string& key, Hkey& k) {
        DWORD disposition = 0;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                    nullptr, k.Out(), &disposition),
                  ERROR_SUCCESS)
            << key;
        if (disposition == REG_CREATED_NEW_KEY) created_.push_back(key);
    }
    void Set(const std::string& key, const std::string& name, const std::string& text) {
        Hkey k;
        Create(key, k);
        ASSERT_EQ(::RegSetValueExA(k.Get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(text.c_str()), DWORD(text.size() + 1)),
                  ERROR_SUCCESS)
            << key << " " << name;
    }
    void SetDword(const std::string& key, const std::string& name, DWORD value) {
        Hkey k;
        Create(key, k);
        ASSERT_EQ(::RegSetValueExA(k.Get(), name.c_str(), 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&value), sizeof value),
                  ERROR_SUCCESS);
    }
    void MakeFile(const std::string& path) {
        const Win32Handle h(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(h) << path;
        files_.push_back(path);
    }
    // A file made and deleted again: the entry naming it is broken.
    void RemovedFile(const std::string& path) {
        MakeFile(path);
        ASSERT_TRUE(::DeleteFileA(path.c_str())) << path;
    }

    std::string tag_, sys_, win_, dir_;
    std::vector<std::string> keys_;
    std::vector<std::string> created_;
    std::vector<std::pair<std::string, std::string>> values_;
    std::vector<std::string> files_;
};

struct Expected {
    std::string tag, keyPath, filePath;
    bool operator<(const Expected& o) const {
        return std::tie(tag, keyPath, filePath) < std::tie(o.tag, o.keyPath, o.filePath);
    }
    bool operator==(const Expected& o) const {
        return tag == o.tag && keyPath == o.keyPath && filePath == o.filePath;
    }
};

void PrintTo(const Expected& e, std::ostream* os) {
    *os << "{" << e.tag << ", " << e.keyPath << ", " << e.filePath << "}";
}

TEST_F(SeededRegistry, ScanFindsExactlyTheBrokenEntries) {
    const std::string hklm = "HKEY_LOCAL_MACHINE\\";
    const std::string t = tag_;
    std::vector<Expected> expected;

    // COM classes: a missing server; a working twin; a legacy 16-bit server
    // gone beside a working 32-bit one (not recorded).
    const std::string goneClass = "{" + t + "-0000-0000-0000-00000000000A}";
    const std::string hereClass = "{" + t + "-0000-0000-0000-00000000000B}";
    const std::string mixedClass = "{" + t + "-0000-0000-0000-00000000000C}";
    for (const auto& c : {goneClass, hereClass, mixedClass}) OwnKey(std::string(kClsid) + "\\" + c);
    RemovedFile(dir_ + "\\gone.dll");
    MakeFile(dir_ + "\\here.dll");
    Set(std::string(kClsid) + "\\" + goneClass + "\\InprocServer32", "", dir_ + "\\gone.dll");
    Set(std::string(kClsid) + "\\" + goneClass + "\\ProgID", "", t + ".Gone.1");
    Set(std::string(kClsid) + "\\" + hereClass + "\\InprocServer32", "", "\"" + dir_ + "\\here.dll\"");
    Set(std::string(kClsid) + "\\" + mixedClass + "\\InprocServer", "", dir_ + "\\gone16.dll");
    Set(std::string(kClsid) + "\\" + mixedClass + "\\InprocServer32", "", dir_ + "\\here.dll");
    expected.push_back({"CLSID", "HKEY_CLASSES_ROOT\\CLSID\\" + goneClass, dir_ + "\\gone.dll"});

    // Shared DLLs: reference counts named by full paths.
    const std::string shared = std::string(kCurrent) + "\\SharedDLLs";
    OwnValue(shared, dir_ + "\\shared-gone.dll");
    OwnValue(shared, dir_ + "\\shared-here.dll");
    MakeFile(dir_ + "\\shared-here.dll");
    SetDword(shared, dir_ + "\\shared-gone.dll", 2);
    SetDword(shared, dir_ + "\\shared-here.dll", 1);
    expected.push_back({"SharedFile", hklm + shared, dir_ + "\\shared-gone.dll"});

    // Drivers: bare names in the system directory.
    const std::string drivers = std::string(kNt) + "\\Drivers32";
    OwnValue(drivers, "msacm." + t + "gone");
    OwnValue(drivers, "msacm." + t + "here");
    MakeFile(sys_ + "\\" + t + "here.acm");
    Set(drivers, "msacm." + t + "gone", t + "gone.acm");
    Set(drivers, "msacm." + t + "here", t + "here.acm");
    expected.push_back({"VxD", hklm + drivers, sys_ + "\\" + t + "gone.acm"});

    // Help files: a folder and a file name.
    const std::string help = std::string(kWin) + "\\Help";
    OwnValue(help, t + "gone.hlp");
    OwnValue(help, t + "here.hlp");
    MakeFile(dir_ + "\\" + t + "here.hlp");
    Set(help, t + "gone.hlp", dir_ + "\\");
    Set(help, t + "here.hlp", dir_ + "\\");
    expected.push_back({"Help", hklm + kWin + "\\help", dir_ + "\\" + t + "gone.hlp"});

    // Application paths: the program's own key.
    const std::string appPaths = std::string(kCurrent) + "\\App Paths";
    OwnKey(appPaths + "\\" + t + "Gone.exe");
    OwnKey(appPaths + "\\" + t + "Here.exe");
    MakeFile(dir_ + "\\apphere.exe");
    Set(appPaths + "\\" + t + "Gone.exe", "", dir_ + "\\appgone.exe");
    Set(appPaths + "\\" + t + "Gone.exe", "Path", dir_ + ";");
    Set(appPaths + "\\" + t + "Here.exe", "", dir_ + "\\apphere.exe");
    expected.push_back({"APPPath", hklm + appPaths + "\\" + Lower(t + "Gone.exe"), dir_ + "\\appgone.exe"});

    // Shared tools: the "Path" value of the tool's key.
    OwnKey(std::string(kSharedToolsKey) + "\\" + t + "Gone");
    OwnKey(std::string(kSharedToolsKey) + "\\" + t + "Here");
    MakeFile(dir_ + "\\toolhere.exe");
    Set(std::string(kSharedToolsKey) + "\\" + t + "Gone", "Path", dir_ + "\\toolgone.exe");
    Set(std::string(kSharedToolsKey) + "\\" + t + "Here", "Path", dir_ + "\\toolhere.exe");
    expected.push_back({"SharedTools", hklm + kSharedToolsKey + "\\" + t + "Gone", dir_ + "\\toolgone.exe"});

    // Fonts: bare names in the Windows fonts folder.
    const std::string fonts = std::string(kNt) + "\\Fonts";
    OwnValue(fonts, t + " Gone (TrueType)");
    OwnValue(fonts, t + " Here (TrueType)");
    OwnValue(fonts, t + " Unshowable (TrueType)");
    Set(fonts, t + " Unshowable (TrueType)", dir_ + "\\M?nchen.ttf");  // never reported
    MakeFile(win_ + "\\fonts\\" + t + "here.ttf");
    Set(fonts, t + " Gone (TrueType)", t + "gone.ttf");
    Set(fonts, t + " Here (TrueType)", t + "here.ttf");
    expected.push_back({"font", hklm + fonts, win_ + "\\fonts\\" + t + "gone.ttf"});

    // Startup: command lines of the machine's Run key.
    const std::string run = std::string(kCurrent) + "\\Run";
    OwnValue(run, t + "Gone");
    OwnValue(run, t + "Here");
    OwnValue(run, t + "Launcher");
    MakeFile(dir_ + "\\starthere.exe");
    Set(run, t + "Gone", "\"" + dir_ + "\\startgone.exe\" /tray");
    Set(run, t + "Here", "\"" + dir_ + "\\starthere.exe\" -tray");
    Set(run, t + "Launcher", "rundll32.exe " + dir_ + "\\gone.dll,Start");
    expected.push_back({"Startup", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Currentversion\\Run",
                        dir_ + "\\startgone.exe"});

    // Uninstall entries: the uninstaller of each product.
    const std::string uninstall = std::string(kCurrent) + "\\Uninstall";
    OwnKey(uninstall + "\\" + t + "Gone");
    OwnKey(uninstall + "\\" + t + "Here");
    OwnKey(uninstall + "\\" + t + "Msi");
    MakeFile(dir_ + "\\unins-here.exe");
    Set(uninstall + "\\" + t + "Gone", "DisplayName", t + " Gone");
    Set(uninstall + "\\" + t + "Gone", "UninstallString", "\"" + dir_ + "\\unins-gone.exe\" /S");
    Set(uninstall + "\\" + t + "Here", "UninstallString", "\"" + dir_ + "\\unins-here.exe\" /S");
    Set(uninstall + "\\" + t + "Msi", "UninstallString", "MsiExec.exe /X{" + t + "}");
    expected.push_back({"Uninstall",
                        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Currentversion\\Uninstall\\" +
                            Lower(t + "Gone"),
                        dir_ + "\\unins-gone.exe"});

    CRegistryLib engine(Services());
    ResultRows rows;
    ScanCategoryStates states = AllRegistryCategories();
    engine.ScanRegistry(rows, states);
    ASSERT_EQ(rows.size(), 9u);

    std::vector<Expected> found;
    const std::string lowerTag = Lower(t);
    for (const auto& f : engine.Findings()) {
        if (Lower(f->GetKeyPath() + "|" + f->GetFilePath()).find(lowerTag) == std::string::npos) continue;
        found.push_back({f->GetCategory(), f->GetKeyPath(), f->GetFilePath()});
    }
    std::sort(found.begin(), found.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found, expected);
}

}  // namespace
}  // namespace qm
