#include "control/result_details_dialog_win32.h"

#include "resources/resource.h"

namespace qm {

CResultDetailsDlg::CResultDetailsDlg(std::string details)
    : CDialogBase(IDD_RESULT_DETAILS), details_(std::move(details)) {}

BOOL CResultDetailsDlg::OnInitDialog() {
    SetDlgItemTextA(Window(), IDC_DETAILS_TEXT, details_.c_str());
    // The focus on OK, so that Enter closes it and the text is not selected.
    SetFocus(GetDlgItem(Window(), IDOK));
    return FALSE;
}

}  // namespace qm
