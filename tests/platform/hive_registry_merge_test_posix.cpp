// HKEY_CLASSES_ROOT of the hive registry: the user's classes merged over the
// machine's, as Windows shows them.
#include <gtest/gtest.h>

#include "emulation/hive_registry_posix.h"

namespace qm {
namespace {

const std::string kUser = "HKEY_CURRENT_USER\\Software\\Classes";
const std::string kMachine = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes";

class MergedClasses : public ::testing::Test {
protected:
    void SetUp() override {
        MemoryRegistry& m = reg.Memory();
        m.SetString(kMachine + "\\.txt", "", "txtfile");
        m.SetString(kMachine + "\\CLSID\\{B}", "", "machine B");
        m.SetString(kMachine + "\\CLSID\\{C}", "", "machine C");
        m.SetString(kMachine + "\\CLSID\\{C}\\InprocServer32", "", "machine.dll");
        m.SetString(kUser + "\\CLSID\\{A}", "", "user A");
        m.SetString(kUser + "\\CLSID\\{c}", "", "user C");
        m.SetString(kUser + "\\CLSID\\{c}\\LocalServer32", "", "user.exe");
        reg.MergeUserClasses();
    }
    std::vector<std::string> SubKeys(RegKey key) {
        std::vector<std::string> names;
        char name[256];
        for (std::uint32_t i = 0;; ++i) {
            std::uint32_t len = sizeof name;
            const RegStatus s = reg.RegEnumKeyExA(key, i, name, &len);
            if (s != kRegSuccess) {
                EXPECT_EQ(s, kRegNoMoreItems);
                break;
            }
            names.emplace_back(name, len);
        }
        return names;
    }
    std::string Text(RegKey key, const char* name) {
        char data[256];
        std::uint32_t len = sizeof data, type = 0;
        if (reg.RegQueryValueExA(key, name, &type, reinterpret_cast<std::uint8_t*>(data), &len) != kRegSuccess)
            return "<none>";
        return std::string(data, len ? len - 1 : 0);
    }

    HiveRegistry reg;
};

TEST_F(MergedClasses, SubKeysOfBothSidesSortedEachOnceValuesFromTheUsersKey) {
    RegKey clsid = kNullKey;
    ASSERT_EQ(reg.RegOpenKeyExA(kHkeyClassesRoot, "CLSID", kKeyRead, &clsid), 0);
    EXPECT_EQ(SubKeys(clsid), (std::vector<std::string>{"{A}", "{B}", "{c}"}));
    RegKeyInfo info;
    ASSERT_EQ(reg.RegQueryInfoKeyA(clsid, &info), 0);
    EXPECT_EQ(info.subKeys, 3u);
    char name[2];
    std::uint32_t len = sizeof name;
    EXPECT_EQ(reg.RegEnumKeyExA(clsid, 0, name, &len), kRegMoreData);
    EXPECT_EQ(len, 2u);

    RegKey c = kNullKey;
    ASSERT_EQ(reg.RegOpenKeyA(clsid, "{C}", &c), 0);
    EXPECT_EQ(Text(c, ""), "user C");  // the user's key shows its values
    EXPECT_EQ(SubKeys(c), (std::vector<std::string>{"InprocServer32", "LocalServer32"}));
    RegKey b = kNullKey;
    ASSERT_EQ(reg.RegOpenKeyA(kHkeyClassesRoot, "\\CLSID\\{B}", &b), 0);
    EXPECT_EQ(Text(b, ""), "machine B");
    RegKey missing = kNullKey;
    EXPECT_EQ(reg.RegOpenKeyA(clsid, "{D}", &missing), kRegFileNotFound);
    EXPECT_EQ(SubKeys(kHkeyClassesRoot), (std::vector<std::string>{".txt", "CLSID"}));
    for (RegKey k : {b, c, clsid}) EXPECT_EQ(reg.RegCloseKey(k), 0);
    EXPECT_EQ(reg.Memory().OpenHandleCount(), 1u);  // the user's classes, held for the merge
}

TEST_F(MergedClasses, ChangesGoWhereWindowsPutsThem) {
    RegKey clsid = kNullKey;
    ASSERT_EQ(reg.RegOpenKeyExA(kHkeyClassesRoot, "CLSID", kKeyAllAccess, &clsid), 0);
    // A new key goes to the machine's classes; a value to the key that shows it.
    RegKey d = kNullKey;
    bool created = false;
    ASSERT_EQ(reg.RegCreateKeyExA(clsid, "{D}\\InprocServer32", &d, &created), 0);
    EXPECT_TRUE(created);
    const std::uint8_t text[] = "d.dll";
    EXPECT_EQ(reg.RegSetValueExA(d, "", kRegSz, text, sizeof text), 0);
    EXPECT_TRUE(reg.Memory().ValueExists(kMachine + "\\CLSID\\{D}\\InprocServer32", ""));
    RegKey c = kNullKey;
    ASSERT_EQ(reg.RegOpenKeyExA(clsid, "{C}", kKeyAllAccess, &c), 0);
    EXPECT_EQ(reg.RegSetValueExA(c, "AppID", kRegSz, text, sizeof text), 0);
    EXPECT_TRUE(reg.Memory().ValueExists(kUser + "\\CLSID\\{c}", "AppID"));
    EXPECT_EQ(reg.RegDeleteValueA(c, "AppID"), 0);
    EXPECT_EQ(SubKeys(clsid), (std::vector<std::string>{"{A}", "{B}", "{c}", "{D}"}));

    // A key deleted through HKEY_CLASSES_ROOT is the user's where there is one.
    EXPECT_EQ(reg.RegDeleteKeyA(c, "LocalServer32"), 0);
    EXPECT_FALSE(reg.Memory().KeyExists(kUser + "\\CLSID\\{c}\\LocalServer32"));
    // The user's {c} goes; the machine's {C} then shows through.
    EXPECT_EQ(reg.RegDeleteKeyA(clsid, "{C}"), 0);
    EXPECT_FALSE(reg.Memory().KeyExists(kUser + "\\CLSID\\{c}"));
    EXPECT_EQ(reg.RegDeleteKeyA(clsid, "{C}"), kRegAccessDenied);  // it still has a sub-key
    EXPECT_EQ(reg.RegDeleteKeyA(clsid, "{A}"), 0);
    EXPECT_FALSE(reg.Memory().KeyExists(kUser + "\\CLSID\\{A}"));
    EXPECT_EQ(reg.RegDeleteKeyA(clsid, "{B}"), 0);
    EXPECT_FALSE(reg.Memory().KeyExists(kMachine + "\\CLSID\\{B}"));
    EXPECT_EQ(SubKeys(clsid), (std::vector<std::string>{"{C}", "{D}"}));
    for (RegKey k : {c, d, clsid}) EXPECT_EQ(reg.RegCloseKey(k), 0);
}

TEST_F(MergedClasses, EachKeySaysWhichHiveItLivesIn) {
    RegKey clsid = kNullKey, a = kNullKey, b = kNullKey, c = kNullKey, inproc = kNullKey;
    ASSERT_EQ(reg.RegOpenKeyExA(kHkeyClassesRoot, "CLSID", kKeyRead, &clsid), 0);
    ASSERT_EQ(reg.RegOpenKeyExA(clsid, "{A}", kKeyRead, &a), 0);
    ASSERT_EQ(reg.RegOpenKeyExA(clsid, "{B}", kKeyRead, &b), 0);
    ASSERT_EQ(reg.RegOpenKeyExA(clsid, "{C}", kKeyRead, &c), 0);
    ASSERT_EQ(reg.RegOpenKeyExA(c, "InprocServer32", kKeyRead, &inproc), 0);
    EXPECT_EQ(reg.RegClassesHiveOf(a), ClassesHive::kUser);
    EXPECT_EQ(reg.RegClassesHiveOf(b), ClassesHive::kMachine);
    EXPECT_EQ(reg.RegClassesHiveOf(c), ClassesHive::kUser);  // both have it: a deletion takes the user's
    EXPECT_EQ(reg.RegClassesHiveOf(inproc), ClassesHive::kMachine);
    EXPECT_EQ(reg.RegClassesHiveOf(kHkeyClassesRoot), ClassesHive::kMerged);
    RegKey plain = kNullKey;
    ASSERT_EQ(reg.RegOpenKeyExA(kHkeyLocalMachine, "SOFTWARE\\Classes\\CLSID\\{C}", kKeyRead, &plain), 0);
    EXPECT_EQ(reg.RegClassesHiveOf(plain), ClassesHive::kMerged);
    for (RegKey k : {plain, inproc, c, b, a, clsid}) EXPECT_EQ(reg.RegCloseKey(k), 0);

    EXPECT_EQ(ClassesHivePath("HKEY_CLASSES_ROOT\\CLSID\\{C}", ClassesHive::kUser), kUser + "\\CLSID\\{C}");
    EXPECT_EQ(ClassesHivePath("hkey_classes_root\\CLSID", ClassesHive::kMachine), kMachine + "\\CLSID");
    EXPECT_EQ(ClassesHivePath("HKEY_CLASSES_ROOT", ClassesHive::kUser), kUser);
    EXPECT_EQ(ClassesHivePath("HKEY_CLASSES_ROOT\\CLSID", ClassesHive::kMerged), "HKEY_CLASSES_ROOT\\CLSID");
    EXPECT_EQ(ClassesHivePath("HKEY_CLASSES_ROOTX\\CLSID", ClassesHive::kUser), "HKEY_CLASSES_ROOTX\\CLSID");
    EXPECT_EQ(ClassesHivePath("HKEY_LOCAL_MACHINE\\X", ClassesHive::kUser), "HKEY_LOCAL_MACHINE\\X");
}

TEST_F(MergedClasses, AHalfThatRefusesRefusesTheKey) {
    // The user's {c} may not be deleted (as a key holding a value too large
    // to write back): through HKEY_CLASSES_ROOT the key is refused whole,
    // never the machine's {C} taken instead.
    ASSERT_EQ(reg.Memory().SetDenyDelete(kUser + "\\CLSID\\{c}"), 0);
    RegKey key = kNullKey;
    EXPECT_EQ(reg.RegOpenKeyExA(kHkeyClassesRoot, "CLSID\\{C}", kKeyDeleteAndEnumerate, &key), kRegAccessDenied);
    EXPECT_EQ(reg.RegOpenKeyExA(kHkeyClassesRoot, "CLSID\\{C}", kKeyAllAccess, &key), kRegAccessDenied);
    ASSERT_EQ(reg.RegOpenKeyExA(kHkeyClassesRoot, "CLSID\\{C}", kKeyRead, &key), 0);
    EXPECT_EQ(reg.RegCloseKey(key), 0);
    EXPECT_EQ(reg.Memory().OpenHandleCount(), 1u);
}

TEST(HiveRegistry, CurrentControlSetIsTheSelectedSet) {
    HiveRegistry reg;
    reg.Memory().SetString("HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Services\\x", "ImagePath", "x.sys");
    reg.SetCurrentControlSet("ControlSet002");
    RegKey key = kNullKey;
    ASSERT_EQ(reg.RegOpenKeyA(kHkeyLocalMachine, "system\\currentcontrolset\\Services\\x", &key), 0);
    reg.RegCloseKey(key);
    EXPECT_EQ(reg.RegOpenKeyA(kHkeyLocalMachine, "SYSTEM\\CurrentControlSetX", &key), kRegFileNotFound);
    ASSERT_EQ(reg.RegCreateKeyA(kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\y", &key), 0);
    reg.RegCloseKey(key);
    EXPECT_TRUE(reg.Memory().KeyExists("HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Services\\y"));
    EXPECT_EQ(reg.RegDeleteKeyA(kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\y"), 0);
    EXPECT_FALSE(reg.Memory().KeyExists("HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Services\\y"));
}

}  // namespace
}  // namespace qm
