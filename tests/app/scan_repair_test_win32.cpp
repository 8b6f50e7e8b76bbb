// Scanning and repairing from the main window of the real quillmere.exe. The
// prefix is seeded with broken App Paths entries and an intact twin (scratch
// key names only) and a scratch drive Q: with a broken shortcut; the window's
// shortcut scan is kept to Q: (QUILLMERE_SHORTCUT_DRIVES) and only the App
// Paths and shortcut categories are ticked, so nothing else is scanned or
// repaired.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/app/app_fixture_win32.h"
#include "tests/shortcut/scan_tree.h"

namespace qm {
namespace {

using test::AppWindow;
using test::WaitUntil;

constexpr const char* kAppPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char* const kSeeded[] = {"qmtest-broken-1.exe", "qmtest-broken-2.exe", "qmtest-intact.exe"};

bool KeyExists(const std::string& subKey) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void SeedAppPath(const std::string& name, const std::string& target) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kAppPaths) + "\\" + name).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(target.c_str()),
                   static_cast<DWORD>(target.size() + 1));
    RegCloseKey(key);
}

std::vector<std::string> FilesMatching(const char* pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(found.cFileName);
    while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

// The text of a message box (its static control).
std::string MessageText(HWND box) {
    char text[1024] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    return text;
}

// Deletes every App Paths key this file seeds (names starting "qmtest-").
void DeleteSeededKeys() {
    HKEY paths = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAppPaths, 0, KEY_ALL_ACCESS, &paths) != ERROR_SUCCESS) return;
    std::vector<std::string> names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(paths, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (std::string(name).rfind("qmtest-", 0) == 0) names.push_back(name);
    }
    for (const std::string& n : names) RegDeleteKeyA(paths, n.c_str());
    RegCloseKey(paths);
}

class ScanRepair : public test::MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        if (IsSkipped()) return;
        DeleteSeededKeys();
        tree_ = test::MakeScanTree();
        if (!tree_->Ready()) GTEST_SKIP() << "no scratch drive Q:";
        tree_->Reset();
        tree_->MakeDir("Desktop");
        tree_->MakeShortcut("Desktop\\broken.lnk", test::LinkKind::Broken);
        tree_->MakeShortcut("Desktop\\intact.lnk", test::LinkKind::Intact);
        ASSERT_TRUE(tree_->Exists("Desktop\\broken.lnk"));
        SeedAppPath(kSeeded[0], "C:\\qm-gone\\one.exe");
        SeedAppPath(kSeeded[1], "C:\\qm-gone\\two.exe");
        SeedAppPath(kSeeded[2], "Q:\\Programs\\App\\app.exe");
        for (const std::string& f : FilesMatching("*.xml")) DeleteFileA(f.c_str());
        SetEnvironmentVariableA("QUILLMERE_SHORTCUT_DRIVES", "Q");
    }
    void TearDown() override {
        MainWindow::TearDown();
        SetEnvironmentVariableA("QUILLMERE_SHORTCUT_DRIVES", nullptr);
        DeleteSeededKeys();
        DeleteFileA("ignore.lst");
    }

    // Clicks a check box of `panel` until it shows `wanted` (a click can be
    // lost while the window is still becoming the active one).
    bool SetBox(HWND panel, const char* name, bool wanted) {
        HWND box = app_.Button(name, panel);
        if (box == nullptr) return false;
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (AppWindow::Checked(box) == wanted) return true;
            test::Click(box);
            if (WaitUntil([&] { return AppWindow::Checked(box) == wanted; }, 3000)) return true;
        }
        return AppWindow::Checked(box) == wanted;
    }

    // Ticks only the App Paths and shortcut categories.
    void TickOnlyScratchCategories() {
        HWND main = app_.Main();
        SetForegroundWindow(main);
        WaitUntil([&] { return GetForegroundWindow() == main; }, 3000);
        HWND categories = app_.Panel("SUBMAIN_MAIN");
        ASSERT_NE(categories, nullptr);
        ASSERT_TRUE(SetBox(categories, "BUTTON_ALL", false));
        ASSERT_TRUE(WaitUntil([&] { return !AppWindow::Checked(app_.Button("BUTTON_COM", categories)); }));
        ASSERT_TRUE(SetBox(categories, "BUTTON_APPPATH", true));
        ASSERT_TRUE(SetBox(categories, "BUTTON_SHORTCUTS", true));
        for (const char* other : {"BUTTON_COM", "BUTTON_COM_SUBS", "BUTTON_DRV", "BUTTON_HELP", "BUTTON_SHARED_TOOLS",
                                  "BUTTON_FONTS", "BUTTON_STARTUP", "BUTTON_UNINSTALL"})
            ASSERT_FALSE(AppWindow::Checked(app_.Button(other, categories))) << other;
    }

    HWND ResultList() const { return app_.List(app_.Panel("SUBMAIN_RESULT")); }
    bool ShowsResults() const {
        return app_.VisiblePanels() == std::vector<std::string>{"SUBMAIN_RESULT"} &&
               !AppWindow::Checked(app_.Button("BUTTON_SCAN"));
    }

    std::unique_ptr<test::ScanTree> tree_;
};

TEST_F(ScanRepair, ScanListsTheBrokenEntriesTickedAndRemoveRepairsOnlyTheTickedOnesOnce) {
    ASSERT_TRUE(app_.Start());
    ASSERT_NO_FATAL_FAILURE(TickOnlyScratchCategories());

    Press("BUTTON_SCAN");
    ASSERT_TRUE(WaitUntil([&] { return ShowsResults(); }, 60000));
    HWND list = ResultList();
    ASSERT_NE(list, nullptr);
    // Two broken App Paths entries (in key order), then the broken shortcut;
    // the intact twins are not listed.
    ASSERT_EQ(test::RowCount(list), 3);
    for (int row = 0; row < 3; ++row) EXPECT_TRUE(test::RowChecked(list, row)) << row;
    test::WaitPainted(app_.Main());
    test::SaveWindowShot(app_.Main(), "window-results.bmp");

    // Keep the second entry.
    test::ClickAt(test::RowPoint(list, 1, true));
    ASSERT_TRUE(WaitUntil([&] { return !test::RowChecked(list, 1); }));

    // Two presses in quick succession: one repair.
    Press("BUTTON_REMOVE");
    Press("BUTTON_REMOVE");
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = app_.Dialog("Quillmere")) != nullptr; }, 60000));
    EXPECT_EQ(MessageText(box), "Items selected have been removed from the system");
    // Buttons pressed during the repair are dropped.
    Press("BUTTON_IGNORED");
    Press("BUTTON_SCAN");
    EXPECT_FALSE(AppWindow::Checked(app_.Button("BUTTON_SCAN")));
    EXPECT_NE(app_.VisiblePanels(), std::vector<std::string>{"SUBMAIN_IGNORED"});
    test::Click(GetDlgItem(box, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return test::ShowsAsTab(app_, "SUBMAIN_MAIN", "BUTTON_MAIN"); }));

    EXPECT_FALSE(KeyExists(std::string(kAppPaths) + "\\" + kSeeded[0]));
    EXPECT_TRUE(KeyExists(std::string(kAppPaths) + "\\" + kSeeded[1])) << "unticked: kept";
    EXPECT_TRUE(KeyExists(std::string(kAppPaths) + "\\" + kSeeded[2])) << "intact twin";
    EXPECT_FALSE(tree_->Exists("Desktop\\broken.lnk"));
    EXPECT_TRUE(tree_->Exists("Desktop\\intact.lnk"));

    // One backup, holding the removed entry and not the kept one.
    const std::vector<std::string> backups = FilesMatching("*.xml");
    ASSERT_EQ(backups.size(), 1u);
    const std::string backup = test::ReadWholeFile(backups[0]);
    EXPECT_NE(backup.find(kSeeded[0]), std::string::npos);
    EXPECT_EQ(backup.find(kSeeded[1]), std::string::npos);
    EXPECT_NE(backup.find("broken.lnk"), std::string::npos) << "the deleted shortcut is in the backup";

    // The kept entry is ignored from now on and listed on the ignored panel.
    EXPECT_NE(test::ReadWholeFile("ignore.lst").find("C:\\qm-gone\\two.exe"), std::string::npos);
    ShowTab("BUTTON_IGNORED", "SUBMAIN_IGNORED");
    EXPECT_EQ(test::RowCount(app_.List(app_.Panel("SUBMAIN_IGNORED"))), 1);

    // The next scan skips it: only... nothing left to find.
    Press("BUTTON_SCAN");
    ASSERT_TRUE(WaitUntil([&] { return ShowsResults(); }, 60000));
    EXPECT_EQ(test::RowCount(ResultList()), 0);
}

TEST_F(ScanRepair, WithSaveregTheDatedExportIsMadeBeforeTheRepair) {
    test::WriteFlag("savereg");
    ASSERT_TRUE(app_.Start());
    ASSERT_NO_FATAL_FAILURE(TickOnlyScratchCategories());
    Press("BUTTON_SCAN");
    ASSERT_TRUE(WaitUntil([&] { return ShowsResults(); }, 60000));
    ASSERT_EQ(test::RowCount(ResultList()), 3);
    Press("BUTTON_REMOVE");
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = app_.Dialog("Quillmere")) != nullptr; }, 120000));
    EXPECT_EQ(MessageText(box), "Items selected have been removed from the system");
    test::Click(GetDlgItem(box, IDOK));

    const std::vector<std::string> exports = FilesMatching("Registry Backups\\*.reg");
    ASSERT_EQ(exports.size(), 1u);
    EXPECT_EQ(exports[0].size(), std::string("2026-12-06_05-06-45.reg").size()) << exports[0];
    // Made before the entries were removed: it still holds them (regedit
    // writes UTF-16; the key name's letters are every other byte).
    const std::string exported = test::ReadWholeFile("Registry Backups\\" + exports[0]);
    std::string narrow;
    for (std::size_t i = 0; i < exported.size(); i += 2) narrow += exported[i];
    EXPECT_NE(narrow.find(kSeeded[0]), std::string::npos);
    EXPECT_FALSE(KeyExists(std::string(kAppPaths) + "\\" + kSeeded[0]));
    DeleteFileA(("Registry Backups\\" + exports[0]).c_str());
    RemoveDirectoryA("Registry Backups");
}

TEST_F(ScanRepair, ASecondScanPressStopsTheScanShowsWhatWasFoundAndTheNextScanRunsWhole) {
    // Enough broken entries to keep the scan running while the stop is pressed.
    constexpr int kMany = 1500;
    for (int i = 0; i < kMany; ++i) {
        const std::string n = std::to_string(i);
        SeedAppPath("qmtest-many-" + n + ".exe", "C:\\qm-gone\\many" + n + ".exe");
    }
    ASSERT_TRUE(app_.Start());
    ASSERT_NO_FATAL_FAILURE(TickOnlyScratchCategories());
    const DWORD started = GetTickCount();
    Press("BUTTON_SCAN");
    ASSERT_TRUE(WaitUntil([&] { return AppWindow::Checked(app_.Button("BUTTON_SCAN")); }));
    // A moment for the categories panel to show the progress (the picture
    // for the README); the scan of all the entries takes several seconds.
    Sleep(700);
    test::SaveWindowShot(app_.Main(), "window-progress.bmp");
    // The stop unticks the button at once (a click lost while the machine is
    // busy is repeated).
    for (int attempt = 0; attempt < 3 && AppWindow::Checked(app_.Button("BUTTON_SCAN")); ++attempt) {
        Press("BUTTON_SCAN");
        WaitUntil([&] { return !AppWindow::Checked(app_.Button("BUTTON_SCAN")); }, 2000);
    }
    ASSERT_TRUE(WaitUntil([&] { return ShowsResults(); }, 60000));
    const int stoppedAt = test::RowCount(ResultList());
    EXPECT_LT(stoppedAt, kMany + 3) << "stopped before the end";
    std::printf("stopped scan: %d rows after %lu ms\n", stoppedAt, GetTickCount() - started);

    // The stop is not left behind: the next scan lists everything.
    const DWORD whole = GetTickCount();
    Press("BUTTON_SCAN");
    ASSERT_TRUE(WaitUntil([&] { return AppWindow::Checked(app_.Button("BUTTON_SCAN")); }));
    ASSERT_TRUE(WaitUntil([&] { return ShowsResults() && test::RowCount(ResultList()) == kMany + 3; }, 120000))
        << test::RowCount(ResultList()) << " rows, results shown: " << ShowsResults();
    std::printf("whole scan of %d broken entries: %lu ms\n", kMany, GetTickCount() - whole);
}

// Stores a next-scan time a minute ago.
void StoreNextScanInThePast() {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, test::kSettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    const DWORD due = static_cast<DWORD>(time(nullptr) - 60);
    RegSetValueExA(key, "scannext", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&due), sizeof due);
    RegCloseKey(key);
}

DWORD StoredNextScan() {
    HKEY key = nullptr;
    DWORD value = 0, size = sizeof value;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, test::kSettings, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    RegQueryValueExA(key, "scannext", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return value;
}

TEST_F(ScanRepair, APeriodicScanThatFallsDueStartsByItselfWhileHidden) {
    test::WriteFlag("enablescan");
    StoreNextScanInThePast();
    ASSERT_TRUE(app_.Start());
    ASSERT_NO_FATAL_FAILURE(TickOnlyScratchCategories());
    Press("BUTTON_MINIMIZE");
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(app_.Main()); }));
    // Timer 2 runs every ten seconds.
    HWND results = app_.Panel("SUBMAIN_RESULT");
    ASSERT_TRUE(WaitUntil([&] { return (GetWindowLongA(results, GWL_STYLE) & WS_VISIBLE) != 0; }, 25000));
    EXPECT_FALSE(IsWindowVisible(app_.Main())) << "the scan does not show the window";
    ASSERT_TRUE(WaitUntil([&] { return test::RowCount(ResultList()) == 3; }, 60000));
}

TEST_F(ScanRepair, WithScanningDisabledTheDueTimeMovesOnAndNothingStarts) {
    StoreNextScanInThePast();
    ASSERT_TRUE(app_.Start());
    Press("BUTTON_MINIMIZE");
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(app_.Main()); }));
    // One timer period and a little: the check has run at least once.
    Sleep(11000);
    HWND results = app_.Panel("SUBMAIN_RESULT");
    EXPECT_EQ(GetWindowLongA(results, GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_FALSE(AppWindow::Checked(app_.Button("BUTTON_SCAN")));
    PostMessageA(app_.Main(), WM_COMMAND, 32773, 0);  // the tray menu's "Close"
    ASSERT_TRUE(app_.WaitForExit());
    EXPECT_GT(StoredNextScan(), static_cast<DWORD>(time(nullptr) + 3600)) << "moved on by a period";
}

}  // namespace
}  // namespace qm
