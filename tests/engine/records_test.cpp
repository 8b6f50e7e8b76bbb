#include <gtest/gtest.h>

#include <vector>

#include "engine/records.h"
#include "platform/codepage.h"
#include "platform/registry.h"

namespace qm {
namespace {

// Renders through both forms, the one into a string already holding text
// (as a scan's reused item does), and expects the same text from each.
std::string Render(std::uint32_t type, std::vector<std::uint8_t> bytes) {
    std::string out = "stale text from the value read before, longer than most renderings";
    ConvertToString(type, bytes.data(), bytes.size(), out);
    const std::string text = ConvertToString(type, bytes.data(), bytes.size());
    EXPECT_EQ(out, text) << "type " << type;
    return text;
}

TEST(ConvertToString, HexTypesListEveryByteSeparatedByOneSpace) {
    for (std::uint32_t type : {kRegBinary, kRegResourceList, kRegResourceRequirementsList}) {
        EXPECT_EQ(Render(type, {0x00, 0xab, 0x0f}), "00 ab 0f") << type;
        EXPECT_EQ(Render(type, {0x7f}), "7f") << type;
        EXPECT_EQ(Render(type, {}), "") << type;
    }
}

TEST(ConvertToString, DwordShowsHexThenSignedDecimal) {
    EXPECT_EQ(Render(kRegDword, {0x0a, 0, 0, 0}), "0x0000000a (10)");
    EXPECT_EQ(Render(kRegDword, {0xff, 0xff, 0xff, 0xff}), "0xffffffff (-1)");
    EXPECT_EQ(Render(kRegDword, {0x78, 0x56, 0x34, 0x12}), "0x12345678 (305419896)");
    EXPECT_EQ(Render(kRegDword, {0, 0, 0, 0x80}), "0x80000000 (-2147483648)");
}

TEST(ConvertToString, BigEndianDwordReadsBytesInStoredOrder) {
    EXPECT_EQ(Render(kRegDwordBigEndian, {0, 0, 0, 0x0a}), "0x0000000a (10)");
    EXPECT_EQ(Render(kRegDwordBigEndian, {0x12, 0x34, 0x56, 0x78}), "0x12345678 (305419896)");
    EXPECT_EQ(Render(kRegDwordBigEndian, {0xff, 0xff, 0xff, 0xff}), "0xffffffff (-1)");
}

TEST(ConvertToString, QwordShowsSixteenDigitsMostSignificantFirst) {
    EXPECT_EQ(Render(kRegQword, {1, 2, 3, 4, 5, 6, 7, 0x80}), "0x8007060504030201");
    EXPECT_EQ(Render(kRegQword, {0, 0, 0, 0, 0, 0, 0, 0}), "0x0000000000000000");
}

TEST(ConvertToString, ShortNumbersRenderOnlyTheBytesThatExist) {
    // Any program may store fewer bytes than the type suggests; missing bytes read as zero.
    EXPECT_EQ(Render(kRegDword, {}), "0x00000000 (0)");
    EXPECT_EQ(Render(kRegDword, {0x01}), "0x00000001 (1)");
    EXPECT_EQ(Render(kRegDword, {0x01, 0x02, 0x03}), "0x00030201 (197121)");
    EXPECT_EQ(Render(kRegDwordBigEndian, {0x01}), "0x01000000 (16777216)");
    EXPECT_EQ(Render(kRegDwordBigEndian, {0x01, 0x02, 0x03}), "0x01020300 (16909056)");
    EXPECT_EQ(Render(kRegQword, {}), "0x0000000000000000");
    EXPECT_EQ(Render(kRegQword, {0xaa}), "0x00000000000000aa");
    EXPECT_EQ(Render(kRegQword, {1, 2, 3, 4, 5, 6, 7}), "0x0007060504030201");
}

TEST(ConvertToString, MultiStringJoinsWithCrLfAndDropsTheTerminators) {
    EXPECT_EQ(Render(kRegMultiSz, {'a', 0, 'b', 0, 0}), "a\r\nb");
    EXPECT_EQ(Render(kRegMultiSz, {'a', 'b', 0, 0}), "ab");
    EXPECT_EQ(Render(kRegMultiSz, {0, 0}), "");
    EXPECT_EQ(Render(kRegMultiSz, {0}), "");
    EXPECT_EQ(Render(kRegMultiSz, {}), "");
    // Stored without the final terminators: every character is kept.
    EXPECT_EQ(Render(kRegMultiSz, {'a'}), "a");
    EXPECT_EQ(Render(kRegMultiSz, {'a', 0}), "a");
    EXPECT_EQ(Render(kRegMultiSz, {'a', 0, 'b'}), "a\r\nb");
}

TEST(ConvertToString, LinkIsUtf16TextUpToItsTerminatorOrItsEnd) {
    EXPECT_EQ(Render(kRegLink, {'C', 0, ':', 0, '\\', 0, 0, 0}), "C:\\");
    EXPECT_EQ(Render(kRegLink, {'a', 0, 'b', 0}), "ab");  // unterminated
    EXPECT_EQ(Render(kRegLink, {'a', 0, 'b'}), "a");      // odd length: the half unit is dropped
    EXPECT_EQ(Render(kRegLink, {'a'}), "");
    EXPECT_EQ(Render(kRegLink, {}), "");
    // Non-ASCII text arrives in the ANSI code page.
    EXPECT_EQ(AnsiToUtf8(Render(kRegLink, {0xe9, 0x00, 0, 0})), "\xc3\xa9");
}

TEST(ConvertToString, TextTypesStopAtTheFirstZeroOrTheEnd) {
    for (std::uint32_t type : {kRegNone, kRegSz, kRegExpandSz, kRegFullResourceDescriptor, 12u, 99u}) {
        EXPECT_EQ(Render(type, {'a', 'b', 0, 'c', 0}), "ab") << type;
        EXPECT_EQ(Render(type, {'%', 'x', '%'}), "%x%") << type;  // unterminated, not expanded
        EXPECT_EQ(Render(type, {}), "") << type;
        EXPECT_EQ(Render(type, {0}), "") << type;
    }
}

TEST(ConvertToString, NullDataIsEmpty) {
    EXPECT_EQ(ConvertToString(kRegBinary, nullptr, 4), "");
    EXPECT_EQ(ConvertToString(kRegDword, nullptr, 4), "0x00000000 (0)");
    EXPECT_EQ(ConvertToString(kRegSz, nullptr, 4), "");
    std::string out = "stale";
    ConvertToString(kRegSz, nullptr, 4, out);
    EXPECT_EQ(out, "");
    out = "stale";
    ConvertToString(kRegDword, nullptr, 4, out);
    EXPECT_EQ(out, "0x00000000 (0)");
}

TEST(CRegErrorLog, CopyIsDeep) {
    CRegErrorLog a;
    a.SetCategory("CLSID");
    a.SetKeyPath("HKEY_CLASSES_ROOT\\CLSID\\{x}");
    a.SetRemoveKind("KEY");
    a.SetFilePath("C:\\gone.dll");
    a.SetValue(std::make_unique<CRegValueItem>("(Default)", "gone.dll", kRegSz));
    CRegErrorLog b(a);
    a.SetValue(nullptr);
    a.SetFilePath("changed");
    ASSERT_NE(b.GetValue(), nullptr);
    EXPECT_EQ(b.GetValue()->data, "gone.dll");
    EXPECT_EQ(b.GetFilePath(), "C:\\gone.dll");
    EXPECT_EQ(b.GetCategory(), "CLSID");
    EXPECT_EQ(b.GetKeyPath(), "HKEY_CLASSES_ROOT\\CLSID\\{x}");
    EXPECT_EQ(b.GetRemoveKind(), "KEY");

    CRegErrorLog empty;
    CRegErrorLog copy(empty);
    EXPECT_EQ(copy.GetValue(), nullptr);
}

}  // namespace
}  // namespace qm
