// registry_walk.h on the in-memory registry: trees that cannot be read or
// deleted whole, and what DeleteTree reports when the registry changes
// under it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulation/registry_memory.h"
#include "platform/registry_walk.h"

namespace qm {
namespace {

const char* const kTree = "HKEY_CURRENT_USER\\Walk";

// Passes everything on, except that deleting a key named "Stubborn" fails
// (as when another program takes a handle's rights away between the check
// and the deletion).
class StubbornDeletion : public MemoryRegistry {
public:
    RegStatus RegDeleteKeyA(RegKey parent, const char* subKey) override {
        if (std::string(subKey) == "Stubborn") return kRegAccessDenied;
        return MemoryRegistry::RegDeleteKeyA(parent, subKey);
    }
};

void MakeTree(MemoryRegistry& reg) {
    reg.SetString(std::string(kTree) + "\\A\\A1", "v", "1");
    reg.SetString(std::string(kTree) + "\\B\\Stubborn\\Inner", "v", "1");
    reg.SetString(std::string(kTree) + "\\C", "v", "1");
    reg.SetString(kTree, "top", "1");
}

TEST(RegistryWalk, APartThatRefusesDeletionKeepsTheWholeTree) {
    MemoryRegistry reg;
    MakeTree(reg);
    ASSERT_EQ(reg.SetDenyDelete(std::string(kTree) + "\\B\\Stubborn\\Inner"), kRegSuccess);
    const std::size_t handles = reg.OpenHandleCount();
    std::vector<std::string> left;
    EXPECT_EQ(CheckDeleteTree(reg, kHkeyCurrentUser, "Walk"), kRegAccessDenied);
    EXPECT_EQ(DeleteTree(reg, kHkeyCurrentUser, "Walk", &left), kRegAccessDenied);
    EXPECT_TRUE(left.empty()) << "the check failed: nothing was touched";
    EXPECT_TRUE(reg.KeyExists(std::string(kTree) + "\\A\\A1"));
    EXPECT_TRUE(reg.ValueExists(kTree, "top"));
    EXPECT_EQ(reg.OpenHandleCount(), handles);
}

TEST(RegistryWalk, AFailureAfterTheCheckReportsWhatIsLeft) {
    StubbornDeletion reg;
    MakeTree(reg);
    std::vector<std::string> left;
    EXPECT_EQ(DeleteTree(reg, kHkeyCurrentUser, "Walk", &left), kRegAccessDenied);
    EXPECT_EQ(left, (std::vector<std::string>{"Walk", "Walk\\B", "Walk\\B\\Stubborn", "Walk\\C"}));
    EXPECT_FALSE(reg.KeyExists(std::string(kTree) + "\\A"));
    EXPECT_TRUE(reg.KeyExists(std::string(kTree) + "\\C")) << "not reached";
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST(RegistryWalk, UnreadableKeyEndsTheTreeReadWithItsStatus) {
    MemoryRegistry reg;
    MakeTree(reg);
    ASSERT_EQ(reg.SetQueryInfoFailure(std::string(kTree) + "\\B\\Stubborn", kRegAccessDenied),
              kRegSuccess);
    RegKeyHandle key;
    ASSERT_EQ(reg.RegOpenKeyExA(kHkeyCurrentUser, "Walk", kKeyRead, key.Receive(reg)), kRegSuccess);
    std::vector<RegTreeKey> tree;
    EXPECT_EQ(ReadTree(reg, key.Get(), &tree), kRegAccessDenied);
    key.Reset();
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST(RegistryWalk, NamesLongerThanTheRegistryAllowsAreStillReadWhole) {
    // Other stores hold them; the walk must not stop at 255 or 256 bytes.
    MemoryRegistry reg;
    const std::string longName(5000, 'L');
    ASSERT_EQ(reg.CreateKeyPath(std::string(kTree) + "\\" + longName + "\\x"), kRegSuccess);
    ASSERT_EQ(reg.SetString(kTree, std::string(70000, 'n'), std::string(300000, 'd')), kRegSuccess);
    RegKeyHandle key;
    ASSERT_EQ(reg.RegOpenKeyExA(kHkeyCurrentUser, "Walk", kKeyRead, key.Receive(reg)), kRegSuccess);
    std::vector<std::string> names;
    ASSERT_EQ(ReadSubKeyNames(reg, key.Get(), &names), kRegSuccess);
    EXPECT_EQ(names, std::vector<std::string>{longName});
    std::vector<RegValueRecord> values;
    ASSERT_EQ(ReadValues(reg, key.Get(), &values), kRegSuccess);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name.size(), 70000u);
    EXPECT_EQ(values[0].data.size(), 300001u);
    key.Reset();
    EXPECT_EQ(DeleteTree(reg, kHkeyCurrentUser, "Walk"), kRegSuccess);
    EXPECT_FALSE(reg.KeyExists(kTree));
}

}  // namespace
}  // namespace qm
