// Repairs of keys with long and non-ASCII names, and their restore; on the
// in-memory registry here, on the real one in fix_fidelity_win32.cpp.
#include "tests/repair/fix_fidelity.h"

#include "emulation/registry_memory.h"
#include "tests/support/backup_files.h"

namespace qm::test {

TEST_P(FixFidelity, GoesWholeAndComesBackByteForByteWithItsLetterCase) {
    FillAwkwardKey("App\\QBGone.exe");
    SetText("App\\Sibling", "s", "stays");
    const TreeSnapshot before = Snap("App\\QBGone.exe");
    ASSERT_EQ(before.size(), 8u);
    ASSERT_EQ(Names("App"), (std::vector<std::string>{"QBGone.exe", "Sibling"}));

    // The finding names the key in lower case, as the application-path scan does.
    std::string backup;
    EXPECT_EQ(Fix(Full("App") + "\\qbgone.exe", &backup), 1);
    EXPECT_TRUE(Snap("App\\QBGone.exe").empty()) << "the whole key is gone";
    EXPECT_EQ(Names("App"), (std::vector<std::string>{"Sibling"}));

    ASSERT_EQ(Restore(backup), 1);
    EXPECT_TRUE(ui_.Messages().empty()) << ui_.Messages().front();
    const TreeSnapshot after = Snap("App\\QBGone.exe");
    EXPECT_EQ(FirstDifference(before, after), "");
    EXPECT_EQ(Names("App"), (std::vector<std::string>{"QBGone.exe", "Sibling"}));
}

TEST_P(FixFidelity, ValueWithALongNonAsciiNameIsRemovedAndComesBack) {
    FillAwkwardKey("Run");
    const TreeSnapshot before = Snap("Run");
    auto f = std::make_unique<CRegErrorLog>();
    f->SetCategory(kTagStartup);
    f->SetKeyPath(Full("Run"));
    f->SetRemoveKind(kRemoveValue);
    f->SetValue(std::make_unique<CRegValueItem>(Cjk(100), Accented(300), kRegSz));
    lib_->Findings().push_back(std::move(f));
    ResultRows rows;
    rows.push_back(std::make_unique<CScanError>(kLabelStartup, 1, 1));
    const std::string backup = repair_->FixRegistry(rows, File("value.xml"));
    files_.push_back(backup);
    EXPECT_EQ(rows.front()->errorsFixed, 1);
    const TreeSnapshot removed = Snap("Run");
    EXPECT_EQ(removed.at("").count(Cjk(100)), 0u);
    EXPECT_EQ(removed.at("").size(), before.at("").size() - 1);

    ASSERT_EQ(Restore(backup), 1);
    EXPECT_EQ(FirstDifference(before, Snap("Run")), "");
}

// Parts of the tree that cannot be deleted or read: the memory backend can
// make such keys; nothing of the finding's key may go, the row counts it
// against the category, and the backup holds none of it.
TEST_P(FixFidelity, KeyWithAPartThatCannotGoStaysWholeAndCountsAgainstTheRow) {
    auto* memory = dynamic_cast<MemoryRegistry*>(reg_.get());
    if (memory == nullptr) GTEST_SKIP() << "needs keys that refuse deletion";
    FillAwkwardKey("App\\Locked.exe");
    const std::string deep = Full("App\\Locked.exe\\" + Cjk(90) + "\\" + Accented(128));
    const TreeSnapshot before = Snap("App\\Locked.exe");

    for (int round = 0; round < 2; ++round) {
        if (round == 0) {
            ASSERT_EQ(memory->SetDenyDelete(deep + "\\MixedCase"), kRegSuccess);
        } else {
            ASSERT_EQ(memory->SetDenyDelete(deep + "\\MixedCase", false), kRegSuccess);
            ASSERT_EQ(memory->SetQueryInfoFailure(deep, kRegAccessDenied), kRegSuccess);
        }
        std::string backup;
        EXPECT_EQ(Fix(Full("App\\Locked.exe"), &backup), -1) << "round " << round;
        ASSERT_EQ(memory->SetQueryInfoFailure(deep, kRegSuccess), kRegSuccess);
        EXPECT_EQ(FirstDifference(before, Snap("App\\Locked.exe")), "") << "round " << round;
        EXPECT_EQ(BackupEntries(ReadFileBytes(backup)), std::vector<std::string>{})
            << "round " << round;
    }
}

// The unnamed value and a value really named "(Default)" (in any letter
// case) side by side, in a key removed whole and in a value finding: the
// backup tells them apart and the restore puts each back where it was.
TEST_P(FixFidelity, UnnamedValueAndAValueNamedDefaultComeBackApart) {
    SetText("App\\Both.exe", "", "C:\\Gone\\app.exe");
    SetText("App\\Both.exe", "(Default)", "the named one");
    SetText("App\\Both.exe\\Sub", "(DEFAULT)", "named, no unnamed value beside it");
    SetText("App\\Both.exe\\Unnamed only", "", "unnamed");
    const TreeSnapshot before = Snap("App\\Both.exe");
    ASSERT_EQ(before.at("").size(), 2u);

    std::string backup;
    EXPECT_EQ(Fix(Full("App\\Both.exe"), &backup), 1);
    EXPECT_TRUE(Snap("App\\Both.exe").empty());
    const std::string xml = ReadFileBytes(backup);
    EXPECT_NE(xml.find("<v name=\"(Default)\" value=\"C:\\Gone\\app.exe\"/>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<v name=\"(Default)\" value=\"the named one\" named=\"1\"/>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<v name=\"(DEFAULT)\" value=\"named, no unnamed value beside it\" named=\"1\"/>"),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<v name=\"(Default)\" value=\"unnamed\"/>"), std::string::npos) << xml;
    ASSERT_EQ(Restore(backup), 1) << repair_->LastRestore().Describe();
    EXPECT_EQ(FirstDifference(before, Snap("App\\Both.exe")), "");

    // A value finding on the named one removes it alone; its backup gives it
    // back under its own name.
    auto f = std::make_unique<CRegErrorLog>();
    f->SetCategory(kTagStartup);
    f->SetKeyPath(Full("App\\Both.exe"));
    f->SetRemoveKind(kRemoveValue);
    f->SetValue(std::make_unique<CRegValueItem>(kDefaultValueName, "the named one", kRegSz));
    lib_->Findings().clear();
    lib_->Findings().push_back(std::move(f));
    ResultRows rows;
    rows.push_back(std::make_unique<CScanError>(kLabelStartup, 1, 1));
    backup = repair_->FixRegistry(rows, File("named.xml"));
    files_.push_back(backup);
    EXPECT_EQ(rows.front()->errorsFixed, 1);
    const TreeSnapshot removed = Snap("App\\Both.exe");
    EXPECT_EQ(removed.at("").count("(Default)"), 0u);
    EXPECT_EQ(removed.at("").count(""), 1u);
    ASSERT_EQ(Restore(backup), 1) << repair_->LastRestore().Describe();
    EXPECT_EQ(FirstDifference(before, Snap("App\\Both.exe")), "");
}

TEST_P(FixFidelity, TreesDeeperThanTheRecursionOfOldAreReadAndDeleted) {
    auto* memory = dynamic_cast<MemoryRegistry*>(reg_.get());
    if (memory == nullptr) GTEST_SKIP() << "the real registry stops at 512 levels";
    std::string path = Full("Deep");
    std::string deepest = path;
    for (int i = 0; i < 2000; ++i) deepest += "\\d";
    ASSERT_EQ(memory->SetString(deepest, "bottom", "1"), kRegSuccess);
    std::string backup;
    EXPECT_EQ(Fix(path, &backup), 1);
    EXPECT_FALSE(memory->KeyExists(path));
}

namespace {
std::unique_ptr<IRegistry> MakeMemory() { return std::make_unique<MemoryRegistry>(); }
}  // namespace

INSTANTIATE_TEST_SUITE_P(Memory, FixFidelity,
                         ::testing::Values(FidelityBackend{"Memory", &MakeMemory}),
                         PrintFidelityBackend);

}  // namespace qm::test
