// Scanning and repairing from the main window of the real quillmere.exe. The
// test's own Wine prefix is seeded with a broken entry and an intact twin in
// every registry area the scan covers (scratch names only, removed again
// afterwards), and a scratch drive Q: with a broken and an intact desktop
// shortcut; the window's shortcut scan is kept to Q: (QUILLMERE_SHORTCUT_DRIVES).
// What the prefix itself would be reported for is put on the ignore list
// first, so the window lists exactly what was seeded.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "control/result_entries.h"
#include "engine/registry_lib.h"
#include "platform/handles_win32.h"
#include "platform/registry_win32.h"
#include "platform/system.h"
#include "resources/resource.h"
#include "tests/app/app_fixture_win32.h"
#include "tests/app/app_registry_win32.h"
#include "tests/app/seeded_areas_win32.h"
#include "tests/shortcut/scan_tree.h"
#include "ui/window_messages_win32.h"

namespace qm {
namespace {

using test::FilesMatching;
using test::MessageText;
using test::AppWindow;
using test::WaitUntil;

using test::KeyExists;
using test::LockAgainstDelete;
using test::SeedAppPath;

constexpr const char* kAppPaths = test::kAppPathsKey;
constexpr const char* kLockedEntry = "qmtest-locked.exe";
constexpr int kSeededRegistryRows = 9;  // one broken entry in each registry area

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Deletes the App Paths keys this file makes itself (names starting "qmtest-").
void DeleteTestAppPaths() {
    LockAgainstDelete(std::string(kAppPaths) + "\\" + kLockedEntry, false);
    RegistryKey paths;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAppPaths, 0, KEY_ALL_ACCESS, paths.Out()) != ERROR_SUCCESS) return;
    std::vector<std::string> names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(paths.Get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (std::string(name).rfind("qmtest-", 0) == 0) names.push_back(name);
    }
    for (const std::string& n : names) RegDeleteTreeA(paths.Get(), n.c_str());
}

// Runs quillmere-cli.exe (beside quillmere.exe) with `arguments` in the
// current folder; its exit status, or -1 when it could not be run.
int RunCli(const std::string& arguments) {
    std::string exe = QM_APP_EXE;
    exe = exe.substr(0, exe.find_last_of("\\/") + 1) + "quillmere-cli.exe";
    std::string command = "\"" + exe + "\" " + arguments;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    const Win32Handle processHandle(process.hProcess);
    const Win32Handle threadHandle(process.hThread);
    DWORD status = static_cast<DWORD>(-1);
    if (WaitForSingleObject(processHandle.Get(), 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(processHandle.Get(), &status);
    return static_cast<int>(status);
}

constexpr const char* kCategoryLabels[] = {"COM", "COM_SUBS", "DRV", "HELP", "APPPATH",
                                           "SHARED_TOOLS", "FONTS", "STARTUP", "UNINSTALL", "SHORTCUTS"};

class ScanRepair : public test::MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        if (IsSkipped()) return;
        for (const std::string& f : FilesMatching("*.xml")) DeleteFileA(f.c_str());
        RemoveRegistryExports();
        DeleteTestAppPaths();
        test::UnseedEveryArea(registry_);
        tree_ = test::MakeScanTree();
        if (!tree_->Ready()) GTEST_SKIP() << "no scratch drive Q:";
        tree_->Reset();
        tree_->MakeDir("Desktop");
        tree_->MakeShortcut("Desktop\\broken.lnk", test::LinkKind::Broken);
        tree_->MakeShortcut("Desktop\\intact.lnk", test::LinkKind::Intact);
        ASSERT_TRUE(tree_->Exists("Desktop\\broken.lnk"));
        brokenLink_ = test::ReadWholeFile("Q:\\Desktop\\broken.lnk");
        ASSERT_FALSE(brokenLink_.empty());
        ASSERT_NO_FATAL_FAILURE(IgnoreWhatThePrefixItselfHas());
        ASSERT_NO_FATAL_FAILURE(test::SeedEveryArea(registry_));
        SetEnvironmentVariableA("QUILLMERE_SHORTCUT_DRIVES", "Q");
    }
    void TearDown() override {
        MainWindow::TearDown();
        RemoveRegistryExports();
        SetEnvironmentVariableA("QUILLMERE_SHORTCUT_DRIVES", nullptr);
        DeleteTestAppPaths();
        test::UnseedEveryArea(registry_);
        DeleteFileA("ignore.lst");
    }

    // The dated registry exports of "savereg" and their folder.
    static void RemoveRegistryExports() {
        for (const std::string& f : FilesMatching("Registry Backups\\*.reg"))
            DeleteFileA(("Registry Backups\\" + f).c_str());
        RemoveDirectoryA("Registry Backups");
    }
    // Puts every path the unseeded prefix itself reports on the ignore list.
    void IgnoreWhatThePrefixItselfHas() {
        std::vector<std::string> paths;
        ASSERT_TRUE(test::IgnoreWhatThePrefixItselfHas(registry_, &paths));
        for (const std::string& path : paths) prefixOwn_.insert(Lower(path));
    }
    int PrefixIgnored() const { return static_cast<int>(prefixOwn_.size()); }

    HWND Categories() const { return app_.Panel("SUBMAIN_MAIN"); }
    HWND ResultList() const { return app_.List(app_.Panel("SUBMAIN_RESULT")); }
    bool ShowsResults() const {
        return app_.VisiblePanels() == std::vector<std::string>{"SUBMAIN_RESULT"} &&
               !AppWindow::Checked(app_.Button("BUTTON_SCAN"));
    }
    std::string Label(const char* name) const { return app_.LabelText(Categories(), name); }
    // The default skin with the status label, which it leaves out, added
    // with no size (the window looks as with the default skin).
    void StartApp() {
        const std::string skin = WriteSkin("status-skin.ini", SkinWith("23=PROGRESS_COUNT_SHORTCUTS,Arial,TRUE,FALSE,-10,0l,290,172,90,20,",
                                                                      "24=TEXT_ERRORSCAN_STATUS,Arial,TRUE,FALSE,-10,0l,0,0,0,0,"));
        ASSERT_FALSE(skin.empty());
        ASSERT_TRUE(app_.Start("", skin));
        ASSERT_NE(FindWindowExA(Categories(), nullptr, "Static", "TEXT_ERRORSCAN_STATUS"), nullptr);
    }
    // Presses BUTTON_SCAN and waits for the results of that scan: the list
    // is given a mark row first, which only a new filling of the list removes.
    void ScanToResults() {
        ASSERT_TRUE(test::InsertMarkerRow(ResultList(), kMarker));
        Press("BUTTON_SCAN");
        ASSERT_TRUE(WaitUntil([&] { return ShowsResults() && !Marked(); }, 60000)) << Describe();
    }
    // What the window shows, for a failure message.
    std::string Describe() const {
        std::string text = "scan button " + std::to_string(AppWindow::Checked(app_.Button("BUTTON_SCAN"))) +
                           ", rows " + std::to_string(test::RowCount(ResultList())) + ", panels";
        for (const std::string& p : app_.VisiblePanels()) text += " " + p;
        for (const char* category : kCategoryLabels)
            text += std::string(", ") + category + " '" + Label((std::string("PROGRESS_TEXT_") + category).c_str()) +
                    "' '" + Label((std::string("PROGRESS_COUNT_") + category).c_str()) + "'";
        return text + ", checking '" + Label("TEXT_ERRORSCAN_CURRENTITEM") + "'";
    }
    bool Marked() const { return test::RowCount(ResultList()) > 0 && test::RowText(ResultList(), 0, 0) == kMarker; }
    static constexpr const char* kMarker = "qmtest-mark";
    // The closing message of a repair (waits for it).
    HWND ClosingMessage() {
        HWND box = nullptr;
        WaitUntil([&] { return (box = app_.Dialog("Quillmere")) != nullptr; }, 120000);
        return box;
    }
    // The rows of the result list: its category and path columns.
    std::vector<std::pair<std::string, std::string>> Rows() const {
        std::vector<std::pair<std::string, std::string>> rows;
        HWND list = ResultList();
        for (int i = 0; i < test::RowCount(list); ++i)
            rows.emplace_back(test::RowText(list, i, 1), test::RowText(list, i, 2));
        return rows;
    }
    // The row whose path contains `part` (-1: none).
    int RowNaming(const std::string& part) const {
        const auto rows = Rows();
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (Lower(rows[i].second).find(Lower(part)) != std::string::npos) return static_cast<int>(i);
        return -1;
    }

    Win32Registry registry_;
    std::unique_ptr<test::ScanTree> tree_;
    std::string brokenLink_;
    std::set<std::string> prefixOwn_;
};

TEST_F(ScanRepair, ScanListsTheSeededBrokenEntriesTickedAndRemoveRepairsOnlyTheTickedOnesOnceRestorably) {
    const test::SeedAreaSnapshots before = test::SnapshotSeedAreas(registry_);
    ASSERT_NO_FATAL_FAILURE(StartApp());
    ScanToResults();
    HWND list = ResultList();
    ASSERT_NE(list, nullptr);
    // Exactly the seeded broken entries, one per area, registry rows first,
    // then the broken shortcut; all ticked; no intact twin.
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kSeededRegistryRows + 1));
    std::set<std::string> categories;
    for (int i = 0; i < kSeededRegistryRows; ++i) {
        EXPECT_NE(Lower(rows[i].second).find("qmgone"), std::string::npos) << rows[i].second;
        categories.insert(rows[i].first);
    }
    EXPECT_EQ(categories.size(), static_cast<std::size_t>(kSeededRegistryRows)) << "one row per area";
    EXPECT_EQ(rows.back().first, "SHORTCUT");
    EXPECT_EQ(rows.back().second, test::kBrokenTarget) << "a shortcut's missing target";
    EXPECT_EQ(test::RowText(list, kSeededRegistryRows, kColumnEntry), "Q:\\Desktop\\broken.lnk");
    for (int row = 0; row < test::RowCount(list); ++row) EXPECT_TRUE(test::RowChecked(list, row)) << row;
    // The categories panel says how each area went.
    EXPECT_EQ(Label("TEXT_ERRORSCAN_STATUS"), "ScanComplete");
    for (const char* category : kCategoryLabels)
        EXPECT_EQ(Label((std::string("PROGRESS_TEXT_") + category).c_str()), "Done") << category;
    for (const char* category : kCategoryLabels)
        EXPECT_EQ(Label((std::string("PROGRESS_COUNT_") + category).c_str()), "1") << category;
    test::SaveWindowShot(app_.Main(), "window-results.bmp");

    // Keep the App Paths entry.
    const int kept = RowNaming("qmgone\\app.exe");
    ASSERT_GE(kept, 0);
    test::ClickAt(test::RowPoint(list, kept, true));
    ASSERT_TRUE(WaitUntil([&] { return !test::RowChecked(list, kept); }));

    // Two presses in quick succession: one repair.
    const int threads = test::ThreadCount(app_.ProcessId());
    Press("BUTTON_REMOVE");
    PressNow("BUTTON_REMOVE");
    HWND box = ClosingMessage();
    ASSERT_NE(box, nullptr);
    const std::string closing = MessageText(box);
    const std::vector<std::string> written = FilesMatching("*.xml");
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(closing,
              "Items selected have been removed from the system\r\n"
              "8 registry entries and 1 shortcut were removed.\r\n"
              "What was removed is saved in " + written[0] + ".\r\n"
              "1 unticked entry was added to the ignore list and will not be reported again; the Ignore list "
              "panel takes it back.");
    // Buttons pressed while the repair's message is up are dropped, also
    // once the message is closed: they are not handled late, after it (a
    // scan started then would show as the ticked scan button).
    PressNow("BUTTON_IGNORED");
    PressNow("BUTTON_SCAN");
    test::Click(GetDlgItem(box, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return test::ShowsAsTab(app_, "SUBMAIN_MAIN", "BUTTON_MAIN"); })) << TabState();
    // The repair's thread has ended.
    EXPECT_TRUE(WaitUntil([&] { return test::ThreadCount(app_.ProcessId()) <= threads; }));
    EXPECT_FALSE(AppWindow::Checked(app_.Button("BUTTON_SCAN")));

    // The ticked entries are gone, everything else is as it was: the twins,
    // the unticked entry, the rest of each area.
    const test::SeedAreaSnapshots expected = test::WithoutSeededBrokenEntries(before, true);
    const test::SeedAreaSnapshots after = test::SnapshotSeedAreas(registry_);
    for (std::size_t i = 0; i < after.size(); ++i) EXPECT_TRUE(after[i] == expected[i]) << test::SeedAreaPaths()[i];
    EXPECT_FALSE(tree_->Exists("Desktop\\broken.lnk"));
    EXPECT_TRUE(tree_->Exists("Desktop\\intact.lnk"));

    // One backup, holding what was removed and not the kept entry.
    const std::vector<std::string> backups = FilesMatching("*.xml");
    ASSERT_EQ(backups.size(), 1u);
    const std::string backup = test::ReadWholeFile(backups[0]);
    EXPECT_NE(backup.find(test::SeededBrokenClass()), std::string::npos);
    EXPECT_EQ(Lower(backup).find("qmgone.exe"), std::string::npos) << "the unticked entry is not in it";
    EXPECT_NE(backup.find("broken.lnk"), std::string::npos) << "the deleted shortcut is in the backup";

    // The kept entry is ignored from now on and listed on the ignored panel.
    EXPECT_NE(Lower(test::ReadWholeFile("ignore.lst")).find("c:\\qmgone\\app.exe"), std::string::npos);
    ShowTab("BUTTON_IGNORED", "SUBMAIN_IGNORED");
    EXPECT_EQ(test::RowCount(app_.List(app_.Panel("SUBMAIN_IGNORED"))), PrefixIgnored() + 1);

    // The next scan skips it: nothing is left to find.
    ScanToResults();
    EXPECT_EQ(test::RowCount(ResultList()), 0);
    Press("BUTTON_EXIT");
    ASSERT_TRUE(app_.WaitForExit());

    // The backup puts back exactly what was removed, byte for byte.
    EXPECT_EQ(RunCli("restore " + backups[0]), 0);
    const test::SeedAreaSnapshots restored = test::SnapshotSeedAreas(registry_);
    for (std::size_t i = 0; i < restored.size(); ++i)
        EXPECT_TRUE(restored[i] == before[i]) << test::SeedAreaPaths()[i];
    EXPECT_EQ(test::ReadWholeFile("Q:\\Desktop\\broken.lnk"), brokenLink_);
}

// A screen point in a column's header (the list not scrolled sideways),
// `offset` pixels right of its centre: two clicks at one point would be a
// double click, which sorts nothing.
POINT HeaderPoint(HWND list, int column, int offset = 0) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    RECT r{};
    GetWindowRect(header, &r);
    int left = r.left;
    for (int c = 0; c < column; ++c) left += static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, c, 0));
    const int width = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
    return POINT{left + width / 2 + offset, (r.top + r.bottom) / 2};
}

void DoubleClickAt(POINT at) {
    test::MoveMouse(at);
    for (int i = 0; i < 2; ++i) {
        test::MouseButton(at, true);
        test::MouseButton(at, false);
    }
}

std::string ControlText(HWND dialog, int id) {
    char text[2048] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

TEST_F(ScanRepair, TheResultRowsSayWhatTheRepairRemovesSortByAColumnAndShowTheirDetails) {
    ASSERT_NO_FATAL_FAILURE(StartApp());
    // Before a scan "Repair selected" says there is nothing to repair yet.
    Press("BUTTON_REMOVE");
    HWND early = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (early = app_.Dialog("Quillmere")) != nullptr; }));
    EXPECT_NE(MessageText(early).find("There is nothing to repair yet"), std::string::npos) << MessageText(early);
    test::Click(GetDlgItem(early, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return app_.Dialog("Quillmere") == nullptr; }));

    ScanToResults();
    HWND list = ResultList();
    HWND results = app_.Panel("SUBMAIN_RESULT");
    EXPECT_EQ(app_.LabelText(results, "TEXT_RESULT_TOTAL"), std::to_string(kSeededRegistryRows + 1) + " problems found");
    // Each row by its missing file: type, program, removal, key and value.
    struct Expected {
        const char* missing;
        const char* type;
        const char* program;
        const char* removes;
        std::string key;
        const char* value;
    };
    const std::string hklm = "HKEY_LOCAL_MACHINE\\";
    const std::vector<Expected> expected = {
        {"C:\\QmGone\\com.dll", "CLSID", "Qm Gone Class", "Whole key",
         "HKEY_CLASSES_ROOT\\CLSID\\" + test::SeededBrokenClass(), ""},
        {"C:\\QmGone\\uninst.exe", "Uninstall", "Qm Gone App", "Value",
         hklm + "Software\\Microsoft\\Windows\\Currentversion\\Uninstall\\qmgoneapp", "UninstallString"},
        {"C:\\QmGone\\gone.ttf", "font", "Qm Gone (TrueType)", "Value",
         hklm + "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "Qm Gone (TrueType)"},
        {"C:\\QmGone\\app.exe", "APPPath", "qmgone.exe", "Whole key",
         hklm + "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qmgone.exe", ""},
        {"C:\\QmGone\\start.exe", "Startup", "QmGoneStart", "Value",
         hklm + "Software\\Microsoft\\Windows\\Currentversion\\Run", "QmGoneStart"},
        {"C:\\QmGone\\shared.dll", "SharedFile", "", "Value",
         hklm + "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", "C:\\QmGone\\shared.dll"},
        {test::kBrokenTarget, "SHORTCUT", "", "Shortcut file", "Q:\\Desktop\\broken.lnk", ""},
    };
    for (const Expected& e : expected) {
        const int row = RowNaming(e.missing);
        ASSERT_GE(row, 0) << e.missing;
        EXPECT_EQ(test::RowText(list, row, kColumnMissingFile), e.missing);
        EXPECT_EQ(test::RowText(list, row, kColumnType), e.type) << e.missing;
        EXPECT_EQ(test::RowText(list, row, kColumnProgram), e.program) << e.missing;
        EXPECT_EQ(test::RowText(list, row, kColumnRemoves), e.removes) << e.missing;
        EXPECT_EQ(test::RowText(list, row, kColumnEntry), e.key) << e.missing;
        EXPECT_EQ(test::RowText(list, row, kColumnValue), e.value) << e.missing;
    }
    // The paths are shown whole: the columns are as wide as their texts.
    const int fileWidth = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, kColumnEntry, 0));
    const std::string longest = hklm + "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qmgone.exe";
    EXPECT_GT(fileWidth, static_cast<int>(longest.size()) * 4) << fileWidth;
    test::SaveWindowShot(app_.Main(), "window-results.bmp");

    // A click on the Type header sorts by it, a second click the other way;
    // each row keeps its texts and its tick.
    test::ClickAt(test::RowPoint(list, RowNaming("uninst.exe"), true));
    ASSERT_TRUE(WaitUntil([&] { return !test::RowChecked(list, RowNaming("uninst.exe")); }));
    auto types = [&] {
        std::vector<std::string> t;
        for (int i = 0; i < test::RowCount(list); ++i) t.push_back(Lower(test::RowText(list, i, kColumnType)));
        return t;
    };
    std::vector<std::string> ascending = types();
    std::sort(ascending.begin(), ascending.end());
    test::ClickAt(HeaderPoint(list, kColumnType));
    ASSERT_TRUE(WaitUntil([&] { return types() == ascending; })) << Describe();
    std::vector<std::string> descending(ascending.rbegin(), ascending.rend());
    test::ClickAt(HeaderPoint(list, kColumnType, 12));
    ASSERT_TRUE(WaitUntil([&] { return types() == descending; })) << Describe();
    for (int i = 0; i < test::RowCount(list); ++i)
        EXPECT_EQ(test::RowChecked(list, i), test::RowText(list, i, kColumnType) != "Uninstall") << i;

    // A double click on a row shows its details, whole.
    DoubleClickAt(test::RowPoint(list, RowNaming("uninst.exe"), false));
    HWND details = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (details = app_.Dialog("Entry details")) != nullptr; }));
    const std::string text = ControlText(details, 1021);
    for (const std::string& part : std::vector<std::string>{
             "Area: Uninstall entry (Uninstall)", "Program: Qm Gone App",
          "Key: " + expected[1].key, "Value name: UninstallString", "Data: \"C:\\QmGone\\uninst.exe\" /S",
          "Missing file: C:\\QmGone\\uninst.exe", "Repair removes: the value \"UninstallString\" only"})
        EXPECT_NE(text.find(part), std::string::npos) << part << " in " << text;
    test::WaitPainted(details);
    test::SaveWindowShot(details, "window-details.bmp");
    ASSERT_TRUE(test::MakeForeground(details));
    test::PressKey(VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return app_.Dialog("Entry details") == nullptr; }));

    // Enter on the selected row shows the details too: here a shortcut's.
    const int shortcut = RowNaming(test::kBrokenTarget);
    test::ClickAt(test::RowPoint(list, shortcut, false));
    ASSERT_TRUE(WaitUntil([&] {
        return SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) == shortcut;
    }));
    test::PressKey(VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return (details = app_.Dialog("Entry details")) != nullptr; }));
    EXPECT_NE(ControlText(details, 1021).find("Shortcut file: Q:\\Desktop\\broken.lnk\r\nMissing target: " +
                                               std::string(test::kBrokenTarget)),
              std::string::npos)
        << ControlText(details, 1021);
    test::Click(GetDlgItem(details, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return app_.Dialog("Entry details") == nullptr; }));
}

TEST_F(ScanRepair, RepairWithNothingTickedRemovesExportsAndIgnoresNothingAndSaysSo) {
    test::WriteFlag("savereg");
    const test::SeedAreaSnapshots before = test::SnapshotSeedAreas(registry_);
    const std::string ignored = test::ReadWholeFile("ignore.lst");
    ASSERT_NO_FATAL_FAILURE(StartApp());
    ScanToResults();
    HWND list = ResultList();
    ASSERT_EQ(test::RowCount(list), kSeededRegistryRows + 1);
    for (int row = 0; row < test::RowCount(list); ++row) {
        test::ClickAt(test::RowPoint(list, row, true));
        ASSERT_TRUE(WaitUntil([&] { return !test::RowChecked(list, row); })) << row;
    }
    Press("BUTTON_REMOVE");
    HWND box = ClosingMessage();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageText(box),
              "No entry is ticked: nothing was removed and nothing was added to the ignore list.\r\n"
              "Tick the entries to remove, then press Repair selected.");
    test::Click(GetDlgItem(box, IDOK));
    // The results are still there to tick and repair.
    ASSERT_TRUE(WaitUntil([&] { return app_.Dialog("Quillmere") == nullptr && ShowsResults(); })) << Describe();
    EXPECT_EQ(test::RowCount(list), kSeededRegistryRows + 1);
    EXPECT_TRUE(FilesMatching("*.xml").empty()) << "no backup";
    EXPECT_TRUE(FilesMatching("Registry Backups\\*.reg").empty()) << "no export";
    EXPECT_EQ(test::ReadWholeFile("ignore.lst"), ignored);
    const test::SeedAreaSnapshots after = test::SnapshotSeedAreas(registry_);
    for (std::size_t i = 0; i < after.size(); ++i) EXPECT_TRUE(after[i] == before[i]) << test::SeedAreaPaths()[i];
    EXPECT_TRUE(tree_->Exists("Desktop\\broken.lnk"));

    // Ticking one row and repairing again removes just that one.
    const int row = RowNaming("start.exe");
    test::ClickAt(test::RowPoint(list, row, true));
    ASSERT_TRUE(WaitUntil([&] { return test::RowChecked(list, row); }));
    Press("BUTTON_REMOVE");
    box = ClosingMessage();
    ASSERT_NE(box, nullptr);
    const std::string text = MessageText(box);
    EXPECT_NE(text.find("\r\n1 registry entry was removed.\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(std::to_string(kSeededRegistryRows) + " unticked entries were added to the ignore list"),
              std::string::npos)
        << text;
    test::Click(GetDlgItem(box, IDOK));
}

TEST_F(ScanRepair, AnEntryThatCannotBeDeletedIsNamedInTheClosingMessageWithTheBackup) {
    const std::string locked = std::string(kAppPaths) + "\\" + kLockedEntry;
    SeedAppPath(kLockedEntry, "C:\\QmGone\\locked.exe");
    LockAgainstDelete(locked, true);
    const test::SeedAreaSnapshots before = test::SnapshotSeedAreas(registry_);
    ASSERT_NO_FATAL_FAILURE(StartApp());
    ScanToResults();
    ASSERT_EQ(test::RowCount(ResultList()), kSeededRegistryRows + 2);
    ASSERT_GE(RowNaming("locked.exe"), 0);
    // Its area's other entry is removed: the area's fixed count nets to 0,
    // yet the message tells of the refusal.
    Press("BUTTON_REMOVE");
    HWND box = ClosingMessage();
    ASSERT_NE(box, nullptr);
    const std::string message = MessageText(box);
    const std::vector<std::string> backups = FilesMatching("*.xml");
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_NE(message.find("1 registry entry could not be deleted"), std::string::npos) << message;
    EXPECT_NE(message.find(backups[0]), std::string::npos) << message;
    EXPECT_EQ(message.find("Items selected have been removed"), std::string::npos) << message;
    test::Click(GetDlgItem(box, IDOK));
    EXPECT_TRUE(KeyExists(locked));
    // Everything else ticked was removed.
    EXPECT_FALSE(KeyExists(std::string(kAppPaths) + "\\qmgone.exe"));
    const test::SeedAreaSnapshots after = test::SnapshotSeedAreas(registry_);
    const test::SeedAreaSnapshots expected = test::WithoutSeededBrokenEntries(before, false);
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (test::SeedAreaPaths()[i].find("App Paths") != std::string::npos) continue;
        EXPECT_TRUE(after[i] == expected[i]) << test::SeedAreaPaths()[i];
    }
}

TEST_F(ScanRepair, WithSaveregTheDatedExportIsMadeBeforeTheRepair) {
    test::WriteFlag("savereg");
    ASSERT_NO_FATAL_FAILURE(StartApp());
    ScanToResults();
    ASSERT_EQ(test::RowCount(ResultList()), kSeededRegistryRows + 1);
    Press("BUTTON_REMOVE");
    HWND box = ClosingMessage();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageText(box).rfind("Items selected have been removed from the system\r\n", 0), 0u)
        << MessageText(box);
    test::Click(GetDlgItem(box, IDOK));

    const std::vector<std::string> exports = FilesMatching("Registry Backups\\*.reg");
    ASSERT_EQ(exports.size(), 1u);
    EXPECT_EQ(exports[0].size(), std::string("2026-12-06_05-06-45.reg").size()) << exports[0];
    // Made before the entries were removed: it still holds them (regedit
    // writes UTF-16; the key name's letters are every other byte).
    const std::string exported = test::ReadWholeFile("Registry Backups\\" + exports[0]);
    std::string narrow;
    for (std::size_t i = 0; i < exported.size(); i += 2) narrow += exported[i];
    EXPECT_NE(narrow.find("qmgone.exe"), std::string::npos);
    EXPECT_FALSE(KeyExists(std::string(kAppPaths) + "\\qmgone.exe"));
}

// An ordinary user (the program told so by QUILLMERE_ORDINARY_USER: the
// prefix's own account is an administrator) repairs his own entries only: a
// repair that would remove a machine's entry or a shortcut file is refused
// before anything is exported, ignored or removed; one of his own entries
// alone goes ahead, after an export of HKEY_CURRENT_USER.
TEST_F(ScanRepair, AnOrdinaryUserRepairsHisOwnEntriesAndIsToldWhyNotTheMachines) {
    constexpr const char* kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    struct UserRunValue {
        UserRunValue() {
            const char data[] = "\"C:\\QmGone\\qmtest-user.exe\" --processStart";
            RegSetKeyValueA(HKEY_CURRENT_USER, kUserRun, "qmtest-user", REG_SZ, data, sizeof data);
        }
        ~UserRunValue() { RegDeleteKeyValueA(HKEY_CURRENT_USER, kUserRun, "qmtest-user"); }
        static bool Exists() {
            return RegGetValueA(HKEY_CURRENT_USER, kUserRun, "qmtest-user", RRF_RT_ANY, nullptr, nullptr,
                                nullptr) == ERROR_SUCCESS;
        }
    } userRun;
    ASSERT_TRUE(UserRunValue::Exists());
    test::WriteFlag("savereg");
    const test::SeedAreaSnapshots before = test::SnapshotSeedAreas(registry_);
    const std::string ignored = test::ReadWholeFile("ignore.lst");
    SetEnvironmentVariableA("QUILLMERE_ORDINARY_USER", "1");
    StartApp();
    SetEnvironmentVariableA("QUILLMERE_ORDINARY_USER", nullptr);
    if (HasFatalFailure()) return;
    ScanToResults();
    HWND list = ResultList();
    ASSERT_EQ(test::RowCount(list), kSeededRegistryRows + 2);
    const int own = RowNaming("qmtest-user.exe");
    ASSERT_GE(own, 0);

    Press("BUTTON_REMOVE");
    HWND box = ClosingMessage();
    ASSERT_NE(box, nullptr);
    const std::string refusal = MessageText(box);
    EXPECT_EQ(refusal.rfind("Removing \"HKEY_", 0), 0u) << refusal;
    EXPECT_NE(refusal.find("\" and " + std::to_string(kSeededRegistryRows) +
                           " more entries outside HKEY_CURRENT_USER needs administrator rights: nothing was removed"),
              std::string::npos)
        << refusal;
    test::Click(GetDlgItem(box, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return app_.Dialog("Quillmere") == nullptr && ShowsResults(); })) << Describe();
    EXPECT_TRUE(FilesMatching("*.xml").empty()) << "no backup";
    EXPECT_TRUE(FilesMatching("Registry Backups\\*.reg").empty()) << "no export";
    EXPECT_EQ(test::ReadWholeFile("ignore.lst"), ignored);
    EXPECT_TRUE(UserRunValue::Exists());
    const test::SeedAreaSnapshots after = test::SnapshotSeedAreas(registry_);
    for (std::size_t i = 0; i < after.size(); ++i) EXPECT_TRUE(after[i] == before[i]) << test::SeedAreaPaths()[i];
    EXPECT_TRUE(tree_->Exists("Desktop\\broken.lnk"));

    // His own entry alone: removed, after an export of his hive.
    for (int row = 0; row < test::RowCount(list); ++row) {
        if (row == own) continue;
        test::ClickAt(test::RowPoint(list, row, true));
        ASSERT_TRUE(WaitUntil([&] { return !test::RowChecked(list, row); })) << row;
    }
    Press("BUTTON_REMOVE");
    box = ClosingMessage();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageText(box).rfind("Items selected have been removed from the system\r\n", 0), 0u)
        << MessageText(box);
    test::Click(GetDlgItem(box, IDOK));
    EXPECT_FALSE(UserRunValue::Exists());
    EXPECT_EQ(FilesMatching("*.xml").size(), 1u);
    const std::vector<std::string> exports = FilesMatching("Registry Backups\\*.reg");
    ASSERT_EQ(exports.size(), 1u);
    const std::string exported = test::ReadWholeFile("Registry Backups\\" + exports[0]);
    std::string narrow;
    for (std::size_t i = 0; i < exported.size(); i += 2) narrow += exported[i];
    EXPECT_NE(narrow.find("[HKEY_CURRENT_USER\\"), std::string::npos);
    EXPECT_EQ(narrow.find("[HKEY_LOCAL_MACHINE"), std::string::npos);
    EXPECT_NE(narrow.find("qmtest-user.exe"), std::string::npos) << "made before the removal";
    const test::SeedAreaSnapshots machine = test::SnapshotSeedAreas(registry_);
    for (std::size_t i = 0; i < machine.size(); ++i) EXPECT_TRUE(machine[i] == before[i]) << test::SeedAreaPaths()[i];
}

// Unticked rows must reach the ignore list before anything is removed: when
// the list cannot be saved (here a folder has taken its name once the results
// are shown) the repair removes nothing and says why.
TEST_F(ScanRepair, WhenTheIgnoreListCannotBeSavedTheRepairRemovesNothingAndSaysSo) {
    const test::SeedAreaSnapshots before = test::SnapshotSeedAreas(registry_);
    ASSERT_NO_FATAL_FAILURE(StartApp());
    ScanToResults();
    HWND list = ResultList();
    ASSERT_EQ(test::RowCount(list), kSeededRegistryRows + 1);
    test::ClickAt(test::RowPoint(list, 0, true));
    ASSERT_TRUE(WaitUntil([&] { return !test::RowChecked(list, 0); }));
    struct FolderInItsPlace {
        FolderInItsPlace() {
            DeleteFileA("ignore.lst");
            made = CreateDirectoryA("ignore.lst", nullptr) != FALSE;
        }
        ~FolderInItsPlace() { RemoveDirectoryA("ignore.lst"); }
        bool made = false;
    } folder;
    ASSERT_TRUE(folder.made);

    Press("BUTTON_REMOVE");
    HWND box = ClosingMessage();
    ASSERT_NE(box, nullptr);
    const std::string text = MessageText(box);
    EXPECT_EQ(text.rfind("The ignore list could not be saved, so nothing was removed: ", 0), 0u) << text;
    test::Click(GetDlgItem(box, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return app_.Dialog("Quillmere") == nullptr; }));
    EXPECT_TRUE(FilesMatching("*.xml").empty()) << "no backup";
    const test::SeedAreaSnapshots after = test::SnapshotSeedAreas(registry_);
    for (std::size_t i = 0; i < after.size(); ++i) EXPECT_TRUE(after[i] == before[i]) << test::SeedAreaPaths()[i];
    EXPECT_TRUE(tree_->Exists("Desktop\\broken.lnk"));
}

TEST_F(ScanRepair, ASecondScanPressStopsTheScanShowsWhatWasFoundAndTheNextScanRunsWhole) {
    // Enough broken entries to keep the scan running while the stop is pressed.
    constexpr int kMany = 1500;
    for (int i = 0; i < kMany; ++i) {
        const std::string n = std::to_string(i);
        SeedAppPath("qmtest-many-" + n + ".exe", "C:\\qm-gone\\many" + n + ".exe");
    }
    constexpr int kAll = kMany + kSeededRegistryRows + 1;
    ASSERT_NO_FATAL_FAILURE(StartApp());
    const DWORD started = GetTickCount();
    Press("BUTTON_SCAN");
    // The categories panel shows the App Paths scan under way with its count.
    ASSERT_TRUE(WaitUntil([&] {
        return Label("PROGRESS_TEXT_APPPATH") == "Scanning" && std::atoi(Label("PROGRESS_COUNT_APPPATH").c_str()) > 10;
    }));
    EXPECT_EQ(Label("PROGRESS_TEXT_COM"), "Done") << "the areas before it are done";
    EXPECT_EQ(Label("PROGRESS_TEXT_UNINSTALL"), "") << "the areas after it have not started";
    test::SaveWindowShotNow(app_.Main(), "window-progress.bmp");
    Press("BUTTON_SCAN");
    ASSERT_TRUE(WaitUntil([&] { return ShowsResults(); }, 60000));
    const int stoppedAt = test::RowCount(ResultList());
    EXPECT_LT(stoppedAt, kAll) << "stopped before the end";
    EXPECT_GT(stoppedAt, 10) << "what was found up to the stop is listed";
    EXPECT_EQ(Label("TEXT_ERRORSCAN_STATUS"), "Scan stopped");
    // Each area says how far it got: done before the stop, the one it came
    // in, and the ones never reached (with no count of their own).
    EXPECT_EQ(Label("PROGRESS_TEXT_COM"), "Done");
    EXPECT_EQ(Label("PROGRESS_TEXT_APPPATH"), "Stopped");
    for (const char* later : {"UNINSTALL", "STARTUP", "SHORTCUTS"}) {
        EXPECT_EQ(Label((std::string("PROGRESS_TEXT_") + later).c_str()), "Not scanned") << later;
        EXPECT_EQ(Label((std::string("PROGRESS_COUNT_") + later).c_str()), "") << later;
    }
    // The result list says it is what a stopped scan found.
    EXPECT_EQ(app_.LabelText(app_.Panel("SUBMAIN_RESULT"), "TEXT_RESULT_HINT"), "Scan stopped: what was found up to then");
    std::printf("stopped scan: %d rows after %lu ms\n", stoppedAt, GetTickCount() - started);

    // The stop is not left behind: the next scan lists everything. As it
    // starts, nothing of the stopped scan is shown any more.
    ASSERT_TRUE(test::InsertMarkerRow(ResultList(), kMarker));
    Press("BUTTON_SCAN");
    ASSERT_TRUE(WaitUntil([&] { return Label("PROGRESS_TEXT_UNINSTALL") != "Not scanned"; }));
    if (AppWindow::Checked(app_.Button("BUTTON_SCAN"))) {
        EXPECT_NE(Label("PROGRESS_TEXT_APPPATH"), "Stopped");
        EXPECT_EQ(Label("PROGRESS_COUNT_SHORTCUTS"), "");
    }
    const DWORD whole = GetTickCount();
    ASSERT_TRUE(WaitUntil([&] { return ShowsResults() && !Marked(); }, 60000)) << Describe();
    EXPECT_EQ(test::RowCount(ResultList()), kAll);
    EXPECT_EQ(Label("TEXT_ERRORSCAN_STATUS"), "ScanComplete");
    EXPECT_EQ(Label("PROGRESS_TEXT_UNINSTALL"), "Done");
    EXPECT_EQ(app_.LabelText(app_.Panel("SUBMAIN_RESULT"), "TEXT_RESULT_HINT"), "Double-click a row for its details");
    std::printf("whole scan of %d broken entries: %lu ms\n", kAll, GetTickCount() - whole);
}

// The text of a file without the line ends and blanks it ends with.
std::string TrimmedEnd(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

// A repair that takes a while: its first App Paths entry is a big tree (its
// backup and deletion take a while), many more come after it.
constexpr int kLongRepairMany = 150, kLongRepairBranches = 3000;
const std::string kLongRepairBig = std::string(kAppPaths) + "\\qmtest-a-big.exe";

void SeedALongRepair() {
    SeedAppPath("qmtest-a-big.exe", "C:\\qm-gone\\big.exe");
    for (int i = 0; i < kLongRepairBranches; ++i) {
        RegistryKey key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kLongRepairBig + "\\branch" + std::to_string(i)).c_str(), 0,
                                  nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Out(), nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key.Get(), "leaf", 0, REG_SZ, reinterpret_cast<const BYTE*>("data"), 5);
    }
    for (int i = 0; i < kLongRepairMany; ++i) {
        const std::string n = std::to_string(i);
        SeedAppPath("qmtest-many-" + n + ".exe", "C:\\qm-gone\\many" + n + ".exe");
    }
}

// The backup of the repair under way, once it has been started ("" when none
// was within a minute).
std::string RepairsBackup() {
    std::string backup;
    WaitUntil(
        [&] {
            const auto files = FilesMatching("FixedOn*.xml");
            if (files.size() != 1) return false;
            backup = files[0];
            return true;
        },
        60000);
    return backup;
}

TEST_F(ScanRepair, ClosingDuringARepairAsksThenStopsAfterTheEntryInHandWithACompleteBackupThatRestores) {
    constexpr int kMany = kLongRepairMany, kBranches = kLongRepairBranches;
    const std::string& big = kLongRepairBig;
    ASSERT_NO_FATAL_FAILURE(SeedALongRepair());
    ASSERT_NO_FATAL_FAILURE(StartApp());
    ScanToResults();
    ASSERT_EQ(test::RowCount(ResultList()), kMany + 1 + kSeededRegistryRows + 1);
    Press("BUTTON_REMOVE");
    // Under way: its backup has been started.
    const std::string backup = RepairsBackup();
    ASSERT_FALSE(backup.empty());
    Press("BUTTON_EXIT");
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = app_.Dialog("Quillmere")) != nullptr; }));
    EXPECT_EQ(MessageText(box).rfind("A repair is running.", 0), 0u) << MessageText(box);
    EXPECT_TRUE(app_.Running()) << "nothing closes before the answer";
    test::Click(GetDlgItem(box, IDYES));
    ASSERT_TRUE(app_.WaitForExit(120000));

    int left = 0;
    for (int i = 0; i < kMany; ++i)
        if (KeyExists(std::string(kAppPaths) + "\\qmtest-many-" + std::to_string(i) + ".exe")) ++left;
    EXPECT_GT(left, 0) << "stopped before the end";
    // The entry in hand went whole, or had not been started: never half.
    EXPECT_EQ(KeyExists(big + "\\branch0"), KeyExists(big + "\\branch" + std::to_string(kBranches - 1)));
    EXPECT_EQ(KeyExists(big), KeyExists(big + "\\branch0"));
    const std::string text = test::ReadWholeFile(backup);
    const std::string end = "</registry>";
    const std::string trimmed = TrimmedEnd(text);
    ASSERT_GE(trimmed.size(), end.size());
    EXPECT_EQ(trimmed.substr(trimmed.size() - end.size()), end) << "the backup is closed";
    std::printf("closed during a repair: %d of %d entries removed\n", kMany - left, kMany);

    // The backup gives back every entry that went, and says so.
    EXPECT_EQ(RunCli("restore " + backup), 0);
    EXPECT_TRUE(KeyExists(big + "\\branch0"));
    EXPECT_TRUE(KeyExists(big + "\\branch" + std::to_string(kBranches - 1)));
    for (int i = 0; i < kMany; i += 97)
        EXPECT_TRUE(KeyExists(std::string(kAppPaths) + "\\qmtest-many-" + std::to_string(i) + ".exe")) << i;
    int back = 0;
    for (int i = 0; i < kMany; ++i)
        if (KeyExists(std::string(kAppPaths) + "\\qmtest-many-" + std::to_string(i) + ".exe")) ++back;
    EXPECT_EQ(back, kMany);
}

// While a repair removes what is ticked its result list stays shown, and the
// window's own guards drop every press but the cross and the dash: no scan
// starts, no second repair, no panel changes, and the list keeps its ticks and
// its order (a click on a row's box or on a heading does nothing); the repair
// then ends as usual. The dash pressed last shows that the presses before it
// have been handled.
TEST_F(ScanRepair, PressesWhileARepairRunsAreDroppedByTheGuardsAndTheRepairEndsAsUsual) {
    ASSERT_NO_FATAL_FAILURE(SeedALongRepair());
    ASSERT_NO_FATAL_FAILURE(StartApp());
    ScanToResults();
    HWND list = ResultList();
    const int rows = test::RowCount(list);
    ASSERT_EQ(rows, kLongRepairMany + 1 + kSeededRegistryRows + 1);
    const std::vector<std::pair<std::string, std::string>> before = Rows();
    const int threads = test::ThreadCount(app_.ProcessId());
    Press("BUTTON_REMOVE");
    ASSERT_FALSE(RepairsBackup().empty());
    ASSERT_TRUE(WaitUntil([&] { return app_.VisiblePanels() == std::vector<std::string>{"SUBMAIN_RESULT"}; }))
        << TabState();
    const std::string comDone = Label("PROGRESS_TEXT_COM");
    test::ClickAt(test::RowPoint(list, 0, true));
    test::ClickAt(HeaderPoint(list, kColumnType));
    PressNow("BUTTON_SCAN");
    PressNow("BUTTON_REMOVE");
    PressNow("BUTTON_MAIN");
    PressNow("BUTTON_IGNORED");
    PressNow("BUTTON_ADVSETTINGS");
    PressNow("BUTTON_AUTOSCAN");
    HWND main = app_.Main();
    PressNow("BUTTON_MINIMIZE");
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(main) || IsIconic(main); }));
    const bool stillRunning = app_.Dialog("Quillmere") == nullptr;
    EXPECT_FALSE(AppWindow::Checked(app_.Button("BUTTON_SCAN"))) << "no scan started";
    EXPECT_EQ(Label("PROGRESS_TEXT_COM"), comDone) << "no scan cleared the areas";
    EXPECT_EQ(FilesMatching("FixedOn*.xml").size(), 1u) << "no second repair";
    EXPECT_TRUE(test::RowChecked(list, 0)) << "the row's box was not unticked";
    EXPECT_TRUE(Rows() == before) << "the rows were not sorted";

    // Back from the notification area: the same panel, and the repair ends
    // with its one closing message.
    PostMessageA(main, kTrayMessage, IDI_TRAY, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(main) && !IsIconic(main); }));
    if (stillRunning) {
        EXPECT_EQ(app_.VisiblePanels(), std::vector<std::string>{"SUBMAIN_RESULT"}) << "no panel button took effect";
    }
    HWND box = ClosingMessage();
    ASSERT_NE(box, nullptr);
    const std::vector<std::string> written = FilesMatching("FixedOn*.xml");
    ASSERT_EQ(written.size(), 1u);
    const std::string closing = MessageText(box);
    EXPECT_EQ(closing.rfind("Items selected have been removed from the system\r\n" + std::to_string(rows - 1) +
                                " registry entries and 1 shortcut were removed.\r\n"
                                "What was removed is saved in " + written[0] + ".",
                            0),
              0u)
        << closing;
    test::Click(GetDlgItem(box, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return test::ShowsAsTab(app_, "SUBMAIN_MAIN", "BUTTON_MAIN"); })) << TabState();
    EXPECT_TRUE(WaitUntil([&] { return test::ThreadCount(app_.ProcessId()) <= threads; })) << "the repair's thread ended";
    EXPECT_FALSE(KeyExists(kLongRepairBig));
    EXPECT_FALSE(KeyExists(std::string(kAppPaths) + "\\qmtest-many-" + std::to_string(kLongRepairMany - 1) + ".exe"));
    EXPECT_FALSE(AppWindow::Checked(app_.Button("BUTTON_SCAN")));
    EXPECT_EQ(app_.Dialog("Quillmere"), nullptr) << "one closing message";
    std::printf("presses during the repair handled %s it ended\n", stillRunning ? "before" : "after");
}

// During the registry export before a repair the categories panel shows the
// repair's progress: its boxes are dropped as every other press is, and the
// repair goes on with the areas as they were.
TEST_F(ScanRepair, TheCategoryBoxesAreDroppedDuringTheExportBeforeARepair) {
    test::WriteFlag("savereg");
    ASSERT_NO_FATAL_FAILURE(StartApp());
    ScanToResults();
    Press("BUTTON_REMOVE");
    ASSERT_TRUE(WaitUntil([&] { return GetFileAttributesA("Registry Backups") != INVALID_FILE_ATTRIBUTES; }, 60000));
    HWND categories = Categories();
    auto shown = [](HWND panel) { return (GetWindowLongA(panel, GWL_STYLE) & WS_VISIBLE) != 0; };
    ASSERT_TRUE(shown(categories)) << TabState();
    HWND fonts = app_.Button("BUTTON_FONTS", categories);
    HWND all = app_.Button("BUTTON_ALL", categories);
    const bool fontsTicked = AppWindow::Checked(fonts), allTicked = AppWindow::Checked(all);
    PressNow("BUTTON_FONTS", categories);
    PressNow("BUTTON_ALL", categories);
    HWND main = app_.Main();
    PressNow("BUTTON_MINIMIZE");
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(main) || IsIconic(main); }));
    const bool stillExporting = shown(categories) && app_.Dialog("Quillmere") == nullptr;
    EXPECT_EQ(AppWindow::Checked(fonts), fontsTicked);
    EXPECT_EQ(AppWindow::Checked(all), allTicked);
    PostMessageA(main, kTrayMessage, IDI_TRAY, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(main) && !IsIconic(main); }));
    HWND box = ClosingMessage();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageText(box).rfind("Items selected have been removed from the system\r\n", 0), 0u)
        << MessageText(box);
    test::Click(GetDlgItem(box, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return test::ShowsAsTab(app_, "SUBMAIN_MAIN", "BUTTON_MAIN"); })) << TabState();
    EXPECT_EQ(AppWindow::Checked(fonts), fontsTicked);
    EXPECT_EQ(FilesMatching("Registry Backups\\*.reg").size(), 1u);
    std::printf("boxes pressed %s the export ended\n", stillExporting ? "before" : "after");
}

TEST_F(ScanRepair, ClosingDuringTheExportBeforeARepairWaitsForItSaysSoAndRemovesNothing) {
    test::WriteFlag("savereg");
    const std::string ignoredBefore = test::ReadWholeFile("ignore.lst");
    ASSERT_NO_FATAL_FAILURE(StartApp());
    ScanToResults();
    // One row unticked: it would go to the ignore list if the repair ran.
    HWND list = ResultList();
    test::ClickAt(test::RowPoint(list, 0, true));
    ASSERT_TRUE(WaitUntil([&] { return !test::RowChecked(list, 0); }));
    Press("BUTTON_REMOVE");
    ASSERT_TRUE(WaitUntil([&] { return GetFileAttributesA("Registry Backups") != INVALID_FILE_ATTRIBUTES; }, 60000));
    Press("BUTTON_EXIT");
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = app_.Dialog("Quillmere")) != nullptr; }));
    EXPECT_NE(MessageText(box).find("exporting the registry"), std::string::npos) << MessageText(box);
    test::Click(GetDlgItem(box, IDYES));
    // The window stays while the export runs, and says why.
    bool said = false;
    WaitUntil(
        [&] {
            if (!app_.Running()) return true;
            said = said || Label("TEXT_ERRORSCAN_CURRENTITEM").rfind("Waiting for the registry export", 0) == 0;
            return false;
        },
        120000);
    ASSERT_TRUE(app_.WaitForExit(1000));
    EXPECT_TRUE(said) << "the window said what it waited for";

    const std::vector<std::string> exports = FilesMatching("Registry Backups\\*.reg");
    EXPECT_EQ(exports.size(), 1u) << "the export was finished";
    EXPECT_TRUE(FilesMatching("FixedOn*.xml").empty()) << "no repair ran";
    EXPECT_TRUE(KeyExists(std::string(kAppPaths) + "\\qmgone.exe"));
    EXPECT_EQ(test::ReadWholeFile("ignore.lst"), ignoredBefore) << "nothing was ignored";
}

// Stores a next-scan time a minute ago.
void StoreNextScanInThePast() {
    RegistryKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, test::kSettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Out(),
                              nullptr),
              ERROR_SUCCESS);
    const DWORD due = static_cast<DWORD>(time(nullptr) - 60);
    RegSetValueExA(key.Get(), "scannext", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&due), sizeof due);
}

DWORD StoredNextScan() {
    RegistryKey key;
    DWORD value = 0, size = sizeof value;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, test::kSettings, 0, KEY_READ, key.Out()) != ERROR_SUCCESS) return 0;
    RegQueryValueExA(key.Get(), "scannext", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    return value;
}

// The timer's check stores the timetable it moved on; once it can be read,
// that check has run (timer 2: every ten seconds).
bool TimerMovedTheNextScanOn() { return StoredNextScan() > static_cast<DWORD>(time(nullptr) + 3600); }

TEST_F(ScanRepair, APeriodicScanThatFallsDueStartsByItselfWhileHidden) {
    test::WriteFlag("enablescan");
    StoreNextScanInThePast();
    ASSERT_NO_FATAL_FAILURE(StartApp());
    Press("BUTTON_MINIMIZE");
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(app_.Main()); }));
    ASSERT_TRUE(WaitUntil(&TimerMovedTheNextScanOn, 25000));
    HWND results = app_.Panel("SUBMAIN_RESULT");
    ASSERT_TRUE(WaitUntil([&] { return (GetWindowLongA(results, GWL_STYLE) & WS_VISIBLE) != 0; }, 60000));
    EXPECT_FALSE(IsWindowVisible(app_.Main())) << "the scan does not show the window";
    EXPECT_EQ(test::RowCount(ResultList()), kSeededRegistryRows + 1);
    // The balloon it leaves on the notification-area icon opens
    // the results when clicked.
    PostMessageA(app_.Main(), kTrayMessage, IDI_TRAY, NIN_BALLOONUSERCLICK);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(app_.Main()) && !IsIconic(app_.Main()); }));
    EXPECT_EQ(app_.VisiblePanels(), std::vector<std::string>{"SUBMAIN_RESULT"});
}

TEST_F(ScanRepair, WithScanningDisabledTheDueTimeMovesOnAndNothingStarts) {
    StoreNextScanInThePast();
    ASSERT_NO_FATAL_FAILURE(StartApp());
    Press("BUTTON_MINIMIZE");
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(app_.Main()); }));
    ASSERT_TRUE(WaitUntil(&TimerMovedTheNextScanOn, 25000));
    // The check that moved it on has ended (this question is answered after
    // it): a scan it started would show as the ticked scan button.
    EXPECT_FALSE(AppWindow::Checked(app_.Button("BUTTON_SCAN")));
    EXPECT_EQ(GetWindowLongA(app_.Panel("SUBMAIN_RESULT"), GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_EQ(Label("PROGRESS_TEXT_COM"), "") << "no scan reported progress";
    PostMessageA(app_.Main(), WM_COMMAND, ID_TRAY_CLOSE, 0);  // the tray menu's "Close"
    ASSERT_TRUE(app_.WaitForExit());
}

// The scheduled task's command line, "quillmere.exe scan": the window scans
// the ticked areas by itself as soon as it is built and lists what it found.
TEST_F(ScanRepair, TheScheduledTasksCommandLineScansByItselfAndListsTheSeededEntries) {
    ASSERT_TRUE(app_.Start("scan"));
    ASSERT_TRUE(WaitUntil([&] { return ShowsResults() && test::RowCount(ResultList()) == kSeededRegistryRows + 1; },
                          60000))
        << Describe();
    EXPECT_EQ(Label("PROGRESS_TEXT_UNINSTALL"), "Done");
    EXPECT_EQ(Label("PROGRESS_TEXT_SHORTCUTS"), "Done");
    EXPECT_TRUE(FilesMatching("FixedOn*.xml").empty()) << "a scan repairs nothing";
}

// While a scan runs the window's own guards drop every press but the scan
// button's (which stops it), the cross and the dash: no panel changes, no
// box is ticked, nothing is repaired. The dash pressed last shows that the
// presses before it have been handled.
TEST_F(ScanRepair, PressesWhileAScanRunsAreDroppedByTheGuards) {
    constexpr int kMany = 1500;
    for (int i = 0; i < kMany; ++i) {
        const std::string n = std::to_string(i);
        SeedAppPath("qmtest-many-" + n + ".exe", "C:\\qm-gone\\many" + n + ".exe");
    }
    ASSERT_NO_FATAL_FAILURE(StartApp());
    Press("BUTTON_SCAN");
    ASSERT_TRUE(WaitUntil([&] {
        return Label("PROGRESS_TEXT_APPPATH") == "Scanning" && std::atoi(Label("PROGRESS_COUNT_APPPATH").c_str()) > 10;
    }));
    HWND fonts = app_.Button("BUTTON_FONTS", Categories());
    const bool fontsTicked = AppWindow::Checked(fonts);
    PressNow("BUTTON_FONTS", Categories());
    PressNow("BUTTON_ALL", Categories());
    PressNow("BUTTON_REMOVE");
    PressNow("BUTTON_IGNORED");
    PressNow("BUTTON_ADVSETTINGS");
    HWND main = app_.Main();
    PressNow("BUTTON_MINIMIZE");
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(main) || IsIconic(main); }));
    EXPECT_TRUE(AppWindow::Checked(app_.Button("BUTTON_SCAN"))) << "still scanning";
    EXPECT_EQ(AppWindow::Checked(fonts), fontsTicked);
    EXPECT_EQ(app_.Dialog("Quillmere"), nullptr) << "no repair and no message about one";
    EXPECT_TRUE(FilesMatching("FixedOn*.xml").empty());

    // Back from the notification area, the scan button still stops the scan.
    PostMessageA(main, kTrayMessage, IDI_TRAY, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(main) && !IsIconic(main); }));
    EXPECT_EQ(app_.VisiblePanels(), std::vector<std::string>{"SUBMAIN_MAIN"}) << "no panel button took effect";
    Press("BUTTON_SCAN");
    ASSERT_TRUE(WaitUntil([&] { return ShowsResults(); }, 60000)) << Describe();
    EXPECT_TRUE(FilesMatching("FixedOn*.xml").empty());
}

}  // namespace
}  // namespace qm
