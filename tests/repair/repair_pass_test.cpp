// FixRegistry with findings made by hand: one pass per category, counting,
// access denied, kept (blanked) findings, the backup file and its name, and
// repairs cut short.
#include <gtest/gtest.h>

#include <stdexcept>

#include "engine/categories.h"
#include "platform/named_event.h"
#include "repair/repair_pass.h"
#include "repair/restore_ui.h"
#include "repair/xml_reader.h"
#include "repair_fixture.h"
#include "repair/xml_writer.h"
#include "tests/support/test_restore_areas.h"

namespace qm {
namespace {

using test::BackupEntries;
using test::CountOf;
using test::ReadFileBytes;
using test::RepairTest;

struct Call {
    std::string item, status;
    std::int32_t scanned, found;
};
std::vector<Call> g_calls;
std::size_t g_throwAt = 0;  // throw from this call on (1-based; 0: never)

void Record(std::string item, std::string status, std::int32_t scanned, std::int32_t found) {
    g_calls.push_back({item, status, scanned, found});
    if (g_throwAt != 0 && g_calls.size() >= g_throwAt) throw std::runtime_error("repair killed");
}

const std::string kHklm = "HKEY_LOCAL_MACHINE";
const std::string kSw = "HKEY_LOCAL_MACHINE\\SOFTWARE\\QmRepair";

class RepairPassTest : public RepairTest {
protected:
    void SetUp() override {
        RepairTest::SetUp();
        g_calls.clear();
        g_throwAt = 0;
        lib_->SetProgressCallback(&Record);
        // The findings are made by hand in keys of their own.
        repair_->SetRestoreAreas(&test::TestRestoreAreas());
    }
    void TearDown() override {
        g_throwAt = 0;
        RepairTest::TearDown();
    }

    // One finding per category, each in a key of its own, plus things no
    // finding names.
    void SeedOnePerCategory() {
        registry_.SetString(kSw + "\\Clsid\\{C}\\InprocServer32", "", "C:\\Gone\\c.dll");
        registry_.SetString(kSw + "\\Clsid\\{C}", "", "Class");
        registry_.SetString(kSw + "\\Help", "gone.hlp", "C:\\Gone\\");
        registry_.SetString(kSw + "\\Fonts", "Gone (TrueType)", "gone.ttf");
        registry_.SetString(kSw + "\\Tools\\T", "Path", "C:\\Gone\\t.exe");
        registry_.SetDword(kSw + "\\Shared", "C:\\Gone\\s.dll", 1);
        registry_.SetString(kSw + "\\Drivers", "msacm.gone", "gone.acm");
        registry_.SetString(kSw + "\\AppPaths\\a.exe", "", "C:\\Gone\\a.exe");
        registry_.SetString(kSw + "\\Uninstall\\U", "UninstallString", "C:\\Gone\\u.exe");
        registry_.SetString(kSw + "\\Uninstall\\U", "DisplayName", "U");
        registry_.SetString(kSw + "\\Run", "GoneStart", "C:\\Gone\\r.exe");
        registry_.SetString(kSw + "\\Run", "Stays", "C:\\Windows\\ok.exe");
        registry_.SetString(kSw + "\\Untouched", "x", "1");

        AddFinding("CLSID", kSw + "\\Clsid\\{C}", kRemoveKey);
        AddFinding("Help", kSw + "\\Help", kRemoveValue, "gone.hlp", "C:\\Gone\\");
        AddFinding("font", kSw + "\\Fonts", kRemoveValue, "Gone (TrueType)", "gone.ttf");
        AddFinding("SharedTools", kSw + "\\Tools\\T", kRemoveKey);
        AddFinding("SharedFile", kSw + "\\Shared", kRemoveValue, "C:\\Gone\\s.dll",
                   "0x00000001 (1)", kRegDword);
        AddFinding("VxD", kSw + "\\Drivers", kRemoveValue, "msacm.gone", "gone.acm");
        AddFinding("APPPath", kSw + "\\AppPaths\\a.exe", kRemoveKey);
        AddFinding("Uninstall", kSw + "\\Uninstall\\U", kRemoveValue, "UninstallString",
                   "C:\\Gone\\u.exe");
        AddFinding("Startup", kSw + "\\Run", kRemoveValue, "GoneStart", "C:\\Gone\\r.exe");
    }

    static ResultRows AllRows() {
        ResultRows rows;
        for (const auto& info : kCategories)
            rows.push_back(std::make_unique<CScanError>(info.rowLabel, 5, 1));
        return rows;
    }
};

TEST_F(RepairPassTest, EveryCategoryIsRemovedBackedUpAndCountedOnceInItsOwnRow) {
    SeedOnePerCategory();
    ResultRows rows = AllRows();
    const std::string file = UniqueName("all");
    EXPECT_EQ(repair_->FixRegistry(rows, file), file);

    EXPECT_FALSE(registry_.KeyExists(kSw + "\\Clsid\\{C}"));
    EXPECT_TRUE(registry_.KeyExists(kSw + "\\Clsid"));
    EXPECT_FALSE(registry_.ValueExists(kSw + "\\Help", "gone.hlp"));
    EXPECT_FALSE(registry_.ValueExists(kSw + "\\Fonts", "Gone (TrueType)"));
    EXPECT_FALSE(registry_.KeyExists(kSw + "\\Tools\\T"));
    EXPECT_FALSE(registry_.ValueExists(kSw + "\\Shared", "C:\\Gone\\s.dll"));
    EXPECT_FALSE(registry_.ValueExists(kSw + "\\Drivers", "msacm.gone"));
    EXPECT_FALSE(registry_.KeyExists(kSw + "\\AppPaths\\a.exe"));
    EXPECT_FALSE(registry_.ValueExists(kSw + "\\Uninstall\\U", "UninstallString"));
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Uninstall\\U", "DisplayName"));
    EXPECT_FALSE(registry_.ValueExists(kSw + "\\Run", "GoneStart"));
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Run", "Stays"));
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Untouched", "x"));

    for (const auto& row : rows)
        EXPECT_EQ(row->errorsFixed, row->label == kLabelShortcuts ? 0 : 1) << row->label;

    const std::string bytes = ReadFileBytes(file);
    ASSERT_TRUE(test::ParseBackup(bytes).wellFormed) << test::ParseBackup(bytes).error;
    const auto entries = BackupEntries(bytes);
    for (const std::string& e : {
             kSw + "\\Clsid\\{C}|(Default)=Class|-",
             kSw + "\\Clsid\\{C}\\InprocServer32|(Default)=C:\\Gone\\c.dll|-",
             kSw + "\\Help|gone.hlp=C:\\Gone\\|-",
             kSw + "\\Fonts|Gone (TrueType)=gone.ttf|-",
             kSw + "\\Tools\\T|Path=C:\\Gone\\t.exe|-",
             kSw + "\\Shared|C:\\Gone\\s.dll=0x00000001 (1)|REG_DWORD",
             kSw + "\\Drivers|msacm.gone=gone.acm|-",
             kSw + "\\AppPaths\\a.exe|(Default)=C:\\Gone\\a.exe|-",
             kSw + "\\Uninstall\\U|UninstallString=C:\\Gone\\u.exe|-",
             kSw + "\\Run|GoneStart=C:\\Gone\\r.exe|-",
         })
        EXPECT_EQ(CountOf(entries, e), 1u) << e;
    EXPECT_EQ(entries.size(), 10u);
}

TEST_F(RepairPassTest, PassesRunInOrderWithTheirCaptions) {
    SeedOnePerCategory();
    // Tags are compared upper-cased.
    AddFinding("clsid", kSw + "\\Nothing", kRemoveKey);
    ResultRows rows = AllRows();
    repair_->FixRegistry(rows, UniqueName("order"));

    std::vector<std::pair<std::string, std::string>> got;
    for (const auto& c : g_calls) {
        got.emplace_back(c.item, c.status);
        EXPECT_EQ(c.scanned, 0);
        EXPECT_EQ(c.found, 0);
    }
    const std::string sw = "SOFTWARE\\QmRepair";
    const std::vector<std::pair<std::string, std::string>> expected = {
        {kHklm + "\n" + sw + "\\Clsid\\{C}", "Fixing CLSID "},
        {kHklm + "\n" + sw + "\\Nothing", "Fixing CLSID "},
        {kHklm + "\\" + sw + "\\Help\\gone.hlp", "Fixing Help Files "},
        {kHklm + "\n" + sw + "\\Fonts\nGone (TrueType)", "Fixing fonts "},
        {kHklm + "\n" + sw + "\\Tools\\T", "Fixing Shared tools "},
        {kHklm + "\n" + sw + "\\Shared\nC:\\Gone\\s.dll", "Fixing Shared files "},
        {kHklm + "\n" + sw + "\\Drivers\nmsacm.gone", "Fixing Drivers "},
        {kHklm + "\n" + sw + "\\AppPaths\\a.exe", "Fixing Application Paths "},
        {kHklm + "\n" + sw + "\\Uninstall\\U\nUninstallString", "Fixing Uninstall Entries "},
        {kHklm + "\n" + sw + "\\Run\nGoneStart", "Fixing Startup Programs "},
    };
    EXPECT_EQ(got, expected);
    EXPECT_EQ(FixedOf(rows, kLabelCom), 1);  // the missing key is not counted
}

TEST_F(RepairPassTest, AccessDeniedCountsMinusOneAndTheRepairGoesOn) {
    registry_.SetString(kSw + "\\Fonts", "Locked", "a.ttf");
    registry_.SetString(kSw + "\\Fonts2", "Free", "b.ttf");
    registry_.SetString(kSw + "\\Clsid\\{Locked}", "", "x");
    registry_.SetString(kSw + "\\Clsid\\{Free}", "", "y");
    ASSERT_EQ(registry_.SetDenyDelete(kSw + "\\Fonts"), kRegSuccess);
    ASSERT_EQ(registry_.SetDenyDelete(kSw + "\\Clsid\\{Locked}"), kRegSuccess);
    AddFinding("font", kSw + "\\Fonts", kRemoveValue, "Locked", "a.ttf");
    AddFinding("font", kSw + "\\Fonts2", kRemoveValue, "Free", "b.ttf");
    AddFinding("CLSID", kSw + "\\Clsid\\{Locked}", kRemoveKey);
    AddFinding("CLSID", kSw + "\\Clsid\\{Free}", kRemoveKey);
    ResultRows rows = AllRows();
    repair_->FixRegistry(rows, UniqueName("denied"));

    EXPECT_EQ(FixedOf(rows, kLabelFonts), 0);  // +1 -1
    EXPECT_EQ(FixedOf(rows, kLabelCom), 0);
    EXPECT_EQ(FixedOf(rows, kLabelHelp), 0);   // no other row is touched
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Fonts", "Locked"));
    EXPECT_FALSE(registry_.ValueExists(kSw + "\\Fonts2", "Free"));
    EXPECT_TRUE(registry_.KeyExists(kSw + "\\Clsid\\{Locked}"));
    EXPECT_FALSE(registry_.KeyExists(kSw + "\\Clsid\\{Free}"));
}

TEST_F(RepairPassTest, TheBackupListsOnlyWhatWasRemoved) {
    registry_.SetString(kSw + "\\Fonts", "Locked", "a.ttf");
    registry_.SetString(kSw + "\\Fonts2", "Free", "b.ttf");
    registry_.SetString(kSw + "\\Fonts2", "", "unnamed");
    registry_.SetString(kSw + "\\Clsid\\{Locked}\\Inner", "", "x");
    ASSERT_EQ(registry_.SetDenyDelete(kSw + "\\Fonts"), kRegSuccess);
    ASSERT_EQ(registry_.SetDenyDelete(kSw + "\\Clsid\\{Locked}\\Inner"), kRegSuccess);
    AddFinding("font", kSw + "\\Fonts", kRemoveValue, "Locked", "a.ttf");
    AddFinding("font", kSw + "\\Fonts2", kRemoveValue, "Gone already", "c.ttf");
    AddFinding("font", kSw + "\\NoSuchKey", kRemoveValue, "Gone", "d.ttf");
    AddFinding("font", kSw + "\\Fonts2", kRemoveValue, "Free", "b.ttf");
    AddFinding("CLSID", kSw + "\\Clsid\\{Locked}", kRemoveKey);
    ResultRows rows = AllRows();
    const std::string file = UniqueName("only-removed");
    repair_->FixRegistry(rows, file);

    EXPECT_EQ(FixedOf(rows, kLabelFonts), 0);  // +1 -1; what was gone already is not counted
    EXPECT_EQ(FixedOf(rows, kLabelCom), -1);
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Fonts", "Locked"));
    EXPECT_FALSE(registry_.ValueExists(kSw + "\\Fonts2", "Free"));
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Fonts2", ""));
    const std::string bytes = ReadFileBytes(file);
    EXPECT_EQ(BackupEntries(bytes), std::vector<std::string>{kSw + "\\Fonts2|Free=b.ttf|-"}) << bytes;
    // Every finding still reports its progress.
    EXPECT_EQ(g_calls.size(), 5u);
}

// HKEY_CLASSES_ROOT of an offline installation is the user's classes over the
// machine's: a finding that names one of them acts on that one alone, in its
// view, and says so in the backup, whose restore puts the key back there.
TEST_F(RepairPassTest, AFindingOfOneHiveOfClassesRootActsOnThatHiveAlone) {
    const std::string user = "HKEY_CURRENT_USER\\Software\\Classes";
    const std::string machine = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes";
    registry_.SetString(user + "\\CLSID\\{X}\\InprocServer32", "", "C:\\Gone\\user.dll");
    registry_.SetString(machine + "\\CLSID\\{X}\\InprocServer32", "", "C:\\Windows\\machine.dll");
    registry_.SetString(machine + "\\CLSID\\{X}\\InprocServer32", "ThreadingModel", "Both");
    registry_.SetString(machine + "\\CLSID\\{X}\\ProgID", "", "X.1");
    registry_.SetString(user + "\\Wow6432Node\\CLSID\\{Y}", "", "user's 32-bit class");
    registry_.SetString(machine + "\\Wow6432Node\\CLSID\\{Y}", "", "machine's 32-bit class");
    registry_.SetString(user + "\\QmTool", "Path", "C:\\Gone\\user.exe");
    registry_.SetString(machine + "\\QmTool", "Path", "C:\\Gone\\machine.exe");
    const auto dump = [this] {
        std::vector<std::string> all;
        for (const char* root : {"HKEY_CURRENT_USER\\Software\\Classes", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes"})
            for (const char* key : {"\\CLSID\\{X}", "\\CLSID\\{X}\\InprocServer32", "\\CLSID\\{X}\\ProgID",
                                    "\\Wow6432Node\\CLSID\\{Y}", "\\QmTool"})
                for (const std::string& name : registry_.ValueNames(root + std::string(key))) {
                    std::uint32_t type = 0;
                    std::vector<std::uint8_t> data;
                    registry_.GetValue(root + std::string(key), name, &type, &data);
                    all.push_back(root + std::string(key) + "|" + name + "=" + std::string(data.begin(), data.end()));
                }
        return all;
    };
    const auto before = dump();
    AddFinding("CLSID", "HKEY_CLASSES_ROOT\\CLSID\\{X}", kRemoveKey).SetClassesHive(ClassesHive::kUser);
    CRegErrorLog& y = AddFinding("CLSID", "HKEY_CLASSES_ROOT\\CLSID\\{Y}", kRemoveKey);
    y.SetClassesHive(ClassesHive::kMachine);
    y.SetView(RegView::k32);
    AddFinding("CLSID", "HKEY_CLASSES_ROOT\\QmTool", kRemoveValue, "Path", "C:\\Gone\\user.exe")
        .SetClassesHive(ClassesHive::kUser);
    ResultRows rows = AllRows();
    const std::string file = UniqueName("hives");
    repair_->FixRegistry(rows, file);

    EXPECT_EQ(FixedOf(rows, kLabelCom), 3);
    EXPECT_FALSE(registry_.KeyExists(user + "\\CLSID\\{X}"));
    EXPECT_TRUE(registry_.ValueExists(machine + "\\CLSID\\{X}\\InprocServer32", "ThreadingModel"));
    EXPECT_TRUE(registry_.KeyExists(machine + "\\CLSID\\{X}\\ProgID"));
    EXPECT_TRUE(registry_.KeyExists(user + "\\Wow6432Node\\CLSID\\{Y}"));
    EXPECT_FALSE(registry_.KeyExists(machine + "\\Wow6432Node\\CLSID\\{Y}"));
    EXPECT_FALSE(registry_.ValueExists(user + "\\QmTool", "Path"));
    EXPECT_TRUE(registry_.ValueExists(machine + "\\QmTool", "Path"));

    const std::string bytes = ReadFileBytes(file);
    EXPECT_EQ(CountOf(BackupEntries(bytes), "HKEY_CLASSES_ROOT\\CLSID\\{X}\\InprocServer32|(Default)=C:\\Gone\\user.dll|-"),
              1u)
        << bytes;
    EXPECT_EQ(bytes.find("machine.dll"), std::string::npos) << bytes;
    EXPECT_EQ(bytes.find("ProgID"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("<k name=\"HKEY_CLASSES_ROOT\" hive=\"user\">"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("<k name=\"HKEY_CLASSES_ROOT\" view=\"32\" hive=\"machine\">"), std::string::npos) << bytes;
    // Progress names the keys as the findings do.
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls[0].item, "HKEY_CLASSES_ROOT\nCLSID\\{X}");

    CXmlReader reader;
    EXPECT_EQ(repair_->LoadAsXml(reader, file), 1) << repair_->LastRestore().Describe();
    EXPECT_EQ(dump(), before);
}

TEST_F(RepairPassTest, BlankedFindingsChangeNothing) {
    registry_.SetString(kSw + "\\Fonts", "Kept", "a.ttf");
    registry_.SetString(kSw + "\\Fonts", "", "unnamed stays");
    registry_.SetString(kSw + "\\Clsid\\{Kept}", "", "x");
    AddFinding("font", kSw + "\\Fonts", kRemoveValue, "Kept", "a.ttf").SetKeyPath("");
    AddFinding("CLSID", kSw + "\\Clsid\\{Kept}", kRemoveKey).SetKeyPath("");
    // A value finding without its value record names no value.
    AddFinding("font", kSw + "\\Fonts", kRemoveValue, "x", "y").SetValue(nullptr);
    ResultRows rows = AllRows();
    const std::string file = UniqueName("blank");
    repair_->FixRegistry(rows, file);

    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Fonts", "Kept"));
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Fonts", ""));
    EXPECT_TRUE(registry_.KeyExists(kSw + "\\Clsid\\{Kept}"));
    for (const auto& row : rows) EXPECT_EQ(row->errorsFixed, 0) << row->label;
    EXPECT_EQ(ReadFileBytes(file),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n <registry>\r\n </registry>\r\n");
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0].item, "\n");
    EXPECT_EQ(g_calls[1].item, "\n\nKept");
}

TEST_F(RepairPassTest, KeyWhoseTreeTheBackupCannotWalkWholeStays) {
    registry_.SetString(kSw + "\\Clsid\\{Part}\\Readable", "r", "1");
    registry_.SetString(kSw + "\\Clsid\\{Part}\\Unreadable", "u", "1");
    registry_.SetString(kSw + "\\Clsid\\{Whole}", "", "w");
    ASSERT_EQ(registry_.SetQueryInfoFailure(kSw + "\\Clsid\\{Part}\\Unreadable", 5), kRegSuccess);
    AddFinding("CLSID", kSw + "\\Clsid\\{Part}", kRemoveKey);
    AddFinding("CLSID", kSw + "\\Clsid\\{Whole}", kRemoveKey);
    ResultRows rows = AllRows();
    const std::string file = UniqueName("partial");
    repair_->FixRegistry(rows, file);

    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Clsid\\{Part}\\Readable", "r"));
    EXPECT_TRUE(registry_.KeyExists(kSw + "\\Clsid\\{Part}\\Unreadable"));
    EXPECT_FALSE(registry_.KeyExists(kSw + "\\Clsid\\{Whole}"));
    // One fixed, one that stays counted against the row.
    EXPECT_EQ(FixedOf(rows, kLabelCom), 0);
    const std::string bytes = ReadFileBytes(file);
    EXPECT_TRUE(test::ParseBackup(bytes).wellFormed);
    // The backup holds what went and nothing of what stayed.
    EXPECT_EQ(bytes.find("{Part}"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("{Whole}"), std::string::npos) << bytes;
}

TEST_F(RepairPassTest, BackupIsKeptAndASecondRepairOfTheSameSecondGetsItsOwnFile) {
    registry_.SetString(kSw + "\\Fonts", "First", "a.ttf");
    registry_.SetString(kSw + "\\Fonts", "Second", "b.ttf");
    const std::string file = UniqueName("same-second");
    AddFinding("font", kSw + "\\Fonts", kRemoveValue, "First", "a.ttf");
    ResultRows rows = AllRows();
    EXPECT_EQ(repair_->FixRegistry(rows, file), file);

    lib_->Findings().clear();
    AddFinding("font", kSw + "\\Fonts", kRemoveValue, "Second", "b.ttf");
    const std::string second = file.substr(0, file.size() - 4) + "-2.xml";
    EXPECT_EQ(repair_->FixRegistry(rows, file), second);

    const auto first = BackupEntries(ReadFileBytes(file));
    const auto then = BackupEntries(ReadFileBytes(second));
    EXPECT_EQ(first, std::vector<std::string>{kSw + "\\Fonts|First=a.ttf|-"});
    EXPECT_EQ(then, std::vector<std::string>{kSw + "\\Fonts|Second=b.ttf|-"});
}

TEST_F(RepairPassTest, NothingIsRemovedWithoutABackup) {
    registry_.SetString(kSw + "\\Fonts", "F", "a.ttf");
    registry_.SetString(kSw + "\\Clsid\\{C}", "", "x");
    AddFinding("font", kSw + "\\Fonts", kRemoveValue, "F", "a.ttf");
    AddFinding("CLSID", kSw + "\\Clsid\\{C}", kRemoveKey);
    ResultRows rows = AllRows();
    EXPECT_EQ(repair_->FixRegistry(rows, "no-such-folder-for-quillmere/x.xml"), "");
    EXPECT_TRUE(repair_->BackupWriter().WriteFailed());
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Fonts", "F"));
    EXPECT_TRUE(registry_.KeyExists(kSw + "\\Clsid\\{C}"));
    for (const auto& row : rows) EXPECT_EQ(row->errorsFixed, 0) << row->label;
    EXPECT_TRUE(g_calls.empty());

    // The next repair with a usable name works.
    const std::string file = UniqueName("after-failure");
    EXPECT_EQ(repair_->FixRegistry(rows, file), file);
    EXPECT_FALSE(repair_->BackupWriter().WriteFailed());
    EXPECT_FALSE(registry_.ValueExists(kSw + "\\Fonts", "F"));
}

TEST_F(RepairPassTest, RepairCutShortLeavesEveryDeletedEntryInAWellFormedBackup) {
    SeedOnePerCategory();
    ResultRows rows = AllRows();
    const std::string file = UniqueName("cut");
    // Cut at the fifth progress call: after the shared tools key was deleted
    // (its call follows the deletion) and before the shared file value is
    // deleted (its call precedes the deletion).
    g_throwAt = 5;
    EXPECT_THROW(repair_->FixRegistry(rows, file), std::runtime_error);
    g_throwAt = 0;

    EXPECT_FALSE(registry_.KeyExists(kSw + "\\Clsid\\{C}"));
    EXPECT_FALSE(registry_.KeyExists(kSw + "\\Tools\\T"));
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Shared", "C:\\Gone\\s.dll"));
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Run", "GoneStart"));

    const std::string bytes = ReadFileBytes(file);
    const auto parsed = test::ParseBackup(bytes);
    EXPECT_TRUE(parsed.wellFormed) << parsed.error;
    const auto entries = BackupEntries(bytes);
    for (const std::string& e : {
             kSw + "\\Clsid\\{C}|(Default)=Class|-",
             kSw + "\\Clsid\\{C}\\InprocServer32|(Default)=C:\\Gone\\c.dll|-",
             kSw + "\\Help|gone.hlp=C:\\Gone\\|-",
             kSw + "\\Fonts|Gone (TrueType)=gone.ttf|-",
             kSw + "\\Tools\\T|Path=C:\\Gone\\t.exe|-",
             kSw + "\\Shared|C:\\Gone\\s.dll=0x00000001 (1)|REG_DWORD",
         })
        EXPECT_EQ(CountOf(entries, e), 1u) << e;
    EXPECT_EQ(entries.size(), 6u);

    // Restoring the backup gives back what the cut repair removed.
    {
        CXmlReader reader;
        EXPECT_EQ(repair_->LoadAsXml(reader, file), 1);
    }
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Clsid\\{C}\\InprocServer32", ""));
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Clsid\\{C}", ""));
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Help", "gone.hlp"));
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Fonts", "Gone (TrueType)"));
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Tools\\T", "Path"));

    // The writer was closed: the next repair writes a file of its own.
    lib_->Findings().clear();
    const std::string next = UniqueName("after-cut");
    EXPECT_EQ(repair_->FixRegistry(rows, next), next);
    EXPECT_TRUE(test::ParseBackup(ReadFileBytes(next)).wellFormed);
}

// A stop asked for during the repair (here from the fifth progress call, as a
// window's close does from its own thread) ends it after the entry in hand:
// that entry is removed and backed up, later ones stay, and the backup is a
// complete file that restores what went.
void StopAtFifth(std::string item, std::string status, std::int32_t scanned, std::int32_t found) {
    Record(item, status, scanned, found);
    if (g_calls.size() == 5) NamedEvent(kStopEventName).Set();
}

TEST_F(RepairPassTest, AStopEndsTheRepairAfterTheEntryInHandWithACompleteBackup) {
    SeedOnePerCategory();
    ResultRows rows = AllRows();
    const std::string file = UniqueName("stopped");
    lib_->SetProgressCallback(&StopAtFifth);
    const std::string written = repair_->FixRegistry(rows, file);
    NamedEvent(kStopEventName).Reset();
    EXPECT_EQ(written, file);
    EXPECT_EQ(g_calls.size(), 5u) << "no entry after the stop was touched";
    // The fifth call is the shared file's (a value is reported before it is
    // deleted): that entry in hand is still deleted, the ones after it stay.
    EXPECT_FALSE(registry_.KeyExists(kSw + "\\Tools\\T"));
    EXPECT_FALSE(registry_.ValueExists(kSw + "\\Shared", "C:\\Gone\\s.dll")) << "the entry in hand went";
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Drivers", "msacm.gone"));
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Run", "GoneStart"));

    const std::string bytes = ReadFileBytes(file);
    EXPECT_NE(bytes.find("</registry>"), std::string::npos) << "closed as a finished repair closes it";
    EXPECT_TRUE(test::ParseBackup(bytes).wellFormed);
    EXPECT_EQ(BackupEntries(bytes).size(), 6u);
    {
        CXmlReader reader;
        EXPECT_EQ(repair_->LoadAsXml(reader, file), 1);
    }
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Tools\\T", "Path"));
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Clsid\\{C}", ""));
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Shared", "C:\\Gone\\s.dll"));
}

// A repair killed outright: the process ends in the middle of the repair
// without unwinding, flushing or closing anything. Every element written up
// to then must already be in the file.
void ExitNow(std::string, std::string, std::int32_t, std::int32_t) {
    g_calls.push_back({});
    if (g_calls.size() >= g_throwAt) std::_Exit(3);
}

TEST_F(RepairPassTest, KilledRepairLeavesEveryDeletedEntryInTheBackup) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    SeedOnePerCategory();
    const std::string file = UniqueName("killed");
    EXPECT_EXIT(
        {
            lib_->SetProgressCallback(&ExitNow);
            g_calls.clear();
            g_throwAt = 7;  // after the application path key was deleted
            ResultRows rows = AllRows();
            repair_->FixRegistry(rows, file);
        },
        ::testing::ExitedWithCode(3), "");

    // The child's registry died with it; this process seeded the same one,
    // so the entries the child deleted before the kill are known.
    const std::string bytes = ReadFileBytes(file);
    const auto parsed = test::ParseBackup(bytes);
    EXPECT_FALSE(parsed.complete);
    const auto entries = BackupEntries(bytes);
    for (const std::string& e : {
             kSw + "\\Clsid\\{C}|(Default)=Class|-",
             kSw + "\\Clsid\\{C}\\InprocServer32|(Default)=C:\\Gone\\c.dll|-",
             kSw + "\\Help|gone.hlp=C:\\Gone\\|-",
             kSw + "\\Fonts|Gone (TrueType)=gone.ttf|-",
             kSw + "\\Tools\\T|Path=C:\\Gone\\t.exe|-",
             kSw + "\\Shared|C:\\Gone\\s.dll=0x00000001 (1)|REG_DWORD",
             kSw + "\\Drivers|msacm.gone=gone.acm|-",
             kSw + "\\AppPaths\\a.exe|(Default)=C:\\Gone\\a.exe|-",
         })
        EXPECT_EQ(CountOf(entries, e), 1u) << e;
    EXPECT_EQ(entries.size(), 8u) << bytes;
    // It breaks off after a complete element.
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");

    // Here, a repair that runs to its end removes everything; the killed
    // repair's backup then brings back what the killed one had removed.
    ResultRows rows = AllRows();
    repair_->FixRegistry(rows, UniqueName("complete"));
    ASSERT_FALSE(registry_.KeyExists(kSw + "\\Clsid\\{C}"));
    RecordingRestoreUi ui;
    repair_->SetRestoreUi(&ui);
    CXmlReader reader;
    repair_->LoadAsXml(reader, file);  // the file breaks off: a parse error at its end
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    EXPECT_TRUE(registry_.GetValue(kSw + "\\Clsid\\{C}\\InprocServer32", "", &type, &data));
    EXPECT_EQ(std::string(data.begin(), data.end()), std::string("C:\\Gone\\c.dll", 13) + '\0');
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Help", "gone.hlp"));
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Fonts", "Gone (TrueType)"));
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Tools\\T", "Path"));
    EXPECT_TRUE(registry_.GetValue(kSw + "\\Shared", "C:\\Gone\\s.dll", &type, &data));
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(data, Bytes({1, 0, 0, 0}));
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\Drivers", "msacm.gone"));
    EXPECT_TRUE(registry_.ValueExists(kSw + "\\AppPaths\\a.exe", ""));
    // What the killed repair had not reached stays removed.
    EXPECT_FALSE(registry_.ValueExists(kSw + "\\Run", "GoneStart"));
    EXPECT_FALSE(registry_.ValueExists(kSw + "\\Uninstall\\U", "UninstallString"));
}

TEST(BackupFileName, EnglishNamesAndTwoDigitFields) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 6;
    t.tm_wday = 0;
    t.tm_hour = 5;
    t.tm_min = 4;
    t.tm_sec = 47;
    EXPECT_EQ(FormatBackupFileName(t), "FixedOnSundayDecember062026050447.xml");
    t.tm_mon = 0;
    t.tm_mday = 21;
    t.tm_wday = 3;
    t.tm_hour = 23;
    t.tm_min = 59;
    t.tm_sec = 9;
    EXPECT_EQ(FormatBackupFileName(t), "FixedOnWednesdayJanuary212026235909.xml");
}

TEST(BackupFileName, UsesTheLocalTimeNow) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::time_t before = std::time(nullptr);
        const std::string name = MakeBackupFileName();
        const std::time_t after = std::time(nullptr);
        if (before != after) continue;  // a second boundary passed: try again
        std::tm local{};
#ifdef _WIN32
        localtime_s(&local, &before);
#else
        localtime_r(&before, &local);
#endif
        EXPECT_EQ(name, FormatBackupFileName(local));
        char c[80];
        std::strftime(c, sizeof c, "FixedOn%A%B%d%Y%H%M%S.xml", &local);  // C locale here
        EXPECT_EQ(name, c);
        return;
    }
}

// The unnamed value and a value really named "(Default)" both show as
// "(Default)"; a finding on one deletes that one only.
TEST_F(RepairPassTest, DefaultValueFindingsDeleteTheValueTheyAreAbout) {
    const std::string run = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Currentversion\\Run";
    system_.AddFile("C:\\Here\\y.exe");
    for (const bool unnamedGone : {true, false}) {
        SCOPED_TRACE(unnamedGone ? "unnamed value broken" : "named \"(Default)\" broken");
        ASSERT_EQ(registry_.SetString(run, "", unnamedGone ? "C:\\Gone\\x.exe" : "C:\\Here\\y.exe"), kRegSuccess);
        ASSERT_EQ(registry_.SetString(run, "(Default)", unnamedGone ? "C:\\Here\\y.exe" : "C:\\Gone\\x.exe"),
                  kRegSuccess);
        ResultRows rows;
        lib_->Findings().clear();
        lib_->ScanRegistryStartup(rows);
        ASSERT_EQ(lib_->Findings().size(), 1u);
        EXPECT_EQ(lib_->Findings()[0]->GetValue()->name, "(Default)");  // shown as ever
        EXPECT_EQ(lib_->Findings()[0]->GetValue()->isDefault, unnamedGone);

        const std::string file = UniqueName(unnamedGone ? "unnamed" : "named");
        repair_->FixRegistry(rows, file);
        EXPECT_EQ(registry_.ValueExists(run, ""), !unnamedGone);
        EXPECT_EQ(registry_.ValueExists(run, "(Default)"), unnamedGone);
        EXPECT_EQ(rows[0]->errorsFixed, 1);
        const std::string backup = ReadFileBytes(file);
        EXPECT_NE(backup.find("name=\"(Default)\" value=\"C:\\Gone\\x.exe\""), std::string::npos) << backup;
        const std::string sub = run.substr(std::string("HKEY_LOCAL_MACHINE\\").size());
        repair_->RegDelKeyValue("HKEY_LOCAL_MACHINE", sub, "");
        repair_->RegDelKeyValue("HKEY_LOCAL_MACHINE", sub, "(Default)");
    }
}

}  // namespace
}  // namespace qm
