// The About box (template IDD_ABOUTBOX, caption "About Quillmere"), opened
// from the system menu: the program's name and the version of this build.
#pragma once

#include <string>

#include "ui/dialog_base_win32.h"

namespace qm {

// "Quillmere Version 1.0.0": the project's version number.
std::string AboutVersionText();

class CAboutDlg : public CDialogBase {
public:
    CAboutDlg();

protected:
    BOOL OnInitDialog() override;
};

}  // namespace qm
