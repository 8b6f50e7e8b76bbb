// The result window in this process, built from the built-in skin on an
// in-memory registry (the file checks look at the real, empty C:\qm-gone):
// its screens and what they list, the repair, and how it closes. The window
// runs on this thread; the test pumps its messages as its own thread would.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "control/summary_window_win32.h"
#include "control/sub_main_skin_win32.h"
#include "platform/named_event.h"
#include "emulation/registry_memory.h"
#include "tests/app/app_driver_win32.h"
#include "tests/ui/screen_capture_win32.h"
#include "ui/skin_image_win32.h"
#include "ui/skin_resource_win32.h"

namespace qm {
namespace {

const std::string kAppPaths = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const std::string kSharedTools = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools";

// A registry whose sub-key enumeration, once armed, holds the calling worker
// until the stop event is set and then a while longer: long enough for a
// window that did not wait for its worker to be gone. Every call made after
// the watched window has gone is counted: a worker still using the
// controller then.
class HoldingRegistry : public MemoryRegistry {
public:
    RegStatus RegEnumKeyExA(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLen) override {
        Touch();
        if (armed.exchange(false)) {
            held = true;
            NamedEvent stop(kStopEventName);
            const DWORD start = GetTickCount();
            while (!stop.IsSignalled() && GetTickCount() - start < 20000) Sleep(5);
            Sleep(300);
            held = false;
        }
        return MemoryRegistry::RegEnumKeyExA(key, index, name, nameLen);
    }
    RegStatus RegOpenKeyExA(RegKey parent, const char* subKey, std::uint32_t access, RegKey* result) override {
        Touch();
        return MemoryRegistry::RegOpenKeyExA(parent, subKey, access, result);
    }
    RegStatus RegCloseKey(RegKey key) override {
        Touch();
        return MemoryRegistry::RegCloseKey(key);
    }
    RegStatus RegQueryValueExA(RegKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                               std::uint32_t* dataLen) override {
        Touch();
        return MemoryRegistry::RegQueryValueExA(key, name, type, data, dataLen);
    }

    std::atomic<bool> armed{false};
    std::atomic<bool> held{false};
    std::atomic<HWND> watched{nullptr};
    std::atomic<int> callsAfterGone{0};

private:
    void Touch() {
        HWND w = watched.load();
        if (w != nullptr && !IsWindow(w)) ++callsAfterGone;
    }
};

class SummaryWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::DisplayAvailable()) GTEST_SKIP() << "no display: run under Xvfb with DISPLAY set";
        skin_.SetSkinFile("Skin.ini");
        ASSERT_TRUE(LoadBuiltInSkin(skin_));
        NamedEvent(kStopEventName).Reset();
        NamedEvent(kAbortedEventName).Reset();
        ScanInProgress.store(1);  // as the panel that starts a result window leaves it
        ole_ = SUCCEEDED(OleInitialize(nullptr));
        DeleteFileA("ignore.lst");
    }
    void TearDown() override {
        window_.reset();
        NamedEvent(kStopEventName).Reset();
        NamedEvent(kAbortedEventName).Reset();
        ScanInProgress.store(0);
        for (const std::string& f : test::FilesMatching("FixedOn*.xml")) DeleteFileA(f.c_str());
        if (ole_) OleUninitialize();
    }

    void Open(MemoryRegistry& registry, std::initializer_list<int> slots) {
        window_ = std::make_unique<CSummaryWindow>(skin_, EngineServices{&registry, nullptr, "ignore.lst"});
        for (int slot : slots) window_->States()[slot] = 1;
        ASSERT_TRUE(window_->LoadSkin());
        hwnd_ = window_->Window();
        ShowWindow(hwnd_, SW_SHOW);
    }

    // Runs this thread's messages (as the window's thread does) until `done`.
    bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds = 20000) {
        const DWORD start = GetTickCount();
        for (;;) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) {
                    quitSeen_ = true;
                    continue;
                }
                if (window_ && window_->PreTranslateMessage(msg)) continue;
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            if (done()) return true;
            if (GetTickCount() - start >= milliseconds) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }

    std::vector<std::vector<std::string>> Rows() const {
        std::vector<std::vector<std::string>> rows;
        CSkinnedListView* list = window_->List();
        if (list == nullptr) return rows;
        for (int r = 0; r < list->RowCount(); ++r) {
            std::vector<std::string> row;
            for (int c = 0; c < list->ColumnCount(); ++c) row.push_back(list->Text(r, c));
            rows.push_back(row);
        }
        return rows;
    }
    std::string Label(const char* name) {
        CSkinnedLabel* label = window_->Controls().FindLabel(name);
        return label != nullptr ? label->Text() : "<no label " + std::string(name) + ">";
    }
    // The lines of a label's text that its window cuts off (too wide, or
    // below its bottom), measured in the label's font.
    std::vector<std::string> ClippedLines(const char* name) {
        CSkinnedLabel* label = window_->Controls().FindLabel(name);
        if (label == nullptr) return {"<no label " + std::string(name) + ">"};
        RECT box{};
        GetClientRect(label->Window(), &box);
        const WindowDc window(label->Window());
        const HDC dc = window.Get();
        HGDIOBJ old = SelectObject(dc, label->Font());
        TEXTMETRICA metrics{};
        GetTextMetricsA(dc, &metrics);
        std::vector<std::string> clipped;
        const std::string text = label->Text();
        int lines = 0;
        for (std::size_t at = 0; at <= text.size(); ++lines) {
            std::size_t end = text.find('\n', at);
            if (end == std::string::npos) end = text.size();
            const std::string line = text.substr(at, end - at);
            SIZE size{};
            GetTextExtentPoint32A(dc, line.c_str(), static_cast<int>(line.size()), &size);
            if (size.cx > box.right || (lines + 1) * metrics.tmHeight > box.bottom)
                clipped.push_back(line + " (" + std::to_string(size.cx) + " px)");
            at = end + 1;
        }
        SelectObject(dc, old);
        return clipped;
    }

    SkinFile skin_;
    std::unique_ptr<CSummaryWindow> window_;
    HWND hwnd_ = nullptr;
    bool ole_ = false;
    bool quitSeen_ = false;
};

TEST_F(SummaryWindowTest, ScansListsPerCategoryRepairsAndShowsRefusedDeletionsAsAccessDenied) {
    MemoryRegistry registry;
    registry.SetString(kAppPaths + "\\qm-gone.exe", "", "C:\\qm-gone\\gone.exe");
    registry.SetString(kAppPaths + "\\qm-gone2.exe", "", "C:\\qm-gone\\gone2.exe");
    registry.SetString(kSharedTools + "\\QmLocked", "Path", "C:\\qm-gone\\tool.exe");
    registry.SetDenyDelete(kSharedTools + "\\QmLocked");
    ASSERT_NO_FATAL_FAILURE(Open(registry, {kSlotAppPaths, kSlotSharedTools}));

    // The error-scan screen places the window; the later screens keep it.
    RECT at{};
    GetWindowRect(hwnd_, &at);
    EXPECT_EQ(at.left, 452);
    EXPECT_EQ(at.top, 310);
    EXPECT_EQ(at.right - at.left, 349) << "the width of the screen's images";
    EXPECT_NE(window_->Controls().FindButton("BUTTON_STOPSCAN"), nullptr);
    EXPECT_NE(FindWindowExA(hwnd_, nullptr, nullptr, kScanAnimationWindowName), nullptr);
    EXPECT_TRUE(window_->Animation().IsPlaying());
    EXPECT_GT(window_->Animation().FrameCount(), 1) << "the animation plays our own film strip";

    ASSERT_TRUE(PumpUntil([&] { return window_->ScreenName() == kScanCompleteScreen; }));
    const std::vector<std::vector<std::string>> found = Rows();
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0][0], "Invalid Application Paths");
    EXPECT_EQ(found[0][2], "2");
    EXPECT_EQ(found[1][0], "Invalid Shared Tools");
    EXPECT_EQ(found[1][2], "1");
    EXPECT_EQ(found[2], (std::vector<std::string>{"Missing ShortCuts", "0", "0"}));
    EXPECT_EQ(Label("TEXT_SCREENSCANCOMPLETE_TITLE"),
              "Quillmere has found 3 potentially dangerous bugs\nclick the button below to repair your computer");
    EXPECT_EQ(ClippedLines("TEXT_SCREENSCANCOMPLETE_TITLE"), std::vector<std::string>{})
        << "the skin's font, Arial, needs a font of its widths (fonts-liberation under Wine)";
    EXPECT_EQ(Label("TEXT_SCANCOMPLETE_ERRORFOUND"), "3");
    EXPECT_EQ(GetDlgCtrlID(window_->List()->Window()), 0);
    EXPECT_EQ(SendMessageA(window_->List()->Window(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT,
              LVS_EX_FULLROWSELECT);
    GetWindowRect(hwnd_, &at);
    EXPECT_EQ(at.left, 452);

    // A real click: the button goes with its screen while it reports it.
    HWND fix = window_->Controls().FindButton("BUTTON_FIXERROR")->Window();
    SetForegroundWindow(hwnd_);
    RECT b{};
    GetWindowRect(fix, &b);
    SetCursorPos((b.left + b.right) / 2, (b.top + b.bottom) / 2);
    INPUT clicks[2] = {};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, clicks, sizeof(INPUT));
    ASSERT_TRUE(PumpUntil([&] { return window_->ScreenName() != kScanCompleteScreen; }, 5000));
    ASSERT_TRUE(PumpUntil([&] { return window_->ScreenName() == kFixCompleteScreen; }));
    const std::vector<std::vector<std::string>> fixed = Rows();
    ASSERT_EQ(fixed.size(), 4u);
    EXPECT_EQ(fixed[0][0], "Invalid Application Paths");
    EXPECT_EQ(fixed[0][3], "2");
    EXPECT_EQ(fixed[1][0], "Invalid Shared Tools");
    EXPECT_EQ(fixed[1][3], "Access Denied");
    EXPECT_EQ(fixed[2][0], "Missing ShortCuts");
    EXPECT_EQ(fixed[3], (std::vector<std::string>{"Spywares", "", "", ""}));
    EXPECT_EQ(Label("TEXT_FIXCOMPLETE_STATUS"), "Fixed");
    EXPECT_EQ(Label("TEXT_FIXCOMPLETE_FIXED"), "1") << "2 fixed and the refused row's -1";
    EXPECT_FALSE(registry.KeyExists(kAppPaths + "\\qm-gone.exe"));
    EXPECT_FALSE(registry.KeyExists(kAppPaths + "\\qm-gone2.exe"));
    EXPECT_TRUE(registry.KeyExists(kSharedTools + "\\QmLocked"));
    const std::vector<std::string> backups = test::FilesMatching("FixedOn*.xml");
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_NE(test::ReadWholeFile(backups[0]).find("qm-gone2.exe"), std::string::npos);

    window_->ButtonPressed("BUTTON_OK");
    EXPECT_FALSE(IsWindow(hwnd_));
    EXPECT_EQ(ScanInProgress.load(), 0);
    EXPECT_TRUE(PumpUntil([&] { return quitSeen_; }, 2000)) << "the thread's loop ends with its window";
}

TEST_F(SummaryWindowTest, NothingSelectedListsOnlyMissingShortCutsAndCancelCloses) {
    MemoryRegistry registry;
    ASSERT_NO_FATAL_FAILURE(Open(registry, {}));
    ASSERT_TRUE(PumpUntil([&] { return window_->ScreenName() == kScanCompleteScreen; }));
    EXPECT_EQ(Rows(), (std::vector<std::vector<std::string>>{{"Missing ShortCuts", "0", "0"}}));
    EXPECT_EQ(Label("TEXT_SCREENSCANCOMPLETE_TITLE").rfind("Quillmere has found 0 potentially", 0), 0u);
    window_->ButtonPressed("BUTTON_CANCEL");
    EXPECT_FALSE(IsWindow(hwnd_));
    EXPECT_EQ(ScanInProgress.load(), 0);
    EXPECT_FALSE(NamedEvent(kStopEventName).IsSignalled());
}

TEST_F(SummaryWindowTest, OpenedWhileTheStopEventIsSetItClosesItselfAndSetsTheAbortEvent) {
    MemoryRegistry registry;
    registry.SetString(kAppPaths + "\\qm-gone.exe", "", "C:\\qm-gone\\gone.exe");
    NamedEvent(kStopEventName).Set();
    ASSERT_NO_FATAL_FAILURE(Open(registry, {kSlotAppPaths}));
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(hwnd_); }));
    EXPECT_TRUE(NamedEvent(kAbortedEventName).IsSignalled());
    EXPECT_FALSE(NamedEvent(kStopEventName).IsSignalled()) << "the stopped branch resets it";
    EXPECT_EQ(ScanInProgress.load(), 0);
    EXPECT_TRUE(registry.KeyExists(kAppPaths + "\\qm-gone.exe"));
}

// Closing while the worker is held inside the scan: the window must be gone
// only after the worker has ended, and the worker must not use the registry
// (or anything of the controller) once the window is gone.
struct CloseCase {
    const char* name;
    std::function<void(HWND)> close;
    bool leavesStopSet;
};

class ClosingDuringAScan : public SummaryWindowTest, public ::testing::WithParamInterface<CloseCase> {};

LRESULT CALLBACK WatchDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    if (message == WM_DESTROY) {
        auto* seen = reinterpret_cast<std::pair<CSummaryWindow*, int>*>(data);
        seen->second = seen->first->WorkerRunning() ? 1 : 0;
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(window, &WatchDestroy, 1);
    return DefSubclassProc(window, message, wParam, lParam);
}

TEST_P(ClosingDuringAScan, ClosesOnlyAfterTheWorkerHasEnded) {
    HoldingRegistry registry;
    registry.SetString(kAppPaths + "\\qm-gone.exe", "", "C:\\qm-gone\\gone.exe");
    registry.armed = true;
    ASSERT_NO_FATAL_FAILURE(Open(registry, {kSlotAppPaths}));
    registry.watched = hwnd_;
    std::pair<CSummaryWindow*, int> seen{window_.get(), -1};
    ASSERT_TRUE(SetWindowSubclass(hwnd_, &WatchDestroy, 1, reinterpret_cast<DWORD_PTR>(&seen)));
    ASSERT_TRUE(PumpUntil([&] { return registry.held.load(); })) << "the worker reached the scan";

    GetParam().close(hwnd_);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(hwnd_); }));
    EXPECT_EQ(seen.second, 0) << "the worker still ran when the window was destroyed";
    EXPECT_FALSE(window_->WorkerRunning());
    EXPECT_EQ(registry.callsAfterGone.load(), 0) << "the worker went on after the window was gone";
    EXPECT_EQ(ScanInProgress.load(), 0);
    EXPECT_EQ(NamedEvent(kStopEventName).IsSignalled(), GetParam().leavesStopSet);
    EXPECT_FALSE(NamedEvent(kAbortedEventName).IsSignalled());
    window_.reset();
    EXPECT_EQ(registry.callsAfterGone.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ClosingDuringAScan,
    ::testing::Values(
        CloseCase{"Enter", [](HWND w) { PostMessageA(w, WM_KEYDOWN, VK_RETURN, 0); }, true},
        CloseCase{"Escape", [](HWND w) { PostMessageA(w, WM_KEYDOWN, VK_ESCAPE, 0); }, true},
        CloseCase{"PrepareToClose", [](HWND w) { PostMessageA(w, kPrepareToCloseMessage, 0, 0); }, true},
        CloseCase{"Cancel", [](HWND w) { PostMessageA(w, WM_COMMAND, IDCANCEL, 0); }, true}),
    [](const ::testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.name); });

TEST_F(SummaryWindowTest, StopScanShowsWhatWasFoundUpToThenAndSetsTheAbortEvent) {
    HoldingRegistry registry;
    registry.SetString(kAppPaths + "\\qm-gone.exe", "", "C:\\qm-gone\\gone.exe");
    registry.armed = true;
    ASSERT_NO_FATAL_FAILURE(Open(registry, {kSlotAppPaths}));
    ASSERT_TRUE(PumpUntil([&] { return registry.held.load(); }));
    window_->ButtonPressed("BUTTON_STOPSCAN");
    EXPECT_EQ(window_->ShownScreen(), kErrorScanScreen) << "the window waits for the scan to return";
    ASSERT_TRUE(PumpUntil([&] { return window_->ShownScreen() == kScanCompleteScreen; }));
    EXPECT_TRUE(IsWindow(hwnd_));
    EXPECT_EQ(Label("TEXT_SCANCOMPLETE_STATUS"), "Stopped");
    EXPECT_EQ(Label("TEXT_SCREENSCANCOMPLETE_TITLE").rfind("Scan stopped: Quillmere found ", 0), 0u)
        << Label("TEXT_SCREENSCANCOMPLETE_TITLE");
    EXPECT_TRUE(ClippedLines("TEXT_SCREENSCANCOMPLETE_TITLE").empty());
    const std::vector<std::vector<std::string>> rows = Rows();
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back()[0], "Missing ShortCuts");
    EXPECT_TRUE(NamedEvent(kAbortedEventName).IsSignalled());
    EXPECT_FALSE(NamedEvent(kStopEventName).IsSignalled()) << "cleared, so what was found can be repaired";
    EXPECT_EQ(ScanInProgress.load(), 1) << "the window is still open";

    window_->ButtonPressed("BUTTON_CANCEL");
    EXPECT_FALSE(IsWindow(hwnd_));
    EXPECT_EQ(ScanInProgress.load(), 0);
}

TEST_F(SummaryWindowTest, AScanRunToItsEndSaysComplete) {
    MemoryRegistry registry;
    registry.SetString(kAppPaths + "\\qm-gone.exe", "", "C:\\qm-gone\\gone.exe");
    ASSERT_NO_FATAL_FAILURE(Open(registry, {kSlotAppPaths}));
    ASSERT_TRUE(PumpUntil([&] { return window_->ShownScreen() == kScanCompleteScreen; }));
    EXPECT_EQ(Label("TEXT_SCANCOMPLETE_STATUS"), "Complete");
    EXPECT_FALSE(NamedEvent(kAbortedEventName).IsSignalled());
}

TEST_F(SummaryWindowTest, PlayAndStopMessagesDriveTheScanAnimation) {
    HoldingRegistry registry;
    registry.armed = true;
    registry.SetString(kAppPaths + "\\qm-gone.exe", "", "C:\\qm-gone\\gone.exe");
    ASSERT_NO_FATAL_FAILURE(Open(registry, {kSlotAppPaths}));
    ASSERT_TRUE(PumpUntil([&] { return registry.held.load(); }));
    PostMessageA(hwnd_, kStopAnimationMessage, 0, 0);  // OnStopFlash
    EXPECT_TRUE(PumpUntil([&] { return !window_->Animation().IsPlaying(); }, 2000));
    PostMessageA(hwnd_, kPlayAnimationMessage, 0, 0);  // OnPlayFlash
    EXPECT_TRUE(PumpUntil([&] { return window_->Animation().IsPlaying(); }, 2000));
    PostMessageA(hwnd_, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(hwnd_); }));
}

// A registry whose enumeration throws: the scan ends in the worker's handler.
class ThrowingRegistry : public MemoryRegistry {
public:
    RegStatus RegEnumKeyExA(RegKey, std::uint32_t, char*, std::uint32_t*) override {
        throw std::runtime_error("registry gone");
    }
};

BOOL CALLBACK FindScanThreadBox(HWND window, LPARAM found) {
    char caption[64] = "";
    GetWindowTextA(window, caption, sizeof caption);
    if (IsWindowVisible(window) && std::string(caption) == "Scan thread") {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindFixThreadBox(HWND window, LPARAM found) {
    char caption[64] = "";
    GetWindowTextA(window, caption, sizeof caption);
    if (IsWindowVisible(window) && std::string(caption) == "Fix thread") {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// A registry whose key deletion throws: the repair ends in the worker's
// handler once the first key is in its backup.
class ThrowingOnDeleteRegistry : public MemoryRegistry {
public:
    RegStatus RegDeleteKeyA(RegKey, const char*) override { throw std::runtime_error("registry gone"); }
};

TEST_F(SummaryWindowTest, AnExceptionInTheRepairIsReportedTheStatusSaysFailedAndTheBackupIsClosed) {
    ThrowingOnDeleteRegistry registry;
    registry.SetString(kAppPaths + "\\qm-gone.exe", "", "C:\\qm-gone\\gone.exe");
    ASSERT_NO_FATAL_FAILURE(Open(registry, {kSlotAppPaths}));
    ASSERT_TRUE(PumpUntil([&] { return window_->ScreenName() == kScanCompleteScreen; }));
    window_->ButtonPressed("BUTTON_FIXERROR");
    HWND box = nullptr;
    ASSERT_TRUE(PumpUntil([&] {
        EnumWindows(&FindFixThreadBox, reinterpret_cast<LPARAM>(&box));
        return box != nullptr;
    })) << "the message box of the fix thread";
    char text[128] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    EXPECT_STREQ(text, "Error Occured while Fixing");
    EXPECT_TRUE(IsWindow(hwnd_));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(PumpUntil([&] { return window_->ScreenName() == kFixCompleteScreen; }));
    EXPECT_EQ(Label("TEXT_FIXCOMPLETE_STATUS"), "Failed") << "never \"Fixed\" after an error";
    EXPECT_EQ(Label("TEXT_FIXCOMPLETE_FIXED"), "0");
    EXPECT_TRUE(registry.KeyExists(kAppPaths + "\\qm-gone.exe"));
    // The backup is kept whole: what was written of it closes its tags.
    const std::vector<std::string> backups = test::FilesMatching("FixedOn*.xml");
    ASSERT_EQ(backups.size(), 1u);
    const std::string backup = test::ReadWholeFile(backups[0]);
    EXPECT_NE(backup.find("qm-gone.exe"), std::string::npos);
    EXPECT_NE(backup.find("</registry>"), std::string::npos) << backup;
    window_->ButtonPressed("BUTTON_OK");
    EXPECT_FALSE(IsWindow(hwnd_));
    EXPECT_EQ(ScanInProgress.load(), 0);
}

TEST_F(SummaryWindowTest, AnExceptionInTheScanIsReportedAndTheResultsOfWhatRanAreShown) {
    ThrowingRegistry registry;
    registry.SetString(kAppPaths + "\\qm-gone.exe", "", "C:\\qm-gone\\gone.exe");
    ASSERT_NO_FATAL_FAILURE(Open(registry, {kSlotAppPaths}));
    HWND box = nullptr;
    ASSERT_TRUE(PumpUntil([&] {
        EnumWindows(&FindScanThreadBox, reinterpret_cast<LPARAM>(&box));
        return box != nullptr;
    })) << "the message box of the scan thread";
    char text[128] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    EXPECT_STREQ(text, "Error Occured while scanning");
    EXPECT_TRUE(IsWindow(hwnd_));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(PumpUntil([&] { return window_->ScreenName() == kScanCompleteScreen; }));
    const std::vector<std::vector<std::string>> rows = Rows();
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back()[0], "Missing ShortCuts");
    window_->ButtonPressed("BUTTON_CANCEL");
    EXPECT_FALSE(IsWindow(hwnd_));
    EXPECT_EQ(ScanInProgress.load(), 0);
}

TEST_F(SummaryWindowTest, EveryImageOfTheDefaultScreensIsBuiltIn) {
    // No file beside the skin: each image must come from the program itself.
    for (const char* screen : {kErrorScanScreen, kScanCompleteScreen, kErrorFixingScreen, kFixCompleteScreen}) {
        const std::vector<SkinEntry> lines = skin_.ReadNumberedSection(std::string(screen) + "INFO");
        ASSERT_EQ(lines.size(), 1u) << screen;
        const SkinPanelLine line = ParsePanelLine(lines[0].value);
        EXPECT_EQ(line.name, screen);
        for (const std::string& image : line.images) {
            ASSERT_EQ(GetFileAttributesA(skin_.ImagePath(image).c_str()), INVALID_FILE_ATTRIBUTES) << image;
            SkinBitmap bitmap;
            const SIZE size = LoadSkinImage(skin_.ImagePath(image), bitmap);
            EXPECT_TRUE(bitmap) << screen << ": " << image;
            EXPECT_EQ(size.cx, 349) << image;
        }
    }
}

TEST_F(SummaryWindowTest, ASkinWithoutResultScreensBuildsNoWindow) {
    SkinFile bare;
    bare.SetSkinFile("Skin.ini");
    bare.UseSkinText("[MAINSCREENINFO]\r\nMain=home_on.gif\r\n");
    MemoryRegistry registry;
    CSummaryWindow window(bare, EngineServices{&registry, nullptr, "ignore.lst"});
    EXPECT_FALSE(window.LoadSkin());
    EXPECT_EQ(window.Window(), nullptr);
    EXPECT_FALSE(window.WorkerRunning());
}

}  // namespace
}  // namespace qm
