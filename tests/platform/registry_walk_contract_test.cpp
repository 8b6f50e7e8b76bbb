// Long and non-ASCII names on every registry backend: what the registry
// reports for them, and the whole-name reads and tree operations of
// registry_walk.h over them.
#include <algorithm>

#include "platform/codepage.h"
#include "platform/registry_walk.h"
#include "tests/platform/registry_contract.h"

namespace qm::test {

namespace {

std::string Ansi(const std::u16string& wide) { return Utf16ToAnsiText(wide); }
std::string Repeat(char16_t unit, int times) {
    return Ansi(std::u16string(static_cast<std::size_t>(times), unit));
}
std::vector<std::uint8_t> Text(const std::string& s) {
    std::vector<std::uint8_t> b(s.begin(), s.end());
    b.push_back(0);
    return b;
}

}  // namespace

TEST_P(RegistryContract, NonAsciiNamesMatchInAnyLetterCaseAndKeepTheirSpelling) {
    const std::string written = Ansi(u"\u00c4rger-\u03a9\u03bc\u03ad\u03b3\u03b1-\u041f\u0440\u0438\u0432\u0435\u0442-\u0101\u0161");
    const std::string upper = Ansi(u"\u00c4RGER-\u03a9\u039c\u0388\u0393\u0391-\u041f\u0420\u0418\u0412\u0415\u0422-\u0100\u0160");
    const std::string lower = Ansi(u"\u00e4rger-\u03c9\u03bc\u03ad\u03b3\u03b1-\u043f\u0440\u0438\u0432\u0435\u0442-\u0101\u0161");
    RegKey k = Create(written);
    EXPECT_NE(Open(upper), kNullKey);
    bool created = true;
    RegKey again = kNullKey;
    ASSERT_EQ(Reg().RegCreateKeyExA(Scratch(), lower.c_str(), &again, &created), kRegSuccess);
    Track(again);
    EXPECT_FALSE(created);
    std::vector<std::string> names;
    ASSERT_EQ(ReadSubKeyNames(Reg(), Scratch(), &names), kRegSuccess);
    EXPECT_EQ(names, std::vector<std::string>{written});

    ASSERT_EQ(SetText(k, lower.c_str(), "first"), kRegSuccess);
    ASSERT_EQ(SetText(k, upper.c_str(), "second"), kRegSuccess);
    std::vector<RegValueRecord> values;
    ASSERT_EQ(ReadValues(Reg(), k, &values), kRegSuccess);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, lower);
    EXPECT_EQ(values[0].data, Text("second"));
    EXPECT_EQ(Reg().RegDeleteValueA(k, written.c_str()), kRegSuccess);
    EXPECT_EQ(Reg().RegDeleteKeyA(Scratch(), upper.c_str()), kRegSuccess);
}

TEST_P(RegistryContract, LongestNamesCountCharactersWhileReadsNeedTheirBytes) {
    const std::string cjkKey = Repeat(u'\u4e2d', 90);        // 90 characters, 270 bytes
    const std::string accentedKey = Repeat(u'\u00e9', 200);  // 200 characters, 400 bytes
    const std::string cjkValue = Repeat(u'\u6587', 100);     // 300 bytes
    const std::string cjkText = Repeat(u'\u5b57', 1000);     // 3000 bytes
    RegKey parent = Create("Long");
    Create("Long\\" + cjkKey);
    Create("Long\\" + accentedKey);
    Create("Long\\A");
    ASSERT_EQ(SetText(parent, cjkValue.c_str(), cjkText), kRegSuccess);
    ASSERT_EQ(SetText(parent, "a", "1"), kRegSuccess);

    const RegKeyInfo info = Info(parent);
    EXPECT_EQ(info.maxSubKeyLen, 200u);
    EXPECT_EQ(info.maxValueNameLen, 100u);
    // A buffer of the reported length (plus the zero) is too small for the bytes.
    std::vector<char> buffer(info.maxSubKeyLen + 1);
    bool tooSmall = false;
    for (std::uint32_t i = 0; i < 3; ++i) {
        std::uint32_t len = static_cast<std::uint32_t>(buffer.size());
        if (Reg().RegEnumKeyExA(parent, i, buffer.data(), &len) == kRegMoreData) tooSmall = true;
    }
    EXPECT_TRUE(tooSmall);

    // Read whole, in the registry's order.
    std::vector<std::string> names;
    ASSERT_EQ(ReadSubKeyNames(Reg(), parent, &names), kRegSuccess);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], "A");
    EXPECT_NE(std::find(names.begin(), names.end(), cjkKey), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), accentedKey), names.end());
    std::vector<RegValueRecord> values;
    ASSERT_EQ(ReadValues(Reg(), parent, &values), kRegSuccess);
    ASSERT_EQ(values.size(), 2u);
    const RegValueRecord& big = values[0].name == "a" ? values[1] : values[0];
    EXPECT_EQ(big.name, cjkValue);
    EXPECT_EQ(big.type, kRegSz);
    EXPECT_EQ(big.data, Text(cjkText));
    RegValueRecord queried;
    ASSERT_EQ(QueryValue(Reg(), parent, cjkValue.c_str(), &queried), kRegSuccess);
    EXPECT_EQ(queried.data, Text(cjkText));
    std::string stored;
    ASSERT_EQ(StoredSubKeyName(Reg(), parent, "a", &stored), kRegSuccess);
    EXPECT_EQ(stored, "A");
    EXPECT_EQ(StoredSubKeyName(Reg(), parent, "B", &stored), kRegFileNotFound);

    // Read once per parent during a pass; a key made since is still found.
    StoredSubKeyNames names2;
    names2.Begin();
    stored.clear();
    ASSERT_EQ(names2.Find(Reg(), parent, "x\\LONG", "a", &stored), kRegSuccess);
    EXPECT_EQ(stored, "A");
    ASSERT_EQ(names2.Find(Reg(), parent, "x\\long", accentedKey, &stored), kRegSuccess);
    EXPECT_EQ(stored, accentedKey);
    Create("Long\\Later");
    ASSERT_EQ(names2.Find(Reg(), parent, "x\\long", "LATER", &stored), kRegSuccess);
    EXPECT_EQ(stored, "Later");
    EXPECT_EQ(names2.Find(Reg(), parent, "x\\long", "B", &stored), kRegFileNotFound);
    names2.End();
}

TEST_P(RegistryContract, TreeReadAndDeletedWholeWhateverItsNames) {
    const std::string cjk = Repeat(u'\u4e2d', 90);
    const std::string accented = Repeat(u'\u00e9', 128);
    RegKey top = Create("Tree");
    ASSERT_EQ(SetText(top, "", "top"), kRegSuccess);
    RegKey deep = Create("Tree\\" + cjk + "\\" + accented);
    ASSERT_EQ(SetText(deep, cjk.c_str(), accented), kRegSuccess);
    Create("Tree\\Aa");
    Create("Tree\\" + std::string(255, 'k'));

    std::vector<RegTreeKey> tree;
    ASSERT_EQ(ReadTree(Reg(), top, &tree), kRegSuccess);
    ASSERT_EQ(tree.size(), 5u);
    EXPECT_EQ(tree[0].depth, 0u);
    EXPECT_EQ(tree[0].subKeys, 3u);
    ASSERT_EQ(tree[0].values.size(), 1u);
    EXPECT_EQ(tree[0].values[0].name, "");
    std::size_t deepAt = 0;
    for (std::size_t i = 0; i < tree.size(); ++i)
        if (tree[i].name == accented) deepAt = i;
    ASSERT_NE(deepAt, 0u);
    EXPECT_EQ(tree[deepAt].depth, 2u);
    EXPECT_EQ(tree[deepAt - 1].name, cjk) << "a key comes right after its parent";
    ASSERT_EQ(tree[deepAt].values.size(), 1u);
    EXPECT_EQ(tree[deepAt].values[0].name, cjk);

    EXPECT_EQ(CheckDeleteTree(Reg(), Scratch(), "Tree"), kRegSuccess);
    EXPECT_NE(Open("Tree"), kNullKey) << "the check deletes nothing";
    std::vector<std::string> left = {"x"};
    EXPECT_EQ(qm::DeleteTree(Reg(), Scratch(), "Tree", &left), kRegSuccess);
    EXPECT_TRUE(left.empty());
    EXPECT_EQ(Open("Tree"), kNullKey);
    EXPECT_EQ(qm::DeleteTree(Reg(), Scratch(), "Tree"), kRegFileNotFound);
    EXPECT_EQ(qm::DeleteTree(Reg(), Scratch(), ""), kRegBadKey);
}

}  // namespace qm::test
