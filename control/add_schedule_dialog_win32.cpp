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

CAddScheduleDlg::CAddScheduleDlg(std::string taskName)
    : CDialogBase(IDD_ADD_SCHEDULE), taskName_(std::move(taskName)) {}

INT_PTR CAddScheduleDlg::DoModal(HWND parent) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_DATE_CLASSES};
    ::InitCommonControlsEx(&controls);
    shownMessage_.clear();
    return CDialogBase::DoModal(parent);
}

bool CAddScheduleDlg::OnCommand(WORD id, WORD code) {
    if (id == IDOK) {
        OnOK();
        return true;
    }
    return CDialogBase::OnCommand(id, code);
}

BOOL CAddScheduleDlg::OnInitDialog() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    ::SendDlgItemMessageA(Window(), IDC_SCHEDULE_DATE, DTM_SETSYSTEMTIME, GDT_VALID,
                          reinterpret_cast<LPARAM>(&now));
    ::SendDlgItemMessageA(Window(), IDC_SCHEDULE_TIME, DTM_SETSYSTEMTIME, GDT_VALID,
                          reinterpret_cast<LPARAM>(&now));
    ::CheckRadioButton(Window(), IDC_SCHEDULE_ONCE, IDC_SCHEDULE_MONTHLY, IDC_SCHEDULE_ONCE);

    userName_ = LogonUserName();
    CTaskSchedule program;
    program.DescribeRunningProgram();
    executable_ = program.application;
    folder_ = program.workingFolder;

    // The locale's time format without its seconds.
    const std::string format =
        TimeFormatWithoutSeconds(LocaleInfo(LOCALE_STIMEFORMAT), LocaleInfo(LOCALE_STIME));
    if (!format.empty())
        ::SendDlgItemMessageA(Window(), IDC_SCHEDULE_TIME, DTM_SETFORMATA, 0,
                              reinterpret_cast<LPARAM>(format.c_str()));
    return TRUE;
}

CTaskSchedule CAddScheduleDlg::ScheduleFromControls() const {
    SYSTEMTIME date = {};
    SYSTEMTIME time = {};
    ::SendDlgItemMessageA(Window(), IDC_SCHEDULE_DATE, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date));
    ::SendDlgItemMessageA(Window(), IDC_SCHEDULE_TIME, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time));

    CTaskSchedule schedule;
    schedule.start.year = date.wYear;
    schedule.start.month = date.wMonth;
    schedule.start.dayOfWeek = date.wDayOfWeek;
    schedule.start.day = date.wDay;
    schedule.start.hour = time.wHour;
    schedule.start.minute = time.wMinute;
    for (int id = IDC_SCHEDULE_ONCE; id <= IDC_SCHEDULE_MONTHLY; ++id) {
        if (::IsDlgButtonChecked(Window(), id) == BST_CHECKED)
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
        ::MessageBoxA(Window(), result.message.c_str(), kApplicationTitle, MB_OK);
    }
    End(IDOK);
}

}  // namespace qm
