// CSummaryWindow: the stand-alone result window, a controller (Summary) with a
// top-level skinned window of its own, run on its own user-interface thread
// (control/thread_summary_win32.h). It scans the moment its first screen is
// up, shows the per-category results, offers the repair and shows what the
// repair did. Four screens, each built from the skin's sections:
//
//   SCREENERRORSCAN     while scanning (BUTTON_STOPSCAN, the animation)
//   SCREENSCANCOMPLETE  one row per category and "Missing ShortCuts"
//                       (BUTTON_FIXERROR, BUTTON_CANCEL)
//   SCREENERRORFIXING   while repairing
//   SCREENFIXCOMPLETE   the rows with what was fixed ("Access Denied" for a
//                       category whose deletions were refused), then "Missing
//                       ShortCuts" and "Spywares" (BUTTON_OK)
//
// Each screen reads <SCREEN>INFO (name, four images, x, y, w, h),
// <SCREEN>_BUTTONINFO, <SCREEN>_TEXTINFO, <SCREEN>_EDITBOXINFO and, for the two
// result screens, <SCREEN>_LISTINFO. The first screen places the window at
// (x, y) with the size of its images; later screens draw inside it.
//
// Workers: ScanThread and FixThread run RunScan / the repair job (every
// finding and broken shortcut) and post kFinishScanMessage /
// kFinishFixingMessage; what the repair could not do (a refusal, a failed
// export or backup) is said in a box once the fix screen shows. The window never outlives
// its worker's use of it: every way of closing (Escape, Enter, kPrepareToClose,
// the buttons, WM_CLOSE) first stops a worker still running and waits for it.
// A scan stopped with BUTTON_STOPSCAN shows the results found up to then
// (status "Stopped"); any other stop request (a stop event already set, the
// main window's scan button) closes the window. Both set the event
// "QUILLMERE_ABORTED".
//
// The window is the thread's main window: once it is gone the thread's
// message loop ends (WM_QUIT).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "control/summary.h"
#include "platform/handles_win32.h"
#include "ui/animation_host_win32.h"
#include "ui/control_set_win32.h"
#include "ui/gdi_objects_win32.h"
#include "ui/skin_file.h"
#include "ui/skinned_list_view_win32.h"
#include "ui/window_base_win32.h"
#include "ui/window_messages_win32.h"

namespace qm {

// The screens' names (and the stems of their sections).
constexpr const char* kErrorScanScreen = "SCREENERRORSCAN";
constexpr const char* kScanCompleteScreen = "SCREENSCANCOMPLETE";
constexpr const char* kErrorFixingScreen = "SCREENERRORFIXING";
constexpr const char* kFixCompleteScreen = "SCREENFIXCOMPLETE";

// The window's class name.
constexpr const char* kResultWindowClass = "QuillmereResultWindow";

class CSummaryWindow : public CWindowBase, public Summary, public ISkinOwner {
public:
    // Reads every screen from `skin` (a copy is kept). The shortcut scan keeps
    // to the drives of QUILLMERE_SHORTCUT_DRIVES when it is set.
    CSummaryWindow(const SkinFile& skin, const EngineServices& engine,
                   const ShortcutServices& shortcuts = ShortcutServices());
    // Stops and waits for a worker still running, then lets the window go.
    ~CSummaryWindow() override;

    // The window of the panel that started this one (kept, not used).
    void SetStarter(HWND panel) { starter_ = panel; }
    HWND Starter() const { return starter_; }

    // Builds the error-scan screen with its animation and starts ScanThread.
    // False when the skin has no error-scan screen: no window exists then.
    bool LoadSkin();

    // The four screens. Each empties the previous screen's controls first.
    bool ReadErrorScanScreenInfo();
    void ReadScanCompleteScreenInfo();
    void ReadErrorFixingScreenInfo();
    void ReadFixCompleteScreenInfo();

    // Buttons: BUTTON_STOPSCAN, BUTTON_FIXERROR, BUTTON_CANCEL, BUTTON_OK.
    void ButtonPressed(const std::string& name) override;

    // Enter and Escape typed anywhere in the window become IDOK and IDCANCEL,
    // as a dialog's keyboard handling makes them. True when `msg` was one.
    bool PreTranslateMessage(const MSG& msg);

    // Worker thread routines (argument: the window; result 0).
    static DWORD WINAPI ScanThread(LPVOID window);
    static DWORD WINAPI FixThread(LPVOID window);

    // The name field of the screen's line, and the screen last built (one of
    // the four names above; a skin may name its screens otherwise).
    const std::string& ScreenName() const { return screenName_; }
    const std::string& ShownScreen() const { return shownScreen_; }
    int ScreenKey() const { return screenKey_; }
    CControlSet& Controls() { return controls_; }
    CSkinnedListView* List() const { return list_.get(); }
    CAnimationHost& Animation() { return animation_; }
    // A worker was started and has not ended yet.
    bool WorkerRunning() const;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Ends the thread's message loop.
    void OnWindowGone() override;

private:
    bool ReadScreenInfo(const std::string& screen, bool firstScreen, bool withList);
    void ReadListViewInfo(const std::string& section);
    bool StartWorker(LPTHREAD_START_ROUTINE routine);
    // Waits, without time-out, until the worker has ended (at once without one).
    void WaitForWorker();
    void OnFinishScan();
    // The scan-complete screen with the rows found; `stopped`: the scan was
    // stopped by BUTTON_STOPSCAN before its end.
    void ShowScanResults(bool stopped);
    void OnFinishFixing();
    // The worker's repair: every finding and broken shortcut. What it could
    // not do, in the window's words ("" when nothing).
    std::string RunRepair();
    void OnOK();
    void OnCancel();
    void OnPrepareToClose();
    // Closes the window: a worker still running is asked to stop first (or
    // always, for Escape) and waited for; then the window goes and
    // ScanInProgress becomes 0.
    void Close(bool alwaysStop);
    // The end of a run stopped by a stop request: rows dropped, stop event
    // reset, ScanInProgress 0, "QUILLMERE_ABORTED" set, window closed.
    void CloseStopped();
    void Paint();


    SkinFile skin_;
    HWND starter_ = nullptr;
    CControlSet controls_;
    SkinBitmap images_[4];  // normal, over, down, disabled
    SkinRect rect_;
    SIZE imageSize_{0, 0};
    std::string screenName_;
    std::string shownScreen_;
    int screenKey_ = 0;
    CAnimationHost animation_;
    std::unique_ptr<CSkinnedListView> list_;
    Win32Handle worker_;
    DWORD workerId_ = 0;
    HWND postTo_ = nullptr;  // where the worker posts its finish message
    bool stopPressed_ = false;  // BUTTON_STOPSCAN was pressed during the scan
    std::string fixProblems_;  // what the last repair could not do ("" when nothing), set by its worker
    // What the fix-complete screen's status says of the last repair, set by
    // its worker: "Fixed", "Not fixed" when it was refused before anything
    // was removed, "Failed" when an error ended it part way.
    const char* fixStatus_ = "Fixed";
};

}  // namespace qm
