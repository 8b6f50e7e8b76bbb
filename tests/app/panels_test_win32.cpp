// The panels' lists and the buttons a skin may add (restore, schedules), and
// what a skin without a usable mask does, in the real quillmere.exe.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "platform/com_scope_win32.h"
#include "platform/handles_win32.h"
#include "repair/task_schedule_win32.h"
#include "tests/app/app_fixture_win32.h"

namespace qm {
namespace {

using test::MessageText;
using test::AppWindow;
using test::kSettings;
using test::MainWindow;
using test::ReadWholeFile;
using test::WaitUntil;
using test::WriteWholeFile;
using test::DefaultSkinText;

TEST_F(MainWindow, IgnoredPanelListsTheFileAndDeletesTheTickedEntries) {
    ASSERT_TRUE(WriteWholeFile("ignore.lst", "C:\\Gone\\one.dll\nC:\\Gone\\two.dll\nC:\\Gone\\three.dll\n"));
    ASSERT_TRUE(app_.Start());
    ShowTab("BUTTON_IGNORED", "SUBMAIN_IGNORED");
    HWND panel = app_.Panel("SUBMAIN_IGNORED");
    HWND list = app_.List(panel);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(test::RowCount(list), 3);

    test::ClickAt(test::RowPoint(list, 0, true));
    test::ClickAt(test::RowPoint(list, 2, true));
    ASSERT_TRUE(WaitUntil([&] { return test::RowChecked(list, 0) && test::RowChecked(list, 2); }));
    EXPECT_FALSE(test::RowChecked(list, 1));
    // Meanwhile another program puts a path at the front of the file: the
    // ticked paths go, not whatever now stands at their rows' positions.
    ASSERT_TRUE(WriteWholeFile("ignore.lst", "C:\\Gone\\new.dll\nC:\\Gone\\one.dll\nC:\\Gone\\two.dll\n"
                                             "C:\\Gone\\three.dll\n"));
    Press("BUTTON_IGNORED_DELETE", panel);
    ASSERT_TRUE(WaitUntil([&] { return test::RowCount(list) == 2; }));
    std::string kept = ReadWholeFile("ignore.lst");
    kept.erase(std::remove(kept.begin(), kept.end(), '\r'), kept.end());  // a text file: CRLF on Windows
    EXPECT_EQ(kept, "C:\\Gone\\new.dll\nC:\\Gone\\two.dll\n");
    EXPECT_FALSE(test::RowChecked(list, 0));

    // The select-all box ticks every row, and clears them again.
    HWND all = app_.Button("BUTTON_IGNORED_SEL_ALL", panel);
    test::Click(all);
    ASSERT_TRUE(WaitUntil([&] { return test::RowChecked(list, 0) && test::RowChecked(list, 1); }));
    EXPECT_TRUE(AppWindow::Checked(all));
    test::Click(all);
    ASSERT_TRUE(WaitUntil([&] { return !test::RowChecked(list, 0) && !test::RowChecked(list, 1); }));
}

TEST_F(MainWindow, ThePeriodEditBoxIsStoredWithTheEveryMinutesSchedule) {
    test::WriteFlag("enablescan");
    ASSERT_TRUE(app_.Start());
    ShowTab("BUTTON_AUTOSCAN", "SUBMAIN_SCHEDULE");
    HWND panel = app_.Panel("SUBMAIN_SCHEDULE");
    HWND edit = FindWindowExA(panel, nullptr, "Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    // Another program's control: its text by message (GetWindowText and
    // SetWindowText do not reach it).
    char shown[16] = "";
    SendMessageA(edit, WM_GETTEXT, sizeof shown, reinterpret_cast<LPARAM>(shown));
    EXPECT_STREQ(shown, "5") << "nothing stored: five minutes";
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("12"));
    Press("BUTTON_START_EVERY", panel);
    // The program stores the three values one after the other: wait for all.
    auto period = [] {
        RegistryKey key;
        DWORD value = 0, size = sizeof value;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettings, 0, KEY_READ, key.Out()) != ERROR_SUCCESS) return DWORD{0};
        RegQueryValueExA(key.Get(), "scanperiod", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        return value;
    };
    WaitUntil([&] {
        return test::SettingText(kSettings, "scanminutes") == "12" && test::SettingExists(kSettings, "scanevery") &&
               period() == 720u;
    });
    EXPECT_EQ(test::SettingText(kSettings, "scanminutes"), "12");
    EXPECT_TRUE(test::SettingExists(kSettings, "scanevery"));
    EXPECT_EQ(period(), 720u) << "12 minutes";
}

// Types `digits` into an edit box of the program in place of its text: a
// click to give it the focus, then keys as a user presses them.
void TypeInto(HWND edit, const std::string& digits) {
    test::MakeForeground(GetAncestor(edit, GA_ROOT));
    test::Click(edit);
    WaitUntil([&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(GetWindowThreadProcessId(edit, nullptr), &info) && info.hwndFocus == edit;
    }, 5000);
    test::PressKey(VK_END);
    for (int i = 0; i < 8; ++i) test::PressKey(VK_BACK);
    for (char c : digits) test::PressKey(static_cast<WORD>(c));
}

DWORD StoredDword(const char* name) {
    RegistryKey key;
    DWORD value = 0, size = sizeof value;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettings, 0, KEY_READ, key.Out()) != ERROR_SUCCESS) return 0;
    RegQueryValueExA(key.Get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    return value;
}

void StoreDword(const char* name, DWORD value) {
    RegistryKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Out(), nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

TEST_F(MainWindow, TheScheduleSaysItIsOnAndItsMinutesBoxHoldsAndSavesWhatIsTyped) {
    test::WriteFlag("enablescan");
    ASSERT_TRUE(app_.Start());
    ShowTab("BUTTON_AUTOSCAN", "SUBMAIN_SCHEDULE");
    HWND panel = app_.Panel("SUBMAIN_SCHEDULE");
    Press("BUTTON_START_EVERY", panel);
    ASSERT_TRUE(WaitUntil([&] { return StoredDword("scanperiod") == 300u; })) << "five minutes";
    HWND edit = FindWindowExA(panel, nullptr, "Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    // Four digits, saved as they are typed, no other press needed; all of
    // them in view (the first is not scrolled out of the box).
    TypeInto(edit, "1440");
    EXPECT_TRUE(WaitUntil([&] { return StoredDword("scanperiod") == 86400u; })) << StoredDword("scanperiod");
    EXPECT_EQ(test::SettingText(kSettings, "scanminutes"), "1440");
    const LRESULT first = SendMessageA(edit, EM_POSFROMCHAR, 0, 0);
    EXPECT_GE(static_cast<short>(LOWORD(first)), 0) << "the box shows all four digits";
    TypeInto(edit, "2");
    EXPECT_TRUE(WaitUntil([&] { return StoredDword("scanperiod") == 120u; })) << StoredDword("scanperiod");
    const DWORD next = StoredDword("scannext");
    EXPECT_LE(next, static_cast<DWORD>(time(nullptr) + 120));
    EXPECT_GE(next, static_cast<DWORD>(time(nullptr) + 100));
}

TEST_F(MainWindow, ATwoMinutePeriodStaysTwoMinutesWhenItsScanFallsDue) {
    test::WriteFlag("enablescan");
    test::WriteFlag("scanevery");
    ASSERT_NO_FATAL_FAILURE(StoreDword("scanperiod", 120));
    ASSERT_NO_FATAL_FAILURE(StoreDword("scannext", static_cast<DWORD>(time(nullptr) - 60)));
    SetEnvironmentVariableA("QUILLMERE_SHORTCUT_DRIVES", "Q");  // the scan that falls due walks no drive
    const bool started = app_.Start();
    SetEnvironmentVariableA("QUILLMERE_SHORTCUT_DRIVES", nullptr);
    ASSERT_TRUE(started);
    // The timer's check (every ten seconds) moves the next scan on and stores it.
    ASSERT_TRUE(WaitUntil([] { return StoredDword("scannext") > static_cast<DWORD>(time(nullptr)); }, 25000));
    EXPECT_EQ(StoredDword("scanperiod"), 120u) << "not a day";
    EXPECT_LE(StoredDword("scannext"), static_cast<DWORD>(time(nullptr) + 120));
}

TEST_F(MainWindow, TheBackupCountBoxOfTheSettingsPanelHasALabelAndSetsSavecountreg) {
    RegistryKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Out(), nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key.Get(), "savecountreg", 0, REG_SZ, reinterpret_cast<const BYTE*>("7"), 2);
    ASSERT_TRUE(app_.Start());
    ShowTab("BUTTON_ADVSETTINGS", "SUBMAIN_ADVANCED");
    HWND panel = app_.Panel("SUBMAIN_ADVANCED");
    EXPECT_EQ(app_.LabelText(panel, "TEXT_BAKUP_COUNT"), "Exports kept:");
    HWND edit = FindWindowExA(panel, nullptr, "Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    char shown[16] = "";
    SendMessageA(edit, WM_GETTEXT, sizeof shown, reinterpret_cast<LPARAM>(shown));
    EXPECT_STREQ(shown, "7") << "the stored count";
    TypeInto(edit, "3");
    EXPECT_TRUE(WaitUntil([&] { return test::SettingText(kSettings, "savecountreg") == "3"; }))
        << test::SettingText(kSettings, "savecountreg");
}

// An ordinary user (the program told so by QUILLMERE_ORDINARY_USER: the
// prefix's own account is an administrator) cannot change the settings kept
// under HKEY_LOCAL_MACHINE: a press or a typed count says so once, and the
// stored values and the boxes stay as they were.
TEST_F(MainWindow, WithoutAdministratorRightsAChangedSettingSaysItWasNotSavedAndStaysAsStored) {
    test::WriteFlag("savereg");
    RegistryKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Out(), nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key.Get(), "savecountreg", 0, REG_SZ, reinterpret_cast<const BYTE*>("7"), 2);
    SetEnvironmentVariableA("QUILLMERE_ORDINARY_USER", "1");
    const bool started = app_.Start();
    SetEnvironmentVariableA("QUILLMERE_ORDINARY_USER", nullptr);
    ASSERT_TRUE(started);
    ShowTab("BUTTON_ADVSETTINGS", "SUBMAIN_ADVANCED");
    HWND panel = app_.Panel("SUBMAIN_ADVANCED");
    HWND backup = app_.Button("BUTTON_BACKUP", panel);
    ASSERT_TRUE(WaitUntil([&] { return AppWindow::Checked(backup); })) << "the stored setting is shown";

    auto refusalShown = [&] {
        HWND box = nullptr;
        if (!WaitUntil([&] { return (box = app_.Dialog("Quillmere")) != nullptr; })) return std::string("(no box)");
        const std::string text = MessageText(box);
        test::Click(GetDlgItem(box, IDOK));
        WaitUntil([&] { return app_.Dialog("Quillmere") == nullptr; });
        return text;
    };
    const std::string kSaid = "This setting was not saved: Quillmere keeps its settings under HKEY_LOCAL_MACHINE";
    for (const char* button : {"BUTTON_BACKUP", "BUTTON_AUTOSCAN", "BUTTON_STARTUP"}) {
        Press(button, panel);
        EXPECT_EQ(refusalShown().rfind(kSaid, 0), 0u) << button;
    }
    EXPECT_TRUE(AppWindow::Checked(backup));
    EXPECT_FALSE(AppWindow::Checked(app_.Button("BUTTON_AUTOSCAN", panel)));
    EXPECT_FALSE(AppWindow::Checked(app_.Button("BUTTON_STARTUP", panel)));
    EXPECT_TRUE(test::SettingExists(kSettings, "savereg"));
    EXPECT_FALSE(test::SettingExists(kSettings, "autoscan"));
    EXPECT_FALSE(test::SettingExists(test::kRun, "QUILLMERE"));

    // A typed count: said at the first key.
    HWND edit = FindWindowExA(panel, nullptr, "Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    test::MakeForeground(GetAncestor(edit, GA_ROOT));
    test::Click(edit);
    test::PressKey(VK_END);
    test::PressKey('3');
    EXPECT_EQ(refusalShown().rfind(kSaid, 0), 0u);
    EXPECT_EQ(test::SettingText(kSettings, "savecountreg"), "7");
}

TEST_F(MainWindow, RightClickMenuTicksAndUnticksEveryRow) {
    ASSERT_TRUE(WriteWholeFile("ignore.lst", "C:\\Gone\\a.dll\nC:\\Gone\\b.dll\nC:\\Gone\\c.dll\n"));
    ASSERT_TRUE(app_.Start());
    ShowTab("BUTTON_IGNORED", "SUBMAIN_IGNORED");
    HWND list = app_.List(app_.Panel("SUBMAIN_IGNORED"));
    ASSERT_EQ(test::RowCount(list), 3);
    auto all = [&](bool checked) {
        for (int i = 0; i < test::RowCount(list); ++i)
            if (test::RowChecked(list, i) != checked) return false;
        return true;
    };
    for (int item = 0; item < 2; ++item) {
        test::ClickAt(test::RowPoint(list, 1, false), true);
        HWND menu = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (menu = app_.PopupMenu()) != nullptr; }));
        // "Select All" is the first item, "Deselect All" the second.
        RECT r{};
        GetWindowRect(menu, &r);
        const int itemHeight = (r.bottom - r.top) / 2;
        test::ClickAt(POINT{(r.left + r.right) / 2, r.top + itemHeight * item + itemHeight / 2});
        ASSERT_TRUE(WaitUntil([&] { return all(item == 0); })) << (item == 0 ? "Select All" : "Deselect All");
        ASSERT_TRUE(WaitUntil([&] { return app_.PopupMenu() == nullptr; }));
    }
}

// A message box of the program with this caption and text.
HWND WaitForBox(const AppWindow& app, const std::string& caption, const std::string& text) {
    HWND box = nullptr;
    WaitUntil([&] {
        box = app.Dialog(caption);
        return box != nullptr && MessageText(box) == text;
    });
    return box != nullptr && MessageText(box) == text ? box : nullptr;
}

// The restore button asks which backup, shows what it puts back and writes it
// only on Yes; a backup that reaches outside the program's areas is refused
// with its reason, and nothing of it is written.
TEST_F(MainWindow, RestoreButtonShowsWhatTheBackupPutsBackAndWritesItOnYes) {
    const char* const key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\QuillmereWindowTest.exe";
    const char* const run = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, key);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
    const std::string name = "FixedOnSundayDecember062026050645.xml";
    ASSERT_TRUE(WriteWholeFile(name,
                               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n <registry>\r\n"
                               "  <k name=\"HKEY_LOCAL_MACHINE\">\r\n   <k name=\"SOFTWARE\">\r\n"
                               "    <k name=\"Microsoft\">\r\n     <k name=\"Windows\">\r\n"
                               "      <k name=\"CurrentVersion\">\r\n       <k name=\"App Paths\">\r\n"
                               "        <k name=\"QuillmereWindowTest.exe\">\r\n"
                               "         <v name=\"(Default)\" value=\"C:\\Gone\\qmwt.exe\"/>\r\n"
                               "         <v name=\"Colour\" value=\"teal\"/>\r\n"
                               "        </k>\r\n       </k>\r\n      </k>\r\n     </k>\r\n    </k>\r\n"
                               "   </k>\r\n  </k>\r\n </registry>\r\n"));
    ASSERT_TRUE(WriteWholeFile("window-refused.xml",
                               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n <registry>\r\n"
                               "  <k name=\"HKEY_CURRENT_USER\">\r\n   <k name=\"Software\">\r\n"
                               "    <k name=\"Microsoft\">\r\n     <k name=\"Windows\">\r\n"
                               "      <k name=\"CurrentVersion\">\r\n       <k name=\"RunOnce\">\r\n"
                               "        <v name=\"QuillmereWindowTest\" value=\"C:\\evil.exe\"/>\r\n"
                               "       </k>\r\n      </k>\r\n     </k>\r\n    </k>\r\n   </k>\r\n  </k>\r\n"
                               " </registry>\r\n"));
    const std::string skin = WriteSkin(
        "restore-skin.ini", SkinWith("4=BUTTON_BACKUPS,226,58,112,20,FALSE,Backups...", "5=BUTTON_RESTORE,200,170,100,25,FALSE"));
    ASSERT_FALSE(skin.empty());
    ASSERT_TRUE(app_.Start("", skin));
    ShowTab("BUTTON_ADVSETTINGS", "SUBMAIN_ADVANCED");

    auto choose = [&](const std::string& file) {
        Press("BUTTON_RESTORE", app_.Panel("SUBMAIN_ADVANCED"));
        HWND open = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (open = app_.Dialog("")) != nullptr; }));
        // The file name box: a combo box in the Explorer-style dialog, an edit
        // box in the old one.
        if (!SetDlgItemTextA(open, 0x47C, file.c_str())) SetDlgItemTextA(open, 0x480, file.c_str());
        PostMessageA(open, WM_COMMAND, IDOK, 0);
    };
    auto closed = [&](const char* text) {
        HWND done = WaitForBox(app_, "Registry Restoration", text);
        ASSERT_NE(done, nullptr) << text;
        PostMessageA(done, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitUntil([&] { return app_.Dialog("Registry Restoration") == nullptr; }));
    };
    const std::string question = "Put back what this backup holds?\n\n" + name +
                                 "\nWritten on Sunday 6 December 2026 at 05:06:45\n\n"
                                 "It puts back 1 key, 2 values and 0 shortcuts.";
    auto exists = [&] {
        RegistryKey k;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, k.Out()) != ERROR_SUCCESS) return false;
        return true;
    };

    // No: nothing written, a failed restoration.
    choose(name);
    HWND ask = WaitForBox(app_, "Registry Restoration", question);
    ASSERT_NE(ask, nullptr) << (app_.Dialog("Registry Restoration") ? MessageText(app_.Dialog("Registry Restoration")) : "");
    EXPECT_NE(GetDlgItem(ask, IDYES), nullptr);
    EXPECT_NE(GetDlgItem(ask, IDNO), nullptr);
    PostMessageA(ask, WM_COMMAND, IDNO, 0);
    closed("Registry Restoration Failed");
    EXPECT_FALSE(exists());

    // Yes: written.
    choose(name);
    ask = WaitForBox(app_, "Registry Restoration", question);
    ASSERT_NE(ask, nullptr);
    PostMessageA(ask, WM_COMMAND, IDYES, 0);
    closed("Registry Restored Successfuly");
    RegistryKey k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, k.Out()), ERROR_SUCCESS);
    char data[32] = "";
    DWORD size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(k.Get(), "Colour", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size), ERROR_SUCCESS);
    EXPECT_STREQ(data, "teal");
    k.Close();
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, key);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);

    // Outside the areas: no question, the reason, nothing written.
    choose("window-refused.xml");
    HWND why = WaitForBox(app_, "Quillmere",
                          "Restoration refused: line 8: key "
                          "\"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\" lies outside the "
                          "registry areas the program cleans; the backup was refused whole and nothing was restored");
    ASSERT_NE(why, nullptr);
    PostMessageA(why, WM_COMMAND, IDOK, 0);
    closed("Registry Restoration Failed");
    RegistryKey runKey;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, run, 0, KEY_READ, runKey.Out()) == ERROR_SUCCESS) {
        EXPECT_NE(RegQueryValueExA(runKey.Get(), "QuillmereWindowTest", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    }

    // Cancelling the file choice is a failed restoration.
    Press("BUTTON_RESTORE", app_.Panel("SUBMAIN_ADVANCED"));
    HWND open = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (open = app_.Dialog("")) != nullptr; }));
    PostMessageA(open, WM_COMMAND, IDCANCEL, 0);
    closed("Registry Restoration Failed");
}

TEST_F(MainWindow, SchedulePanelAddsAScheduleThroughTheDialogAndDeletesItAfterConfirmation) {
    DeleteTask(TaskName());
    test::WriteFlag("enablescan");
    std::string text = SkinWith("6=BUTTON_AUTOSCAN_ENABLE,82,45,30,25,FALSE,Scheduled scans",
                                "7=BUTTON_ADDSCHEDULE,262,176,80,18,FALSE\r\n"
                                "8=BUTTON_DELETESCHEDULE,262,197,80,18,FALSE");
    text += "\r\n[SUBMAIN_SCHEDULE_LISTINFO]\r\n1=4,176,250,40,3,#,24,Schedule,150,Last run,70\r\n";
    const std::string skin = WriteSkin("schedule-skin.ini", text);
    ASSERT_TRUE(app_.Start("", skin));
    ShowTab("BUTTON_AUTOSCAN", "SUBMAIN_SCHEDULE");
    HWND panel = app_.Panel("SUBMAIN_SCHEDULE");
    HWND list = app_.List(panel);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(test::RowCount(list), 0);

    Press("BUTTON_ADDSCHEDULE", panel);
    HWND add = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (add = app_.Dialog("Add Schedule")) != nullptr; }));
    PostMessageA(add, WM_COMMAND, IDOK, 0);
    HWND told = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (told = app_.Dialog("Quillmere")) != nullptr; }));
    EXPECT_EQ(MessageText(told), "Schedule Creation Success!!");
    PostMessageA(told, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return test::RowCount(list) == 1; }));

    // Delete needs a selected row and the user's OK; Cancel keeps it.
    // (Clicked again while not selected: a click that arrives while the
    // window is still disabled by the closing dialog is dropped.)
    DWORD lastClick = 0;
    ASSERT_TRUE(WaitUntil([&] {
        if (SendMessageA(list, LVM_GETSELECTIONMARK, 0, 0) == 0) return true;
        if (GetTickCount() - lastClick > 1000) {
            test::ClickAt(test::RowPoint(list, 0, false));
            lastClick = GetTickCount();
        }
        return false;
    }));
    for (const int answer : {IDCANCEL, IDOK}) {
        Press("BUTTON_DELETESCHEDULE", panel);
        HWND sure = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (sure = app_.Dialog("Delete Scheduled Task")) != nullptr; }));
        EXPECT_EQ(MessageText(sure), "Are You Sure");
        PostMessageA(sure, WM_COMMAND, answer, 0);
        ASSERT_TRUE(WaitUntil([&] { return app_.Dialog("Delete Scheduled Task") == nullptr; }));
    }
    ASSERT_TRUE(WaitUntil([&] { return test::RowCount(list) == 0; }));
    std::vector<std::string> triggers;
    std::time_t lastRun = 0;
    ListTriggers(TaskName(), triggers, lastRun);
    EXPECT_TRUE(triggers.empty());

    // A row that no longer matches the task (changed by another program since
    // the list was filled) deletes nothing: the list is brought up to date.
    Press("BUTTON_ADDSCHEDULE", panel);
    ASSERT_TRUE(WaitUntil([&] { return (add = app_.Dialog("Add Schedule")) != nullptr; }));
    PostMessageA(add, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return (told = app_.Dialog("Quillmere")) != nullptr; }));
    PostMessageA(told, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return test::RowCount(list) == 1; }));
    ComScope com;
    CTaskSchedule other;
    other.DescribeRunningProgram();
    ASSERT_TRUE(ParseScheduleStart("2031-03-04", "05:06", &other.start));
    other.frequency = FrequencyFromName("weekly");
    ASSERT_TRUE(TaskSucceeded(other.AddTrigger(TaskName())));
    ASSERT_TRUE(TaskSucceeded(DeleteTrigger(TaskName(), 0)));  // the row's schedule is gone
    lastClick = 0;
    ASSERT_TRUE(WaitUntil([&] {
        if (SendMessageA(list, LVM_GETSELECTIONMARK, 0, 0) == 0) return true;
        if (GetTickCount() - lastClick > 1000) {
            test::ClickAt(test::RowPoint(list, 0, false));
            lastClick = GetTickCount();
        }
        return false;
    }));
    Press("BUTTON_DELETESCHEDULE", panel);
    HWND sure = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (sure = app_.Dialog("Delete Scheduled Task")) != nullptr; }));
    PostMessageA(sure, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return app_.Dialog("Delete Scheduled Task") == nullptr; }));
    triggers.clear();
    ASSERT_TRUE(WaitUntil([&] {
        ListTriggers(TaskName(), triggers, lastRun);
        return triggers.size() == 1;
    }));
    EXPECT_EQ(test::RowCount(list), 1) << "the list shows the task as it is";
    DeleteTask(TaskName());
}

TEST_F(MainWindow, ASkinWhoseMaskCannotBeLoadedSaysSoAndTheProgramEnds) {
    std::string text = DefaultSkinText();
    const std::size_t at = text.find("Mask=Mask.bmp");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 13, "Mask=NoSuchMask.bmp");
    const std::string skin = WriteSkin("no-mask-skin.ini", text);
    ASSERT_TRUE(app_.Start("", skin, false));
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = app_.Dialog("Quillmere")) != nullptr; }));
    const std::string message = MessageText(box);
    EXPECT_NE(message.find("NoSuchMask.bmp"), std::string::npos) << message;
    EXPECT_NE(message.find("cannot be loaded"), std::string::npos) << message;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(app_.WaitForExit());
}

}  // namespace
}  // namespace qm
