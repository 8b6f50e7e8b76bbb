#include "control/about_box_win32.h"

#include "resources/resource.h"

#ifndef QM_PROJECT_VERSION
#error "QM_PROJECT_VERSION comes from CMakeLists.txt"
#endif

namespace qm {

std::string AboutVersionText() { return std::string("Quillmere Version ") + QM_PROJECT_VERSION; }

CAboutDlg::CAboutDlg() : CDialogBase(IDD_ABOUTBOX) {}

BOOL CAboutDlg::OnInitDialog() {
    SetDlgItemTextA(Window(), IDC_ABOUT_VERSION, AboutVersionText().c_str());
    return TRUE;
}

}  // namespace qm
