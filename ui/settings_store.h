// A window panel's settings: the values of platform/settings_values.h bound by
// name to the panel's check boxes and edit boxes, and the periodic-scan
// timetable. An unreadable value counts as absent. Values are only read, as
// any user may; writing them (under HKEY_LOCAL_MACHINE) needs administrator
// rights: without them nothing is written. The savers say whether what they
// had to store was stored; a toggle that could not be stored puts its check
// box back, so that the panel shows what is stored.
//
// Portable: works on any IRegistry and on a window's controls through
// INamedControls.
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry.h"
#include "platform/settings_values.h"
#include "ui/named_controls.h"
#include "ui/timetable.h"

namespace qm {

// What a panel says when a setting the user changed could not be stored: the
// reason (no administrator rights, or the registry refused the write) and
// that the stored setting stays as it was.
std::string SettingNotSavedMessage();

// ---------------------------------------------------------------- a panel's settings

// The settings operations of one panel, on its own controls.
class CSettingsStore {
public:
    CSettingsStore(IRegistry& registry, INamedControls& controls)
        : registry_(registry), controls_(controls) {}

    // If the value exists under `subKey`, checks the named button; an absent
    // value leaves the button as it is.
    void LoadCheckState(const std::string& subKey, const std::string& valueName,
                        const std::string& buttonName);
    // Writes the flag when the named button is checked, else deletes it.
    bool SaveCheckState(const std::string& valueName, const std::string& buttonName);
    // Writes the flag (on) or deletes it.
    bool SaveFlag(const std::string& valueName, bool on);
    // The edit box's text ← the text value, or "5" when it is absent.
    void LoadEditText(const std::string& subKey, const std::string& valueName,
                      const std::string& editName);
    // Writes the edit box's text; an empty text (or no such edit box), or the
    // text already stored, writes nothing and leaves the stored value as it was.
    bool SaveEditText(const std::string& valueName, const std::string& editName);
    std::int32_t ReadTimeValue(const std::string& valueName);
    bool WriteTimeValue(const std::string& valueName, std::int32_t value);
    // After a schedule option was pressed: recomputes NextScanTime and
    // ScanPeriod from the schedule controls at `now` and stores "scannext",
    // "scanperiod", "scanminutes" and the five schedule flags.
    bool SaveSchedule(std::int64_t now);

    // ---- the panel's life, in the order the panel calls them

    // Construction: NextScanTime and ScanPeriod from the stored values, repaired.
    void LoadTimetable(const IClock& clock);
    // After the labels exist: the check boxes from their settings (the Run
    // value, "enablescan", then ScanEnabled from this panel's
    // BUTTON_AUTOSCAN_ENABLE, "autoscan", "savereg", the five schedule flags).
    // `startWithWindowsBox` false: this panel's BUTTON_STARTUP is something
    // else (a scan category) and the Run value is not shown in it.
    void LoadButtonSettings(bool startWithWindowsBox = true);
    // After the panel's start-up press of BUTTON_ALL: StartScanAtLaunch ← 1
    // when "autoscan" is present.
    void LoadStartScanAtLaunch();
    // After the edit boxes exist: EDIT_BAKUP_COUNT and EDIT_SCAN_PERIOD.
    void LoadEditSettings();
    // Destruction: "scannext" and "scanperiod" from NextScanTime and ScanPeriod.
    bool SaveTimetable();

    // BUTTON_STARTUP pressed: toggles it and writes or deletes the Run value.
    bool ToggleStartWithWindows(const std::string& executablePath = std::string());
    // A flag button pressed (BUTTON_AUTOSCAN, BUTTON_BACKUP): toggle, save.
    bool ToggleFlag(const std::string& valueName, const std::string& buttonName);
    // BUTTON_AUTOSCAN_ENABLE pressed: ScanEnabled toggled, the button set to
    // it, "enablescan" saved.
    bool ToggleScanEnabled();

private:
    // Whether a write may be tried: the program holds administrator rights.
    bool MayWrite() const;

    IRegistry& registry_;
    INamedControls& controls_;
};

}  // namespace qm
