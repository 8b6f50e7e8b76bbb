// The main window's parts in this process: the window base's message path,
// the prepare-to-close message reaching the whole tree in order, and the
// categories panel's progress display, on the built-in skin with the
// settings in a registry held in memory (needs a display: Xvfb).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "control/main_app_win32.h"
#include "control/main_dlg_win32.h"
#include "engine/categories.h"
#include "emulation/registry_memory.h"
#include "tests/ui/screen_capture_win32.h"
#include "ui/window_base_win32.h"

namespace qm {
namespace {

constexpr UINT kThrow = WM_APP + 1;
constexpr UINT kHello = WM_APP + 2;

// Records the messages it is asked about; throws on kThrow.
class Probe : public CWindowBase {
public:
    explicit Probe(std::vector<std::string>* log = nullptr, std::string name = "") : log_(log), name_(std::move(name)) {}
    bool Make(HWND parent) {
        const DWORD style = parent != nullptr ? WS_CHILD : WS_POPUP;
        return CreateAs("QuillmereTestProbe", 0, name_.c_str(), style, RECT{0, 0, 50, 50}, parent, 0);
    }
    bool gone = false;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kThrow) throw std::runtime_error("handler failed");
        if (message == kHello && log_ != nullptr) {
            log_->push_back(name_);
            return 7;
        }
        return CWindowBase::HandleMessage(message, wParam, lParam);
    }
    void OnWindowGone() override { gone = true; }

private:
    std::vector<std::string>* log_;
    std::string name_;
};

TEST(WindowBase, HandlersSeeTheirOwnObjectAndExceptionsStopAtTheWindowProcedure) {
    Probe probe;
    ASSERT_TRUE(probe.Make(nullptr));
    HWND w = probe.Window();
    ASSERT_NE(w, nullptr);
    const long before = CWindowBase::CaughtExceptions();
    SendMessageA(w, kThrow, 0, 0);  // would end the test program if it escaped
    EXPECT_EQ(CWindowBase::CaughtExceptions(), before + 1);
    EXPECT_TRUE(IsWindow(w));
    probe.DestroyWindowNow();
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(probe.Window(), nullptr);
    EXPECT_TRUE(probe.gone);
}

// A subclass procedure that fails on kHello, behind the boundary the skinned
// controls' subclass procedures use.
LRESULT CALLBACK FailingSubclass(HWND, UINT message, WPARAM, LPARAM, UINT_PTR, DWORD_PTR) {
    if (message == kHello) throw std::runtime_error("subclass failed");
    return 0;
}
LRESULT CALLBACK GuardedFailingSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                        DWORD_PTR data) {
    return CWindowBase::GuardedSubclassCall(&FailingSubclass, window, message, wParam, lParam, id, data);
}

TEST(WindowBase, ExceptionsStopAtASubclassProcedureAndTheMessageGoesDownTheChain) {
    std::vector<std::string> log;
    Probe probe(&log, "subclassed");
    ASSERT_TRUE(probe.Make(nullptr));
    HWND w = probe.Window();
    ASSERT_TRUE(SetWindowSubclass(w, &GuardedFailingSubclass, 1, 0));
    const long before = CWindowBase::CaughtExceptions();
    EXPECT_EQ(SendMessageA(w, kHello, 0, 0), 7);  // answered by the window below the subclass
    EXPECT_EQ(CWindowBase::CaughtExceptions(), before + 1);
    EXPECT_EQ(log, std::vector<std::string>{"subclassed"});
    ASSERT_TRUE(RemoveWindowSubclass(w, &GuardedFailingSubclass, 1));
    probe.DestroyWindowNow();
}

TEST(WindowBase, PrepareToCloseReachesEveryWindowOfTheTreeDepthFirst) {
    std::vector<std::string> log;
    Probe root(&log, "root"), a(&log, "a"), a1(&log, "a1"), a2(&log, "a2"), b(&log, "b");
    ASSERT_TRUE(root.Make(nullptr));
    ASSERT_TRUE(a.Make(root.Window()));
    ASSERT_TRUE(a1.Make(a.Window()));
    ASSERT_TRUE(a2.Make(a.Window()));
    ASSERT_TRUE(b.Make(root.Window()));
    SendToDescendants(root.Window(), kHello, 0, 0);
    // Each child, then its own children, before the next child (siblings in
    // z-order, which for windows never reordered is the order of creation).
    EXPECT_EQ(log, (std::vector<std::string>{"a", "a1", "a2", "b"}));
}

TEST(MainApp, OnlyTheExactCommandLineScanStartsAScan) {
    EXPECT_TRUE(CMainApp::IsScanCommandLine("scan"));
    for (const char* other : {"", "Scan", "SCAN", " scan", "scan ", "scan now", "/scan", "scans"})
        EXPECT_FALSE(CMainApp::IsScanCommandLine(other)) << '"' << other << '"';
    EXPECT_FALSE(CMainApp::IsScanCommandLine(nullptr));
}

class MainScreen : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::DisplayAvailable()) GTEST_SKIP() << "no display: run under Xvfb with DISPLAY set";
        window_ = std::make_unique<CMainDlg>(registry_);
        ASSERT_TRUE(window_->Create(SW_SHOWNOACTIVATE));
    }
    void TearDown() override {
        window_.reset();
        // The window's end asks this thread's message loop to stop; the
        // tests have none, so the request is taken out again.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
    std::string Label(const std::string& name) {
        CSkinnedLabel* label = window_->FindPanel("SUBMAIN_MAIN")->Controls().FindLabel(name);
        return label != nullptr ? label->Text() : "(no label " + name + ")";
    }

    MemoryRegistry registry_;
    std::unique_ptr<CMainDlg> window_;
};

TEST_F(MainScreen, ProgressShowsScanningWithTheCountThenDoneAndClearsUnselectedCategories) {
    CSubMainSkin* panel = window_->FindPanel("SUBMAIN_MAIN");
    ASSERT_NE(panel, nullptr);
    ScanCategoryStates states;
    states[kSlotCom] = 2;
    states[kSlotSharedDlls] = -1;
    states[kSlotHelp] = 0;
    states[kSlotShortcuts] = 1;
    panel->Controls().SetLabelText("PROGRESS_TEXT_HELP", "stale");
    panel->ShowProgress(states, 7);
    EXPECT_EQ(Label("PROGRESS_TEXT_COM"), "Scanning");
    EXPECT_EQ(Label("PROGRESS_COUNT_COM"), "7");
    EXPECT_EQ(Label("PROGRESS_TEXT_COM_SUBS"), "Done");
    EXPECT_EQ(Label("PROGRESS_TEXT_HELP"), "");
    EXPECT_EQ(Label("PROGRESS_TEXT_SHORTCUTS"), "");

    states[kSlotCom] = -1;
    panel->ShowProgress(states, 9);
    EXPECT_EQ(Label("PROGRESS_TEXT_COM"), "Done");
    EXPECT_EQ(Label("PROGRESS_COUNT_COM"), "7") << "a finished category keeps its count";
}

// The columns of `list` whose header text, or one of `texts` (column 1's
// texts), is cut off: wider than the column less the list's padding of a
// cell's text (six pixels either side).
std::vector<std::string> ClippedColumns(HWND list, const std::vector<std::string>& texts) {
    std::vector<std::string> clipped;
    auto width = [&](const std::string& text) {
        return static_cast<int>(SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(text.c_str())));
    };
    for (int column = 0;; ++column) {
        char title[64] = "";
        LVCOLUMNA c{};
        c.mask = LVCF_TEXT | LVCF_WIDTH;
        c.pszText = title;
        c.cchTextMax = sizeof title;
        if (!SendMessageA(list, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&c))) break;
        if (width(title) + 12 > c.cx) clipped.push_back(std::string(title) + " (header)");
        if (column != 1) continue;
        for (const std::string& text : texts)
            if (width(text) + 12 > c.cx) clipped.push_back(std::string(title) + ": " + text);
    }
    return clipped;
}

TEST_F(MainScreen, TheListsShowTheirHeadersAndEveryFindingsTypeWhole) {
    CSubMainSkin* results = window_->FindPanel("SUBMAIN_RESULT");
    CSubMainSkin* ignored = window_->FindPanel("SUBMAIN_IGNORED");
    ASSERT_TRUE(results != nullptr && results->ResultList() != nullptr);
    ASSERT_TRUE(ignored != nullptr && ignored->IgnoredList() != nullptr);
    const std::vector<std::string> types = {kTagCom,         kTagHelp,    kTagFonts,   kTagSharedTools,
                                            kTagSharedDlls,  kTagDrivers, kTagAppPaths, kTagUninstall,
                                            kTagStartup,     "SHORTCUT"};
    EXPECT_EQ(ClippedColumns(results->ResultList()->Window(), types), std::vector<std::string>{});
    EXPECT_EQ(ClippedColumns(ignored->IgnoredList()->Window(), {}), std::vector<std::string>{});
}

TEST_F(MainScreen, TheControllersProgressGoesToTheMainScreen) {
    EXPECT_EQ(CurrentSummary.load(), static_cast<Summary*>(window_.get()));
    EXPECT_EQ(window_->Screen(), &window_->Controls());
}

TEST_F(MainScreen, SettingsComeFromTheRegistryItWasGiven) {
    // Nothing stored: the advanced boxes are clear, the categories all ticked,
    // the timetable a day and a minute away.
    CSubMainSkin* advanced = window_->FindPanel("SUBMAIN_ADVANCED");
    ASSERT_NE(advanced, nullptr);
    EXPECT_EQ(advanced->Controls().GetButtonCheck("BUTTON_STARTUP"), 0);
    EXPECT_EQ(advanced->Controls().GetButtonCheck("BUTTON_BACKUP"), 0);
    EXPECT_EQ(window_->FindPanel("SUBMAIN_MAIN")->Controls().GetButtonCheck("BUTTON_STARTUP"), 1);
    EXPECT_EQ(ScanPeriod, kDefaultScanPeriod);

    advanced->ButtonPressed("BUTTON_BACKUP");
    EXPECT_TRUE(registry_.ValueExists("HKEY_LOCAL_MACHINE\\Software\\QUILLMERE", "savereg"));
    window_->FindPanel("SUBMAIN_MAIN")->ButtonPressed("BUTTON_STARTUP");
    EXPECT_EQ(window_->FindPanel("SUBMAIN_MAIN")->Controls().GetButtonCheck("BUTTON_STARTUP"), 0);
    EXPECT_EQ(advanced->Controls().GetButtonCheck("BUTTON_STARTUP"), 0);
}

}  // namespace
}  // namespace qm
