// The ordered index under the sub-keys of the in-memory registry, against a
// sorted reference through long random runs of inserts, erases, lookups and
// positions; and the registry's sub-keys kept in order through many of them.
#include "emulation/ordered_index.h"
#include "emulation/name_case.h"
#include "emulation/registry_memory.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <cstdio>
#include <string>
#include <vector>

namespace qm {
namespace {

struct Item {
    std::string key;
    int payload = 0;
};
struct KeyOfItem {
    const std::string& operator()(const Item& item) const { return item.key; }
};
using Index = OrderedIndex<Item, KeyOfItem>;

std::vector<std::string> Keys(const Index& index) {
    std::vector<std::string> keys;
    index.ForEach([&keys](const Item& item) { keys.push_back(item.key); });
    return keys;
}

TEST(OrderedIndex, FollowsASortedReferenceThroughRandomChanges) {
    std::mt19937 rng(20240611);
    Index index;
    std::map<std::string, int> reference;
    auto randomKey = [&rng] { return "k" + std::to_string(std::uniform_int_distribution<int>(0, 3000)(rng)); };
    for (int step = 0; step < 40000; ++step) {
        const std::string key = randomKey();
        switch (std::uniform_int_distribution<int>(0, 3)(rng)) {
            case 0:
            case 1:
                if (reference.count(key) == 0) {
                    index.Insert(Item{key, step});
                    reference[key] = step;
                }
                break;
            case 2:
                ASSERT_EQ(index.Erase(key), reference.erase(key) == 1) << key;
                break;
            default: {
                Item* found = index.Find(key);
                const auto it = reference.find(key);
                ASSERT_EQ(found != nullptr, it != reference.end()) << key;
                if (found != nullptr) {
                    EXPECT_EQ(found->payload, it->second);
                }
                break;
            }
        }
        ASSERT_EQ(index.Size(), reference.size());
        if (!reference.empty()) {
            // The element at a random position is the reference's there.
            const std::size_t at = std::uniform_int_distribution<std::size_t>(0, reference.size() - 1)(rng);
            auto it = reference.begin();
            std::advance(it, static_cast<std::ptrdiff_t>(at));
            ASSERT_EQ(index.At(at).key, it->first) << at;
        }
    }
    std::vector<std::string> expected;
    for (const auto& [key, payload] : reference) expected.push_back(key);
    EXPECT_EQ(Keys(index), expected);

    const std::vector<Item> taken = index.TakeAll();
    EXPECT_TRUE(index.Empty());
    ASSERT_EQ(taken.size(), expected.size());
    for (std::size_t i = 0; i < taken.size(); ++i) EXPECT_EQ(taken[i].key, expected[i]);
}

// Keys coming in sorted order, the worst case of a plain search tree, keep it
// shallow: 200,000 of them are inserted, reached by position, erased and
// freed without running out of stack.
TEST(OrderedIndex, KeysInSortedOrderKeepTheTreeShallow) {
    Index sorted;
    char name[16];
    for (int i = 0; i < 200000; ++i) {
        std::snprintf(name, sizeof name, "%07d", i);
        sorted.Insert(Item{name, i});
    }
    EXPECT_EQ(sorted.At(0).key, "0000000");
    EXPECT_EQ(sorted.At(123456).payload, 123456);
    EXPECT_EQ(sorted.At(199999).key, "0199999");
    for (int i = 0; i < 200000; i += 2) {
        std::snprintf(name, sizeof name, "%07d", i);
        ASSERT_TRUE(sorted.Erase(name));
    }
    EXPECT_EQ(sorted.Size(), 100000u);
    EXPECT_EQ(sorted.At(0).key, "0000001");
    EXPECT_FALSE(sorted.Erase("0000000"));
}

// The registry's sub-keys through many creations and deletions in random
// order: enumerated by index in the order of their upper-cased names, as
// before, and counted right.
TEST(MemoryRegistrySiblings, ManySiblingsEnumerateInOrderThroughRandomChanges) {
    MemoryRegistry reg;
    RegKeyHandle held;
    ASSERT_EQ(reg.RegCreateKeyExA(kHkeyLocalMachine, "SOFTWARE\\Siblings", held.Receive(reg), nullptr), kRegSuccess);
    const RegKey parent = held.Get();
    std::mt19937 rng(7);
    std::map<std::u16string, std::string> reference;  // folded name -> name as created
    for (int step = 0; step < 30000; ++step) {
        const int n = std::uniform_int_distribution<int>(0, 5000)(rng);
        // Names differing in letter case only are the same key.
        static const char* const kSpellings[] = {"Key", "KEY", "kEy"};
        const std::string name = kSpellings[std::uniform_int_distribution<int>(0, 2)(rng)] + std::to_string(n);
        if (std::uniform_int_distribution<int>(0, 2)(rng) != 0) {
            RegKeyHandle key;
            bool created = false;
            ASSERT_EQ(reg.RegCreateKeyExA(parent, name.c_str(), key.Receive(reg), &created), kRegSuccess);
            key.Reset();
            const bool isNew = reference.emplace(FoldedName(name), name).second;
            ASSERT_EQ(created, isNew) << name;
        } else {
            const RegStatus status = reg.RegDeleteKeyA(parent, name.c_str());
            ASSERT_EQ(status, reference.erase(FoldedName(name)) == 1 ? kRegSuccess : kRegFileNotFound) << name;
        }
    }
    RegKeyInfo info;
    ASSERT_EQ(reg.RegQueryInfoKeyA(parent, &info), kRegSuccess);
    EXPECT_EQ(info.subKeys, reference.size());
    std::uint32_t index = 0;
    for (const auto& [folded, name] : reference) {
        char buffer[64];
        std::uint32_t length = sizeof buffer;
        ASSERT_EQ(reg.RegEnumKeyExA(parent, index, buffer, &length), kRegSuccess) << index;
        EXPECT_EQ(std::string(buffer, length), name) << index;
        ++index;
    }
    char buffer[64];
    std::uint32_t length = sizeof buffer;
    EXPECT_EQ(reg.RegEnumKeyExA(parent, index, buffer, &length), kRegNoMoreItems);
}

}  // namespace
}  // namespace qm
