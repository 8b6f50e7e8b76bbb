// The main window of the real quillmere.exe, started in this test's scratch
// folder and driven with synthesized mouse and keyboard input (needs a
// display: Xvfb). Each test starts from no settings and no Run value.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "platform/handles_win32.h"
#include "resources/resource.h"
#include "tests/app/app_fixture_win32.h"
#include "ui/window_messages_win32.h"

namespace qm {
namespace {

using test::AppWindow;
using test::kRun;
using test::kSettings;
using test::MainWindow;
using test::WaitUntil;

TEST_F(MainWindow, OneShapedWindowOfTheMasksSizeShowingTheCategoriesPanel) {
    ASSERT_TRUE(app_.Start());
    HWND main = app_.Main();
    char title[64] = "";
    GetWindowTextA(main, title, sizeof title);
    EXPECT_STREQ(title, "Quillmere");
    EXPECT_EQ(test::VisibleTopLevelWindows(app_.ProcessId()), 1);

    RECT r{};
    GetWindowRect(main, &r);
    const SIZE mask = test::MaskSize();
    ASSERT_GT(mask.cx, 0);
    EXPECT_EQ(r.right - r.left, mask.cx);
    EXPECT_EQ(r.bottom - r.top, mask.cy);
    const GdiObject<HRGN> region(CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(GetWindowRgn(main, region.Get()), COMPLEXREGION) << "cut to the mask's shape";

    EXPECT_EQ(app_.VisiblePanels(), std::vector<std::string>{"SUBMAIN_MAIN"});
    EXPECT_FALSE(IsWindowEnabled(app_.Button("BUTTON_MAIN")));
    // Every scan category starts ticked.
    HWND categories = app_.Panel("SUBMAIN_MAIN");
    for (const char* box : {"BUTTON_ALL", "BUTTON_COM", "BUTTON_STARTUP", "BUTTON_SHORTCUTS"})
        EXPECT_TRUE(AppWindow::Checked(app_.Button(box, categories))) << box;
}

TEST_F(MainWindow, EnterEscapeAndAltF4LeaveItOpenAndExitEndsTheProgram) {
    ASSERT_TRUE(app_.Start());
    HWND main = app_.Main();
    SetForegroundWindow(main);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main; }));
    test::PressKey(VK_ESCAPE);
    test::PressKey(VK_RETURN);
    test::PressKey(VK_F4, true);
    // Input is handled in order: once this click has shown its panel, the
    // keys before it have been handled too.
    ShowTab("BUTTON_IGNORED", "SUBMAIN_IGNORED");
    EXPECT_TRUE(app_.Running());
    EXPECT_TRUE(IsWindowVisible(main));

    Press("BUTTON_EXIT");
    ASSERT_TRUE(app_.WaitForExit());
    EXPECT_FALSE(IsWindow(main));
    // On its way out the program stored the periodic-scan timetable.
    EXPECT_TRUE(test::SettingExists(kSettings, "scannext"));
    EXPECT_TRUE(test::SettingExists(kSettings, "scanperiod"));
}

TEST_F(MainWindow, TheSystemMenusCloseClosesIt) {
    ASSERT_TRUE(app_.Start());
    HWND main = app_.Main();
    // What choosing "Close" in the system menu sends.
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(app_.WaitForExit());
    EXPECT_TRUE(test::SettingExists(kSettings, "scannext")) << "closed the ordinary way";
}

// The window that has the keyboard focus in `top`'s thread.
HWND KeyboardFocus(HWND top) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

// Presses Tab until `target` has the focus (each press waits for the focus
// to move); the windows passed on the way, in order.
std::vector<HWND> TabTo(HWND top, HWND target) {
    std::vector<HWND> passed;
    for (int i = 0; i < 80 && KeyboardFocus(top) != target; ++i) {
        const HWND before = KeyboardFocus(top);
        test::PressKey(VK_TAB);
        if (!WaitUntil([&] { return KeyboardFocus(top) != before; }, 3000)) break;
        passed.push_back(KeyboardFocus(top));
    }
    return passed;
}

TEST_F(MainWindow, TabReachesTheButtonsAndCheckBoxesAndSpaceOrEnterPressesThem) {
    ASSERT_TRUE(app_.Start());
    HWND main = app_.Main();
    ASSERT_TRUE(test::MakeForeground(main));
    HWND ignored = app_.Button("BUTTON_IGNORED");
    const std::vector<HWND> passed = TabTo(main, ignored);
    std::string way;
    for (HWND w : passed) {
        char cls[32] = "", text[64] = "";
        GetClassNameA(w, cls, sizeof cls);
        SendMessageA(w, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        way += std::string(" ") + cls + ":" + text;
    }
    ASSERT_EQ(KeyboardFocus(main), ignored)
        << passed.size() << " Tab presses:" << way << "; tab stop " << ((GetWindowLongA(ignored, GWL_STYLE) & WS_TABSTOP) != 0)
        << ", control parent " << ((GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0) << ", "
        << test::InputState(main);
    test::PressKey(VK_SPACE);
    ASSERT_TRUE(WaitUntil([&] { return ShowsAsTab(app_, "SUBMAIN_IGNORED", "BUTTON_IGNORED"); })) << TabState();
    HWND settings = app_.Button("BUTTON_ADVSETTINGS");
    TabTo(main, settings);
    ASSERT_EQ(KeyboardFocus(main), settings);
    test::PressKey(VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return ShowsAsTab(app_, "SUBMAIN_ADVANCED", "BUTTON_ADVSETTINGS"); })) << TabState();

    // The panel's own check boxes are on the way too: Space ticks one.
    HWND autoscan = app_.Button("BUTTON_AUTOSCAN", app_.Panel("SUBMAIN_ADVANCED"));
    ASSERT_NE(autoscan, nullptr);
    TabTo(main, autoscan);
    ASSERT_EQ(KeyboardFocus(main), autoscan);
    test::PressKey(VK_SPACE);
    EXPECT_TRUE(WaitUntil([&] { return AppWindow::Checked(autoscan); }));
    EXPECT_TRUE(WaitUntil([] { return test::SettingExists(kSettings, "autoscan"); }));
}

TEST_F(MainWindow, MinimiseHidesItUntilTheTrayBringsItBackAndTheTrayClosesIt) {
    ASSERT_TRUE(app_.Start());
    HWND main = app_.Main();
    Press("BUTTON_MINIMIZE");
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(main) || IsIconic(main); }));
    // A double click on the tray icon.
    PostMessageA(main, kTrayMessage, IDI_TRAY, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(main) && !IsIconic(main); }));
    // The tray menu's "Close".
    PostMessageA(main, WM_COMMAND, ID_TRAY_CLOSE, 0);
    ASSERT_TRUE(app_.WaitForExit());
}

TEST_F(MainWindow, ASecondStartBringsTheRunningWindowToTheFrontPassesOnScanAndEnds) {
    // The scan the second start passes on walks no shortcut drive.
    SetEnvironmentVariableA("QUILLMERE_SHORTCUT_DRIVES", "Q");
    const bool started = app_.Start();
    SetEnvironmentVariableA("QUILLMERE_SHORTCUT_DRIVES", nullptr);
    ASSERT_TRUE(started);
    HWND main = app_.Main();
    Press("BUTTON_MINIMIZE");
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(main); }));

    AppWindow second;
    ASSERT_TRUE(second.Start("scan", "", false));
    ASSERT_TRUE(second.WaitForExit(20000)) << "the second copy ends";
    EXPECT_EQ(test::VisibleTopLevelWindows(second.ProcessId()), 0);
    // The first comes back from the notification area and runs the scan.
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(main) && !IsIconic(main); }));
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main; }, 5000)) << test::InputState(main);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(app_.Panel("SUBMAIN_RESULT")) != FALSE; }, 60000))
        << "the scan asked for ran to its results";
    EXPECT_TRUE(app_.Running());

    // Without "scan" it only comes to the front.
    AppWindow third;
    ASSERT_TRUE(third.Start("", "", false));
    ASSERT_TRUE(third.WaitForExit(20000));
    EXPECT_TRUE(IsWindowVisible(app_.Panel("SUBMAIN_RESULT"))) << "no new scan";
}

// The project's version, as CMakeLists.txt gives it ("project(Quillmere VERSION 1.0.0 ...").
std::string ProjectVersion() {
    const std::string text = test::ReadWholeFile(std::string(QM_SOURCE_DIR) + "/CMakeLists.txt");
    const std::string marker = "project(Quillmere VERSION ";
    const std::size_t at = text.find(marker);
    if (at == std::string::npos) return "";
    const std::size_t start = at + marker.size();
    return text.substr(start, text.find_first_of(" )", start) - start);
}

// The texts of a dialog's static controls, in order.
std::vector<std::string> StaticTexts(HWND dialog) {
    std::vector<std::string> texts;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[32] = "", text[256] = "";
        GetClassNameA(child, cls, sizeof cls);
        if (lstrcmpiA(cls, "Static") != 0) continue;
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) continue;
        GetWindowTextA(child, text, sizeof text);
        if (text[0] != '\0') texts.push_back(text);
    }
    return texts;
}

TEST_F(MainWindow, TheSystemMenusAboutItemShowsTheAboutBoxWithTheNameAndTheBuildsVersion) {
    ASSERT_TRUE(app_.Start());
    PostMessageA(app_.Main(), WM_SYSCOMMAND, 16, 0);
    HWND about = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (about = app_.Dialog("About Quillmere")) != nullptr; }));
    const std::string version = ProjectVersion();
    ASSERT_FALSE(version.empty());
    EXPECT_EQ(StaticTexts(about),
              (std::vector<std::string>{"Quillmere Version " + version, "Quillmere registry cleaner"}));
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return app_.Dialog("About Quillmere") == nullptr; }));
    EXPECT_TRUE(app_.Running());
}

TEST_F(MainWindow, EachPanelButtonShowsItsPanelAndDisablesItself) {
    ASSERT_TRUE(app_.Start());
    EXPECT_TRUE(test::SaveWindowShot(app_.Main(), "look-main.bmp"));
    ShowTab("BUTTON_IGNORED", "SUBMAIN_IGNORED");
    EXPECT_TRUE(test::SaveWindowShot(app_.Main(), "look-ignored.bmp"));
    ShowTab("BUTTON_ADVSETTINGS", "SUBMAIN_ADVANCED");
    EXPECT_TRUE(test::SaveWindowShot(app_.Main(), "look-advanced.bmp"));
    // Periodic scanning is off without "enablescan": the disabled look.
    ShowTab("BUTTON_AUTOSCAN", "SUBMAIN_SCHEDULE_DISABLED");
    EXPECT_TRUE(test::SaveWindowShot(app_.Main(), "look-schedule-disabled.bmp"));
    ShowTab("BUTTON_MAIN", "SUBMAIN_MAIN");

    // Turning it on from the disabled look switches to the enabled look and
    // stores the setting; the schedule tab then opens on that look.
    ShowTab("BUTTON_AUTOSCAN", "SUBMAIN_SCHEDULE_DISABLED");
    Press("BUTTON_AUTOSCAN_ENABLE", app_.Panel("SUBMAIN_SCHEDULE_DISABLED"));
    ASSERT_TRUE(WaitUntil([&] { return app_.VisiblePanels() == std::vector<std::string>{"SUBMAIN_SCHEDULE"}; }));
    // The panel switches before the setting is stored.
    EXPECT_TRUE(WaitUntil([] { return test::SettingExists(kSettings, "enablescan"); }));
    EXPECT_TRUE(AppWindow::Checked(app_.Button("BUTTON_AUTOSCAN_ENABLE", app_.Panel("SUBMAIN_SCHEDULE"))));
    ShowTab("BUTTON_MAIN", "SUBMAIN_MAIN");
    ShowTab("BUTTON_AUTOSCAN", "SUBMAIN_SCHEDULE");
    EXPECT_TRUE(test::SaveWindowShot(app_.Main(), "look-schedule.bmp"));
}

TEST_F(MainWindow, TheStoredScheduleSettingPicksTheEnabledLookAtStartUp) {
    test::WriteFlag("enablescan");
    ASSERT_TRUE(app_.Start());
    ShowTab("BUTTON_AUTOSCAN", "SUBMAIN_SCHEDULE");
    // A schedule option on the enabled look is a radio group and is stored.
    HWND schedule = app_.Panel("SUBMAIN_SCHEDULE");
    Press("BUTTON_START_AFTER_EVERY_WEEK", schedule);
    ASSERT_TRUE(WaitUntil([&] { return test::SettingExists(kSettings, "scanweek"); }));
    EXPECT_TRUE(AppWindow::Checked(app_.Button("BUTTON_START_AFTER_EVERY", schedule)));
    EXPECT_TRUE(test::SettingExists(kSettings, "scanafterevery"));
    EXPECT_FALSE(test::SettingExists(kSettings, "scanevery"));
}

TEST_F(MainWindow, CheckBoxesRoundTripThroughTheRegistryAndTheStartupCategoryLeavesTheRunKeyAlone) {
    ASSERT_TRUE(app_.Start());
    HWND categories = app_.Panel("SUBMAIN_MAIN");
    HWND startupCategory = app_.Button("BUTTON_STARTUP", categories);
    ASSERT_TRUE(AppWindow::Checked(startupCategory));
    test::Click(startupCategory);
    ASSERT_TRUE(WaitUntil([&] { return !AppWindow::Checked(startupCategory); }));
    test::Click(startupCategory);
    ASSERT_TRUE(WaitUntil([&] { return AppWindow::Checked(startupCategory); }));
    EXPECT_FALSE(test::SettingExists(kRun, "QUILLMERE")) << "a scan category is not start-with-Windows";

    ShowTab("BUTTON_ADVSETTINGS", "SUBMAIN_ADVANCED");
    HWND advanced = app_.Panel("SUBMAIN_ADVANCED");
    EXPECT_FALSE(AppWindow::Checked(app_.Button("BUTTON_STARTUP", advanced)))
        << "no Run value: the box is clear whatever the categories panel shows";
    Press("BUTTON_STARTUP", advanced);
    ASSERT_TRUE(WaitUntil([&] { return test::SettingExists(kRun, "QUILLMERE"); }));
    const std::string command = test::SettingText(kRun, "QUILLMERE");
    EXPECT_NE(command.find("quillmere.exe"), std::string::npos) << command;
    Press("BUTTON_BACKUP", advanced);
    ASSERT_TRUE(WaitUntil([&] { return test::SettingExists(kSettings, "savereg"); }));
    Press("BUTTON_AUTOSCAN", advanced);
    ASSERT_TRUE(WaitUntil([&] { return test::SettingExists(kSettings, "autoscan"); }));
    // Off again (a set "autoscan" would start a scan at the next start-up).
    Press("BUTTON_AUTOSCAN", advanced);
    ASSERT_TRUE(WaitUntil([&] { return !test::SettingExists(kSettings, "autoscan"); }));

    Press("BUTTON_EXIT");
    ASSERT_TRUE(app_.WaitForExit());
    ASSERT_TRUE(app_.Start());
    advanced = app_.Panel("SUBMAIN_ADVANCED");
    EXPECT_TRUE(AppWindow::Checked(app_.Button("BUTTON_STARTUP", advanced)));
    EXPECT_TRUE(AppWindow::Checked(app_.Button("BUTTON_BACKUP", advanced)));
    EXPECT_FALSE(AppWindow::Checked(app_.Button("BUTTON_AUTOSCAN", advanced)));

    // Unticking start-with-Windows removes the Run value.
    ShowTab("BUTTON_ADVSETTINGS", "SUBMAIN_ADVANCED");
    Press("BUTTON_STARTUP", advanced);
    ASSERT_TRUE(WaitUntil([&] { return !test::SettingExists(kRun, "QUILLMERE"); }));
}

TEST_F(MainWindow, DraggingTheBackgroundMovesTheWindow) {
    ASSERT_TRUE(app_.Start());
    HWND main = app_.Main();
    RECT before{};
    GetWindowRect(main, &before);
    // A point of the background inside the shape, on no control: the left
    // column below the scan button.
    POINT from{before.left + 60, before.top + 480};
    ASSERT_EQ(WindowFromPoint(from), main);
    test::MoveMouse(from);
    test::MouseButton(from, true);
    POINT to = from;
    const bool moved = WaitUntil([&] {
        to.x += 3;
        to.y += 2;
        test::MoveMouse(to);
        RECT now{};
        GetWindowRect(main, &now);
        return now.left >= before.left + 30;
    });
    test::MouseButton(to, false);
    ASSERT_TRUE(moved);
    RECT after{};
    ASSERT_TRUE(WaitUntil([&] {
        GetWindowRect(main, &after);
        return after.top > before.top;
    }));
    EXPECT_EQ(after.right - after.left, before.right - before.left);
}

// The tray icon's menu as a user opens it (a right click on the icon, which
// Wine's display without a notification area can only post) and clicks its
// items: "Show" brings the hidden window back, "Close" ends it.
TEST_F(MainWindow, TheTrayMenusShowAndCloseAsAUserChoosesThem) {
    ASSERT_TRUE(app_.Start());
    HWND main = app_.Main();
    Press("BUTTON_MINIMIZE");
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(main) || IsIconic(main); }));

    auto choose = [&](int downs) {
        HWND menu = nullptr;
        for (int attempt = 0; attempt < 3 && menu == nullptr; ++attempt) {
            PostMessageA(main, kTrayMessage, IDI_TRAY, WM_RBUTTONUP);
            WaitUntil([&] { return (menu = app_.PopupMenu()) != nullptr; }, 5000);
        }
        if (menu == nullptr) return false;
        // A click on the item: items are a menu line high, below the frame.
        RECT r{};
        GetWindowRect(menu, &r);
        const int line = GetSystemMetrics(SM_CYMENUSIZE);
        test::ClickAt(POINT{r.left + 20, r.top + GetSystemMetrics(SM_CYFIXEDFRAME) + line * (downs - 1) + line / 2});
        return WaitUntil([&] { return app_.PopupMenu() == nullptr; });
    };
    ASSERT_TRUE(choose(1)) << "the menu opens and closes on a click; " << test::InputState(main);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(main) && !IsIconic(main); })) << "\"Show\"";
    EXPECT_TRUE(app_.Running());
    ASSERT_TRUE(choose(2));
    EXPECT_TRUE(app_.WaitForExit()) << "\"Close\"";
}

}  // namespace
}  // namespace qm
