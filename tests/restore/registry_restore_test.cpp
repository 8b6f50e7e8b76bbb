#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/records.h"
#include "engine/registry_lib.h"
#include "emulation/registry_memory.h"
#include "emulation/system_memory.h"
#include "repair/registry_repair.h"
#include "repair/restore_ui.h"
#include "repair/xml_reader.h"
#include "tests/support/backup_files.h"
#include "tests/support/registry_keys.h"
#include "tests/support/test_restore_areas.h"
#include "tests/support/worked_backup.h"

namespace qm {
namespace {

using Bytes = std::vector<std::uint8_t>;
using V = std::vector<std::string>;

Bytes B(std::initializer_list<int> list) {
    Bytes out;
    for (int x : list) out.push_back(static_cast<std::uint8_t>(x));
    return out;
}

Bytes Text(const std::string& s) {
    Bytes out(s.begin(), s.end());
    out.push_back(0);
    return out;
}

std::string Xml(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n <registry>\r\n" + body + " </registry>\r\n";
}

class RestoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        services_.registry = &reg_;
        services_.system = &sys_;
        services_.ignoreFile = "restore-test-ignore.lst";
        lib_ = std::make_unique<CRegistryLib>(services_);
        repair_ = std::make_unique<CRegistryRepair>(*lib_);
        repair_->SetRestoreUi(&ui_);
        // These backups write below HKEY_CURRENT_USER.
        repair_->SetRestoreAreas(&test::TestRestoreAreas());
    }

    int Restore(const std::string& content) {
        test::WriteFileBytes(file_, content);
        CXmlReader reader;
        const int result = repair_->LoadAsXml(reader, file_);
        EXPECT_FALSE(reader.IsOpen());
        EXPECT_EQ(reg_.OpenHandleCount(), 0u) << "key handles left open";
        return result;
    }

    // The type and bytes of a value; type 0xFFFFFFFF when it is missing.
    test::ValueSnapshot Value(const std::string& key, const std::string& name) {
        test::ValueSnapshot v;
        if (!reg_.GetValue(key, name, &v.type, &v.bytes)) v.type = 0xFFFFFFFFu;
        return v;
    }
    static test::ValueSnapshot Expect(std::uint32_t type, Bytes bytes) { return {type, std::move(bytes)}; }

    MemoryRegistry reg_;
    MemorySystem sys_;
    EngineServices services_;
    std::unique_ptr<CRegistryLib> lib_;
    std::unique_ptr<CRegistryRepair> repair_;  // on *lib_
    RecordingRestoreUi ui_;
    std::string file_ = "restore_input.xml";
};

const char* const kClsid = "HKEY_CLASSES_ROOT\\CLSID\\{1A2B3C4D-5E6F-7A8B-9C0D-1E2F3A4B5C6D}";

TEST_F(RestoreTest, WorkedExampleRestoresKeysAndValues) {
    const std::string body = test::WorkedBackupBody();
    EXPECT_EQ(Restore(Xml(body)), 1);
    EXPECT_EQ(ui_.Messages(), V{});
    const std::string inproc = std::string(kClsid) + "\\InprocServer32";
    EXPECT_EQ(Value(kClsid, ""), Expect(kRegSz, Text("Sample Object")));
    EXPECT_EQ(Value(kClsid, "Flags"), Expect(kRegDword, B({0x0a, 0, 0, 0})));
    EXPECT_EQ(Value(inproc, ""), Expect(kRegSz, Text("C:\\Gone\\a&b.dll")));
    EXPECT_EQ(Value(inproc, "ThreadingModel"), Expect(kRegSz, Text("Apartment")));
    EXPECT_EQ(reg_.ValueNames(kClsid).size(), 2u);
    EXPECT_EQ(reg_.SubKeyNames(kClsid), V{"InprocServer32"});
    // HKEY_CLASSES_ROOT shows HKEY_LOCAL_MACHINE\SOFTWARE\Classes.
    EXPECT_TRUE(reg_.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{1A2B3C4D-5E6F-7A8B-9C0D-1E2F3A4B5C6D}"));
}

TEST_F(RestoreTest, ValuesComeBackByTheirTypeAttribute) {
    // Texts as the backup renders them.
    const std::string bigEndian = ConvertToString(kRegDwordBigEndian, B({0, 0, 0, 0x0a}).data(), 4);
    const Bytes noneData = Text("plain");
    const std::string none = ConvertToString(kRegNone, noneData.data(), noneData.size());
    const std::string body =
        "  <k name=\"HKEY_CURRENT_USER\">\r\n   <k name=\"Software\">\r\n    <k name=\"T\">\r\n"
        "     <v name=\"BigEndian\" value=\"" + bigEndian + "\" type=\"REG_DWORD\"/>\r\n"
        "     <v name=\"None\" value=\"" + none + "\"/>\r\n"
        "     <v name=\"EmptyBinary\" value=\"\" type=\"REG_BINARY\"/>\r\n"
        "     <v name=\"EmptyList\" value=\"\" type=\"REG_RESOURCE_LIST\"/>\r\n"
        "     <v name=\"Bin\" value=\"00 ab FF 7f\" type=\"REG_BINARY\"/>\r\n"
        "     <v name=\"Req\" value=\"01 02\" type=\"REG_RESOURCE_REQUIREMENTS_LIST\"/>\r\n"
        "     <v name=\"Q\" value=\"0x8007060504030201\" type=\"REG_QWORD\"/>\r\n"
        "     <v name=\"Neg\" value=\"0xFFFFFFFE (-2)\" type=\"REG_DWORD\"/>\r\n"
        "     <v name=\"Exp\" value=\"%SystemRoot%\\x\" type=\"REG_EXPAND_SZ\"/>\r\n"
        "     <v name=\"Multi\" value=\"a\r\n\r\nbc\" type=\"REG_MULTI_SZ\"/>\r\n"
        "     <v name=\"EmptyMulti\" value=\"\" type=\"REG_MULTI_SZ\"/>\r\n"
        "     <v name=\"Blank\" value=\"\" type=\"\"/>\r\n"
        "    </k>\r\n   </k>\r\n  </k>\r\n";
    ASSERT_EQ(Restore(Xml(body)), 1);
    EXPECT_EQ(ui_.Messages(), V{});
    const std::string k = "HKEY_CURRENT_USER\\Software\\T";
    EXPECT_EQ(Value(k, "BigEndian"), Expect(kRegDword, B({0x0a, 0, 0, 0})));
    EXPECT_EQ(Value(k, "None"), Expect(kRegSz, Text("plain")));
    // An empty binary value comes back empty (not as one zero byte).
    EXPECT_EQ(Value(k, "EmptyBinary"), Expect(kRegBinary, {}));
    EXPECT_EQ(Value(k, "EmptyList"), Expect(kRegResourceList, {}));
    EXPECT_EQ(Value(k, "Bin"), Expect(kRegBinary, B({0x00, 0xab, 0xff, 0x7f})));
    EXPECT_EQ(Value(k, "Req"), Expect(kRegResourceRequirementsList, B({1, 2})));
    EXPECT_EQ(Value(k, "Q"), Expect(kRegQword, B({1, 2, 3, 4, 5, 6, 7, 0x80})));
    EXPECT_EQ(Value(k, "Neg"), Expect(kRegDword, B({0xfe, 0xff, 0xff, 0xff})));
    EXPECT_EQ(Value(k, "Exp"), Expect(kRegExpandSz, Text("%SystemRoot%\\x")));
    EXPECT_EQ(Value(k, "Multi"), Expect(kRegMultiSz, B({'a', 0, 0, 'b', 'c', 0, 0})));
    EXPECT_EQ(Value(k, "EmptyMulti"), Expect(kRegMultiSz, B({0})));
    EXPECT_EQ(Value(k, "Blank"), Expect(kRegSz, Text("")));
}

TEST_F(RestoreTest, UnknownRootStopsWithFailureAndNoMessage) {
    const std::string body =
        "  <k name=\"HKEY_NOWHERE\">\r\n   <k name=\"Sub\">\r\n   </k>\r\n  </k>\r\n"
        "  <k name=\"HKEY_CURRENT_USER\">\r\n   <k name=\"After\"/>\r\n  </k>\r\n";
    EXPECT_EQ(Restore(Xml(body)), 0);
    EXPECT_EQ(ui_.Messages(), V{});
    EXPECT_FALSE(reg_.KeyExists("HKEY_CURRENT_USER\\After"));
}

TEST_F(RestoreTest, ElementAndAttributeNamesInAnyCase) {
    const std::string body =
        "  <K NAME=\"hkey_current_user\">\r\n   <k Name=\"Software\">\r\n"
        "    <V nAmE=\"(DEFAULT)\" VALUE=\"d\" TYPE=\"reg_expand_sz\"/>\r\n"
        "    <V NAME=\"x\" VALUE=\"0x00000001 (1)\" TYPE=\"Reg_Dword\"></V>\r\n"
        "   </K>\r\n  </K>\r\n";
    EXPECT_EQ(Restore(Xml(body)), 1);
    EXPECT_EQ(Value("HKEY_CURRENT_USER\\Software", ""), Expect(kRegExpandSz, Text("d")));
    EXPECT_EQ(Value("HKEY_CURRENT_USER\\Software", "x"), Expect(kRegDword, B({1, 0, 0, 0})));
}

TEST_F(RestoreTest, ValueOutsideEveryKeyFailsTheRestore) {
    const std::string body =
        "  <k name=\"HKEY_CURRENT_USER\">\r\n   <k name=\"In\">\r\n    <v name=\"Kept\" value=\"2\"/>\r\n"
        "   </k>\r\n  </k>\r\n"
        "  <v name=\"Stray\" value=\"3\"/>\r\n";
    EXPECT_EQ(Restore(Xml(body)), 0);
    EXPECT_EQ(repair_->LastRestore().line, 8);
    EXPECT_EQ(repair_->LastRestore().reason, "element <v> inside <registry>");
    EXPECT_EQ(reg_.ValueNames("HKEY_CURRENT_USER"), V{});
    EXPECT_EQ(reg_.ValueNames("HKEY_CURRENT_USER\\In"), V{"Kept"});
}

TEST_F(RestoreTest, EntitiesAreReplacedOnceInNamesAndValues) {
    const std::string body =
        "  <k name=\"HKEY_CURRENT_USER\">\r\n   <k name=\"a&amp;b &lt;&quot;c&quot;&gt; 'd'\">\r\n"
        "    <v name=\"&amp;lt;\" value=\"&amp;quot;&amp;amp;&lt;&quot;&amp\"/>\r\n"
        "   </k>\r\n  </k>\r\n";
    EXPECT_EQ(Restore(Xml(body)), 1);
    const std::string key = "HKEY_CURRENT_USER\\a&b <\"c\"&gt; 'd'";
    ASSERT_TRUE(reg_.KeyExists(key));
    EXPECT_EQ(Value(key, "&lt;"), Expect(kRegSz, Text("&quot;&amp;<\"&amp")));
}

TEST_F(RestoreTest, AttributesOfAValueMayComeInAnyOrder) {
    const std::string body =
        "  <k name=\"HKEY_CURRENT_USER\">\r\n"
        "   <v type=\"REG_DWORD\" name=\"A\" value=\"0x00000007 (7)\"/>\r\n"
        "   <v name=\"B\" type=\"REG_BINARY\" value=\"01\"/>\r\n"
        "   <v value=\"text\" name=\"C\"/>\r\n"
        "  </k>\r\n";
    EXPECT_EQ(Restore(Xml(body)), 1);
    EXPECT_EQ(Value("HKEY_CURRENT_USER", "A"), Expect(kRegDword, B({7, 0, 0, 0})));
    EXPECT_EQ(Value("HKEY_CURRENT_USER", "B"), Expect(kRegBinary, B({1})));
    EXPECT_EQ(Value("HKEY_CURRENT_USER", "C"), Expect(kRegSz, Text("text")));
}

TEST_F(RestoreTest, ExistingKeysAreOpenedAndValuesOverwritten) {
    reg_.SetString("HKEY_CURRENT_USER\\Software\\E", "v", "old");
    reg_.SetString("HKEY_CURRENT_USER\\Software\\E", "other", "kept");
    reg_.CreateKeyPath("HKEY_CURRENT_USER\\Software\\E\\Child");
    const std::string body =
        "  <k name=\"HKEY_CURRENT_USER\">\r\n   <k name=\"Software\">\r\n    <k name=\"E\">\r\n"
        "     <v name=\"v\" value=\"new\"/>\r\n    </k>\r\n   </k>\r\n  </k>\r\n";
    EXPECT_EQ(Restore(Xml(body)), 1);
    EXPECT_EQ(Value("HKEY_CURRENT_USER\\Software\\E", "v"), Expect(kRegSz, Text("new")));
    EXPECT_EQ(Value("HKEY_CURRENT_USER\\Software\\E", "other"), Expect(kRegSz, Text("kept")));
    EXPECT_TRUE(reg_.KeyExists("HKEY_CURRENT_USER\\Software\\E\\Child"));
}

TEST_F(RestoreTest, KeyThatCannotBeCreatedStopsAfterItsMessage) {
    const std::string tooLong(300, 'L');
    const std::string body =
        "  <k name=\"HKEY_CURRENT_USER\">\r\n   <k name=\"Before\">\r\n    <v name=\"x\" value=\"1\"/>\r\n"
        "   </k>\r\n   <k name=\"" + tooLong + "\">\r\n    <v name=\"y\" value=\"2\"/>\r\n   </k>\r\n"
        "   <k name=\"After\"/>\r\n  </k>\r\n";
    EXPECT_EQ(Restore(Xml(body)), 0);
    EXPECT_EQ(ui_.Messages(), V{"couldn't create key HKEY_CURRENT_USER\\" + tooLong});
    EXPECT_EQ(Value("HKEY_CURRENT_USER\\Before", "x"), Expect(kRegSz, Text("1")));
    EXPECT_FALSE(reg_.KeyExists("HKEY_CURRENT_USER\\After"));
}

TEST_F(RestoreTest, ValueThatCannotBeWrittenGivesAMessageAndTheRestoreGoesOn) {
    reg_.CreateKeyPath("HKEY_CURRENT_USER\\Locked");
    reg_.SetDenyDelete("HKEY_CURRENT_USER\\Locked");
    const std::string body =
        "  <k name=\"HKEY_CURRENT_USER\">\r\n   <k name=\"Locked\">\r\n"
        "    <v name=\"a&amp;b\" value=\"1\"/>\r\n    <v name=\"(Default)\" value=\"2\"/>\r\n   </k>\r\n"
        "   <k name=\"Open\">\r\n    <v name=\"c\" value=\"3\"/>\r\n   </k>\r\n  </k>\r\n";
    EXPECT_EQ(Restore(Xml(body)), 0);
    EXPECT_EQ(ui_.Messages(), (V{"couldn't set value a&b", "couldn't set value (Default)"}));
    EXPECT_EQ(Value("HKEY_CURRENT_USER\\Open", "c"), Expect(kRegSz, Text("3")));
    // The first failure is reported, with what was restored by then.
    EXPECT_EQ(repair_->LastRestore().line, 5);
    EXPECT_EQ(repair_->LastRestore().reason, "couldn't set value a&b");
}

TEST_F(RestoreTest, ParseErrorFailsAfterItsMessageKeepingWhatWasWritten) {
    const std::string content = Xml(
        "  <k name=\"HKEY_CURRENT_USER\">\r\n   <k name=\"P\">\r\n    <v name=\"x\" value=\"1\"/>\r\n"
        "    <\r\n    <v name=\"y\" value=\"2\"/>\r\n   </k>\r\n  </k>\r\n");
    EXPECT_EQ(Restore(content), 0);
    EXPECT_EQ(ui_.Messages(), V{"Parse error in line 6 : ('<' symbol not allowed at the end of a line)"});
    EXPECT_EQ(Value("HKEY_CURRENT_USER\\P", "x"), Expect(kRegSz, Text("1")));
    EXPECT_FALSE(reg_.ValueExists("HKEY_CURRENT_USER\\P", "y"));
}

// The file is read ahead of the writes: failures far into a large file
// still come in file order, and nothing read after the failure that ends
// the restore is written or shown.
TEST_F(RestoreTest, FailuresFarIntoALargeFileComeInFileOrder) {
    reg_.CreateKeyPath("HKEY_CURRENT_USER\\Locked");
    reg_.SetDenyDelete("HKEY_CURRENT_USER\\Locked");
    const int keys = 3000;
    std::string many;
    for (int i = 0; i < keys; ++i)
        many += "   <k name=\"K" + std::to_string(i) + "\">\r\n    <v name=\"v\" value=\"" + std::to_string(i) +
                "\"/>\r\n   </k>\r\n";
    const std::string head = "  <k name=\"HKEY_CURRENT_USER\">\r\n   <k name=\"Locked\">\r\n"
                             "    <v name=\"a\" value=\"1\"/>\r\n   </k>\r\n" + many;
    const std::string tooLong(300, 'L');
    const std::string badKey = "   <k name=\"" + tooLong + "\">\r\n    <v name=\"y\" value=\"2\"/>\r\n   </k>\r\n";
    const std::string tail = "   <k name=\"After\">\r\n    <v name=\"z\" value=\"3\"/>\r\n   </k>\r\n    <\r\n  </k>\r\n";

    // A key that cannot be created ends it: the parse error after it is
    // neither shown nor reported.
    EXPECT_EQ(Restore(Xml(head + badKey + tail)), 0);
    EXPECT_EQ(ui_.Messages(), (V{"couldn't set value a", "couldn't create key HKEY_CURRENT_USER\\" + tooLong}));
    EXPECT_EQ(repair_->LastRestore().reason, "couldn't set value a");
    EXPECT_EQ(repair_->LastRestore().line, 5);
    EXPECT_EQ(repair_->LastRestore().values, unsigned(keys));
    EXPECT_EQ(Value("HKEY_CURRENT_USER\\K" + std::to_string(keys - 1), "v"),
              Expect(kRegSz, Text(std::to_string(keys - 1))));
    EXPECT_FALSE(reg_.KeyExists("HKEY_CURRENT_USER\\After"));

    // Without it, the parse error is shown after the earlier message.
    ui_.ClearMessages();
    EXPECT_EQ(Restore(Xml(head + tail)), 0);
    EXPECT_EQ(ui_.Messages(), (V{"couldn't set value a", "Parse error in line " + std::to_string(10 + 3 * keys) +
                                                         " : ('<' symbol not allowed at the end of a line)"}));
    EXPECT_EQ(repair_->LastRestore().reason, "couldn't set value a");
    EXPECT_EQ(repair_->LastRestore().values, unsigned(keys) + 1);
    EXPECT_EQ(Value("HKEY_CURRENT_USER\\After", "z"), Expect(kRegSz, Text("3")));
}

TEST_F(RestoreTest, FileThatCannotBeOpenedFails) {
    CXmlReader reader;
    EXPECT_EQ(repair_->LoadAsXml(reader, "no such backup.xml"), 0);
    EXPECT_EQ(ui_.Messages(), V{});
}

TEST_F(RestoreTest, RestoreRegistryRunsTheDialogThenTheFile) {
    test::WriteFileBytes(file_, Xml("  <k name=\"HKEY_CURRENT_USER\">\r\n   <k name=\"R\"/>\r\n  </k>\r\n"));
    {
        RecordingRestoreUi cancel;  // no file: the user cancels
        repair_->SetRestoreUi(&cancel);
        EXPECT_FALSE(repair_->RestoreRegistry());
        EXPECT_EQ(cancel.DialogCount(), 1);
        EXPECT_FALSE(reg_.KeyExists("HKEY_CURRENT_USER\\R"));
    }
    {
        RecordingRestoreUi pick(file_);
        repair_->SetRestoreUi(&pick);
        EXPECT_TRUE(repair_->RestoreRegistry());
        EXPECT_FALSE(pick.WaitCursorShown());
        EXPECT_TRUE(reg_.KeyExists("HKEY_CURRENT_USER\\R"));
    }
    {
        RecordingRestoreUi missing("missing.xml");
        repair_->SetRestoreUi(&missing);
        EXPECT_FALSE(repair_->RestoreRegistry());
        EXPECT_EQ(missing.Messages(), V{"Restoration stopped: cannot open the file (0 keys, 0 values "
                                        "and 0 files restored before it)"});
    }
    {
        // Cut off: the reason is shown (the caller then shows the failure).
        test::WriteFileBytes("cut.xml", Xml("  <k name=\"HKEY_CURRENT_USER\">\r\n   <k name=\"S\"/>\r\n").substr(0, 90));
        RecordingRestoreUi cut("cut.xml");
        repair_->SetRestoreUi(&cut);
        EXPECT_FALSE(repair_->RestoreRegistry());
        ASSERT_EQ(cut.Messages().size(), 1u);
        EXPECT_EQ(cut.Messages()[0].rfind("Restoration stopped: line ", 0), 0u) << cut.Messages()[0];
        EXPECT_NE(cut.Messages()[0].find("the file ends before the end of the registry element"),
                  std::string::npos);
    }
    {
        // A parse error is shown once, by the reader.
        test::WriteFileBytes("bad.xml", "<registry>\r\n<\r\n");
        RecordingRestoreUi bad("bad.xml");
        repair_->SetRestoreUi(&bad);
        EXPECT_FALSE(repair_->RestoreRegistry());
        EXPECT_EQ(bad.Messages(), V{"Parse error in line 2 : ('<' symbol not allowed at the end of a line)"});
    }
    repair_->SetRestoreUi(nullptr);
    EXPECT_FALSE(repair_->RestoreRegistry());
}

TEST(RestoreText, ConvertFromStringInvertsTheRendering) {
    EXPECT_EQ(ConvertFromString("abc", kRegSz), Text("abc"));
    EXPECT_EQ(ConvertFromString("", kRegExpandSz), Text(""));
    EXPECT_EQ(ConvertFromString("0A 1b", kRegBinary), B({0x0a, 0x1b}));
    EXPECT_EQ(ConvertFromString("0a 1", kRegBinary), B({0x0a}));
    EXPECT_EQ(ConvertFromString("0a 1b ", kRegBinary), B({0x0a, 0x1b}));
    EXPECT_EQ(ConvertFromString("0x12", kRegDword), B({0, 0, 0, 0x12}));
    EXPECT_EQ(ConvertFromString("", kRegDword), B({0, 0, 0, 0}));
    EXPECT_EQ(ConvertFromString("", kRegQword), Bytes(8, 0));
    EXPECT_EQ(ConvertFromString("0xAbCdEf0123456789", kRegQword),
              B({0x89, 0x67, 0x45, 0x23, 0x01, 0xef, 0xcd, 0xab}));
    EXPECT_EQ(ConvertFromString("a\r\nb", kRegMultiSz), B({'a', 0, 'b', 0, 0}));
    // Whatever a value held, its rendering comes back as those bytes.
    const Bytes samples[] = {B({}), B({0}), B({0xff, 0, 0x10}), B({1, 2, 3, 4, 5, 6, 7, 8})};
    for (const Bytes& b : samples) {
        const std::string text = ConvertToString(kRegBinary, b.data(), b.size());
        EXPECT_EQ(ConvertFromString(text, kRegBinary), b) << text;
    }
    for (std::uint32_t x : {0u, 1u, 0x7fffffffu, 0x80000000u, 0xffffffffu, 0x01020304u}) {
        const Bytes b = B({int(x & 0xff), int((x >> 8) & 0xff), int((x >> 16) & 0xff), int(x >> 24)});
        EXPECT_EQ(ConvertFromString(ConvertToString(kRegDword, b.data(), 4), kRegDword), b) << x;
    }
}

TEST(RestoreText, TypeNamesAreReadWithoutRegardToCase) {
    EXPECT_EQ(CRegistryRepair::TypeFromString("REG_BINARY"), kRegBinary);
    EXPECT_EQ(CRegistryRepair::TypeFromString("reg_dword"), kRegDword);
    EXPECT_EQ(CRegistryRepair::TypeFromString("Reg_Sz"), kRegSz);
    EXPECT_EQ(CRegistryRepair::TypeFromString("REG_EXPAND_SZ"), kRegExpandSz);
    EXPECT_EQ(CRegistryRepair::TypeFromString("REG_MULTI_SZ"), kRegMultiSz);
    EXPECT_EQ(CRegistryRepair::TypeFromString("REG_QWORD"), kRegQword);
    EXPECT_EQ(CRegistryRepair::TypeFromString("REG_RESOURCE_LIST"), kRegResourceList);
    EXPECT_EQ(CRegistryRepair::TypeFromString("REG_RESOURCE_REQUIREMENTS_LIST"), kRegResourceRequirementsList);
    for (const char* other : {"", "REG_NONE", "REG_DWORD_BIG_ENDIAN", "REG_LINK", "REG_DWORDX", "REG_"})
        EXPECT_EQ(CRegistryRepair::TypeFromString(other), kRegSz) << other;
}

TEST(RestoreText, UnescapingReplacesEachEntityOnce) {
    EXPECT_EQ(GetUnescapedXmlString("&lt;&quot;&amp;"), "<\"&");
    EXPECT_EQ(GetUnescapedXmlString("&amp;lt;"), "&lt;");
    EXPECT_EQ(GetUnescapedXmlString("&amp;amp;"), "&amp;");
    EXPECT_EQ(GetUnescapedXmlString("&gt;&apos;&#38;&amp"), "&gt;&apos;&#38;&amp");
    EXPECT_EQ(GetUnescapedXmlString("a&&lt;"), "a&<");
    EXPECT_EQ(GetUnescapedXmlString(""), "");
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

// "(Default)" in any letter case is the unnamed value, as in every backup of
// earlier versions, unless the element says named="1"; named="0" is the
// same as no attribute, and any other text is refused.
TEST_F(RestoreTest, NamedAttributeTellsAValueNamedDefaultFromTheUnnamedOne) {
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\QmNamed";
    EXPECT_EQ(Restore(Xml("  <k name=\"HKEY_LOCAL_MACHINE\">\r\n   <k name=\"SOFTWARE\">\r\n    <k name=\"QmNamed\">\r\n"
                          "     <v name=\"(default)\" value=\"unnamed\"/>\r\n"
                          "     <v named=\"1\" name=\"(Default)\" value=\"named\"/>\r\n"
                          "    </k>\r\n    <k name=\"QmNamed\">\r\n"
                          "     <v name=\"(DEFAULT)\" value=\"unnamed again\" named=\"0\"/>\r\n"
                          "    </k>\r\n   </k>\r\n  </k>\r\n")),
              1)
        << repair_->LastRestore().Describe();
    EXPECT_EQ(reg_.ValueNames(key), (V{"", "(Default)"}));
    EXPECT_EQ(Value(key, ""), Expect(kRegSz, Text("unnamed again")));
    EXPECT_EQ(Value(key, "(Default)"), Expect(kRegSz, Text("named")));

    EXPECT_EQ(Restore(Xml("  <k name=\"HKEY_LOCAL_MACHINE\">\r\n   <k name=\"SOFTWARE\">\r\n    <k name=\"QmNamed\">\r\n"
                          "     <v name=\"(Default)\" value=\"x\" named=\"yes\"/>\r\n"
                          "    </k>\r\n   </k>\r\n  </k>\r\n")),
              0);
    EXPECT_EQ(repair_->LastRestore().reason, "value \"(Default)\": named=\"yes\" is neither 0 nor 1");
    EXPECT_EQ(repair_->LastRestore().line, 6);
    EXPECT_EQ(Value(key, "(Default)"), Expect(kRegSz, Text("named")));
}

// A backup as every earlier version writes it (no view attribute) restores
// where it always did, in the 64-bit view; a chain marked view="32" is
// restored in the 32-bit view, below Wow6432Node.
TEST_F(RestoreTest, ViewAttributeChoosesTheViewAndOlderBackupsRestoreUnchanged) {
    const std::string older = Xml(
        "  <k name=\"HKEY_LOCAL_MACHINE\">\r\n"
        "   <k name=\"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\">\r\n    <k name=\"QmOld\">\r\n"
        "     <v name=\"Path\" value=\"C:\\Old\\old.exe\"/>\r\n    </k>\r\n   </k>\r\n  </k>\r\n"
        "  <k name=\"HKEY_CLASSES_ROOT\">\r\n   <k name=\"CLSID\">\r\n    <k name=\"{0E5C0000-0000-0000-0000-000000000001}\">\r\n"
        "     <k name=\"InprocServer32\">\r\n      <v name=\"(Default)\" value=\"C:\\Old\\old.dll\"/>\r\n"
        "     </k>\r\n    </k>\r\n   </k>\r\n  </k>\r\n");
    EXPECT_EQ(Restore(older), 1) << repair_->LastRestore().Describe();
    EXPECT_EQ(Value("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QmOld", "Path"),
              Expect(kRegSz, Text("C:\\Old\\old.exe")));
    EXPECT_EQ(Value("HKEY_CLASSES_ROOT\\CLSID\\{0E5C0000-0000-0000-0000-000000000001}\\InprocServer32", ""),
              Expect(kRegSz, Text("C:\\Old\\old.dll")));
    EXPECT_FALSE(reg_.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node"));
    EXPECT_FALSE(reg_.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node"));

    const std::string marked = Xml(
        "  <k name=\"HKEY_LOCAL_MACHINE\" view=\"32\">\r\n"
        "   <k name=\"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\">\r\n    <k name=\"QmNew\">\r\n"
        "     <v name=\"Path\" value=\"C:\\New\\new.exe\"/>\r\n    </k>\r\n   </k>\r\n  </k>\r\n"
        "  <k view=\"32\" name=\"HKEY_CLASSES_ROOT\">\r\n   <k name=\"CLSID\">\r\n    <k name=\"{0E5C0000-0000-0000-0000-000000000002}\"/>\r\n"
        "   </k>\r\n  </k>\r\n"
        "  <k name=\"HKEY_LOCAL_MACHINE\" view=\"64\">\r\n"
        "   <k name=\"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\">\r\n    <k name=\"QmSixtyFour\"/>\r\n"
        "   </k>\r\n  </k>\r\n");
    EXPECT_EQ(Restore(marked), 1) << repair_->LastRestore().Describe();
    EXPECT_EQ(Value("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QmNew", "Path"),
              Expect(kRegSz, Text("C:\\New\\new.exe")));
    EXPECT_FALSE(reg_.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QmNew"));
    EXPECT_TRUE(reg_.KeyExists(
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{0E5C0000-0000-0000-0000-000000000002}"));
    EXPECT_TRUE(reg_.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QmSixtyFour"));

    EXPECT_EQ(Restore(Xml("  <k name=\"HKEY_LOCAL_MACHINE\" view=\"16\">\r\n  </k>\r\n")), 0);
    EXPECT_EQ(repair_->LastRestore().reason, "unknown registry view \"16\"");
    EXPECT_EQ(repair_->LastRestore().line, 3);
}


// A chain whose root names a hive of HKEY_CLASSES_ROOT (an offline
// installation's classes: the user's UsrClass.dat or the machine's
// SOFTWARE\Classes) goes back below that hive's own path, in its view;
// messages name that path.
TEST_F(RestoreTest, HiveAttributeRestoresIntoThatHiveAlone) {
    const std::string content = Xml(
        "  <k name=\"HKEY_CLASSES_ROOT\" hive=\"user\">\r\n   <k name=\"CLSID\">\r\n    <k name=\"{U}\">\r\n"
        "     <k name=\"InprocServer32\">\r\n      <v name=\"(Default)\" value=\"C:\\Gone\\user.dll\"/>\r\n"
        "     </k>\r\n    </k>\r\n   </k>\r\n  </k>\r\n"
        "  <k hive=\"machine\" name=\"hkey_classes_root\" view=\"32\">\r\n   <k name=\"CLSID\">\r\n"
        "    <k name=\"{M}\"/>\r\n   </k>\r\n  </k>\r\n"
        "  <k name=\"HKEY_CLASSES_ROOT\">\r\n   <k name=\"CLSID\">\r\n    <k name=\"{Merged}\"/>\r\n   </k>\r\n  </k>\r\n");
    EXPECT_EQ(Restore(content), 1) << repair_->LastRestore().Describe();
    EXPECT_EQ(Value("HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{U}\\InprocServer32", ""),
              Expect(kRegSz, Text("C:\\Gone\\user.dll")));
    EXPECT_FALSE(reg_.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{U}"));
    EXPECT_TRUE(reg_.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{M}"));
    EXPECT_FALSE(reg_.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{M}"));
    EXPECT_TRUE(reg_.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{Merged}"));

    const std::string tooLong(300, 'L');
    EXPECT_EQ(Restore(Xml("  <k name=\"HKEY_CLASSES_ROOT\" hive=\"user\">\r\n   <k name=\"CLSID\">\r\n    <k name=\"" +
                          tooLong + "\">\r\n     <v name=\"x\" value=\"1\"/>\r\n    </k>\r\n   </k>\r\n  </k>\r\n")),
              0);
    EXPECT_EQ(repair_->LastRestore().reason,
              "couldn't create key HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\" + tooLong);
    EXPECT_EQ(repair_->LastRestore().line, 5);

    EXPECT_EQ(Restore(Xml("  <k name=\"HKEY_CLASSES_ROOT\" hive=\"both\">\r\n  </k>\r\n")), 0);
    EXPECT_EQ(repair_->LastRestore().reason, "unknown hive \"both\"");
    EXPECT_EQ(repair_->LastRestore().line, 3);
    EXPECT_EQ(Restore(Xml("  <k name=\"HKEY_LOCAL_MACHINE\" hive=\"user\">\r\n   <k name=\"SOFTWARE\"/>\r\n  </k>\r\n")),
              0);
    EXPECT_EQ(repair_->LastRestore().reason,
              "hive \"user\" given for \"HKEY_LOCAL_MACHINE\", which is not HKEY_CLASSES_ROOT");
    // Only the outermost key names a hive; below it the attribute means nothing.
    EXPECT_EQ(Restore(Xml("  <k name=\"HKEY_CLASSES_ROOT\">\r\n   <k name=\"CLSID\">\r\n"
                          "    <k name=\"QmInner\" hive=\"user\"/>\r\n   </k>\r\n  </k>\r\n")),
              1);
    EXPECT_TRUE(reg_.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\QmInner"));
}

// A key that refuses changes (an offline hive's key holding a value too large
// to write back) may hold a value of the backup already: that value is where
// the backup says. One it does not hold is a failure.
TEST_F(RestoreTest, ValueHeldAlreadyByAKeyThatRefusesChangesIsRestored) {
    reg_.SetString("HKEY_CURRENT_USER\\Locked", "same", "1");
    reg_.SetValue("HKEY_CURRENT_USER\\Locked", "bytes", kRegBinary, B({1, 2}));
    reg_.SetDenyDelete("HKEY_CURRENT_USER\\Locked");
    const std::string held = Xml(
        "  <k name=\"HKEY_CURRENT_USER\">\r\n   <k name=\"Locked\">\r\n    <v name=\"SAME\" value=\"1\"/>\r\n"
        "    <v name=\"bytes\" value=\"01 02\" type=\"REG_BINARY\"/>\r\n   </k>\r\n  </k>\r\n");
    EXPECT_EQ(Restore(held), 1) << repair_->LastRestore().Describe();
    EXPECT_TRUE(ui_.Messages().empty());
    for (const char* other : {"<v name=\"same\" value=\"2\"/>", "<v name=\"same\" value=\"01\" type=\"hex(3)\"/>",
                              "<v name=\"bytes\" value=\"01 02 03\" type=\"REG_BINARY\"/>",
                              "<v name=\"new\" value=\"1\"/>"}) {
        EXPECT_EQ(Restore(Xml("  <k name=\"HKEY_CURRENT_USER\">\r\n   <k name=\"Locked\">\r\n    " + std::string(other) +
                              "\r\n   </k>\r\n  </k>\r\n")),
                  0)
            << other;
    }
    EXPECT_EQ(Value("HKEY_CURRENT_USER\\Locked", "same"), Expect(kRegSz, Text("1")));
}

}  // namespace
}  // namespace qm
