// quillmere-cli fix: what it removes and keeps, the ignore list, the backup
// file and its report (native: on a registry export file; Windows: on the
// real registry's help-file list, keeping every finding that is not the
// test's).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/registry.h"
#include "tests/cli/cli_process.h"

namespace qm {
namespace {

using testing::ReadWholeFile;
using testing::RunCli;
using testing::WriteWholeFile;

std::string NoCr(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '\r') out.push_back(c);
    return out;
}

bool LooksLikeBackupName(const std::string& name) {
    return name.rfind("FixedOn", 0) == 0 && name.size() > 11 &&
           name.compare(name.size() - 4, 4, ".xml") == 0;
}

#ifndef _WIN32

TEST(FixCommand, RemovesWhatIsNotKeptAndReportsTheBackup) {
    WriteWholeFile("fix.reg",
          "Windows Registry Editor Version 5.00\r\n\r\n"
          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts]\r\n"
          "\"Qm Keep (TrueType)\"=\"C:\\\\QmGone\\\\keep.ttf\"\r\n"
          "\"Qm Drop (TrueType)\"=\"C:\\\\QmGone\\\\drop.ttf\"\r\n\r\n"
          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\QmOther]\r\n"
          "\"x\"=\"C:\\\\QmGone\\\\other.ttf\"\r\n\r\n");
    std::remove("fix-ignore.lst");
    const std::string where = "--registry fix.reg --ignore-file fix-ignore.lst ";

    auto run = RunCli(where + "fix --json --categories fonts --keep 'C:\\QmGone\\keep.ttf'");
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    const auto doc = nlohmann::json::parse(run.out);
    ASSERT_EQ(doc["rows"].size(), 1u);
    EXPECT_EQ(doc["rows"][0]["label"], "Corrupt Fonts");
    EXPECT_EQ(doc["rows"][0]["found"], 2);
    EXPECT_EQ(doc["rows"][0]["fixed"], 1);
    EXPECT_EQ(doc["kept"], nlohmann::json::array({"C:\\QmGone\\keep.ttf"}));
    const std::string backup = doc["backup"];
    EXPECT_TRUE(LooksLikeBackupName(backup)) << backup;

    const std::string reg = NoCr(ReadWholeFile("fix.reg"));
    EXPECT_NE(reg.find("Qm Keep (TrueType)"), std::string::npos) << reg;
    EXPECT_EQ(reg.find("Qm Drop (TrueType)"), std::string::npos) << reg;
    EXPECT_NE(reg.find("QmOther"), std::string::npos) << reg;
    EXPECT_EQ(NoCr(ReadWholeFile("fix-ignore.lst")), "C:\\QmGone\\keep.ttf\n");
    const std::string xml = ReadWholeFile(backup);
    EXPECT_NE(xml.find("<v name=\"Qm Drop (TrueType)\" value=\"C:\\QmGone\\drop.ttf\"/>"),
              std::string::npos)
        << xml;
    EXPECT_EQ(xml.find("Qm Keep"), std::string::npos) << xml;

    // The kept entry is ignored from now on; text report.
    run = RunCli(where + "fix --categories fonts");
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    const std::string out = NoCr(run.out);
    EXPECT_NE(out.find("Corrupt Fonts"), std::string::npos) << out;
    EXPECT_EQ(out.find("kept:"), std::string::npos) << out;
    const auto at = out.find("backup: FixedOn");
    ASSERT_NE(at, std::string::npos) << out;
    const std::string second = out.substr(at + 8, out.find('\n', at) - at - 8);
    EXPECT_NE(second, backup);  // never the first backup again
    EXPECT_NE(ReadWholeFile(backup).find("Qm Drop"), std::string::npos);
    EXPECT_NE(NoCr(ReadWholeFile("fix.reg")).find("Qm Keep (TrueType)"), std::string::npos);

    for (const std::string& f : {backup, second, std::string("fix.reg"), std::string("fix.reg.orig"),
                                 std::string("fix-ignore.lst")})
        std::remove(f.c_str());
}

TEST(FixCommand, KeptShortcutStaysAndIsIgnoredFromThenOn) {
    const std::string source = std::string(QM_TEST_DATA_DIR) + "/../../demo";
    ASSERT_EQ(std::system("rm -rf fixlnk && mkdir fixlnk"), 0);
    ASSERT_EQ(std::system(("cp -r '" + source + "/demo.reg' '" + source + "/C' fixlnk/").c_str()), 0);
    const std::string where =
        "--registry fixlnk/demo.reg --drive C=fixlnk/C --ignore-file fixlnk/ignore.lst ";
    auto run = RunCli(where + "scan --json --categories shortcuts");
    const auto scan = nlohmann::json::parse(run.out);
    ASSERT_EQ(scan["shortcuts"].size(), 1u) << run.out;
    const std::string link = scan["shortcuts"][0]["path"];

    run = RunCli(where + "fix --json --categories shortcuts --keep '" + link + "'");
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    auto doc = nlohmann::json::parse(run.out);
    EXPECT_EQ(doc["rows"][0]["label"], "Missing ShortCuts");
    EXPECT_EQ(doc["rows"][0]["found"], 1);
    EXPECT_EQ(doc["rows"][0]["fixed"], 0);
    EXPECT_EQ(doc["kept"], nlohmann::json::array({link}));
    EXPECT_EQ(NoCr(ReadWholeFile("fixlnk/ignore.lst")), link + "\n");
    std::remove(std::string(doc["backup"]).c_str());

    run = RunCli(where + "fix --json --categories shortcuts");
    doc = nlohmann::json::parse(run.out);
    EXPECT_EQ(doc["rows"][0]["found"], 0) << run.out;  // ignored now
    std::remove(std::string(doc["backup"]).c_str());
    ASSERT_EQ(std::system("rm -rf fixlnk"), 0);
}

TEST(FixCommand, UnknownCategoryIsAUsageError) {
    const auto run = RunCli("fix --categories fonts,bogus");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.out.empty()) << run.out;
}

#else

// The help-file list: Wine's registry has none of its own (its font list, by
// contrast, is rewritten by Wine while programs start).
const char* const kHelpKey = "SOFTWARE\\Microsoft\\Windows\\Help";

void SetHelp(const char* name, const std::string& folder) {
    IRegistry& reg = DefaultRegistry();
    RegKeyHandle k;
    ASSERT_EQ(reg.RegCreateKeyExA(kHkeyLocalMachine, kHelpKey, k.Receive(reg), nullptr), kRegSuccess);
    reg.RegSetValueExA(k.Get(), name, kRegSz, reinterpret_cast<const std::uint8_t*>(folder.c_str()),
                       static_cast<std::uint32_t>(folder.size() + 1));
}

bool HelpExists(const char* name) {
    IRegistry& reg = DefaultRegistry();
    RegKeyHandle k;
    if (reg.RegOpenKeyExA(kHkeyLocalMachine, kHelpKey, kKeyRead, k.Receive(reg)) != kRegSuccess) return false;
    return reg.RegQueryValueExA(k.Get(), name, nullptr, nullptr, nullptr) == kRegSuccess;
}

void DeleteHelp(const char* name) {
    IRegistry& reg = DefaultRegistry();
    RegKeyHandle k;
    if (reg.RegOpenKeyExA(kHkeyLocalMachine, kHelpKey, kKeyAllAccess, k.Receive(reg)) != kRegSuccess) return;
    reg.RegDeleteValueA(k.Get(), name);
}

TEST(FixCommand, RemovesWhatIsNotKeptOnTheRealRegistry) {
    SetHelp("qmkeep.hlp", "C:\\QmGone\\");
    SetHelp("qmdrop.hlp", "C:\\QmGone\\");
    std::remove("fix-ignore.lst");
    const std::string where = "--ignore-file fix-ignore.lst ";

    // Whatever else this registry reports stays as it is.
    auto run = RunCli(where + "scan --json --categories help");
    ASSERT_EQ(run.exitCode, 1) << run.err;
    std::string keep = "--keep \"C:\\QmGone\\qmkeep.hlp\"";
    for (const auto& f : nlohmann::json::parse(run.out)["findings"]) {
        const std::string path = f["path"];
        if (path.find("QmGone") == std::string::npos) keep += " --keep \"" + path + "\"";
    }

    run = RunCli(where + "fix --json --categories help " + keep);
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    const auto doc = nlohmann::json::parse(run.out);
    EXPECT_EQ(doc["rows"][0]["label"], "Corrupt Help Files");
    EXPECT_EQ(doc["rows"][0]["fixed"], 1) << keep << "\n" << run.out;
    const std::string backup = doc["backup"];
    EXPECT_TRUE(LooksLikeBackupName(backup)) << backup;
    EXPECT_TRUE(HelpExists("qmkeep.hlp"));
    EXPECT_FALSE(HelpExists("qmdrop.hlp"));
    const std::string xml = ReadWholeFile(backup);
    EXPECT_NE(xml.find("<v name=\"qmdrop.hlp\" value=\"C:\\QmGone\\\"/>"), std::string::npos)
        << xml;
    EXPECT_EQ(xml.find("qmkeep"), std::string::npos) << xml;
    EXPECT_NE(NoCr(ReadWholeFile("fix-ignore.lst")).find("C:\\QmGone\\qmkeep.hlp\n"),
              std::string::npos);

    DeleteHelp("qmkeep.hlp");
    DeleteHelp("qmdrop.hlp");
    std::remove(backup.c_str());
    std::remove("fix-ignore.lst");
}

#endif

}  // namespace
}  // namespace qm
