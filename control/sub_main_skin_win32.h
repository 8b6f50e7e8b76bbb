// CSubMainSkin: one panel of the main screen, built from one line of the
// skin's [SUBMAINSCREENINFO] and the panel's own sections (<NAME>_BUTTONINFO,
// _TEXTINFO, _EDITBOXINFO, _LISTINFO). It owns its controls, binds its check
// boxes and edit boxes to the settings, handles its own buttons by name, shows
// per-category scan progress, and lists the ignore list and the scheduled
// scans.
//
// BUTTON_STARTUP means two things in the default skin: on a categories panel
// (one that carries BUTTON_ALL) it is the startup-entries scan category, a
// plain check box; anywhere else it is "start with Windows", bound to the Run
// value. Only the latter reads or writes the Run key.
//
// BUTTON_SCAN (which no panel of the default skin carries) opens the result
// window (control/thread_summary_win32.h) on a thread of its own, built from
// the same skin as the panel and scanning the categories ticked on this
// panel. While the panel goes (prepare-to-close, destruction) a result window
// still open is cancelled and waited for, at most ten seconds.
//
// The result list (SUBMAIN_RESULT) sorts by a column when its header is
// clicked and shows a row's details (from the host) on a double click or
// Enter, and as a tip where the pointer rests.
//
// The restore centre (SUBMAIN_RESTORE, reached from the settings panel's
// BUTTON_BACKUPS; BUTTON_SETTINGS_BACK goes back) lists the repair's backups
// in the working folder, newest first, whenever it is shown. Its
// BUTTON_RESTORE puts back the selected one; on a panel without that list
// BUTTON_RESTORE asks for a file. Both ask before writing.
//
// BUTTON_IGNORED_DELETE removes the ticked rows' paths from the ignore list
// as the file holds it at that moment (not the entries at the rows'
// positions, which another program may have shifted since the list was read).
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/categories.h"
#include "platform/handles_win32.h"
#include "platform/registry.h"
#include "ui/control_set_win32.h"
#include "ui/gdi_objects_win32.h"
#include "ui/settings_store.h"
#include "ui/window_base_win32.h"
#include "ui/window_messages_win32.h"

namespace qm {

// What a panel asks of the screen that holds it.
class IPanelHost {
public:
    virtual ~IPanelHost() = default;
    virtual void ShowPanel(const std::string& name) = 0;
    // Sets a button of that name on every panel (a setting several panels show).
    virtual void SetButtonCheckOnAllPanels(const std::string& name, int state) = 0;
    // The top-level window that owns message boxes and dialogs.
    virtual HWND OwnerWindow() const = 0;
    // The result list's rows, told by their data: every detail of one ("":
    // none), and the order of two by a column (<0, 0, >0).
    virtual std::string ResultRowDetails(LPARAM) const { return std::string(); }
    virtual int CompareResultRows(LPARAM, LPARAM, int) const { return 0; }
};

class CSubMainSkin : public CWindowBase, public ISkinOwner {
public:
    // Reads the periodic-scan timetable (and repairs it).
    explicit CSubMainSkin(IRegistry& registry);
    // Writes the timetable.
    ~CSubMainSkin() override;

    // Creates the panel's window as a visible child of `parent` at the line's
    // rectangle, loads its four images and builds its controls: buttons,
    // labels and the check boxes' settings, edit boxes and their settings,
    // list views (the ignored and schedule lists filled).
    bool Create(IPanelHost* host, HWND parent, const SkinFile& skin, const SkinPanelLine& line, int number);

    const std::string& Name() const { return name_; }
    int Number() const { return number_; }
    CControlSet& Controls() { return controls_; }
    // True for a panel that carries BUTTON_ALL: its BUTTON_STARTUP is a scan category.
    bool IsCategoriesPanel() const { return controls_.FindButton("BUTTON_ALL") != nullptr; }

    // ISkinOwner
    void ButtonPressed(const std::string& name) override;

    // Progress display of the categories panel (any thread).
    void ShowProgress(const ScanCategoryStates& states, int count);
    void ShowCategoryProgress(const std::string& textLabel, const std::string& countLabel, int state);

    // Reloads the ignored list from the ignore list file.
    void RefreshIgnoredList();
    // Reloads the schedule list from the program's scheduled task.
    void RefreshScheduleList();
    // Reloads the backup list from the working folder, the newest selected.
    void RefreshBackupList();

    CSkinnedListView* ResultList() const { return resultList_; }
    CSkinnedListView* IgnoredList() const { return ignoredList_; }
    CSkinnedListView* ScheduleList() const { return scheduleList_; }
    CSkinnedListView* BackupList() const { return backupList_; }

    // The result window started from this panel still runs.
    bool ResultWindowRunning() const;
    // Cancels a result window still running and waits for its thread, at
    // most `milliseconds`; then forgets it.
    void CloseResultWindow(DWORD milliseconds = kResultWindowWait);
    static constexpr DWORD kResultWindowWait = 10000;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void SetCategories(int state);
    // Restores `chosen` (asking for a file when null) once the user agrees,
    // and says how it went.
    void RestoreFromBackup(const std::string* chosen = nullptr);
    void RestoreSelectedBackup();
    void DeleteCheckedIgnored();
    void DeleteSelectedSchedule();
    void ScheduleOptionPressed(const std::string& name);
    // A setting the user changed could not be stored: says so, in a box.
    void SettingNotSaved();
    void ShowListMenu(CSkinnedListView& list);
    // The result list's notifications: a header click sorts by that column;
    // a double click or Enter on a row shows its details; the pointer
    // resting on a row shows them as a tip. True when handled.
    bool ResultListNotice(const NMHDR& header, LRESULT& result);
    void ShowResultDetails(int row);
    void StartResultWindow();


    IRegistry& registry_;
    IPanelHost* host_ = nullptr;
    CControlSet controls_;
    CSettingsStore store_;
    SkinBitmap images_[4];
    std::string name_;
    std::string wording_;  // the panel's title as shown (its accessible name)
    int number_ = 0;
    int count_ = 0;
    CSkinnedListView* resultList_ = nullptr;
    CSkinnedListView* ignoredList_ = nullptr;
    CSkinnedListView* scheduleList_ = nullptr;
    CSkinnedListView* backupList_ = nullptr;
    std::vector<std::string> backupPaths_;  // by the backup list's row data
    SkinFile skin_;  // the skin the panel was built from, for its result window
    Win32Handle resultThread_;
    bool typedTextRefused_ = false;  // a typed setting could not be stored, and that was said
};

// The scan categories a categories panel's BUTTON_ALL sets, in order.
extern const char* const kCategoryButtons[13];

}  // namespace qm
