// The render queue's ordered lists and sort keys, and the recycling of its items.
#include "WeRenderQueue.h"

#include "WeEngine.h"
#include "WeMaterial.h"
#include "WeRenderDevice.h"
#include "WeSceneRenderer.h"
#include "WeShader.h"

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

namespace
{

// A shader without an effect that has techniques for the given masks and supports their bits.
struct FakeShader : WeShader
{
    explicit FakeShader(std::initializer_list<int32_t> masks)
    {
        static const char handle = 0;
        for (const int32_t mask : masks)
        {
            techniques[mask] = reinterpret_cast<d3dx::D3DXHANDLE>(&handle);
            supportedTechniques |= mask;
        }
        for (int32_t bit = 0; bit < featureCount; ++bit)
            supportsFeature[bit] = (supportedTechniques >> bit) & 1;
    }
};

WeTexture* SomeTexture()
{
    static char texture;
    return reinterpret_cast<WeTexture*>(&texture);
}

class QueueFiling : public ::testing::Test
{
protected:
    void TearDown() override
    {
        for (WeRenderList& list : sceneRenderer.lists)
            list.Clear();
        renderDevice.outlines = renderDevice.greyAmbient = renderDevice.pixelShader3 = false;
        renderDevice.fogConfigured = false;
        renderDevice.shaderLevel = 1;
        reflectionRenderer.reflecting = false;
        renderQueue.frameMask = WeRenderQueue::allFeatures;
        for (WeMaterial& material : materials)
            std::fill(std::begin(material.textures), std::end(material.textures), nullptr);
    }
    WeMaterial materials[4];
};

} // namespace

TEST_F(QueueFiling, TechniquesTakeWhatTheMaterialAndModelAskForAndTheShaderHas)
{
    FakeShader lit({0, 1, 2, 6, 8, 10, 14, 16, 130, 134});
    WeMaterial& material = materials[0];
    material.shader = &lit;
    struct Case
    {
        const char* name;
        int32_t modelBits;
        float specularPow;
        int32_t texture; // a slot given a texture, or -1
        bool meshFlag;
        int32_t mask;
    } cases[] = {
        {"unlit", 0, 0.0f, -1, false, 0},
        {"lit", 2, 0.0f, -1, false, 2},
        {"lit with highlights", 2, 10.0f, -1, false, 6},
        {"highlights only with light", 0, 10.0f, -1, false, 0},
        {"normal map", 2, 10.0f, 1, false, 14},
        {"environment, no lit technique for it", 2, 0.0f, 4, false, 0},
        {"environment alone", 0, 0.0f, 4, false, 16},
        {"skinned and lit", 2, 10.0f, -1, true, 134},
        {"an unknown base bit the shader lacks", 2 | 512, 0.0f, -1, false, 2},
    };
    for (const Case& test : cases)
    {
        std::fill(std::begin(material.textures), std::end(material.textures), nullptr);
        if (test.texture >= 0)
            material.textures[test.texture] = SomeTexture();
        material.specularPow = test.specularPow;
        EXPECT_EQ(renderQueue.ComposeMask(material, test.modelBits, false, test.meshFlag), test.mask)
            << test.name;
    }
    material.textures[1] = nullptr;
    material.specularPow = 10.0f;
    renderQueue.frameMask = ~4;
    EXPECT_EQ(renderQueue.ComposeMask(material, 2, false, false), 2) << "the frame's switches remove bits";
    renderQueue.frameMask = WeRenderQueue::allFeatures;
    renderDevice.greyAmbient = true;
    EXPECT_EQ(renderQueue.ComposeMask(material, 2, false, false), 0) << "grey ambient";
    renderDevice.greyAmbient = false;
    reflectionRenderer.reflecting = true;
    EXPECT_EQ(renderQueue.ComposeMask(material, 2, false, false), 0) << "reflections";
    reflectionRenderer.reflecting = false;
    material.shader = nullptr;
    EXPECT_EQ(renderQueue.ComposeMask(material, 2, false, false), 0) << "no shader";
    // Fog in the effect follows the scene's fog setting, whether or not fog is on right now.
    material.shader = &lit;
    renderDevice.pixelShader3 = true;
    renderDevice.shaderLevel = 2;
    renderDevice.fogConfigured = true;
    renderDevice.fogActive = false;
    EXPECT_EQ(renderQueue.ComposeMask(material, 0, false, false), 1);
    material.ownFog = true;
    material.fogEnabled = false;
    EXPECT_EQ(renderQueue.ComposeMask(material, 0, false, false), 0) << "the material's own fog decides";
    material.ownFog = false;
}

TEST_F(QueueFiling, ItemsGoToTheListsOfTheirMaterialPass)
{
    FakeShader shaderA({0}), shaderB({0});
    frameStats.Reset();
    WeRenderItem items[6];
    const struct
    {
        int32_t pass;
        WeShader* shader;
        bool outlined;
        bool filed;
    } filings[] = {{6, &shaderA, false, true},  {0, &shaderB, false, true},  {0, &shaderA, true, true},
                   {1, &shaderA, false, false}, {3, &shaderA, false, false}, {5, &shaderA, false, true}};
    renderDevice.outlines = true;
    for (size_t i = 0; i < std::size(filings); ++i)
    {
        WeMaterial& material = materials[i % 4];
        material.pass = filings[i].pass;
        material.shader = filings[i].shader;
        items[i].material = &material;
        EXPECT_EQ(WeRenderQueue::File(&items[i], filings[i].outlined, 1), filings[i].filed) << i;
    }
    EXPECT_EQ(sceneRenderer.lists[WeSceneRenderer::solidList].GetCount(), 3);
    EXPECT_EQ(sceneRenderer.lists[WeSceneRenderer::solidOutlinedList].GetCount(), 1);
    EXPECT_EQ(sceneRenderer.lists[WeSceneRenderer::backgroundList].GetCount(), 1);
    EXPECT_EQ(sceneRenderer.lists[WeSceneRenderer::solidPlainList].PopMin(), &items[1]);
    EXPECT_EQ(sceneRenderer.lists[WeSceneRenderer::solidPlainList].PopMin(), &items[0])
        << "pass 6 after pass 0";
    EXPECT_EQ(frameStats.frame.queuedSolid, 3);
    EXPECT_EQ(frameStats.frame.queuedBackground, 1);
    EXPECT_EQ(frameStats.frame.queuedAlpha, 0);
}
