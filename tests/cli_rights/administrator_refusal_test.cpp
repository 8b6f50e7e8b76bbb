// The commands that change the registry refuse without administrator rights,
// with exit status 2, before they read or write anything; the others work as
// before. Only the user's own entries (HKEY_CURRENT_USER) may be removed and
// put back without them. The commands run in this process on a registry in
// memory, with the rights check replaced by a fake.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "platform/administrator_rights.h"
#ifndef _WIN32
#include "emulation/drive_map.h"
#include "emulation/mapped_system.h"
#endif
#include "platform/registry.h"
#include "emulation/registry_memory.h"
#include "platform/settings_values.h"

namespace qm {
namespace {

constexpr const char* kSettings = "HKEY_LOCAL_MACHINE\\Software\\QUILLMERE";
constexpr const char* kBrokenAppPath =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\gone.exe";

class FakeRights final : public IAdministratorRights {
public:
    bool held = false;
    int asked = 0;
    bool Held() override {
        ++asked;
        return held;
    }
};

struct Outcome {
    int exitCode = -1;
    std::string error;  // what main would print after "quillmere-cli: "
};

std::vector<std::string> FixedOnFiles() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("."))
        if (entry.path().filename().string().rfind("FixedOn", 0) == 0) names.push_back(entry.path().string());
    return names;
}

class AdministratorRefusal : public ::testing::Test {
protected:
    void SetUp() override {
        SetDefaultRegistry(&registry_);
        SetDefaultAdministratorRights(&rights_);
        ASSERT_EQ(registry_.SetString(kBrokenAppPath, "", "C:\\gone\\gone.exe"), kRegSuccess);
        ASSERT_EQ(registry_.SetString(kSettings, "savecountreg", "5"), kRegSuccess);
        ASSERT_EQ(registry_.SetString(kSettings, "savereg", "1"), kRegSuccess);
    }
    void TearDown() override {
        SetDefaultAdministratorRights(nullptr);
        SetDefaultRegistry(nullptr);
    }

    // Parses and runs one command line as quillmere-cli's main does.
    Outcome Run(std::vector<std::string> args) {
        cli::CliState state;
        state.ignoreFile = "administrator-refusal-ignore.lst";
        CLI::App app{"test", "quillmere-cli"};
        app.require_subcommand(1);
        cli::AddFixCommand(app, state);
        cli::AddRestoreCommand(app, state);
        cli::AddSettingsCommand(app, state);
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        Outcome outcome;
        try {
            app.parse(reversed);
            outcome.exitCode = state.exitCode;
        } catch (const cli::CliError& e) {
            outcome.exitCode = cli::kExitError;
            outcome.error = e.what();
        }
        return outcome;
    }

    std::string Setting(const char* name) {
        std::string data;
        if (!ReadSettingValue(registry_, kSettingsKey, name, &data, nullptr, kKeyRead)) return "(absent)";
        return data.substr(0, data.find('\0'));
    }

    MemoryRegistry registry_;
    FakeRights rights_;
};

TEST_F(AdministratorRefusal, EveryRegistryChangingCommandRefusesAndChangesNothing) {
    const std::vector<std::vector<std::string>> commands = {
        {"fix"},
        {"fix", "--categories", "apppaths,fonts", "--keep", "C:\\gone\\gone.exe"},
        {"fix", "--categories", "startup,shortcuts"},
        {"restore", "FixedOnSundayDecember062026050645.xml"},
        {"settings", "set", "savecountreg", "9"},
        {"settings", "set", "enablescan"},
        {"settings", "set", "savereg", "off"},
        {"settings", "unset", "savereg"},
    };
    for (const auto& args : commands) {
        SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : std::string()));
        const int askedBefore = rights_.asked;
        const Outcome outcome = Run(args);
        EXPECT_EQ(outcome.exitCode, cli::kExitError);
        EXPECT_NE(outcome.error.find("needs administrator rights"), std::string::npos) << outcome.error;
        EXPECT_NE(outcome.error.find("nothing was changed"), std::string::npos) << outcome.error;
        EXPECT_EQ(rights_.asked, askedBefore + 1);
    }
    EXPECT_TRUE(registry_.KeyExists(kBrokenAppPath));
    EXPECT_EQ(Setting("savecountreg"), "5");
    EXPECT_EQ(Setting("savereg"), "1");
    EXPECT_EQ(Setting("enablescan"), "(absent)");
    EXPECT_TRUE(FixedOnFiles().empty()) << "a refused fix wrote a backup file";
    EXPECT_FALSE(std::filesystem::exists("administrator-refusal-ignore.lst")) << "a refused fix kept something";
}

TEST_F(AdministratorRefusal, ReadingNeedsNoRightsAndWritingGoesAheadWithThem) {
    Outcome read = Run({"settings", "get", "savecountreg"});
    EXPECT_EQ(read.exitCode, cli::kExitClean) << read.error;
    EXPECT_EQ(rights_.asked, 0) << "settings get asked for administrator rights";

    // An unknown name is a usage error whatever the rights.
    Outcome unknown = Run({"settings", "set", "nosuchsetting", "1"});
    EXPECT_EQ(unknown.exitCode, cli::kExitError);
    EXPECT_NE(unknown.error.find("unknown setting"), std::string::npos) << unknown.error;

    rights_.held = true;
    Outcome set = Run({"settings", "set", "savecountreg", "9"});
    EXPECT_EQ(set.exitCode, cli::kExitClean) << set.error;
    EXPECT_EQ(Setting("savecountreg"), "9");
    Outcome unset = Run({"settings", "unset", "savereg"});
    EXPECT_EQ(unset.exitCode, cli::kExitClean) << unset.error;
    EXPECT_EQ(Setting("savereg"), "(absent)");
}

#ifndef _WIN32
// (Natively, with drive C: mapped onto a scratch folder.)
// A per-user program deleted by hand: its Run value, uninstall entry and App
// Paths key in the user's hive, beside intact machine-wide entries of the
// same names and the broken machine-wide App Paths key of SetUp.
class UserEntriesWithoutRights : public AdministratorRefusal {
protected:
    static constexpr const char* kUserRun = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    static constexpr const char* kMachineRun =
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    static constexpr const char* kUserUninstall =
        "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool";
    static constexpr const char* kMachineUninstall =
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool";

    void SetUp() override {
        AdministratorRefusal::SetUp();
        for (const auto& name : FixedOnFiles()) std::filesystem::remove(name);
        std::filesystem::remove_all("Registry Backups");
        std::filesystem::remove("administrator-refusal-ignore.lst");
        std::filesystem::remove_all("rights-c");
        std::filesystem::create_directories("rights-c/Tool");
        std::ofstream("rights-c/Tool/tool.exe").put('x');
        std::ofstream("rights-c/Tool/uninst.exe").put('x');
        drives_.Map('C', std::filesystem::absolute("rights-c").string());
        system_ = std::make_unique<MappedSystem>(drives_);
        SetDefaultSystem(system_.get());
        const std::string local = "C:\\Users\\User\\AppData\\Local\\Tool\\";
        ASSERT_EQ(registry_.SetString(kMachineRun, "Tool", "\"C:\\Tool\\tool.exe\" /tray"), kRegSuccess);
        ASSERT_EQ(registry_.SetString(kUserRun, "Tool", "\"" + local + "Update.exe\" --processStart \"tool.exe\""),
                  kRegSuccess);
        ASSERT_EQ(registry_.SetString(kMachineUninstall, "UninstallString", "\"C:\\Tool\\uninst.exe\" /S"),
                  kRegSuccess);
        ASSERT_EQ(registry_.SetString(kUserUninstall, "UninstallString", "\"" + local + "uninst.exe\" /S"),
                  kRegSuccess);
    }
    void TearDown() override {
        SetDefaultSystem(nullptr);
        AdministratorRefusal::TearDown();
        std::filesystem::remove_all("rights-c");
        for (const auto& name : FixedOnFiles()) std::filesystem::remove(name);
        std::filesystem::remove_all("Registry Backups");
        std::filesystem::remove("administrator-refusal-ignore.lst");
    }

    DriveMap drives_;
    std::unique_ptr<MappedSystem> system_;
};

TEST_F(UserEntriesWithoutRights, AFixRemovingOnlyTheUsersEntriesGoesAheadAndItsBackupGoesBack) {
    const Outcome fixed = Run({"fix", "--categories", "startup,uninstall"});
    EXPECT_EQ(fixed.exitCode, cli::kExitClean) << fixed.error;
    EXPECT_FALSE(registry_.ValueExists(kUserRun, "Tool"));
    EXPECT_FALSE(registry_.ValueExists(kUserUninstall, "UninstallString"));
    // The machine's entries of the same names are intact and untouched.
    EXPECT_TRUE(registry_.ValueExists(kMachineRun, "Tool"));
    EXPECT_TRUE(registry_.ValueExists(kMachineUninstall, "UninstallString"));
    EXPECT_TRUE(registry_.KeyExists(kBrokenAppPath));
    const std::vector<std::string> backups = FixedOnFiles();
    ASSERT_EQ(backups.size(), 1u);
    // With "savereg" set the user's hive is exported, not the machine's.
    std::vector<std::string> exports;
    for (const auto& entry : std::filesystem::directory_iterator("Registry Backups"))
        exports.push_back(entry.path().string());
    ASSERT_EQ(exports.size(), 1u);
    std::ifstream in(exports[0], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string text;  // the export is UTF-16: its ASCII letters alone
    for (char c : bytes)
        if (c != '\0') text.push_back(c);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software"), std::string::npos);
    EXPECT_EQ(text.find("HKEY_LOCAL_MACHINE"), std::string::npos);

    // Its backup holds the user's keys alone and goes back without rights.
    const Outcome restored = Run({"restore", backups[0]});
    EXPECT_EQ(restored.exitCode, cli::kExitClean) << restored.error;
    EXPECT_TRUE(registry_.ValueExists(kUserRun, "Tool"));
    EXPECT_TRUE(registry_.ValueExists(kUserUninstall, "UninstallString"));
}

TEST_F(UserEntriesWithoutRights, AFixThatWouldRemoveMoreIsRefusedAfterItsScanWithNothingChanged) {
    const Outcome refused = Run({"fix", "--categories", "startup,apppaths"});
    EXPECT_EQ(refused.exitCode, cli::kExitError);
    EXPECT_EQ(refused.error,
              "fix needs administrator rights to remove \"" + std::string(kBrokenAppPath) +
                  "\", which lies outside HKEY_CURRENT_USER: run it from a command prompt started with \"Run as "
                  "administrator\" or leave it with --keep; nothing was changed");
    EXPECT_EQ(rights_.asked, 1);
    EXPECT_TRUE(registry_.ValueExists(kUserRun, "Tool"));
    EXPECT_TRUE(registry_.KeyExists(kBrokenAppPath));
    EXPECT_TRUE(FixedOnFiles().empty());
    EXPECT_FALSE(std::filesystem::exists("Registry Backups"));
    EXPECT_FALSE(std::filesystem::exists("administrator-refusal-ignore.lst"));

    // Kept, the machine's entry stays and the user's goes.
    const Outcome kept = Run({"fix", "--categories", "startup,apppaths", "--keep", "C:\\gone\\gone.exe"});
    EXPECT_EQ(kept.exitCode, cli::kExitClean) << kept.error;
    EXPECT_FALSE(registry_.ValueExists(kUserRun, "Tool"));
    EXPECT_TRUE(registry_.KeyExists(kBrokenAppPath));
    EXPECT_TRUE(std::filesystem::exists("administrator-refusal-ignore.lst"));

    // A backup naming the machine's keys is not restored without rights.
    const std::vector<std::string> backups = FixedOnFiles();
    ASSERT_EQ(backups.size(), 1u);
    std::filesystem::remove("administrator-refusal-ignore.lst");
    rights_.held = true;
    ASSERT_EQ(Run({"fix", "--categories", "apppaths"}).exitCode, cli::kExitClean);
    rights_.held = false;
    EXPECT_FALSE(registry_.KeyExists(kBrokenAppPath));
    for (const std::string& backup : FixedOnFiles()) {
        if (backup == backups[0]) continue;
        const Outcome machine = Run({"restore", backup});
        EXPECT_EQ(machine.exitCode, cli::kExitError);
        EXPECT_NE(machine.error.find("restore needs administrator rights"), std::string::npos) << machine.error;
    }
    EXPECT_FALSE(registry_.KeyExists(kBrokenAppPath));
}

#endif  // _WIN32

TEST(AdministratorRights, ThePlatformCheckHoldsWhereTheTestsRun) {
    // Natively every process counts as holding them; under Wine the prefix's
    // user is an administrator on an elevated token.
    SetDefaultAdministratorRights(nullptr);
    EXPECT_TRUE(DefaultAdministratorRights().Held());
    FakeRights fake;
    SetDefaultAdministratorRights(&fake);
    EXPECT_FALSE(DefaultAdministratorRights().Held());
    EXPECT_EQ(fake.asked, 1);
    SetDefaultAdministratorRights(nullptr);
    EXPECT_TRUE(DefaultAdministratorRights().Held());
}

}  // namespace
}  // namespace qm
