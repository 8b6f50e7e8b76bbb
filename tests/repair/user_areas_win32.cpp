// A program installed for one user and deleted by hand, on the real registry
// (under Wine: the test prefix's): its Run value, uninstall entry and App
// Paths key in HKEY_CURRENT_USER are found with that key path, removed, and
// put back by a restore exactly as they were; the intact machine-wide entries
// of the same names are never touched. Every name carries the process id and
// is taken away afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/registry_lib.h"
#include "platform/handles_win32.h"
#include "repair/registry_repair.h"
#include "repair/restore_ui.h"
#include "repair/xml_reader.h"
#include "tests/support/registry_dump.h"

namespace qm {
namespace {

const std::string kVersion = "Software\\Microsoft\\Windows\\CurrentVersion\\";

class UserAreasWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        name_ = "QmUserAreas" + std::to_string(::GetCurrentProcessId());
        char buf[MAX_PATH];
        const DWORD n = ::GetEnvironmentVariableA("LOCALAPPDATA", buf, MAX_PATH);
        ASSERT_TRUE(n > 0 && n < MAX_PATH);
        local_.assign(buf, n);
        ASSERT_GT(::GetSystemDirectoryA(buf, MAX_PATH), 0u);
        intact_ = std::string(buf) + "\\cmd.exe";
        std::remove(kIgnoreFile);
        CleanUp();
    }
    void TearDown() override {
        CleanUp();
        std::remove(kIgnoreFile);
        for (const std::string& f : files_) std::remove(f.c_str());
    }
    void CleanUp() {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            RegistryKey run;
            if (::RegOpenKeyExA(root, (kVersion + "Run").c_str(), 0, KEY_SET_VALUE, run.Out()) == ERROR_SUCCESS)
                ::RegDeleteValueA(run.Get(), name_.c_str());
            ::RegDeleteTreeA(root, (kVersion + "Uninstall\\" + name_).c_str());
            ::RegDeleteKeyA(root, (kVersion + "Uninstall\\" + name_).c_str());
            ::RegDeleteTreeA(root, (kVersion + "App Paths\\" + name_ + ".exe").c_str());
            ::RegDeleteKeyA(root, (kVersion + "App Paths\\" + name_ + ".exe").c_str());
        }
    }
    void Set(HKEY root, const std::string& key, const char* name, const std::string& text, DWORD type = REG_SZ) {
        RegistryKey k;
        ASSERT_EQ(::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, k.Out(), nullptr),
                  ERROR_SUCCESS)
            << key;
        ASSERT_EQ(::RegSetValueExA(k.Get(), name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                                   DWORD(text.size() + 1)),
                  ERROR_SUCCESS);
    }
    // The three places of the entries in `root`, as text.
    std::string Dump(RegKey root) {
        IRegistry& reg = DefaultRegistry();
        std::string run;
        RegKeyHandle key;
        if (reg.RegOpenKeyExA(root, (kVersion + "Run").c_str(), kKeyRead, key.Receive(reg)) == kRegSuccess) {
            std::uint32_t type = 0, size = 0;
            if (reg.RegQueryValueExA(key.Get(), name_.c_str(), &type, nullptr, &size) == kRegSuccess) {
                std::vector<std::uint8_t> data(size);
                reg.RegQueryValueExA(key.Get(), name_.c_str(), &type, data.data(), &size);
                run = std::to_string(type) + ":" + std::string(data.begin(), data.end());
            }
            key.Reset();
        }
        return "Run " + run + "\n" + testing::DumpTree(reg, root, kVersion + "Uninstall\\" + name_) +
               testing::DumpTree(reg, root, kVersion + "App Paths\\" + name_ + ".exe");
    }

    static constexpr const char* kIgnoreFile = "user-areas-win32-ignore.lst";
    std::string name_, local_, intact_;
    std::vector<std::string> files_;
};

TEST_F(UserAreasWin32, TheUsersBrokenEntriesGoAndComeBackWhileTheMachinesOfTheSameNameStay) {
    const std::string gone = local_ + "\\" + name_;  // the folder deleted by hand
    Set(HKEY_CURRENT_USER, kVersion + "Run", name_.c_str(),
        "\"" + gone + "\\Update.exe\" --processStart \"" + name_ + ".exe\"");
    Set(HKEY_LOCAL_MACHINE, kVersion + "Run", name_.c_str(), "\"" + intact_ + "\" /k");
    const std::string userProduct = kVersion + "Uninstall\\" + name_;
    Set(HKEY_CURRENT_USER, userProduct, "DisplayName", name_);
    Set(HKEY_CURRENT_USER, userProduct, "UninstallString",
        "\"%LOCALAPPDATA%\\" + name_ + "\\Uninstall " + name_ + ".exe\" /currentuser", REG_EXPAND_SZ);
    Set(HKEY_CURRENT_USER, userProduct, "InstallLocation", gone);
    Set(HKEY_LOCAL_MACHINE, kVersion + "Uninstall\\" + name_, "UninstallString", "\"" + intact_ + "\" /c");
    const std::string userApp = kVersion + "App Paths\\" + name_ + ".exe";
    Set(HKEY_CURRENT_USER, userApp, nullptr, gone + "\\" + name_ + ".exe");
    Set(HKEY_CURRENT_USER, userApp, "Path", gone);
    Set(HKEY_CURRENT_USER, userApp + "\\SupportedProtocols", name_.c_str(), "");
    Set(HKEY_LOCAL_MACHINE, kVersion + "App Paths\\" + name_ + ".exe", nullptr, intact_);
    const std::string userBefore = Dump(kHkeyCurrentUser);
    const std::string machineBefore = Dump(kHkeyLocalMachine);

    EngineServices services;
    services.ignoreFile = kIgnoreFile;
    CRegistryLib lib(services);
    CRegistryRepair repair(lib);
    ResultRows rows;
    ScanCategoryStates states;
    for (Category c : {Category::Startup, Category::Uninstall, Category::AppPaths}) states[InfoFor(c).slot] = 1;
    lib.ScanRegistry(rows, states);
    ASSERT_EQ(rows.size(), 3u);
    // Ours alone are repaired (the prefix may have findings of its own).
    const auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    const std::string lowered = lower(name_);
    std::vector<std::string> keys;
    for (const auto& f : lib.Findings()) {
        if (lower(f->GetKeyPath()).find(lowered) == std::string::npos && f->GetValue()->name != name_) {
            f->SetKeyPath("");
            continue;
        }
        keys.push_back(f->GetKeyPath());
    }
    const std::string user = "HKEY_CURRENT_USER\\" + kVersion;
    // In the order the categories run.
    EXPECT_EQ(keys, (std::vector<std::string>{user + "App Paths\\" + lowered + ".exe", user + "Run",
                                              user + "Uninstall\\" + lowered}));

    const std::string backup = repair.FixRegistry(rows, "user-areas-win32.xml");
    ASSERT_FALSE(backup.empty());
    files_.push_back(backup);
    EXPECT_EQ(Dump(kHkeyLocalMachine), machineBefore);
    const std::string userFixed = Dump(kHkeyCurrentUser);
    EXPECT_EQ(userFixed.find(".exe\" --processStart"), std::string::npos) << userFixed;
    EXPECT_EQ(userFixed.find("/currentuser"), std::string::npos) << userFixed;
    EXPECT_NE(userFixed.find("InstallLocation"), std::string::npos) << userFixed;
    EXPECT_EQ(userFixed.find("SupportedProtocols"), std::string::npos) << userFixed;

    RecordingRestoreUi ui;
    repair.SetRestoreUi(&ui);
    CXmlReader reader;
    ASSERT_EQ(repair.LoadAsXml(reader, backup), 1) << repair.LastRestore().Describe();
    EXPECT_EQ(Dump(kHkeyCurrentUser), userBefore);
    EXPECT_EQ(Dump(kHkeyLocalMachine), machineBefore);
}

}  // namespace
}  // namespace qm
