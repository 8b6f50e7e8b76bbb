#include "control/thread_summary_win32.h"

#include <ole2.h>

#include <memory>
#include <string>

#include "ui/window_base_win32.h"

namespace qm {

Win32Handle CThreadSummary::Start(const Setup& setup) {
    std::unique_ptr<CThreadSummary> thread(new CThreadSummary(setup));
    Win32Handle handle(CreateThread(nullptr, 0, &CThreadSummary::ThreadMain, thread.get(), 0, nullptr));
    if (handle) thread.release();  // the thread deletes it
    return handle;
}

namespace {

BOOL CALLBACK CancelResultWindow(HWND window, LPARAM) {
    // Whatever fails on one window, the enumeration goes on to the next.
    return CWindowBase::GuardedCallback<BOOL>(TRUE, [&] {
        char name[64] = "";
        GetClassNameA(window, name, sizeof name);
        if (std::string(name) == kResultWindowClass) PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    });
}

}  // namespace

bool CThreadSummary::Close(HANDLE thread, DWORD milliseconds) {
    if (thread == nullptr) return true;
    // Posted, not sent, and while waiting this thread still answers messages
    // sent to it (the system's activation of another window when the result
    // window goes may send some), so neither thread waits for the other
    // without end. The window may still be being built: the cancel is posted
    // to it again until the thread ends.
    const DWORD threadId = GetThreadId(thread);
    const DWORD start = GetTickCount();
    DWORD lastCancel = 0;
    bool cancelled = false;
    for (;;) {
        if (WaitForSingleObject(thread, 0) != WAIT_TIMEOUT) return true;
        const DWORD now = GetTickCount();
        if (now - start >= milliseconds) return false;
        if (!cancelled || now - lastCancel >= 200) {
            EnumThreadWindows(threadId, &CancelResultWindow, 0);
            cancelled = true;
            lastCancel = now;
        }
        const DWORD left = milliseconds - (now - start);
        const DWORD woke = MsgWaitForMultipleObjects(1, &thread, FALSE, left < 200 ? left : 200, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0 + 1) {
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // answers what was sent
        }
    }
}

DWORD WINAPI CThreadSummary::ThreadMain(LPVOID argument) {
    std::unique_ptr<CThreadSummary> self(static_cast<CThreadSummary*>(argument));
    // The skin's pictures are loaded through OLE.
    const bool ole = SUCCEEDED(OleInitialize(nullptr));
    try {
        if (self->InitInstance()) self->Run();
        self->ExitInstance();
    } catch (...) {
        // The window and its worker go with the controller; the scan counts
        // as ended.
        self->summary_.reset();
        ScanInProgress.store(0);
    }
    if (ole) OleUninitialize();
    return 0;
}

bool CThreadSummary::InitInstance() {
    summary_ = std::make_unique<CSummaryWindow>(setup_.skin, setup_.engine);
    summary_->SetStarter(setup_.starter);
    summary_->States() = setup_.states;
    if (!summary_->LoadSkin()) {
        // No window: nothing would ever end this scan.
        ScanInProgress.store(0);
        return false;
    }
    ShowWindow(summary_->Window(), SW_SHOW);
    SetForegroundWindow(summary_->Window());
    return true;
}

void CThreadSummary::Run() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (summary_ && summary_->PreTranslateMessage(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void CThreadSummary::ExitInstance() {
    // The controller's destructor waits for a worker still running.
    summary_.reset();
}

}  // namespace qm
