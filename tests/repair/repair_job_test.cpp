// One repair job, as the windows and "fix" run it, on an in-memory registry:
// how far the ticked rows reach (the user's hive or beyond), and the order of
// its steps with the failure policy: a refusal or an ignore list that cannot
// be saved leaves everything as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "repair/export_backups.h"
#include "repair/repair_job.h"
#include "repair_fixture.h"

namespace qm {
namespace {

using test::ReadFileBytes;
using test::RepairTest;

constexpr const char* kUserRun = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kMachineFonts = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

TEST_F(RepairTest, TheReachOfTheTickedRowsNamesTheFirstEntryOutsideTheUsersHive) {
    AddFinding("Startup", kUserRun, kRemoveValue, "Tool", "tool.exe");
    AddFinding("font", kMachineFonts, kRemoveValue, "Gone", "gone.ttf");
    AddFinding("CLSID", "HKEY_CLASSES_ROOT\\CLSID\\{Mine}", kRemoveKey).SetClassesHive(ClassesHive::kUser);
    AddFinding("CLSID", "HKEY_CLASSES_ROOT\\CLSID\\{Merged}", kRemoveKey);
    AddFinding("Startup", "hkey_current_user\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", kRemoveValue, "a",
               "b");
    const FindingList& f = lib_->Findings();

    RepairReach all = ReachOf(f, {"C:\\Desk\\gone.lnk"});
    EXPECT_EQ(all.outside, 3u);
    EXPECT_EQ(all.firstOutside, kMachineFonts);
    EXPECT_FALSE(all.UserHiveOnly());
    EXPECT_STREQ(all.ExportRoot(), kMachineExportRoot);

    // The user's Run values and his own class: his hive alone.
    RepairReach own = ReachOf(f, {"C:\\Desk\\gone.lnk"}, {true, false, true, false, true, false});
    EXPECT_TRUE(own.UserHiveOnly());
    EXPECT_TRUE(own.removesRegistry);
    EXPECT_FALSE(own.removesShortcuts);
    EXPECT_STREQ(own.ExportRoot(), kUserExportRoot);

    // A class HKEY_CLASSES_ROOT does not place, and a shortcut file, are not his.
    RepairReach merged = ReachOf(f, {"C:\\Desk\\gone.lnk"}, {true, false, true, true, true, true});
    EXPECT_EQ(merged.outside, 2u);
    EXPECT_EQ(merged.firstOutside, "HKEY_CLASSES_ROOT\\CLSID\\{Merged}");
    RepairReach link = ReachOf(f, {"C:\\Desk\\gone.lnk"}, {true, false, false, false, false, true});
    EXPECT_EQ(link.firstOutside, "C:\\Desk\\gone.lnk");
    EXPECT_STREQ(link.ExportRoot(), kMachineExportRoot);

    // Kept rows (blanked) and emptied shortcuts reach nothing.
    lib_->Findings()[1]->SetKeyPath("");
    RepairReach blanked = ReachOf(f, {""}, {true, true, true, false, true});
    EXPECT_TRUE(blanked.UserHiveOnly());
    RepairReach none = ReachOf(f, {}, {false, false, false, false, false});
    EXPECT_FALSE(none.removesRegistry);
    EXPECT_STREQ(none.ExportRoot(), kMachineExportRoot);
}

class RepairJobTest : public RepairTest {
protected:
    void SetUp() override {
        RepairTest::SetUp();
        registry_.SetString(kUserRun, "Tool", "\"C:\\Users\\U\\AppData\\Local\\Tool\\Update.exe\" --processStart");
        registry_.SetString(kUserRun, "Kept", "C:\\Users\\U\\kept.exe");
        registry_.SetString(kMachineFonts, "Gone (TrueType)", "C:\\Gone\\gone.ttf");
        AddFinding("Startup", kUserRun, kRemoveValue, "Tool", "x").SetFilePath("C:\\Users\\U\\Tool\\Update.exe");
        AddFinding("Startup", kUserRun, kRemoveValue, "Kept", "x").SetFilePath("C:\\Users\\U\\kept.exe");
        AddFinding("font", kMachineFonts, kRemoveValue, "Gone (TrueType)", "x").SetFilePath("C:\\Gone\\gone.ttf");
        test::WriteFileBytes(lib_->IgnoreFile(), "C:\\Earlier\\one.dll\n");
    }
    void TearDown() override {
        for (const std::string& f : written_) std::remove(f.c_str());
        RepairTest::TearDown();
    }

    // A job on the fixture's engine whose steps leave a trace in `steps_`.
    RepairJob Job(std::vector<bool> ticked, bool administrator) {
        RepairJob job(*repair_, rows_);
        job.ticked = std::move(ticked);
        job.administrator = administrator;
        job.exportBeforeRepair = [this](std::string& where, std::string& error, const char* root) {
            steps_ += std::string("export ") + root + ";";
            if (exportFails_) {
                error = "the export failed";
                return false;
            }
            where = "Registry Backups/2026.reg";
            return true;
        };
        job.afterExport = [this] { steps_ += "after export;"; };
        job.stopRequested = [this] { return stop_; };
        job.beforeRemoval = [this] { steps_ += "removal;"; };
        return job;
    }
    RepairJobOutcome Run(RepairJob job) {
        RepairJobOutcome outcome = RunRepairJob(job);
        if (!outcome.backupFile.empty()) written_.push_back(outcome.backupFile);
        return outcome;
    }
    bool Untouched() {
        return registry_.ValueExists(kUserRun, "Tool") && registry_.ValueExists(kUserRun, "Kept") &&
               registry_.ValueExists(kMachineFonts, "Gone (TrueType)");
    }

    ResultRows rows_ = RowsFor({"Invalid Startup Programs", "Corrupt Fonts"});
    std::string steps_;
    bool exportFails_ = false;
    bool stop_ = false;
    std::vector<std::string> written_;
};

TEST_F(RepairJobTest, WithoutRightsAMachineRowIsRefusedBeforeAnythingIsExportedIgnoredOrRemoved) {
    const RepairJobOutcome outcome = Run(Job({true, false, true}, false));
    EXPECT_EQ(outcome.end, RepairEnd::NeedsAdministrator);
    EXPECT_EQ(outcome.reach.firstOutside, kMachineFonts);
    EXPECT_EQ(outcome.reach.outside, 1u);
    EXPECT_EQ(steps_, "");
    EXPECT_TRUE(outcome.backupFile.empty());
    EXPECT_TRUE(Untouched());
    EXPECT_EQ(ReadFileBytes(lib_->IgnoreFile()), "C:\\Earlier\\one.dll\n");
    EXPECT_EQ(lib_->Findings()[1]->GetKeyPath(), kUserRun) << "the unticked row was not blanked";
}

TEST_F(RepairJobTest, WithoutRightsTheUsersOwnEntriesGoAfterAnExportOfHisHive) {
    const RepairJobOutcome outcome = Run(Job({true, false, false}, false));
    EXPECT_EQ(outcome.end, RepairEnd::Done);
    EXPECT_EQ(steps_, "export HKEY_CURRENT_USER;after export;removal;");
    EXPECT_EQ(outcome.exportFile, "Registry Backups/2026.reg");
    EXPECT_FALSE(outcome.exportFailed);
    EXPECT_EQ(outcome.kept, (std::vector<std::string>{"C:\\Users\\U\\kept.exe", "C:\\Gone\\gone.ttf"}));
    EXPECT_EQ(outcome.ignored, 2u);
    ASSERT_FALSE(outcome.backupFile.empty());
    EXPECT_TRUE(outcome.backupComplete);
    EXPECT_NE(ReadFileBytes(outcome.backupFile).find("Update.exe"), std::string::npos);
    EXPECT_EQ(outcome.entriesLeft, 0);
    EXPECT_FALSE(registry_.ValueExists(kUserRun, "Tool"));
    EXPECT_TRUE(registry_.ValueExists(kUserRun, "Kept"));
    EXPECT_TRUE(registry_.ValueExists(kMachineFonts, "Gone (TrueType)"));
    lib_->LoadIgnoreList();
    EXPECT_TRUE(lib_->IsIgnored("C:\\Users\\U\\kept.exe"));
    EXPECT_TRUE(lib_->IsIgnored("C:\\Gone\\gone.ttf"));
}

TEST_F(RepairJobTest, AnIgnoreListThatCannotBeSavedRemovesNothing) {
    lib_->SetIgnoreFile("no-such-folder/ignore.lst");
    const RepairJobOutcome outcome = Run(Job({true, false, true}, true));
    EXPECT_EQ(outcome.end, RepairEnd::IgnoreListNotSaved);
    EXPECT_NE(outcome.ignoreError.find("no-such-folder/ignore.lst"), std::string::npos) << outcome.ignoreError;
    EXPECT_EQ(outcome.ignored, 0u);
    // The export came first (as before); no backup was opened, nothing removed.
    EXPECT_EQ(steps_, "export HKEY_LOCAL_MACHINE;after export;");
    EXPECT_TRUE(outcome.backupFile.empty());
    EXPECT_TRUE(outcome.backupRequested.empty());
    EXPECT_TRUE(Untouched());
}

TEST_F(RepairJobTest, AStopDuringTheExportEndsTheJobWithNothingIgnoredOrRemoved) {
    stop_ = true;
    const RepairJobOutcome outcome = Run(Job({true, false, true}, true));
    EXPECT_EQ(outcome.end, RepairEnd::Stopped);
    EXPECT_EQ(steps_, "export HKEY_LOCAL_MACHINE;after export;");
    EXPECT_TRUE(Untouched());
    EXPECT_EQ(ReadFileBytes(lib_->IgnoreFile()), "C:\\Earlier\\one.dll\n");
}

TEST_F(RepairJobTest, AFailedExportIsReportedAndEverythingTickedStillGoesWithItsBackup) {
    exportFails_ = true;
    const RepairJobOutcome outcome = Run(Job({}, true));
    EXPECT_EQ(outcome.end, RepairEnd::Done);
    EXPECT_TRUE(outcome.exportFailed);
    EXPECT_EQ(outcome.exportError, "the export failed");
    EXPECT_TRUE(outcome.exportFile.empty());
    EXPECT_TRUE(outcome.kept.empty());
    ASSERT_FALSE(outcome.backupFile.empty());
    EXPECT_EQ(outcome.entriesLeft, 0);
    EXPECT_FALSE(registry_.ValueExists(kMachineFonts, "Gone (TrueType)"));
    EXPECT_FALSE(registry_.ValueExists(kUserRun, "Kept"));
    EXPECT_EQ(FixedOf(rows_, "Corrupt Fonts"), 1);
    EXPECT_EQ(FixedOf(rows_, "Invalid Startup Programs"), 2);
}

}  // namespace
}  // namespace qm
