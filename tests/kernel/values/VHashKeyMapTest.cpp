#include <gtest/gtest.h>

#include "kernel/values/VHashKeyMap.h"

namespace nuvo {
namespace {

TEST(VHashKeyMap, SizeTable)
{
    struct Row { size_t count; size_t size; };
    const Row rows[] = {
        {0, 5}, {4, 5}, {5, 11}, {6, 11}, {8, 11}, {9, 23}, {17, 23}, {18, 41}, {29, 41}, {30, 67},
        {47, 67}, {48, 113}, {76, 113}, {77, 199}, {123, 199}, {124, 317}, {199, 317}, {200, 521},
        {322, 521}, {323, 839}, {521, 839}, {522, 1361}, {843, 1361}, {844, 2207}, {1364, 2207},
        {1365, 3571}, {2207, 3571}, {2208, 5779}, {3571, 5779}, {3572, 9349}, {5778, 9349},
        {5779, 15121}, {9349, 15121},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.count);
        EXPECT_EQ(Private::VHashKeyMap::SizeFor(row.count), row.size);
    }
    // Further sizes keep growing and always leave room for the count they are chosen for.
    size_t previous = 15121;
    for (size_t count = 9350; count < 2000000000u; count = count * 3 / 2) {
        size_t size = Private::VHashKeyMap::SizeFor(count);
        EXPECT_GT(size, count);
        EXPECT_GE(size, previous);
        previous = size;
    }
}

TEST(VHashKeyMap, PutProbesLinearlyAndWraps)
{
    Private::VHashKeyMap map;
    map.Reset(0);
    ASSERT_EQ(map.GetSize(), 5u);
    EXPECT_TRUE(map.Put(3, 10));   // home 3
    EXPECT_TRUE(map.Put(8, 11));   // home 3 taken: 4
    EXPECT_TRUE(map.Put(13, 12));  // 3, 4 taken: wraps to 0
    EXPECT_EQ(map.GetHome(3), 10u);
    EXPECT_EQ(map.GetHome(4), 11u);
    EXPECT_EQ(map.GetHome(0), 12u);
    EXPECT_EQ(map.GetHome(1), Private::VHashKeyMap::kEmpty);
    EXPECT_TRUE(map.Put(1, 13));
    EXPECT_TRUE(map.Put(1, 14));  // lands on 2
    EXPECT_EQ(map.GetHome(2), 14u);
    EXPECT_FALSE(map.Put(0, 15));  // full
    map.Clear();
    EXPECT_TRUE(map.IsEmpty());
}

} // namespace
} // namespace nuvo
