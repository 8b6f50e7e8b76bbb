#include "control/sub_main_skin_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <utility>
#include <vector>

#include "control/add_schedule_dialog_win32.h"
#include "control/main_dlg_win32.h"
#include "control/restore_ui_win32.h"
#include "control/result_details_dialog_win32.h"
#include "control/summary.h"
#include "control/thread_summary_win32.h"
#include "engine/registry_lib.h"
#include "repair/backup_list.h"
#include "repair/registry_repair.h"
#include "repair/restore_areas.h"
#include "repair/task_schedule_win32.h"
#include "resources/resource.h"
#include "ui/skin_image_win32.h"
#include "ui/timetable.h"
#include "ui/window_text_win32.h"

namespace qm {

const char* const kCategoryButtons[13] = {
    "BUTTON_REGISTRY", "BUTTON_COM",       "BUTTON_COM_SUBS", "BUTTON_DRV",       "BUTTON_HELP",
    "BUTTON_APPPATH",  "BUTTON_SHARED_TOOLS", "BUTTON_FONTS", "BUTTON_STARTUP",   "BUTTON_SHORTCUTS",
    "BUTTON_UNINSTALL", "BUTTON_VXD",      "BUTTON_MSDOS",
};

namespace {

constexpr const char* kPanelClass = "QuillmerePanel";

// The progress label pairs, in the order ShowProgress fills them, with the
// category slot each shows.
struct ProgressPair {
    const char* category;
    int slot;
};
constexpr ProgressPair kProgressPairs[] = {
    {"COM", kSlotCom},         {"COM_SUBS", kSlotSharedDlls},         {"HELP", kSlotHelp},
    {"APPPATH", kSlotAppPaths}, {"SHARED_TOOLS", kSlotSharedTools},   {"FONTS", kSlotFonts},
    {"STARTUP", kSlotStartup},  {"UNINSTALL", kSlotUninstall},        {"DRV", kSlotDrivers},
    {"SHORTCUTS", kSlotShortcuts},
};

bool IsPlainToggle(const std::string& name) {
    static const char* const kToggles[] = {
        "BUTTON_REGISTRY", "BUTTON_COM",      "BUTTON_COM_SUBS",  "BUTTON_DRV",   "BUTTON_HELP", "BUTTON_APPPATH",
        "BUTTON_SHARED_TOOLS", "BUTTON_FONTS", "BUTTON_SHORTCUTS", "BUTTON_UNINSTALL", "BUTTON_VXD", "BUTTON_MSDOS",
    };
    for (const char* t : kToggles)
        if (name == t) return true;
    return false;
}

// The setting a schedule option's check box is stored as.
const char* ScheduleSettingOf(const std::string& button) {
    for (const SettingInfo& setting : KnownSettings())
        if (button == setting.control) return setting.name;
    return "";
}

std::string FormatRunTime(std::time_t when) {
    if (when == 0) return "Never";
    const std::tm* local = std::localtime(&when);  // the user-interface thread only
    if (local == nullptr) return "Never";
    char text[64] = "";
    std::strftime(text, sizeof text, "%H:%M:%S %d-%m-%y", local);
    return text;
}

}  // namespace

CSubMainSkin::CSubMainSkin(IRegistry& registry) : registry_(registry), store_(registry, controls_) {
    store_.LoadTimetable(SystemClock());
}

CSubMainSkin::~CSubMainSkin() {
    store_.SaveTimetable();
    CloseResultWindow();
    controls_.Free();
    DestroyWindowNow();
}

bool CSubMainSkin::Create(IPanelHost* host, HWND parent, const SkinFile& skin, const SkinPanelLine& line,
                          int number) {
    host_ = host;
    skin_ = skin;
    name_ = line.name;
    wording_ = line.wording.empty() ? ReadableControlName(line.name) : line.wording;
    number_ = number;
    const RECT rect{line.rect.left, line.rect.top, line.rect.right, line.rect.bottom};
    // The window text is the panel's name, so that tools can tell panels apart.
    // A control parent: Tab moves through the panel's controls as through
    // the main screen's.
    if (!CreateAs(kPanelClass, WS_EX_CONTROLPARENT, name_.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, rect, parent, 0))
        return false;
    for (int i = 0; i < 4; ++i) LoadSkinImage(skin.ImagePath(line.images[i]), images_[i]);
    controls_.Attach(Window(), this);

    const HBITMAP images[4] = {images_[0].Get(), images_[1].Get(), images_[2].Get(), images_[3].Get()};
    controls_.ReadButtonInfo(skin, name_ + "_BUTTONINFO", images);
    controls_.ReadTextInfo(skin, name_ + "_TEXTINFO", images_[0].Get(), LabelItalic::WhenFieldIsFalse);
    store_.LoadButtonSettings(!IsCategoriesPanel());
    ButtonPressed("BUTTON_ALL");
    store_.LoadStartScanAtLaunch();

    controls_.ReadEditBoxInfo(skin, name_ + "_EDITBOXINFO", images_[0].Get());
    store_.LoadEditSettings();

    const std::string listSection = name_ + "_LISTINFO";
    if (listSection == "SUBMAIN_RESULT_LISTINFO") {
        resultList_ = controls_.ReadListViewInfo(skin, listSection, kListWithCheckBoxes | LVS_EX_INFOTIP);
    } else if (listSection == "SUBMAIN_IGNORED_LISTINFO") {
        ignoredList_ = controls_.ReadListViewInfo(skin, listSection, kListWithCheckBoxes);
        RefreshIgnoredList();
    } else if (listSection == "SUBMAIN_SCHEDULE_LISTINFO") {
        scheduleList_ = controls_.ReadListViewInfo(skin, listSection, kListWithoutCheckBoxes);
        RefreshScheduleList();
    } else if (listSection == "SUBMAIN_RESTORE_LISTINFO") {
        backupList_ = controls_.ReadListViewInfo(skin, listSection, kListWithoutCheckBoxes);
        // The row Restore acts on stays marked while the button has the focus.
        if (backupList_ != nullptr)
            SetWindowLongPtrA(backupList_->Window(), GWL_STYLE,
                              GetWindowLongPtrA(backupList_->Window(), GWL_STYLE) | LVS_SHOWSELALWAYS);
        RefreshBackupList();
    }
    return true;
}

void CSubMainSkin::SettingNotSaved() {
    MessageBoxA(host_ != nullptr ? host_->OwnerWindow() : Window(), SettingNotSavedMessage().c_str(), "Quillmere",
                MB_OK | MB_ICONWARNING);
}

void CSubMainSkin::ButtonPressed(const std::string& name) {
    // Nothing a panel's button does may run beside a scan or a repair (a
    // skin's BUTTON_SCAN would start the result window's scan while the
    // repair removes entries, a category box would change under the
    // repair's progress).
    if (ScanInProgress.load() != 0 || RepairInProgress.load() != 0) return;
    store_.SaveEditText("savecountreg", "EDIT_BAKUP_COUNT");

    if (name == "BUTTON_SCAN") {
        StartResultWindow();
    } else if (name == "BUTTON_STARTUP") {
        if (IsCategoriesPanel())
            controls_.SetButtonCheck(name, controls_.GetButtonCheck(name) ? 0 : 1);
        else if (!store_.ToggleStartWithWindows())
            SettingNotSaved();
    } else if (name == "BUTTON_AUTOSCAN") {
        if (!store_.ToggleFlag("autoscan", name)) SettingNotSaved();
    } else if (name == "BUTTON_BACKUP") {
        if (!store_.ToggleFlag("savereg", name)) SettingNotSaved();
    } else if (IsPlainToggle(name)) {
        controls_.SetButtonCheck(name, controls_.GetButtonCheck(name) ? 0 : 1);
    } else if (name == "BUTTON_ALL") {
        // Only a categories panel has categories to set.
        if (IsCategoriesPanel()) {
            const int v = controls_.GetButtonCheck("BUTTON_ALL") ? 0 : 1;
            SetCategories(v);
            controls_.SetButtonCheck("BUTTON_ALL", v);
        }
    } else if (name == "BUTTON_RESTORE") {
        // Not while a repair writes its backup and deletes what it holds.
        if (RepairInProgress.load() != 0) return;
        if (backupList_ != nullptr)
            RestoreSelectedBackup();
        else
            RestoreFromBackup();
    } else if (name == "BUTTON_BACKUPS") {
        if (host_ != nullptr) host_->ShowPanel("SUBMAIN_RESTORE");
    } else if (name == "BUTTON_SETTINGS_BACK") {
        if (host_ != nullptr) host_->ShowPanel("SUBMAIN_ADVANCED");
    } else if (name == "BUTTON_ADDSCHEDULE") {
        CAddScheduleDlg dialog;
        dialog.DoModal(host_ != nullptr ? host_->OwnerWindow() : Window());
        if (scheduleList_ != nullptr) RefreshScheduleList();
    } else if (name == "BUTTON_DELETESCHEDULE") {
        DeleteSelectedSchedule();
    } else if (name == "BUTTON_IGNORED_DELETE") {
        DeleteCheckedIgnored();
    } else if (name == "BUTTON_IGNORED_SEL_ALL") {
        const int v = controls_.GetButtonCheck(name) ? 0 : 1;
        controls_.SetButtonCheck(name, v);
        if (ignoredList_ != nullptr)
            for (int i = 0; i < ignoredList_->RowCount(); ++i) ignoredList_->SetChecked(i, v != 0);
    } else if (name == "BUTTON_AUTOSCAN_ENABLE") {
        // Stored first: a switch that cannot be stored changes nothing.
        if (!store_.SaveFlag("enablescan", ScanEnabled == 0)) {
            SettingNotSaved();
            return;
        }
        ScanEnabled = ScanEnabled ? 0 : 1;
        if (host_ != nullptr) host_->ShowPanel(ScanEnabled ? "SUBMAIN_SCHEDULE" : "SUBMAIN_SCHEDULE_DISABLED");
        // Both looks show the setting, not only the one pressed.
        controls_.SetButtonCheck(name, ScanEnabled);
        if (host_ != nullptr) host_->SetButtonCheckOnAllPanels(name, ScanEnabled);
    }

    if (ScanEnabled == 1) ScheduleOptionPressed(name);
}

void CSubMainSkin::StartResultWindow() {
    // At most one: a window whose thread has not ended yet is still closing.
    if (ResultWindowRunning()) return;
    ScanInProgress.store(1);
    CThreadSummary::Setup setup;
    setup.skin = skin_;
    setup.starter = Window();
    setup.engine = EngineServices{&registry_, nullptr, "ignore.lst"};
    ReadCategoryStates(&controls_, setup.states);
    Win32Handle thread = CThreadSummary::Start(setup);
    if (!thread) {
        ScanInProgress.store(0);
        return;
    }
    resultThread_ = std::move(thread);
}

bool CSubMainSkin::ResultWindowRunning() const {
    return resultThread_ && WaitForSingleObject(resultThread_.Get(), 0) == WAIT_TIMEOUT;
}

void CSubMainSkin::CloseResultWindow(DWORD milliseconds) {
    if (!resultThread_) return;
    CThreadSummary::Close(resultThread_.Get(), milliseconds);
    resultThread_.Reset();
}

void CSubMainSkin::SetCategories(int state) {
    for (const char* button : kCategoryButtons) controls_.SetButtonCheck(button, state);
}

void CSubMainSkin::ScheduleOptionPressed(const std::string& name) {
    const char* every = "BUTTON_START_EVERY";
    const char* after = "BUTTON_START_AFTER_EVERY";
    const char* month = "BUTTON_START_AFTER_EVERY_MONTH";
    const char* week = "BUTTON_START_AFTER_EVERY_WEEK";
    const char* day = "BUTTON_START_AFTER_EVERY_DAY";
    if (name == every) {
        controls_.SetButtonCheck(after, 0);
    } else if (name == after) {
        controls_.SetButtonCheck(every, 0);
    } else if (name == month || name == week || name == day) {
        controls_.SetButtonCheck(every, 0);
        for (const char* unit : {month, week, day})
            if (name != unit) controls_.SetButtonCheck(unit, 0);
        controls_.SetButtonCheck(after, 1);
    } else {
        return;
    }
    controls_.SetButtonCheck(name, 1);
    if (store_.SaveSchedule(SystemClock().Now())) return;
    // Not stored: the boxes show the stored choice again.
    for (const char* option : {every, after, month, week, day}) {
        controls_.SetButtonCheck(option, 0);
        store_.LoadCheckState(kSettingsKey, ScheduleSettingOf(option), option);
    }
    SettingNotSaved();
}

void CSubMainSkin::ShowCategoryProgress(const std::string& textLabel, const std::string& countLabel, int state) {
    if (state == 0 || state == 1) {
        controls_.SetLabelText(textLabel, "");
        controls_.SetLabelText(countLabel, "");
    } else if (state == 2) {
        char count[16];
        std::snprintf(count, sizeof count, "%d", count_);
        controls_.SetLabelText(textLabel, "Scanning");
        controls_.SetLabelText(countLabel, count);
    } else if (state == -1) {
        controls_.SetLabelText(textLabel, "Done");
    }
}

void CSubMainSkin::ShowProgress(const ScanCategoryStates& states, int count) {
    count_ = count;
    for (const ProgressPair& p : kProgressPairs)
        ShowCategoryProgress(std::string("PROGRESS_TEXT_") + p.category, std::string("PROGRESS_COUNT_") + p.category,
                             states[p.slot]);
}

void CSubMainSkin::RefreshIgnoredList() {
    if (ignoredList_ == nullptr) return;
    CRegistryLib lib(EngineServices{&registry_, nullptr, "ignore.lst"});
    ignoredList_->DeleteAllRows();
    int row = 0;
    for (const auto& entry : lib.IgnoreList()) {
        if (!entry) continue;
        ignoredList_->InsertRow(row++, {"", entry->GetFilePath()});
    }
}

void CSubMainSkin::RefreshScheduleList() {
    if (scheduleList_ == nullptr) return;
    scheduleList_->DeleteAllRows();
    std::vector<std::string> triggers;
    std::time_t lastRun = 0;
    ListTriggers(TaskName(), triggers, lastRun);
    const std::string when = FormatRunTime(lastRun);
    for (std::size_t i = 0; i < triggers.size(); ++i) {
        char number[16];
        std::snprintf(number, sizeof number, "%d", static_cast<int>(i + 1));
        scheduleList_->InsertRow(static_cast<int>(i), {number, triggers[i], when});
    }
}

void CSubMainSkin::RefreshBackupList() {
    if (backupList_ == nullptr) return;
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const FindFileHandle find(FindFirstFileA("FixedOn*.xml", &found));
    if (find) {
        do
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(found.cFileName);
        while (FindNextFileA(find.Get(), &found));
    }
    const std::vector<BackupListing> listed = ListBackups("", names, RestoreAreas::Program());
    backupList_->DeleteAllRows();
    backupPaths_.clear();
    for (const BackupListing& backup : listed) {
        const BackupSummary& s = backup.summary;
        backupList_->InsertRow(static_cast<int>(backupPaths_.size()),
                               {FormatBackupListTime(backup.written), std::to_string(s.keys), std::to_string(s.values),
                                std::to_string(s.shortcuts), backup.fileName},
                               false, static_cast<LPARAM>(backupPaths_.size()));
        backupPaths_.push_back(backup.path);
    }
    if (!backupPaths_.empty()) backupList_->SelectRow(0);
    std::string total = "No backups yet: each repair writes one";
    if (backupPaths_.size() == 1) total = "1 backup";
    if (backupPaths_.size() > 1) total = std::to_string(backupPaths_.size()) + " backups, the newest first";
    controls_.SetLabelText("TEXT_BACKUP_TOTAL", total);
}

void CSubMainSkin::RestoreSelectedBackup() {
    HWND owner = host_ != nullptr ? host_->OwnerWindow() : Window();
    const int row = static_cast<int>(SendMessageA(backupList_->Window(), LVM_GETNEXTITEM, -1, LVNI_SELECTED));
    const LPARAM index = row >= 0 ? backupList_->RowData(row) : -1;
    if (index < 0 || static_cast<std::size_t>(index) >= backupPaths_.size()) {
        MessageBoxA(owner,
                    backupPaths_.empty() ? "There is no backup to restore: each repair writes one."
                                         : "Choose a backup in the list first.",
                    "Registry Restoration", MB_OK | MB_ICONINFORMATION);
        return;
    }
    const std::string path = backupPaths_[static_cast<std::size_t>(index)];
    RestoreFromBackup(&path);
    // The list as the folder is now, the restored backup still selected.
    RefreshBackupList();
    for (std::size_t i = 0; i < backupPaths_.size(); ++i)
        if (backupPaths_[i] == path) backupList_->SelectRow(static_cast<int>(i));
}

void CSubMainSkin::RestoreFromBackup(const std::string* chosen) {
    HWND owner = host_ != nullptr ? host_->OwnerWindow() : Window();
    Win32RestoreUi ui(owner);
    if (chosen != nullptr) ui.SetChosenFile(*chosen);
    CRegistryLib lib(EngineServices{&registry_, nullptr, "ignore.lst"});
    CRegistryRepair repair(lib);
    repair.SetRestoreUi(&ui);
    const bool restored = repair.RestoreRegistry();
    MessageBoxA(owner, restored ? "Registry Restored Successfuly" : "Registry Restoration Failed",
                "Registry Restoration", MB_OK | MB_ICONINFORMATION);
}

void CSubMainSkin::DeleteCheckedIgnored() {
    if (ignoredList_ == nullptr) return;
    CRegistryLib lib(EngineServices{&registry_, nullptr, "ignore.lst"});
    // The ticked rows' paths leave the list as it is on disk now: the file
    // may have changed since the rows were filled (quillmere-cli ignore, a
    // repair), so a row's position need not be its entry's any more.
    std::vector<std::string> ticked;
    for (int row = 0; row < ignoredList_->RowCount(); ++row)
        if (ignoredList_->Checked(row)) ticked.push_back(ignoredList_->Text(row, 1));
    for (auto& entry : lib.IgnoreList())
        if (entry && std::find(ticked.begin(), ticked.end(), entry->GetFilePath()) != ticked.end()) entry.reset();
    if (!lib.SaveIgnoreList()) {
        // The list on disk is unchanged, and the panel shows it as it is.
        HWND owner = host_ != nullptr ? host_->OwnerWindow() : Window();
        MessageBoxA(owner, lib.IgnoreListError().c_str(), "Quillmere", MB_OK | MB_ICONERROR);
    }
    RefreshIgnoredList();
}

void CSubMainSkin::DeleteSelectedSchedule() {
    if (scheduleList_ == nullptr || scheduleList_->RowCount() <= 0) return;
    const int row = scheduleList_->SelectionMark();
    if (row < 0) return;
    HWND owner = host_ != nullptr ? host_->OwnerWindow() : Window();
    if (MessageBoxA(owner, "Are You Sure", "Delete Scheduled Task", MB_OKCANCEL | MB_ICONWARNING) != IDOK) return;
    // Triggers are deleted by position: only when the task still has the
    // schedule the row shows at that position (another program may have
    // changed the task since the list was filled); otherwise the list is
    // only brought up to date.
    std::vector<std::string> triggers;
    std::time_t lastRun = 0;
    ListTriggers(TaskName(), triggers, lastRun);
    if (static_cast<std::size_t>(row) < triggers.size() && triggers[static_cast<std::size_t>(row)] == scheduleList_->Text(row, 1))
        DeleteTrigger(TaskName(), row);
    RefreshScheduleList();
    InvalidateRect(Window(), nullptr, TRUE);
}

void CSubMainSkin::ShowListMenu(CSkinnedListView& list) {
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_LIST_MENU));
    if (menu == nullptr) return;
    POINT at{};
    GetCursorPos(&at);
    if (at.x < 0 || at.y < 0) {
        GetCaretPos(&at);
        ClientToScreen(list.Window(), &at);
        at.x += 2;
        at.y += 14;
    }
    const UINT command = static_cast<UINT>(TrackPopupMenu(GetSubMenu(menu, 0),
                                                          TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x,
                                                          at.y, 0, list.Window(), nullptr));
    DestroyMenu(menu);
    if (command != ID_LIST_SELECT_ALL && command != ID_LIST_DESELECT_ALL) return;
    for (int i = 0; i < list.RowCount(); ++i) list.SetChecked(i, command == ID_LIST_SELECT_ALL);
}

bool CSubMainSkin::ResultListNotice(const NMHDR& header, LRESULT& result) {
    result = 0;
    switch (header.code) {
        case LVN_ITEMCHANGING: {
            // While a repair runs the ticks it was started with stay as they
            // are shown: a click on a box, Space or "Deselect All" changes none.
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            if (RepairInProgress.load() != 0 && (change.uChanged & LVIF_STATE) != 0 &&
                ((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK) != 0)
                result = TRUE;
            return true;
        }
        case LVN_COLUMNCLICK: {
            if (RepairInProgress.load() != 0) return true;  // the rows keep their order while a repair runs
            const auto& click = reinterpret_cast<const NMLISTVIEW&>(header);
            const IPanelHost* host = host_;
            resultList_->SortByColumn(click.iSubItem, [host](LPARAM a, LPARAM b, int column) {
                return host != nullptr ? host->CompareResultRows(a, b, column) : 0;
            });
            return true;
        }
        case NM_DBLCLK: {
            const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
            if (activate.iItem >= 0) ShowResultDetails(activate.iItem);
            return true;
        }
        case NM_RETURN: {
            const int row = static_cast<int>(SendMessageA(resultList_->Window(), LVM_GETNEXTITEM, -1, LVNI_SELECTED));
            if (row >= 0) ShowResultDetails(row);
            return true;
        }
        case LVN_GETINFOTIPA: {
            auto& tip = const_cast<NMLVGETINFOTIPA&>(reinterpret_cast<const NMLVGETINFOTIPA&>(header));
            if (host_ == nullptr || tip.pszText == nullptr || tip.cchTextMax <= 0) return true;
            const std::string details = host_->ResultRowDetails(resultList_->RowData(tip.iItem));
            const std::size_t n = std::min(details.size(), static_cast<std::size_t>(tip.cchTextMax - 1));
            details.copy(tip.pszText, n);
            tip.pszText[n] = '\0';
            return true;
        }
        default:
            return false;
    }
}

void CSubMainSkin::ShowResultDetails(int row) {
    if (host_ == nullptr) return;
    resultList_->SelectRow(row);
    const std::string details = host_->ResultRowDetails(resultList_->RowData(row));
    if (details.empty()) return;
    CResultDetailsDlg dialog(details);
    dialog.DoModal(host_->OwnerWindow());
}

LRESULT CSubMainSkin::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_GETTEXT:  // what a screen reader calls the panel; its window text stays its name
        case WM_GETTEXTLENGTH:
            return AnswerWindowText(Window(), message, wParam, lParam, wording_);
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(Window(), &ps);
            RECT client;
            GetClientRect(Window(), &client);
            DrawSkinImage(dc, images_[0].Get(), client);
            EndPaint(Window(), &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_LBUTTONDOWN:  // a press on the panel's background drags the whole window
            DragTopLevelWindow(lParam);
            return 0;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            LRESULT result = 0;
            if (header != nullptr && resultList_ != nullptr && header->hwndFrom == resultList_->Window() &&
                ResultListNotice(*header, result))
                return result;
            if (header != nullptr && header->code == NM_RCLICK) {
                for (CSkinnedListView* list : {resultList_, ignoredList_})
                    if (list != nullptr && list->Window() == header->hwndFrom) ShowListMenu(*list);
            }
            break;
        }
        case WM_COMMAND:
            // What is typed into an edit box is saved as it is typed (a text
            // set by the program, which comes without the focus, is not).
            if (HIWORD(wParam) == EN_CHANGE && reinterpret_cast<HWND>(lParam) == GetFocus()) {
                // What cannot be stored is said once per panel, not at every key.
                bool stored = true;
                if (const CSkinnedEdit* count = controls_.FindEdit("EDIT_BAKUP_COUNT");
                    count != nullptr && count->Window() == reinterpret_cast<HWND>(lParam))
                    stored = store_.SaveEditText("savecountreg", "EDIT_BAKUP_COUNT");
                if (const CSkinnedEdit* minutes = controls_.FindEdit("EDIT_SCAN_PERIOD");
                    minutes != nullptr && minutes->Window() == reinterpret_cast<HWND>(lParam) && ScanEnabled == 1)
                    stored = store_.SaveSchedule(SystemClock().Now()) && stored;
                if (!stored && !typedTextRefused_) {
                    typedTextRefused_ = true;
                    SettingNotSaved();
                }
            }
            break;
        case WM_TIMER:
            return 0;
        case WM_SHOWWINDOW:
            // The backups as they are now: a repair may have written one.
            if (wParam != FALSE && backupList_ != nullptr) RefreshBackupList();
            break;
        case kPrepareToCloseMessage:
            // The main screen passes it on to every window of its tree. A
            // result window started here is no child of it: it is closed here.
            CloseResultWindow();
            return 0;
        case kEnableScanButtonMessage:
            controls_.EnableButton("BUTTON_SCAN", true);
            return 0;
        default:
            break;
    }
    return CWindowBase::HandleMessage(message, wParam, lParam);
}

}  // namespace qm
