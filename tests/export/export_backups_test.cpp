// The export-and-prune sequence against a host simulated in memory: files in a
// table, a clock that moves only when the export sleeps, and an editor whose
// behaviour each test chooses.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "emulation/registry_memory.h"
#include "repair/export_backups.h"

namespace qm {
namespace {

const std::string kSettingsPath = "HKEY_LOCAL_MACHINE\\Software\\QUILLMERE";
const std::string kCwd = "C:\\work";
const std::string kWork = "C:\\work\\1.reg";
const std::string kFolder = "C:\\work\\Registry Backups";

class FakeHost : public IExportHost {
public:
    enum class Editor {
        Writes,              // creates 1.reg, holds it open for `holdSleeps` pauses, then ends
        RunsWithoutWriting,  // never writes and never ends
        EndsWithoutWriting,  // ends at once without writing
        CannotStart,
    };

    Editor editor = Editor::Writes;
    bool tracked = true;  // false: the editor's process cannot be watched
    bool movableWhileOpen = false;
    int holdSleeps = 3;
    std::string exportText = "EXPORT";
    ExportTime time{2026, 12, 6, 5, 6, 45};
    std::map<std::string, std::string> files;
    std::vector<std::string> dirs;
    std::vector<std::string> undeletable;
    // Enumeration order of the backup folder: names in this order first,
    // the rest after them in table order.
    std::vector<std::string> enumerationOrder;
    std::uint64_t now = 1000;
    int moveAttempts = 0;
    bool started = false;
    std::string startedProgram, startedParameters;

    std::string GetCurrentDirectoryA() override { return kCwd; }
    char PathSeparator() const override { return '\\'; }
    ExportTime GetLocalTime() override { return time; }
    bool FileExists(const std::string& path) override {
        return files.count(path) != 0 || std::find(dirs.begin(), dirs.end(), path) != dirs.end();
    }
    bool DeleteFileA(const std::string& path) override {
        if (std::find(undeletable.begin(), undeletable.end(), path) != undeletable.end()) return false;
        if (writing_ && path == kWork) return false;
        return files.erase(path) != 0;
    }
    bool CreateDirectoryA(const std::string& path) override {
        if (FileExists(path)) return false;
        dirs.push_back(path);
        return true;
    }
    bool MoveFileA(const std::string& from, const std::string& to) override {
        ++moveAttempts;
        if (writing_ && from == kWork && !movableWhileOpen) return false;  // open for writing
        auto it = files.find(from);
        if (it == files.end() || FileExists(to)) return false;
        const std::string folder = to.substr(0, to.rfind('\\'));
        if (std::find(dirs.begin(), dirs.end(), folder) == dirs.end()) return false;
        files[to] = it->second;
        files.erase(it);
        if (writing_ && from == kWork) movedWhileWriting_ = to;
        return true;
    }
    std::vector<std::string> FindFileNames(const std::string& pattern) override {
        EXPECT_EQ(pattern, kFolder + "\\*.reg");
        std::vector<std::string> names{".", ".."};
        for (const auto& n : enumerationOrder)
            if (files.count(kFolder + "\\" + n)) names.push_back(n);
        for (const auto& [path, text] : files) {
            if (path.rfind(kFolder + "\\", 0) != 0) continue;
            const std::string name = path.substr(kFolder.size() + 1);
            if (name.size() < 4 || name.substr(name.size() - 4) != ".reg") continue;
            if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
        }
        return names;
    }
    bool StartEditor(const std::string& program, const std::string& parameters) override {
        startedProgram = program;
        startedParameters = parameters;
        if (editor == Editor::CannotStart) return false;
        started = true;
        if (editor == Editor::Writes) {
            files[kWork] = "";  // created at once, filled while held open
            writing_ = true;
            sleeps_ = 0;
        }
        return true;
    }
    EditorState EditorStatus() override {
        if (!tracked) return EditorState::Unknown;
        if (!started) return EditorState::Ended;
        switch (editor) {
            case Editor::Writes: return writing_ ? EditorState::Running : EditorState::Ended;
            case Editor::RunsWithoutWriting: return EditorState::Running;
            default: return EditorState::Ended;
        }
    }
    std::uint64_t Milliseconds() override { return now; }
    void Sleep(std::uint32_t ms) override {
        now += ms;
        if (writing_ && ++sleeps_ >= holdSleeps) {
            files[movedWhileWriting_.empty() ? kWork : movedWhileWriting_] = exportText;
            writing_ = false;
        }
    }

    std::vector<std::string> Backups() const {
        std::vector<std::string> out;
        for (const auto& [path, text] : files)
            if (path.rfind(kFolder + "\\", 0) == 0) out.push_back(path.substr(kFolder.size() + 1));
        return out;
    }

private:
    bool writing_ = false;
    int sleeps_ = 0;
    std::string movedWhileWriting_;
};

class ExportBackupsTest : public ::testing::Test {
protected:
    void AddBackups(std::initializer_list<const char*> names) {
        if (std::find(host.dirs.begin(), host.dirs.end(), kFolder) == host.dirs.end())
            host.dirs.push_back(kFolder);
        for (const char* n : names) host.files[kFolder + "\\" + n] = "old";
    }
    FakeHost host;
    MemoryRegistry reg;
};

TEST(ExportFileName, DatedNamesSortInTimeOrder) {
    EXPECT_EQ(ExportFileName({2026, 12, 6, 5, 6, 45}), "2026-12-06_05-06-45.reg");
    EXPECT_EQ(ExportFileName({999, 1, 2, 3, 4, 5}), "0999-01-02_03-04-05.reg");
    EXPECT_LT(ExportFileName({2026, 9, 30, 23, 59, 59}), ExportFileName({2026, 10, 1, 0, 0, 0}));
}

TEST_F(ExportBackupsTest, ExportIsMovedUnderTheDatedNameOnceTheEditorHasEnded) {
    host.holdSleeps = 5;
    host.movableWhileOpen = true;  // as some programs' files are: the end of the editor still counts
    const ExportResult r = BackupRegistry(host, reg);
    ASSERT_TRUE(r.Succeeded()) << r.message;
    EXPECT_EQ(host.startedProgram, "regedit.exe");
    EXPECT_EQ(host.startedParameters, "/e 1.reg HKEY_LOCAL_MACHINE");
    EXPECT_EQ(r.backupFile, kFolder + "\\2026-12-06_05-06-45.reg");
    EXPECT_EQ(host.files[r.backupFile], "EXPORT");
    EXPECT_EQ(host.files.count(kWork), 0u);
    EXPECT_EQ(host.moveAttempts, 1);
    EXPECT_EQ(host.now, 1000u + 5 * kExportRetryMs);
    EXPECT_TRUE(r.message.empty());
}

TEST_F(ExportBackupsTest, UnwatchedEditorIsWaitedForByRetryingTheMove) {
    host.tracked = false;
    host.holdSleeps = 4;
    const ExportResult r = BackupRegistry(host, reg);
    ASSERT_TRUE(r.Succeeded()) << r.message;
    EXPECT_EQ(host.files[r.backupFile], "EXPORT");
    EXPECT_EQ(host.moveAttempts, 5);
    // An unwatched editor that never writes ends at the bound.
    host.editor = FakeHost::Editor::RunsWithoutWriting;
    host.now = 0;
    EXPECT_EQ(BackupRegistry(host, reg).status, ExportStatus::TimedOut);
    EXPECT_GE(host.now, kExportWaitLimitMs);
}

TEST_F(ExportBackupsTest, KeepsTheNewestThreeOfFiveWhateverTheEnumerationOrder) {
    reg.SetString(kSettingsPath, "savecountreg", "3");
    AddBackups({"2026-01-01_00-00-00.reg", "2025-06-30_10-00-00.reg", "2026-11-30_09-15-00.reg",
                "2026-03-01_00-00-00.reg"});
    // Newest first, as a directory that reuses freed slots may list them.
    host.enumerationOrder = {"2026-12-06_05-06-45.reg", "2026-11-30_09-15-00.reg",
                             "2026-03-01_00-00-00.reg", "2026-01-01_00-00-00.reg",
                             "2025-06-30_10-00-00.reg"};
    host.files[kFolder + "\\desktop.ini"] = "";  // not a backup, never counted
    const ExportResult r = BackupRegistry(host, reg);
    ASSERT_TRUE(r.Succeeded()) << r.message;
    EXPECT_EQ(r.deleted, (std::vector<std::string>{kFolder + "\\2025-06-30_10-00-00.reg",
                                                    kFolder + "\\2026-01-01_00-00-00.reg"}));
    EXPECT_EQ(host.Backups(), (std::vector<std::string>{"2026-03-01_00-00-00.reg", "2026-11-30_09-15-00.reg",
                                                        "2026-12-06_05-06-45.reg", "desktop.ini"}));
}

TEST_F(ExportBackupsTest, WithoutSaveCountRegNothingIsDeleted) {
    AddBackups({"2020-01-01_00-00-00.reg", "2021-01-01_00-00-00.reg", "2022-01-01_00-00-00.reg"});
    const ExportResult r = BackupRegistry(host, reg);
    ASSERT_TRUE(r.Succeeded());
    EXPECT_TRUE(r.deleted.empty());
    EXPECT_EQ(host.Backups().size(), 4u);
    // Data too long for the 256-byte buffer counts as absent too.
    reg.SetString(kSettingsPath, "savecountreg", std::string(300, '1'));
    host.time.second = 46;
    ASSERT_TRUE(BackupRegistry(host, reg).Succeeded());
    EXPECT_EQ(host.Backups().size(), 5u);
}

TEST_F(ExportBackupsTest, ZeroOneOrANonNumberKeepTheNewExportAlone) {
    for (const char* keep : {"0", "1", "none", "-4"}) {
        host.files.clear();
        reg.SetString(kSettingsPath, "savecountreg", keep);
        AddBackups({"2020-01-01_00-00-00.reg", "2021-01-01_00-00-00.reg"});
        const ExportResult r = BackupRegistry(host, reg);
        ASSERT_TRUE(r.Succeeded()) << keep;
        EXPECT_EQ(r.deleted.size(), 2u) << keep;
        EXPECT_EQ(host.Backups(), std::vector<std::string>{"2026-12-06_05-06-45.reg"}) << keep;
        EXPECT_EQ(host.files[r.backupFile], "EXPORT") << keep;
    }
}

TEST_F(ExportBackupsTest, OnlyExportsThisProgramNamedArePruned) {
    reg.SetString(kSettingsPath, "savecountreg", "1");
    // The user's own files in the folder, some of them dated alike.
    const std::vector<std::string> own = {"my tweaks.reg",           "2019-01-01.reg",
                                          "2019-01-01_00-00-00.REG", "2019-01-01_00-00-00_01.reg",
                                          "2019-01-01_00-00-00_x.reg", "2019-01-01_00-00-00 copy.reg",
                                          "x2019-01-01_00-00-00.reg"};
    for (const auto& name : own) host.files[kFolder + "\\" + name] = "mine";
    AddBackups({"2020-01-01_00-00-00.reg", "2020-01-01_00-00-00_2.reg"});
    const ExportResult r = BackupRegistry(host, reg);
    ASSERT_TRUE(r.Succeeded()) << r.message;
    EXPECT_EQ(r.deleted, (std::vector<std::string>{kFolder + "\\2020-01-01_00-00-00.reg",
                                                    kFolder + "\\2020-01-01_00-00-00_2.reg"}));
    for (const auto& name : own) EXPECT_EQ(host.files[kFolder + "\\" + name], "mine") << name;

    EXPECT_TRUE(IsExportFileName("2026-12-06_05-06-45.reg"));
    EXPECT_TRUE(IsExportFileName("2026-12-06_05-06-45_12.reg"));
    for (const auto& name : own) EXPECT_FALSE(IsExportFileName(name)) << name;
}

TEST_F(ExportBackupsTest, CountersSortAsNumbersAndTheNewExportStaysWhateverItsName) {
    // "_10" is newer than "_9", though it sorts before it as text.
    const std::string d = "2026-12-06_05-06-45";
    EXPECT_EQ(ExportsToDelete({d + "_10.reg", d + "_9.reg", d + ".reg", d + "_2.reg"}, true, "2"),
              (std::vector<std::string>{d + ".reg", d + "_2.reg"}));
    // The export just made is kept even when an older-looking name (a clock
    // set back) or a newer one (a clock set forward earlier) is around it.
    EXPECT_EQ(ExportsToDelete({"2030-01-01_00-00-00.reg", "2020-01-01_00-00-00.reg"}, true, "1",
                              "2020-01-01_00-00-00.reg"),
              std::vector<std::string>{"2030-01-01_00-00-00.reg"});
    EXPECT_EQ(ExportsToDelete({"2030-01-01_00-00-00.reg", "2020-01-01_00-00-00.reg"}, true, "2",
                              "2020-01-01_00-00-00.reg"),
              std::vector<std::string>{});
    // Without a new export named, the latest by name stays.
    EXPECT_EQ(ExportsToDelete({"2030-01-01_00-00-00.reg", "2020-01-01_00-00-00.reg"}, true, "0"),
              std::vector<std::string>{"2020-01-01_00-00-00.reg"});
}

TEST_F(ExportBackupsTest, CountIsReadLikeAtoi) {
    reg.SetString(kSettingsPath, "savecountreg", " 2 exports");
    AddBackups({"2020-01-01_00-00-00.reg", "2021-01-01_00-00-00.reg", "2022-01-01_00-00-00.reg"});
    const ExportResult r = BackupRegistry(host, reg);
    ASSERT_TRUE(r.Succeeded());
    EXPECT_EQ(host.Backups(), (std::vector<std::string>{"2022-01-01_00-00-00.reg", "2026-12-06_05-06-45.reg"}));
    // More allowed than present: nothing goes.
    EXPECT_TRUE(ExportsToDelete({"2020-01-01_00-00-00.reg", "2021-01-01_00-00-00.reg"}, true,
                                "99999999999999")
                    .empty());
}

TEST_F(ExportBackupsTest, StaleWorkFileIsDeletedBeforeTheEditorStarts) {
    host.files[kWork] = "STALE";
    host.holdSleeps = 2;
    const ExportResult r = BackupRegistry(host, reg);
    ASSERT_TRUE(r.Succeeded());
    EXPECT_EQ(host.files[r.backupFile], "EXPORT");
}

TEST_F(ExportBackupsTest, StaleWorkFileThatCannotBeDeletedStopsTheExport) {
    host.files[kWork] = "STALE";
    host.undeletable = {kWork};
    AddBackups({"2020-01-01_00-00-00.reg"});
    reg.SetString(kSettingsPath, "savecountreg", "0");
    const ExportResult r = BackupRegistry(host, reg);
    EXPECT_EQ(r.status, ExportStatus::StaleFileKept);
    EXPECT_FALSE(host.started);
    EXPECT_EQ(host.files[kWork], "STALE");
    EXPECT_EQ(host.Backups(), std::vector<std::string>{"2020-01-01_00-00-00.reg"});
    EXPECT_NE(r.message.find("could not be deleted"), std::string::npos) << r.message;
}

TEST_F(ExportBackupsTest, EditorThatNeverWritesGivesUpAtTheBoundAndDeletesNothing) {
    host.editor = FakeHost::Editor::RunsWithoutWriting;
    reg.SetString(kSettingsPath, "savecountreg", "0");
    AddBackups({"2020-01-01_00-00-00.reg", "2021-01-01_00-00-00.reg"});
    ExportOptions options;
    const std::uint64_t start = host.now;
    const ExportResult r = BackupRegistry(host, reg, options);
    EXPECT_EQ(r.status, ExportStatus::TimedOut);
    EXPECT_GE(host.now - start, options.waitLimitMs);
    EXPECT_LT(host.now - start, options.waitLimitMs + options.retryMs);
    EXPECT_GE(options.waitLimitMs, 5u * 60 * 1000) << "room for a large hive";
    EXPECT_EQ(host.Backups().size(), 2u);
    EXPECT_TRUE(r.deleted.empty());
    EXPECT_NE(r.message.find("10 minutes"), std::string::npos) << r.message;

    options.waitLimitMs = 1500;
    options.retryMs = 100;
    host.now = 0;
    EXPECT_EQ(BackupRegistry(host, reg, options).status, ExportStatus::TimedOut);
    EXPECT_GE(host.now, 1500u);
    EXPECT_LT(host.now, 1600u);
}

TEST_F(ExportBackupsTest, EditorThatEndsWithoutWritingIsNoticedAtOnce) {
    host.editor = FakeHost::Editor::EndsWithoutWriting;
    reg.SetString(kSettingsPath, "savecountreg", "0");
    AddBackups({"2020-01-01_00-00-00.reg"});
    const ExportResult r = BackupRegistry(host, reg);
    EXPECT_EQ(r.status, ExportStatus::EditorFailed);
    EXPECT_EQ(host.now, 1000u);  // no waiting
    EXPECT_EQ(host.Backups().size(), 1u);
    EXPECT_NE(r.message.find("ended without writing"), std::string::npos) << r.message;
}

TEST_F(ExportBackupsTest, EditorThatCannotStartIsReported) {
    host.editor = FakeHost::Editor::CannotStart;
    const ExportResult r = BackupRegistry(host, reg);
    EXPECT_EQ(r.status, ExportStatus::EditorNotStarted);
    EXPECT_NE(r.message.find("regedit.exe"), std::string::npos) << r.message;
    EXPECT_TRUE(host.Backups().empty());
}

TEST_F(ExportBackupsTest, TwoExportsInOneSecondBothKept) {
    ASSERT_TRUE(BackupRegistry(host, reg).Succeeded());
    const ExportResult second = BackupRegistry(host, reg);
    ASSERT_TRUE(second.Succeeded()) << second.message;
    EXPECT_EQ(second.backupFile, kFolder + "\\2026-12-06_05-06-45_2.reg");
    // ...and the later one sorts last, so with two kept it is the first that goes.
    reg.SetString(kSettingsPath, "savecountreg", "2");
    host.time.second = 46;
    ASSERT_TRUE(BackupRegistry(host, reg).Succeeded());
    EXPECT_EQ(host.Backups(),
              (std::vector<std::string>{"2026-12-06_05-06-45_2.reg", "2026-12-06_05-06-46.reg"}));
    // A clock set back: the new export is kept all the same.
    reg.SetString(kSettingsPath, "savecountreg", "1");
    host.time.second = 44;
    const ExportResult third = BackupRegistry(host, reg);
    ASSERT_TRUE(third.Succeeded());
    EXPECT_EQ(host.Backups(), std::vector<std::string>{"2026-12-06_05-06-44.reg"});
}

TEST_F(ExportBackupsTest, FindFilesSkipsDotsAndDesktopIni) {
    AddBackups({"b.reg", "a.reg", "desktop.ini", "Desktop.ini"});
    std::vector<std::string> list{"kept"};
    host.enumerationOrder = {"desktop.ini", "b.reg", "Desktop.ini", "a.reg"};
    const int n = FindFiles(host, kFolder + "\\", "*.reg", list);
    // The fake lists only *.reg from its table after the given order.
    EXPECT_EQ(n, 3);
    EXPECT_EQ(list, (std::vector<std::string>{"kept", kFolder + "\\b.reg", kFolder + "\\Desktop.ini",
                                              kFolder + "\\a.reg"}));
}

TEST_F(ExportBackupsTest, ExportBeforeRepairOnlyWhenSaveRegExists) {
    std::string where = "x", error = "y";
    EXPECT_TRUE(ExportBeforeRepair(reg, host, ExportOptions(), where, error));
    EXPECT_FALSE(host.started);
    EXPECT_TRUE(where.empty());
    EXPECT_TRUE(error.empty());

    reg.SetDword(kSettingsPath, "savereg", 0);  // presence is what counts
    EXPECT_TRUE(ExportBeforeRepair(reg, host, ExportOptions(), where, error));
    EXPECT_TRUE(host.started);
    EXPECT_EQ(where, kFolder + "\\2026-12-06_05-06-45.reg");

    FakeHost failing;
    failing.editor = FakeHost::Editor::CannotStart;
    EXPECT_FALSE(ExportBeforeRepair(reg, failing, ExportOptions(), where, error));
    EXPECT_TRUE(where.empty());
    EXPECT_NE(error.find("could not be started"), std::string::npos) << error;

    reg.SetValue(kSettingsPath, "savereg", kRegBinary, std::vector<std::uint8_t>(257, 1));
    EXPECT_FALSE(ExportBeforeRepairWanted(reg));
}

}  // namespace
}  // namespace qm
