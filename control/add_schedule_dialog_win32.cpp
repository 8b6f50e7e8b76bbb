#include "control/add_schedule_dialog_win32.h"

#include <commctrl.h>

#include <utility>

#include "repair/add_schedule.h"
#include "repair/schedule_text.h"
#include "resources/resource.h"

namespace qm {

namespace {

constexpr const char* kApplicationTitle = "Quillmere";

std::string LocaleInfo(LCTYPE type) {
    char buf[128] = {};
    if (::GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buf, sizeof buf) <= 0) return std::string();
    return buf;
}

}  // namespace

CAddScheduleDlg::CAddScheduleDlg() : CAddScheduleDlg(TaskName()) {}

CAddScheduleDlg::CAddScheduleDlg(std::string taskName) : taskName_(std::move(taskName)) {}

INT_PTR CAddScheduleDlg::DoModal(HWND parent) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_DATE_CLASSES};
    ::InitCommonControlsEx(&controls);
    shownMessage_.clear();
    return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ADD_SCHEDULE), parent,
                             &CAddScheduleDlg::DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CAddScheduleDlg::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CAddScheduleDlg*>(lParam);
        ::SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        self->hwnd_ = hwnd;
        self->OnInitDialog();
        return TRUE;
    }
    auto* self = reinterpret_cast<CAddScheduleDlg*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
    if (!self) return FALSE;
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            self->OnOK();
            return TRUE;
        case IDCANCEL:
            ::EndDialog(hwnd, IDCANCEL);
            return TRUE;
        }
        break;
    case WM_DESTROY:
        self->hwnd_ = nullptr;
        break;
    }
    return FALSE;
}

void CAddScheduleDlg::OnInitDialog() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    ::SendDlgItemMessageA(hwnd_, IDC_SCHEDULE_DATE, DTM_SETSYSTEMTIME, GDT_VALID,
                          reinterpret_cast<LPARAM>(&now));
    ::SendDlgItemMessageA(hwnd_, IDC_SCHEDULE_TIME, DTM_SETSYSTEMTIME, GDT_VALID,
                          reinterpret_cast<LPARAM>(&now));
    ::CheckRadioButton(hwnd_, IDC_SCHEDULE_ONCE, IDC_SCHEDULE_MONTHLY, IDC_SCHEDULE_ONCE);

    userName_ = LogonUserName();
    CTaskSchedule program;
    program.DescribeRunningProgram();
    executable_ = program.application;
    folder_ = program.workingFolder;

    // The locale's time format without its seconds.
    const std::string format =
        TimeFormatWithoutSeconds(LocaleInfo(LOCALE_STIMEFORMAT), LocaleInfo(LOCALE_STIME));
    if (!format.empty())
        ::SendDlgItemMessageA(hwnd_, IDC_SCHEDULE_TIME, DTM_SETFORMATA, 0,
                              reinterpret_cast<LPARAM>(format.c_str()));
}

CTaskSchedule CAddScheduleDlg::ScheduleFromControls() const {
    SYSTEMTIME date = {};
    SYSTEMTIME time = {};
    ::SendDlgItemMessageA(hwnd_, IDC_SCHEDULE_DATE, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date));
    ::SendDlgItemMessageA(hwnd_, IDC_SCHEDULE_TIME, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time));

    CTaskSchedule schedule;
    schedule.start.year = date.wYear;
    schedule.start.month = date.wMonth;
    schedule.start.dayOfWeek = date.wDayOfWeek;
    schedule.start.day = date.wDay;
    schedule.start.hour = time.wHour;
    schedule.start.minute = time.wMinute;
    for (int id = IDC_SCHEDULE_ONCE; id <= IDC_SCHEDULE_MONTHLY; ++id) {
        if (::IsDlgButtonChecked(hwnd_, id) == BST_CHECKED)
            schedule.frequency = kScheduleOnce + (id - IDC_SCHEDULE_ONCE);
    }
    schedule.application = executable_;
    schedule.parameters = "scan";
    schedule.workingFolder = folder_;
    schedule.accountName = userName_;
    return schedule;
}

void CAddScheduleDlg::OnOK() {
    CTaskSchedule schedule = ScheduleFromControls();
    const AddScheduleResult result = AddSchedule(schedule, taskName_);
    if (!result.message.empty()) {
        shownMessage_ = result.message;
        ::MessageBoxA(hwnd_, result.message.c_str(), kApplicationTitle, MB_OK);
    }
    ::EndDialog(hwnd_, IDOK);
}

}  // namespace qm
