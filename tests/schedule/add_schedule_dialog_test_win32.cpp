// The Add Schedule dialog driven by synthesized mouse and keyboard input (needs
// a display: run under Xvfb). The dialog works on a test task of its own.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "control/add_schedule_dialog_win32.h"
#include "repair/add_schedule.h"
#include "resources/resource.h"
#include "tests/schedule/scheduler_test_support_win32.h"

namespace qm {
namespace {

using Microsoft::WRL::ComPtr;

bool DisplayAvailable() {
    HWND probe = CreateWindowExA(0, "STATIC", "probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    if (!probe) return false;
    DestroyWindow(probe);
    return true;
}

// A top-level dialog of this process with that caption, waited for up to 20 s.
HWND WaitForDialog(const char* caption) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        HWND found = nullptr;
        while ((found = FindWindowExA(nullptr, found, "#32770", caption)) != nullptr) {
            DWORD pid = 0;
            GetWindowThreadProcessId(found, &pid);
            if (pid == GetCurrentProcessId() && IsWindowVisible(found)) return found;
        }
        Sleep(50);
    }
    return nullptr;
}

void Pause() { Sleep(150); }

void SendMouseButton(DWORD down, DWORD up) {
    INPUT input[2] = {};
    input[0].type = INPUT_MOUSE;
    input[0].mi.dwFlags = down;
    input[1].type = INPUT_MOUSE;
    input[1].mi.dwFlags = up;
    SendInput(2, input, sizeof(INPUT));
}

// Left click at a point of a window's client area.
void ClickAt(HWND window, POINT point) {
    ClientToScreen(window, &point);
    SetCursorPos(point.x, point.y);
    Pause();
    SendMouseButton(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
    Pause();
}

void ClickControl(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    RECT rc;
    GetClientRect(control, &rc);
    // Radio buttons react to a click on their box or text: aim left of centre.
    ClickAt(control, POINT{rc.left + 8, (rc.top + rc.bottom) / 2});
}

void PressKey(WORD key) {
    INPUT input[2] = {};
    input[0].type = INPUT_KEYBOARD;
    input[0].ki.wVk = key;
    input[1].type = INPUT_KEYBOARD;
    input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
    Pause();
}

SYSTEMTIME PickerTime(HWND dialog, int id) {
    SYSTEMTIME st = {};
    SendDlgItemMessageA(dialog, id, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st));
    return st;
}

std::string WindowText(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// The message text of a message box: its non-empty static control.
std::string MessageBoxText(HWND box) {
    std::string text;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM param) -> BOOL {
            char cls[32] = {};
            GetClassNameA(child, cls, sizeof cls);
            std::string t = WindowText(child);
            if (lstrcmpiA(cls, "Static") == 0 && !t.empty()) {
                *reinterpret_cast<std::string*>(param) = t;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    return text;
}

class AddScheduleDialogTest : public SchedulerTaskTest {
protected:
    void SetUp() override {
        SchedulerTaskTest::SetUp();
        if (!DisplayAvailable()) GTEST_SKIP() << "no display: run under Xvfb with DISPLAY set";
    }

    // Runs the dialog on this thread while `drive` works it from another.
    INT_PTR RunDialog(CAddScheduleDlg& dialog, const std::function<void(HWND)>& drive) {
        std::thread driver([&] {
            HWND window = WaitForDialog("Add Schedule");
            if (!window) {
                ADD_FAILURE() << "the Add Schedule dialog did not appear";
                return;
            }
            SetForegroundWindow(window);
            Pause();
            drive(window);
            // Never leave the dialog hanging if input went astray.
            Sleep(1000);
            if (IsWindow(window)) {
                ADD_FAILURE() << "the dialog did not close";
                PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
            }
        });
        const INT_PTR result = dialog.DoModal(nullptr);
        driver.join();
        return result;
    }
};

TEST_F(AddScheduleDialogTest, OkAddsTheScheduleChosenWithMouseAndKeyboard) {
    SYSTEMTIME before;
    GetLocalTime(&before);
    struct Seen {
        bool onceChecked = false;
        int checkedRadios = 0;
        SYSTEMTIME initialDate = {}, initialTime = {}, date = {}, time = {};
        std::string timeText, message;
    } seen;

    CAddScheduleDlg dialog(taskName);
    const INT_PTR result = RunDialog(dialog, [&](HWND dlg) {
        seen.onceChecked = IsDlgButtonChecked(dlg, IDC_SCHEDULE_ONCE) == BST_CHECKED;
        for (int id = IDC_SCHEDULE_ONCE; id <= IDC_SCHEDULE_MONTHLY; ++id)
            seen.checkedRadios += IsDlgButtonChecked(dlg, id) == BST_CHECKED;
        seen.initialDate = PickerTime(dlg, IDC_SCHEDULE_DATE);
        seen.initialTime = PickerTime(dlg, IDC_SCHEDULE_TIME);
        seen.timeText = WindowText(GetDlgItem(dlg, IDC_SCHEDULE_TIME));

        // A date: click the picker beside its text (which selects its last
        // field) and step that field up once.
        HWND datePicker = GetDlgItem(dlg, IDC_SCHEDULE_DATE);
        RECT rc;
        GetClientRect(datePicker, &rc);
        ClickAt(datePicker, POINT{rc.right - 24, (rc.top + rc.bottom) / 2});
        PressKey(VK_UP);
        // A frequency: click "Monthly".
        ClickControl(dlg, IDC_SCHEDULE_MONTHLY);

        seen.date = PickerTime(dlg, IDC_SCHEDULE_DATE);
        seen.time = PickerTime(dlg, IDC_SCHEDULE_TIME);
        ClickControl(dlg, IDOK);

        HWND box = WaitForDialog("Quillmere");
        if (!box) {
            ADD_FAILURE() << "no message box";
            return;
        }
        seen.message = MessageBoxText(box);
        SetForegroundWindow(box);
        PressKey(VK_RETURN);
        Sleep(500);
        if (IsWindow(box)) {
            ADD_FAILURE() << "the message box did not take the Enter key";
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    });

    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(seen.onceChecked);
    EXPECT_EQ(seen.checkedRadios, 1);
    // Both pickers opened on the current date and time.
    EXPECT_EQ(seen.initialDate.wYear, before.wYear);
    EXPECT_EQ(seen.initialDate.wMonth, before.wMonth);
    EXPECT_EQ(seen.initialDate.wDay, before.wDay);
    const int minutesBefore = before.wHour * 60 + before.wMinute;
    const int minutesShown = seen.initialTime.wHour * 60 + seen.initialTime.wMinute;
    EXPECT_GE(minutesShown, minutesBefore);
    EXPECT_LE(minutesShown, minutesBefore + 2);
    // The time picker shows hours and minutes in the locale's way, no seconds.
    char expectedTime[64] = {};
    GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &seen.initialTime, nullptr, expectedTime,
                   sizeof expectedTime);
    EXPECT_EQ(seen.timeText, expectedTime);

    // The input changed the date.
    EXPECT_FALSE(seen.date.wYear == seen.initialDate.wYear && seen.date.wMonth == seen.initialDate.wMonth &&
                 seen.date.wDay == seen.initialDate.wDay)
        << "the date picker did not take the key";
    EXPECT_EQ(seen.message, kScheduleSuccessMessage);
    EXPECT_EQ(dialog.ShownMessage(), kScheduleSuccessMessage);

    // The task holds one monthly trigger at the chosen date and time.
    std::vector<TriggerRecord> triggers;
    ASSERT_EQ(ReadTriggers(taskName, triggers), kTaskOk);
    ASSERT_EQ(triggers.size(), 1u);
    const TriggerRecord& t = triggers[0];
    EXPECT_EQ(t.triggerType, kTriggerMonthlyDate);
    EXPECT_EQ(t.beginYear, seen.date.wYear);
    EXPECT_EQ(t.beginMonth, seen.date.wMonth);
    EXPECT_EQ(t.beginDay, seen.date.wDay);
    EXPECT_EQ(t.startHour, seen.time.wHour);
    EXPECT_EQ(t.startMinute, seen.time.wMinute);
    EXPECT_EQ(t.type.monthlyDate.days, 1u << (seen.date.wDay - 1));
    EXPECT_EQ(t.type.monthlyDate.months, 0xFFF);

    ComPtr<ITask> task = OpenTask();
    ASSERT_TRUE(task);
    EXPECT_EQ(TaskText(task.Get(), &ITask::GetParameters), "scan");
}

TEST_F(AddScheduleDialogTest, CancelLeavesTheSchedulerAlone) {
    CAddScheduleDlg dialog(taskName);
    const INT_PTR result = RunDialog(dialog, [&](HWND dlg) {
        ClickControl(dlg, IDC_SCHEDULE_WEEKLY);
        ClickControl(dlg, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dialog.ShownMessage(), "");
    EXPECT_FALSE(OpenTask());
}

}  // namespace
}  // namespace qm
