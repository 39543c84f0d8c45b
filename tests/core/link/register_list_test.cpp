#include <gtest/gtest.h>

#include "core/link/register_list.h"

namespace dmm {
namespace {

struct Entry {
    int address = 0;
    int ListAddress() const { return address; }
};

TEST(RegisterList, BlocksAreAllocatedOnDemandAndTheListStopsAt512) {
    RegisterList<Entry> list;
    EXPECT_EQ(list.BlocksAllocated(), 0);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(list.Add({i}), 0);
    EXPECT_EQ(list.BlocksAllocated(), 1);
    ASSERT_EQ(list.Add({256}), 0);  // the 257th entry opens the second block
    EXPECT_EQ(list.BlocksAllocated(), 2);
    for (int i = 257; i < 512; ++i) ASSERT_EQ(list.Add({i}), 0);
    EXPECT_NE(list.Add({512}), 0);  // the 513th is refused
    EXPECT_EQ(list.Count(), 512);
    EXPECT_EQ(list.Address(511), 511);
    EXPECT_EQ(list.Address(256), 256);
}

TEST(RegisterList, ItemsOutsideTheListAreNothing) {
    RegisterList<Entry> list;
    list.Add({7});
    EXPECT_NE(list.Items(0), nullptr);
    EXPECT_EQ(list.Items(1), nullptr);  // Items(Count)
    EXPECT_EQ(list.Items(-1), nullptr);
    EXPECT_EQ(list.Address(1), -1);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.BlocksAllocated(), 0);
    EXPECT_EQ(list.Items(0), nullptr);
}

TEST(RegisterList, AddingCopiesTheEntry) {
    RegisterList<Entry> list;
    Entry e{3};
    list.Add(e);
    e.address = 99;
    EXPECT_EQ(list.Address(0), 3);
    RegisterList<Entry> copy = list;
    list.Items(0)->address = 4;
    EXPECT_EQ(copy.Address(0), 3);
}

}  // namespace
}  // namespace dmm
