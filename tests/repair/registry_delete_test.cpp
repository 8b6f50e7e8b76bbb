// The deletion primitives on the in-memory registry, on the NT path and on
// the 95/98/Me path.
#include <gtest/gtest.h>

#include "repair_fixture.h"

namespace qm {
namespace {

using test::RepairTest;

const char* const kBase = "HKEY_LOCAL_MACHINE\\SOFTWARE\\QmDelete";

TEST_F(RepairTest, DeleteKeyNTRemovesAThreeLevelTree) {
    const std::string t = std::string(kBase) + "\\Tree";
    registry_.SetString(t, "v", "1");
    registry_.SetString(t + "\\A\\A1\\A11", "x", "1");
    registry_.SetString(t + "\\A\\A1\\A12", "x", "1");
    registry_.SetString(t + "\\A\\A2", "x", "1");
    registry_.SetString(t + "\\B\\B1\\B11", "x", "1");
    registry_.SetString(std::string(kBase) + "\\Sibling", "s", "1");
    const std::size_t handles = registry_.OpenHandleCount();

    EXPECT_EQ(repair_->RegDelKey("HKEY_LOCAL_MACHINE", "SOFTWARE\\QmDelete\\Tree"), kRegSuccess);
    EXPECT_FALSE(registry_.KeyExists(t));
    EXPECT_TRUE(registry_.KeyExists(std::string(kBase) + "\\Sibling"));
    EXPECT_EQ(registry_.OpenHandleCount(), handles);

    // The same through the open parent handle, with a lower-case root.
    registry_.SetString(t + "\\C\\C1", "x", "1");
    RegKeyHandle parent;
    ASSERT_EQ(lib_->OpenKey("hkey_local_machine", "SOFTWARE\\QmDelete", parent.Receive(registry_)), kRegSuccess);
    EXPECT_EQ(repair_->RegDeleteKeyNT(parent.Get(), "Tree"), kRegSuccess);
    parent.Reset();
    EXPECT_FALSE(registry_.KeyExists(t));
    EXPECT_EQ(registry_.OpenHandleCount(), handles);
}

TEST_F(RepairTest, SubKeyNamesOfAnyLengthAreReadWholeAndTheTreeGoes) {
    const std::string t = std::string(kBase) + "\\Long";
    registry_.SetString(t + "\\0first", "x", "1");
    ASSERT_EQ(registry_.CreateKeyPath(t + "\\" + std::string(300, 'L') + "\\Below"), kRegSuccess);
    ASSERT_EQ(registry_.CreateKeyPath(t + "\\" + std::string(256, 'M')), kRegSuccess);
    const std::size_t handles = registry_.OpenHandleCount();

    EXPECT_EQ(repair_->RegDelKey("HKEY_LOCAL_MACHINE", "SOFTWARE\\QmDelete\\Long"), kRegSuccess);
    EXPECT_FALSE(registry_.KeyExists(t));
    EXPECT_EQ(registry_.OpenHandleCount(), handles);
}

TEST_F(RepairTest, TreeWithAKeyThatCannotGoIsLeftWhole) {
    const std::string t = std::string(kBase) + "\\Part";
    // "0first" sorts first: the walk of old deleted it before meeting the
    // key that refuses, leaving half a tree.
    registry_.SetString(t + "\\0first", "x", "1");
    registry_.SetString(t + "\\Locked\\Inner", "x", "1");
    ASSERT_EQ(registry_.SetDenyDelete(t + "\\Locked\\Inner"), kRegSuccess);
    const std::size_t handles = registry_.OpenHandleCount();
    for (bool oldPlatform : {false, true}) {
        system_.SetVersion(oldPlatform ? 0x80000004u : 0x0A000000u);
        MakeEngine();
        registry_.SetWin9xKeyDeletion(oldPlatform);
        EXPECT_EQ(repair_->RegDelKey("HKEY_LOCAL_MACHINE", "SOFTWARE\\QmDelete\\Part"), kRegAccessDenied);
        EXPECT_TRUE(registry_.ValueExists(t + "\\0first", "x")) << oldPlatform;
        EXPECT_TRUE(registry_.KeyExists(t + "\\Locked\\Inner")) << oldPlatform;
        EXPECT_EQ(registry_.OpenHandleCount(), handles);
    }
}

TEST_F(RepairTest, RefusedDeletionGivesAccessDenied) {
    const std::string t = std::string(kBase) + "\\Locked";
    registry_.SetString(t + "\\Child", "x", "1");
    registry_.SetString(t, "v", "1");
    ASSERT_EQ(registry_.SetDenyDelete(t), kRegSuccess);
    EXPECT_EQ(repair_->RegDelKey("HKEY_LOCAL_MACHINE", "SOFTWARE\\QmDelete\\Locked"), kRegAccessDenied);
    EXPECT_TRUE(registry_.KeyExists(t + "\\Child"));
    EXPECT_EQ(repair_->RegDelKeyValue("HKEY_LOCAL_MACHINE", "SOFTWARE\\QmDelete\\Locked", "v"),
              kRegAccessDenied);
    EXPECT_TRUE(registry_.ValueExists(t, "v"));

    // A refusing child stops the walk with 5; the parent stays.
    const std::string p = std::string(kBase) + "\\Parent";
    registry_.SetString(p + "\\Locked", "x", "1");
    ASSERT_EQ(registry_.SetDenyDelete(p + "\\Locked"), kRegSuccess);
    EXPECT_EQ(repair_->RegDelKey("HKEY_LOCAL_MACHINE", "SOFTWARE\\QmDelete\\Parent"), kRegAccessDenied);
    EXPECT_TRUE(registry_.KeyExists(p + "\\Locked"));
}

TEST_F(RepairTest, UnknownRootsAndMissingEntries) {
    registry_.SetString(kBase, "v", "1");
    registry_.SetString(kBase, "", "unnamed");
    for (const char* root : {"HKLM", "HKEY_PERFORMANCE_DATA", "HKEY_DYN_DATA", "", "HKEY_LOCAL_MACHINE\\"}) {
        EXPECT_EQ(repair_->RegDelKey(root, "SOFTWARE\\QmDelete"), kRegInvalidFunction) << root;
        EXPECT_EQ(repair_->RegDelKeyValue(root, "SOFTWARE\\QmDelete", "v"), kRegInvalidFunction) << root;
    }
    EXPECT_TRUE(registry_.ValueExists(kBase, "v"));

    EXPECT_EQ(repair_->RegDelKeyValue("HKEY_LOCAL_MACHINE", "SOFTWARE\\QmDelete", "missing"),
              kRegFileNotFound);
    // "(Default)" names a value of that name, not the unnamed value.
    EXPECT_EQ(repair_->RegDelKeyValue("HKEY_LOCAL_MACHINE", "SOFTWARE\\QmDelete", "(Default)"),
              kRegFileNotFound);
    EXPECT_TRUE(registry_.ValueExists(kBase, ""));
    EXPECT_EQ(repair_->RegDelKeyValue("HKEY_LOCAL_MACHINE", "SOFTWARE\\QmDelete\\Nope", "v"),
              kRegFileNotFound);
    EXPECT_EQ(repair_->RegDelKey("HKEY_LOCAL_MACHINE", "SOFTWARE\\QmDelete\\Nope"), kRegFileNotFound);

    EXPECT_EQ(repair_->RegDelKeyValue("hkey_local_machine", "software\\qmdelete", "V"), kRegSuccess);
    EXPECT_FALSE(registry_.ValueExists(kBase, "v"));
}

TEST_F(RepairTest, EmptySubKeyIsRefusedOnBothPaths) {
    RegKey root = kHkeyCurrentConfig;
    EXPECT_EQ(repair_->RegDeleteKeyNT(root, ""), kRegBadKey);
    EXPECT_EQ(repair_->RegDelKey("HKEY_CURRENT_CONFIG", ""), kRegBadKey);

    registry_.SetWin9xKeyDeletion(true);
    system_.SetWin9xFamily(true);
    MakeEngine();
    ASSERT_TRUE(lib_->IsOldPlatform());
    registry_.SetString("HKEY_CURRENT_CONFIG\\QmKeep", "v", "1");
    // Never handed to the 95/98/Me key deletion, which would take the root's tree.
    EXPECT_EQ(repair_->RegDelKey("HKEY_CURRENT_CONFIG", ""), kRegBadKey);
    EXPECT_TRUE(registry_.KeyExists("HKEY_CURRENT_CONFIG\\QmKeep"));
}

TEST_F(RepairTest, OldPlatformDeletesTheTreeWithOneCall) {
    registry_.SetWin9xKeyDeletion(true);
    system_.SetWin9xFamily(true);
    MakeEngine();
    ASSERT_TRUE(lib_->IsOldPlatform());
    const std::string t = std::string(kBase) + "\\Old";
    registry_.SetString(t + "\\A\\B\\C", "x", "1");
    EXPECT_EQ(repair_->RegDelKey("HKEY_LOCAL_MACHINE", "SOFTWARE\\QmDelete\\Old"), kRegSuccess);
    EXPECT_FALSE(registry_.KeyExists(t));
}

}  // namespace
}  // namespace qm
