// Drives the real quillmere.exe as a user would: starts it in this test's
// scratch folder, finds its windows, clicks with synthesized input
// (SendInput), types keys, and waits for what can be seen (a window, a
// button's state, a registry value, a file) with a time-out.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/handles_win32.h"
#include "tests/ui/screen_capture_win32.h"

namespace qm::test {

// Polls `done` every 20 ms until it holds or `milliseconds` have passed.
bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds = 15000);

class AppWindow {
public:
    AppWindow() = default;
    ~AppWindow();  // ends the program if it still runs
    AppWindow(const AppWindow&) = delete;
    AppWindow& operator=(const AppWindow&) = delete;

    // Starts quillmere.exe with `arguments`, with QUILLMERE_SKIN set to `skin`
    // when not empty, in the current directory. Waits for its main window
    // when `waitForWindow`. False when it did not start (or show its window).
    bool Start(const std::string& arguments = "", const std::string& skin = "", bool waitForWindow = true);
    // Waits for the process to end; false on time-out.
    bool WaitForExit(DWORD milliseconds = 15000);
    bool Running() const;
    void Kill();
    DWORD ProcessId() const { return pid_; }

    HWND Main() const { return main_; }
    // The panel whose window text is `name` (null when there is none).
    HWND Panel(const std::string& name) const;
    // The visible panels' names.
    std::vector<std::string> VisiblePanels() const;
    // The first skinned button named `name` below `parent` (the main window
    // when null).
    HWND Button(const std::string& name, HWND parent = nullptr) const;
    // The list view of a panel.
    HWND List(HWND panel) const;
    // Its check state as the button reports it.
    static bool Checked(HWND button);
    // A visible dialog of the program with this caption (any when empty).
    HWND Dialog(const std::string& caption) const;
    // The text a skinned label of `panel` shows ("" when there is no such
    // label).
    std::string LabelText(HWND panel, const std::string& name) const;
    // A visible pop-up menu of the program.
    HWND PopupMenu() const;

private:
    Win32Handle process_;
    Win32Handle thread_;
    DWORD pid_ = 0;
    HWND main_ = nullptr;
};

// Input. Points are in screen coordinates.
void MoveMouse(POINT to);
void ClickAt(POINT at, bool right = false);
// A press or release at `at` (the event carries the point: see ClickAt).
void MouseButton(POINT at, bool down, bool right = false);
void Click(HWND window);  // the centre of the window
void PressKey(WORD key, bool alt = false);
POINT Centre(HWND window);
// True when a click at the centre of `window` reaches it: it is visible and
// enabled, so is its top-level window, and it is the window under that point.
bool TakesClicks(HWND window);
// Makes `top` the foreground window when it is not (a click into a window
// that is not the foreground one activates it first, and under Wine that
// activation can swallow the click); false when it did not become it.
bool MakeForeground(HWND top);
// The number of threads of process `pid` (-1 when unknown).
int ThreadCount(DWORD pid);
// The foreground, active, focus and capture windows of `top`'s thread and the
// pointer, as text (for failure messages).
std::string InputState(HWND top);

// A list view's rows, from outside the program: row count, check state,
// and the screen point of a row's check box or text.
int RowCount(HWND list);
bool RowChecked(HWND list, int row);
POINT RowPoint(HWND list, int row, bool checkBox);
// The text of a row's column (read through a buffer in the list's process).
std::string RowText(HWND list, int row, int column);
// Puts a row with `text` in its first column at the top of the list (a mark
// that the next refill of the list removes).
bool InsertMarkerRow(HWND list, const std::string& text);

// The names of the files matching a FindFirstFile pattern ("*.xml").
std::vector<std::string> FilesMatching(const char* pattern);
// The text of a message box (its static control).
std::string MessageText(HWND box);

// The default skin's text, read from the source tree (QM_SOURCE_DIR); ""
// when unreadable. Files: ReadWholeFile / WriteWholeFile
// (tests/ui/screen_capture_win32.h).
std::string DefaultSkinText();

// Waits until the screen shows `window` painted: mostly not black (the
// screen behind an unpainted window) and the same twice in a row, the
// animation (which keeps changing) aside.
bool WaitPainted(HWND window, DWORD milliseconds = 15000);

// Saves what the screen shows of `window` (inside its region: the window's
// own pixels) as a 24-bit BMP.
bool SaveWindowShot(HWND window, const std::string& path);
// The same, at once: for a window that keeps changing (a scan under way).
bool SaveWindowShotNow(HWND window, const std::string& path);

// Registry helpers for the program's settings.
bool SettingExists(const char* subKey, const char* value);
void DeleteSetting(const char* subKey, const char* value);
std::string SettingText(const char* subKey, const char* value);

}  // namespace qm::test
