#include "control/main_dlg_win32.h"

#include <ole2.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>
#include <utility>

#include "control/about_box_win32.h"
#include "resources/resource.h"
#include "ui/dialog_base_win32.h"
#include "ui/settings_store.h"
#include "ui/skin_resource_win32.h"
#include "ui/timetable.h"

namespace qm {

namespace {

constexpr const char* kMainClass = "QuillmereMainWindow";
constexpr const char* kTitle = "Quillmere";

// Waits (on a thread of its own) for the program that took a web address:
// one that ends with a failure status within the time-out (Wine's browser
// launcher when no browser is there) has not opened the page, and the main
// window is told so.
struct WebPageWatch {
    HWND window;
    Win32Handle process;
    std::string address;
};

std::string WebPageFailedText(const std::string& address, const std::string& reason) {
    return "The web page " + address + " could not be opened: " + reason +
           "\r\nOpen the address in a web browser yourself.";
}

DWORD WINAPI WatchWebPage(LPVOID argument) {
    std::unique_ptr<WebPageWatch> watch(static_cast<WebPageWatch*>(argument));
    DWORD status = 0;
    if (WaitForSingleObject(watch->process.Get(), 20000) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(watch->process.Get(), &status) && status != 0) {
        auto message = std::make_unique<std::string>(
            WebPageFailedText(watch->address, "no web browser took it (the program given it ended with status " +
                                                  std::to_string(status) + ")."));
        if (PostMessageA(watch->window, kWebPageFailedMessage, 0, reinterpret_cast<LPARAM>(message.get())))
            message.release();
    }
    return 0;
}

std::string SystemErrorText(DWORD code) {
    char text[512] = "";
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                       sizeof text, nullptr) == 0)
        return "error " + std::to_string(code) + ".";
    std::string s = text;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
    return s;
}

std::string LoadText(UINT id) {
    char text[512] = "";
    const int n = LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text);
    return n > 0 ? std::string(text, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

CMainDlg::CMainDlg(IRegistry& registry)
    : CMainSkin(registry), Summary(EngineServices{&registry, nullptr, "ignore.lst"}) {
    icon_ = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
    if (const char* drives = std::getenv(kShortcutDrivesEnvironmentVariable)) Shortcuts().SetDriveFilter(drives);
}

CMainDlg::~CMainDlg() {
    DestroyWindowNow();
    // A worker still running uses this object. A scan is asked to stop and
    // given a few seconds (its calls into the gone windows return at once);
    // a worker that does not end by then ends with the process here.
    // A repair is never cut off: it stops after the entry in hand and closes
    // its backup, however long that entry takes.
    if (worker_ && WaitForSingleObject(worker_.Get(), 0) == WAIT_TIMEOUT) {
        RequestStop();
        if (WaitForSingleObject(worker_.Get(), repairRunning_ ? INFINITE : 5000) == WAIT_TIMEOUT) ExitProcess(1);
    }
    if (oleReady_) OleUninitialize();
}

bool CMainDlg::StartWorker(LPTHREAD_START_ROUTINE routine) {
    Win32Handle thread(CreateThread(nullptr, 0, routine, this, CREATE_SUSPENDED, nullptr));
    if (!thread) return false;
    SetThreadPriority(thread.Get(), THREAD_PRIORITY_LOWEST);
    worker_ = std::move(thread);
    ResumeThread(worker_.Get());
    return true;
}

bool CMainDlg::StartScanWorker() { return StartWorker(&CMainDlg::MainScanThread); }

bool CMainDlg::StartRepairWorker() {
    // Taken here, before the worker runs: a second BUTTON_REMOVE finds it set.
    RepairInProgress.store(1);
    resultsReady_.store(false);
    ClearStop();
    exporting_.store(true);
    repairRunning_ = true;
    if (StartWorker(&CMainDlg::MainRepairThread)) return true;
    repairRunning_ = false;
    RepairInProgress.store(0);
    resultsReady_.store(true);
    return false;
}

bool CMainDlg::Create(int showCommand) {
    // A first size; the mask sets the real one. Centred on the screen.
    const int width = 708, height = 500;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    const RECT rect{x, y, x + width, y + height};
    if (!CreateAs(kMainClass, WS_EX_APPWINDOW | WS_EX_CONTROLPARENT, kTitle,
                  WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX, rect, nullptr, 0))
        return false;
    if (!InitDialog()) {
        DestroyWindowNow();
        return false;
    }
    ShowWindow(Window(), showCommand);
    UpdateWindow(Window());
    SetForegroundWindow(Window());
    return true;
}

bool CMainDlg::InitDialog() {
    SetWindowTextA(Window(), kTitle);
    oleReady_ = SUCCEEDED(OleInitialize(nullptr));
    if (!oleReady_) return true;  // the bare window; the tray's "Close" ends it

    SkinFile skin;
    const char* diskSkin = std::getenv(kSkinEnvironmentVariable);
    if (diskSkin != nullptr && *diskSkin != '\0') {
        skin.SetSkinFile(diskSkin);
        if (!skin.LoadSkinFile()) {
            MessageBoxA(Window(), "skin.ini Not Found", kTitle, MB_OK | MB_ICONSTOP);
            return false;
        }
    } else {
        skin.SetSkinFile("Skin.ini");
        if (!LoadBuiltInSkin(skin)) {
            MessageBoxA(Window(), "skin.ini Not Found", kTitle, MB_OK | MB_ICONSTOP);
            return false;
        }
    }
    SetScreen(&Controls());
    if (!LoadSkin(skin)) return false;
    ShowPanel("SUBMAIN_MAIN");

    if (HMENU menu = GetSystemMenu(Window(), FALSE)) {
        const std::string about = LoadText(IDS_ABOUTBOX);
        if (!about.empty()) {
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
        }
    }
    SendMessageA(Window(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(Window(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    SetTimer(Window(), kTimerIdle, 1000, nullptr);
    SetTimer(Window(), kTimerPeriodicScan, 10000, nullptr);
    return true;
}

UINT CMainDlg::ShowRunningCopyMessage() {
    static const UINT message = RegisterWindowMessageA(kShowRunningCopyMessageName);
    return message;
}

bool CMainDlg::PassToRunningCopy(bool scan) {
    for (int tries = 0; tries < 100; ++tries) {
        if (HWND running = FindWindowA(kMainClass, nullptr)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(running, &pid);
            // This start came from the user: it may hand the foreground on.
            AllowSetForegroundWindow(pid);
            if (PostMessageA(running, ShowRunningCopyMessage(), scan ? 1 : 0, 0)) return true;
        }
        Sleep(100);
    }
    return false;
}

void CMainDlg::ShowPanelAsTab(const char* panel, const char* button) {
    ShowPanel(panel);
    Controls().EnableAllButtons(true);
    Controls().EnableButton(button, false);
}

void CMainDlg::ButtonPressed(const std::string& name) {
    Engine().SetProgressCallback(&MainProgressCallback);
    Shortcuts().SetProgressCallback(&MainProgressCallback);
    if (name == "BUTTON_EXIT") {
        RequestClose();
    } else if (name == "BUTTON_MINIMIZE") {
        ShowWindow(Window(), SW_SHOWMINIMIZED);
    }
    if (RepairInProgress.load() == 1 || closing_.load()) return;

    if (name == "BUTTON_MAIN" || name == "BUTTON_SCAN") {
        ShowPanelAsTab("SUBMAIN_MAIN", "BUTTON_MAIN");
        if (name == "BUTTON_SCAN") {
            if (ScanInProgress.load() == 1) {
                Controls().SetButtonCheck("BUTTON_SCAN", 0);
                RequestStop();
            } else {
                Controls().SetButtonCheck("BUTTON_SCAN", 1);
                CSubMainSkin* panel = CurrentPanel();
                progressPanel_.store(panel);
                ReadCategoryStates(panel != nullptr ? &panel->Controls() : nullptr, States());
                if (panel != nullptr) {
                    // Nothing of the last scan stays: every area's status
                    // and count are empty until this scan reaches it.
                    panel->ShowProgress(States(), 0);
                    panel->Controls().SetLabelText(kStatusLabel, "");
                    panel->Controls().SetLabelText("TEXT_ERRORSCAN_CURRENTITEM", "");
                }
                ScanInProgress.store(1);
                ClearStop();
                if (!StartScanWorker()) {
                    ScanInProgress.store(0);
                    Controls().SetButtonCheck("BUTTON_SCAN", 0);
                }
            }
        }
    }
    if (ScanInProgress.load() == 1) return;
    if (name == "BUTTON_REMOVE" && RepairOrExplain()) return;

    if (name == "BUTTON_ADVSETTINGS") {
        ShowPanelAsTab("SUBMAIN_ADVANCED", "BUTTON_ADVSETTINGS");
    } else if (name == "BUTTON_IGNORED") {
        ShowPanelAsTab("SUBMAIN_IGNORED", "BUTTON_IGNORED");
    } else if (name == "BUTTON_AUTOSCAN") {
        ShowPanelAsTab(ScanEnabled ? "SUBMAIN_SCHEDULE" : "SUBMAIN_SCHEDULE_DISABLED", "BUTTON_AUTOSCAN");
    } else if (name == "BUTTON_LIVEUPDATE") {
        OpenWebPage(kRecommendAddressSetting, IDS_RECOMMEND_URL);
    } else if (name == "BUTTON_SUPPORT") {
        OpenWebPage(kSupportAddressSetting, IDS_SUPPORT_URL);
    }

    resultsReady_.store(false);
    if (CSubMainSkin* panel = CurrentPanel()) {
        CSettingsStore(Engine().Registry(), panel->Controls()).SaveEditText("savecountreg", "EDIT_BAKUP_COUNT");
        InvalidateRect(panel->Window(), nullptr, TRUE);
    }
}

void CMainDlg::RequestClose() {
    if (closing_.load() || askingToClose_) return;
    if (!repairRunning_) {
        // Closed once the press that asked has been handled to its end.
        PostMessageA(Window(), kCloseMainMessage, 0, 0);
        return;
    }
    const bool exporting = exporting_.load();
    const char* question =
        exporting ? "Quillmere is exporting the registry before a repair.\r\n\r\n"
                    "Stop the repair and close Quillmere? The export is finished first, nothing is removed, and then "
                    "Quillmere closes."
                  : "A repair is running.\r\n\r\n"
                    "Stop it and close Quillmere? The entry in hand is finished, the backup of what was removed is "
                    "completed (it restores as any other), and then Quillmere closes.";
    askingToClose_ = true;
    const int answer = MessageBoxA(Window(), question, kTitle, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    askingToClose_ = false;
    if (!IsWindow(Window())) return;
    if (answer != IDYES) {
        // The repair goes on; an end it reached meanwhile is shown now.
        if (repairEndHeld_) {
            repairEndHeld_ = false;
            RepairFinished(std::move(heldMessage_), heldKeepResults_);
        }
        return;
    }
    if (repairEndHeld_) {
        // It ended while the question was up: nothing left to wait for.
        repairEndHeld_ = false;
        heldMessage_.reset();
        RepairInProgress.store(0);
        DestroyWindowNow();
        return;
    }
    closing_.store(true);
    RequestStop();
    // Said where the repair's progress is shown; the worker writes no more
    // progress once closing.
    ShowPanel("SUBMAIN_MAIN");
    SetProgressLabel("TEXT_ERRORSCAN_CURRENTITEM",
                     exporting_.load() ? "Waiting for the registry export to end; Quillmere then closes"
                                       : "Stopping the repair; Quillmere closes once its backup is complete");
    if (CSubMainSkin* panel = ProgressPanel()) InvalidateRect(panel->Window(), nullptr, TRUE);
}

bool CMainDlg::RepairOrExplain() {
    if (!resultsReady_.load()) {
        // Nothing shown to repair: said, then handled as any other press.
        MessageBoxA(Window(), NothingToRepairMessage().c_str(), kTitle, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    CSkinnedListView* list = ResultListView();
    const int rows = list != nullptr ? list->RowCount() : 0;
    int ticked = 0;
    for (int i = 0; i < rows; ++i)
        if (list->Checked(i)) ++ticked;
    if (ticked > 0) return StartRepairWorker();
    // Nothing is removed, exported or ignored; the results stay for a repair.
    MessageBoxA(Window(), (rows == 0 ? NoProblemsToRepairMessage() : NothingTickedMessage()).c_str(), kTitle,
                MB_OK | MB_ICONINFORMATION);
    return true;
}

CSkinnedListView* CMainDlg::ResultListView() const {
    CSubMainSkin* results = FindPanel("SUBMAIN_RESULT");
    return results != nullptr ? results->ResultList() : nullptr;
}

std::string CMainDlg::ResultRowDetails(LPARAM row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= entries_.size()) return std::string();
    return entries_[static_cast<std::size_t>(row)].Details();
}

int CMainDlg::CompareResultRows(LPARAM a, LPARAM b, int column) const {
    const std::size_t n = entries_.size();
    if (a < 0 || b < 0 || static_cast<std::size_t>(a) >= n || static_cast<std::size_t>(b) >= n) return 0;
    const int order = CompareColumnTexts(entries_[static_cast<std::size_t>(a)].Column(column),
                                         entries_[static_cast<std::size_t>(b)].Column(column));
    // Equal texts keep the order found.
    return order != 0 ? order : (a < b ? -1 : a > b ? 1 : 0);
}

void CMainDlg::OpenWebPage(const std::string& settingName, UINT stringId) {
    const std::string address = ReadWebAddress(Engine().Registry(), settingName, LoadText(stringId));
    if (!IsWebAddress(address)) {
        MessageBoxA(Window(), ("There is no web address to open: the setting " + settingName +
                               " holds none that starts with http:// or https://.").c_str(),
                    kTitle, MB_OK | MB_ICONWARNING);
        return;
    }
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = Window();
    info.lpVerb = "open";
    info.lpFile = address.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&info)) {
        const DWORD error = GetLastError();
        MessageBoxA(Window(), WebPageFailedText(address, SystemErrorText(error)).c_str(), kTitle,
                    MB_OK | MB_ICONWARNING);
        return;
    }
    if (info.hProcess == nullptr) return;  // handed to a program already running
    auto watch = std::make_unique<WebPageWatch>(WebPageWatch{Window(), Win32Handle(info.hProcess), address});
    const Win32Handle thread(CreateThread(nullptr, 0, &WatchWebPage, watch.get(), 0, nullptr));
    if (!thread) return;
    watch.release();  // the thread owns it now
}

void CMainDlg::AddTrayIcon() {
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = Window();
    data.uID = IDI_TRAY;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_TRAY));
    std::strncpy(data.szTip, kTitle, sizeof data.szTip - 1);
    trayIcon_ = Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
}

void CMainDlg::RemoveTrayIcon() {
    if (!trayIcon_) return;
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = Window();
    data.uID = IDI_TRAY;
    Shell_NotifyIconA(NIM_DELETE, &data);
    trayIcon_ = false;
}

void CMainDlg::ShowFoundBalloon(std::size_t found) {
    if (!trayIcon_) return;
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = Window();
    data.uID = IDI_TRAY;
    data.uFlags = NIF_INFO;
    data.dwInfoFlags = NIIF_WARNING;
    const std::string text = ProblemsFoundText(found) + " by the automatic scan. Click here to see them.";
    std::strncpy(data.szInfo, text.c_str(), sizeof data.szInfo - 1);
    std::strncpy(data.szInfoTitle, kTitle, sizeof data.szInfoTitle - 1);
    Shell_NotifyIconA(NIM_MODIFY, &data);
}

void CMainDlg::ShowFromTray() {
    ShowWindow(Window(), SW_SHOWNORMAL);
    SetForegroundWindow(Window());
    SetFocus(Window());
}

void CMainDlg::TrayMenu() {
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY_MENU));
    if (menu == nullptr) return;
    POINT at{};
    GetCursorPos(&at);
    SetForegroundWindow(Window());
    TrackPopupMenu(GetSubMenu(menu, 0), TPM_LEFTBUTTON, at.x, at.y, 0, Window(), nullptr);
    PostMessageA(Window(), WM_NULL, 0, 0);
    DestroyMenu(menu);
}

void CMainDlg::PeriodicScanCheck() {
    const std::int32_t before = NextScanTime;
    const bool due = PeriodicScanDue(NextScanTime, ScanPeriod, ScanEnabled, ScanInProgress.load(), SystemClock().Now());
    // A timetable that moved on is stored at once, not only on exit: a
    // program that is ended without closing its window starts from it next
    // time.
    if (NextScanTime != before)
        if (CSubMainSkin* panel = FindPanel("SUBMAIN_MAIN"))
            CSettingsStore(Engine().Registry(), panel->Controls()).SaveTimetable();
    if (due) ButtonPressed("BUTTON_SCAN");
}

LRESULT CMainDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == ShowRunningCopyMessage() && message != 0) {
        RunningCopyStarted(wParam == 1);
        return 0;
    }
    switch (message) {
        case WM_CREATE: return OnCreate(wParam, lParam);
        case kTrayMessage:
            if (TrayNotification(wParam, lParam)) return 0;
            break;
        case WM_COMMAND:
            TrayCommand(LOWORD(wParam));
            // Enter and Escape (IDOK, IDCANCEL) do not close the window.
            return 0;
        case kCloseMainMessage: DestroyWindowNow(); return 0;
        case kScanFinishedMessage: ScanFinished(wParam != 0); return 0;
        case kRepairFinishedMessage:
            RepairEnded(std::unique_ptr<std::string>(reinterpret_cast<std::string*>(lParam)), wParam != 0);
            return 0;
        case kWebPageFailedMessage:
            WebPageFailed(std::unique_ptr<std::string>(reinterpret_cast<std::string*>(lParam)));
            return 0;
        case WM_CLOSE:
            // Only the program's own ways close it (Alt+F4 is kept from
            // becoming a close command by the message loop).
            return 0;
        case WM_SYSCOMMAND:
            if (SystemCommand(wParam & 0xFFF0)) return 0;
            break;
        case WM_SIZE:
            if (wParam == SIZE_MINIMIZED && HideToTray()) return 0;
            break;
        case WM_TIMER:
            if (wParam == kTimerPeriodicScan) PeriodicScanCheck();
            return 0;
        case WM_QUERYDRAGICON: return reinterpret_cast<LRESULT>(icon_);
        case WM_PAINT:
            if (PaintMinimised()) return 0;
            break;
        case WM_DESTROY: return OnDestroy(wParam, lParam);
        default: break;
    }
    return CMainSkin::HandleMessage(message, wParam, lParam);
}

void CMainDlg::RunningCopyStarted(bool scan) {
    // A second start of the program: this window comes to the front (from
    // the notification area too) and scans when asked, unless busy.
    ShowFromTray();
    if (scan && !closing_.load() && ScanInProgress.load() == 0 && RepairInProgress.load() == 0)
        ButtonPressed("BUTTON_SCAN");
}

LRESULT CMainDlg::OnCreate(WPARAM wParam, LPARAM lParam) {
    const LRESULT created = CMainSkin::HandleMessage(WM_CREATE, wParam, lParam);
    if (created != -1) AddTrayIcon();
    return created;
}

LRESULT CMainDlg::OnDestroy(WPARAM wParam, LPARAM lParam) {
    const LRESULT result = CMainSkin::HandleMessage(WM_DESTROY, wParam, lParam);
    KillTimer(Window(), kTimerIdle);
    KillTimer(Window(), kTimerPeriodicScan);
    RemoveTrayIcon();
    return result;
}

bool CMainDlg::TrayNotification(WPARAM icon, LPARAM event) {
    if (icon != IDI_TRAY) return false;
    if (event == WM_LBUTTONDBLCLK) {
        ShowFromTray();
        return true;
    }
    if (event == NIN_BALLOONUSERCLICK) {
        // The balloon of a scan made while hidden: its results.
        ShowFromTray();
        if (resultsReady_.load() && ScanInProgress.load() == 0 && RepairInProgress.load() == 0)
            ShowPanel("SUBMAIN_RESULT");
        return true;
    }
    if (event == WM_RBUTTONUP) TrayMenu();
    return false;
}

void CMainDlg::TrayCommand(WORD command) {
    if (command == ID_TRAY_SHOW) ShowFromTray();
    else if (command == ID_TRAY_CLOSE) RequestClose();
}

bool CMainDlg::SystemCommand(WPARAM command) {
    if (command == SC_CLOSE) {
        // The system menu's Close: as the cross.
        RequestClose();
        return true;
    }
    if (command == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal(Window());
        return true;
    }
    return false;
}

void CMainDlg::RepairEnded(std::unique_ptr<std::string> text, bool keepResults) {
    repairRunning_ = false;
    if (closing_.load()) {
        RepairInProgress.store(0);
        DestroyWindowNow();
    } else if (askingToClose_) {
        // The close question is up: its answer decides what follows.
        repairEndHeld_ = true;
        heldMessage_ = std::move(text);
        heldKeepResults_ = keepResults;
    } else {
        RepairFinished(std::move(text), keepResults);
    }
}

void CMainDlg::WebPageFailed(std::unique_ptr<std::string> text) {
    if (text) MessageBoxA(Window(), text->c_str(), kTitle, MB_OK | MB_ICONWARNING);
}

bool CMainDlg::HideToTray() {
    // Only the tray icon remains, when there is one to bring the window back
    // with.
    if (!trayIcon_) return false;
    ShowWindow(Window(), SW_HIDE);
    return true;
}

bool CMainDlg::PaintMinimised() {
    if (!IsIconic(Window())) return false;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Window(), &ps);
    SendMessageA(Window(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(Window(), &client);
    const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon_);
    EndPaint(Window(), &ps);
    return true;
}

void CMainDlg::OnWindowGone() {
    SetScreen(nullptr);
    PostQuitMessage(1);
}

}  // namespace qm
