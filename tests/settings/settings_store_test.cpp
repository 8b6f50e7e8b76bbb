// The settings store on a registry held in memory, with a panel's controls
// stood in for by a table of names.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <direct.h>
#else
#include <unistd.h>
#endif

#include <map>
#include <string>
#include <vector>

#include "platform/administrator_rights.h"
#include "platform/executable_path.h"
#include "emulation/registry_memory.h"
#include "ui/settings_store.h"

namespace qm {
namespace {

std::string CurrentDirectoryName() {
    char buffer[4096] = {};
#ifdef _WIN32
    return _getcwd(buffer, sizeof buffer) ? buffer : "";
#else
    return getcwd(buffer, sizeof buffer) ? buffer : "";
#endif
}

int ChangeDirectory(const char* path) {
#ifdef _WIN32
    return _chdir(path);
#else
    return chdir(path);
#endif
}

const std::string kSettingsPath = "HKEY_LOCAL_MACHINE\\Software\\QUILLMERE";
const std::string kRunPath = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The controls of one panel: only the names given exist.
class FakeControls : public INamedControls {
public:
    FakeControls(std::vector<std::string> buttons, std::vector<std::string> edits) {
        for (auto& b : buttons) buttons_[b] = 0;
        for (auto& e : edits) edits_[e] = "";
    }
    void SetButtonCheck(const std::string& name, int state) override {
        auto it = buttons_.find(name);
        if (it != buttons_.end()) it->second = state;
    }
    int GetButtonCheck(const std::string& name) const override {
        auto it = buttons_.find(name);
        return it == buttons_.end() ? 0 : it->second;
    }
    void EnableButton(const std::string&, bool) override {}
    void HideButton(const std::string&, bool) override {}
    void EnableAllButtons(bool) override {}
    void SetLabelText(const std::string&, const std::string&) override {}
    std::string GetEditText(const std::string& name) const override {
        auto it = edits_.find(name);
        return it == edits_.end() ? std::string() : it->second;
    }
    void SetEditText(const std::string& name, const std::string& text) override {
        auto it = edits_.find(name);
        if (it != edits_.end()) it->second = text;
    }
    bool HasEdit(const std::string& name) const { return edits_.count(name) != 0; }

private:
    std::map<std::string, int> buttons_;
    std::map<std::string, std::string> edits_;
};

FakeControls SchedulePanel() {
    return FakeControls({"BUTTON_START_EVERY", "BUTTON_START_AFTER_EVERY", "BUTTON_START_AFTER_EVERY_MONTH",
                         "BUTTON_START_AFTER_EVERY_WEEK", "BUTTON_START_AFTER_EVERY_DAY",
                         "BUTTON_AUTOSCAN_ENABLE"},
                        {"EDIT_SCAN_PERIOD"});
}

FakeControls AdvancedPanel() {
    return FakeControls({"BUTTON_STARTUP", "BUTTON_AUTOSCAN", "BUTTON_BACKUP"}, {"EDIT_BAKUP_COUNT"});
}

class FixedClock : public IClock {
public:
    explicit FixedClock(std::int64_t now) : now_(now) {}
    std::int64_t Now() const override { return now_; }
    std::int64_t FromLocalTime(int, int, int, int, int, int) const override { return 946688461; }

private:
    std::int64_t now_;
};

constexpr std::int64_t kNow = 1796532287;

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ScanEnabled = 1;
        NextScanTime = 0;
        ScanPeriod = 0;
        StartScanAtLaunch = 0;
    }
    std::string Text(const std::string& name) {
        std::uint32_t type = 0;
        std::vector<std::uint8_t> bytes;
        if (!reg.GetValue(kSettingsPath, name, &type, &bytes)) return "<absent>";
        EXPECT_EQ(type, kRegSz) << name;
        EXPECT_FALSE(bytes.empty());
        EXPECT_EQ(bytes.back(), 0) << name << " is written with its terminating zero";
        return std::string(bytes.begin(), bytes.end() - 1);
    }
    std::int64_t Dword(const std::string& name) {
        std::uint32_t type = 0;
        std::vector<std::uint8_t> bytes;
        if (!reg.GetValue(kSettingsPath, name, &type, &bytes)) return -1;
        EXPECT_EQ(type, kRegDword);
        EXPECT_EQ(bytes.size(), 4u);
        return static_cast<std::int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t(bytes[3]) << 24);
    }

    MemoryRegistry reg;
};

TEST_F(SettingsStoreTest, FreshMachineLoadsDefaultsAndWritesNothingUntilAChange) {
    FakeControls schedule = SchedulePanel();
    FakeControls advanced = AdvancedPanel();
    CSettingsStore s1(reg, schedule), s2(reg, advanced);
    for (CSettingsStore* s : {&s1, &s2}) {
        s->LoadTimetable(FixedClock(kNow));
        s->LoadButtonSettings();
        s->LoadStartScanAtLaunch();
        s->LoadEditSettings();
    }
    for (const char* b : {"BUTTON_START_EVERY", "BUTTON_START_AFTER_EVERY", "BUTTON_AUTOSCAN_ENABLE"})
        EXPECT_EQ(schedule.GetButtonCheck(b), 0) << b;
    for (const char* b : {"BUTTON_STARTUP", "BUTTON_AUTOSCAN", "BUTTON_BACKUP"})
        EXPECT_EQ(advanced.GetButtonCheck(b), 0) << b;
    EXPECT_EQ(schedule.GetEditText("EDIT_SCAN_PERIOD"), "5");
    EXPECT_EQ(advanced.GetEditText("EDIT_BAKUP_COUNT"), "5");
    EXPECT_EQ(ScanPeriod, 86460);
    EXPECT_EQ(NextScanTime, kNow + 86460);
    EXPECT_EQ(ScanEnabled, 0);  // "enablescan" is absent
    EXPECT_EQ(StartScanAtLaunch, 0);
    EXPECT_FALSE(reg.KeyExists(kSettingsPath));

    // The first write creates the key.
    s2.ToggleFlag("autoscan", "BUTTON_AUTOSCAN");
    EXPECT_EQ(advanced.GetButtonCheck("BUTTON_AUTOSCAN"), 1);
    EXPECT_EQ(Text("autoscan"), "1");
    s2.ToggleFlag("autoscan", "BUTTON_AUTOSCAN");
    EXPECT_EQ(Text("autoscan"), "<absent>");
    EXPECT_TRUE(reg.KeyExists(kSettingsPath));
}

TEST_F(SettingsStoreTest, FlagsArePresenceWhateverTheirData) {
    reg.SetString(kSettingsPath, "enablescan", "0");
    reg.SetDword(kSettingsPath, "autoscan", 0);
    reg.SetValue(kSettingsPath, "savereg", kRegBinary, {});
    FakeControls schedule = SchedulePanel();
    FakeControls advanced = AdvancedPanel();
    CSettingsStore(reg, schedule).LoadButtonSettings();
    EXPECT_EQ(schedule.GetButtonCheck("BUTTON_AUTOSCAN_ENABLE"), 1);
    EXPECT_EQ(ScanEnabled, 1);
    CSettingsStore store(reg, advanced);
    store.LoadButtonSettings();
    store.LoadStartScanAtLaunch();
    EXPECT_EQ(advanced.GetButtonCheck("BUTTON_AUTOSCAN"), 1);
    EXPECT_EQ(advanced.GetButtonCheck("BUTTON_BACKUP"), 1);
    EXPECT_EQ(StartScanAtLaunch, 1);
    // An absent value leaves a checked button checked.
    reg.CreateKeyPath("HKEY_LOCAL_MACHINE\\Software\\Other");
    store.LoadCheckState("Software\\Other", "savereg", "BUTTON_BACKUP");
    EXPECT_EQ(advanced.GetButtonCheck("BUTTON_BACKUP"), 1);
}

// Periodic scanning follows the stored setting, also when the panel loaded
// last has no switch for it (the restore centre is built after the schedule
// panels).
TEST_F(SettingsStoreTest, APanelWithoutTheSchedulingSwitchLeavesScanningAsStored) {
    reg.SetString(kSettingsPath, "enablescan", "1");
    FakeControls schedule = SchedulePanel();
    FakeControls advanced = AdvancedPanel();
    CSettingsStore(reg, schedule).LoadButtonSettings();
    CSettingsStore(reg, advanced).LoadButtonSettings();
    EXPECT_EQ(schedule.GetButtonCheck("BUTTON_AUTOSCAN_ENABLE"), 1);
    EXPECT_EQ(ScanEnabled, 1);

    // Not stored: off.
    MemoryRegistry fresh;
    ScanEnabled = 1;
    CSettingsStore(fresh, advanced).LoadButtonSettings();
    EXPECT_EQ(ScanEnabled, 0);
}

// Data longer than the first read's 256 bytes is read whole: a flag is on,
// a text comes back complete (not the default), an address is used.
TEST_F(SettingsStoreTest, DataOfAnyLengthIsReadWhole) {
    reg.SetValue(kSettingsPath, "savereg", kRegBinary, std::vector<std::uint8_t>(257, 'x'));
    reg.SetValue(kSettingsPath, "autoscan", kRegBinary, std::vector<std::uint8_t>(256, 'x'));
    reg.SetString(kSettingsPath, "savecountreg", std::string(256, '7'));  // 257 bytes with the zero
    reg.SetString(kSettingsPath, "scanminutes", std::string(255, '8'));   // 256 bytes
    EXPECT_TRUE(ReadSettingFlag(reg, kSettingsKey, "savereg"));
    EXPECT_TRUE(ReadSettingFlag(reg, kSettingsKey, "autoscan"));
    FakeControls advanced({}, {"EDIT_BAKUP_COUNT", "EDIT_SCAN_PERIOD"});
    CSettingsStore(reg, advanced).LoadEditSettings();
    EXPECT_EQ(advanced.GetEditText("EDIT_BAKUP_COUNT"), std::string(256, '7'));
    EXPECT_EQ(advanced.GetEditText("EDIT_SCAN_PERIOD"), std::string(255, '8'));

    const std::string address = "https://help.example.org/" + std::string(70000, 'q');
    ASSERT_EQ(WriteSettingText(reg, kSupportAddressSetting, address), kRegSuccess);
    EXPECT_EQ(ReadWebAddress(reg, kSupportAddressSetting, "https://fallback.example/"), address);
    std::string data;
    std::uint32_t type = 0;
    ASSERT_TRUE(ReadSettingValue(reg, kSettingsKey, kSupportAddressSetting, &data, &type));
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(data, address + std::string(1, '\0'));
}

TEST_F(SettingsStoreTest, EmptyOrMissingEditBoxLeavesTheStoredTextAlone) {
    reg.SetString(kSettingsPath, "scanminutes", "12");
    reg.SetString(kSettingsPath, "savecountreg", "3");
    FakeControls schedule = SchedulePanel();
    CSettingsStore store(reg, schedule);
    store.LoadEditSettings();
    EXPECT_EQ(schedule.GetEditText("EDIT_SCAN_PERIOD"), "12");
    schedule.SetEditText("EDIT_SCAN_PERIOD", "");
    store.SaveEditText("scanminutes", "EDIT_SCAN_PERIOD");
    store.SaveEditText("savecountreg", "EDIT_BAKUP_COUNT");  // no such edit box here
    EXPECT_EQ(Text("scanminutes"), "12");
    EXPECT_EQ(Text("savecountreg"), "3");
    schedule.SetEditText("EDIT_SCAN_PERIOD", "30");
    store.SaveEditText("scanminutes", "EDIT_SCAN_PERIOD");
    EXPECT_EQ(Text("scanminutes"), "30");
}

TEST_F(SettingsStoreTest, SaveScheduleStoresTimetableTextAndFlags) {
    FakeControls schedule = SchedulePanel();
    CSettingsStore store(reg, schedule);
    reg.SetString(kSettingsPath, "scanevery", "1");  // cleared by the save below
    schedule.SetButtonCheck("BUTTON_START_AFTER_EVERY", 1);
    schedule.SetButtonCheck("BUTTON_START_AFTER_EVERY_WEEK", 1);
    schedule.SetEditText("EDIT_SCAN_PERIOD", "7");
    ScanEnabled = 1;
    store.SaveSchedule(kNow);
    EXPECT_EQ(ScanPeriod, 604800);
    EXPECT_EQ(NextScanTime, kNow + 604800);
    EXPECT_EQ(Dword("scanperiod"), 604800);
    EXPECT_EQ(Dword("scannext"), kNow + 604800);
    EXPECT_EQ(Text("scanminutes"), "7");
    EXPECT_EQ(Text("scanevery"), "<absent>");
    EXPECT_EQ(Text("scanafterevery"), "1");
    EXPECT_EQ(Text("scanweek"), "1");
    EXPECT_EQ(Text("scanmonth"), "<absent>");
    EXPECT_EQ(Text("scanday"), "<absent>");

    // Every N minutes with N = 0: a minute, stored.
    schedule.SetButtonCheck("BUTTON_START_AFTER_EVERY", 0);
    schedule.SetButtonCheck("BUTTON_START_EVERY", 1);
    schedule.SetEditText("EDIT_SCAN_PERIOD", "0");
    store.SaveSchedule(kNow);
    EXPECT_EQ(Dword("scanperiod"), 60);
    EXPECT_EQ(Dword("scannext"), kNow + 60);
    EXPECT_EQ(Text("scanminutes"), "0");
}

TEST_F(SettingsStoreTest, TimetableSurvivesARestartThroughTheRegistry) {
    FakeControls schedule = SchedulePanel();
    CSettingsStore store(reg, schedule);
    NextScanTime = static_cast<std::int32_t>(kNow + 500);
    ScanPeriod = 120;
    store.SaveTimetable();
    NextScanTime = ScanPeriod = 0;
    store.LoadTimetable(FixedClock(kNow));
    EXPECT_EQ(NextScanTime, kNow + 500);
    EXPECT_EQ(ScanPeriod, 120);
    // A negative stored period and a non-DWORD time read as unusable.
    store.WriteTimeValue("scanperiod", -1);
    EXPECT_EQ(store.ReadTimeValue("scanperiod"), -1);
    reg.SetString(kSettingsPath, "scannext", "1796532287");
    EXPECT_EQ(store.ReadTimeValue("scannext"), 0);
    store.LoadTimetable(FixedClock(kNow));
    EXPECT_EQ(ScanPeriod, 86460);
    EXPECT_EQ(NextScanTime, kNow + 86460);
}

TEST_F(SettingsStoreTest, ScanEnabledToggleFollowsTheButtonAndIsSaved) {
    FakeControls schedule = SchedulePanel();
    CSettingsStore store(reg, schedule);
    ScanEnabled = 1;
    store.ToggleScanEnabled();
    EXPECT_EQ(ScanEnabled, 0);
    EXPECT_EQ(schedule.GetButtonCheck("BUTTON_AUTOSCAN_ENABLE"), 0);
    EXPECT_EQ(Text("enablescan"), "<absent>");
    store.ToggleScanEnabled();
    EXPECT_EQ(ScanEnabled, 1);
    EXPECT_EQ(Text("enablescan"), "1");
}

class NoRights final : public IAdministratorRights {
public:
    bool Held() override { return false; }
};

// An ordinary user cannot write under HKEY_LOCAL_MACHINE: the store writes
// nothing, says so, and the boxes keep showing what is stored. Saving what
// is already stored needs no write and succeeds.
TEST_F(SettingsStoreTest, WithoutAdministratorRightsNothingIsWrittenAndTheBoxesShowWhatIsStored) {
    reg.SetString(kSettingsPath, "savereg", "1");
    reg.SetString(kSettingsPath, "savecountreg", "7");
    reg.SetString(kRunPath, "Other", "other.exe");
    FakeControls advanced = AdvancedPanel();
    FakeControls schedule = SchedulePanel();
    CSettingsStore store(reg, advanced), scheduleStore(reg, schedule);
    store.LoadButtonSettings();
    store.LoadEditSettings();
    ASSERT_EQ(advanced.GetButtonCheck("BUTTON_BACKUP"), 1);

    NoRights none;
    SetDefaultAdministratorRights(&none);
    EXPECT_TRUE(store.SaveEditText("savecountreg", "EDIT_BAKUP_COUNT")) << "the stored text needs no write";
    EXPECT_FALSE(store.ToggleFlag("savereg", "BUTTON_BACKUP"));
    EXPECT_EQ(advanced.GetButtonCheck("BUTTON_BACKUP"), 1);
    EXPECT_FALSE(store.ToggleFlag("autoscan", "BUTTON_AUTOSCAN"));
    EXPECT_EQ(advanced.GetButtonCheck("BUTTON_AUTOSCAN"), 0);
    EXPECT_FALSE(store.ToggleStartWithWindows("C:\\Program Files\\Quillmere\\quillmere.exe"));
    EXPECT_EQ(advanced.GetButtonCheck("BUTTON_STARTUP"), 0);
    advanced.SetEditText("EDIT_BAKUP_COUNT", "3");
    EXPECT_FALSE(store.SaveEditText("savecountreg", "EDIT_BAKUP_COUNT"));
    ScanEnabled = 0;
    EXPECT_FALSE(scheduleStore.ToggleScanEnabled());
    EXPECT_EQ(ScanEnabled, 0);
    EXPECT_EQ(schedule.GetButtonCheck("BUTTON_AUTOSCAN_ENABLE"), 0);
    schedule.SetButtonCheck("BUTTON_START_EVERY", 1);
    EXPECT_FALSE(scheduleStore.SaveSchedule(kNow));
    EXPECT_FALSE(scheduleStore.SaveTimetable());
    EXPECT_NE(SettingNotSavedMessage().find("only an administrator may change"), std::string::npos);
    SetDefaultAdministratorRights(nullptr);

    EXPECT_EQ(Text("savereg"), "1");
    EXPECT_EQ(Text("savecountreg"), "7");
    for (const char* name : {"autoscan", "enablescan", "scanevery", "scanminutes"})
        EXPECT_EQ(Text(name), "<absent>") << name;
    EXPECT_EQ(Dword("scannext"), -1);
    EXPECT_FALSE(reg.ValueExists(kRunPath, kRunValueName));
    EXPECT_TRUE(store.ToggleFlag("savereg", "BUTTON_BACKUP"));
    EXPECT_EQ(Text("savereg"), "<absent>");
}

TEST_F(SettingsStoreTest, StartWithWindowsNamesTheRunningExecutable) {
    FakeControls advanced = AdvancedPanel();
    CSettingsStore store(reg, advanced);
    // No Run key: nothing is written, and the key is not created.
    store.ToggleStartWithWindows();
    EXPECT_FALSE(reg.KeyExists(kRunPath));

    reg.CreateKeyPath(kRunPath);
    advanced.SetButtonCheck("BUTTON_STARTUP", 0);
    store.ToggleStartWithWindows();
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(reg.GetValue(kRunPath, "QUILLMERE", &type, &bytes));
    EXPECT_EQ(type, kRegSz);
    const std::string exe = RunningExecutablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), StartWithWindowsCommand(exe) + '\0');

    // Started from another folder (a shortcut, the task scheduler): still
    // the program's own file, not the current directory's.
    const std::string home = CurrentDirectoryName();
    ASSERT_EQ(ChangeDirectory(".."), 0);
    store.ToggleStartWithWindows();
    store.ToggleStartWithWindows();
    ASSERT_EQ(ChangeDirectory(home.c_str()), 0);
    ASSERT_TRUE(reg.GetValue(kRunPath, "QUILLMERE", &type, &bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), StartWithWindowsCommand(exe) + '\0');

    // Loading sees it; unchecking deletes it whoever wrote it.
    FakeControls again = AdvancedPanel();
    CSettingsStore(reg, again).LoadButtonSettings();
    EXPECT_EQ(again.GetButtonCheck("BUTTON_STARTUP"), 1);
    reg.SetString(kRunPath, "QUILLMERE", "D:\\elsewhere\\quillmere.exe");
    store.ToggleStartWithWindows();
    EXPECT_EQ(advanced.GetButtonCheck("BUTTON_STARTUP"), 0);
    EXPECT_FALSE(reg.ValueExists(kRunPath, "QUILLMERE"));
}

TEST(StartWithWindowsCommand, PathWithSpacesIsQuoted) {
    EXPECT_EQ(StartWithWindowsCommand("C:\\Tools\\quillmere.exe"), "C:\\Tools\\quillmere.exe");
    EXPECT_EQ(StartWithWindowsCommand("C:\\Program Files\\Quillmere\\quillmere.exe"),
              "\"C:\\Program Files\\Quillmere\\quillmere.exe\"");
}

TEST(KnownSettings, EveryValueIsListedOnceAndFoundWithoutRegardToCase) {
    EXPECT_EQ(KnownSettings().size(), 14u);
    EXPECT_EQ(FindSetting("SupportURL")->kind, SettingKind::Address);
    ASSERT_NE(FindSetting("SaveCountReg"), nullptr);
    EXPECT_EQ(FindSetting("SaveCountReg")->kind, SettingKind::Text);
    EXPECT_EQ(FindSetting("scannext")->kind, SettingKind::Time);
    EXPECT_EQ(FindSetting("savereg")->kind, SettingKind::Flag);
    EXPECT_EQ(FindSetting("QUILLMERE"), nullptr);
    EXPECT_EQ(FindSetting("savere"), nullptr);
}

TEST(StartWithWindowsBox, OnACategoriesPanelTheStartupCategoryIgnoresTheRunValue) {
    MemoryRegistry reg;
    reg.CreateKeyPath(kRunPath);
    reg.SetString(kRunPath, "QUILLMERE", "C:\\Quillmere\\quillmere.exe");
    FakeControls categories({"BUTTON_ALL", "BUTTON_COM", "BUTTON_STARTUP"}, {});
    CSettingsStore(reg, categories).LoadButtonSettings(false);
    EXPECT_EQ(categories.GetButtonCheck("BUTTON_STARTUP"), 0);
    FakeControls advanced = AdvancedPanel();
    CSettingsStore(reg, advanced).LoadButtonSettings(true);
    EXPECT_EQ(advanced.GetButtonCheck("BUTTON_STARTUP"), 1);
}

TEST(WebAddress, OnlyHttpPagesOverrideTheBuiltInAddress) {
    EXPECT_TRUE(IsWebAddress("https://www.example.com/quillmere/"));
    EXPECT_TRUE(IsWebAddress("HTTP://example.org"));
    for (const char* bad : {"", "http://", "https://", "example.org", "C:\\Windows\\notepad.exe",
                            "file:///C:/x.exe", "https://a b", "https://a\"b", "https://a\tb", "javascript:x"})
        EXPECT_FALSE(IsWebAddress(bad)) << bad;

    MemoryRegistry reg;
    EXPECT_EQ(ReadWebAddress(reg, kSupportAddressSetting, "https://fallback.example/"), "https://fallback.example/");
    ASSERT_EQ(WriteSettingText(reg, kSupportAddressSetting, "cmd.exe"), kRegSuccess);
    EXPECT_EQ(ReadWebAddress(reg, kSupportAddressSetting, "https://fallback.example/"), "https://fallback.example/");
    ASSERT_EQ(WriteSettingText(reg, kSupportAddressSetting, "https://help.example.org/q"), kRegSuccess);
    EXPECT_EQ(ReadWebAddress(reg, kSupportAddressSetting, "https://fallback.example/"), "https://help.example.org/q");
}

}  // namespace
}  // namespace qm
