// The scan and repair controller on an in-memory registry and system: what a
// scan runs, where a stop request ends it, what the progress callback writes
// on the screen, and the repair with its backup file.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "control/summary.h"
#include "platform/named_event.h"
#include "emulation/registry_memory.h"
#include "emulation/system_memory.h"

namespace qm {
namespace {

const char* const kSharedDlls = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// Labels by name; the other operations do nothing.
class LabelScreen : public INamedControls {
public:
    void SetButtonCheck(const std::string&, int) override {}
    int GetButtonCheck(const std::string&) const override { return 0; }
    void EnableButton(const std::string&, bool) override {}
    void HideButton(const std::string&, bool) override {}
    void EnableAllButtons(bool) override {}
    void SetLabelText(const std::string& name, const std::string& text) override { labels[name] = text; }
    std::string GetEditText(const std::string&) const override { return ""; }
    void SetEditText(const std::string&, const std::string&) override {}
    std::map<std::string, std::string> labels;
};

class SummaryTest : public ::testing::Test {
protected:
    void SetUp() override {
        NamedEvent(kStopEventName).Reset();
        std::remove(ignore_.c_str());
        // Two shared files that are gone, one that is there.
        ASSERT_EQ(registry_.SetDword(kSharedDlls, "C:\\Gone\\one.dll", 1), kRegSuccess);
        ASSERT_EQ(registry_.SetDword(kSharedDlls, "C:\\Gone\\two.dll", 1), kRegSuccess);
        ASSERT_EQ(registry_.SetDword(kSharedDlls, "C:\\Here\\kept.dll", 1), kRegSuccess);
        system_.AddFile("C:\\Here\\kept.dll");
    }
    void TearDown() override {
        NamedEvent(kStopEventName).Reset();
        std::remove(ignore_.c_str());
        for (const auto& f : written_) std::remove(f.c_str());
    }
    EngineServices Services() { return EngineServices{&registry_, &system_, ignore_}; }

    std::string ignore_ = "summary-ignore.lst";
    MemoryRegistry registry_;
    MemorySystem system_;
    std::vector<std::string> written_;
};

TEST_F(SummaryTest, NoCategorySelectedRunsNothing) {
    Summary summary(Services());
    summary.Rows().push_back(std::make_unique<CScanError>("left over", 1, 1));
    EXPECT_FALSE(summary.RunScan());
    EXPECT_TRUE(summary.Rows().empty()) << "an earlier run's rows go";
    EXPECT_TRUE(summary.Engine().Findings().empty());
}

TEST_F(SummaryTest, ASelectedCategoryRunsAndEndsDone) {
    Summary summary(Services());
    summary.States()[kSlotSharedDlls] = 1;
    EXPECT_FALSE(summary.RunScan());
    ASSERT_EQ(summary.Rows().size(), 1u);
    EXPECT_EQ(summary.Rows()[0]->label, "Corrupt Shared Files");
    EXPECT_EQ(summary.Rows()[0]->errorsFound, 2);
    EXPECT_EQ(summary.Engine().Findings().size(), 2u);
    EXPECT_EQ(summary.States()[kSlotSharedDlls], -1);
    EXPECT_EQ(summary.States()[kSlotShortcuts], 0) << "the shortcut scan was not selected";
}

TEST_F(SummaryTest, AStopRequestedBeforeTheScanRunsNothing) {
    Summary summary(Services());
    summary.States()[kSlotSharedDlls] = 1;
    summary.RequestStop();
    EXPECT_TRUE(summary.RunScan());
    EXPECT_TRUE(summary.Rows().empty());
    EXPECT_EQ(summary.States()[kSlotSharedDlls], 1);
}

// Sets the stop event through a handle of its own that is closed at once,
// the first time it is called.
int g_calls = 0;
void StopOnFirstReport(std::string, std::string, std::int32_t, std::int32_t) {
    if (g_calls++ == 0) NamedEvent(kStopEventName).Set();
}

TEST_F(SummaryTest, AStopFromTheProgressCallbackThroughAShortLivedHandleEndsTheScan) {
    // A second category after the first: it must not run.
    ASSERT_EQ(registry_.SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                                  "Gone (TrueType)", "gone.ttf"),
              kRegSuccess);
    Summary summary(Services());
    g_calls = 0;
    summary.Engine().SetProgressCallback(&StopOnFirstReport);
    summary.States()[kSlotSharedDlls] = 1;
    summary.States()[kSlotFonts] = 1;
    EXPECT_TRUE(summary.RunScan());
    for (const auto& row : summary.Rows()) EXPECT_NE(row->label, "Corrupt Fonts") << "the fonts scan ran";
    for (const auto& f : summary.Engine().Findings()) EXPECT_NE(f->GetCategory(), "font");
}

TEST_F(SummaryTest, ProgressShowsTheStatusAndErrorsFoundOfTheCurrentController) {
    LabelScreen older, newer;
    Summary first(Services());
    first.SetScreen(&older);
    {
        Summary second(Services());
        second.SetScreen(&newer);
        EXPECT_EQ(CurrentSummary.load(), &second);
        SummaryProgressCallback("C:\\Gone\\one.dll", "Scanning Shared Files", 3, 2);
        EXPECT_EQ(newer.labels[kStatusLabel], "Scanning Shared Files");
        EXPECT_EQ(newer.labels[kErrorsFoundLabel], "2");
        EXPECT_EQ(newer.labels[kCurrentItemLabel], "C:\\Gone\\one.dll") << "the line after Checking:";
        EXPECT_TRUE(older.labels.empty());
    }
    // A result window's controller has gone: the main window's is current
    // again and hears the progress of its next scan.
    EXPECT_EQ(CurrentSummary.load(), &first);
    SummaryProgressCallback("x", "Scanning Fonts", 1, 1);
    EXPECT_EQ(older.labels[kStatusLabel], "Scanning Fonts");
}

TEST_F(SummaryTest, TheNewestControllerStillAliveIsCurrentWhicheverGoesFirst) {
    auto first = std::make_unique<Summary>(Services());
    auto second = std::make_unique<Summary>(Services());
    first.reset();
    EXPECT_EQ(CurrentSummary.load(), second.get()) << "an older one going changes nothing";
    second.reset();
    EXPECT_EQ(CurrentSummary.load(), nullptr);
    SummaryProgressCallback("x", "y", 1, 1);  // no controller: nothing, no crash
}

TEST(ReadCategoryStates, EachCategoryButtonFillsItsSlotAndTheOthersAreLeftAlone) {
    class Ticks : public INamedControls {
    public:
        void SetButtonCheck(const std::string&, int) override {}
        int GetButtonCheck(const std::string& name) const override {
            return name == "BUTTON_APPPATH" || name == "BUTTON_SHORTCUTS" || name == "BUTTON_UNINSTALL" ? 1 : 0;
        }
        void EnableButton(const std::string&, bool) override {}
        void HideButton(const std::string&, bool) override {}
        void EnableAllButtons(bool) override {}
        void SetLabelText(const std::string&, const std::string&) override {}
        std::string GetEditText(const std::string&) const override { return ""; }
        void SetEditText(const std::string&, const std::string&) override {}
    } ticks;
    ScanCategoryStates states;
    for (int i = 0; i < 14; ++i) states[i] = 7;
    ReadCategoryStates(&ticks, states);
    const int expected[14] = {7, 0, 7, 0, 0, 0, 1, 0, 0, 0, 1, 1, 7, 7};
    for (int i = 0; i < 14; ++i) EXPECT_EQ(states[i], expected[i]) << "slot " << i;
    ReadCategoryStates(nullptr, states);
    for (int slot : {kSlotAppPaths, kSlotShortcuts, kSlotUninstall}) EXPECT_EQ(states[slot], 0);
    EXPECT_EQ(states[0], 7);
}

TEST_F(SummaryTest, RepairBacksUpAndRemovesTheFindingsUnlessStopped) {
    Summary summary(Services());
    summary.States()[kSlotSharedDlls] = 1;
    summary.RunScan();
    ASSERT_EQ(summary.Engine().Findings().size(), 2u);

    summary.RequestStop();
    EXPECT_EQ(summary.FixError(), "") << "stopped before it began";
    EXPECT_TRUE(registry_.ValueExists(kSharedDlls, "C:\\Gone\\one.dll"));
    summary.ClearStop();

    const std::string backup = summary.FixError();
    written_.push_back(backup);
    EXPECT_EQ(backup.rfind("FixedOn", 0), 0u) << backup;
    EXPECT_NE(backup.find(".xml"), std::string::npos);
    std::FILE* f = std::fopen(backup.c_str(), "rb");
    EXPECT_NE(f, nullptr) << "the backup is kept: it is the undo";
    if (f) std::fclose(f);
    EXPECT_FALSE(registry_.ValueExists(kSharedDlls, "C:\\Gone\\one.dll"));
    EXPECT_FALSE(registry_.ValueExists(kSharedDlls, "C:\\Gone\\two.dll"));
    EXPECT_TRUE(registry_.ValueExists(kSharedDlls, "C:\\Here\\kept.dll"));
    EXPECT_EQ(summary.Rows()[0]->errorsFixed, 2);
}

TEST_F(SummaryTest, EntriesLeftAfterARepairAreTheSelectedFindingsStillInTheRegistry) {
    Summary summary(Services());
    summary.States()[kSlotSharedDlls] = 1;
    summary.RunScan();
    ASSERT_EQ(summary.Engine().Findings().size(), 2u);
    EXPECT_EQ(summary.RegistryEntriesLeft(), 2) << "before the repair both are there";
    // An unticked finding (key path emptied) is not counted.
    summary.Engine().Findings()[1]->SetKeyPath("");
    EXPECT_EQ(summary.RegistryEntriesLeft(), 1);
    written_.push_back(summary.FixError());
    EXPECT_EQ(summary.RegistryEntriesLeft(), 0);
    // The removed value back (a deletion that did not happen): counted; the
    // kept value of the same key is not.
    ASSERT_EQ(registry_.SetDword(kSharedDlls, "C:\\Gone\\one.dll", 1), kRegSuccess);
    EXPECT_EQ(summary.RegistryEntriesLeft(), 1);

    // A key finding counts while its key is there.
    auto key = std::make_unique<CRegErrorLog>();
    key->SetKeyPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\QmLeft");
    key->SetRemoveKind(kRemoveKey);
    summary.Engine().Findings().push_back(std::move(key));
    EXPECT_EQ(summary.RegistryEntriesLeft(), 1);
    ASSERT_EQ(registry_.SetDword("HKEY_LOCAL_MACHINE\\SOFTWARE\\QmLeft", "v", 1), kRegSuccess);
    EXPECT_EQ(summary.RegistryEntriesLeft(), 2);
}

TEST(SummaryBackupName, EnglishNamesAndLocalTimeDigits) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 6;
    t.tm_wday = 0;
    t.tm_hour = 5;
    t.tm_min = 4;
    t.tm_sec = 47;
    EXPECT_EQ(Summary::BackupFileNameFor(t), "FixedOnSundayDecember062026050447.xml");
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

TEST(RepairClosingMessage, TheUsualTextOnlyWhenEverythingSelectedWasRemovedThenTheCounts) {
    RepairOutcome all;
    all.registryToRepair = true;
    all.registryTicked = 9;
    all.shortcutsTicked = 1;
    all.ignoredAdded = 1;
    all.backupFile = "FixedOnMondayDecember072026153000.xml";
    EXPECT_EQ(RepairClosingMessage(all),
              "Items selected have been removed from the system\r\n"
              "9 registry entries and 1 shortcut were removed.\r\n"
              "What was removed is saved in FixedOnMondayDecember072026153000.xml.\r\n"
              "1 unticked entry was added to the ignore list and will not be reported again; the Ignore list "
              "panel takes it back.");
    RepairOutcome one;
    one.registryToRepair = true;
    one.registryTicked = 1;
    one.ignoredAdded = 3;
    one.backupFile = "b.xml";
    const std::string oneText = RepairClosingMessage(one);
    EXPECT_NE(oneText.find("\r\n1 registry entry was removed.\r\n"), std::string::npos) << oneText;
    EXPECT_NE(oneText.find("3 unticked entries were added to the ignore list"), std::string::npos) << oneText;
    EXPECT_NE(oneText.find("takes them back."), std::string::npos) << oneText;
    // Only shortcuts: no registry backup needed beyond the shortcut's.
    RepairOutcome shortcuts;
    shortcuts.shortcutsTicked = 2;
    shortcuts.backupFile = "s.xml";
    EXPECT_NE(RepairClosingMessage(shortcuts).find("\r\n2 shortcuts were removed.\r\n"), std::string::npos);
    EXPECT_NE(RepairClosingMessage(shortcuts).find("\r\nNothing was added to the ignore list."), std::string::npos);

    RepairOutcome noBackup;
    noBackup.registryToRepair = true;
    noBackup.registryTicked = 2;
    noBackup.entriesNotDeleted = 2;
    const std::string text = RepairClosingMessage(noBackup);
    EXPECT_NE(text.find("backup file could not be written"), std::string::npos) << text;
    EXPECT_NE(text.find("Nothing was removed."), std::string::npos) << text;
    EXPECT_EQ(text.find("have been removed"), std::string::npos) << text;

    RepairOutcome ignoreFailed = all;
    ignoreFailed.ignoreSaveFailed = true;
    ignoreFailed.ignoreError = "ignore.lst: access denied";
    const std::string ignoreText = RepairClosingMessage(ignoreFailed);
    EXPECT_NE(ignoreText.find("could not be saved, so no unticked entry was added to it: ignore.lst: access denied"),
              std::string::npos)
        << ignoreText;
    EXPECT_EQ(ignoreText.find("will not be reported again"), std::string::npos) << ignoreText;
}

TEST(RepairClosingMessage, ButtonsThatCannotRepairSayWhy) {
    EXPECT_NE(NothingTickedMessage().find("nothing was removed and nothing was added to the ignore list"),
              std::string::npos);
    EXPECT_NE(NothingToRepairMessage().find("Start scan"), std::string::npos);
    EXPECT_EQ(NoProblemsToRepairMessage(), "No problems found: there is nothing to repair.");
}

TEST(RepairClosingMessage, EachFailureIsNamedWithTheBackupFile) {
    RepairOutcome o;
    o.registryToRepair = true;
    o.backupFile = "b.xml";
    o.exportFailed = true;
    o.exportError = "disk full";
    o.rowsNotFixed = 2;
    o.shortcutsNotDeleted = 1;
    const std::string text = RepairClosingMessage(o);
    for (const char* part : {"export before the repair failed: disk full", "Access Denied", "2 categories",
                             "1 shortcut could not be deleted", "saved in b.xml"})
        EXPECT_NE(text.find(part), std::string::npos) << part << " in " << text;

    RepairOutcome partial;
    partial.registryToRepair = true;
    partial.backupFile = "b.xml";
    partial.backupWriteFailed = true;
    EXPECT_NE(RepairClosingMessage(partial).find("Writing the backup b.xml failed"), std::string::npos);

    // A refused deletion in a category whose other deletions went through
    // (its fixed count not negative) is still told, by the entries left.
    RepairOutcome left;
    left.registryToRepair = true;
    left.backupFile = "b.xml";
    left.entriesNotDeleted = 1;
    left.registryTicked = 3;
    const std::string leftText = RepairClosingMessage(left);
    EXPECT_NE(leftText.find("1 registry entry could not be deleted"), std::string::npos) << leftText;
    EXPECT_NE(leftText.find("saved in b.xml"), std::string::npos) << leftText;
    EXPECT_EQ(leftText.find("have been removed"), std::string::npos) << leftText;
    EXPECT_NE(leftText.find("2 registry entries were removed."), std::string::npos) << leftText;
}

}  // namespace
}  // namespace qm
