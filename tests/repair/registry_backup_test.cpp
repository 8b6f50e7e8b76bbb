// SaveAsXml on an in-memory registry: what one backup call writes for keys,
// values and sub-key trees, the value renderings, escaping, and a walk that
// fails part-way.
#include <gtest/gtest.h>

#include "repair_fixture.h"

namespace qm {
namespace {

using test::Lines;
using test::RepairTest;

const char* const kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\QmBackup";

TEST_F(RepairTest, KeyWithoutValuesOrSubKeysInTheWalkIsOneEmptyElement) {
    registry_.SetString(kKey, "v", "x");
    registry_.CreateKeyPath(std::string(kKey) + "\\Empty");
    registry_.CreateKeyPath(std::string(kKey) + "\\Outer\\Inner");
    const auto lines = Lines(BackupOf(kKey));
    const std::vector<std::string> expected = {
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
        " <registry>",
        "  <k name=\"HKEY_LOCAL_MACHINE\">",
        "   <k name=\"SOFTWARE\">",
        "    <k name=\"QmBackup\">",
        "     <v name=\"v\" value=\"x\"/>",
        "     <k name=\"Empty\"/>",
        "     <k name=\"Outer\">",
        "      <k name=\"Inner\"/>",
        "     </k>",
        "    </k>",
        "   </k>",
        "  </k>",
        " </registry>",
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(RepairTest, APathWithExtraBackslashesIsBackedUpAsTheKeyItNames) {
    // The registry opens "a\b\" and "a\\b" as "a\b"; the backup's chain of
    // elements names the same key, without an element of no name.
    registry_.SetString(std::string(kKey) + "\\Sub", "v", "x");
    const std::string plain = BackupOf(std::string(kKey) + "\\Sub");
    EXPECT_NE(plain.find("<v name=\"v\" value=\"x\"/>"), std::string::npos) << plain;
    EXPECT_EQ(BackupOf(std::string(kKey) + "\\Sub\\"), plain);
    EXPECT_EQ(BackupOf("HKEY_LOCAL_MACHINE\\SOFTWARE\\\\QmBackup\\Sub"), plain);
    // The key's name as stored, whatever the letter case of the path.
    EXPECT_EQ(BackupOf(std::string(kKey) + "\\SUB\\"), plain);
}

TEST_F(RepairTest, ValuesHoldingTheValueNotSetTextAreWrittenButNotThePlaceholder) {
    // Real values whose text happens to be "(value not set)" are deleted
    // like any other, so they go into the backup.
    registry_.SetString(kKey, "(Default)", "(value not set)");
    registry_.SetString(kKey, "Other", "(value not set)");
    registry_.SetString(std::string(kKey) + "\\Unnamed", "", "(value not set)");
    const auto entries = test::BackupEntries(BackupOf(kKey));
    EXPECT_EQ(entries, (std::vector<std::string>{
                           "HKEY_LOCAL_MACHINE\\SOFTWARE\\QmBackup|(Default)=(value not set)|-",
                           "HKEY_LOCAL_MACHINE\\SOFTWARE\\QmBackup|Other=(value not set)|-",
                           "HKEY_LOCAL_MACHINE\\SOFTWARE\\QmBackup\\Unnamed|(Default)=(value not set)|-"}));

    // The placeholder a scan puts in for a key without an unnamed value
    // names no value: nothing is written for it.
    const std::string bare = std::string(kKey) + "\\Bare";
    registry_.CreateKeyPath(bare);
    CRegValueItem placeholder(kDefaultValueName, kValueNotSet, kRegSz);
    int result = 0;
    const auto lines = Lines(BackupOf(bare, &placeholder, &result));
    EXPECT_EQ(result, 1);
    for (const auto& line : lines) EXPECT_EQ(line.find("<v "), std::string::npos) << line;
}

TEST_F(RepairTest, ValueFindingIsWrittenAsTheRegistryHoldsIt) {
    // The finding's text is the scan's rendering; the backup takes the bytes.
    registry_.SetValue(kKey, "odd", kRegSz, Bytes({'a', 0, 'b'}));
    CRegValueItem finding("odd", "a", kRegSz);
    const auto entries = test::BackupEntries(BackupOf(kKey, &finding));
    EXPECT_EQ(entries, std::vector<std::string>{
                           "HKEY_LOCAL_MACHINE\\SOFTWARE\\QmBackup|odd=61 00 62|hex(1)"});
}

TEST_F(RepairTest, NamesAndTextsAreEscaped) {
    registry_.SetString(kKey, "a\"b&c<d>e'f", "<&\">'");
    registry_.CreateKeyPath(std::string(kKey) + "\\k&<\"");
    const auto lines = Lines(BackupOf(kKey));
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[5],
              "     <v name=\"a&quot;b&amp;c&lt;d>e'f\" value=\"&lt;&amp;&quot;>'\"/>");
    EXPECT_EQ(lines[6], "     <k name=\"k&amp;&lt;&quot;\"/>");
}

TEST_F(RepairTest, ValuesAreRenderedByType) {
    registry_.SetValue(kKey, "multi", kRegMultiSz, Bytes({'a', 0, 'b', 0, 0}));
    registry_.SetValue(kKey, "big", kRegDwordBigEndian, Bytes({0, 0, 0, 0x0a}));
    registry_.SetValue(kKey, "none", kRegNone, Bytes({'t', 'x', 't', 0}));
    registry_.SetValue(kKey, "bin", kRegBinary, Bytes({0x00, 0xab, 0x10}));
    registry_.SetValue(kKey, "q", kRegQword, Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    registry_.SetValue(kKey, "exp", kRegExpandSz, Bytes({'%', 'X', '%', 0}));
    registry_.SetValue(kKey, "full", 9, Bytes({'z', 0}));
    const auto lines = Lines(BackupOf(kKey));
    ASSERT_GE(lines.size(), 13u);
    // A multi-string spans two lines of the file.
    EXPECT_EQ(lines[5], "     <v name=\"multi\" value=\"a");
    EXPECT_EQ(lines[6], "b\" type=\"REG_MULTI_SZ\"/>");
    // What the usual rendering would not give back exactly: hexadecimal
    // bytes with the type code.
    EXPECT_EQ(lines[7], "     <v name=\"big\" value=\"00 00 00 0a\" type=\"hex(5)\"/>");
    EXPECT_EQ(lines[8], "     <v name=\"none\" value=\"74 78 74 00\" type=\"hex(0)\"/>");
    EXPECT_EQ(lines[9], "     <v name=\"bin\" value=\"00 ab 10\" type=\"REG_BINARY\"/>");
    EXPECT_EQ(lines[10], "     <v name=\"q\" value=\"0x0807060504030201\" type=\"REG_QWORD\"/>");
    EXPECT_EQ(lines[11], "     <v name=\"exp\" value=\"%X%\" type=\"REG_EXPAND_SZ\"/>");
    EXPECT_EQ(lines[12], "     <v name=\"full\" value=\"7a 00\" type=\"hex(9)\"/>");
}

TEST_F(RepairTest, UnnamedValueIsRenderedByItsTypeToo) {
    // The scans read a non-text unnamed value as raw text; the backup must
    // keep its type and bytes so that a restore gives it back.
    registry_.SetValue(kKey, "", kRegDword, Bytes({0x0a, 0, 0, 0}));
    const std::string sub = std::string(kKey) + "\\Bin";
    registry_.SetValue(sub, "", kRegBinary, Bytes({0x41, 0x00, 0x42}));
    const std::string empty = std::string(kKey) + "\\EmptyText";
    registry_.SetValue(empty, "", kRegSz, Bytes({0}));
    const std::string noData = std::string(kKey) + "\\NoData";
    registry_.SetValue(noData, "", kRegBinary, {});
    registry_.SetString(noData, "keep", "1");

    const auto entries = test::BackupEntries(BackupOf(kKey));
    const std::string base = "HKEY_LOCAL_MACHINE\\SOFTWARE\\QmBackup";
    EXPECT_EQ(entries, (std::vector<std::string>{
                           base + "|(Default)=0x0000000a (10)|REG_DWORD",
                           base + "\\Bin|(Default)=41 00 42|REG_BINARY",
                           base + "\\EmptyText|(Default)=|-",
                           // an unnamed value without data bytes too
                           base + "\\NoData|(Default)=|REG_BINARY",
                           base + "\\NoData|keep=1|-",
                       }));
}

TEST_F(RepairTest, ValueBackupWritesTheFindingsValueAndTheKeysSubKeyTree) {
    registry_.SetString(kKey, "gone", "C:\\gone.dll");
    registry_.SetString(kKey, "other", "stays out of the backup");
    registry_.SetString(std::string(kKey) + "\\Sub", "s", "1");
    CRegValueItem value("gone", "C:\\gone.dll", kRegSz);
    const auto entries = test::BackupEntries(BackupOf(kKey, &value));
    const std::string base = "HKEY_LOCAL_MACHINE\\SOFTWARE\\QmBackup";
    EXPECT_EQ(entries, (std::vector<std::string>{base + "|gone=C:\\gone.dll|-",
                                                 base + "\\Sub|s=1|-"}));
}

// Reads a repair makes of values, by position or by name.
class ValueReadCounter : public MemoryRegistry {
public:
    int reads = 0;
    RegStatus RegEnumValueA(RegKey k, std::uint32_t i, char* n, std::uint32_t* nl, std::uint32_t* t,
                            std::uint8_t* d, std::uint32_t* dl) override {
        ++reads;
        return MemoryRegistry::RegEnumValueA(k, i, n, nl, t, d, dl);
    }
    RegStatus RegQueryValueExA(RegKey k, const char* n, std::uint32_t* t, std::uint8_t* d,
                               std::uint32_t* dl) override {
        ++reads;
        return MemoryRegistry::RegQueryValueExA(k, n, t, d, dl);
    }
};

TEST_F(RepairTest, ValueFindingsReadTheirOwnValuesAndNotTheRestOfTheirKey) {
    // 300 values in one key, 30 of them findings: the repair reads each
    // finding's value (a few calls), never the other 270, so a key of many
    // values costs its findings no more than a small one.
    ValueReadCounter reg;
    EngineServices services = services_;
    services.registry = &reg;
    CRegistryLib lib(services);
    CRegistryRepair repair(lib);
    const std::string fonts = std::string(kKey) + "\\Fonts";
    reg.SetString(fonts + "\\Sub", "s", "1");
    std::vector<std::string> expected;
    for (int i = 0; i < 300; ++i) {
        const std::string name = "Font " + std::to_string(i);
        reg.SetString(fonts, name, "f" + std::to_string(i) + ".ttf");
        if (i % 10 != 3) continue;
        auto f = std::make_unique<CRegErrorLog>();
        f->SetCategory("font");
        f->SetKeyPath(fonts);
        f->SetRemoveKind(kRemoveValue);
        f->SetValue(std::make_unique<CRegValueItem>(name, "f" + std::to_string(i) + ".ttf", kRegSz));
        lib.Findings().push_back(std::move(f));
        expected.push_back(fonts + "|" + name + "=f" + std::to_string(i) + ".ttf|-");
        expected.push_back(fonts + "\\Sub|s=1|-");
    }
    ResultRows rows = RowsFor({"Corrupt Fonts"});
    const std::string file = UniqueName("many-values");
    ASSERT_EQ(repair.FixRegistry(rows, file), file);
    EXPECT_EQ(FixedOf(rows, "Corrupt Fonts"), 30);
    EXPECT_LE(reg.reads, 30 * 6) << "value reads for 30 findings";
    EXPECT_EQ(reg.ValueNames(fonts).size(), 270u);
    // The backup holds each value with its key's sub-keys, as before.
    EXPECT_EQ(test::BackupEntries(test::ReadFileBytes(file)), expected);
}

TEST_F(RepairTest, TwoFindingsUnderOneParentGiveTwoChains) {
    const std::string a = std::string(kKey) + "\\A";
    const std::string b = std::string(kKey) + "\\B";
    registry_.SetString(a, "x", "1");
    registry_.SetString(b, "y", "2");
    AddFinding("SharedTools", a, kRemoveKey);
    AddFinding("SharedTools", b, kRemoveKey);
    ResultRows rows = RowsFor({"Invalid Shared Tools"});
    const std::string file = UniqueName("chains");
    repair_->FixRegistry(rows, file);

    const auto parsed = test::ParseBackup(test::ReadFileBytes(file));
    ASSERT_TRUE(parsed.wellFormed) << parsed.error;
    ASSERT_EQ(parsed.root.children.size(), 2u);
    for (const auto& chain : parsed.root.children) {
        EXPECT_EQ(chain.name, "k");
        EXPECT_EQ(chain.Attr("name"), "HKEY_LOCAL_MACHINE");
    }
    EXPECT_EQ(test::BackupEntries(test::ReadFileBytes(file)),
              (std::vector<std::string>{a + "|x=1|-", b + "|y=2|-"}));
}

TEST_F(RepairTest, KeyThatDoesNotOpenWritesNothing) {
    int result = 1;
    const auto lines = Lines(BackupOf("HKEY_LOCAL_MACHINE\\SOFTWARE\\NoSuchQmKey", nullptr, &result));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(lines, (std::vector<std::string>{"<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
                                               " <registry>", " </registry>"}));
    EXPECT_EQ(Lines(BackupOf("", nullptr, &result)).size(), 3u);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Lines(BackupOf("HKLM\\SOFTWARE", nullptr, &result)).size(), 3u);
    EXPECT_EQ(result, 0);
}

TEST_F(RepairTest, KeyWhoseTreeCannotBeReadWholeWritesNothingAndReleasesHandles) {
    const std::string base = std::string(kKey);
    registry_.SetString(base, "top", "1");
    registry_.SetString(base + "\\A\\A1", "a", "1");
    registry_.SetString(base + "\\A\\A2\\Deep", "d", "1");
    registry_.SetString(base + "\\B", "b", "1");
    const std::size_t handles = registry_.OpenHandleCount();
    const std::vector<std::string> empty = Lines(BackupOf("HKEY_LOCAL_MACHINE\\SOFTWARE\\NoSuchQmKey"));

    // A key deep in the tree, then the key itself, cannot be read: the
    // repair leaves such a key where it is, so the backup holds none of it.
    for (const std::string& unreadable : {base + "\\A\\A2\\Deep", base}) {
        ASSERT_EQ(registry_.SetQueryInfoFailure(unreadable, 5), kRegSuccess);
        int result = 1;
        EXPECT_EQ(Lines(BackupOf(base, nullptr, &result)), empty) << unreadable;
        EXPECT_EQ(result, 0);
        EXPECT_EQ(registry_.OpenHandleCount(), handles);
        ASSERT_EQ(registry_.SetQueryInfoFailure(unreadable, 0), kRegSuccess);
    }
    int result = 0;
    EXPECT_EQ(test::BackupEntries(BackupOf(base, nullptr, &result)),
              (std::vector<std::string>{base + "|top=1|-", base + "\\A\\A1|a=1|-",
                                        base + "\\A\\A2\\Deep|d=1|-", base + "\\B|b=1|-"}));
    EXPECT_EQ(result, 1);
}

TEST_F(RepairTest, KeyNameIsWrittenAsTheRegistryStoresIt) {
    registry_.SetString(std::string(kKey) + "\\App Paths\\QBGone.exe\\Sub", "v", "1");
    const std::string bytes = BackupOf("hkey_local_machine\\software\\QMBACKUP\\App Paths\\qbgone.exe");
    // The chain above keeps the finding's spelling; the key that would be
    // removed (and made again by a restore) has its stored name.
    EXPECT_EQ(bytes.find("qbgone"), std::string::npos) << bytes;
    EXPECT_EQ(test::BackupEntries(bytes),
              (std::vector<std::string>{"hkey_local_machine\\software\\QMBACKUP\\App Paths\\QBGone.exe\\Sub|v=1|-"}));
}

TEST_F(RepairTest, BareRootPathBacksUpWithoutClosingTheRoot) {
    // Not something a scan produces, but it must not break the root handle.
    const std::size_t handles = registry_.OpenHandleCount();
    CRegValueItem value("nothing-here", "x", kRegSz);
    int result = 0;
    const auto lines = Lines(BackupOf("HKEY_CURRENT_CONFIG", &value, &result));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(registry_.OpenHandleCount(), handles);
    RegKeyHandle k;
    EXPECT_EQ(registry_.RegCreateKeyA(kHkeyCurrentConfig, "QmAfterRootBackup", k.Receive(registry_)), kRegSuccess);
}

}  // namespace
}  // namespace qm
