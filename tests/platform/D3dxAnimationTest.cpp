// The keyframed animation controller: looping positions, blends of tracks by weight, which
// tracks move and pose, and clones that share their sets.
#include "d3dx/D3dxAnimation.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace d3dx;
using d3d9::D3D_OK;
using d3d9::D3DERR_INVALIDCALL;

namespace
{

// A set of one output "Arm" over 10 ticks at 10 a second: a fixed translation, and a turn
// about z from none to the given angle.
AnimationSet* MakeSet(const char* name, Vector3 translation, float turn)
{
    AnimationKeys keys;
    keys.name = "Arm";
    keys.translations = {{0.0f, translation}};
    const float half = turn * 0.5f;
    keys.rotations = {{0.0f, {}}, {10.0f, {0.0f, 0.0f, std::sin(half), std::cos(half)}}};
    return new AnimationSet(name, 10.0, {keys});
}

class ControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(D3DXCreateAnimationController(1, 2, 2, 0, &controller), D3D_OK);
        for (AnimationSet* set : {reach, wave})
        {
            ASSERT_EQ(controller->RegisterAnimationSet(set), D3D_OK);
        }
        ASSERT_EQ(controller->RegisterAnimationOutput("Arm", &arm), D3D_OK);
    }
    void TearDown() override
    {
        controller->Release();
        reach->Release();
        wave->Release();
    }
    void Play(uint32_t track, AnimationSet* set, float weight)
    {
        controller->SetTrackAnimationSet(track, set);
        controller->SetTrackWeight(track, weight);
        controller->SetTrackEnable(track, true);
    }

    AnimationSet* reach = MakeSet("Reach", {2, 0, 0}, 0.0f);
    AnimationSet* wave = MakeSet("Wave", {0, 4, 0}, 3.14159265f);
    AnimationController* controller = nullptr;
    Matrix arm = D3DXMatrixScaling(7, 7, 7);
};

} // namespace

TEST(AnimationSet, PositionsWrapAroundThePeriod)
{
    AnimationSet* set = MakeSet("Turn", {}, 1.0f);
    EXPECT_DOUBLE_EQ(set->GetPeriod(), 1.0);
    EXPECT_DOUBLE_EQ(set->GetPeriodicPosition(2.25), 0.25);
    EXPECT_DOUBLE_EQ(set->GetPeriodicPosition(-0.25), 0.75);
    Vector3 scale, translation;
    Quaternion rotation;
    ASSERT_EQ(set->GetSRT(0.5, 0, &scale, &rotation, &translation), D3D_OK);
    EXPECT_NEAR(rotation.z, std::sin(0.25f), 1e-5f) << "halfway along the arc";
    EXPECT_FLOAT_EQ(scale.y, 1.0f) << "no scale keys: unit scale";
    EXPECT_EQ(set->GetSRT(0.5, 1, &scale, &rotation, &translation), D3DERR_INVALIDCALL);
    EXPECT_EQ(set->FindAnimation("Leg"), -1);
    set->Release();
}

TEST_F(ControllerTest, EnabledTracksBlendByTheirShareOfTheWeight)
{
    Play(0, reach, 1.0f);
    Play(1, wave, 3.0f);
    controller->SetTrackPosition(1, 0.5); // the wave halfway: a quarter turn
    ASSERT_EQ(controller->AdvanceTime(0.0), D3D_OK);
    EXPECT_NEAR(arm.m[3][0], 0.5f, 1e-5f);
    EXPECT_NEAR(arm.m[3][1], 3.0f, 1e-5f);
    // Three quarters of the way from no turn to a quarter turn, along the arc.
    EXPECT_NEAR(arm.m[0][0], std::cos(3.14159265f * 0.375f), 1e-4f);

    // Positions move by time x speed, and only on enabled tracks.
    controller->SetTrackSpeed(0, 2.0f);
    controller->SetTrackEnable(1, false);
    controller->AdvanceTime(0.25);
    TrackDesc first, second;
    controller->GetTrackDesc(0, &first);
    controller->GetTrackDesc(1, &second);
    EXPECT_DOUBLE_EQ(first.position, 0.5);
    EXPECT_DOUBLE_EQ(second.position, 0.5);
    EXPECT_NEAR(arm.m[3][1], 0.0f, 1e-5f) << "the disabled track no longer poses";

    controller->SetTrackWeight(0, 0.0f);
    arm = D3DXMatrixScaling(7, 7, 7);
    controller->AdvanceTime(0.1);
    EXPECT_FLOAT_EQ(arm.m[0][0], 7.0f) << "no weight on the output: its matrix stays";
    EXPECT_EQ(controller->SetTrackWeight(2, 1.0f), D3DERR_INVALIDCALL);
}

TEST_F(ControllerTest, ClonesShareSetsAndKeepTracksButNotOutputs)
{
    Matrix other;
    EXPECT_EQ(controller->RegisterAnimationOutput("Leg", &other), D3DERR_INVALIDCALL) << "one output at most";
    Play(0, wave, 1.0f);
    controller->SetTrackPosition(0, 0.5);
    AnimationController* clone = nullptr;
    EXPECT_EQ(controller->CloneAnimationController(1, 1, 2, 0, &clone), D3DERR_INVALIDCALL)
        << "room for one set of two";
    ASSERT_EQ(controller->CloneAnimationController(1, 2, 1, 0, &clone), D3D_OK);
    EXPECT_EQ(clone->GetAnimationSetByName("Wave"), wave);
    EXPECT_EQ(clone->GetMaxNumTracks(), 1u);
    EXPECT_EQ(clone->GetTrackAnimationSet(0), wave);
    Matrix cloneArm;
    ASSERT_EQ(clone->RegisterAnimationOutput("Arm", &cloneArm), D3D_OK);
    clone->AdvanceTime(0.25);
    EXPECT_NEAR(cloneArm.m[0][0], std::cos(3.14159265f * 0.75f), 1e-5f)
        << "the clone's track went on from 0.5";
    EXPECT_FLOAT_EQ(arm.m[0][0], 7.0f) << "the original's output was not touched";
    clone->Release();
    EXPECT_STREQ(controller->GetAnimationSet(1)->GetName(), "Wave") << "the shared set outlives the clone";
}
