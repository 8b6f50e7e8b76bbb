// Registry exports with the real registry editor of the Wine prefix, the real
// file calls and real programs standing in for an editor. Each test works in a
// scratch folder of its own, which is its current directory while it runs.
// "savecountreg" comes from a registry held in memory, so the prefix's
// settings are left alone.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "emulation/registry_memory.h"
#include "platform/handles_win32.h"
#include "repair/export_backups.h"
#include "tests/support/utf16_text.h"

namespace qm {
namespace {

const std::string kSettingsPath = "HKEY_LOCAL_MACHINE\\Software\\QUILLMERE";

std::string ReadWhole(const std::string& path) {
    std::string bytes;
    const Win32Handle h(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    if (!h) return bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(h.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    return bytes;
}

bool WriteWhole(const std::string& path, const std::string& bytes) {
    const Win32Handle h(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return false;
    DWORD written = 0;
    return WriteFile(h.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The names in a folder, sorted (no "." or "..").
std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    const FindFileHandle h(FindFirstFileA((folder + "\\*").c_str(), &data));
    if (!h) return names;
    do {
        const std::string n = data.cFileName;
        if (n != "." && n != "..") names.push_back(n);
    } while (FindNextFileA(h.Get(), &data));
    std::sort(names.begin(), names.end());
    return names;
}

void RemoveTree(const std::string& path) {
    for (const std::string& n : Names(path)) {
        const std::string child = path + "\\" + n;
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (GetFileAttributesA(child.c_str()) & FILE_ATTRIBUTE_DIRECTORY)
            RemoveTree(child);
        else
            DeleteFileA(child.c_str());
    }
    RemoveDirectoryA(path.c_str());
}

std::string ThisProgram() {
    char path[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

class RegistryExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        char cwd[MAX_PATH * 2] = {};
        GetCurrentDirectoryA(sizeof cwd, cwd);
        home_ = cwd;
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        scratch_ = home_ + "\\export-" + info->name();
        RemoveTree(scratch_);
        ASSERT_TRUE(CreateDirectoryA(scratch_.c_str(), nullptr));
        ASSERT_TRUE(SetCurrentDirectoryA(scratch_.c_str()));
        folder_ = scratch_ + "\\Registry Backups";
    }
    void TearDown() override {
        SetCurrentDirectoryA(home_.c_str());
        RemoveTree(scratch_);
    }
    void AddOldBackups(const std::vector<std::string>& names) {
        CreateDirectoryA(folder_.c_str(), nullptr);
        for (const auto& n : names) ASSERT_TRUE(WriteWhole(folder_ + "\\" + n, "old"));
    }
    // An editor that writes "1.reg" at once: the command interpreter.
    static ExportOptions QuickEditor() {
        ExportOptions o;
        o.editor = "cmd.exe";
        o.parameters = "/c echo fresh>1.reg";
        o.waitLimitMs = 60000;
        o.retryMs = 50;
        return o;
    }

    std::string home_, scratch_, folder_;
    MemoryRegistry reg;
};

TEST_F(RegistryExportTest, RealExportLandsInRegistryBackupsUnderTheDatedName) {
    auto host = MakeExportHost();
    const ExportTime before = host->GetLocalTime();
    const auto start = std::chrono::steady_clock::now();
    const ExportResult r = BackupRegistry(*host, reg);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const ExportTime after = host->GetLocalTime();
    ASSERT_TRUE(r.Succeeded()) << r.message;
    std::printf("regedit export of HKEY_LOCAL_MACHINE: %.1f s\n", seconds);

    ASSERT_EQ(r.backupFile.rfind(folder_ + "\\", 0), 0u) << r.backupFile;
    const std::string name = r.backupFile.substr(folder_.size() + 1);
    EXPECT_GE(name, ExportFileName(before));
    EXPECT_LE(name, ExportFileName(after));
    EXPECT_EQ(Names(folder_), std::vector<std::string>{name});
    EXPECT_FALSE(Exists(scratch_ + "\\1.reg"));

    const std::string text = ReadWhole(r.backupFile);
    EXPECT_EQ(text.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(text.find(testing::Utf16Bytes("Windows Registry Editor Version 5.00")), 2u);
    EXPECT_NE(text.find(testing::Utf16Bytes("[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion]")),
              std::string::npos);
    // The editor had finished when the file was moved: nothing is added later.
    Sleep(1500);
    EXPECT_EQ(ReadWhole(r.backupFile).size(), text.size());
}

TEST_F(RegistryExportTest, SaveCountThreeWithFiveExportsKeepsTheNewestThree) {
    AddOldBackups({"2024-05-01_10-00-00.reg", "2023-01-01_00-00-00.reg", "2025-02-28_23-59-59.reg",
                   "2024-12-31_12-00-00.reg"});
    ASSERT_TRUE(WriteWhole(folder_ + "\\desktop.ini", "[.ShellClassInfo]"));
    reg.SetString(kSettingsPath, "savecountreg", "3");
    const ExportResult r = BackupRegistry(*MakeExportHost(), reg);
    ASSERT_TRUE(r.Succeeded()) << r.message;
    const std::string name = r.backupFile.substr(folder_.size() + 1);
    std::vector<std::string> expected{"2024-12-31_12-00-00.reg", "2025-02-28_23-59-59.reg", name, "desktop.ini"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(folder_), expected);
    EXPECT_EQ(r.deleted.size(), 2u);
}

TEST_F(RegistryExportTest, MissingSaveCountDeletesNoneAndZeroKeepsTheNewExportAndTheUsersFiles) {
    AddOldBackups({"2023-01-01_00-00-00.reg", "2024-01-01_00-00-00.reg"});
    ASSERT_TRUE(WriteWhole(folder_ + "\\Before Upgrade.REG", "mine"));
    ExportResult r = BackupRegistry(*MakeExportHost(), reg, QuickEditor());
    ASSERT_TRUE(r.Succeeded()) << r.message;
    EXPECT_EQ(ReadWhole(r.backupFile).substr(0, 5), "fresh");
    EXPECT_EQ(Names(folder_).size(), 4u);
    EXPECT_TRUE(r.deleted.empty());

    reg.SetString(kSettingsPath, "savecountreg", "0");
    r = BackupRegistry(*MakeExportHost(), reg, QuickEditor());
    ASSERT_TRUE(r.Succeeded()) << r.message;
    EXPECT_EQ(r.deleted.size(), 3u);
    EXPECT_EQ(Names(folder_).size(), 2u);
    EXPECT_TRUE(Exists(r.backupFile));
    EXPECT_EQ(ReadWhole(folder_ + "\\Before Upgrade.REG"), "mine");
}

TEST_F(RegistryExportTest, StaleWorkFileIsNeverMoved) {
    ASSERT_TRUE(WriteWhole(scratch_ + "\\1.reg", "STALE"));
    const ExportResult r = BackupRegistry(*MakeExportHost(), reg);
    ASSERT_TRUE(r.Succeeded()) << r.message;
    const std::string text = ReadWhole(r.backupFile);
    EXPECT_EQ(text.find("STALE"), std::string::npos);
    EXPECT_EQ(text.substr(0, 2), "\xFF\xFE");

    // One that cannot be deleted stops the export before the editor starts.
    ASSERT_TRUE(WriteWhole(scratch_ + "\\1.reg", "STALE"));
    ASSERT_TRUE(SetFileAttributesA((scratch_ + "\\1.reg").c_str(), FILE_ATTRIBUTE_READONLY));
    const ExportResult kept = BackupRegistry(*MakeExportHost(), reg, QuickEditor());
    EXPECT_EQ(kept.status, ExportStatus::StaleFileKept) << kept.message;
    EXPECT_EQ(ReadWhole(scratch_ + "\\1.reg"), "STALE");
    EXPECT_EQ(Names(folder_).size(), 1u);
}

// Started by the next test in place of the registry editor: runs for a while
// and never writes anything.
TEST(ExportEditorStandIn, DISABLED_RunsWithoutWriting) { Sleep(6000); }

TEST_F(RegistryExportTest, EditorThatNeverWritesGivesUpWithinTheBound) {
    AddOldBackups({"2023-01-01_00-00-00.reg"});
    reg.SetString(kSettingsPath, "savecountreg", "0");
    ExportOptions options;
    options.editor = ThisProgram();
    options.parameters = "--gtest_also_run_disabled_tests --gtest_filter=ExportEditorStandIn.*";
    options.waitLimitMs = 1500;
    options.retryMs = 100;
    const auto start = std::chrono::steady_clock::now();
    const ExportResult r = BackupRegistry(*MakeExportHost(), reg, options);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.status, ExportStatus::TimedOut) << r.message;
    EXPECT_GE(took, std::chrono::milliseconds(1500));
    EXPECT_LT(took, std::chrono::milliseconds(4000));
    EXPECT_NE(r.message.find("no older export was deleted"), std::string::npos) << r.message;
    EXPECT_EQ(Names(folder_), std::vector<std::string>{"2023-01-01_00-00-00.reg"});
}

TEST_F(RegistryExportTest, EditorThatEndsWithoutWritingOrIsMissingIsReportedAtOnce) {
    ExportOptions options;
    options.editor = "cmd.exe";
    options.parameters = "/c exit 0";
    const auto start = std::chrono::steady_clock::now();
    ExportResult r = BackupRegistry(*MakeExportHost(), reg, options);
    EXPECT_EQ(r.status, ExportStatus::EditorFailed) << r.message;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));

    options.editor = "no-such-registry-editor.exe";
    r = BackupRegistry(*MakeExportHost(), reg, options);
    EXPECT_EQ(r.status, ExportStatus::EditorNotStarted) << r.message;
}

}  // namespace
}  // namespace qm
