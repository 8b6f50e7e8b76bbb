// The result window of the real quillmere.exe, reached as a skin author
// reaches it: a skin (written into this test's scratch folder from the
// default one) whose categories panel carries BUTTON_SCAN. The prefix is
// seeded with broken App Paths entries under scratch names ("qmrw-") and a
// scratch drive Q: with a broken shortcut; the shortcut scan keeps to Q:
// (QUILLMERE_SHORTCUT_DRIVES) and only the App Paths and shortcut categories
// are ticked, so nothing else is scanned or repaired.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/app/app_fixture_win32.h"
#include "tests/app/app_registry_win32.h"
#include "tests/shortcut/scan_tree.h"
#include "ui/window_messages_win32.h"

namespace qm {
namespace {

using test::FilesMatching;
using test::AppWindow;
using test::WaitUntil;

using test::KeyExists;
using test::LockAgainstDelete;
using test::SeedAppPath;

constexpr const char* kAppPaths = test::kAppPathsKey;
constexpr const char* kSeedPrefix = "qmrw-";
constexpr const char* kResultClass = "QuillmereResultWindow";
// The categories panel's extra button: top right, clear of its check boxes
// and labels.
constexpr const char* kScanButtonLine = "12=BUTTON_SCAN,290,4,50,16,FALSE";

std::string SubKey(const std::string& name) { return std::string(kAppPaths) + "\\" + name; }

// The keys seeded here; with `many`, also those of the long scans.
void DeleteSeededKeys(bool many = false) {
    std::vector<std::string> names;
    {
        RegistryKey paths;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAppPaths, 0, KEY_ALL_ACCESS, paths.Out()) != ERROR_SUCCESS) return;
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD size = sizeof name;
            if (RegEnumKeyExA(paths.Get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            const std::string n = name;
            if (n.rfind(kSeedPrefix, 0) == 0 && (many || n.rfind("qmrw-many-", 0) != 0)) names.push_back(n);
        }
    }
    for (const std::string& n : names) {
        LockAgainstDelete(SubKey(n), false);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, SubKey(n).c_str());
    }
}

// A cell of another process's list view, read through memory of that process.
std::string RowText(HWND list, int row, int column) {
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    const Win32Handle processHandle(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    const HANDLE process = processHandle.Get();
    if (process == nullptr) return "<no access>";
    constexpr SIZE_T kText = 512;
    auto* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof(LVITEMA) + kText, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    std::string text = "<no memory>";
    if (remote != nullptr) {
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = remote + sizeof(LVITEMA);
        item.cchTextMax = kText;
        WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
        const LRESULT n = SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote));
        char buffer[kText] = {};
        ReadProcessMemory(process, remote + sizeof(LVITEMA), buffer, kText - 1, nullptr);
        text.assign(buffer, n > 0 && n < static_cast<LRESULT>(kText) ? static_cast<std::size_t>(n) : 0);
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    return text;
}

std::vector<std::string> Column(HWND list, int column) {
    std::vector<std::string> cells;
    for (int r = 0; r < test::RowCount(list); ++r) cells.push_back(RowText(list, r, column));
    return cells;
}

bool EventSet(const char* name) {
    const Win32Handle event(OpenEventA(SYNCHRONIZE, FALSE, name));
    return event && WaitForSingleObject(event.Get(), 0) == WAIT_OBJECT_0;
}

void SetNamedEvent(const char* name, bool set) {
    const Win32Handle event(CreateEventA(nullptr, TRUE, FALSE, name));
    if (!event) return;
    if (set)
        ::SetEvent(event.Get());
    else
        ResetEvent(event.Get());
}

class ResultWindowApp : public test::MainWindow {
protected:
    // The program's own stop event: its kernel name carries its process id.
    std::string StopEvent() const { return "QUILLMERESTOPSCANNING." + std::to_string(app_.ProcessId()); }
    static void SetUpTestSuite() { DeleteSeededKeys(true); }
    void SetUp() override {
        MainWindow::SetUp();
        if (IsSkipped()) return;
        DeleteSeededKeys();
        SetNamedEvent(StopEvent().c_str(), false);
        SetNamedEvent("QUILLMERE_ABORTED", false);
        tree_ = test::MakeScanTree();
        if (!tree_->Ready()) GTEST_SKIP() << "no scratch drive Q:";
        tree_->Reset();
        tree_->MakeDir("Desktop");
        tree_->MakeShortcut("Desktop\\broken.lnk", test::LinkKind::Broken);
        tree_->MakeShortcut("Desktop\\intact.lnk", test::LinkKind::Intact);
        for (const std::string& f : FilesMatching("*.xml")) DeleteFileA(f.c_str());
        SetEnvironmentVariableA("QUILLMERE_SHORTCUT_DRIVES", "Q");
        const std::string text = SkinWith("11=BUTTON_SHORTCUTS,8,172,9,9,TRUE,Shortcut files", kScanButtonLine);
        ASSERT_FALSE(text.empty());
        skin_ = WriteSkin("scan-button-skin.ini", text);
        ASSERT_FALSE(skin_.empty());
    }
    void TearDown() override {
        MainWindow::TearDown();
        SetEnvironmentVariableA("QUILLMERE_SHORTCUT_DRIVES", nullptr);
        DeleteSeededKeys();
        SetNamedEvent(StopEvent().c_str(), false);
        SetNamedEvent("QUILLMERE_ABORTED", false);
        for (const std::string& f : FilesMatching("*.xml")) DeleteFileA(f.c_str());
    }

    // The visible result window of the program (null when there is none).
    HWND ResultWindow() const {
        struct Search {
            DWORD pid;
            HWND found;
        } search{app_.ProcessId(), nullptr};
        EnumWindows(
            [](HWND w, LPARAM p) -> BOOL {
                auto* s = reinterpret_cast<Search*>(p);
                DWORD owner = 0;
                GetWindowThreadProcessId(w, &owner);
                char name[64] = "";
                GetClassNameA(w, name, sizeof name);
                if (owner != s->pid || !IsWindowVisible(w) || std::string(name) != kResultClass) return TRUE;
                s->found = w;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    HWND ResultList(HWND window) const { return FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr); }

    // Clicks a check box of the categories panel until it shows `wanted`.
    bool SetBox(const char* name, bool wanted) {
        HWND box = app_.Button(name, app_.Panel("SUBMAIN_MAIN"));
        if (box == nullptr) return false;
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (AppWindow::Checked(box) == wanted) return true;
            test::Click(box);
            if (WaitUntil([&] { return AppWindow::Checked(box) == wanted; }, 3000)) return true;
        }
        return AppWindow::Checked(box) == wanted;
    }

    void StartWithCategories(bool shortcuts) {
        ASSERT_TRUE(app_.Start("", skin_));
        HWND main = app_.Main();
        SetForegroundWindow(main);
        WaitUntil([&] { return GetForegroundWindow() == main; }, 3000);
        ASSERT_TRUE(SetBox("BUTTON_ALL", false));
        ASSERT_TRUE(SetBox("BUTTON_APPPATH", true));
        ASSERT_TRUE(SetBox("BUTTON_SHORTCUTS", shortcuts));
        for (const char* other : {"BUTTON_COM", "BUTTON_COM_SUBS", "BUTTON_DRV", "BUTTON_HELP", "BUTTON_SHARED_TOOLS",
                                  "BUTTON_FONTS", "BUTTON_STARTUP", "BUTTON_UNINSTALL"})
            ASSERT_FALSE(AppWindow::Checked(app_.Button(other, app_.Panel("SUBMAIN_MAIN")))) << other;
    }

    // Presses the panel's BUTTON_SCAN until a result window shows (a click
    // can be lost while the main window is still being activated).
    HWND OpenResultWindow() {
        HWND scan = app_.Button("BUTTON_SCAN", app_.Panel("SUBMAIN_MAIN"));
        if (scan == nullptr) return nullptr;
        HWND window = nullptr;
        for (int attempt = 0; attempt < 3 && window == nullptr; ++attempt) {
            test::Click(scan);
            WaitUntil([&] { return (window = ResultWindow()) != nullptr; }, 5000);
        }
        return window;
    }

    // True when the panel takes presses again: no scan counts as running.
    bool PanelIdle() {
        HWND box = app_.Button("BUTTON_FONTS", app_.Panel("SUBMAIN_MAIN"));
        const bool before = AppWindow::Checked(box);
        test::Click(box);
        if (!WaitUntil([&] { return AppWindow::Checked(box) != before; }, 3000)) return false;
        test::Click(box);
        return WaitUntil([&] { return AppWindow::Checked(box) == before; }, 3000);
    }

    // Clicks a button of the result window until `done`.
    bool PressUntil(HWND window, const char* name, const std::function<bool()>& done, DWORD milliseconds = 60000) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            HWND button = FindWindowExA(window, nullptr, "Button", name);
            if (button == nullptr) return done();
            SetForegroundWindow(window);
            test::Click(button);
            if (WaitUntil(done, attempt < 2 ? 5000 : milliseconds)) return true;
        }
        return done();
    }

    std::string skin_;
    std::unique_ptr<test::ScanTree> tree_;
};

TEST_F(ResultWindowApp, ScanButtonOpensTheWindowScansRepairsAndOkClosesIt) {
    SeedAppPath("qmrw-broken-1.exe", "C:\\qm-gone\\one.exe");
    SeedAppPath("qmrw-broken-2.exe", "C:\\qm-gone\\two.exe");
    SeedAppPath("qmrw-intact.exe", "Q:\\Programs\\App\\app.exe");
    ASSERT_NO_FATAL_FAILURE(StartWithCategories(true));

    HWND window = OpenResultWindow();
    ASSERT_NE(window, nullptr);
    RECT at{};
    GetWindowRect(window, &at);
    EXPECT_EQ(at.left, 452);
    EXPECT_EQ(at.top, 310);

    // Scan complete: one row per selected category, then the shortcuts.
    HWND list = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (list = ResultList(window)) != nullptr && test::RowCount(list) == 2; }, 60000));
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"Invalid Application Paths", "Missing ShortCuts"}));
    EXPECT_EQ(Column(list, 2), (std::vector<std::string>{"2", "1"}));
    GetWindowRect(window, &at);
    EXPECT_EQ(at.left, 452) << "the later screens keep the window where it is";
    test::SaveWindowShot(window, "result-scan-complete.bmp");

    // The repair.
    HWND fixed = nullptr;
    ASSERT_TRUE(PressUntil(window, "BUTTON_FIXERROR", [&] {
        return (fixed = ResultList(window)) != nullptr && test::RowCount(fixed) == 3;
    }));
    EXPECT_EQ(Column(fixed, 0),
              (std::vector<std::string>{"Invalid Application Paths", "Missing ShortCuts", "Spywares"}));
    EXPECT_EQ(Column(fixed, 3), (std::vector<std::string>{"2", "1", ""}));
    EXPECT_FALSE(KeyExists(SubKey("qmrw-broken-1.exe")));
    EXPECT_FALSE(KeyExists(SubKey("qmrw-broken-2.exe")));
    EXPECT_TRUE(KeyExists(SubKey("qmrw-intact.exe")));
    EXPECT_FALSE(tree_->Exists("Desktop\\broken.lnk"));
    EXPECT_TRUE(tree_->Exists("Desktop\\intact.lnk"));
    const std::vector<std::string> backups = FilesMatching("FixedOn*.xml");
    ASSERT_EQ(backups.size(), 1u);
    const std::string backup = test::ReadWholeFile(backups[0]);
    EXPECT_NE(backup.find("qmrw-broken-1.exe"), std::string::npos);
    EXPECT_NE(backup.find("broken.lnk"), std::string::npos);
    test::SaveWindowShot(window, "result-fix-complete.bmp");

    ASSERT_TRUE(PressUntil(window, "BUTTON_OK", [&] { return !IsWindow(window); }));
    EXPECT_TRUE(app_.Running());
    EXPECT_TRUE(PanelIdle()) << "ScanInProgress is back to 0";
}

TEST_F(ResultWindowApp, ARefusedDeletionShowsAccessDenied) {
    SeedAppPath("qmrw-locked.exe", "C:\\qm-gone\\locked.exe");
    LockAgainstDelete(SubKey("qmrw-locked.exe"), true);
    ASSERT_NO_FATAL_FAILURE(StartWithCategories(false));
    HWND window = OpenResultWindow();
    ASSERT_NE(window, nullptr);
    HWND list = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (list = ResultList(window)) != nullptr && test::RowCount(list) == 2; }, 60000));
    ASSERT_TRUE(PressUntil(window, "BUTTON_FIXERROR", [&] {
        return (list = ResultList(window)) != nullptr && test::RowCount(list) == 3;
    }));
    EXPECT_EQ(RowText(list, 0, 3), "Access Denied");
    EXPECT_TRUE(KeyExists(SubKey("qmrw-locked.exe")));
    ASSERT_TRUE(PressUntil(window, "BUTTON_OK", [&] { return !IsWindow(window); }));
}

TEST_F(ResultWindowApp, OpenedWhileTheStopEventIsSetItClosesItselfThroughTheStoppedBranch) {
    ASSERT_NO_FATAL_FAILURE(StartWithCategories(false));
    SetNamedEvent(StopEvent().c_str(), true);
    HWND scan = app_.Button("BUTTON_SCAN", app_.Panel("SUBMAIN_MAIN"));
    ASSERT_NE(scan, nullptr);
    // The window may be gone before it can be seen: what it leaves is.
    for (int attempt = 0; attempt < 3 && !EventSet("QUILLMERE_ABORTED"); ++attempt) {
        test::Click(scan);
        WaitUntil([&] { return EventSet("QUILLMERE_ABORTED"); }, 5000);
    }
    EXPECT_TRUE(EventSet("QUILLMERE_ABORTED"));
    EXPECT_TRUE(WaitUntil([&] { return !EventSet(StopEvent().c_str()); })) << "reset by the stopped branch";
    EXPECT_TRUE(WaitUntil([&] { return ResultWindow() == nullptr; }));
    EXPECT_TRUE(PanelIdle());
}

// The fix-complete screen after a repair that could not run: its box says
// why, the status says nothing was fixed, and the entries are all still there.
class RepairRefused : public ResultWindowApp {
protected:
    // Scans, presses BUTTON_FIXERROR and returns the box the repair ends with
    // (its text in `text`); null when none came.
    HWND FixUntilTheBox(HWND window, std::string& text) {
        HWND list = nullptr;
        if (!WaitUntil([&] { return (list = ResultList(window)) != nullptr && test::RowCount(list) == 2; }, 60000))
            return nullptr;
        HWND box = nullptr;
        PressUntil(window, "BUTTON_FIXERROR", [&] { return (box = app_.Dialog("Quillmere")) != nullptr; });
        if (box != nullptr) text = test::MessageText(box);
        return box;
    }
    // The box closed, the window shows the fix-complete screen and closes
    // with OK; the program goes on.
    void CloseBoxAndWindow(HWND window, HWND box) {
        test::Click(GetDlgItem(box, IDOK));
        ASSERT_TRUE(WaitUntil([&] { return app_.Dialog("Quillmere") == nullptr; }));
        EXPECT_EQ(RowText(ResultList(window), 0, 0), "Invalid Application Paths");
        EXPECT_EQ(RowText(ResultList(window), 0, 3), "0") << "nothing fixed";
        ASSERT_TRUE(PressUntil(window, "BUTTON_OK", [&] { return !IsWindow(window); }));
        EXPECT_TRUE(app_.Running());
        EXPECT_TRUE(PanelIdle());
    }
};

// Without administrator rights (QUILLMERE_ORDINARY_USER: the prefix's account
// is one) the result window's repair of machine entries is refused whole.
TEST_F(RepairRefused, WithoutAdministratorRightsNothingIsRemovedAndTheBoxSaysWhy) {
    SeedAppPath("qmrw-broken-1.exe", "C:\\qm-gone\\one.exe");
    SetEnvironmentVariableA("QUILLMERE_ORDINARY_USER", "1");
    StartWithCategories(false);
    SetEnvironmentVariableA("QUILLMERE_ORDINARY_USER", nullptr);
    if (HasFatalFailure()) return;
    HWND window = OpenResultWindow();
    ASSERT_NE(window, nullptr);
    std::string text;
    HWND box = FixUntilTheBox(window, text);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(text.rfind("Removing \"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\", 0),
              0u)
        << text;
    EXPECT_NE(text.find("needs administrator rights: nothing was removed"), std::string::npos) << text;
    EXPECT_EQ(text.find("Untick"), std::string::npos) << "the result window has no tick boxes: " << text;
    EXPECT_EQ(app_.LabelText(window, "TEXT_FIXCOMPLETE_STATUS"), "Not fixed");
    EXPECT_TRUE(KeyExists(SubKey("qmrw-broken-1.exe")));
    EXPECT_TRUE(FilesMatching("FixedOn*.xml").empty()) << "no backup";
    CloseBoxAndWindow(window, box);
}

// The backup cannot be written: the program's working folder has gone from
// its path (its parent folder renamed, a file put in its place) after the
// scan. Nothing is removed without one.
TEST_F(RepairRefused, WithoutABackupNothingIsRemovedAndTheBoxSaysWhy) {
    SeedAppPath("qmrw-broken-1.exe", "C:\\qm-gone\\one.exe");
    SeedAppPath("qmrw-broken-2.exe", "C:\\qm-gone\\two.exe");
    struct WorkingFolder {
        explicit WorkingFolder(AppWindow& appIn) : app(appIn) {
            CreateDirectoryA("rw-box", nullptr);
            made = CreateDirectoryA("rw-box\\work", nullptr) != FALSE || GetLastError() == ERROR_ALREADY_EXISTS;
        }
        ~WorkingFolder() {
            app.Kill();  // it holds its working folder open
            DeleteFileA("rw-box");
            MoveFileA("rw-box-moved", "rw-box");
            for (const std::string& f : FilesMatching("rw-box\\work\\*.*"))
                if (f != "." && f != "..") DeleteFileA(("rw-box\\work\\" + f).c_str());
            RemoveDirectoryA("rw-box\\work");
            RemoveDirectoryA("rw-box");
        }
        AppWindow& app;
        bool made = false;
    } folder(app_);
    ASSERT_TRUE(folder.made);
    ASSERT_TRUE(SetCurrentDirectoryA("rw-box\\work"));
    StartWithCategories(false);
    ASSERT_TRUE(SetCurrentDirectoryA("..\\.."));
    if (HasFatalFailure()) return;
    HWND window = OpenResultWindow();
    ASSERT_NE(window, nullptr);
    HWND list = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (list = ResultList(window)) != nullptr && test::RowCount(list) == 2; }, 60000));
    ASSERT_TRUE(MoveFileA("rw-box", "rw-box-moved")) << GetLastError();
    ASSERT_TRUE(test::WriteWholeFile("rw-box", "in the way"));
    std::string text;
    HWND box = FixUntilTheBox(window, text);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(text, "The backup file could not be written: no registry entry was removed.");
    EXPECT_EQ(app_.LabelText(window, "TEXT_FIXCOMPLETE_STATUS"), "Not fixed");
    EXPECT_TRUE(KeyExists(SubKey("qmrw-broken-1.exe")));
    EXPECT_TRUE(KeyExists(SubKey("qmrw-broken-2.exe")));
    EXPECT_TRUE(FilesMatching("rw-box-moved\\work\\FixedOn*.xml").empty());
    CloseBoxAndWindow(window, box);
}

// A scan long enough to be interrupted: many broken entries.
class LongScan : public ResultWindowApp {
protected:
    static void SetUpTestSuite() {
        // Unquoted, with blanks: each entry's program is looked for prefix by
        // prefix (and with each PATHEXT extension), which makes each one slow.
        for (int i = 0; i < kMany; ++i)
            SeedAppPath("qmrw-many-" + std::to_string(i) + ".exe",
                        "C:\\qm-gone\\a b c d e f g h i j k l\\many" + std::to_string(i) + ".exe");
    }
    static void TearDownTestSuite() { DeleteSeededKeys(true); }
    void SetUp() override {
        ResultWindowApp::SetUp();
        if (IsSkipped()) return;
        ASSERT_NO_FATAL_FAILURE(StartWithCategories(false));
    }
    void TearDown() override {
        // The suite's entries stay for the next test.
        MainWindow::TearDown();
        SetEnvironmentVariableA("QUILLMERE_SHORTCUT_DRIVES", nullptr);
        SetNamedEvent(StopEvent().c_str(), false);
        SetNamedEvent("QUILLMERE_ABORTED", false);
    }
    // Still scanning: the error-scan screen shows its stop button.
    static bool Scanning(HWND window) {
        return IsWindow(window) && FindWindowExA(window, nullptr, "Button", "BUTTON_STOPSCAN") != nullptr;
    }
    static constexpr int kMany = 1500;
};

TEST_F(LongScan, StopShowsWhatWasFoundUpToThenAndSetsTheAbortEvent) {
    HWND window = OpenResultWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(Scanning(window));
    // A click can be lost while the window is being activated, and a stop
    // made before the scan has reset the event is lost too (the event is
    // then clear again while the scan goes on): pressed again then.
    for (int attempt = 0; attempt < 5 && Scanning(window); ++attempt) {
        SetForegroundWindow(window);
        WaitUntil([&] { return GetForegroundWindow() == window; }, 2000);
        test::Click(FindWindowExA(window, nullptr, "Button", "BUTTON_STOPSCAN"));
        if (!WaitUntil([&] { return !Scanning(window) || EventSet(StopEvent().c_str()); }, 1000)) continue;
        WaitUntil([&] { return !Scanning(window) || !EventSet(StopEvent().c_str()); }, 60000);
    }
    HWND list = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (list = ResultList(window)) != nullptr && test::RowCount(list) >= 1; }, 60000));
    EXPECT_TRUE(IsWindow(window)) << "the window stays with what was found";
    EXPECT_EQ(app_.LabelText(window, "TEXT_SCANCOMPLETE_STATUS"), "Stopped");
    EXPECT_EQ(app_.LabelText(window, "TEXT_SCREENSCANCOMPLETE_TITLE").rfind("Scan stopped: Quillmere found ", 0), 0u)
        << app_.LabelText(window, "TEXT_SCREENSCANCOMPLETE_TITLE");
    EXPECT_EQ(Column(list, 0).back(), "Missing ShortCuts");
    EXPECT_TRUE(EventSet("QUILLMERE_ABORTED"));
    EXPECT_FALSE(EventSet(StopEvent().c_str()));
    EXPECT_TRUE(FilesMatching("FixedOn*.xml").empty());

    ASSERT_TRUE(PressUntil(window, "BUTTON_CANCEL", [&] { return !IsWindow(window); }));
    EXPECT_TRUE(FilesMatching("FixedOn*.xml").empty());
    EXPECT_TRUE(PanelIdle());
}

// The window takes the keyboard when it opens: Escape closes it with no
// click into it first.
TEST_F(LongScan, TheWindowIsActiveWhenItOpensSoEscapeNeedsNoClick) {
    HWND window = OpenResultWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == window; }, 5000)) << test::InputState(window);
    test::PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(window); }, 60000)) << test::InputState(window);
    EXPECT_TRUE(app_.Running());
    EXPECT_TRUE(PanelIdle());
}

// Enter, Escape and the main screen's prepare-to-close message during the
// scan: the window closes (once its worker has ended; the order itself is
// checked inside the program by summary_window_test) and the program goes on.
struct AppClose {
    const char* name;
    std::function<void(HWND)> close;
};

class ClosingTheScan : public LongScan, public ::testing::WithParamInterface<AppClose> {};

TEST_P(ClosingTheScan, ClosesTheWindowAndTheProgramGoesOn) {
    HWND window = OpenResultWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(Scanning(window));
    for (int attempt = 0; attempt < 3 && IsWindow(window); ++attempt) {
        SetForegroundWindow(window);
        WaitUntil([&] { return GetForegroundWindow() == window; }, 2000);
        GetParam().close(window);
        WaitUntil([&] { return !IsWindow(window); }, 5000);
    }
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(window); }, 60000));
    EXPECT_TRUE(app_.Running());
    EXPECT_TRUE(FilesMatching("FixedOn*.xml").empty());
    EXPECT_TRUE(PanelIdle());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ClosingTheScan,
    ::testing::Values(AppClose{"Enter", [](HWND) { test::PressKey(VK_RETURN); }},
                      AppClose{"Escape", [](HWND) { test::PressKey(VK_ESCAPE); }},
                      AppClose{"PrepareToClose", [](HWND w) { PostMessageA(w, kPrepareToCloseMessage, 0, 0); }}),
    [](const ::testing::TestParamInfo<AppClose>& info) { return std::string(info.param.name); });

TEST_F(LongScan, ClosingTheMainWindowWhileTheResultWindowScansExitsCleanly) {
    HWND window = OpenResultWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(Scanning(window));
    const DWORD start = GetTickCount();
    PostMessageA(app_.Main(), WM_COMMAND, ID_TRAY_CLOSE, 0);  // the tray menu's "Close"
    ASSERT_TRUE(app_.WaitForExit(20000));
    const DWORD took = GetTickCount() - start;
    std::printf("closing with a result window scanning: %lu ms\n", took);
    EXPECT_LT(took, 12000u) << "the wait for the result window is at most 10 s";
    EXPECT_FALSE(IsWindow(window));
}

}  // namespace
}  // namespace qm
