// The restore's user interface on Windows: message boxes captioned
// "Quillmere", the question before a restore (captioned "Registry
// Restoration"), the wait and arrow cursors, and the common file-open dialog
// for a backup file.
#pragma once

#include <windows.h>

#include <string>

#include "repair/restore_ui.h"

namespace qm {

class Win32RestoreUi : public IRestoreUi {
public:
    explicit Win32RestoreUi(HWND owner = nullptr) : owner_(owner) {}

    void ShowMessage(const std::string& text) override;
    void ShowWaitCursor(bool wait) override;
    // Starts in the current directory (where the repair writes its backups)
    // and leaves the current directory as it was. With a file already
    // chosen (SetChosenFile), gives that one and shows no dialog.
    bool ChooseBackupFile(std::string& path) override;
    void SetChosenFile(const std::string& path) { chosen_ = path; }
    bool Confirm(const std::string& text) override;

    // The dialog's filter as GetOpenFileNameA takes it: pairs of zero-ended
    // texts, ended by an empty text.
    static std::string BackupFileFilter();

private:
    HWND owner_;
    std::string chosen_;
};

}  // namespace qm
