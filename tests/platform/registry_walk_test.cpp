// registry_walk.h on the in-memory registry: trees that cannot be read or
// deleted whole, and what DeleteTree reports when the registry changes
// under it.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
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

// Passes everything on, except that a key named "B" does not open.
class ClosedB : public MemoryRegistry {
public:
    RegStatus RegOpenKeyExA(RegKey parent, const char* subKey, std::uint32_t access,
                            RegKey* result) override {
        if (subKey != nullptr && std::string(subKey) == "B") return kRegAccessDenied;
        return MemoryRegistry::RegOpenKeyExA(parent, subKey, access, result);
    }
};

// Each key the walk shows, as "depth path (sub-keys)".
struct Seen {
    std::vector<std::string> keys;
    RegStatus Visit(const RegWalkKey& k) {
        keys.push_back(std::to_string(k.depth) + " " + k.path + " (" + std::to_string(k.subKeys) + ")");
        return kRegSuccess;
    }
};

RegStatus Walk(IRegistry& reg, const RegWalk& how, const std::function<RegStatus(const RegWalkKey&)>& visit) {
    RegKeyHandle top;
    const RegStatus st = reg.RegOpenKeyExA(kHkeyCurrentUser, "Walk", kKeyRead, top.Receive(reg));
    if (st != kRegSuccess) return st;
    return WalkTree(reg, top.Get(), how, visit);
}

TEST(RegistryWalkTree, KeysComeBeforeTheirSubKeysWithTheirPaths) {
    MemoryRegistry reg;
    MakeTree(reg);
    const std::string top = "HKEY_CURRENT_USER\\Walk";
    RegWalk how;
    how.topPath = &top;
    Seen seen;
    EXPECT_EQ(Walk(reg, how, [&](const RegWalkKey& k) { return seen.Visit(k); }), kRegSuccess);
    EXPECT_EQ(seen.keys, (std::vector<std::string>{
                             "0 HKEY_CURRENT_USER\\Walk (3)", "1 HKEY_CURRENT_USER\\Walk\\A (1)",
                             "2 HKEY_CURRENT_USER\\Walk\\A\\A1 (0)", "1 HKEY_CURRENT_USER\\Walk\\B (1)",
                             "2 HKEY_CURRENT_USER\\Walk\\B\\Stubborn (1)",
                             "3 HKEY_CURRENT_USER\\Walk\\B\\Stubborn\\Inner (0)",
                             "1 HKEY_CURRENT_USER\\Walk\\C (0)"}));

    // Without a top path only the names are given.
    std::vector<std::string> names;
    EXPECT_EQ(Walk(reg, RegWalk(), [&](const RegWalkKey& k) {
                  EXPECT_EQ(k.path, "");
                  names.push_back(k.name);
                  return kRegSuccess;
              }),
              kRegSuccess);
    EXPECT_EQ(names, (std::vector<std::string>{"", "A", "A1", "B", "Stubborn", "Inner", "C"}));
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST(RegistryWalkTree, AKeyThatDoesNotOpenStopsTheWalkOrIsLeftOut) {
    ClosedB reg;
    MakeTree(reg);
    const std::string top = "Walk";
    RegWalk how;
    how.topPath = &top;
    Seen stopped;
    EXPECT_EQ(Walk(reg, how, [&](const RegWalkKey& k) { return stopped.Visit(k); }), kRegAccessDenied);
    EXPECT_EQ(stopped.keys, (std::vector<std::string>{"0 Walk (3)", "1 Walk\\A (1)", "2 Walk\\A\\A1 (0)"}));

    how.onFailure = RegWalkFailure::kSkip;
    Seen skipped;
    EXPECT_EQ(Walk(reg, how, [&](const RegWalkKey& k) { return skipped.Visit(k); }), kRegSuccess);
    EXPECT_EQ(skipped.keys, (std::vector<std::string>{"0 Walk (3)", "1 Walk\\A (1)", "2 Walk\\A\\A1 (0)",
                                                      "1 Walk\\C (0)"}));
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST(RegistryWalkTree, AKeyTheVisitRefusesEndsTheWalkOrLosesItsSubKeys) {
    MemoryRegistry reg;
    MakeTree(reg);
    const auto refuseB = [](std::vector<std::string>& names) {
        return [&names](const RegWalkKey& k) {
            names.push_back(k.name);
            return k.name == "B" ? kRegAccessDenied : kRegSuccess;
        };
    };
    std::vector<std::string> stopped;
    EXPECT_EQ(Walk(reg, RegWalk(), refuseB(stopped)), kRegAccessDenied);
    EXPECT_EQ(stopped, (std::vector<std::string>{"", "A", "A1", "B"}));

    RegWalk how;
    how.onFailure = RegWalkFailure::kSkip;
    std::vector<std::string> skipped;
    EXPECT_EQ(Walk(reg, how, refuseB(skipped)), kRegSuccess);
    EXPECT_EQ(skipped, (std::vector<std::string>{"", "A", "A1", "B", "C"}));

    // A visit that throws leaves no key open.
    EXPECT_THROW(Walk(reg, how,
                      [](const RegWalkKey& k) -> RegStatus {
                          if (k.depth == 3) throw std::runtime_error("too deep");
                          return kRegSuccess;
                      }),
                 std::runtime_error);
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace qm
