// fix and restore on the hives of an offline Windows installation where the
// hive files themselves set limits: HKEY_CLASSES_ROOT made of two hives, keys
// holding values the hive library cannot write, and what an interrupted
// write leaves behind.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "emulation/hive_registry_posix.h"
#include "emulation/reg_file.h"
#include "tests/cli/cli_process.h"
#include "tests/support/hive_maker.h"
#include "tests/support/registry_dump.h"
#include "tests/support/utf16_text.h"

namespace qm {
namespace {

using testing::RunCli;

const std::string kDemo = std::string(QM_TEST_DATA_DIR) + "/../../demo";
const std::string kConfig = "/Windows/System32/config/";
const std::string kNtUser = "/Users/User/NTUSER.DAT";
const std::string kClasses = "/Users/User/AppData/Local/Microsoft/Windows/UsrClass.dat";
const std::string kMachineClsid = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\";
const std::string kUserClsid = "HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\";
const std::string kUninstall = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

void Shell(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

std::string Bytes(const std::string& file) { return testing::ReadWholeFile(file); }

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// A fresh folder `name` holding the demonstration's drive C: and hives made
// from demo.reg with what `add` puts in besides.
template <typename Add>
void MakeInstallation(const std::string& name, Add add) {
    Shell("rm -rf " + name + " && mkdir " + name + " && cp -r '" + kDemo + "/C' " + name + "/");
    MemoryRegistry reg;
    LoadRegFile(kDemo + "/demo.reg", reg);
    add(reg);
    testing::WriteHiveSet(reg, name + "/C");
}

// Every key and value of a hive (keys, value names, types and bytes) as sorted lines.
std::vector<std::string> HiveContents(const std::string& file) {
    HiveRegistry reg;
    reg.Mount(file, "HKEY_USERS\\H", false);
    return testing::SortedDump(testing::DumpTree(reg, kHkeyUsers, "H"));
}

struct Hives {
    std::vector<std::string> software, system, ntuser, classes;
    bool operator==(const Hives& o) const {
        return software == o.software && system == o.system && ntuser == o.ntuser && classes == o.classes;
    }
};

Hives ReadHives(const std::string& root) {
    return Hives{HiveContents(root + kConfig + "SOFTWARE"), HiveContents(root + kConfig + "SYSTEM"),
                 HiveContents(root + kNtUser), HiveContents(root + kClasses)};
}

// The lines of `all` that mention `part`.
std::vector<std::string> Lines(const std::vector<std::string>& all, const std::string& part) {
    std::vector<std::string> out;
    for (const std::string& line : all)
        if (line.find(part) != std::string::npos) out.push_back(line);
    return out;
}

nlohmann::json Json(const testing::CliRun& run) { return nlohmann::json::parse(run.out); }

int Fixed(const nlohmann::json& fix, const std::string& label) {
    for (const auto& row : fix["rows"])
        if (row["label"] == label) return row["fixed"].get<int>();
    ADD_FAILURE() << "no row " << label;
    return 0;
}

const char* const kShared = "{0A1B2C3D-0000-4000-8000-00000000C0DE}";

// A class registered for the whole machine and intact (its server exists),
// registered again by the user with a server that is gone.
void AddUserOnlyBreakage(MemoryRegistry& reg) {
    const std::string machine = kMachineClsid + kShared;
    reg.SetString(machine, "", "Shared Control");
    reg.SetString(machine + "\\InprocServer32", "", "C:\\Windows\\System32\\oleaut32.dll");
    reg.SetString(machine + "\\InprocServer32", "ThreadingModel", "Both");
    reg.SetString(machine + "\\ProgID", "", "Shared.Control.1");
    reg.SetString(machine + "\\Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}", "", "");
    const std::string user = kUserClsid + kShared;
    reg.SetString(user, "", "Shared Control (per user)");
    reg.SetString(user + "\\InprocServer32", "", "C:\\Users\\User\\AppData\\Local\\Gone\\shared.dll");
}

TEST(OfflineClasses, AClassBrokenForTheUserOnlyIsRemovedFromTheUsersHiveAlone) {
    MakeInstallation("useronly", AddUserOnlyBreakage);
    const std::string root = "useronly/C";
    const Hives before = ReadHives(root);
    const std::string softwareBytes = Bytes(root + kConfig + "SOFTWARE");

    const auto scan = RunCli("--windows " + root + " scan --categories com --json");
    ASSERT_EQ(scan.exitCode, 1) << scan.err;
    std::map<std::string, std::string> hiveOf;
    const auto scanned = Json(scan);
    for (const auto& f : scanned["findings"]) hiveOf[f["key"].get<std::string>()] = f.value("hive", "");
    ASSERT_EQ(hiveOf.size(), 3u) << scan.out;
    EXPECT_EQ(hiveOf["HKEY_CLASSES_ROOT\\CLSID\\" + std::string(kShared)], "user") << scan.out;
    EXPECT_EQ(hiveOf["HKEY_CLASSES_ROOT\\CLSID\\{6C1F7F4A-0B52-4C88-9F0B-3A1D2F9E0A11}"], "machine") << scan.out;
    const auto text = RunCli("--windows " + root + " scan --categories com");
    EXPECT_NE(text.out.find(std::string(kShared) + "  [(Default)]  C:\\Users\\User\\AppData\\Local\\Gone\\shared.dll  (user's classes)"),
              std::string::npos)
        << text.out;

    const auto fix = RunCli("--windows " + root + " fix --categories com --json");
    ASSERT_EQ(fix.exitCode, 0) << fix.err;
    EXPECT_EQ(Fixed(Json(fix), "Invalid CLSID"), 3);
    const Hives fixed = ReadHives(root);
    // The user's class went; the machine's registration shows through, whole.
    EXPECT_TRUE(Lines(fixed.classes, kShared).empty());
    EXPECT_EQ(Lines(fixed.software, kShared), Lines(before.software, kShared));
    EXPECT_FALSE(Lines(before.software, kShared).empty());
    EXPECT_TRUE(Lines(fixed.software, "{6C1F7F4A-0B52-4C88-9F0B-3A1D2F9E0A11}").empty());
    EXPECT_EQ(RunCli("--windows " + root + " scan --categories com").exitCode, 0);

    // The backup holds the user's key, marked as the user's, and nothing of the machine's.
    const std::string backup = Json(fix)["backup"];
    const std::string xml = Bytes(backup);
    EXPECT_NE(xml.find("<k name=\"HKEY_CLASSES_ROOT\" hive=\"user\">"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<k name=\"HKEY_CLASSES_ROOT\" hive=\"machine\">"), std::string::npos) << xml;
    EXPECT_NE(xml.find("shared.dll"), std::string::npos) << xml;
    EXPECT_EQ(xml.find("ThreadingModel\" value=\"Both"), std::string::npos) << xml;
    EXPECT_EQ(xml.find("Shared.Control.1"), std::string::npos) << xml;
    EXPECT_EQ(xml.find("Implemented Categories"), std::string::npos) << xml;

    const auto restore = RunCli("--windows " + root + " restore " + backup);
    EXPECT_EQ(restore.exitCode, 0) << restore.out << restore.err;
    EXPECT_NE(restore.out.find("Registry Restored Successfuly"), std::string::npos) << restore.out;
    EXPECT_TRUE(ReadHives(root) == before);
    EXPECT_EQ(Lines(ReadHives(root).classes, kShared), Lines(before.classes, kShared));
    EXPECT_EQ(RunCli("--windows " + root + " scan --categories com --json").out, scan.out);
}

TEST(OfflineClasses, AMachineClassUnderAUserKeyOfTheSameNameIsNotTheMachinesToLose) {
    // The user's key of a class is deleted first, as Windows deletes through
    // HKEY_CLASSES_ROOT; the machine's then shows, and a second fix takes it.
    MakeInstallation("bothbroken", [](MemoryRegistry& reg) {
        const std::string machine = kMachineClsid + kShared;
        reg.SetString(machine, "", "Shared Control");
        reg.SetString(machine + "\\InprocServer32", "", "C:\\Gone\\machine.dll");
        reg.SetString(machine + "\\ProgID", "", "Shared.Control.1");
        reg.SetString(kUserClsid + kShared + "\\InprocServer32", "", "C:\\Gone\\user.dll");
    });
    const std::string root = "bothbroken/C";
    const Hives before = ReadHives(root);
    auto fix = RunCli("--windows " + root + " fix --categories com --json");
    ASSERT_EQ(fix.exitCode, 0) << fix.err;
    const Hives once = ReadHives(root);
    EXPECT_TRUE(Lines(once.classes, kShared).empty());
    EXPECT_EQ(Lines(once.software, kShared), Lines(before.software, kShared));
    const std::string first = Json(fix)["backup"];

    const auto scan = RunCli("--windows " + root + " scan --categories com --json");
    ASSERT_EQ(scan.exitCode, 1) << scan.err;
    ASSERT_EQ(Json(scan)["findings"].size(), 1u) << scan.out;
    EXPECT_EQ(Json(scan)["findings"][0]["hive"], "machine");
    fix = RunCli("--windows " + root + " fix --categories com --json");
    ASSERT_EQ(fix.exitCode, 0) << fix.err;
    EXPECT_TRUE(Lines(ReadHives(root).software, kShared).empty());

    // Restored newest first, each key goes back to its own hive.
    EXPECT_EQ(RunCli("--windows " + root + " restore " + Json(fix)["backup"].get<std::string>()).exitCode, 0);
    EXPECT_EQ(RunCli("--windows " + root + " restore " + first).exitCode, 0);
    EXPECT_TRUE(ReadHives(root) == before);
}

// Without administrator rights: a class of the user's own classes counts as
// the user's, as a Run value of NTUSER.DAT does. A fix that would remove a
// machine's class refuses and changes nothing; with the machine's kept, the
// user's class goes and the export before it is of HKEY_CURRENT_USER.
TEST(OfflineClasses, WithoutAdministratorRightsOnlyTheUsersOwnClassGoesAndItsHiveIsExported) {
    MakeInstallation("userclassrights", [](MemoryRegistry& reg) {
        AddUserOnlyBreakage(reg);
        reg.SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\QUILLMERE", "savereg", "1");
    });
    const std::string root = "userclassrights/C";
    // What the fix keeps goes to an ignore list of the test's own.
    const std::string windows = "--windows " + root + " --ignore-file userclassrights/ignore.lst ";
    const Hives before = ReadHives(root);
    const std::string softwareBytes = Bytes(root + kConfig + "SOFTWARE");
    const auto scan = Json(RunCli(windows + "scan --categories com --json"));
    std::vector<std::string> machineFiles;
    std::string firstMachineKey;
    for (const auto& f : scan["findings"]) {
        if (f.value("hive", "") == "user") continue;
        machineFiles.push_back(f["path"].get<std::string>());
        if (firstMachineKey.empty()) firstMachineKey = f["key"].get<std::string>();
    }
    ASSERT_EQ(machineFiles.size(), 2u) << scan.dump(1);

    // The fixes run as an ordinary user's.
    struct OrdinaryUser {
        OrdinaryUser() { ::setenv("QUILLMERE_ORDINARY_USER", "1", 1); }
        ~OrdinaryUser() { ::unsetenv("QUILLMERE_ORDINARY_USER"); }
    } ordinaryUser;
    const auto refused = RunCli(windows + "fix --categories com");
    EXPECT_EQ(refused.exitCode, 2) << refused.out;
    EXPECT_NE(refused.err.find("needs administrator rights to remove \"" + firstMachineKey + "\" and 1 more"),
              std::string::npos)
        << refused.err;
    EXPECT_TRUE(ReadHives(root) == before) << "a refused fix changed a hive";

    std::string keep;
    for (const std::string& file : machineFiles) keep += " --keep \"" + file + "\"";
    const auto fixed = RunCli(windows + "fix --categories com --json" + keep);
    ASSERT_EQ(fixed.exitCode, 0) << fixed.err << fixed.out;
    EXPECT_TRUE(Lines(ReadHives(root).classes, kShared).empty());
    EXPECT_EQ(Bytes(root + kConfig + "SOFTWARE"), softwareBytes) << "the machine's hive was written";
    const auto report = Json(fixed);
    ASSERT_TRUE(report["registryExport"].is_string()) << fixed.out;
    const std::string exported = Bytes(report["registryExport"].get<std::string>());
    EXPECT_NE(exported.find(testing::Utf16Bytes("[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\" +
                                                std::string(kShared) + "]")),
              std::string::npos);
    EXPECT_EQ(exported.find(testing::Utf16Bytes("[HKEY_LOCAL_MACHINE")), std::string::npos);
    std::remove(report["registryExport"].get<std::string>().c_str());
}

// 20,000 bytes: more than a hive keeps in one cell.
std::vector<std::uint8_t> BigData() {
    std::vector<std::uint8_t> bytes(20000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    return bytes;
}

TEST(OfflineBigData, AFindingWhoseKeyHoldsABigValueStaysAndTheRestIsFixed) {
    MakeInstallation("bigfinding", [](MemoryRegistry& reg) {
        reg.SetValue(kUninstall + "ContosoViewer", "Manifest", kRegBinary, BigData());
    });
    const std::string root = "bigfinding/C";
    const Hives before = ReadHives(root);

    const auto fix = RunCli("--windows " + root + " fix --json");
    ASSERT_EQ(fix.exitCode, 0) << fix.err;
    const auto json = Json(fix);
    EXPECT_EQ(Fixed(json, "Invalid Uninstall Entries"), -1) << fix.out;  // refused, as access denied
    EXPECT_EQ(Fixed(json, "Invalid CLSID"), 2) << fix.out;
    EXPECT_EQ(Fixed(json, "Invalid Startup Programs"), 1) << fix.out;
    const Hives fixed = ReadHives(root);
    EXPECT_EQ(Lines(fixed.software, "ContosoViewer"), Lines(before.software, "ContosoViewer"));
    EXPECT_TRUE(Lines(fixed.software, "ContosoUpdater").empty());

    // The backup lists what went, and only that.
    const std::string backup = json["backup"];
    const std::string xml = Bytes(backup);
    EXPECT_EQ(xml.find("ContosoViewer"), std::string::npos) << xml;
    EXPECT_NE(xml.find("ContosoUpdater"), std::string::npos) << xml;

    const auto restore = RunCli("--windows " + root + " restore " + backup);
    EXPECT_EQ(restore.exitCode, 0) << restore.out << restore.err;
    EXPECT_TRUE(ReadHives(root) == before);
}

TEST(OfflineBigData, ABigValueBesideTheFindingsLeavesTheirRepairAlone) {
    MakeInstallation("bigbeside", [](MemoryRegistry& reg) {
        const std::string version = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
        // Beside the key of a removed value, beside a removed key, and below
        // the key of a removed value (whose backup holds its sub-keys too).
        reg.SetValue(kUninstall + "LargeProduct", "Manifest", kRegBinary, BigData());
        reg.SetString(kUninstall + "LargeProduct", "DisplayName", "Large Product");
        reg.SetValue(version + "App Paths\\large.exe", "Data", kRegBinary, BigData());
        reg.SetValue(version + "Run\\Large", "Data", kRegBinary, BigData());
        reg.SetString(version + "Run\\Large", "Small", "kept as it is");
    });
    const std::string root = "bigbeside/C";
    const Hives before = ReadHives(root);
    const auto scan = RunCli("--windows " + root + " scan --json");
    ASSERT_EQ(scan.exitCode, 1) << scan.err;

    const auto fix = RunCli("--windows " + root + " fix --json");
    ASSERT_EQ(fix.exitCode, 0) << fix.out << fix.err;
    const auto json = Json(fix);
    int fixedAll = 0;
    for (const auto& row : json["rows"]) fixedAll += row["fixed"].get<int>();
    EXPECT_EQ(fixedAll, 11) << fix.out;
    EXPECT_EQ(RunCli("--windows " + root + " scan").exitCode, 0);
    const Hives fixed = ReadHives(root);
    EXPECT_EQ(Lines(fixed.software, "LargeProduct"), Lines(before.software, "LargeProduct"));

    const auto restore = RunCli("--windows " + root + " restore " + json["backup"].get<std::string>());
    EXPECT_EQ(restore.exitCode, 0) << restore.out << restore.err;
    EXPECT_TRUE(ReadHives(root) == before);
    EXPECT_EQ(RunCli("--windows " + root + " scan --json").out, scan.out);
}

TEST(OfflineCommit, WhatAnInterruptedWriteLeftIsRemovedByTheNextRun) {
    MakeInstallation("leftover", [](MemoryRegistry&) {});
    const std::string root = "leftover/C";
    const std::string config = root + kConfig;
    const std::string software = config + "SOFTWARE";
    const std::string bytes = Bytes(software);
    // A killed commit's new hive, the copy of an original, and one of the user's hive.
    Shell("cp " + software + " " + software + ".4242.tmp && head -c 1000 " + software + " > " + software +
          ".orig.977.tmp && cp " + root + kNtUser + " " + root + kNtUser + ".31337.tmp");
    // Not theirs: other names, and a folder.
    Shell("touch " + config + "SOFTWARE.tmp " + config + "SOFTWARE.12a.tmp " + config + "OTHER.55.tmp && mkdir " +
          config + "SYSTEM.66.tmp");

    const auto scan = RunCli("--windows " + root + " scan --categories fonts");
    EXPECT_EQ(scan.exitCode, 1) << scan.err;
    for (const std::string& gone : {software + ".4242.tmp", software + ".orig.977.tmp", root + kNtUser + ".31337.tmp"}) {
        EXPECT_FALSE(Exists(gone)) << gone;
        EXPECT_NE(scan.err.find(gone), std::string::npos) << scan.err;
    }
    for (const char* kept : {"SOFTWARE.tmp", "SOFTWARE.12a.tmp", "OTHER.55.tmp", "SYSTEM.66.tmp"})
        EXPECT_TRUE(Exists(config + kept)) << kept;
    EXPECT_EQ(Bytes(software), bytes);

    // A run that changes the hives removes them too, and says nothing when there are none.
    Shell("cp " + software + " " + software + ".4243.tmp");
    const auto fix = RunCli("--windows " + root + " fix --categories fonts");
    EXPECT_EQ(fix.exitCode, 0) << fix.err;
    EXPECT_FALSE(Exists(software + ".4243.tmp"));
    EXPECT_NE(fix.err.find(software + ".4243.tmp"), std::string::npos) << fix.err;
    EXPECT_EQ(RunCli("--windows " + root + " scan --categories fonts").err, "");
}


TEST(OfflineCommit, AChangeOneHiveRefusesLeavesEveryHiveFileAsItWas) {
    MakeInstallation("refused", [](MemoryRegistry& reg) {
        reg.SetValue("HKEY_CURRENT_USER\\Software\\Large", "Data", kRegBinary, BigData());
    });
    const std::string root = "refused/C";
    const std::string software = root + kConfig + "SOFTWARE", ntuser = root + kNtUser;
    const std::string softwareBytes = Bytes(software), ntuserBytes = Bytes(ntuser);
    HiveRegistry reg;
    reg.Mount(software, "HKEY_LOCAL_MACHINE\\SOFTWARE", true);
    reg.Mount(ntuser, "HKEY_CURRENT_USER", true);
    reg.Memory().SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\QmNew", "", "new");
    // Past HiveRegistry's own refusal, as only a fault could get there.
    reg.Memory().SetString("HKEY_CURRENT_USER\\Software\\Large", "Other", "x");
    EXPECT_THROW(reg.Commit(), HiveError);
    EXPECT_EQ(Bytes(software), softwareBytes);
    EXPECT_EQ(Bytes(ntuser), ntuserBytes);
    EXPECT_FALSE(Exists(software + ".orig"));
}

}  // namespace
}  // namespace qm
