#include <gtest/gtest.h>

#include "repair/restore_ui.h"
#include "repair/xml_reader.h"
#include "tests/support/backup_files.h"
#include "tests/support/worked_backup.h"

namespace qm {
namespace {

using test::ReadEventsOf;
using V = std::vector<std::string>;

TEST(XmlReader, BackupFileGivesTagsAttributesAndIndentationText) {
    const auto r = ReadEventsOf(test::WorkedBackup());
    EXPECT_EQ(r.error, "");
    const V expected = {
        "5:?xml", "3:version=1.0", "3:encoding=UTF-8",
        "4: ", "1:registry",
        "4:  ", "1:k", "3:name=HKEY_CLASSES_ROOT",
        "4:   ", "1:k", "3:name=CLSID",
        "4:    ", "1:k", "3:name={1A2B3C4D-5E6F-7A8B-9C0D-1E2F3A4B5C6D}",
        "4:     ", "1:v", "3:name=(Default)", "3:value=Sample Object", "2:v",
        "4:     ", "1:v", "3:name=Flags", "3:value=0x0000000a (10)", "3:type=REG_DWORD", "2:v",
        "4:     ", "1:k", "3:name=InprocServer32",
        "4:      ", "1:v", "3:name=(Default)", "3:value=C:\\Gone\\a&amp;b.dll", "2:v",
        "4:      ", "1:v", "3:name=ThreadingModel", "3:value=Apartment", "2:v",
        "4:     ", "2:k", "4:    ", "2:k", "4:   ", "2:k", "4:  ", "2:k", "4: ", "2:registry",
    };
    EXPECT_EQ(r.events, expected);
}

TEST(XmlReader, FirstCharacterOtherThanAngleBracketIsASyntaxErrorInLineOne) {
    for (const char* content : {" <registry>\r\n", "\xEF\xBB<registry>\r\n", "registry\r\n",
                                "=\r\n"}) {
        const auto r = ReadEventsOf(content);
        EXPECT_EQ(r.error, "Parse error in line 1 : (Syntax error)") << content;
        EXPECT_TRUE(r.events.empty()) << content;
    }
}

TEST(XmlReader, SpacesAfterTheAngleBracketAreSkipped) {
    EXPECT_EQ(ReadEventsOf("<   k name=\"a\">").events, (V{"1:k", "3:name=a"}));
    EXPECT_EQ(ReadEventsOf("<k>\r\n<  /k>").events, (V{"1:k", "2:k"}));
}

TEST(XmlReader, EmptyElementGivesStartAttributeAndEndOfTheSameElement) {
    const auto r = ReadEventsOf("<registry>\r\n  <k name=\"Empty Key\"/>\r\n</registry>\r\n");
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.events, (V{"1:registry", "4:  ", "1:k", "3:name=Empty Key", "2:k", "2:registry"}));
}

TEST(XmlReader, LineBreaksInsideAValueComeBackAsTheyStandInTheFile) {
    // CR LF in the file: CR LF in the value (a multi-string as the writer writes it).
    auto r = ReadEventsOf("<v value=\"a\r\nb\r\n\r\nc\"/>\r\n");
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.events, (V{"1:v", "3:value=a\r\nb\r\n\r\nc", "2:v"}));
    // A bare LF stays a bare LF, and a CR that is not part of a line end stays.
    r = ReadEventsOf("<v value=\"a\nb\rc\r\r\nd\"/>");
    EXPECT_EQ(r.events, (V{"1:v", "3:value=a\nb\rc\r\r\nd", "2:v"}));
    // Empty lines inside a value, and a line end right after the opening quote, count too.
    r = ReadEventsOf("<v value=\"\r\n\r\na\r\n\r\n\"/>\r\n");
    EXPECT_EQ(r.events, (V{"1:v", "3:value=\r\n\r\na\r\n\r\n", "2:v"}));
    // Apostrophe-quoted values span lines the same way.
    r = ReadEventsOf("<v value='x\r\ny'/>");
    EXPECT_EQ(r.events, (V{"1:v", "3:value=x\r\ny", "2:v"}));
}

TEST(XmlReader, QuotedValueRunsToItsOwnQuoteCharacter) {
    EXPECT_EQ(ReadEventsOf("<v name=\"it's > 3\" value=\"<'>\"/>").events,
              (V{"1:v", "3:name=it's > 3", "3:value=<'>", "2:v"}));
    EXPECT_EQ(ReadEventsOf("<v name='say \"hi\"'/>").events, (V{"1:v", "3:name=say \"hi\"", "2:v"}));
    EXPECT_EQ(ReadEventsOf("<v name=\"\" value=\"\"/>").events, (V{"1:v", "3:name=", "3:value=", "2:v"}));
}

TEST(XmlReader, UnquotedValueEndsAtAQuoteOrTheTagEnd) {
    EXPECT_EQ(ReadEventsOf("<a x=abc>t").events, (V{"1:a", "3:x=abc", "4:t"}));
    // The quote that ends it is used up; what follows is the next attribute name.
    EXPECT_EQ(ReadEventsOf("<a x=ab\"c=\"d\">").events, (V{"1:a", "3:x=ab", "3:c=d"}));
    // The value may start on the line after the "=".
    EXPECT_EQ(ReadEventsOf("<a x=\r\n   \"v\">").events, (V{"1:a", "3:x=v"}));
}

TEST(XmlReader, ALoneAngleBracketIsAnErrorAtTheEndOfALine) {
    for (const char* content : {"<", "<   ", "<registry>\r\n<\r\n"}) {
        const auto r = ReadEventsOf(content);
        const int line = std::string(content).size() > 4 ? 2 : 1;
        EXPECT_EQ(r.error, "Parse error in line " + std::to_string(line) +
                               " : ('<' symbol not allowed at the end of a line)")
            << content;
    }
}

TEST(XmlReader, OtherMalformedInputNamesItsLineAndReason) {
    EXPECT_EQ(ReadEventsOf("<a\r\n x=\"1\"\r\n<b>").error, "Parse error in line 3 : (Bad '<' symbol)");
    EXPECT_EQ(ReadEventsOf("<>").error, "Parse error in line 1 : (Empty element name)");
    EXPECT_EQ(ReadEventsOf("< >").error, "Parse error in line 1 : (Empty element name)");
}

TEST(XmlReader, EmptyLineGivesOneNothingEvent) {
    const auto r = test::ReadEvents(([] {
        test::WriteFileBytes("empty_line.xml", "<a>\r\n\r\n</a>\r\n");
        return std::string("empty_line.xml");
    })(), true);
    std::vector<std::string> line2;
    for (std::size_t i = 0; i < r.events.size(); ++i)
        if (r.lines[i] == 2) line2.push_back(r.events[i]);
    EXPECT_EQ(line2, (V{"0"}));
}

TEST(XmlReader, CommentOverThreeLinesGivesCommentEventsAndNoText) {
    test::WriteFileBytes("comment.xml", "<a>\r\n<!-- one\r\ntwo <b> \"\r\nthree --><c/>\r\n</a>\r\n");
    const auto r = test::ReadEvents("comment.xml", true);
    EXPECT_EQ(r.error, "");
    std::map<int, std::vector<std::string>> byLine;
    for (std::size_t i = 0; i < r.events.size(); ++i) byLine[r.lines[i]].push_back(r.events[i]);
    for (int line : {2, 3}) {
        int comments = 0;
        for (const auto& e : byLine[line]) {
            EXPECT_TRUE(e == "6" || e == "0") << "line " << line << ": " << e;
            comments += e == "6";
        }
        EXPECT_GE(comments, 1) << line;
    }
    // The closing line: nothing for the comment, then the element after it.
    V line4;
    for (const auto& e : byLine[4])
        if (e != "0") line4.push_back(e);
    EXPECT_EQ(line4, (V{"1:c", "2:c"}));
}

TEST(XmlReader, CDataAndDirectivesAreReportedAndSkipped) {
    EXPECT_EQ(ReadEventsOf("<a><![CDATA[x<y\r\nz]]>t</a>").events,
              (V{"1:a", "7", "7", "4:t", "2:a"}));
    // A directive's attributes belong to no element.
    EXPECT_EQ(ReadEventsOf("<?xml version=\"1.0\"?><!DOCTYPE r><r/>").events,
              (V{"5:?xml", "3:version=1.0", "5:!DOCTYPE", "1:r", "2:r"}));
}

TEST(XmlReader, ParseErrorIsShownOnlyWhenAsked) {
    test::WriteFileBytes("bad.xml", "<a>\r\n<b\r\n<c>\r\n");
    for (bool show : {false, true}) {
        RecordingRestoreUi ui;
        CXmlReader reader;
        reader.SetErrorUi(&ui);
        reader.SetShowErrors(show);
        reader.SetFileName("bad.xml");
        int steps = 0;
        while (reader.ReadNext() == 1) ++steps;
        EXPECT_GT(steps, 0);
        EXPECT_EQ(reader.GetErrorText(), "Parse error in line 3 : (Bad '<' symbol)");
        EXPECT_EQ(ui.Messages(), show ? V{"Parse error in line 3 : (Bad '<' symbol)"} : V{});
        EXPECT_TRUE(reader.IsOpen());
        reader.Close();
        EXPECT_FALSE(reader.IsOpen());
    }
}

TEST(XmlReader, MissingFileGivesNoEventsAndStaysClosed) {
    CXmlReader reader;
    reader.SetFileName("no such file.xml");
    EXPECT_EQ(reader.ReadNext(), 0);
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_EQ(reader.GetErrorText(), "");
}

TEST(XmlReader, FileNameIsFixedWhileOpenAndStateIsFreshOnReopen) {
    test::WriteFileBytes("first.xml", "<a x=\"1\"/>");
    test::WriteFileBytes("second.xml", "<b>");
    CXmlReader reader;
    reader.SetFileName("first.xml");
    ASSERT_EQ(reader.ReadNext(), 1);
    reader.SetFileName("second.xml");  // ignored: open
    EXPECT_EQ(reader.GetTagName(), "a");
    while (reader.ReadNext() == 1) {
    }
    reader.Close();
    reader.SetFileName("second.xml");
    ASSERT_EQ(reader.ReadNext(), 1);
    EXPECT_EQ(reader.GetTagName(), "b");
    EXPECT_EQ(reader.GetLineNumber(), 1);
    EXPECT_EQ(reader.GetAttributeValue(), "");
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

TEST(XmlReaderEditedFiles, ByteOrderMarkOpensTheFileOnly) {
    auto r = test::ReadEventsOf("\xEF\xBB\xBF<registry>\r\n</registry>\r\n");
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.events, (V{"1:registry", "2:registry"}));
    r = test::ReadEventsOf("<registry>\r\n\xEF\xBB\xBF</registry>\r\n");
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.events, (V{"1:registry", "4:\xEF\xBB\xBF", "2:registry"}));  // text, refused by the restore
}

TEST(XmlReaderEditedFiles, TabsAndLineFeedsSeparateLikeSpaces) {
    const auto r = test::ReadEventsOf("<registry>\n\t<k\tname\t=\t\"a\tb\"\n\t\tother='x'\t/>\n</registry>");
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.events, (V{"1:registry", "4:\t", "1:k", "3:name=a\tb", "3:other=x", "2:k", "2:registry"}));
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

TEST(XmlReaderEditedFiles, LinesAcrossTheReadsOfTheFileKeepTheirEndsAndNumbers) {
    // The file is read 64 KiB at a time: a CR LF split between two reads
    // ends one line, and a line longer than one read is one line.
    const std::size_t block = 64 * 1024;
    const std::string a(block - 22, 'x'), b(block + 100, 'y');
    std::string content = "<registry>\r\n<v a=\"" + a + "\"/>\r\n";
    ASSERT_EQ(content.size(), block + 1);  // the CR is the last byte of the first read
    content += "<v b=\"" + b + "\"/>\n</registry>";
    const auto r = ReadEventsOf(content);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.events, (V{"1:registry", "1:v", "3:a=" + a, "2:v", "1:v", "3:b=" + b, "2:v", "2:registry"}));
    EXPECT_EQ(r.lines, (std::vector<int>{1, 2, 2, 2, 3, 3, 3, 4}));
}

}  // namespace
}  // namespace qm
