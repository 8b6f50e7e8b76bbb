// The skinned controls in a real window (needs a display: Xvfb), built from a
// skin section and worked with synthesized mouse input (SendInput, the
// pointer placed with SetCursorPos). The four state images are solid colours,
// so the look a button shows is the colour on the screen at its centre.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/ui/screen_capture_win32.h"
#include "ui/control_set_win32.h"
#include "ui/skin_resource_win32.h"
#include "ui/window_base_win32.h"

namespace qm {
namespace {

constexpr std::uint32_t kRed = 0xFF0000;    // main
constexpr std::uint32_t kGreen = 0x00FF00;  // over
constexpr std::uint32_t kBlue = 0x0000FF;   // down
constexpr std::uint32_t kGrey = 0x808080;   // disabled

const char* const kSkin =
    "[TEST_BUTTONINFO]\r\n"
    "1=BUTTON_PUSH,10,10,40,30,FALSE\r\n"
    "2=BUTTON_CHECK,60,10,40,30,TRUE,Tick me|Ticked\r\n"
    "3=BUTTON_TWIN,110,10,40,30,FALSE\r\n"
    "4=BUTTON_TWIN,160,10,40,30,FALSE\r\n"
    "[TEST_TEXTINFO]\r\n"
    "1=TEXT_STATUS,Arial,TRUE,FALSE,-12,0l,10,60,120,20,ready\r\n"
    "2=TEXT_STATUS,Arial,TRUE,FALSE,-12,0l,140,60,120,20,second\r\n"
    "[TEST_EDITBOXINFO]\r\n"
    "1=EDIT_COUNT,Arial,TRUE,FALSE,-12,0l,10,90,60,20,5\r\n"
    "2=EDIT_COUNT,Arial,TRUE,TRUE,-12,0l,80,90,60,20,6\r\n"
    "[TEST_LISTINFO]\r\n"
    "1=10,120,280,80,2,Delete,40,FileName,200\r\n";

// Hears clicks; optionally acts on them like an owner would.
class Recorder : public ISkinOwner {
public:
    void ButtonPressed(const std::string& name) override {
        pressed.push_back(name);
        if (onPress) onPress(name);
    }
    std::vector<std::string> pressed;
    std::function<void(const std::string&)> onPress;
};

GdiObject<HBITMAP> SolidBitmap(int width, int height, std::uint32_t rgb) {
    GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(WindowDc(nullptr).Get(), width, height));
    MemoryDc dc;
    dc.Select(bitmap.Get());
    GdiBrush brush(CreateSolidBrush(RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF)));
    RECT all{0, 0, width, height};
    FillRect(dc.Get(), &all, brush.Get());
    return bitmap;
}

void Pump(DWORD ms = 120) { test::PumpMessages(ms); }

void SendMouse(DWORD flags, LONG dx = 0, LONG dy = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.dx = dx;
    input.mi.dy = dy;
    SendInput(1, &input, sizeof input);
}

// Puts the pointer at a screen point: SetCursorPos, plus an absolute move so
// that the window under it hears of it.
void MoveTo(POINT screen) {
    SetCursorPos(screen.x, screen.y);
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, (screen.x * 65535 + w / 2) / (w - 1),
              (screen.y * 65535 + h / 2) / (h - 1));
    Pump();
}
void LeftDown() {
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    Pump();
}
void LeftUp() {
    SendMouse(MOUSEEVENTF_LEFTUP);
    Pump();
}

class SkinnedControls : public ::testing::Test {
protected:
    static constexpr int kLeft = 760;
    static constexpr int kTop = 600;
    static constexpr int kWidth = 300;
    static constexpr int kHeight = 220;

    void SetUp() override {
        if (!test::DisplayAvailable()) GTEST_SKIP() << "no display: run under Xvfb with DISPLAY set";
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = "QmTestSkinnedControlsOwner";
        RegisterClassA(&wc);
        owner_ = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "controls", WS_POPUP | WS_VISIBLE, kLeft, kTop,
                                 kWidth, kHeight, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(owner_, nullptr);
        images_[0] = SolidBitmap(kWidth, kHeight, kRed);
        images_[1] = SolidBitmap(kWidth, kHeight, kGreen);
        images_[2] = SolidBitmap(kWidth, kHeight, kBlue);
        images_[3] = SolidBitmap(kWidth, kHeight, kGrey);
        skin_.UseSkinText(kSkin);
        ASSERT_TRUE(set_.Attach(owner_, &recorder_));
        const HBITMAP images[4] = {images_[0].Get(), images_[1].Get(), images_[2].Get(), images_[3].Get()};
        set_.ReadButtonInfo(skin_, "TEST_BUTTONINFO", images);
        set_.ReadTextInfo(skin_, "TEST_TEXTINFO", images_[0].Get());
        set_.ReadEditBoxInfo(skin_, "TEST_EDITBOXINFO", images_[0].Get());
        list_ = set_.ReadListViewInfo(skin_, "TEST_LISTINFO", kListWithCheckBoxes);
        SetForegroundWindow(owner_);
        SetActiveWindow(owner_);
        UpdateWindow(owner_);
        Pump(300);
        Away();
    }
    void TearDown() override {
        if (owner_ == nullptr) return;
        set_.Free();
        DestroyWindow(owner_);
        Pump(50);
    }

    // The centre of a control (the first of that name unless `which` says).
    POINT Centre(const std::string& name, int which = 0) {
        int seen = 0;
        for (const auto& b : set_.Buttons()) {
            if (b->Name() != name || seen++ != which) continue;
            RECT r;
            GetWindowRect(b->Window(), &r);
            return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        }
        ADD_FAILURE() << "no button " << name;
        return POINT{0, 0};
    }
    // A point of the owner window that no control covers.
    POINT Empty() { return POINT{kLeft + 280, kTop + 40}; }
    // The pointer off the window altogether.
    void Away() { MoveTo(POINT{kLeft - 200, kTop - 200}); }

    std::uint32_t LookOf(const std::string& name, int which = 0) {
        Pump(60);
        const POINT p = Centre(name, which);
        return test::CaptureScreen(p.x, p.y, 1, 1).At(0, 0);
    }
    void Click(const std::string& name, int which = 0) {
        MoveTo(Centre(name, which));
        LeftDown();
        LeftUp();
    }

    HWND owner_ = nullptr;
    GdiObject<HBITMAP> images_[4];
    SkinFile skin_;
    Recorder recorder_;
    CControlSet set_;
    CSkinnedListView* list_ = nullptr;
};

TEST_F(SkinnedControls, BuiltFromTheSkinSectionsInSkinOrder) {
    ASSERT_EQ(set_.Buttons().size(), 4u);
    EXPECT_EQ(set_.Buttons()[1]->Name(), "BUTTON_CHECK");
    EXPECT_TRUE(set_.Buttons()[1]->IsCheckBox());
    EXPECT_FALSE(set_.Buttons()[0]->IsCheckBox());
    for (int i = 0; i < 4; ++i) EXPECT_EQ(set_.Buttons()[i]->Index(), i);
    const LONG style = GetWindowLongA(set_.Buttons()[0]->Window(), GWL_STYLE);
    EXPECT_EQ(style & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_EQ(style & WS_BORDER, 0);
    EXPECT_NE(style & WS_TABSTOP, 0) << "reached with Tab";
    RECT r;
    GetWindowRect(set_.Buttons()[2]->Window(), &r);
    EXPECT_EQ(r.left, kLeft + 110);
    EXPECT_EQ(r.bottom - r.top, 30);

    ASSERT_EQ(set_.Labels().size(), 2u);
    EXPECT_EQ(set_.Labels()[0]->Text(), "ready");
    LOGFONTA font{};
    GetObjectA(set_.Labels()[0]->Font(), sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -12);
    EXPECT_EQ(font.lfWeight, 700);
    EXPECT_EQ(font.lfItalic, 1) << "panel labels are italic when the field begins with F";
    EXPECT_STREQ(font.lfFaceName, "Arial");

    ASSERT_EQ(set_.Edits().size(), 2u);
    EXPECT_EQ(set_.GetEditText("EDIT_COUNT"), "5");
    GetObjectA(set_.Edits()[0]->Font(), sizeof font, &font);
    EXPECT_EQ(font.lfItalic, 0);
    GetObjectA(set_.Edits()[1]->Font(), sizeof font, &font);
    EXPECT_EQ(font.lfItalic, 1);
    EXPECT_NE(GetWindowLongA(set_.Edits()[0]->Window(), GWL_STYLE) & WS_TABSTOP, 0);

    ASSERT_NE(list_, nullptr);
    const LONG listStyle = GetWindowLongA(list_->Window(), GWL_STYLE);
    EXPECT_EQ(static_cast<DWORD>(listStyle) & kSkinListViewStyle, kSkinListViewStyle);
    EXPECT_EQ(GetDlgCtrlID(list_->Window()), 1010);
    EXPECT_EQ(SendMessageA(list_->Window(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & 0xFF, 0x25);
    EXPECT_EQ(list_->ColumnCount(), 2);
    EXPECT_EQ(SendMessageA(list_->Window(), LVM_GETCOLUMNWIDTH, 1, 0), 200);
    EXPECT_EQ(list_->InsertRow(0, {"", "C:\\gone.dll"}, true), 0);
    EXPECT_EQ(list_->Text(0, 1), "C:\\gone.dll");
    EXPECT_TRUE(list_->Checked(0));
    list_->SetChecked(0, false);
    EXPECT_FALSE(list_->Checked(0));
}

TEST_F(SkinnedControls, ListRowsKeepTheirDataAndTickThroughSortsByAColumn) {
    ASSERT_NE(list_, nullptr);
    ASSERT_TRUE(list_->AddColumn("Program", 30));
    EXPECT_EQ(list_->ColumnCount(), 3);
    // Data 10, 11, 12 with programs "b", "c", "a"; the middle one unticked.
    const std::vector<std::string> programs = {"b", "c", "a"};
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(list_->InsertRow(i, {"", "C:\\f" + std::to_string(i), programs[i]}, i != 1, 10 + i), i);
    auto order = [&](LPARAM a, LPARAM b, int column) {
        EXPECT_EQ(column, 2);
        const std::string& x = programs[static_cast<std::size_t>(a - 10)];
        const std::string& y = programs[static_cast<std::size_t>(b - 10)];
        return x < y ? -1 : x > y ? 1 : 0;
    };
    auto rows = [&] {
        std::vector<std::string> r;
        for (int i = 0; i < list_->RowCount(); ++i)
            r.push_back(list_->Text(i, 2) + std::to_string(list_->RowData(i)) + (list_->Checked(i) ? "+" : "-"));
        return r;
    };
    list_->SortByColumn(2, order);
    EXPECT_EQ(rows(), (std::vector<std::string>{"a12+", "b10+", "c11-"}));
    list_->SortByColumn(2, order);
    EXPECT_EQ(rows(), (std::vector<std::string>{"c11-", "b10+", "a12+"})) << "the same column again: reversed";
    list_->SortByColumn(0, order);
    EXPECT_EQ(rows().back(), "c11-") << "by the tick: ticked rows first";
    // Fitted to the longest text: wider than the header alone.
    const std::string longText = "C:\\Program Files\\A Rather Long Folder Name\\and a long file name.dll";
    list_->FitColumn(2, {&programs[0], &longText});
    EXPECT_GT(SendMessageA(list_->Window(), LVM_GETCOLUMNWIDTH, 2, 0), 200);
    list_->DeleteAllRows();
    EXPECT_EQ(list_->RowCount(), 0);
}

TEST_F(SkinnedControls, ARowOrderThatThrowsStopsAtTheSortCallbackAndKeepsEveryRow) {
    ASSERT_NE(list_, nullptr);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(list_->InsertRow(i, {"", "C:\\f" + std::to_string(i)}, true, 10 + i), i);
    const long before = CWindowBase::CaughtExceptions();
    list_->SortByColumn(1, [](LPARAM, LPARAM, int) -> int { throw std::runtime_error("order failed"); });
    EXPECT_GT(CWindowBase::CaughtExceptions(), before);
    ASSERT_EQ(list_->RowCount(), 3);
    std::vector<LPARAM> data;
    for (int i = 0; i < 3; ++i) data.push_back(list_->RowData(i));
    std::sort(data.begin(), data.end());
    EXPECT_EQ(data, (std::vector<LPARAM>{10, 11, 12}));
}

TEST_F(SkinnedControls, ReleaseInsideReportsTheButtonsName) {
    EXPECT_EQ(LookOf("BUTTON_PUSH"), kRed);
    MoveTo(Centre("BUTTON_PUSH"));
    EXPECT_EQ(LookOf("BUTTON_PUSH"), kGreen) << "hover look";
    EXPECT_TRUE(set_.Buttons()[0]->Hover());
    LeftDown();
    EXPECT_EQ(LookOf("BUTTON_PUSH"), kBlue) << "pressed look";
    EXPECT_TRUE(recorder_.pressed.empty()) << "nothing until the release";
    bool hoverAtReport = true;
    recorder_.onPress = [&](const std::string&) { hoverAtReport = set_.Buttons()[0]->Hover(); };
    LeftUp();
    EXPECT_EQ(recorder_.pressed, std::vector<std::string>{"BUTTON_PUSH"});
    EXPECT_FALSE(hoverAtReport) << "the release clears the hover look before reporting";
    Away();
    EXPECT_EQ(LookOf("BUTTON_PUSH"), kRed);
    EXPECT_FALSE(set_.Buttons()[0]->Hover());
}

TEST_F(SkinnedControls, SpaceOrEnterReleasedOnAButtonReportsItOnceAndADisabledOneNothing) {
    HWND push = set_.Buttons()[0]->Window();
    // The key's press alone reports nothing; its release does (as a click's).
    SendMessageA(push, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(recorder_.pressed.empty());
    SendMessageA(push, WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(recorder_.pressed, std::vector<std::string>{"BUTTON_PUSH"});
    SendMessageA(push, WM_KEYDOWN, VK_RETURN, 0);
    SendMessageA(push, WM_KEYUP, VK_RETURN, 0);
    EXPECT_EQ(recorder_.pressed, (std::vector<std::string>{"BUTTON_PUSH", "BUTTON_PUSH"}));
    // Other keys are the system's, and a disabled button takes none.
    SendMessageA(push, WM_KEYUP, 'A', 0);
    EnableWindow(push, FALSE);
    SendMessageA(push, WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(recorder_.pressed.size(), 2u);
    EnableWindow(push, TRUE);
}

TEST_F(SkinnedControls, PressMoveOffReleaseReportsNothing) {
    MoveTo(Centre("BUTTON_PUSH"));
    LeftDown();
    MoveTo(Empty());
    EXPECT_EQ(LookOf("BUTTON_PUSH"), kRed);
    LeftUp();
    EXPECT_TRUE(recorder_.pressed.empty());
    EXPECT_EQ(LookOf("BUTTON_PUSH"), kRed);
    EXPECT_NE(GetCapture(), set_.Buttons()[0]->Window());

    // Off the window altogether, and onto another button of the same owner.
    MoveTo(Centre("BUTTON_PUSH"));
    LeftDown();
    Away();
    LeftUp();
    MoveTo(Centre("BUTTON_TWIN"));
    LeftDown();
    MoveTo(Centre("BUTTON_PUSH"));
    LeftUp();
    EXPECT_TRUE(recorder_.pressed.empty());

    // The button still works afterwards.
    Click("BUTTON_PUSH");
    EXPECT_EQ(recorder_.pressed, std::vector<std::string>{"BUTTON_PUSH"});
}

TEST_F(SkinnedControls, CheckBoxLooksCheckedOnlyWhenItsOwnerTogglesIt) {
    MoveTo(Centre("BUTTON_CHECK"));
    EXPECT_EQ(LookOf("BUTTON_CHECK"), kRed) << "a check box has no hover look";
    Click("BUTTON_CHECK");
    EXPECT_EQ(recorder_.pressed, std::vector<std::string>{"BUTTON_CHECK"});
    EXPECT_EQ(set_.GetButtonCheck("BUTTON_CHECK"), 0);
    EXPECT_EQ(LookOf("BUTTON_CHECK"), kRed);

    recorder_.onPress = [this](const std::string& name) {
        set_.SetButtonCheck(name, set_.GetButtonCheck(name) ? 0 : 1);
    };
    Click("BUTTON_CHECK");
    EXPECT_EQ(set_.GetButtonCheck("BUTTON_CHECK"), 1);
    EXPECT_EQ(LookOf("BUTTON_CHECK"), kBlue);
    Away();
    EXPECT_EQ(LookOf("BUTTON_CHECK"), kBlue);
    Click("BUTTON_CHECK");
    EXPECT_EQ(set_.GetButtonCheck("BUTTON_CHECK"), 0);
    EXPECT_EQ(LookOf("BUTTON_CHECK"), kRed);
    EXPECT_EQ(recorder_.pressed.size(), 3u);
}

TEST_F(SkinnedControls, CheckedPushButtonShowsOverOnlyWhileThePointerIsOnIt) {
    set_.SetButtonCheck("BUTTON_PUSH", 1);
    EXPECT_EQ(LookOf("BUTTON_PUSH"), kBlue);
    MoveTo(Centre("BUTTON_PUSH"));
    EXPECT_EQ(LookOf("BUTTON_PUSH"), kGreen);
    MoveTo(Empty());
    EXPECT_EQ(LookOf("BUTTON_PUSH"), kBlue);
    EXPECT_NE(GetCapture(), set_.Buttons()[0]->Window()) << "capture let go when the pointer left";
}

// What a button says: its wording answers WM_GETTEXT (and so a screen reader
// and GetWindowText here) and is its tip; the window text it is found by
// stays its skin name.
TEST_F(SkinnedControls, ButtonsAnswerWithTheirWordingAndShowItAsTheirTip) {
    CSkinnedButton* push = set_.FindButton("BUTTON_PUSH");
    CSkinnedButton* check = set_.FindButton("BUTTON_CHECK");
    ASSERT_NE(push, nullptr);
    ASSERT_NE(check, nullptr);
    auto text = [](HWND w) {
        char buffer[64] = "";
        GetWindowTextA(w, buffer, sizeof buffer);
        return std::string(buffer);
    };
    EXPECT_EQ(text(push->Window()), "Push") << "no wording in the line: the name as words";
    EXPECT_EQ(text(check->Window()), "Tick me");
    EXPECT_EQ(GetWindowTextLengthA(check->Window()), 7);
    check->SetChecked(1);
    EXPECT_EQ(text(check->Window()), "Ticked");
    EXPECT_EQ(FindWindowExA(owner_, nullptr, "Button", "BUTTON_CHECK"), check->Window())
        << "found by its skin name as before";
    char small[4] = "";
    EXPECT_EQ(SendMessageA(check->Window(), WM_GETTEXT, sizeof small, reinterpret_cast<LPARAM>(small)), 3);
    EXPECT_STREQ(small, "Tic");

    // The tips: one tool per button, each asked for its current wording.
    ASSERT_NE(set_.Tips(), nullptr);
    EXPECT_EQ(SendMessageA(set_.Tips(), TTM_GETTOOLCOUNT, 0, 0), 4);
    NMTTDISPINFOA ask{};
    ask.hdr.hwndFrom = set_.Tips();
    ask.hdr.idFrom = reinterpret_cast<UINT_PTR>(check->Window());
    ask.hdr.code = TTN_GETDISPINFOA;
    SendMessageA(owner_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&ask));
    ASSERT_NE(ask.lpszText, nullptr);
    EXPECT_STREQ(ask.lpszText, "Ticked");
    check->SetChecked(0);
    NMTTDISPINFOW askWide{};
    askWide.hdr = ask.hdr;
    askWide.hdr.code = TTN_GETDISPINFOW;
    SendMessageA(owner_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&askWide));
    ASSERT_NE(askWide.lpszText, nullptr);
    EXPECT_EQ(std::wstring(askWide.lpszText), L"Tick me");
}

TEST_F(SkinnedControls, TwoControlsOfOneNameReachOnlyTheFirst) {
    set_.SetButtonCheck("BUTTON_TWIN", 1);
    EXPECT_EQ(LookOf("BUTTON_TWIN", 0), kBlue);
    EXPECT_EQ(LookOf("BUTTON_TWIN", 1), kRed);
    EXPECT_EQ(set_.Buttons()[3]->Checked(), 0);
    EXPECT_EQ(set_.GetButtonCheck("BUTTON_TWIN"), 1);
    set_.SetButtonCheck("BUTTON_TWIN", 0);

    set_.EnableButton("BUTTON_TWIN", false);
    EXPECT_FALSE(IsWindowEnabled(set_.Buttons()[2]->Window()));
    EXPECT_TRUE(IsWindowEnabled(set_.Buttons()[3]->Window()));
    EXPECT_EQ(LookOf("BUTTON_TWIN", 0), kGrey);
    set_.EnableButton("BUTTON_TWIN", true);

    set_.HideButton("BUTTON_TWIN", true);
    EXPECT_FALSE(IsWindowVisible(set_.Buttons()[2]->Window()));
    EXPECT_TRUE(IsWindowVisible(set_.Buttons()[3]->Window()));
    set_.HideButton("BUTTON_TWIN", false);
    EXPECT_TRUE(IsWindowVisible(set_.Buttons()[2]->Window()));

    set_.SetLabelText("TEXT_STATUS", "scanning");
    EXPECT_EQ(set_.Labels()[0]->Text(), "scanning");
    EXPECT_EQ(set_.Labels()[1]->Text(), "second");

    set_.SetEditText("EDIT_COUNT", "9");
    EXPECT_EQ(set_.GetEditText("EDIT_COUNT"), "9");
    char text[16] = {};
    GetWindowTextA(set_.Edits()[1]->Window(), text, sizeof text);
    EXPECT_STREQ(text, "6");

    // A click on the second still reports its name (its own index).
    Click("BUTTON_TWIN", 1);
    EXPECT_EQ(recorder_.pressed, std::vector<std::string>{"BUTTON_TWIN"});

    // Names nobody has: nothing happens, getters give 0 and "".
    set_.SetButtonCheck("BUTTON_NONE", 1);
    set_.EnableButton("BUTTON_NONE", false);
    set_.HideButton("BUTTON_NONE", true);
    set_.SetLabelText("TEXT_NONE", "x");
    set_.SetEditText("EDIT_NONE", "x");
    EXPECT_EQ(set_.GetButtonCheck("BUTTON_NONE"), 0);
    EXPECT_EQ(set_.GetEditText("EDIT_NONE"), "");
    EXPECT_EQ(set_.GetButtonCheck("button_twin"), 0) << "names are compared exactly";
}

TEST_F(SkinnedControls, EnableAllButtonsReachesEveryButton) {
    set_.EnableAllButtons(false);
    for (const auto& b : set_.Buttons()) EXPECT_FALSE(IsWindowEnabled(b->Window())) << b->Name();
    Click("BUTTON_PUSH");
    EXPECT_TRUE(recorder_.pressed.empty()) << "a disabled button hears no click";
    set_.EnableAllButtons(true);
    for (const auto& b : set_.Buttons()) EXPECT_TRUE(IsWindowEnabled(b->Window())) << b->Name();
}

// Dark pixels (the text colour is black) in a label's rectangle.
int DarkPixels(HWND label) {
    RECT r;
    GetWindowRect(label, &r);
    const test::Capture c = test::CaptureScreen(r.left, r.top, r.right - r.left, r.bottom - r.top);
    int dark = 0;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            if ((c.At(x, y) & 0x808080) == 0) ++dark;  // every channel under half
    return dark;
}

TEST_F(SkinnedControls, WorkersUpdateControlsWithoutWaitingForTheInterfaceThread) {
    set_.SetLabelText("TEXT_STATUS", "");
    Pump(200);
    HWND label = set_.Labels()[0]->Window();
    EXPECT_EQ(DarkPixels(label), 0) << "empty text: only the background";
    EXPECT_EQ(test::CaptureScreen(kLeft + 12, kTop + 62, 1, 1).At(0, 0), kRed) << "the label's background piece";

    // The interface thread blocks on the worker without pumping messages:
    // any call of the worker's that waited for it would hang here.
    std::atomic<int> steps{0};
    std::string seenEdit;
    const Win32Handle doneEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(doneEvent);
    const HANDLE done = doneEvent.Get();
    std::thread worker([&] {
        for (int i = 0; i < 300; ++i) {
            set_.SetLabelText("TEXT_STATUS", "item " + std::to_string(i));
            set_.SetButtonCheck("BUTTON_PUSH", i % 2);
            ++steps;
        }
        set_.SetLabelText("TEXT_STATUS", "WWWW Done");
        set_.EnableButton("BUTTON_TWIN", false);
        set_.HideButton("BUTTON_CHECK", true);
        set_.SetEditText("EDIT_COUNT", "42");
        seenEdit = set_.GetEditText("EDIT_COUNT");
        set_.SetButtonCheck("BUTTON_PUSH", 1);
        SetEvent(done);
    });
    const DWORD waited = WaitForSingleObject(done, 20000);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << "the worker waited for the interface thread (" << steps << " steps)";
    if (waited != WAIT_OBJECT_0) Pump(2000);  // let a stuck worker finish before joining
    worker.join();
    EXPECT_EQ(seenEdit, "42");

    Pump(300);
    EXPECT_EQ(set_.Labels()[0]->Text(), "WWWW Done");
    EXPECT_GT(DarkPixels(label), 10) << "the text was painted on the interface thread";
    EXPECT_FALSE(IsWindowEnabled(set_.Buttons()[2]->Window()));
    EXPECT_FALSE(IsWindowVisible(set_.Buttons()[1]->Window()));
    char text[16] = {};
    GetWindowTextA(set_.Edits()[0]->Window(), text, sizeof text);
    EXPECT_STREQ(text, "42");
    EXPECT_EQ(LookOf("BUTTON_PUSH"), kBlue);
    // The label's window text stays its name (the worker set no window
    // text: that would have waited for this thread); asked for its text, the
    // label answers with what it shows.
    WCHAR stored[32] = {};
    InternalGetWindowText(label, stored, 32);
    EXPECT_STREQ(stored, L"TEXT_STATUS");
    GetWindowTextA(label, text, sizeof text);
    EXPECT_STREQ(text, "WWWW Done");
}

TEST_F(SkinnedControls, EditTextTypedByTheUserIsWhatOwnersAndWorkersRead) {
    HWND edit = set_.Edits()[0]->Window();
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    for (char c : std::string("17")) {
        INPUT keys[2] = {};
        keys[0].type = keys[1].type = INPUT_KEYBOARD;
        keys[0].ki.wVk = keys[1].ki.wVk = static_cast<WORD>(c);
        keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, keys, sizeof(INPUT));
        Pump(80);
    }
    EXPECT_EQ(set_.GetEditText("EDIT_COUNT"), "17");
    std::string fromWorker;
    std::thread([&] { fromWorker = set_.GetEditText("EDIT_COUNT"); }).join();
    EXPECT_EQ(fromWorker, "17");
}

TEST(SkinnedControlsDefaultSkin, MainPanelButtonsAreElevenCheckBoxes) {
    if (!test::DisplayAvailable()) GTEST_SKIP() << "no display";
    SkinFile skin;
    ASSERT_TRUE(LoadBuiltInSkin(skin));
    HWND owner = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 349, 219, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    {
        Recorder recorder;
        CControlSet set;
        ASSERT_TRUE(set.Attach(owner, &recorder));
        const HBITMAP none[4] = {nullptr, nullptr, nullptr, nullptr};
        set.ReadButtonInfo(skin, "SUBMAIN_MAIN_BUTTONINFO", none);
        set.ReadTextInfo(skin, "SUBMAIN_MAIN_TEXTINFO", nullptr);
        ASSERT_EQ(set.Buttons().size(), 11u);
        EXPECT_EQ(set.Buttons()[0]->Name(), "BUTTON_ALL");
        EXPECT_EQ(set.Buttons()[10]->Name(), "BUTTON_SHORTCUTS");
        for (const auto& b : set.Buttons()) EXPECT_TRUE(b->IsCheckBox()) << b->Name();
        ASSERT_FALSE(set.Labels().empty());
        EXPECT_EQ(set.Labels()[0]->Name(), "PROGRESS_TEXT_REGISTRY");
        ASSERT_NE(set.FindLabel("TEXT_ERRORSCAN_CURRENTITEM"), nullptr);
        EXPECT_EQ(set.FindLabel("TEXT_ERRORSCAN_CURRENTITEM")->Text(), "");
        set.ButtonPressedAt(3);
        set.ButtonPressedAt(11);  // past the end: nothing
        set.ButtonPressedAt(-1);
        EXPECT_EQ(recorder.pressed, std::vector<std::string>{"BUTTON_DRV"});
        EXPECT_EQ(set.ReadListViewInfo(skin, "SUBMAIN_MAIN_LISTINFO", kListWithCheckBoxes), nullptr);
    }
    DestroyWindow(owner);
}

}  // namespace
}  // namespace qm
