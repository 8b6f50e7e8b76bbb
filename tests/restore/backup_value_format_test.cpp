// The value attributes of the backup: the usual text where it gives back
// exactly the type and bytes, hexadecimal bytes with the type code otherwise,
// and the reading of both.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry.h"
#include "repair/backup_value_format.h"

namespace qm {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Rendered(std::uint32_t type, const Bytes& data) {
    const BackupValueText t = RenderBackupValue(type, data.data(), data.size());
    return t.text + "|" + t.typeName;
}

Bytes Str(const std::string& s, bool terminated = true) {
    Bytes b(s.begin(), s.end());
    if (terminated) b.push_back(0);
    return b;
}

TEST(BackupValueFormat, UsualTextWhereItIsExact) {
    EXPECT_EQ(Rendered(kRegSz, Str("C:\\a&b.dll")), "C:\\a&b.dll|");
    EXPECT_EQ(Rendered(kRegSz, Str("(value not set)")), "(value not set)|");
    EXPECT_EQ(Rendered(kRegSz, Str("two\r\nlines")), "two\r\nlines|");
    EXPECT_EQ(Rendered(kRegExpandSz, Str("%X%")), "%X%|REG_EXPAND_SZ");
    EXPECT_EQ(Rendered(kRegDword, {0x0a, 0, 0, 0}), "0x0000000a (10)|REG_DWORD");
    EXPECT_EQ(Rendered(kRegQword, {1, 2, 3, 4, 5, 6, 7, 8}), "0x0807060504030201|REG_QWORD");
    EXPECT_EQ(Rendered(kRegBinary, {}), "|REG_BINARY");
    EXPECT_EQ(Rendered(kRegResourceList, {0xff, 0}), "ff 00|REG_RESOURCE_LIST");
    EXPECT_EQ(Rendered(kRegMultiSz, {'a', 0, 'b', 0, 0}), "a\r\nb|REG_MULTI_SZ");
}

TEST(BackupValueFormat, HexBytesWithTheTypeCodeOtherwise) {
    EXPECT_EQ(Rendered(kRegNone, Str("txt")), "74 78 74 00|hex(0)");
    EXPECT_EQ(Rendered(kRegNone, {}), "|hex(0)");
    EXPECT_EQ(Rendered(kRegDwordBigEndian, {0, 0, 0, 0x0a}), "00 00 00 0a|hex(5)");
    EXPECT_EQ(Rendered(kRegLink, {'a', 0, 0, 0}), "61 00 00 00|hex(6)");
    EXPECT_EQ(Rendered(kRegFullResourceDescriptor, {1}), "01|hex(9)");
    EXPECT_EQ(Rendered(12, {}), "|hex(c)");
    EXPECT_EQ(Rendered(0xffff0001u, {0xab}), "ab|hex(ffff0001)");
    EXPECT_EQ(Rendered(kRegDword, {0x0a, 0}), "0a 00|hex(4)");           // short
    EXPECT_EQ(Rendered(kRegQword, {1, 2, 3, 4, 5, 6, 7, 8, 9}), "01 02 03 04 05 06 07 08 09|hex(b)");
    EXPECT_EQ(Rendered(kRegSz, Str("ab", false)), "61 62|hex(1)");      // no terminator
    EXPECT_EQ(Rendered(kRegSz, {'a', 0, 'b', 0}), "61 00 62 00|hex(1)");  // zero inside
    EXPECT_EQ(Rendered(kRegSz, {}), "|hex(1)");
    EXPECT_EQ(Rendered(kRegExpandSz, {'a', 0, 0}), "61 00 00|hex(2)");
    EXPECT_EQ(Rendered(kRegMultiSz, {'a', '\r', 'b', 0, 0}), "61 0d 62 00 00|hex(7)");
    EXPECT_EQ(Rendered(kRegMultiSz, {'a', 0}), "61 00|hex(7)");
    EXPECT_EQ(Rendered(kRegMultiSz, {0, 0}), "00 00|hex(7)");
}

TEST(BackupValueFormat, ReadingGivesTypeAndBytesOrAReason) {
    std::uint32_t type = 0;
    Bytes data;
    std::string error;
    ASSERT_TRUE(ParseBackupValue("00 00 00 0A", "HEX(5)", type, data, error));
    EXPECT_EQ(type, kRegDwordBigEndian);
    EXPECT_EQ(data, Bytes({0, 0, 0, 0x0a}));
    ASSERT_TRUE(ParseBackupValue("", "hex(ffffffff)", type, data, error));
    EXPECT_EQ(type, 0xffffffffu);
    EXPECT_TRUE(data.empty());
    ASSERT_TRUE(ParseBackupValue("0xffffffff (-1)", "REG_DWORD", type, data, error));
    EXPECT_EQ(data, Bytes({0xff, 0xff, 0xff, 0xff}));
    ASSERT_TRUE(ParseBackupValue("0x80000000", "reg_dword", type, data, error));
    EXPECT_EQ(data, Bytes({0, 0, 0, 0x80}));
    ASSERT_TRUE(ParseBackupValue("x", "", type, data, error));
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(data, Str("x"));

    for (const auto& [text, typeName] : std::vector<std::pair<std::string, std::string>>{
             {"1", "hex(100000000)"}, {"1", "hex()"}, {"1", "hex(5"}, {"0x", "REG_DWORD"},
             {"0x0000000a (-10)", "REG_DWORD"}, {"0x0000000a(10)", "REG_DWORD"},
             {"0x0000000a (10) ", "REG_DWORD"}, {"0x0000000a (99999999999)", "REG_DWORD"},
             {"0x000000000000000a (10)", "REG_QWORD"}, {" 0a", "REG_BINARY"}, {"0a  0b", "REG_BINARY"},
             {"0a 0b ", "REG_BINARY"}, {"0g", "hex(3)"}, {"x", "REG_LINK"}}) {
        error.clear();
        EXPECT_FALSE(ParseBackupValue(text, typeName, type, data, error)) << text << " " << typeName;
        EXPECT_NE(error, "") << text << " " << typeName;
    }
}

}  // namespace
}  // namespace qm
