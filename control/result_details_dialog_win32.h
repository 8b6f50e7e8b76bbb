// The details of one result row (template IDD_RESULT_DETAILS, caption
// "Entry details"): every detail of the entry in a read-only text box, whole
// and selectable (the key, value name, data and missing file may be longer
// than a column shows), and OK.
#pragma once

#include <string>

#include "ui/dialog_base_win32.h"

namespace qm {

class CResultDetailsDlg : public CDialogBase {
public:
    explicit CResultDetailsDlg(std::string details);

protected:
    BOOL OnInitDialog() override;

private:
    std::string details_;
};

}  // namespace qm
