// What only the in-memory registry has or does: the Windows 95/98/Me
// deletion, keys refusing deletion, failing info queries, over-long names,
// the NT details Wine does not reproduce, the full-path helpers and locking.
#include "platform/codepage.h"
#include "emulation/registry_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace qm {
namespace {

const char* const kBase = "HKEY_CURRENT_USER\\Software\\Test";

class MemoryRegistryTest : public ::testing::Test {
protected:
    RegKey OpenBase(std::uint32_t access = kKeyAllAccess) {
        RegKey key = kNullKey;
        EXPECT_EQ(reg_.RegOpenKeyExA(kHkeyCurrentUser, "Software\\Test", access, &key),
                  kRegSuccess);
        return key;
    }
    std::vector<std::string> EnumSubKeys(RegKey key) {
        std::vector<std::string> names;
        char name[512];
        std::uint32_t len = sizeof(name);
        for (std::uint32_t i = 0; reg_.RegEnumKeyExA(key, i, name, &len) == kRegSuccess; ++i) {
            names.emplace_back(name, len);
            len = sizeof(name);
        }
        return names;
    }

    MemoryRegistry reg_;
};

TEST_F(MemoryRegistryTest, Win9xDeletionRemovesTheWholeSubtree) {
    reg_.SetWin9xKeyDeletion(true);
    ASSERT_EQ(reg_.CreateKeyPath(std::string(kBase) + "\\Top\\a\\deep"), kRegSuccess);
    ASSERT_EQ(reg_.CreateKeyPath(std::string(kBase) + "\\Top\\b"), kRegSuccess);
    RegKey deep = kNullKey;
    ASSERT_EQ(reg_.RegOpenKeyExA(kHkeyCurrentUser, "Software\\Test\\Top\\a\\deep", kKeyRead, &deep),
              kRegSuccess);
    EXPECT_EQ(reg_.RegDeleteKeyA(kHkeyCurrentUser, "Software\\Test\\Top"), kRegSuccess);
    EXPECT_FALSE(reg_.KeyExists(std::string(kBase) + "\\Top"));
    EXPECT_TRUE(reg_.KeyExists(kBase));
    RegKeyInfo info;
    EXPECT_EQ(reg_.RegQueryInfoKeyA(deep, &info), kRegKeyDeleted) << "keys below went too";
    EXPECT_EQ(reg_.RegCloseKey(deep), kRegSuccess);

    // The constructor flag does the same.
    MemoryRegistry old(true);
    ASSERT_EQ(old.CreateKeyPath("HKEY_LOCAL_MACHINE\\X\\Y\\Z"), kRegSuccess);
    EXPECT_EQ(old.RegDeleteKeyA(kHkeyLocalMachine, "X"), kRegSuccess);
    EXPECT_FALSE(old.KeyExists("HKEY_LOCAL_MACHINE\\X"));
}

TEST_F(MemoryRegistryTest, DenyDeleteRefusesKeyAndValueDeletionWith5) {
    const std::string key = std::string(kBase) + "\\Locked";
    ASSERT_EQ(reg_.SetString(key, "v", "x"), kRegSuccess);
    ASSERT_EQ(reg_.CreateKeyPath(key + "\\child"), kRegSuccess);
    ASSERT_EQ(reg_.SetDenyDelete(key + "\\child"), kRegSuccess);
    ASSERT_EQ(reg_.SetDenyDelete(key), kRegSuccess);
    EXPECT_EQ(reg_.SetDenyDelete(key + "\\missing"), kRegFileNotFound);

    RegKey base = OpenBase();
    EXPECT_EQ(reg_.RegDeleteKeyA(base, "Locked\\child"), kRegAccessDenied);
    RegKey h = kNullKey;
    EXPECT_EQ(reg_.RegOpenKeyExA(base, "Locked", kKeyDeleteAndEnumerate, &h), kRegAccessDenied);
    EXPECT_EQ(reg_.RegOpenKeyExA(base, "Locked", kKeySetValue, &h), kRegAccessDenied);
    EXPECT_EQ(reg_.RegOpenKeyExA(base, "Locked", kKeyAllAccess, &h), kRegAccessDenied);
    bool created = false;
    EXPECT_EQ(reg_.RegCreateKeyExA(base, "Locked", &h, &created), kRegAccessDenied);
    // Reading is allowed; the handle RegOpenKeyA gives lacks the write rights.
    ASSERT_EQ(reg_.RegOpenKeyA(base, "Locked", &h), kRegSuccess);
    EXPECT_EQ(reg_.RegDeleteValueA(h, "v"), kRegAccessDenied);
    const std::uint8_t one = 1;
    EXPECT_EQ(reg_.RegSetValueExA(h, "w", kRegBinary, &one, 1), kRegAccessDenied);
    std::uint32_t size = 0;
    EXPECT_EQ(reg_.RegQueryValueExA(h, "v", nullptr, nullptr, &size), kRegSuccess);
    EXPECT_EQ(reg_.RegCloseKey(h), kRegSuccess);

    // The 95/98/Me deletion stops at the refusing key.
    reg_.SetWin9xKeyDeletion(true);
    ASSERT_EQ(reg_.SetDenyDelete(key, false), kRegSuccess);
    EXPECT_EQ(reg_.RegDeleteKeyA(base, "Locked"), kRegAccessDenied);
    EXPECT_TRUE(reg_.KeyExists(key + "\\child"));
    ASSERT_EQ(reg_.SetDenyDelete(key + "\\child", false), kRegSuccess);
    EXPECT_EQ(reg_.RegDeleteKeyA(base, "Locked"), kRegSuccess);
    EXPECT_EQ(reg_.RegCloseKey(base), kRegSuccess);
}

TEST_F(MemoryRegistryTest, QueryInfoFailureIsReportedUntilCleared) {
    const std::string key = std::string(kBase) + "\\Broken";
    ASSERT_EQ(reg_.CreateKeyPath(key), kRegSuccess);
    ASSERT_EQ(reg_.SetQueryInfoFailure(key, kRegAccessDenied), kRegSuccess);
    RegKey h = kNullKey;
    ASSERT_EQ(reg_.RegOpenKeyExA(kHkeyCurrentUser, "Software\\Test\\Broken", kKeyRead, &h),
              kRegSuccess);
    RegKeyInfo info;
    EXPECT_EQ(reg_.RegQueryInfoKeyA(h, &info), kRegAccessDenied);
    ASSERT_EQ(reg_.SetQueryInfoFailure(key, kRegSuccess), kRegSuccess);
    EXPECT_EQ(reg_.RegQueryInfoKeyA(h, &info), kRegSuccess);
    EXPECT_EQ(reg_.SetQueryInfoFailure(key + "\\none", 5), kRegFileNotFound);
    reg_.RegCloseKey(h);
}

TEST_F(MemoryRegistryTest, OverLongKeyNamesOnlyThroughTheHelper) {
    const std::string longName(300, 'L');
    ASSERT_EQ(reg_.CreateKeyPath(std::string(kBase) + "\\" + longName), kRegSuccess);
    RegKey base = OpenBase();
    char name[256];
    std::uint32_t len = sizeof(name);
    EXPECT_EQ(reg_.RegEnumKeyExA(base, 0, name, &len), kRegMoreData);
    EXPECT_EQ(len, 256u);
    RegKeyInfo info;
    ASSERT_EQ(reg_.RegQueryInfoKeyA(base, &info), kRegSuccess);
    EXPECT_EQ(info.maxSubKeyLen, 300u);
    RegKey h = kNullKey;
    EXPECT_EQ(reg_.RegCreateKeyExA(base, std::string(256, 'x').c_str(), &h, nullptr),
              kRegInvalidParameter);
    EXPECT_EQ(reg_.RegCreateKeyExA(base, std::string(255, 'x').c_str(), &h, nullptr), kRegSuccess);
    reg_.RegCloseKey(h);
    reg_.RegCloseKey(base);
}

// The NT hive orders sub-keys by their upper-cased UTF-16 names (Wine uses
// lower case, which differs for "[\]^_`" against letters).
TEST_F(MemoryRegistryTest, SubKeyOrderIsNtUpperCaseOrderOfTheUnicodeNames) {
    const std::string agypten = Utf16ToAnsiText(u"\u00c4gypten");
    const std::string sech = Utf16ToAnsiText(u"\u0160ech");
    for (const std::string& name : {std::string("_under"), std::string("zeta"), agypten, sech,
                                    std::string("beta")}) {
        ASSERT_EQ(reg_.CreateKeyPath(std::string(kBase) + "\\" + name), kRegSuccess);
    }
    RegKey base = OpenBase();
    // Z (0x5A) < _ (0x5F) < \u00c4 (U+00C4) < \u0160 (U+0160).
    EXPECT_EQ(EnumSubKeys(base), (std::vector<std::string>{"beta", "zeta", "_under", agypten, sech}));
    // Letters beyond ASCII match without regard to case.
    RegKey h = kNullKey;
    EXPECT_EQ(reg_.RegOpenKeyExA(base, Utf16ToAnsiText(u"\u00e4GYPTEN").c_str(), kKeyRead, &h),
              kRegSuccess);
    reg_.RegCloseKey(h);
    EXPECT_EQ(reg_.RegOpenKeyExA(base, Utf16ToAnsiText(u"\u0161ECH").c_str(), kKeyRead, &h),
              kRegSuccess);
    reg_.RegCloseKey(h);
    reg_.RegCloseKey(base);
}

// The order is that of UTF-16 units, not of characters: a character beyond
// U+FFFF (a surrogate pair, D83D DE00) comes before U+FF21, and a name before
// the longer names it begins. Names of one to three bytes a unit in UTF-8
// sort among each other by their units.
TEST_F(MemoryRegistryTest, SubKeyOrderFollowsUtf16UnitsBeyondTheBasicPlane) {
    const std::u16string wide[] = {u"\U0001F600", u"\uff41x", u"\u4e2d", u"\u00e9t\u00e9"};
    std::vector<std::string> names;
    for (const std::u16string& w : wide) {
        names.push_back(Utf16ToAnsiText(w));
        if (AnsiToUtf16(names.back()) != w) GTEST_SKIP() << "the ANSI code page cannot hold these names";
    }
    names.insert(names.end(), {"beta2", "BETA", "b"});
    for (const std::string& name : names) ASSERT_EQ(reg_.CreateKeyPath(std::string(kBase) + "\\" + name), kRegSuccess);
    RegKey base = OpenBase();
    // B < BETA < BETA2 < U+00C9 < U+4E2D < D83D DE00 < U+FF21 (fullwidth a, upper-cased).
    EXPECT_EQ(EnumSubKeys(base),
              (std::vector<std::string>{"b", "BETA", "beta2", names[3], names[2], names[0], names[1]}));
    RegKey h = kNullKey;
    EXPECT_EQ(reg_.RegOpenKeyExA(base, Utf16ToAnsiText(u"\uff21X").c_str(), kKeyRead, &h), kRegSuccess);
    reg_.RegCloseKey(h);
    EXPECT_EQ(reg_.RegOpenKeyExA(base, Utf16ToAnsiText(u"\u00c9T\u00c9").c_str(), kKeyRead, &h), kRegSuccess);
    reg_.RegCloseKey(h);
    EXPECT_EQ(reg_.RegDeleteKeyA(base, "Beta"), kRegSuccess);
    EXPECT_EQ(reg_.RegOpenKeyExA(base, "beta2", kKeyRead, &h), kRegSuccess);
    reg_.RegCloseKey(h);
    reg_.RegCloseKey(base);
}

// NT keeps the longest figures of a key when the longest item goes and clears
// them when the list is empty (Wine recomputes them).
TEST_F(MemoryRegistryTest, LongestFiguresShrinkOnlyWhenTheListEmpties) {
    const std::string key = std::string(kBase) + "\\Info";
    ASSERT_EQ(reg_.CreateKeyPath(key + "\\a-long-key-name"), kRegSuccess);
    ASSERT_EQ(reg_.CreateKeyPath(key + "\\k"), kRegSuccess);
    ASSERT_EQ(reg_.SetValue(key, "long-value-name", kRegBinary, std::vector<std::uint8_t>(40)),
              kRegSuccess);
    ASSERT_EQ(reg_.SetValue(key, "v", kRegBinary, std::vector<std::uint8_t>(2)), kRegSuccess);
    RegKey h = kNullKey;
    ASSERT_EQ(reg_.RegOpenKeyExA(kHkeyCurrentUser, "Software\\Test\\Info", kKeyAllAccess, &h),
              kRegSuccess);
    ASSERT_EQ(reg_.RegDeleteKeyA(h, "a-long-key-name"), kRegSuccess);
    ASSERT_EQ(reg_.RegDeleteValueA(h, "long-value-name"), kRegSuccess);
    RegKeyInfo info;
    ASSERT_EQ(reg_.RegQueryInfoKeyA(h, &info), kRegSuccess);
    EXPECT_EQ(info.subKeys, 1u);
    EXPECT_EQ(info.maxSubKeyLen, 15u);
    EXPECT_EQ(info.values, 1u);
    EXPECT_EQ(info.maxValueNameLen, 15u);
    EXPECT_EQ(info.maxValueLen, 40u);
    // Replacing data with less keeps the figure as well.
    const std::uint8_t small = 1;
    ASSERT_EQ(reg_.RegSetValueExA(h, "v", kRegBinary, &small, 1), kRegSuccess);
    ASSERT_EQ(reg_.RegQueryInfoKeyA(h, &info), kRegSuccess);
    EXPECT_EQ(info.maxValueLen, 40u);
    ASSERT_EQ(reg_.RegDeleteKeyA(h, "k"), kRegSuccess);
    ASSERT_EQ(reg_.RegDeleteValueA(h, "v"), kRegSuccess);
    ASSERT_EQ(reg_.RegQueryInfoKeyA(h, &info), kRegSuccess);
    EXPECT_EQ(info.maxSubKeyLen, 0u);
    EXPECT_EQ(info.maxValueNameLen, 0u);
    EXPECT_EQ(info.maxValueLen, 0u);
    reg_.RegCloseKey(h);
}

// Documented for RegQueryInfoKey and NtQueryKey, not enforced by Wine 8.
TEST_F(MemoryRegistryTest, QueryInfoNeedsQueryValueAccess) {
    ASSERT_EQ(reg_.CreateKeyPath(kBase), kRegSuccess);
    RegKey h = OpenBase(kKeySetValue);
    RegKeyInfo info;
    EXPECT_EQ(reg_.RegQueryInfoKeyA(h, &info), kRegAccessDenied);
    reg_.RegCloseKey(h);
    h = OpenBase(kKeyDeleteAndEnumerate);
    EXPECT_EQ(reg_.RegQueryInfoKeyA(h, &info), kRegAccessDenied);
    reg_.RegCloseKey(h);
}

// NT answers an empty path with the existing key (Wine 8 says "created").
TEST_F(MemoryRegistryTest, CreateWithEmptyPathReportsAnExistingKey) {
    RegKey h = kNullKey, again = kNullKey;
    ASSERT_EQ(reg_.RegCreateKeyExA(kHkeyCurrentUser, "E", &h, nullptr), kRegSuccess);
    bool created = true;
    ASSERT_EQ(reg_.RegCreateKeyExA(h, "", &again, &created), kRegSuccess);
    EXPECT_FALSE(created);
    reg_.RegCloseKey(again);
    reg_.RegCloseKey(h);
}

TEST_F(MemoryRegistryTest, ValuesEnumerateInCreationOrderAsOnNt) {
    const std::string key = std::string(kBase) + "\\Order";
    for (const char* name : {"zulu", "alpha", "Mike"}) {
        ASSERT_EQ(reg_.SetString(key, name, name), kRegSuccess);
    }
    ASSERT_EQ(reg_.SetString(key, "ALPHA", "again"), kRegSuccess);
    EXPECT_EQ(reg_.ValueNames(key), (std::vector<std::string>{"zulu", "alpha", "Mike"}));
}

// Deleting values keeps the others in their order, by position and by name,
// whether the deletions come one by one between reads or many in a row; a
// value made again after its deletion goes last.
TEST_F(MemoryRegistryTest, DeletedValuesLeaveTheOthersInOrder) {
    const std::string key = std::string(kBase) + "\\Deletions";
    for (int i = 0; i < 10; ++i) ASSERT_EQ(reg_.SetDword(key, "v" + std::to_string(i), unsigned(i)), kRegSuccess);
    RegKey h = kNullKey;
    ASSERT_EQ(reg_.RegOpenKeyExA(kHkeyCurrentUser, "Software\\Test\\Deletions", kKeyAllAccess, &h), kRegSuccess);
    const auto enumerated = [&] {
        std::vector<std::string> names;
        char name[64];
        std::uint32_t len = sizeof name;
        for (std::uint32_t i = 0; reg_.RegEnumValueA(h, i, name, &len, nullptr, nullptr, nullptr) == kRegSuccess;
             ++i, len = sizeof name)
            names.emplace_back(name, len);
        return names;
    };
    const auto dword = [&](const char* name) {
        std::uint32_t v = 0, size = sizeof v, type = 0;
        const RegStatus st = reg_.RegQueryValueExA(h, name, &type, reinterpret_cast<std::uint8_t*>(&v), &size);
        return st == kRegSuccess ? int(v) : -int(st);
    };
    ASSERT_EQ(reg_.RegDeleteValueA(h, "v3"), kRegSuccess);
    EXPECT_EQ(reg_.RegDeleteValueA(h, "V3"), kRegFileNotFound);
    EXPECT_EQ(enumerated(), (std::vector<std::string>{"v0", "v1", "v2", "v4", "v5", "v6", "v7", "v8", "v9"}));
    for (const char* name : {"v0", "V5", "v9", "v7"}) ASSERT_EQ(reg_.RegDeleteValueA(h, name), kRegSuccess);
    RegKeyInfo info;
    ASSERT_EQ(reg_.RegQueryInfoKeyA(h, &info), kRegSuccess);
    EXPECT_EQ(info.values, 5u);
    EXPECT_EQ(dword("v8"), 8);
    EXPECT_EQ(dword("v7"), -int(kRegFileNotFound));
    ASSERT_EQ(reg_.SetDword(key, "v5", 55), kRegSuccess);
    ASSERT_EQ(reg_.SetDword(key, "v2", 22), kRegSuccess);
    EXPECT_EQ(enumerated(), (std::vector<std::string>{"v1", "v2", "v4", "v6", "v8", "v5"}));
    EXPECT_EQ(reg_.ValueNames(key), enumerated());
    EXPECT_EQ(dword("v2"), 22);
    EXPECT_EQ(dword("v5"), 55);
    for (const std::string& name : enumerated()) ASSERT_EQ(reg_.RegDeleteValueA(h, name.c_str()), kRegSuccess);
    EXPECT_TRUE(enumerated().empty());
    ASSERT_EQ(reg_.SetDword(key, "again", 1), kRegSuccess);
    EXPECT_EQ(enumerated(), std::vector<std::string>{"again"});
    reg_.RegCloseKey(h);
}

// Text of every type handed over in a buffer of exactly its size, without a
// terminator: stored as given, and nothing past the buffer is read (the
// sanitizer build reports any such read).
TEST_F(MemoryRegistryTest, TextInAnExactlySizedBufferIsStoredAsGiven) {
    ASSERT_EQ(reg_.CreateKeyPath(kBase), kRegSuccess);
    const RegKey key = OpenBase();
    for (std::uint32_t type : {kRegSz, kRegExpandSz, kRegMultiSz}) {
        SCOPED_TRACE(type);
        const std::vector<std::uint8_t> exact{'a', 'b', 'c'};
        ASSERT_EQ(reg_.RegSetValueExA(key, "v", type, exact.data(), 3), kRegSuccess);
        std::vector<std::uint8_t> back(3);
        std::uint32_t len = 3, got = 0;
        ASSERT_EQ(reg_.RegQueryValueExA(key, "v", &got, back.data(), &len), kRegSuccess);
        EXPECT_EQ(len, 3u);
        EXPECT_EQ(back, exact);
        const std::vector<std::uint8_t> one{'x'};
        ASSERT_EQ(reg_.RegSetValueExA(key, "v", type, one.data(), 1), kRegSuccess);
        len = 0;
        ASSERT_EQ(reg_.RegQueryValueExA(key, "v", &got, nullptr, &len), kRegSuccess);
        EXPECT_EQ(len, 1u);
    }
    reg_.RegCloseKey(key);
}

TEST_F(MemoryRegistryTest, ClassesRootIsTheMachinesClassesKey) {
    ASSERT_EQ(reg_.SetString("HKEY_CLASSES_ROOT\\CLSID\\{X}", "", "x"), kRegSuccess);
    EXPECT_TRUE(reg_.ValueExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{X}", ""));
    RegKey h = kNullKey;
    EXPECT_EQ(reg_.RegOpenKeyExA(kHkeyClassesRoot, "\\CLSID", kKeyRead, &h), kRegSuccess)
        << "one leading backslash is allowed below HKEY_CLASSES_ROOT";
    reg_.RegCloseKey(h);
    ASSERT_EQ(reg_.RegDeleteKeyA(kHkeyClassesRoot, "CLSID\\{X}"), kRegSuccess);
    ASSERT_EQ(reg_.RegDeleteKeyA(kHkeyClassesRoot, "CLSID"), kRegSuccess);
    EXPECT_EQ(reg_.RegDeleteKeyA(kHkeyLocalMachine, "SOFTWARE\\Classes"), kRegAccessDenied);
    EXPECT_EQ(reg_.RegDeleteKeyA(kHkeyUsers, ""), kRegAccessDenied) << "roots stay";
}

TEST_F(MemoryRegistryTest, FullPathHelpers) {
    EXPECT_EQ(reg_.CreateKeyPath("HKLM\\Software"), kRegInvalidFunction);
    EXPECT_EQ(reg_.SetDword("HKEY_PERFORMANCE_DATA\\x", "v", 1), kRegInvalidFunction);
    ASSERT_EQ(reg_.SetDword("hkey_local_machine\\A\\B", "n", 0x0A), kRegSuccess);
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(reg_.GetValue("HKEY_LOCAL_MACHINE\\a\\b", "N", &type, &bytes));
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x0A, 0, 0, 0}));
    ASSERT_EQ(reg_.SetString("HKEY_LOCAL_MACHINE\\A", "", "text", kRegExpandSz), kRegSuccess);
    ASSERT_TRUE(reg_.GetValue("HKEY_LOCAL_MACHINE\\A", "", &type, &bytes));
    EXPECT_EQ(type, kRegExpandSz);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{'t', 'e', 'x', 't', 0}));
    EXPECT_FALSE(reg_.GetValue("HKEY_LOCAL_MACHINE\\A", "none", &type, &bytes));
    EXPECT_FALSE(reg_.KeyExists("HKEY_LOCAL_MACHINE\\A\\C"));
    EXPECT_EQ(reg_.SubKeyNames("HKEY_LOCAL_MACHINE\\A"), std::vector<std::string>{"B"});
}

// The helpers below an open key make what the full-path helpers make: paths
// split at "\\", names past 255 characters, the spelling of an existing key
// kept, text stored without a terminator added; the handle has every right
// and is counted until closed.
TEST_F(MemoryRegistryTest, HelpersBelowAnOpenKey) {
    RegKey top = kNullKey;
    ASSERT_EQ(reg_.CreateKeyPath(kHkeyCurrentUser, "Software\\Test", &top), kRegSuccess);
    RegKey sub = kNullKey;
    const std::string longName(300, 'n');
    ASSERT_EQ(reg_.CreateKeyPath(top, "a\\" + longName, &sub), kRegSuccess);
    ASSERT_EQ(reg_.SetValue(sub, "T", kRegSz, std::vector<std::uint8_t>{'x', 'y'}), kRegSuccess);
    EXPECT_EQ(reg_.OpenHandleCount(), 2u);
    RegKey again = kNullKey;
    ASSERT_EQ(reg_.CreateKeyPath(top, "A", &again), kRegSuccess);
    EXPECT_EQ(reg_.RegSetValueExA(again, "d", kRegDword, reinterpret_cast<const std::uint8_t*>("\1\0\0\0"), 4),
              kRegSuccess) << "every right";
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(reg_.GetValue(std::string(kBase) + "\\a\\" + longName, "t", &type, &bytes));
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{'x', 'y'}));
    EXPECT_EQ(reg_.SubKeyNames(kBase), std::vector<std::string>{"a"});
    for (RegKey k : {top, sub, again}) EXPECT_EQ(reg_.RegCloseKey(k), kRegSuccess);
    EXPECT_EQ(reg_.OpenHandleCount(), 0u);
    EXPECT_EQ(reg_.CreateKeyPath(sub, "x", &again), kRegInvalidHandle);
    EXPECT_EQ(again, kNullKey);
    EXPECT_EQ(reg_.SetValue(sub, "v", kRegSz, {}), kRegInvalidHandle);
}

TEST_F(MemoryRegistryTest, HandlesAreCountedAndBadArgumentsRefused) {
    EXPECT_EQ(reg_.OpenHandleCount(), 0u);
    RegKey a = kNullKey, b = kNullKey;
    ASSERT_EQ(reg_.RegCreateKeyA(kHkeyCurrentUser, "X", &a), kRegSuccess);
    ASSERT_EQ(reg_.RegOpenKeyA(kHkeyCurrentUser, "X", &b), kRegSuccess);
    EXPECT_EQ(reg_.OpenHandleCount(), 2u);
    EXPECT_EQ(reg_.RegCreateKeyExA(a, "Y", nullptr, nullptr), kRegBadKey);
    EXPECT_EQ(reg_.RegOpenKeyA(a, "Y", nullptr), kRegInvalidParameter);
    std::uint32_t len = 0;
    EXPECT_EQ(reg_.RegEnumKeyExA(a, 0, nullptr, &len), kRegInvalidParameter);
    EXPECT_EQ(reg_.RegEnumValueA(a, 0, nullptr, &len, nullptr, nullptr, nullptr),
              kRegInvalidParameter);
    std::uint8_t data[4];
    EXPECT_EQ(reg_.RegQueryValueExA(a, "", nullptr, data, nullptr), kRegInvalidParameter);
    EXPECT_EQ(reg_.RegSetValueExA(a, "v", kRegBinary, nullptr, 4), kRegNoAccess);
    EXPECT_EQ(reg_.RegDeleteKeyA(a, nullptr), kRegInvalidParameter);
    reg_.RegCloseKey(a);
    reg_.RegCloseKey(b);
    EXPECT_EQ(reg_.OpenHandleCount(), 0u);
}

TEST_F(MemoryRegistryTest, TwoThreadsShareTheTree) {
    auto work = [this](const char* name) {
        RegKey k = kNullKey;
        for (int i = 0; i < 500; ++i) {
            const std::string sub = std::string(name) + "\\" + std::to_string(i % 7);
            if (reg_.RegCreateKeyExA(kHkeyCurrentUser, sub.c_str(), &k, nullptr) != kRegSuccess) {
                continue;
            }
            const std::uint32_t v = static_cast<std::uint32_t>(i);
            reg_.RegSetValueExA(k, "n", kRegDword, reinterpret_cast<const std::uint8_t*>(&v), 4);
            RegKeyInfo info;
            reg_.RegQueryInfoKeyA(k, &info);
            reg_.RegCloseKey(k);
            if (i % 3 == 0) reg_.RegDeleteKeyA(kHkeyCurrentUser, sub.c_str());
        }
    };
    std::thread t1(work, "T1"), t2(work, "T2");
    t1.join();
    t2.join();
    EXPECT_EQ(reg_.OpenHandleCount(), 0u);
    EXPECT_EQ(reg_.SubKeyNames("HKEY_CURRENT_USER"), (std::vector<std::string>{"T1", "T2"}));
}

}  // namespace
}  // namespace qm
