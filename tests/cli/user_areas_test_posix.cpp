// Programs installed for one user register in the user's hive: their startup
// value, uninstall entry and App Paths key under HKEY_CURRENT_USER. On an
// offline installation's hives and in a registry file, the broken ones are
// found with their HKEY_CURRENT_USER key path, removed from the user's hive
// alone, and put back whole by a restore; intact entries of the same names,
// the user's and the machine's, are never touched.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "emulation/hive_registry_posix.h"
#include "emulation/reg_file.h"
#include "emulation/registry_memory.h"
#include "tests/cli/cli_process.h"
#include "tests/support/hive_maker.h"
#include "tests/support/registry_dump.h"

namespace qm {
namespace {

using testing::RunCli;

const std::string kDemo = std::string(QM_TEST_DATA_DIR) + "/../../demo";
const std::string kConfig = "/Windows/System32/config/";
const std::string kNtUser = "/Users/User/NTUSER.DAT";
const std::string kUserVersion = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\";

// "Chatter" is broken for the user (its folder under the local application
// data was deleted by hand) and intact machine-wide under the same names;
// "Kept" is the user's and intact.
const char* const kEntries = R"reg(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Run]
"Chatter"="\"C:\\Program Files\\Windows NT\\Accessories\\wordpad.exe\" /tray"

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Chatter]
"DisplayName"="Chatter (all users)"
"UninstallString"="\"C:\\Program Files\\Notepad++\\uninstall.exe\" /S"

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\chatter.exe]
@="C:\\Program Files\\Windows NT\\Accessories\\wordpad.exe"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run]
"Chatter"="\"C:\\Users\\User\\AppData\\Local\\Chatter\\Update.exe\" --processStart \"Chatter.exe\""
"Kept"="\"C:\\Users\\User\\AppData\\Local\\Kept\\Update.exe\" --processStart \"Kept.exe\""

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall\Chatter]
"DisplayName"="Chatter"
"UninstallString"="\"%LOCALAPPDATA%\\Programs\\chatter\\Uninstall Chatter.exe\" /currentuser"
"InstallLocation"="C:\\Users\\User\\AppData\\Local\\Programs\\chatter"
"EstimatedSize"=dword:0001e240

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kept]
"DisplayName"="Kept"
"UninstallString"="\"%LOCALAPPDATA%\\Programs\\kept\\Uninstall Kept.exe\" /currentuser"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\App Paths\chatter.exe]
@="C:\\Users\\User\\AppData\\Local\\Programs\\chatter\\Chatter.exe"
"Path"="C:\\Users\\User\\AppData\\Local\\Programs\\chatter"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\App Paths\chatter.exe\SupportedProtocols]
"chatter"=""

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\App Paths\kept.exe]
@="C:\\Users\\User\\AppData\\Local\\Programs\\kept\\Kept.exe"
)reg";

void Shell(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

// The demonstration's registry with the entries above.
void LoadRegistry(MemoryRegistry& reg) {
    LoadRegFile(kDemo + "/demo.reg", reg);
    LoadRegText(std::vector<std::uint8_t>(kEntries, kEntries + std::string(kEntries).size()), reg);
}

// A copy of the demonstration's drive C: in `folder` with the user's intact
// program ("Kept") installed.
void MakeDrive(const std::string& folder) {
    Shell("rm -rf " + folder + " && mkdir -p " + folder + " && cp -r '" + kDemo + "/C' " + folder + "/");
    const std::string local = folder + "/C/Users/User/AppData/Local";
    Shell("mkdir -p '" + local + "/Kept' '" + local + "/Programs/kept' && touch '" + local + "/Kept/Update.exe' '" +
          local + "/Programs/kept/Uninstall Kept.exe' '" + local + "/Programs/kept/Kept.exe'");
}

nlohmann::json Json(const testing::CliRun& run) { return nlohmann::json::parse(run.out); }

// The findings of a scan's JSON by key path, with the value named.
std::multiset<std::string> FindingKeys(const nlohmann::json& scan) {
    std::multiset<std::string> keys;
    for (const auto& f : scan["findings"]) keys.insert(f["key"].get<std::string>() + " [" + f["value"].get<std::string>() + "]");
    return keys;
}

// What a scan of the three categories must find of the entries above: the
// user's broken Chatter alone, each with its real key path.
void ExpectChatterFoundForTheUserOnly(const nlohmann::json& scan) {
    const std::multiset<std::string> keys = FindingKeys(scan);
    std::multiset<std::string> user, chatter;
    for (const std::string& k : keys) {
        if (k.rfind("HKEY_CURRENT_USER\\", 0) == 0) user.insert(k);
        if (k.find("hatter") != std::string::npos) chatter.insert(k);
    }
    const std::multiset<std::string> expected = {kUserVersion + "Run [Chatter]",
                                                 kUserVersion + "Uninstall\\chatter [UninstallString]",
                                                 kUserVersion + "App Paths\\chatter.exe [(Default)]"};
    EXPECT_EQ(user, expected) << scan.dump(1);
    EXPECT_EQ(chatter, expected) << "a machine-wide entry of the same name was reported";
    for (const auto& f : scan["findings"]) {
        if (f["key"].get<std::string>().find("Uninstall\\chatter") != std::string::npos) {
            EXPECT_EQ(f["owner"], "Chatter");
            EXPECT_EQ(f["path"], "C:\\Users\\User\\AppData\\Local\\Programs\\chatter\\Uninstall Chatter.exe");
        }
    }
    // One row per category, whichever hive its entries came from.
    std::set<std::string> labels;
    for (const auto& row : scan["rows"]) labels.insert(row["label"].get<std::string>());
    EXPECT_EQ(labels.size(), scan["rows"].size());
    EXPECT_EQ(labels.size(), 3u);
}

// Every key and value (names, types and bytes) of a hive, sorted.
std::vector<std::string> HiveContents(const std::string& file) {
    HiveRegistry reg;
    reg.Mount(file, "HKEY_USERS\\H", false);
    return testing::SortedDump(testing::DumpTree(reg, kHkeyUsers, "H"));
}

std::vector<std::string> Mentioning(const std::vector<std::string>& lines, const std::string& part) {
    std::vector<std::string> out;
    for (const std::string& line : lines)
        if (line.find(part) != std::string::npos) out.push_back(line);
    return out;
}

TEST(UserAreas, OnTheHivesTheUsersBrokenEntriesGoFromNtuserDatAloneAndComeBackWhole) {
    MakeDrive("user-areas-hives");
    const std::string root = "user-areas-hives/C";
    {
        MemoryRegistry reg;
        LoadRegistry(reg);
        testing::WriteHiveSet(reg, root);
    }
    const std::string software = root + kConfig + "SOFTWARE";
    const std::vector<std::string> softwareBefore = HiveContents(software);
    const std::vector<std::string> userBefore = HiveContents(root + kNtUser);
    const std::string categories = " --categories startup,uninstall,apppaths";

    const auto scan = RunCli("--windows " + root + " scan" + categories + " --json");
    ASSERT_EQ(scan.exitCode, 1) << scan.err;
    ExpectChatterFoundForTheUserOnly(Json(scan));
    const auto text = RunCli("--windows " + root + " scan" + categories);
    EXPECT_NE(text.out.find("KEY " + kUserVersion + "App Paths\\chatter.exe  [(Default)]"), std::string::npos)
        << text.out;

    const auto fix = RunCli("--windows " + root + " fix" + categories + " --json");
    ASSERT_EQ(fix.exitCode, 0) << fix.err;
    const std::vector<std::string> userFixed = HiveContents(root + kNtUser);
    // The user's Run value and uninstaller value go, the App Paths key whole;
    // the rest of the product's key and the intact "Kept" stay.
    EXPECT_TRUE(Mentioning(userFixed, "Chatter\\Update.exe").empty());
    EXPECT_TRUE(Mentioning(userFixed, "Uninstall Chatter.exe").empty());
    EXPECT_TRUE(Mentioning(userFixed, "chatter.exe").empty());
    EXPECT_FALSE(Mentioning(userFixed, "Uninstall\\Chatter").empty());
    EXPECT_EQ(Mentioning(userFixed, "Kept"), Mentioning(userBefore, "Kept"));
    EXPECT_FALSE(Mentioning(userBefore, "Kept").empty());
    // The machine's entries of the same names are untouched.
    const std::vector<std::string> softwareFixed = HiveContents(software);
    EXPECT_EQ(Mentioning(softwareFixed, "hatter"), Mentioning(softwareBefore, "hatter"));
    EXPECT_EQ(Mentioning(softwareBefore, "hatter").size(), 6u);

    const std::string backup = Json(fix)["backup"];
    const std::string xml = testing::ReadWholeFile(backup);
    EXPECT_NE(xml.find("<k name=\"HKEY_CURRENT_USER\">"), std::string::npos) << xml;
    EXPECT_EQ(xml.find("Chatter (all users)"), std::string::npos) << xml;

    const auto restore = RunCli("--windows " + root + " restore " + backup);
    EXPECT_EQ(restore.exitCode, 0) << restore.out << restore.err;
    // Every key and value of both hives, with its type and bytes, as before.
    EXPECT_EQ(HiveContents(root + kNtUser), userBefore);
    EXPECT_EQ(HiveContents(software), softwareBefore);
    EXPECT_EQ(RunCli("--windows " + root + " scan" + categories + " --json").out, scan.out);
    Shell("rm -rf user-areas-hives");
}

TEST(UserAreas, InARegistryFileTheUsersBrokenEntriesAreFoundRemovedAndPutBack) {
    MakeDrive("user-areas-reg");
    {
        MemoryRegistry reg;
        LoadRegistry(reg);
        SaveRegFile("user-areas-reg/registry.reg", reg, RegFileFormat::Unicode5);
    }
    const std::string prefix = "--registry user-areas-reg/registry.reg --drive C=user-areas-reg/C ";
    const auto dump = [] {
        MemoryRegistry reg;
        LoadRegFile("user-areas-reg/registry.reg", reg);
        return testing::SortedDump(testing::DumpTree(reg, kHkeyCurrentUser, "") +
                                   testing::DumpTree(reg, kHkeyLocalMachine, ""));
    };
    const std::vector<std::string> before = dump();
    const std::string categories = " --categories startup,uninstall,apppaths";

    const auto scan = RunCli(prefix + "scan" + categories + " --json");
    ASSERT_EQ(scan.exitCode, 1) << scan.err;
    ExpectChatterFoundForTheUserOnly(Json(scan));

    const auto fix = RunCli(prefix + "fix" + categories + " --json");
    ASSERT_EQ(fix.exitCode, 0) << fix.err;
    const std::vector<std::string> fixed = dump();
    EXPECT_TRUE(Mentioning(fixed, "Chatter\\Update.exe").empty());
    EXPECT_TRUE(Mentioning(fixed, "Uninstall Chatter.exe").empty());
    EXPECT_TRUE(Mentioning(fixed, "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\chatter.exe").empty());
    EXPECT_EQ(Mentioning(fixed, "Kept"), Mentioning(before, "Kept"));
    EXPECT_EQ(Mentioning(fixed, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\Chatter"),
              Mentioning(before, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\Chatter"));
    for (const char* machine : {"Uninstall\\Chatter", "App Paths\\chatter.exe"}) {
        const std::string key = std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\") + machine;
        EXPECT_EQ(Mentioning(fixed, key), Mentioning(before, key)) << key;
        EXPECT_FALSE(Mentioning(before, key).empty()) << key;
    }
    EXPECT_EQ(RunCli(prefix + "scan" + categories).exitCode, 0);

    const std::string backup = Json(fix)["backup"];
    const auto restore = RunCli(prefix + "restore " + backup);
    EXPECT_EQ(restore.exitCode, 0) << restore.out << restore.err;
    EXPECT_EQ(dump(), before);
    EXPECT_EQ(RunCli(prefix + "scan" + categories + " --json").out, scan.out);
    Shell("rm -rf user-areas-reg");
}

}  // namespace
}  // namespace qm
