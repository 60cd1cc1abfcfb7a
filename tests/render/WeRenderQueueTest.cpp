// The render queue's ordered lists and sort keys, and the recycling of its items.
#include "WeRenderQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace
{

std::vector<int32_t> PopAllKeys(WeRenderList& list, std::vector<WeRenderItem>& items)
{
    std::vector<int32_t> keys;
    while (WeRenderItem* item = list.PopMin())
        keys.push_back(int32_t(item - items.data()));
    return keys;
}

} // namespace

TEST(WeRenderList, PopsInKeyOrderAndLeavesTheArrayDescending)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int32_t> pick(-50, 50);
    for (const int32_t size : {0, 1, 2, 15, 16, 17, 200})
    {
        WeRenderList list;
        std::vector<WeRenderItem> items(static_cast<size_t>(size));
        std::vector<int32_t> keys;
        for (int32_t i = 0; i < size; ++i)
        {
            keys.push_back(pick(random) * 1000 + i); // unique, so the popped item tells its key
            list.Push(&items[size_t(i)], keys.back());
        }
        EXPECT_EQ(list.GetCount(), size);
        std::vector<int32_t> popped;
        for (const int32_t index : PopAllKeys(list, items))
            popped.push_back(keys[size_t(index)]);
        std::vector<int32_t> sorted = keys;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(popped, sorted) << size << " items";
        EXPECT_TRUE(list.IsEmpty());
        for (int32_t i = 0; i < size; ++i)
            EXPECT_EQ(list.At(i).key, sorted[size_t(size - 1 - i)]) << "slot " << i << " of " << size;
    }
}

TEST(WeRenderList, GrowsFourfoldWhenFullAndKeepsItsArray)
{
    WeRenderList list;
    WeRenderItem item;
    EXPECT_EQ(list.GetCapacity(), 16);
    for (int32_t i = 0; i < 17; ++i)
        list.Push(&item, i);
    EXPECT_EQ(list.GetCapacity(), 64);
    for (int32_t i = 17; i < 65; ++i)
        list.Push(&item, i);
    EXPECT_EQ(list.GetCapacity(), 256);
    list.Clear();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.PopMin(), nullptr);
    EXPECT_EQ(list.GetCapacity(), 256);
}

TEST(WeRenderList, EqualKeysNeverTradePlaces)
{
    // Ties stay below their parent on the way up, and on the way down neither a tied child nor
    // a tied right child moves: the entry taken from the end stays at the root.
    WeRenderList list;
    WeRenderItem items[3];
    for (WeRenderItem& item : items)
        list.Push(&item, 5);
    EXPECT_EQ(list.PopMin(), &items[0]);
    EXPECT_EQ(list.PopMin(), &items[2]) << "the last entry takes the root and stays there";
    EXPECT_EQ(list.PopMin(), &items[1]);
}

TEST(WeRenderQueue, DepthUnitsSaturateSoNoKeyOverflows)
{
    constexpr float infinity = std::numeric_limits<float>::infinity();
    const struct
    {
        float depth;
        int32_t units;
    } cases[] = {{0.0f, 0},
                 {1.0f, 32768},
                 {-2.5f, -81920},
                 {0.00002f, 0},
                 {std::nanf(""), 0},
                 {1e9f, 2147483520},
                 {-1e9f, -2147483520},
                 {infinity, 2147483520},
                 {-infinity, -2147483520}};
    for (const auto& c : cases)
    {
        const int32_t units = WeRenderQueue::DepthUnits(c.depth);
        EXPECT_EQ(units, c.units) << c.depth;
        EXPECT_EQ(-units, -c.units) << "negating is defined";
    }
}

TEST(WeRenderQueue, AlphaKeysOrderPriorityThenKindThenFarthestFirst)
{
    const int32_t near = WeRenderQueue::DepthUnits(10.0f);
    const int32_t far = WeRenderQueue::DepthUnits(20.0f);
    const int32_t farOut = WeRenderQueue::DepthUnits(1e9f);
    const int32_t behind = WeRenderQueue::DepthUnits(-1e9f);
    // Each pair: the first key is drawn before the second.
    const struct
    {
        int32_t first, second;
    } orders[] = {
        {WeRenderQueue::AlphaKey(0, 1, far), WeRenderQueue::AlphaKey(0, 1, near)},
        {WeRenderQueue::AlphaKey(2, 5, near), WeRenderQueue::AlphaKey(1, 1, far)},
        {WeRenderQueue::AlphaKey(0, 1, near), WeRenderQueue::AlphaKey(0, 2, far)},
        {WeRenderQueue::AlphaKey(0, 4, near), WeRenderQueue::AlphaKey(0, 1 + 8, far)},
        // However far, an item never passes a group it does not belong to.
        {WeRenderQueue::AlphaKey(1, 1, behind), WeRenderQueue::AlphaKey(0, 1, farOut)},
        {WeRenderQueue::AlphaKey(0, 1, behind), WeRenderQueue::AlphaKey(0, 2, farOut)},
        {WeRenderQueue::AlphaKey(-3, 13, farOut), WeRenderQueue::AlphaKey(-3, 13, near)},
    };
    for (const auto& order : orders)
        EXPECT_LT(order.first, order.second);
    EXPECT_EQ(WeRenderQueue::AlphaKey(9, 1, near), WeRenderQueue::AlphaKey(4, 1, near));
    EXPECT_EQ(WeRenderQueue::AlphaKey(-7, 1, near), WeRenderQueue::AlphaKey(-3, 1, near));
    EXPECT_EQ(WeRenderQueue::AlphaKey(0, 1, far), (65 << 24) - (far >> 7));
}

TEST(WeRenderQueue, StateKeysGroupByShaderThenTechniqueThenMaterial)
{
    // Only the addresses count; objects 1 MiB apart differ in the bits the shader part keeps.
    const auto at = [](uintptr_t address) { return reinterpret_cast<const char*>(address); };
    const auto* shaderA = reinterpret_cast<const WeShader*>(at(0x10000000));
    const auto* shaderB = reinterpret_cast<const WeShader*>(at(0x10100000));
    const auto* materialA = reinterpret_cast<const WeMaterial*>(at(0x10000040));
    const auto* materialB = reinterpret_cast<const WeMaterial*>(at(0x10000080));
    const int32_t a = WeRenderQueue::StateKey(shaderA, 2, materialA, 0);
    EXPECT_EQ(a, WeRenderQueue::StateKey(shaderA, 2, materialA, 0));
    EXPECT_NE(a, WeRenderQueue::StateKey(shaderB, 2, materialA, 0));
    EXPECT_EQ(std::abs(WeRenderQueue::StateKey(shaderA, 3, materialA, 0) - a), 1 << 11);
    EXPECT_NE(WeRenderQueue::StateKey(shaderA, 2, materialB, 0), a);
    EXPECT_EQ(WeRenderQueue::StateKey(shaderA, 2, materialB, 0) >> 11, a >> 11);
    // Pass 6 comes after every pass-0 key, whatever the shader, and no key is negative.
    for (uintptr_t offset = 0; offset < (4 << 20); offset += 4096)
    {
        const auto* shader = reinterpret_cast<const WeShader*>(at(0x10000000 + offset));
        const int32_t pass0 = WeRenderQueue::StateKey(shader, 0x3FF, materialB, 0);
        EXPECT_GE(pass0, 0);
        EXPECT_LT(pass0, WeRenderQueue::StateKey(shaderA, 0, materialA, 6));
        EXPECT_GT(WeRenderQueue::StateKey(shader, 0x1FF, materialB, 6), 0);
    }
}
