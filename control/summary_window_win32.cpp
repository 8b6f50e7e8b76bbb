#include "control/summary_window_win32.h"

#include <cstdlib>

#include "control/main_dlg_win32.h"
#include "resources/resource.h"
#include "ui/skin_image_win32.h"

namespace qm {

CSummaryWindow::CSummaryWindow(const SkinFile& skin, const EngineServices& engine, const ShortcutServices& shortcuts)
    : Summary(engine, shortcuts), skin_(skin) {
    if (const char* drives = std::getenv(kShortcutDrivesEnvironmentVariable)) Shortcuts().SetDriveFilter(drives);
    SetScreen(&controls_);
}

CSummaryWindow::~CSummaryWindow() {
    // The controller must outlive its worker, whatever closed the window.
    if (WorkerRunning()) {
        RequestStop();
        WaitForWorker();
    }
    SetScreen(nullptr);
    animation_.Destroy();
    list_.reset();
    controls_.Free();
    DestroyWindowNow();
}

bool CSummaryWindow::WorkerRunning() const {
    return worker_ && WaitForSingleObject(worker_.Get(), 0) == WAIT_TIMEOUT;
}

void CSummaryWindow::WaitForWorker() {
    if (worker_) WaitForSingleObject(worker_.Get(), INFINITE);
}

bool CSummaryWindow::StartWorker(LPTHREAD_START_ROUTINE routine) {
    WaitForWorker();
    postTo_ = Window();
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, routine, this, 0, &id);
    worker_.Reset(thread);
    workerId_ = thread != nullptr ? id : 0;
    return thread != nullptr;
}

// ---------------------------------------------------------------- screens

bool CSummaryWindow::ReadScreenInfo(const std::string& screen, bool firstScreen, bool withList) {
    // The previous screen goes first; a screen the skin lacks leaves the
    // window empty.
    controls_.Free();
    for (SkinBitmap& image : images_) image.Reset();
    shownScreen_ = screen;
    bool built = false;
    for (const SkinEntry& entry : skin_.ReadNumberedSection(screen + "INFO")) {
        const SkinPanelLine line = ParsePanelLine(entry.value);
        controls_.Free();
        for (SkinBitmap& image : images_) image.Reset();
        if (firstScreen && Window() == nullptr) {
            const RECT at{line.rect.left, line.rect.top, line.rect.right, line.rect.bottom};
            if (!CreateAs(kResultWindowClass, 0, "Quillmere", WS_POPUP | WS_CLIPCHILDREN, at, nullptr, 0))
                return false;
        }
        if (Window() == nullptr) return false;
        for (int i = 0; i < 4; ++i) {
            const SIZE size = LoadSkinImage(skin_.ImagePath(line.images[i]), images_[i]);
            if (images_[i]) imageSize_ = size;
        }
        rect_ = line.rect;

        controls_.Attach(Window(), this);
        const HBITMAP images[4] = {images_[0].Get(), images_[1].Get(), images_[2].Get(), images_[3].Get()};
        controls_.ReadButtonInfo(skin_, screen + "_BUTTONINFO", images);
        controls_.ReadTextInfo(skin_, screen + "_TEXTINFO", images_[0].Get(), LabelItalic::WhenFieldIsTrue);
        controls_.ReadEditBoxInfo(skin_, screen + "_EDITBOXINFO", images_[0].Get());
        if (withList) ReadListViewInfo(screen + "_LISTINFO");
        if (firstScreen) {
            const int width = imageSize_.cx > 0 ? imageSize_.cx : rect_.Width();
            const int height = imageSize_.cy > 0 ? imageSize_.cy : rect_.Height();
            SetWindowPos(Window(), HWND_TOP, rect_.left, rect_.top, width, height, SWP_NOACTIVATE);
        }
        screenName_ = line.name;
        screenKey_ = entry.key;
        built = true;
    }
    if (Window() != nullptr) InvalidateRect(Window(), nullptr, TRUE);
    return built;
}

void CSummaryWindow::ReadListViewInfo(const std::string& section) {
    const std::string value = skin_.ReadSkinValue(section, "1");
    if (value.empty()) return;
    list_.reset();
    auto list = std::make_unique<CSkinnedListView>();
    if (list->Create(Window(), ParseListLine(value), kListFullRowSelect, 0, kReportListStyle)) list_ = std::move(list);
}

bool CSummaryWindow::ReadErrorScanScreenInfo() { return ReadScreenInfo(kErrorScanScreen, true, false); }
void CSummaryWindow::ReadScanCompleteScreenInfo() { ReadScreenInfo(kScanCompleteScreen, false, true); }
void CSummaryWindow::ReadErrorFixingScreenInfo() { ReadScreenInfo(kErrorFixingScreen, false, false); }
void CSummaryWindow::ReadFixCompleteScreenInfo() { ReadScreenInfo(kFixCompleteScreen, false, true); }

bool CSummaryWindow::LoadSkin() {
    if (!ReadErrorScanScreenInfo() || Window() == nullptr) {
        DestroyWindowNow();
        return false;
    }
    // Below the screen's buttons and labels: the default skin's rectangle
    // overlaps BUTTON_STOPSCAN, which must stay visible and take clicks.
    if (StartSkinAnimation(animation_, skin_, "SCANSCREENANIMATION", Window(), kScanAnimationWindowName,
                           IDC_SCAN_ANIMATION)) {
        HWND movie = animation_.Window();
        SetWindowLongPtrA(movie, GWL_STYLE, GetWindowLongPtrA(movie, GWL_STYLE) | WS_CLIPSIBLINGS);
        SetWindowPos(movie, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    StartWorker(&CSummaryWindow::ScanThread);
    return true;
}

void CSummaryWindow::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Window(), &ps);
    RECT client;
    GetClientRect(Window(), &client);
    DrawSkinImage(dc, images_[0].Get(), client);
    EndPaint(Window(), &ps);
    for (const auto& b : controls_.Buttons())
        if (b->Window() != nullptr) InvalidateRect(b->Window(), nullptr, FALSE);
    for (const auto& l : controls_.Labels())
        if (l->Window() != nullptr) InvalidateRect(l->Window(), nullptr, FALSE);
    for (const auto& e : controls_.Edits()) e->SetText(e->GetText());
    if (list_ && list_->Window() != nullptr) InvalidateRect(list_->Window(), nullptr, FALSE);
}

// ---------------------------------------------------------------- buttons and closing

void CSummaryWindow::ButtonPressed(const std::string& name) {
    if (name == "BUTTON_FIXERROR") {
        // Only from the results of a finished scan, one repair at a time.
        if (WorkerRunning() || shownScreen_ != kScanCompleteScreen) return;
        controls_.EnableButton(name, false);
        list_.reset();
        animation_.Destroy();
        ReadErrorFixingScreenInfo();
        StartWorker(&CSummaryWindow::FixThread);
    } else if (name == "BUTTON_CANCEL" || name == "BUTTON_OK") {
        Close(false);
    } else if (name == "BUTTON_STOPSCAN") {
        // The results found up to the stop are shown (OnFinishScan).
        if (shownScreen_ == kErrorScanScreen) stopPressed_ = true;
        RequestStop();
    }
}

void CSummaryWindow::Close(bool alwaysStop) {
    if (alwaysStop || WorkerRunning()) {
        RequestStop();
        WaitForWorker();
    }
    Rows().clear();
    DestroyWindowNow();
    ScanInProgress.store(0);
}

void CSummaryWindow::OnCancel() { Close(true); }
void CSummaryWindow::OnOK() { Close(false); }
void CSummaryWindow::OnPrepareToClose() { Close(false); }

void CSummaryWindow::CloseStopped() {
    list_.reset();
    Rows().clear();
    // Aborted is set before the stop is cleared: whoever watches both never
    // sees the run as still going with no stop asked.
    NamedEvent(kAbortedEventName).Set();
    ClearStop();
    ScanInProgress.store(0);
    DestroyWindowNow();
}

bool CSummaryWindow::PreTranslateMessage(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || (msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE)) return false;
    HWND window = Window();
    if (window == nullptr || (msg.hwnd != window && !IsChild(window, msg.hwnd))) return false;
    SendMessageA(window, WM_COMMAND, msg.wParam == VK_RETURN ? IDOK : IDCANCEL, 0);
    return true;
}

LRESULT CSummaryWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandleAnimationMessage(animation_, message)) return 0;  // OnPlayFlash, OnStopFlash
    switch (message) {
        case WM_PAINT:
            Paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_LBUTTONDOWN:  // a press on the background drags the window
            DragTopLevelWindow(lParam);
            return 0;
        case kFinishScanMessage:
            OnFinishScan();
            return 0;
        case kFinishFixingMessage:
            OnFinishFixing();
            return 0;
        case kPrepareToCloseMessage:
            OnPrepareToClose();
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                OnOK();
                return 0;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                OnCancel();
                return 0;
            }
            break;
        case WM_CLOSE:
            OnCancel();
            return 0;
        default:
            break;
    }
    return CWindowBase::HandleMessage(message, wParam, lParam);
}

void CSummaryWindow::OnWindowGone() {
    animation_.Destroy();
    PostQuitMessage(0);
}

}  // namespace qm
