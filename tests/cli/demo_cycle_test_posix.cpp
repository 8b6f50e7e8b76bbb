// The demonstration a newcomer runs: scan, fix and restore through the command
// line on a copy of demo/ give back the registry file it started from.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "emulation/reg_file.h"
#include "emulation/registry_memory.h"
#include "tests/cli/cli_process.h"
#include "tests/support/registry_dump.h"

namespace qm {
namespace {

using testing::RunCli;

std::vector<std::string> Contents(const std::string& regFile) {
    MemoryRegistry reg;
    LoadRegFile(regFile, reg);
    return testing::SortedDump(testing::DumpTree(reg, kHkeyLocalMachine, "") +
                               testing::DumpTree(reg, kHkeyCurrentUser, ""));
}

TEST(DemoCycle, ScanFixRestoreGivesBackTheOriginalRegistry) {
    const std::string source = std::string(QM_TEST_DATA_DIR) + "/../../demo";
    ASSERT_EQ(std::system("rm -rf cycle && mkdir cycle"), 0);
    ASSERT_EQ(std::system(("cp -r '" + source + "/demo.reg' '" + source + "/C' cycle/").c_str()), 0);
    ASSERT_EQ(::chdir("cycle"), 0);
    const std::string where = "--registry demo.reg --drive C=C ";
    const auto original = Contents("demo.reg");

    auto run = RunCli(where + "scan --json");
    ASSERT_EQ(run.exitCode, 1) << run.err;
    const auto scan = nlohmann::json::parse(run.out);
    EXPECT_EQ(scan["findings"].size(), 10u);
    EXPECT_EQ(scan["shortcuts"].size(), 1u);

    run = RunCli(where + "fix --json");
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    const auto fix = nlohmann::json::parse(run.out);
    const std::string backup = fix["backup"];
    ASSERT_FALSE(backup.empty());
    int fixed = 0;
    for (const auto& row : fix["rows"]) fixed += row["fixed"].get<int>();
    EXPECT_EQ(fixed, 11);  // ten registry entries and the broken shortcut
    EXPECT_EQ(Contents("demo.reg.orig"), original);  // the first fix keeps the original
    EXPECT_NE(Contents("demo.reg"), original);

    run = RunCli(where + "scan --json");
    EXPECT_EQ(run.exitCode, 0) << run.out;  // nothing left to find

    EXPECT_NE(std::system("test -e 'C/Users/Public/Desktop/Removed Program.lnk'"), 0);

    run = RunCli(where + "restore " + backup);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Registry Restored Successfuly"), std::string::npos) << run.out;
    EXPECT_EQ(Contents("demo.reg"), original);
    // The broken shortcut file is back as it was.
    EXPECT_EQ(std::system(("cmp -s 'C/Users/Public/Desktop/Removed Program.lnk' '" + source +
                           "/C/Users/Public/Desktop/Removed Program.lnk'")
                              .c_str()),
              0);
    EXPECT_EQ(std::system("test -e C/Users/Public/Desktop/App.lnk"), 0);
    ASSERT_EQ(::chdir(".."), 0);
}

TEST(DemoCycle, ArgumentErrorsOfTheNativeOptions) {
    for (const char* args : {"--drive X scan", "--drive 1=/tmp scan", "--env NOEQUALS scan",
                             "--registry /no/such/file.reg scan"}) {
        const auto run = RunCli(args);
        EXPECT_EQ(run.exitCode, 2) << args;
        EXPECT_FALSE(run.err.empty()) << args;
        EXPECT_TRUE(run.out.empty()) << args;
    }
    // A value the registry editor skips: the scan skips it too and says so,
    // a fix refuses the file.
    ASSERT_EQ(std::system("printf 'REGEDIT4\\n[HKEY_CURRENT_USER\\\\A]\\n\"v\"=hex:zz\\n' > bad.reg"), 0);
    auto run = RunCli("--registry bad.reg scan");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.err.find("warning: bad.reg: line 3"), std::string::npos) << run.err;
    run = RunCli("--registry bad.reg fix");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("line 3"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace qm
