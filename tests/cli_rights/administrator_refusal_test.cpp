// The commands that change the registry refuse without administrator rights,
// with exit status 2, before they read or write anything; the others work as
// before. The commands run in this process on a registry in memory, with the
// rights check replaced by a fake.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "platform/administrator_rights.h"
#include "platform/registry.h"
#include "platform/registry_memory.h"
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
        {"fix", "--categories", "apppaths", "--keep", "C:\\gone\\gone.exe"},
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
