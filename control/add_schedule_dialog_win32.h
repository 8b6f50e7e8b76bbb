// The "Add Schedule" dialog (template IDD_ADD_SCHEDULE): a start date, a start
// time and a frequency; OK adds the schedule to the scheduler task and shows
// the outcome in a message box.
#pragma once

#include <windows.h>

#include <string>

#include "repair/task_schedule_win32.h"
#include "ui/dialog_base_win32.h"

namespace qm {

class CAddScheduleDlg : public CDialogBase {
public:
    // Works on the program's task (TaskName()) unless another name is given.
    CAddScheduleDlg();
    explicit CAddScheduleDlg(std::string taskName);
    CAddScheduleDlg(const CAddScheduleDlg&) = delete;
    CAddScheduleDlg& operator=(const CAddScheduleDlg&) = delete;

    // Runs the dialog modally; IDOK or IDCANCEL (-1 when it cannot be shown).
    INT_PTR DoModal(HWND parent);

    // The message OK showed ("" when none was shown or OK was not pressed).
    const std::string& ShownMessage() const { return shownMessage_; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code) override;

private:
    void OnOK();
    // The schedule the controls describe.
    CTaskSchedule ScheduleFromControls() const;

    std::string taskName_;
    std::string userName_;
    std::string executable_;
    std::string folder_;
    std::string shownMessage_;
};

}  // namespace qm
