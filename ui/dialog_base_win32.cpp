#include "ui/dialog_base_win32.h"

namespace qm {

std::atomic<long> CDialogBase::caught_{0};

INT_PTR CDialogBase::DoModal(HWND parent) {
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), parent,
                           &CDialogBase::DialogProc, reinterpret_cast<LPARAM>(this));
}

bool CDialogBase::OnCommand(WORD id, WORD) {
    if (id == IDOK || id == IDCANCEL) {
        End(id);
        return true;
    }
    return false;
}

bool CDialogBase::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) { return false; }

INT_PTR CALLBACK CDialogBase::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialogBase* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialogBase*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        if (self != nullptr) self->window_ = window;
    } else {
        self = reinterpret_cast<CDialogBase*>(GetWindowLongPtrA(window, DWLP_USER));
    }
    if (self == nullptr) return FALSE;
    try {
        switch (message) {
            case WM_INITDIALOG:
                return self->OnInitDialog();
            case WM_COMMAND:
                return self->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
            case WM_NCDESTROY:
                self->window_ = nullptr;
                return FALSE;
            default: {
                INT_PTR result = 0;
                if (!self->OnMessage(message, wParam, lParam, result)) return FALSE;
                SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
                return TRUE;
            }
        }
    } catch (...) {
        ++caught_;
        return FALSE;
    }
}

}  // namespace qm
