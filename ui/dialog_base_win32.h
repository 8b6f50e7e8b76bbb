// The small dialog base: a modal dialog from a template of the program's
// resources, with `this` kept from WM_INITDIALOG on and every message handed
// to virtual handlers. OK and Cancel end the dialog with their identifiers
// unless a handler says otherwise. Exceptions never leave the dialog
// procedure: one that escapes a handler is counted and the message is treated
// as not handled.
//
//     CDialogBase about(IDD_ABOUTBOX);
//     about.DoModal(owner);
#pragma once

#include <windows.h>

#include <atomic>

namespace qm {

class CDialogBase {
public:
    explicit CDialogBase(int templateId) : templateId_(templateId) {}
    virtual ~CDialogBase() = default;
    CDialogBase(const CDialogBase&) = delete;
    CDialogBase& operator=(const CDialogBase&) = delete;

    // Runs the dialog modally; its end result, or -1 when it cannot be shown.
    INT_PTR DoModal(HWND parent);
    HWND Window() const { return window_; }

    static long CaughtExceptions() { return caught_.load(); }

protected:
    // Return value as for WM_INITDIALOG (TRUE: the system sets the focus).
    virtual BOOL OnInitDialog() { return TRUE; }
    // A command; true when handled. Default: IDOK and IDCANCEL end the dialog.
    virtual bool OnCommand(WORD id, WORD code);
    // Any other message; true when handled (the result goes in `result`).
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);
    void End(INT_PTR result) { EndDialog(window_, result); }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    int templateId_;
    HWND window_ = nullptr;
    static std::atomic<long> caught_;
};

}  // namespace qm
