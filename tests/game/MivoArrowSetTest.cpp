// The move arrows: which arrow a point beside the block names, where each arrow points, and the
// timings of growing, swinging and shrinking.
#include "MivoArrowSet.h"
#include "WeConfig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

using namespace d3dx;

namespace
{

class ArrowSet : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const auto& [key, value] :
             std::vector<std::pair<const char*, float>>{{"ScaleInTime", 0.5f},
                                                        {"ScaleOutTime", 0.25f},
                                                        {"Scale", 2.0f},
                                                        {"BaseY", 0.6f},
                                                        {"BaseDistance", 0.9f},
                                                        {"LeftRightDistance", 0.1f},
                                                        {"LeftRightPhase", 1.0f}})
        {
            float& stored = WeConfig::GetFloat(WeString("Mivo.Arrows.") + key, 1.0f);
            saved.emplace_back(&stored, stored);
            stored = value;
        }
    }
    void TearDown() override
    {
        for (const auto& [stored, value] : saved)
            *stored = value;
    }
    // Every arrow at centre + offset x distance, raised by BaseY.
    static void ExpectPlaced(const MivoArrowSet& set, float distance)
    {
        for (const MivoArrowSet::Arrow& arrow : set.arrows)
        {
            const WeVector expected = arrow.centre + arrow.offset * distance + WeVector{0.0f, 0.6f, 0.0f};
            EXPECT_NEAR(arrow.position.x, expected.x, 1e-5f);
            EXPECT_NEAR(arrow.position.y, expected.y, 1e-5f);
            EXPECT_NEAR(arrow.position.z, expected.z, 1e-5f);
        }
    }
    static void ExpectLength(const MivoArrowSet& set, float z)
    {
        for (const MivoArrowSet::Arrow& arrow : set.arrows)
        {
            EXPECT_FLOAT_EQ(arrow.scale.x, 2.0f);
            EXPECT_FLOAT_EQ(arrow.scale.y, 2.0f);
            EXPECT_NEAR(arrow.scale.z, z, 1e-5f);
        }
    }

    std::vector<std::pair<float*, float>> saved;
};

} // namespace

TEST(ArrowQuadrant, TheLargerComponentNamesTheArrowAndXWinsTies)
{
    struct Case
    {
        float dx, dz;
        int32_t arrow;
    };
    const Case cases[] = {{1, 0, 1},   {-1, 0, 3}, {0, 1, 0},     {0, -1, 2},       {1, 1, 1},    {-1, 1, 3},
                          {-1, -1, 3}, {0, 0, 1},  {0.5f, -2, 2}, {-0.2f, 0.3f, 0}, {2, -1.9f, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(MivoArrowSet::Quadrant(c.dx, c.dz), c.arrow) << c.dx << ", " << c.dz;
}

TEST(ArrowQuadrant, EachArrowIsTurnedTowardsTheCellItsDirectionLeadsTo)
{
    // Grid y runs along the world's negative z: direction 1 (y - 1) points to +z, 3 (x + 1) to +x.
    const MivoArrowSet set({3, 0, -2});
    for (int32_t i = 0; i < 4; ++i)
    {
        const MivoArrowSet::Arrow& arrow = set.arrows[i];
        EXPECT_EQ(arrow.direction, 2 * i + 1);
        const WeVector pointing =
            D3DXVec3TransformCoord({0, 0, 1}, D3DXMatrixRotationQuaternion(arrow.rotation));
        EXPECT_NEAR(pointing.x, arrow.offset.x, 1e-6f) << i;
        EXPECT_NEAR(pointing.z, arrow.offset.z, 1e-6f) << i;
        EXPECT_EQ(MivoArrowSet::Quadrant(arrow.offset.x, arrow.offset.z), i);
    }
}

TEST_F(ArrowSet, GrowsSwingsShrinksAndHidesOnTime)
{
    MivoArrowSet set({3, 0, -2});
    EXPECT_EQ(set.Advance(0.1f), 0u) << "a set nobody wants stays new";
    EXPECT_EQ(set.state, MivoArrowSet::New);
    set.wanted = true;
    EXPECT_EQ(set.Advance(0.1f), uint32_t(MivoArrowSet::Showed));

    // Growing: the first frame starts the clock at 0, whatever its length.
    EXPECT_EQ(set.Advance(0.1f), uint32_t(MivoArrowSet::Placed | MivoArrowSet::Rescaled));
    ExpectPlaced(set, 0.9f);
    ExpectLength(set, 0.0f);
    set.Advance(0.25f);
    ExpectLength(set, 1.0f);
    EXPECT_EQ(set.Advance(0.3f), 0u);
    EXPECT_EQ(set.state, MivoArrowSet::Shown);
    EXPECT_NEAR(set.timer, 0.05f, 1e-6f) << "the time past the growth carries over";

    // Swinging: k = (cos(2 pi t / phase) - 1) x distance + base, t wrapped by the phase.
    EXPECT_EQ(set.Advance(0.2f), uint32_t(MivoArrowSet::Placed));
    ExpectPlaced(set, 0.8f);
    set.Advance(0.25f);
    ExpectPlaced(set, 0.7f);
    set.Advance(0.8f); // t = 1.3 wraps to 0.3
    EXPECT_NEAR(set.timer, 0.3f, 1e-5f);
    ExpectPlaced(set, (std::cos(0.6f * 3.14159265f) - 1.0f) * 0.1f + 0.9f);
    ExpectLength(set, 1.0f);

    // Shrinking where the arrows stand, then hidden.
    const WeVector standing = set.arrows[1].position;
    set.wanted = false;
    EXPECT_EQ(set.Advance(0.1f), 0u);
    EXPECT_EQ(set.state, MivoArrowSet::Shrinking);
    set.Advance(0.125f);
    ExpectLength(set, 1.0f);
    EXPECT_EQ(set.arrows[1].position.x, standing.x);
    EXPECT_EQ(set.Advance(0.2f), uint32_t(MivoArrowSet::Hid));
    EXPECT_EQ(set.state, MivoArrowSet::Finished);
    EXPECT_EQ(set.Advance(0.1f), 0u);
}

TEST_F(ArrowSet, ZeroTimesSkipGrowingAndShrinkingAndNoPhaseHoldsStill)
{
    WeConfig::GetFloat("Mivo.Arrows.ScaleInTime", 1.0f) = 0.0f;
    WeConfig::GetFloat("Mivo.Arrows.ScaleOutTime", 1.0f) = 0.0f;
    WeConfig::GetFloat("Mivo.Arrows.LeftRightPhase", 1.0f) = 0.0f;
    MivoArrowSet set({0, 0, 0});
    set.wanted = true;
    set.Advance(0.1f);
    EXPECT_EQ(set.Advance(0.1f), 0u);
    EXPECT_EQ(set.state, MivoArrowSet::Shown);
    EXPECT_EQ(set.Advance(0.1f), 0u) << "no swing without a period";
    set.wanted = false;
    set.Advance(0.1f);
    EXPECT_EQ(set.Advance(0.1f), uint32_t(MivoArrowSet::Hid));
}

// With the shipped tuning the arrows swing beside the block, never into it (its half size 0.49).
TEST(ShippedArrows, StayBesideTheBlockWhileTheySwing)
{
    MivoArrowSet set({1, 0, 2});
    set.wanted = true;
    float nearest = 100.0f, farthest = 0.0f;
    for (int frame = 0; frame < 300; ++frame)
    {
        set.Advance(1.0f / 60.0f);
        if (set.state != MivoArrowSet::Shown)
            continue;
        for (const MivoArrowSet::Arrow& arrow : set.arrows)
        {
            const WeVector d = arrow.position - arrow.centre;
            const float along = d.x * arrow.offset.x + d.z * arrow.offset.z;
            nearest = std::min(nearest, along);
            farthest = std::max(farthest, along);
        }
    }
    EXPECT_GT(nearest, 0.5f);
    EXPECT_LT(farthest, 1.0f) << "within the neighbouring cell";
    EXPECT_GT(farthest - nearest, 0.01f) << "they swing";
}
