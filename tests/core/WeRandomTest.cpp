#include "WeRandom.h"
#include "WeTimer.h"

#include <gtest/gtest.h>

TEST(Rand, SeedOneGivesTheRunTimeStream)
{
    WeSRand(1);
    const int32_t expected[] = {41, 18467, 6334, 26500, 19169};
    for (int32_t value : expected)
        EXPECT_EQ(WeRand(), value);
}

TEST(Rand, SeedZeroGivesTheRunTimeStream)
{
    WeSRand(0);
    EXPECT_EQ(WeRand(), 38);
    EXPECT_EQ(WeRand(), 7719);
    EXPECT_EQ(WeRand(), 21238);
}

TEST(Rand, LargeSeedsStayInRange)
{
    WeSRand(0xFFFFFFFFu);
    for (int i = 0; i < 100000; ++i)
    {
        const int32_t value = WeRand();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, WE_RAND_MAX);
    }
}

TEST(RandomTable, FillStoresTheGeneratorStreamAndTheStreamContinues)
{
    WeFillRandomTable(1u);
    EXPECT_EQ(randomTable.index, 0);
    EXPECT_EQ(randomTable.values[0], 41);
    EXPECT_EQ(randomTable.values[1], 18467);
    EXPECT_EQ(randomTable.values[2], 6334);
    const int32_t next = WeRand();
    WeSRand(1);
    for (int i = 0; i < WeRandomTable::kSize; ++i)
        ASSERT_EQ(randomTable.values[i], WeRand()) << i;
    EXPECT_EQ(next, WeRand());
}

TEST(RandomTable, FillIsSeededFromTheTimerMilliseconds)
{
    const uint32_t before = static_cast<uint32_t>(timer.GetMilliseconds());
    WeFillRandomTable();
    const uint32_t after = static_cast<uint32_t>(timer.GetMilliseconds());
    bool found = false;
    for (uint32_t seed = before; seed - before <= after - before && !found; ++seed)
    {
        WeSRand(seed);
        found = WeRand() == randomTable.values[0] && WeRand() == randomTable.values[1] &&
                WeRand() == randomTable.values[2] && WeRand() == randomTable.values[3];
    }
    EXPECT_TRUE(found);
}

TEST(RandomTable, DrawsWalkTheTableByTheSkewedIndex)
{
    for (int32_t i = 0; i < WeRandomTable::kSize; ++i)
        randomTable.values[i] = i;
    randomTable.index = 0;
    EXPECT_EQ(WeRandom(), 1);
    randomTable.index = 40000; // the next index 40001 reads entry (1 + 40001) mod 32768
    EXPECT_EQ(WeRandom(), 7234);
}

TEST(RandomTable, IndexWrapsBelowTwoToTheThirty)
{
    WeFillRandomTable(7u);
    randomTable.index = (1 << 30) - 1;
    EXPECT_EQ(WeRandom(), randomTable.values[0]);
    EXPECT_EQ(randomTable.index, 0);
    randomTable.index = (1 << 30) - 3;
    for (int i = 0; i < 1000; ++i)
    {
        const int32_t value = WeRandom();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, WE_RAND_MAX);
        ASSERT_GE(randomTable.index, 0);
        ASSERT_LT(randomTable.index, 1 << 30);
    }
}
