#include "ui/settings_store.h"

namespace qm {

// ---------------------------------------------------------------- a panel's settings

void CSettingsStore::LoadCheckState(const std::string& subKey, const std::string& valueName,
                                    const std::string& buttonName) {
    if (ReadSettingFlag(registry_, subKey, valueName)) controls_.SetButtonCheck(buttonName, 1);
}

void CSettingsStore::SaveCheckState(const std::string& valueName, const std::string& buttonName) {
    if (controls_.GetButtonCheck(buttonName))
        WriteSettingFlag(registry_, valueName);
    else
        DeleteSetting(registry_, valueName);
}

void CSettingsStore::LoadEditText(const std::string& subKey, const std::string& valueName,
                                  const std::string& editName) {
    std::string text;
    if (!ReadSettingText(registry_, subKey, valueName, text)) text = kDefaultEditText;
    controls_.SetEditText(editName, text);
}

void CSettingsStore::SaveEditText(const std::string& valueName, const std::string& editName) {
    const std::string text = controls_.GetEditText(editName);
    if (!text.empty()) WriteSettingText(registry_, valueName, text);
}

std::int32_t CSettingsStore::ReadTimeValue(const std::string& valueName) {
    return ReadSettingTime(registry_, valueName);
}

void CSettingsStore::WriteTimeValue(const std::string& valueName, std::int32_t value) {
    WriteSettingTime(registry_, valueName, value);
}

void CSettingsStore::SaveSchedule(std::int64_t now) {
    ScheduleChoice choice;
    choice.startEvery = controls_.GetButtonCheck("BUTTON_START_EVERY") != 0;
    choice.startAfterEvery = controls_.GetButtonCheck("BUTTON_START_AFTER_EVERY") != 0;
    choice.month = controls_.GetButtonCheck("BUTTON_START_AFTER_EVERY_MONTH") != 0;
    choice.week = controls_.GetButtonCheck("BUTTON_START_AFTER_EVERY_WEEK") != 0;
    choice.day = controls_.GetButtonCheck("BUTTON_START_AFTER_EVERY_DAY") != 0;
    choice.minutesText = controls_.GetEditText("EDIT_SCAN_PERIOD");
    ApplyScheduleChoice(NextScanTime, ScanPeriod, choice, ScanEnabled, now);

    WriteTimeValue("scannext", NextScanTime);
    WriteTimeValue("scanperiod", ScanPeriod);
    SaveEditText("scanminutes", "EDIT_SCAN_PERIOD");
    SaveCheckState("scanevery", "BUTTON_START_EVERY");
    SaveCheckState("scanafterevery", "BUTTON_START_AFTER_EVERY");
    SaveCheckState("scanmonth", "BUTTON_START_AFTER_EVERY_MONTH");
    SaveCheckState("scanweek", "BUTTON_START_AFTER_EVERY_WEEK");
    SaveCheckState("scanday", "BUTTON_START_AFTER_EVERY_DAY");
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
    ScanEnabled = ReadSettingFlag(registry_, kSettingsKey, "enablescan") ? 1 : 0;
    LoadCheckState(kSettingsKey, "autoscan", "BUTTON_AUTOSCAN");
    LoadCheckState(kSettingsKey, "savereg", "BUTTON_BACKUP");
    LoadCheckState(kSettingsKey, "scanevery", "BUTTON_START_EVERY");
    LoadCheckState(kSettingsKey, "scanafterevery", "BUTTON_START_AFTER_EVERY");
    LoadCheckState(kSettingsKey, "scanmonth", "BUTTON_START_AFTER_EVERY_MONTH");
    LoadCheckState(kSettingsKey, "scanweek", "BUTTON_START_AFTER_EVERY_WEEK");
    LoadCheckState(kSettingsKey, "scanday", "BUTTON_START_AFTER_EVERY_DAY");
}

void CSettingsStore::LoadStartScanAtLaunch() {
    if (ReadSettingFlag(registry_, kSettingsKey, "autoscan")) StartScanAtLaunch = 1;
}

void CSettingsStore::LoadEditSettings() {
    LoadEditText(kSettingsKey, "savecountreg", "EDIT_BAKUP_COUNT");
    LoadEditText(kSettingsKey, "scanminutes", "EDIT_SCAN_PERIOD");
}

void CSettingsStore::SaveTimetable() {
    WriteTimeValue("scannext", NextScanTime);
    WriteTimeValue("scanperiod", ScanPeriod);
}

void CSettingsStore::ToggleStartWithWindows(const std::string& executablePath) {
    const int on = controls_.GetButtonCheck("BUTTON_STARTUP") ? 0 : 1;
    controls_.SetButtonCheck("BUTTON_STARTUP", on);
    WriteStartWithWindows(registry_, on != 0, executablePath);
}

void CSettingsStore::ToggleFlag(const std::string& valueName, const std::string& buttonName) {
    controls_.SetButtonCheck(buttonName, controls_.GetButtonCheck(buttonName) ? 0 : 1);
    SaveCheckState(valueName, buttonName);
}

void CSettingsStore::ToggleScanEnabled() {
    ScanEnabled = ScanEnabled ? 0 : 1;
    controls_.SetButtonCheck("BUTTON_AUTOSCAN_ENABLE", ScanEnabled);
    SaveCheckState("enablescan", "BUTTON_AUTOSCAN_ENABLE");
}

}  // namespace qm
