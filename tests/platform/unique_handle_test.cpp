#include "platform/unique_handle.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace qm {
namespace {

// Handles are ints; 0 and -1 are "no handle"; every close is recorded, and
// closing handle 13 fails.
std::vector<int> closed;

struct IntTraits {
    using Handle = int;
    static int Invalid() { return -1; }
    static bool Valid(int h) { return h != -1 && h != 0; }
    static bool Close(int h) {
        closed.push_back(h);
        return h != 13;
    }
};
using IntHandle = UniqueHandle<IntTraits>;

TEST(UniqueHandle, ClosesWhatItOwnsOnceAndNothingElse) {
    closed.clear();
    {
        IntHandle empty;
        IntHandle zero(0);
        IntHandle owned(7);
        EXPECT_FALSE(empty);
        EXPECT_FALSE(zero);
        EXPECT_TRUE(owned);
        EXPECT_EQ(owned.Get(), 7);
    }
    EXPECT_EQ(closed, std::vector<int>{7});
}

TEST(UniqueHandle, MovesOwnership) {
    closed.clear();
    {
        IntHandle a(3);
        IntHandle b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(b.Get(), 3);
        IntHandle c(4);
        c = std::move(b);  // 4 closed, 3 moves over
        EXPECT_EQ(closed, std::vector<int>{4});
        EXPECT_EQ(c.Get(), 3);
    }
    EXPECT_EQ(closed, (std::vector<int>{4, 3}));
}

TEST(UniqueHandle, ResetReleaseAndClose) {
    closed.clear();
    IntHandle h(5);
    h.Reset(5);  // the same handle again: kept open
    EXPECT_TRUE(closed.empty());
    h.Reset(6);
    EXPECT_EQ(closed, std::vector<int>{5});
    EXPECT_EQ(h.Release(), 6);
    EXPECT_FALSE(h);
    EXPECT_TRUE(h.Close());  // nothing held: nothing to fail
    h.Reset(13);
    EXPECT_FALSE(h.Close());  // the close's own failure is reported
    EXPECT_FALSE(h);
    EXPECT_EQ(closed, (std::vector<int>{5, 13}));
}

// A call that hands back a handle through a pointer gets an empty slot: what
// was held is closed first, and what the call writes is owned.
TEST(UniqueHandle, OutClosesTheOldHandleAndOwnsTheNewOne) {
    closed.clear();
    {
        IntHandle h(8);
        int* slot = h.Out();
        EXPECT_EQ(closed, std::vector<int>{8});
        EXPECT_EQ(*slot, -1);
        *slot = 9;
        EXPECT_EQ(h.Get(), 9);
    }
    EXPECT_EQ(closed, (std::vector<int>{8, 9}));
}

}  // namespace
}  // namespace qm
