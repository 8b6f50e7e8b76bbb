// Registry files that `fix` and `restore` write back keep what they did not
// change byte for byte: an 8-bit file stays in the code page it was read in,
// and names the format escapes read back the same. Each file here is laid
// out as the program writes one, so that after `fix` then `restore` it is
// exactly what it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "tests/cli/cli_process.h"

namespace qm {
namespace {

using testing::ReadWholeFile;
using testing::RunCli;
using testing::WriteWholeFile;

// Version 5.00, 8-bit, keys in the order the registry enumerates them. The
// startup entry "Gone" names a missing program; the other entries stay.
std::string StartupFile(const std::string& softwareKey, const std::string& softwareValue,
                        const std::string& runValues, bool gone = true) {
    return "Windows Registry Editor Version 5.00\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\" + softwareKey + "]\r\n" + softwareValue + "\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes]\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft]\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows]\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n" + runValues +
           (gone ? "\"Gone\"=\"C:\\\\Gone\\\\gone.exe\"\r\n" : "") + "\r\n";
}

class RegFileRewrite : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(std::system("rm -rf rewrite && mkdir -p rewrite/C && touch rewrite/C/kept.exe"), 0);
    }
    void TearDown() override { std::system("rm -rf rewrite"); }

    // `fix` of the startup entries, then a `scan` of what it wrote (nothing
    // left to find), then `restore` of its backup; returns the file after
    // the fix.
    std::string FixScanRestore(const std::string& args = "") {
        const std::string where = "--registry rewrite/r.reg --drive C=rewrite/C " + args;
        auto run = RunCli(where + "fix --categories startup --json");
        EXPECT_EQ(run.exitCode, 0) << run.err << run.out;
        std::string backup;
        try {
            backup = nlohmann::json::parse(run.out)["backup"].get<std::string>();
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what() << ": " << run.out;
            return {};
        }
        const std::string fixed = ReadWholeFile("rewrite/r.reg");
        run = RunCli(where + "scan --categories startup");
        EXPECT_EQ(run.exitCode, 0) << "the file fix wrote reads, with nothing left to find: " << run.err << run.out;
        run = RunCli(where + "restore " + backup);
        EXPECT_EQ(run.exitCode, 0) << run.err << run.out;
        std::remove(backup.c_str());
        return fixed;
    }
};

// A Windows-1252 file: every é the repair did not touch is still the byte
// E9 (not U+FFFD, not UTF-16), and the restore gives back the very file.
TEST_F(RegFileRewrite, AWindows1252FileKeepsItsBytes) {
    const std::string value = "@=\"Donn\xE9""es \x80\"", run = "\"Caf\xE9\"=\"C:\\\\kept.exe\"\r\n";
    const std::string original = StartupFile("Caf\xE9 Soft", value, run);
    WriteWholeFile("rewrite/r.reg", original);
    const std::string fixed = FixScanRestore();
    EXPECT_EQ(fixed, StartupFile("Caf\xE9 Soft", value, run, false));
    EXPECT_EQ(fixed.find("\xEF\xBF\xBD"), std::string::npos);
    EXPECT_EQ(ReadWholeFile("rewrite/r.reg"), original);
    EXPECT_EQ(ReadWholeFile("rewrite/r.reg.orig"), original);
}

// The same with the code page named; a UTF-8 file stays UTF-8.
TEST_F(RegFileRewrite, TheCodePageGivenOrChosenIsTheOneWrittenBack) {
    const std::string latin = StartupFile("Caf\xE9 Soft", "@=\"\xE9\"", "");
    WriteWholeFile("rewrite/r.reg", latin);
    EXPECT_NE(FixScanRestore("--codepage Windows-1252 ").find("Caf\xE9 Soft"), std::string::npos);
    EXPECT_EQ(ReadWholeFile("rewrite/r.reg"), latin);

    std::remove("rewrite/r.reg.orig");
    const std::string utf8 = StartupFile("Caf\xC3\xA9 \xE4\xB8\xAD", "@=\"\xE2\x82\xAC\"", "");
    WriteWholeFile("rewrite/r.reg", utf8);
    const std::string fixed = FixScanRestore();
    EXPECT_NE(fixed.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Caf\xC3\xA9 \xE4\xB8\xAD]"), std::string::npos) << fixed;
    EXPECT_EQ(ReadWholeFile("rewrite/r.reg"), utf8);
}

// A value name holding \r, \n, \" and \\ (escaped in the file, as the
// registry editor writes them) is written back escaped: the next scan reads
// the file, and the restore gives back the very file.
TEST_F(RegFileRewrite, EscapedValueNamesAreWrittenBackEscaped) {
    const std::string original =
        StartupFile("Acme Names", "\"a\\rb\\nc\\\"d\\\\e\"=\"x\\\\y \\\"z\\\"\"", "\"line\\nbreak\\r\"=\"C:\\\\kept.exe\"\r\n");
    WriteWholeFile("rewrite/r.reg", original);
    const std::string fixed = FixScanRestore();
    EXPECT_NE(fixed.find("\"a\\rb\\nc\\\"d\\\\e\"=\"x\\\\y \\\"z\\\"\"\r\n"), std::string::npos) << fixed;
    EXPECT_NE(fixed.find("\"line\\nbreak\\r\"=\"C:\\\\kept.exe\"\r\n"), std::string::npos) << fixed;
    EXPECT_EQ(ReadWholeFile("rewrite/r.reg"), original);
}

// A file whose text does not read in the code page named is refused with
// its line, and changes nothing; so are a code page that is none and one
// without a registry file.
TEST_F(RegFileRewrite, ACodePageThatDoesNotReadTheFileIsRefused) {
    const std::string original = StartupFile("Caf\xE9 Soft", "@=\"1\"", "");
    WriteWholeFile("rewrite/r.reg", original);
    auto run = RunCli("--registry rewrite/r.reg --drive C=rewrite/C --codepage utf-8 fix --categories startup");
    EXPECT_EQ(run.exitCode, 2) << run.out;
    EXPECT_NE(run.err.find("line 5"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("not UTF-8"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("--codepage"), std::string::npos) << run.err;
    EXPECT_EQ(ReadWholeFile("rewrite/r.reg"), original);
    EXPECT_NE(std::system("test -e rewrite/r.reg.orig"), 0);

    run = RunCli("--registry rewrite/r.reg --codepage klingon scan");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("--codepage takes"), std::string::npos) << run.err;
    run = RunCli("--codepage 1252 scan");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("--codepage goes with --registry"), std::string::npos) << run.err;
}

// A file whose lines the registry editor partly skips: `scan` reads the rest
// as the editor does, finds what is there and warns once per skipped line;
// `fix`, `restore` and `settings` would write the file back without those
// lines and refuse it untouched.
TEST_F(RegFileRewrite, LinesTheEditorSkipsAreWarnedOfByScanAndStopEveryWrite) {
    const std::string original =
        StartupFile("Soft", "@=\"1\"", "\"Bad\"=hex:01,\\\r\n#note\r\n\"Odd\"=-\"text\"\r\n");
    WriteWholeFile("rewrite/r.reg", original);
    auto run = RunCli("--registry rewrite/r.reg --drive C=rewrite/C scan --categories startup --json");
    EXPECT_EQ(run.exitCode, 1) << run.err;  // "Gone", after the skipped lines, is found
    EXPECT_NE(run.out.find("gone.exe"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Bad"), std::string::npos) << run.out;
    const std::string err = run.err;
    EXPECT_NE(err.find("warning: rewrite/r.reg: line 18: hex data continued by \"#note\""), std::string::npos) << err;
    EXPECT_NE(err.find("warning: rewrite/r.reg: line 19: text after \"=-\""), std::string::npos) << err;
    std::size_t warnings = 0;
    for (std::size_t at = err.find("warning:"); at != std::string::npos; at = err.find("warning:", at + 1)) ++warnings;
    EXPECT_EQ(warnings, 2u) << err;

    for (const char* command : {"fix --categories startup", "restore nothing.xml", "settings set autoscan on"}) {
        run = RunCli(std::string("--registry rewrite/r.reg --drive C=rewrite/C ") + command);
        EXPECT_EQ(run.exitCode, 2) << command;
        EXPECT_NE(run.err.find("line 18"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("the file holds lines the registry editor would skip, and writing it back would lose "
                               "them"),
                  std::string::npos)
            << run.err;
    }
    EXPECT_EQ(ReadWholeFile("rewrite/r.reg"), original);
    EXPECT_NE(std::system("test -e rewrite/r.reg.orig"), 0);
}

}  // namespace
}  // namespace qm
