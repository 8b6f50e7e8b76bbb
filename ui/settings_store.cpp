#include "ui/settings_store.h"

#include "platform/administrator_rights.h"

namespace qm {

std::string SettingNotSavedMessage() {
    if (!DefaultAdministratorRights().Held())
        return "This setting was not saved: Quillmere keeps its settings under HKEY_LOCAL_MACHINE, which only an "
               "administrator may change. The setting stays as it was; start Quillmere as an administrator to "
               "change it.";
    return "This setting could not be saved: the registry refused the change. The setting stays as it was.";
}

bool CSettingsStore::MayWrite() const { return DefaultAdministratorRights().Held(); }

// ---------------------------------------------------------------- a panel's settings

void CSettingsStore::LoadCheckState(const std::string& subKey, const std::string& valueName,
                                    const std::string& buttonName) {
    if (ReadSettingFlag(registry_, subKey, valueName, kKeyRead)) controls_.SetButtonCheck(buttonName, 1);
}

bool CSettingsStore::SaveCheckState(const std::string& valueName, const std::string& buttonName) {
    return SaveFlag(valueName, controls_.GetButtonCheck(buttonName) != 0);
}

bool CSettingsStore::SaveFlag(const std::string& valueName, bool on) {
    if (!MayWrite()) return false;
    return (on ? WriteSettingFlag(registry_, valueName) : DeleteSetting(registry_, valueName)) == kRegSuccess;
}

void CSettingsStore::LoadEditText(const std::string& subKey, const std::string& valueName,
                                  const std::string& editName) {
    std::string text;
    if (!ReadSettingText(registry_, subKey, valueName, text, kKeyRead)) text = kDefaultEditText;
    controls_.SetEditText(editName, text);
}

bool CSettingsStore::SaveEditText(const std::string& valueName, const std::string& editName) {
    const std::string text = controls_.GetEditText(editName);
    if (text.empty()) return true;
    std::string stored;
    if (ReadSettingText(registry_, kSettingsKey, valueName, stored, kKeyRead) && stored == text) return true;
    return MayWrite() && WriteSettingText(registry_, valueName, text) == kRegSuccess;
}

std::int32_t CSettingsStore::ReadTimeValue(const std::string& valueName) {
    return ReadSettingTime(registry_, valueName, kKeyRead);
}

bool CSettingsStore::WriteTimeValue(const std::string& valueName, std::int32_t value) {
    std::string stored;
    std::uint32_t type = 0;
    if (ReadSettingValue(registry_, kSettingsKey, valueName, &stored, &type, kKeyRead) && type == kRegDword &&
        stored.size() == 4 && ReadTimeValue(valueName) == value)
        return true;
    return MayWrite() && WriteSettingTime(registry_, valueName, value) == kRegSuccess;
}

bool CSettingsStore::SaveSchedule(std::int64_t now) {
    ScheduleChoice choice;
    choice.startEvery = controls_.GetButtonCheck("BUTTON_START_EVERY") != 0;
    choice.startAfterEvery = controls_.GetButtonCheck("BUTTON_START_AFTER_EVERY") != 0;
    choice.month = controls_.GetButtonCheck("BUTTON_START_AFTER_EVERY_MONTH") != 0;
    choice.week = controls_.GetButtonCheck("BUTTON_START_AFTER_EVERY_WEEK") != 0;
    choice.day = controls_.GetButtonCheck("BUTTON_START_AFTER_EVERY_DAY") != 0;
    choice.minutesText = controls_.GetEditText("EDIT_SCAN_PERIOD");
    ApplyScheduleChoice(NextScanTime, ScanPeriod, choice, ScanEnabled, now);

    // Each value is tried whatever became of the one before; the typed
    // minutes before the period they give.
    bool stored = SaveEditText("scanminutes", "EDIT_SCAN_PERIOD");
    stored = WriteTimeValue("scannext", NextScanTime) && stored;
    stored = WriteTimeValue("scanperiod", ScanPeriod) && stored;
    stored = SaveCheckState("scanevery", "BUTTON_START_EVERY") && stored;
    stored = SaveCheckState("scanafterevery", "BUTTON_START_AFTER_EVERY") && stored;
    stored = SaveCheckState("scanmonth", "BUTTON_START_AFTER_EVERY_MONTH") && stored;
    stored = SaveCheckState("scanweek", "BUTTON_START_AFTER_EVERY_WEEK") && stored;
    stored = SaveCheckState("scanday", "BUTTON_START_AFTER_EVERY_DAY") && stored;
    return stored;
}

void CSettingsStore::LoadTimetable(const IClock& clock) {
    qm::LoadTimetable(NextScanTime, ScanPeriod, ReadTimeValue("scannext"),
                      ReadTimeValue("scanperiod"), clock);
}

void CSettingsStore::LoadButtonSettings(bool startWithWindowsBox) {
    if (startWithWindowsBox) LoadCheckState(kRunKey, kRunValueName, "BUTTON_STARTUP");
    LoadCheckState(kSettingsKey, "enablescan", "BUTTON_AUTOSCAN_ENABLE");
    // The stored setting, whichever panel loads last: one without the
    // switch does not turn periodic scanning off.
    ScanEnabled = ReadSettingFlag(registry_, kSettingsKey, "enablescan", kKeyRead) ? 1 : 0;
    LoadCheckState(kSettingsKey, "autoscan", "BUTTON_AUTOSCAN");
    LoadCheckState(kSettingsKey, "savereg", "BUTTON_BACKUP");
    LoadCheckState(kSettingsKey, "scanevery", "BUTTON_START_EVERY");
    LoadCheckState(kSettingsKey, "scanafterevery", "BUTTON_START_AFTER_EVERY");
    LoadCheckState(kSettingsKey, "scanmonth", "BUTTON_START_AFTER_EVERY_MONTH");
    LoadCheckState(kSettingsKey, "scanweek", "BUTTON_START_AFTER_EVERY_WEEK");
    LoadCheckState(kSettingsKey, "scanday", "BUTTON_START_AFTER_EVERY_DAY");
}

void CSettingsStore::LoadStartScanAtLaunch() {
    if (ReadSettingFlag(registry_, kSettingsKey, "autoscan", kKeyRead)) StartScanAtLaunch = 1;
}

void CSettingsStore::LoadEditSettings() {
    LoadEditText(kSettingsKey, "savecountreg", "EDIT_BAKUP_COUNT");
    LoadEditText(kSettingsKey, "scanminutes", "EDIT_SCAN_PERIOD");
}

bool CSettingsStore::SaveTimetable() {
    const bool next = WriteTimeValue("scannext", NextScanTime);
    return WriteTimeValue("scanperiod", ScanPeriod) && next;
}

bool CSettingsStore::ToggleStartWithWindows(const std::string& executablePath) {
    const int on = controls_.GetButtonCheck("BUTTON_STARTUP") ? 0 : 1;
    if (!MayWrite() || WriteStartWithWindows(registry_, on != 0, executablePath) != kRegSuccess) return false;
    controls_.SetButtonCheck("BUTTON_STARTUP", on);
    return true;
}

bool CSettingsStore::ToggleFlag(const std::string& valueName, const std::string& buttonName) {
    const int on = controls_.GetButtonCheck(buttonName) ? 0 : 1;
    if (!SaveFlag(valueName, on != 0)) return false;
    controls_.SetButtonCheck(buttonName, on);
    return true;
}

bool CSettingsStore::ToggleScanEnabled() {
    const int on = ScanEnabled ? 0 : 1;
    if (!SaveFlag("enablescan", on != 0)) return false;
    ScanEnabled = on;
    controls_.SetButtonCheck("BUTTON_AUTOSCAN_ENABLE", ScanEnabled);
    return true;
}

}  // namespace qm
