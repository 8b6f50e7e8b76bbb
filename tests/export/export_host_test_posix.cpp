// The native export host on the host's files: the registry editor's export is
// made in the process from the program's registry; other programs really run.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "emulation/registry_memory.h"
#include "repair/export_backups.h"
#include "tests/support/utf16_text.h"

namespace qm {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class ExportHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        char buffer[4096];
        ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
        home_ = buffer;
        scratch_ = home_ + "/export-host-" + std::to_string(getpid());
        std::system(("rm -rf '" + scratch_ + "'").c_str());
        ASSERT_EQ(mkdir(scratch_.c_str(), 0777), 0);
        ASSERT_EQ(chdir(scratch_.c_str()), 0);
        reg.SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\ExportProbe", "Marker", "present");
        SetDefaultRegistry(&reg);
    }
    void TearDown() override {
        SetDefaultRegistry(nullptr);
        if (!home_.empty()) {
            EXPECT_EQ(chdir(home_.c_str()), 0);
            std::system(("rm -rf '" + scratch_ + "'").c_str());
        }
    }
    std::string home_, scratch_;
    MemoryRegistry reg;
};

TEST_F(ExportHostTest, RegistryEditorExportLandsInTheBackupFolderUnderTheDatedName) {
    auto host = MakeExportHost();
    const ExportTime before = host->GetLocalTime();
    const ExportResult r = BackupRegistry(*host, reg);
    const ExportTime after = host->GetLocalTime();
    ASSERT_TRUE(r.Succeeded()) << r.message;
    const std::string folder = scratch_ + "/Registry Backups/";
    ASSERT_EQ(r.backupFile.rfind(folder, 0), 0u) << r.backupFile;
    const std::string name = r.backupFile.substr(folder.size());
    EXPECT_GE(name, ExportFileName(before));
    EXPECT_LE(name, ExportFileName(after));
    EXPECT_NE(access("1.reg", F_OK), 0);

    const std::string text = ReadFile(r.backupFile);
    EXPECT_EQ(text.substr(0, 2), "\xFF\xFE");
    EXPECT_NE(text.find(testing::Utf16Bytes("Windows Registry Editor Version 5.00")), std::string::npos);
    EXPECT_NE(text.find(testing::Utf16Bytes("[HKEY_LOCAL_MACHINE\\SOFTWARE\\ExportProbe]")), std::string::npos);
    EXPECT_EQ(text.find(testing::Utf16Bytes("HKEY_CURRENT_USER")), std::string::npos);
}

TEST_F(ExportHostTest, ProgramThatNeverWritesGivesUpWithinTheBound) {
    ExportOptions options;
    options.editor = "sleep";
    options.parameters = "30";
    options.waitLimitMs = 700;
    options.retryMs = 50;
    auto host = MakeExportHost();
    const auto start = std::chrono::steady_clock::now();
    const ExportResult r = BackupRegistry(*host, reg, options);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.status, ExportStatus::TimedOut);
    EXPECT_GE(took, std::chrono::milliseconds(700));
    EXPECT_LT(took, std::chrono::milliseconds(3000));
    EXPECT_NE(r.message.find("0.7 seconds"), std::string::npos) << r.message;
}

TEST_F(ExportHostTest, ProgramThatEndsWithoutWritingOrCannotStartIsReported) {
    ExportOptions options;
    options.editor = "true";
    options.parameters = "";
    auto host = MakeExportHost();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(BackupRegistry(*host, reg, options).status, ExportStatus::EditorFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    options.editor = "no-such-registry-editor-here";
    EXPECT_EQ(BackupRegistry(*MakeExportHost(), reg, options).status, ExportStatus::EditorNotStarted);
    // A malformed export command line is refused like a missing editor.
    options.editor = "regedit.exe";
    options.parameters = "/e 1.reg HKEY_NOWHERE";
    EXPECT_EQ(BackupRegistry(*MakeExportHost(), reg, options).status, ExportStatus::EditorNotStarted);
}

}  // namespace
}  // namespace qm
