#include "tests/app/app_driver_win32.h"

#include <tlhelp32.h>

#include <algorithm>

#include "platform/handles_win32.h"

namespace qm::test {

namespace {

constexpr const char* kMainClass = "QuillmereMainWindow";
constexpr const char* kPanelClass = "QuillmerePanel";
constexpr const char* kAnimationClass = "QuillmereAnimationHost";

DWORD OwnerProcess(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

std::string Text(HWND window) {
    char text[512] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ClassOf(HWND window) {
    char name[128] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

struct TopLevelSearch {
    DWORD pid;
    std::string className;
    std::string caption;
    bool anyCaption;
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TopLevelSearch*>(param);
    if (OwnerProcess(window) != search->pid || !IsWindowVisible(window)) return TRUE;
    if (ClassOf(window) != search->className) return TRUE;
    if (!search->anyCaption && Text(window) != search->caption) return TRUE;
    search->found = window;
    return FALSE;
}

HWND TopLevel(DWORD pid, const std::string& className, const std::string& caption, bool anyCaption) {
    TopLevelSearch search{pid, className, caption, anyCaption, nullptr};
    EnumWindows(&FindTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void SendMouse(DWORD flags, LONG dx = 0, LONG dy = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.dx = dx;
    input.mi.dy = dy;
    SendInput(1, &input, sizeof input);
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start >= milliseconds) return done();
        Sleep(20);
    }
}

AppWindow::~AppWindow() { Kill(); }

bool AppWindow::Start(const std::string& arguments, const std::string& skin, bool waitForWindow) {
    Kill();
    // The pointer out of the way: the window does not appear under it (where
    // the previous program's last click left it).
    MoveMouse(POINT{0, 0});
    std::string command = std::string("\"") + QM_APP_EXE + "\"";
    if (!arguments.empty()) command += " " + arguments;
    SetEnvironmentVariableA("QUILLMERE_SKIN", skin.empty() ? nullptr : skin.c_str());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    PROCESS_INFORMATION started{};
    const BOOL ok =
        CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started);
    SetEnvironmentVariableA("QUILLMERE_SKIN", nullptr);
    if (!ok) return false;
    process_.Reset(started.hProcess);
    thread_.Reset(started.hThread);
    pid_ = started.dwProcessId;
    if (!waitForWindow) return true;
    const bool shown = WaitUntil([&] {
        main_ = TopLevel(pid_, kMainClass, "", true);
        // Built: the panels exist and the first one is shown alone (with
        // "scan", the results may be shown already).
        return main_ != nullptr && Panel("SUBMAIN_MAIN") != nullptr &&
               (IsWindowVisible(Panel("SUBMAIN_MAIN")) || (arguments == "scan" && !VisiblePanels().empty()));
    });
    if (shown) SetForegroundWindow(main_);
    return shown;
}

bool AppWindow::WaitForExit(DWORD milliseconds) {
    if (!process_) return true;
    return WaitForSingleObject(process_.Get(), milliseconds) == WAIT_OBJECT_0;
}

bool AppWindow::Running() const {
    return process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
}

void AppWindow::Kill() {
    if (Running()) {
        TerminateProcess(process_.Get(), 99);
        WaitForSingleObject(process_.Get(), 10000);
    }
    process_.Close();
    thread_.Close();
    pid_ = 0;
    main_ = nullptr;
}

HWND AppWindow::Panel(const std::string& name) const {
    if (main_ == nullptr) return nullptr;
    return FindWindowExA(main_, nullptr, kPanelClass, name.c_str());
}

std::vector<std::string> AppWindow::VisiblePanels() const {
    std::vector<std::string> names;
    if (main_ == nullptr) return names;
    for (HWND p = FindWindowExA(main_, nullptr, kPanelClass, nullptr); p != nullptr;
         p = FindWindowExA(main_, p, kPanelClass, nullptr))
        if (IsWindowVisible(p)) names.push_back(Text(p));
    return names;
}

HWND AppWindow::Button(const std::string& name, HWND parent) const {
    return FindWindowExA(parent != nullptr ? parent : main_, nullptr, "Button", name.c_str());
}

HWND AppWindow::List(HWND panel) const { return FindWindowExA(panel, nullptr, WC_LISTVIEWA, nullptr); }

bool AppWindow::Checked(HWND button) {
    return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

HWND AppWindow::Dialog(const std::string& caption) const {
    return TopLevel(pid_, "#32770", caption, caption.empty());
}

std::string AppWindow::LabelText(HWND panel, const std::string& name) const {
    // Found by its window text (its name); asked, it answers with what it shows.
    HWND label = FindWindowExA(panel, nullptr, "Static", name.c_str());
    if (label == nullptr) return "";
    char text[256] = "";
    SendMessageA(label, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

HWND AppWindow::PopupMenu() const { return TopLevel(pid_, "#32768", "", true); }

POINT Centre(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// SendInput's absolute coordinates (0..65535 across the screen) of a screen point.
static POINT Absolute(POINT at) {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    return POINT{(at.x * 65535 + w / 2) / (w - 1), (at.y * 65535 + h / 2) / (h - 1)};
}

void MoveMouse(POINT to) {
    SetCursorPos(to.x, to.y);
    const POINT a = Absolute(to);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, a.x, a.y);
}

void MouseButton(POINT at, bool down, bool right) {
    const POINT a = Absolute(at);
    const DWORD button = right ? (down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP)
                               : (down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | button, a.x, a.y);
}

void ClickAt(POINT at, bool right) {
    // The press and the release carry the point themselves. A button event
    // without one happens wherever the pointer is by then, and under Wine that
    // can be an earlier point: moving the pointer also moves the X pointer,
    // and the program under it reports that motion back when it gets round to
    // its X events, so on a busy machine the motion of a previous click can
    // arrive after this click's move and put the pointer back there.
    MoveMouse(at);
    MouseButton(at, true, right);
    MouseButton(at, false, right);
}

void Click(HWND window) { ClickAt(Centre(window)); }

int ThreadCount(DWORD pid) {
    const Win32Handle snapshotHandle(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshotHandle) return -1;
    const HANDLE snapshot = snapshotHandle.Get();
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == pid) ++count;
    return count;
}

bool MakeForeground(HWND top) {
    // The foreground window, and the active window of its thread as that
    // thread has taken it on (an activation still under way when the click
    // comes can swallow it).
    auto active = [&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetForegroundWindow() == top && GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info) &&
               info.hwndActive == top;
    };
    if (active()) return true;
    if (GetForegroundWindow() != top) SetForegroundWindow(top);
    return WaitUntil(active, 5000);
}

std::string InputState(HWND top) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info);
    POINT cursor{};
    GetCursorPos(&cursor);
    auto name = [](HWND w) { return w == nullptr ? std::string("none") : "'" + Text(w) + "'"; };
    return "foreground " + name(GetForegroundWindow()) + ", active " + name(info.hwndActive) + ", focus " +
           name(info.hwndFocus) + ", capture " + name(info.hwndCapture) + ", pointer " + std::to_string(cursor.x) +
           "," + std::to_string(cursor.y) + ", under it " + name(WindowFromPoint(cursor));
}

bool TakesClicks(HWND window) {
    HWND top = GetAncestor(window, GA_ROOT);
    return IsWindowVisible(window) && IsWindowEnabled(window) && top != nullptr && IsWindowEnabled(top) &&
           WindowFromPoint(Centre(window)) == window;
}

void PressKey(WORD key, bool alt) {
    std::vector<INPUT> inputs;
    auto add = [&](WORD vk, bool up) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(in);
    };
    if (alt) add(VK_MENU, false);
    add(key, false);
    add(key, true);
    if (alt) add(VK_MENU, true);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

int RowCount(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

bool RowChecked(HWND list, int row) {
    const LRESULT state = SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
    return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

// A row's rectangle in the list's client area (LVIR_BOUNDS), asked through a
// buffer in the list's process; false when it could not be had.
static bool RowRect(HWND list, int row, RECT& rect) {
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    const Win32Handle processHandle(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    const HANDLE process = processHandle.Get();
    if (process == nullptr) return false;
    bool ok = false;
    void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (remote != nullptr) {
        RECT in{LVIR_BOUNDS, 0, 0, 0};
        ok = WriteProcessMemory(process, remote, &in, sizeof in, nullptr) &&
             SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(remote)) != 0 &&
             ReadProcessMemory(process, remote, &rect, sizeof rect, nullptr);
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    return ok;
}

POINT RowPoint(HWND list, int row, bool checkBox) {
    // The row scrolled into view, then its own rectangle; without one, row
    // geometry from the header's height and the number of rows a page holds.
    SendMessageA(list, LVM_ENSUREVISIBLE, row, FALSE);
    RECT r{};
    int y = 0;
    if (RowRect(list, row, r)) {
        y = (r.top + r.bottom) / 2;
    } else {
        RECT client{};
        GetClientRect(list, &client);
        int headerHeight = 0;
        if (HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0))) {
            RECT h{};
            GetWindowRect(header, &h);
            headerHeight = h.bottom - h.top;
        }
        const int perPage = static_cast<int>(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0));
        const int rowHeight = perPage > 0 ? (client.bottom - headerHeight) / perPage : 17;
        y = headerHeight + rowHeight * row + rowHeight / 2;
    }
    POINT p{checkBox ? 9 : 60, y};
    ClientToScreen(list, &p);
    return p;
}

std::vector<std::string> FilesMatching(const char* pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const FindFileHandle find(FindFirstFileA(pattern, &found));
    if (!find) return names;
    do names.push_back(found.cFileName);
    while (FindNextFileA(find.Get(), &found));
    return names;
}

std::string MessageText(HWND box) {
    char text[2048] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    return text;
}

std::string RowText(HWND list, int row, int column) {
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    const Win32Handle processHandle(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    const HANDLE process = processHandle.Get();
    if (process == nullptr) return "";
    constexpr SIZE_T kTextSize = 1024;
    char* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof(LVITEMA) + kTextSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    std::string text;
    if (remote != nullptr) {
        LVITEMA item{};
        item.iSubItem = column;
        item.cchTextMax = static_cast<int>(kTextSize);
        item.pszText = remote + sizeof(LVITEMA);
        std::vector<char> buffer(kTextSize + 1, '\0');
        if (WriteProcessMemory(process, remote, &item, sizeof item, nullptr) &&
            SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote)) > 0 &&
            ReadProcessMemory(process, item.pszText, buffer.data(), kTextSize, nullptr))
            text = buffer.data();
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    return text;
}

bool InsertMarkerRow(HWND list, const std::string& text) {
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    const Win32Handle processHandle(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid));
    const HANDLE process = processHandle.Get();
    if (process == nullptr) return false;
    char* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, sizeof(LVITEMA) + text.size() + 1,
                                                     MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    bool inserted = false;
    if (remote != nullptr) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.pszText = remote + sizeof(LVITEMA);
        inserted = WriteProcessMemory(process, remote, &item, sizeof item, nullptr) &&
                   WriteProcessMemory(process, item.pszText, text.c_str(), text.size() + 1, nullptr) &&
                   SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(remote)) >= 0;
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    return inserted;
}

std::string DefaultSkinText() { return ReadWholeFile(std::string(QM_SOURCE_DIR) + "/resources/Skin.ini"); }

bool WaitPainted(HWND window, DWORD milliseconds) {
    // Another process's paint state cannot be asked for; what the screen
    // shows can. Painted: the window is mostly not black (the screen
    // behind an unpainted window) and two looks in a row are the same,
    // the animation's rectangle aside.
    Capture previous;
    return WaitUntil(
        [&] {
            RECT r{};
            GetWindowRect(window, &r);
            Capture now = CaptureScreen(r.left, r.top, r.right - r.left, r.bottom - r.top);
            if (now.width == 0) return false;
            for (HWND a = FindWindowExA(window, nullptr, kAnimationClass, nullptr); a != nullptr;
                 a = FindWindowExA(window, a, kAnimationClass, nullptr)) {
                RECT ar{};
                GetWindowRect(a, &ar);
                for (LONG y = std::max(ar.top, r.top); y < std::min(ar.bottom, r.bottom); ++y)
                    for (LONG x = std::max(ar.left, r.left); x < std::min(ar.right, r.right); ++x)
                        now.pixels[static_cast<std::size_t>(y - r.top) * now.width + (x - r.left)] = 0;
            }
            std::size_t black = 0;
            for (std::uint32_t p : now.pixels)
                if ((p & 0xFFFFFF) == 0) ++black;
            const bool same = black * 10 < now.pixels.size() * 3 && now == previous;
            previous = std::move(now);
            return same;
        },
        milliseconds);
}

namespace {

// A tip of the program that owns `window` shows.
bool TipShown(HWND window) {
    struct Search {
        DWORD pid;
        bool shown;
    } search{0, false};
    GetWindowThreadProcessId(window, &search.pid);
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            char name[32] = "";
            GetClassNameA(w, name, sizeof name);
            if (owner == s->pid && IsWindowVisible(w) && lstrcmpiA(name, TOOLTIPS_CLASSA) == 0) s->shown = true;
            return !s->shown;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.shown;
}

// The pointer is put beside the window, so that neither a button's hover look
// nor its tip is in the picture (the tip goes once the pointer has left).
void PointerOff(HWND window) {
    RECT r{};
    POINT at{};
    GetWindowRect(window, &r);
    GetCursorPos(&at);
    if (PtInRect(&r, at)) MoveMouse(POINT{r.right + 40, r.top > 40 ? r.top - 40 : r.bottom + 40});
    WaitUntil([&] { return !TipShown(window); }, 3000);
}

}  // namespace

bool SaveWindowShot(HWND window, const std::string& path) {
    PointerOff(window);
    if (!WaitPainted(window)) return false;
    RECT r{};
    GetWindowRect(window, &r);
    const Capture shot = CaptureScreen(r.left, r.top, r.right - r.left, r.bottom - r.top);
    return shot.width > 0 && SaveCapture(shot, path);
}

bool SaveWindowShotNow(HWND window, const std::string& path) {
    PointerOff(window);
    // What is waiting to be painted is painted first (sent to the window's
    // thread, which answers once it has painted).
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT r{};
    GetWindowRect(window, &r);
    const Capture shot = CaptureScreen(r.left, r.top, r.right - r.left, r.bottom - r.top);
    return shot.width > 0 && SaveCapture(shot, path);
}

bool SettingExists(const char* subKey, const char* value) {
    RegistryKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ, key.Out()) != ERROR_SUCCESS) return false;
    const bool exists = RegQueryValueExA(key.Get(), value, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    return exists;
}

void DeleteSetting(const char* subKey, const char* value) {
    RegistryKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_SET_VALUE, key.Out()) != ERROR_SUCCESS) return;
    RegDeleteValueA(key.Get(), value);
}

std::string SettingText(const char* subKey, const char* value) {
    RegistryKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ, key.Out()) != ERROR_SUCCESS) return "";
    char data[1024] = "";
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    std::string text;
    if (RegQueryValueExA(key.Get(), value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS)
        text.assign(data, size > 0 && data[size - 1] == '\0' ? size - 1 : size);
    return text;
}

}  // namespace qm::test
