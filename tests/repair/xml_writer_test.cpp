// The backup file's byte layout: the writer and element classes, escaping and
// encoding, and the worked example of a COM class backup.
#include <gtest/gtest.h>

#include "repair_fixture.h"
#include "repair/xml_writer.h"
#include "tests/support/worked_backup.h"

namespace qm {
namespace {

using test::ReadFileBytes;
using test::RepairTest;

TEST_F(RepairTest, WorkedExampleComesOutByteForByte) {
    const std::string key = std::string("HKEY_CLASSES_ROOT\\CLSID\\") + test::kWorkedClass;
    registry_.SetString(key, "", "Sample Object");
    registry_.SetDword(key, "Flags", 10);
    registry_.SetString(key + "\\InprocServer32", "", "C:\\Gone\\a&b.dll");
    registry_.SetString(key + "\\InprocServer32", "ThreadingModel", "Apartment");
    AddFinding("CLSID", key, kRemoveKey);
    ResultRows rows = RowsFor({"Invalid CLSID"});

    const std::string file = UniqueName("worked");
    EXPECT_EQ(repair_->FixRegistry(rows, file), file);

    EXPECT_EQ(ReadFileBytes(file), test::WorkedBackup());
    EXPECT_FALSE(registry_.KeyExists(key));
    EXPECT_EQ(FixedOf(rows, "Invalid CLSID"), 1);
}

TEST_F(RepairTest, WriterCreatesTheFileOnFirstWriteWithTheDeclaration) {
    const std::string file = UniqueName("first");
    CXmlWriter w;
    EXPECT_EQ(w.SetFileName(file), 1);
    EXPECT_FALSE(w.IsOpen());
    EXPECT_FALSE(test::FileExists(file));

    CXmlElement e("a");
    e.SetAttribute("x", "1");
    e.SetAttribute("y", "2");
    e.SetAttribute("x", "3");  // replaced in place, order kept
    EXPECT_EQ(e.WriteStartTag(w, 2, true, true), 1);
    EXPECT_TRUE(w.IsOpen());
    EXPECT_EQ(w.IndentLevel(), 2);
    EXPECT_EQ(e.WriteEmptyElement(w, 1, true, false), 1);
    EXPECT_EQ(w.IndentLevel(), 2);
    EXPECT_EQ(CXmlElement::WriteEndTag("a", w, -2, false, true), 1);
    EXPECT_EQ(w.IndentLevel(), 0);

    // A new name is ignored while the file is open.
    w.SetFileName(UniqueName("other"));
    EXPECT_EQ(w.GetFileName(), file);
    EXPECT_EQ(w.Close(), 1);
    EXPECT_EQ(ReadFileBytes(file),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
              "  <a x=\"3\" y=\"2\">\r\n"
              "   <a x=\"3\" y=\"2\"/>"
              "</a>\r\n");
}

TEST_F(RepairTest, WriterNeverTruncatesAnExistingFileButAddsACounter) {
    const std::string file = UniqueName("taken");
    test::WriteFileBytes(file, "earlier backup");
    const std::string second = file.substr(0, file.size() - 4) + "-2.xml";
    test::WriteFileBytes(second, "another earlier backup");

    CXmlWriter w;
    w.SetFileName(file);
    EXPECT_EQ(w.Write("x"), 1);
    w.Close();
    const std::string third = file.substr(0, file.size() - 4) + "-3.xml";
    EXPECT_EQ(w.GetCreatedFileName(), third);
    EXPECT_EQ(ReadFileBytes(file), "earlier backup");
    EXPECT_EQ(ReadFileBytes(second), "another earlier backup");
    EXPECT_EQ(ReadFileBytes(third), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\nx");

    // Reopening after Close never appends to or truncates the file it wrote.
    EXPECT_EQ(w.Write("y"), 1);
    w.Close();
    EXPECT_EQ(ReadFileBytes(third), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\nx");
    EXPECT_EQ(w.GetCreatedFileName(), file.substr(0, file.size() - 4) + "-4.xml");
}

TEST_F(RepairTest, WriterDropsEverythingWhenTheFileCannotBeCreated) {
    CXmlWriter w;
    w.SetFileName("no-such-folder-for-quillmere/backup.xml");
    EXPECT_EQ(w.Write("x"), 0);
    EXPECT_EQ(w.Write("y"), 0);
    EXPECT_FALSE(w.IsOpen());
    EXPECT_EQ(w.GetCreatedFileName(), "");
    w.Close();
}

TEST(XmlText, EscapesOnlyAmpersandQuoteAndLessThan) {
    EXPECT_EQ(GetEscapedXmlString("a&b\"c<d>e'f\r\ng"), "a&amp;b&quot;c&lt;d>e'f\r\ng");
    EXPECT_EQ(GetEscapedXmlString("&amp;"), "&amp;amp;");
    EXPECT_EQ(GetEscapedXmlString(""), "");
}

TEST(XmlText, Utf8ConversionKeepsAsciiAndConvertsTheCodePage) {
    EXPECT_EQ(UTF8Conversion(""), "");
    EXPECT_EQ(UTF8Conversion("C:\\Program Files\\x.dll"), "C:\\Program Files\\x.dll");
    // Both builds run with UTF-8 as the ANSI code page (the Windows program
    // declares it in its manifest), so UTF-8 text passes unchanged.
    EXPECT_EQ(UTF8Conversion("Caf\xc3\xa9"), "Caf\xc3\xa9");
}

TEST(XmlText, TypeNames) {
    const std::pair<std::uint32_t, const char*> table[] = {
        {0, ""},
        {1, ""},
        {2, "REG_EXPAND_SZ"},
        {3, "REG_BINARY"},
        {4, "REG_DWORD"},
        {5, "REG_DWORD"},
        {6, "REG_SZ"},
        {7, "REG_MULTI_SZ"},
        {8, "REG_RESOURCE_LIST"},
        {9, ""},
        {10, "REG_RESOURCE_REQUIREMENTS_LIST"},
        {11, "REG_QWORD"},
        {12, ""},
        {0xFFFFFFFFu, ""},
    };
    for (const auto& [code, name] : table)
        EXPECT_EQ(CRegistryRepair::StringFromValueType(code), name) << code;
}

}  // namespace
}  // namespace qm
