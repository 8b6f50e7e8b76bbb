#include "control/thread_summary_win32.h"

#include <ole2.h>

namespace qm {

HANDLE CThreadSummary::Start(const Setup& setup) {
    auto* thread = new CThreadSummary(setup);
    HANDLE handle = CreateThread(nullptr, 0, &CThreadSummary::ThreadMain, thread, 0, nullptr);
    if (handle == nullptr) delete thread;
    return handle;
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
