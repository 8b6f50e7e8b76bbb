// A registry file with keys of the 32-bit view (below Wow6432Node, as the
// registry editor exports them): scan, fix and restore through the command
// line act in that view, and judge its files as a 32-bit program would.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
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
    return testing::SortedDump(testing::DumpTree(reg, kHkeyLocalMachine, ""));
}

const char* const kRegistry =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{0E5C3200-0000-4000-8000-000000000001}\\InprocServer32]\r\n"
    "@=\"%ProgramFiles%\\\\QmView\\\\gone.dll\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{0E5C3200-0000-4000-8000-000000000002}\\InprocServer32]\r\n"
    "@=\"%ProgramFiles%\\\\QmView\\\\here.dll\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
    "\"Ok64\"=\"C:\\\\Windows\\\\System32\\\\qmview64.exe\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
    "\"Gone32\"=\"\\\"C:\\\\QmGone32\\\\start.exe\\\" /min\"\r\n"
    "\"Ok32\"=\"C:\\\\Windows\\\\System32\\\\qmview32.exe\"\r\n\r\n";

TEST(ViewCycle, FindingsOfThe32BitViewAreFixedAndRestoredThere) {
    ASSERT_EQ(std::system("rm -rf viewcycle && mkdir -p viewcycle/C/Windows/System32 viewcycle/C/Windows/SysWOW64 "
                          "'viewcycle/C/Program Files (x86)/QmView'"),
              0);
    ASSERT_EQ(std::system("touch viewcycle/C/Windows/SysWOW64/qmview32.exe viewcycle/C/Windows/System32/qmview64.exe "
                          "'viewcycle/C/Program Files (x86)/QmView/here.dll'"),
              0);
    ASSERT_EQ(::chdir("viewcycle"), 0);
    std::ofstream("view.reg", std::ios::binary) << kRegistry;
    const std::string where = "--registry view.reg --drive C=C ";
    const auto original = Contents("view.reg");

    auto run = RunCli(where + "scan --json --categories com,startup");
    ASSERT_EQ(run.exitCode, 1) << run.err;
    const auto scan = nlohmann::json::parse(run.out);
    ASSERT_EQ(scan["findings"].size(), 2u) << run.out;
    EXPECT_EQ(scan["findings"][0]["key"], "HKEY_CLASSES_ROOT\\CLSID\\{0E5C3200-0000-4000-8000-000000000001}");
    EXPECT_EQ(scan["findings"][0]["path"], "C:\\Program Files (x86)\\QmView\\gone.dll");
    EXPECT_EQ(scan["findings"][0]["view"], "32");
    EXPECT_EQ(scan["findings"][1]["key"], "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Currentversion\\Run");
    EXPECT_EQ(scan["findings"][1]["value"], "Gone32");
    EXPECT_EQ(scan["findings"][1]["view"], "32");

    run = RunCli(where + "scan --categories startup");
    EXPECT_NE(run.out.find("[Gone32]  C:\\QmGone32\\start.exe  (32-bit view)"), std::string::npos) << run.out;

    run = RunCli(where + "fix --json --categories com,startup");
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    const std::string backup = nlohmann::json::parse(run.out)["backup"];
    const std::string text = testing::ReadWholeFile(backup);
    EXPECT_NE(text.find("<k name=\"HKEY_LOCAL_MACHINE\" view=\"32\">"), std::string::npos) << text;
    auto fixed = Contents("view.reg");
    auto expected = original;
    expected.erase(std::remove_if(expected.begin(), expected.end(),
                                  [](const std::string& line) {
                                      return line.find("{0E5C3200-0000-4000-8000-000000000001}") !=
                                                 std::string::npos ||
                                             line.find("Gone32") != std::string::npos;
                                  }),
                   expected.end());
    EXPECT_EQ(fixed, expected);

    run = RunCli(where + "restore " + backup);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(Contents("view.reg"), original);
    ASSERT_EQ(::chdir(".."), 0);
}

}  // namespace
}  // namespace qm
