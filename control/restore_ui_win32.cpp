#include "control/restore_ui_win32.h"

#include <commdlg.h>

#include <vector>

namespace qm {

void Win32RestoreUi::ShowMessage(const std::string& text) {
    ::SetCursor(::LoadCursor(nullptr, IDC_ARROW));
    ::MessageBoxA(owner_, text.c_str(), "Quillmere", MB_OK);
}

bool Win32RestoreUi::Confirm(const std::string& text) {
    ::SetCursor(::LoadCursor(nullptr, IDC_ARROW));
    // No is the default: Enter does not put a backup back.
    return ::MessageBoxA(owner_, text.c_str(), "Registry Restoration",
                         MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void Win32RestoreUi::ShowWaitCursor(bool wait) {
    ::SetCursor(::LoadCursor(nullptr, wait ? IDC_WAIT : IDC_ARROW));
}

std::string Win32RestoreUi::BackupFileFilter() {
    std::string filter = "XML Files (*.xml)|*.xml|All Files (*.*)|*.*||";
    for (char& c : filter)
        if (c == '|') c = '\0';
    return filter;
}

bool Win32RestoreUi::ChooseBackupFile(std::string& path) {
    if (!chosen_.empty()) {
        path = chosen_;
        return true;
    }
    // The folder that "quillmere.exe" resolves to: the current directory.
    char full[MAX_PATH * 2] = "";
    char* filePart = nullptr;
    std::string folder;
    const DWORD n = ::GetFullPathNameA("quillmere.exe", sizeof full, full, &filePart);
    if (n > 0 && n < sizeof full && filePart != nullptr) folder.assign(full, filePart);

    char current[MAX_PATH * 2] = "";
    const DWORD cur = ::GetCurrentDirectoryA(sizeof current, current);

    const std::string filter = BackupFileFilter();
    std::vector<char> file(MAX_PATH * 4, '\0');
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner_;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrDefExt = "xml";
    ofn.Flags = OFN_HIDEREADONLY | OFN_EXPLORER | OFN_NOCHANGEDIR;
    const BOOL chosen = ::GetOpenFileNameA(&ofn);
    // The open dialog may change the current directory in spite of
    // OFN_NOCHANGEDIR; the backups and the ignore list live there.
    if (cur > 0 && cur < sizeof current) ::SetCurrentDirectoryA(current);
    if (!chosen) return false;
    path = file.data();
    return true;
}

}  // namespace qm
