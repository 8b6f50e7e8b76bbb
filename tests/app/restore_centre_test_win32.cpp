// The restore centre of the real quillmere.exe: after a repair from the
// window, the settings panel's Backups button lists the backups newest first
// with what each holds, and Restore puts the selected one back after asking.
// The test's own Wine prefix is seeded as for the scan and repair tests (a
// broken entry and an intact twin in every registry area, a broken and an
// intact shortcut on the scratch drive Q:); what the prefix itself would be
// reported for is put on the ignore list first.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/registry_lib.h"
#include "platform/handles_win32.h"
#include "platform/registry_win32.h"
#include "platform/system.h"
#include "repair/backup_list.h"
#include "repair/restore_areas.h"
#include "tests/app/app_fixture_win32.h"
#include "tests/app/seeded_areas_win32.h"
#include "tests/shortcut/scan_tree.h"

namespace qm {
namespace {

using test::FilesMatching;
using test::MessageText;
using test::AppWindow;
using test::WaitUntil;

constexpr int kSeededRows = 10;  // one broken entry in each of the nine registry areas, one shortcut
// An older backup of one App Paths key with two values, written by hand.
constexpr const char* kOlderBackup = "FixedOnWednesdayJanuary012020120000.xml";
constexpr const char* kOlderKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qmtest-older.exe";

class RestoreCentre : public test::MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        if (IsSkipped()) return;
        for (const std::string& f : FilesMatching("*.xml")) DeleteFileA(f.c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kOlderKey);
        test::UnseedEveryArea(registry_);
        tree_ = test::MakeScanTree();
        if (!tree_->Ready()) GTEST_SKIP() << "no scratch drive Q:";
        tree_->Reset();
        tree_->MakeDir("Desktop");
        tree_->MakeShortcut("Desktop\\broken.lnk", test::LinkKind::Broken);
        tree_->MakeShortcut("Desktop\\intact.lnk", test::LinkKind::Intact);
        brokenLink_ = test::ReadWholeFile("Q:\\Desktop\\broken.lnk");
        ASSERT_FALSE(brokenLink_.empty());
        ASSERT_TRUE(test::IgnoreWhatThePrefixItselfHas(registry_));
        test::SeedEveryArea(registry_);
        SetEnvironmentVariableA("QUILLMERE_SHORTCUT_DRIVES", "Q");
        ASSERT_TRUE(test::WriteWholeFile(
            kOlderBackup,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n <registry>\r\n"
            "  <k name=\"HKEY_LOCAL_MACHINE\">\r\n   <k name=\"SOFTWARE\">\r\n    <k name=\"Microsoft\">\r\n"
            "     <k name=\"Windows\">\r\n      <k name=\"CurrentVersion\">\r\n       <k name=\"App Paths\">\r\n"
            "        <k name=\"qmtest-older.exe\">\r\n"
            "         <v name=\"(Default)\" value=\"C:\\QmGone\\older.exe\"/>\r\n"
            "         <v name=\"Path\" value=\"C:\\QmGone\"/>\r\n"
            "        </k>\r\n       </k>\r\n      </k>\r\n     </k>\r\n    </k>\r\n   </k>\r\n  </k>\r\n"
            " </registry>\r\n"));
    }
    void TearDown() override {
        MainWindow::TearDown();
        SetEnvironmentVariableA("QUILLMERE_SHORTCUT_DRIVES", nullptr);
        test::UnseedEveryArea(registry_);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kOlderKey);
        for (const std::string& f : FilesMatching("*.xml")) DeleteFileA(f.c_str());
        DeleteFileA("ignore.lst");
    }

    HWND ResultList() const { return app_.List(app_.Panel("SUBMAIN_RESULT")); }
    HWND Centre() const { return app_.Panel("SUBMAIN_RESTORE"); }
    HWND BackupList() const { return app_.List(Centre()); }
    // The message box captioned `caption` once it shows `text`.
    HWND WaitForBox(const char* caption, const std::string& text) const {
        HWND box = nullptr;
        WaitUntil([&] { return (box = app_.Dialog(caption)) != nullptr && MessageText(box) == text; }, 30000);
        return box != nullptr && MessageText(box) == text ? box : nullptr;
    }
    void Answer(HWND box, int button) {
        PostMessageA(box, WM_COMMAND, button, 0);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    }
    // The backup list's rows: each column's text.
    std::vector<std::vector<std::string>> Listed() const {
        std::vector<std::vector<std::string>> rows;
        for (int row = 0; row < test::RowCount(BackupList()); ++row) {
            rows.emplace_back();
            for (int column = 0; column < 5; ++column) rows.back().push_back(test::RowText(BackupList(), row, column));
        }
        return rows;
    }

    Win32Registry registry_;
    std::unique_ptr<test::ScanTree> tree_;
    std::string brokenLink_;
};

TEST_F(RestoreCentre, ListsTheRepairsBackupNewestFirstAndPutsBackEverythingItRemoved) {
    const test::SeedAreaSnapshots before = test::SnapshotSeedAreas(registry_);
    ASSERT_TRUE(app_.Start());

    // Scan, then repair every row.
    Press("BUTTON_SCAN");
    ASSERT_TRUE(WaitUntil(
        [&] {
            return app_.VisiblePanels() == std::vector<std::string>{"SUBMAIN_RESULT"} &&
                   !AppWindow::Checked(app_.Button("BUTTON_SCAN")) && test::RowCount(ResultList()) == kSeededRows;
        },
        60000))
        << test::RowCount(ResultList()) << " rows";
    Press("BUTTON_REMOVE");
    HWND closing = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (closing = app_.Dialog("Quillmere")) != nullptr; }, 120000));
    ASSERT_EQ(MessageText(closing).rfind("Items selected have been removed from the system", 0), 0u)
        << MessageText(closing);
    test::Click(GetDlgItem(closing, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return test::ShowsAsTab(app_, "SUBMAIN_MAIN", "BUTTON_MAIN"); })) << TabState();
    const test::SeedAreaSnapshots repaired = test::SnapshotSeedAreas(registry_);
    ASSERT_TRUE(repaired == test::WithoutSeededBrokenEntries(before, false));
    ASSERT_FALSE(tree_->Exists("Desktop\\broken.lnk"));
    std::string written;
    for (const std::string& f : FilesMatching("FixedOn*.xml"))
        if (f != kOlderBackup) written = f;
    ASSERT_FALSE(written.empty());

    // The settings panel's Backups button opens the restore centre: the
    // repair's backup first, then the older one, each with its time and
    // what it holds.
    ShowTab("BUTTON_ADVSETTINGS", "SUBMAIN_ADVANCED");
    Press("BUTTON_BACKUPS", app_.Panel("SUBMAIN_ADVANCED"));
    ASSERT_TRUE(WaitUntil([&] { return app_.VisiblePanels() == std::vector<std::string>{"SUBMAIN_RESTORE"}; }))
        << TabState();
    ASSERT_TRUE(WaitUntil([&] { return test::RowCount(BackupList()) == 2; })) << test::RowCount(BackupList());
    std::tm when{};
    ASSERT_TRUE(BackupTimeFromFileName(written, when));
    const BackupSummary holds = SummarizeBackup(written, RestoreAreas::Program());
    EXPECT_EQ(holds.shortcuts, 1u);
    EXPECT_GE(holds.keys + holds.values, 9u);
    const auto rows = Listed();
    EXPECT_EQ(rows[0], (std::vector<std::string>{FormatBackupListTime(when), std::to_string(holds.keys),
                                                 std::to_string(holds.values), "1", written}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"2020-01-01 12:00:00", "1", "2", "0", kOlderBackup}));
    EXPECT_EQ(app_.LabelText(Centre(), "TEXT_BACKUP_TOTAL"), "2 backups, the newest first");
    ASSERT_TRUE(test::WaitPainted(app_.Main()));
    test::SaveWindowShot(app_.Main(), "window-restore.bmp");

    // Restore asks first, No being the default; No writes nothing.
    test::ClickAt(test::RowPoint(BackupList(), 0, false));
    auto count = [](std::uint32_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    const std::string question = "Put back what this backup holds?\n\n" + written + "\nWritten on " +
                                 FormatBackupTime(when) + "\n\nIt puts back " + count(holds.keys, "key", "keys") +
                                 ", " + count(holds.values, "value", "values") + " and 1 shortcut.";
    Press("BUTTON_RESTORE", Centre());
    HWND ask = WaitForBox("Registry Restoration", question);
    ASSERT_NE(ask, nullptr) << (app_.Dialog("Registry Restoration") ? MessageText(app_.Dialog("Registry Restoration"))
                                                                       : "no question");
    ASSERT_NE(GetDlgItem(ask, IDNO), nullptr);
    EXPECT_NE(GetWindowLongA(GetDlgItem(ask, IDNO), GWL_STYLE) & BS_DEFPUSHBUTTON, 0) << "No is the default";
    ASSERT_NO_FATAL_FAILURE(Answer(ask, IDNO));
    HWND done = WaitForBox("Registry Restoration", "Registry Restoration Failed");
    ASSERT_NE(done, nullptr);
    ASSERT_NO_FATAL_FAILURE(Answer(done, IDOK));
    EXPECT_TRUE(test::SnapshotSeedAreas(registry_) == repaired);
    EXPECT_FALSE(tree_->Exists("Desktop\\broken.lnk"));

    // Yes puts back every entry the repair removed, and the shortcut, as
    // they were.
    Press("BUTTON_RESTORE", Centre());
    ask = WaitForBox("Registry Restoration", question);
    ASSERT_NE(ask, nullptr);
    ASSERT_NO_FATAL_FAILURE(Answer(ask, IDYES));
    done = WaitForBox("Registry Restoration", "Registry Restored Successfuly");
    ASSERT_NE(done, nullptr) << (app_.Dialog("") ? MessageText(app_.Dialog("")) : "no message");
    ASSERT_NO_FATAL_FAILURE(Answer(done, IDOK));
    const test::SeedAreaSnapshots restored = test::SnapshotSeedAreas(registry_);
    for (std::size_t i = 0; i < restored.size(); ++i)
        EXPECT_TRUE(restored[i] == before[i]) << test::SeedAreaPaths()[i];
    EXPECT_EQ(test::ReadWholeFile("Q:\\Desktop\\broken.lnk"), brokenLink_);
    RegistryKey older;
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOlderKey, 0, KEY_READ, older.Out()), ERROR_SUCCESS)
        << "only the selected backup is put back";
    older.Close();

    // The older backup, once selected, is the one put back; it stays selected.
    test::ClickAt(test::RowPoint(BackupList(), 1, false));
    ASSERT_TRUE(WaitUntil([&] { return SendMessageA(BackupList(), LVM_GETNEXTITEM, -1, LVNI_SELECTED) == 1; }));
    Press("BUTTON_RESTORE", Centre());
    ask = WaitForBox("Registry Restoration", std::string("Put back what this backup holds?\n\n") + kOlderBackup +
                                                 "\nWritten on Wednesday 1 January 2020 at 12:00:00\n\n"
                                                 "It puts back 1 key, 2 values and 0 shortcuts.");
    ASSERT_NE(ask, nullptr);
    ASSERT_NO_FATAL_FAILURE(Answer(ask, IDYES));
    done = WaitForBox("Registry Restoration", "Registry Restored Successfuly");
    ASSERT_NE(done, nullptr);
    ASSERT_NO_FATAL_FAILURE(Answer(done, IDOK));
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOlderKey, 0, KEY_READ, older.Out()), ERROR_SUCCESS);
    char path[64] = "";
    DWORD size = sizeof path;
    EXPECT_EQ(RegQueryValueExA(older.Get(), "Path", nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size), ERROR_SUCCESS);
    EXPECT_STREQ(path, "C:\\QmGone");
    older.Close();
    EXPECT_TRUE(WaitUntil([&] { return SendMessageA(BackupList(), LVM_GETNEXTITEM, -1, LVNI_SELECTED) == 1; }));

    // Back returns to the settings panel.
    Press("BUTTON_SETTINGS_BACK", Centre());
    EXPECT_TRUE(WaitUntil([&] { return test::ShowsAsTab(app_, "SUBMAIN_ADVANCED", "BUTTON_ADVSETTINGS"); }))
        << TabState();
}

}  // namespace
}  // namespace qm
