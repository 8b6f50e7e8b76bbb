// Key paths taken apart, and the parts of the program that read a path
// through them agreeing on paths spelled with extra backslashes, in another
// letter case, and through Wow6432Node.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulation/registry_memory.h"
#include "platform/key_path.h"
#include "platform/registry_view.h"

namespace qm {
namespace {

using Names = std::vector<std::string>;

TEST(KeyPath, EmptyNamesAreNoKeys) {
    EXPECT_EQ(KeyPathNames("HKEY_CURRENT_USER\\Software\\x"), (Names{"HKEY_CURRENT_USER", "Software", "x"}));
    EXPECT_EQ(KeyPathNames("Software\\x\\"), (Names{"Software", "x"}));
    EXPECT_EQ(KeyPathNames("\\Software\\\\\\x"), (Names{"Software", "x"}));
    EXPECT_EQ(KeyPathNames("x"), (Names{"x"}));
    EXPECT_EQ(KeyPathNames(""), Names{});
    EXPECT_EQ(KeyPathNames("\\\\"), Names{});
    // Names are bytes: spaces and dots are names like any other.
    EXPECT_EQ(KeyPathNames(" \\.\\a b"), (Names{" ", ".", "a b"}));
    // The depth counts the same names without taking them out.
    for (const char* path : {"HKEY_CURRENT_USER\\Software\\x", "Software\\x\\", "\\Software\\\\\\x", "x", "",
                             "\\\\", " \\.\\a b"})
        EXPECT_EQ(KeyPathDepth(path), KeyPathNames(path).size()) << '"' << path << '"';
}

TEST(KeyPath, TheRootIsCutAtTheFirstBackslashAsWritten) {
    std::string subKey = "left over";
    EXPECT_EQ(KeyPathRoot("hkey_local_machine\\Software\\x", &subKey), "hkey_local_machine");
    EXPECT_EQ(subKey, "Software\\x");
    EXPECT_EQ(KeyPathRoot("HKEY_USERS", &subKey), "HKEY_USERS");
    EXPECT_EQ(subKey, "");
    EXPECT_EQ(KeyPathRoot("HKEY_USERS\\", &subKey), "HKEY_USERS");
    EXPECT_EQ(subKey, "");
    // What follows the root is left as written, for a reader that judges it.
    EXPECT_EQ(KeyPathRoot("HKEY_USERS\\\\x\\", &subKey), "HKEY_USERS");
    EXPECT_EQ(subKey, "\\x\\");
    EXPECT_EQ(KeyPathRoot("", &subKey), "");
    EXPECT_EQ(subKey, "");
    // The path may receive its own remainder.
    std::string path = "HKEY_CURRENT_USER\\Software";
    EXPECT_EQ(KeyPathRoot(path, &path), "HKEY_CURRENT_USER");
    EXPECT_EQ(path, "Software");
    EXPECT_EQ(RootKeyFromName(KeyPathRoot("hKeY_cUrReNt_UsEr\\x")), kHkeyCurrentUser);
}

TEST(KeyPath, TheParentOfAPathWithATrailingBackslashIsTheParentOfItsKey) {
    std::string last;
    EXPECT_EQ(KeyPathParent("a\\b\\c", &last), "a\\b");
    EXPECT_EQ(last, "c");
    EXPECT_EQ(KeyPathParent("a\\b\\c\\\\", &last), "a\\b");
    EXPECT_EQ(last, "c");
    EXPECT_EQ(KeyPathParent("c", &last), "");
    EXPECT_EQ(last, "c");
    EXPECT_EQ(KeyPathParent("c\\", &last), "");
    EXPECT_EQ(last, "c");
    EXPECT_EQ(KeyPathParent("", &last), "");
    EXPECT_EQ(last, "");
}

TEST(KeyPath, ReadersOfAPathAgreeOnExtraBackslashesAndLetterCase) {
    MemoryRegistry reg;
    ASSERT_EQ(reg.SetString("HKEY_CURRENT_USER\\Software\\Qm\\Key", "v", "1"), kRegSuccess);
    EXPECT_TRUE(reg.ValueExists("hkey_current_user\\Software\\\\Qm\\Key\\", "v"));
    for (const char* spelled : {"Software\\Qm\\Key\\", "Software\\\\Qm\\\\Key", "SOFTWARE\\qm\\KEY"}) {
        RegKeyHandle key;
        EXPECT_EQ(reg.RegOpenKeyExA(kHkeyCurrentUser, spelled, kKeyRead, key.Receive(reg)), kRegSuccess)
            << spelled;
    }
    // A path that starts below the root with a backslash names no key.
    RegKeyHandle key;
    EXPECT_EQ(reg.RegOpenKeyExA(kHkeyCurrentUser, "\\Software", kKeyRead, key.Receive(reg)), kRegBadPathname);

    EXPECT_EQ(ClassesHivePath("hkey_classes_root\\CLSID\\x", ClassesHive::kUser),
              "HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\x");
    EXPECT_EQ(ClassesHivePath("HKEY_CLASSES_ROOT", ClassesHive::kMachine), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes");
    EXPECT_EQ(ClassesHivePath("HKEY_CLASSES_ROOT\\", ClassesHive::kMachine), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes");
}

TEST(KeyPath, TheThirtyTwoBitViewIsFoundWhateverThePathsSpelling) {
    EXPECT_EQ(ViewPathText("hkey_local_machine\\software\\Vendor\\", RegView::k32),
              "hkey_local_machine\\software\\Wow6432Node\\Vendor");
    EXPECT_EQ(ViewPathText("HKEY_LOCAL_MACHINE\\\\SOFTWARE\\Vendor", RegView::k32),
              "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Vendor");
    EXPECT_EQ(ViewPathText("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Vendor", RegView::k32),
              "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Vendor");
    EXPECT_EQ(ViewPathText("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\", RegView::k64),
              "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\");
    EXPECT_EQ(ViewOfPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\wow6432node\\Vendor\\"), RegView::k32);
    EXPECT_EQ(ViewOfPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node2"), RegView::k64);

    // Deleting in the 32-bit view a key spelled with a trailing backslash
    // removes that view's key, not the 64-bit one.
    MemoryRegistry reg;
    ASSERT_EQ(reg.CreateKeyPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Vendor\\App"), kRegSuccess);
    ASSERT_EQ(reg.CreateKeyPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App"), kRegSuccess);
    ViewRegistry view(reg, RegView::k32);
    EXPECT_EQ(view.RegDeleteKeyA(kHkeyLocalMachine, "SOFTWARE\\Vendor\\App\\"), kRegSuccess);
    EXPECT_FALSE(reg.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Vendor\\App"));
    EXPECT_TRUE(reg.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App"));
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace qm
