// quillmere-cli fix with "savereg" set: the registry export before the repair
// (natively the editor's export is written from the registry file given with
// --registry), pruned to "savecountreg", and where it went in the report.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/directory_stream_posix.h"
#include "tests/cli/cli_process.h"
#include "tests/support/utf16_text.h"

namespace qm {
namespace {

using testing::ReadWholeFile;
using testing::RunCli;
using testing::WriteWholeFile;

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    if (const DirectoryStream d{opendir(folder.c_str())}) {
        while (const dirent* e = readdir(d.Get()))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string Registry(const std::string& settings) {
    return "Windows Registry Editor Version 5.00\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts]\r\n"
           "\"Qm Drop (TrueType)\"=\"C:\\\\QmGone\\\\drop.ttf\"\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\QUILLMERE]\r\n" +
           settings + "\r\n";
}

class FixExport : public ::testing::Test {
protected:
    void SetUp() override {
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        home_ = cwd;
        scratch_ = home_ + "/fix-export";
        std::system(("rm -rf '" + scratch_ + "'").c_str());
        ASSERT_EQ(mkdir(scratch_.c_str(), 0777), 0);
        ASSERT_EQ(chdir(scratch_.c_str()), 0);
    }
    void TearDown() override {
        EXPECT_EQ(chdir(home_.c_str()), 0);
        std::system(("rm -rf '" + scratch_ + "'").c_str());
    }
    std::string home_, scratch_;
};

TEST_F(FixExport, SaveRegExportsFirstKeepsSaveCountAndSaysWhere) {
    WriteWholeFile("fix.reg", Registry("\"savereg\"=\"1\"\r\n\"savecountreg\"=\"2\"\r\n"));
    ASSERT_EQ(mkdir("Registry Backups", 0777), 0);
    WriteWholeFile("Registry Backups/2020-01-01_00-00-00.reg", "old");
    WriteWholeFile("Registry Backups/2021-01-01_00-00-00.reg", "old");
    WriteWholeFile("Registry Backups/mine.reg", "the user's own");  // never pruned

    const auto run = RunCli("--registry fix.reg --ignore-file fix.lst fix --categories fonts");
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    const std::string marker = "registry export: " + scratch_ + "/Registry Backups/";
    const auto at = run.out.find(marker);
    ASSERT_NE(at, std::string::npos) << run.out;
    const std::string name = run.out.substr(at + marker.size(), 23);
    EXPECT_EQ(Names("Registry Backups"),
              (std::vector<std::string>{"2021-01-01_00-00-00.reg", name, "mine.reg"}));

    // The export holds the registry as it was before the repair.
    const std::string exported = ReadWholeFile("Registry Backups/" + name);
    EXPECT_EQ(exported.substr(0, 2), "\xFF\xFE");
    EXPECT_NE(exported.find(testing::Utf16Bytes("\"Qm Drop (TrueType)\"")), std::string::npos);
    EXPECT_EQ(ReadWholeFile("fix.reg").find("Qm Drop"), std::string::npos) << "the repair ran";
}

TEST_F(FixExport, WithoutSaveRegNoExportIsMade) {
    WriteWholeFile("fix.reg", Registry("\"savecountreg\"=\"0\"\r\n"));
    auto run = RunCli("--registry fix.reg --ignore-file fix.lst fix --categories fonts");
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    EXPECT_EQ(run.out.find("registry export"), std::string::npos) << run.out;
    EXPECT_TRUE(Names("Registry Backups").empty());

    run = RunCli("--registry fix.reg --ignore-file fix.lst fix --json --categories fonts");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(nlohmann::json::parse(run.out)["registryExport"].is_null());

    // Switched on with the settings command, the JSON report names the export.
    ASSERT_EQ(RunCli("--registry fix.reg settings set savereg on").exitCode, 0);
    run = RunCli("--registry fix.reg --ignore-file fix.lst fix --json --categories fonts");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string where = nlohmann::json::parse(run.out)["registryExport"];
    EXPECT_EQ(where.rfind(scratch_ + "/Registry Backups/", 0), 0u) << where;
    const std::string name = where.substr(where.rfind('/') + 1);
    EXPECT_EQ(Names("Registry Backups"), std::vector<std::string>{name})
        << "savecountreg 0 keeps the export just made";
}

TEST_F(FixExport, ExportThatCannotBeMadeIsReportedAndTheRepairStillRuns) {
    WriteWholeFile("fix.reg", Registry("\"savereg\"=\"1\"\r\n"));
    // A leftover export that cannot be deleted (a folder in its place) stops the export.
    ASSERT_EQ(mkdir("1.reg", 0777), 0);
    const auto run = RunCli("--registry fix.reg --ignore-file fix.lst fix --categories fonts");
    EXPECT_EQ(run.exitCode, 2) << run.out;
    EXPECT_NE(run.err.find("The registry was not exported"), std::string::npos) << run.err;
    EXPECT_EQ(ReadWholeFile("fix.reg").find("Qm Drop"), std::string::npos) << "the repair ran";
    EXPECT_NE(run.out.find("backup: FixedOn"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace qm
