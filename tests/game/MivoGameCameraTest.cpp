// The orbit camera: easing, limits, poses and eye offsets against values worked by hand.
#include "MivoGameCamera.h"
#include "WeConfig.h"
#include "WeRenderDevice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

namespace
{

class GameCamera : public ::testing::Test
{
protected:
    void SetUp() override
    {
        savedWidth = renderDevice.BackBufferWidth();
        savedHeight = renderDevice.BackBufferHeight();
        renderDevice.SetBackBufferSize(600, 600); // an aspect of 1
        // Every tuning value the camera reads, at its default unless a test sets it.
        Set({{"AngleHMinSpeed", 10},
             {"AngleHMaxSpeed", 10},
             {"AngleHAccel", 10},
             {"AngleVMinSpeed", 10},
             {"AngleVMaxSpeed", 10},
             {"AngleVAccel", 10},
             {"DistanceMinSpeed", 2},
             {"DistanceMaxSpeed", 2},
             {"DistanceAccel", 2},
             {"MaxAngleH", 180},
             {"MinAngleV", 0},
             {"MaxAngleV", 90},
             {"MinDistance", 5},
             {"MaxDistance", 100},
             {"Fov", 45}});
        for (const char* prefix : {"AngleV", "MinAngleV", "MaxAngleV"})
            for (const char* axis : {"X", "Y", "Z"})
                Set({{std::string(prefix) + axis, 0}});
    }
    void TearDown() override
    {
        for (auto it = saved.rbegin(); it != saved.rend(); ++it)
            *it->first = it->second;
        renderDevice.SetBackBufferSize(savedWidth, savedHeight);
    }
    void Set(const std::vector<std::pair<std::string, float>>& values)
    {
        for (const auto& [key, value] : values)
        {
            float& stored = WeConfig::GetFloat(WeString("Mivo.Camera.") + key.c_str(), 0.0f);
            saved.emplace_back(&stored, stored);
            stored = value;
        }
    }
    static void ExpectVector(const WeVector& v, float x, float y, float z, float tolerance = 1e-4f)
    {
        EXPECT_NEAR(v.x, x, tolerance);
        EXPECT_NEAR(v.y, y, tolerance);
        EXPECT_NEAR(v.z, z, tolerance);
    }
    // A camera with these effective values, offsets and targets 0.
    static void Pose(MivoGameCamera& camera, float h, float v, float d)
    {
        camera.bases[MivoGameCamera::horizontal] = h;
        camera.bases[MivoGameCamera::vertical] = v;
        camera.bases[MivoGameCamera::distance] = d;
        camera.Update(0.0f);
    }

    std::vector<std::pair<float*, float>> saved;
    int32_t savedWidth = 0, savedHeight = 0;
};

} // namespace

TEST_F(GameCamera, EasingStopsExactlyOnItsTarget)
{
    struct Case
    {
        float minSpeed, maxSpeed, accel, dt;
    };
    // Equal limits move at a constant speed; a lower minimum accelerates and brakes.
    for (const Case& c : {Case{10, 10, 10, 0.1f}, Case{10, 10, 10, 0.033f}, Case{0, 30, 20, 0.016f}})
    {
        Set({{"AngleHMinSpeed", c.minSpeed}, {"AngleHMaxSpeed", c.maxSpeed}, {"AngleHAccel", c.accel}});
        MivoGameCamera camera;
        camera.targets[MivoGameCamera::horizontal] = 25.0f;
        float last = 0.0f;
        int frames = 0;
        while (camera.offsets[MivoGameCamera::horizontal] != 25.0f && frames < 10000)
        {
            camera.Update(c.dt);
            const float now = camera.offsets[MivoGameCamera::horizontal];
            ASSERT_GE(now, last) << "never turns back";
            ASSERT_LE(now - last, c.maxSpeed * c.dt * 1.0001f) << "never faster than the highest speed";
            last = now;
            ++frames;
        }
        EXPECT_EQ(camera.offsets[MivoGameCamera::horizontal], 25.0f) << c.dt;
        if (c.minSpeed == c.maxSpeed)
        {
            EXPECT_EQ(frames, int(std::ceil(25.0f / (c.maxSpeed * c.dt) - 1e-4f)));
        }
        camera.Update(c.dt);
        EXPECT_EQ(camera.offsets[MivoGameCamera::horizontal], 25.0f);
        EXPECT_EQ(camera.speeds[MivoGameCamera::horizontal], 0.0f);
    }
}

TEST_F(GameCamera, ZeroFrameTimeMovesNothingButAppliesTheLimitsAndThePose)
{
    MivoGameCamera camera;
    camera.offsets[MivoGameCamera::vertical] = 30.0f; // 80 + 30 lies above 90
    camera.targets[MivoGameCamera::distance] = 10.0f;
    camera.fov = 1.0f;
    camera.Update(0.0f);
    EXPECT_EQ(camera.offsets[MivoGameCamera::vertical], 10.0f);
    EXPECT_EQ(camera.offsets[MivoGameCamera::distance], 0.0f);
    EXPECT_EQ(camera.speeds[MivoGameCamera::distance], 0.0f);
    EXPECT_NEAR(camera.fov, 0.7853982f, 1e-6f);
    ExpectVector(camera.position, 0.0f, 20.0f, 0.0f);

    camera.intro = true; // the fly-in may lie beyond the limits
    camera.offsets[MivoGameCamera::distance] = 90.0f;
    camera.Update(0.0f);
    EXPECT_EQ(camera.offsets[MivoGameCamera::distance], 90.0f);
    EXPECT_NEAR(camera.position.y, 110.0f, 1e-3f);
}

TEST_F(GameCamera, MoveTargetClampsTheAbsoluteTargetsExceptInTheIntro)
{
    MivoGameCamera camera;
    Pose(camera, 170.0f, 80.0f, 19.0f);
    camera.MoveTarget(20.0f, -100.0f, 200.0f);
    EXPECT_EQ(camera.targets[MivoGameCamera::horizontal], 10.0f);
    EXPECT_EQ(camera.targets[MivoGameCamera::vertical], -80.0f);
    EXPECT_EQ(camera.targets[MivoGameCamera::distance], 81.0f);
    camera.MoveTarget(-400.0f, 0.0f, -200.0f); // the deltas add to the targets
    EXPECT_EQ(camera.targets[MivoGameCamera::horizontal], -350.0f);
    EXPECT_EQ(camera.targets[MivoGameCamera::distance], -14.0f);

    camera.intro = true;
    camera.MoveTarget(0.0f, 0.0f, 200.0f);
    EXPECT_EQ(camera.targets[MivoGameCamera::distance], 186.0f);
}

TEST_F(GameCamera, PosesOrbitTheOriginAndLookAtIt)
{
    struct Case
    {
        float h, v, d;
        WeVector position;
    };
    const float r = 10.0f / std::sqrt(2.0f);
    const Case cases[] = {
        {0, 0, 10, {0, 0, -10}},  {0, 90, 10, {0, 10, 0}}, {90, 0, 10, {-10, 0, 0}}, {-90, 0, 10, {10, 0, 0}},
        {180, 0, 10, {0, 0, 10}}, {0, 45, 10, {0, r, -r}}, {90, 45, 10, {-r, r, 0}},
    };
    for (const Case& c : cases)
    {
        MivoGameCamera camera;
        Pose(camera, c.h, c.v, c.d);
        ExpectVector(camera.position, c.position.x, c.position.y, c.position.z);
        const WeVector towardsOrigin = d3dx::D3DXVec3Normalize(c.position * -1.0f);
        ExpectVector(camera.direction, towardsOrigin.x, towardsOrigin.y, towardsOrigin.z);
    }
}

TEST_F(GameCamera, EyeOffsetBlendsByTheVerticalAngleAlongTheYawOnly)
{
    Set({{"MinAngleVY", 4}, {"AngleVY", 2}, {"MaxAngleVX", 3}, {"MinAngleV", 20}});
    struct Case
    {
        float h, v;
        WeVector offset;
    };
    const Case cases[] = {
        {0, 60, {0, 2, 0}},   // at 60 degrees: the AngleV keys
        {0, 20, {0, 4, 0}},   // at MinAngleV: the MinAngleV keys
        {0, 40, {0, 3, 0}},   // half way down
        {0, 90, {3, 0, 0}},   // at MaxAngleV: the MaxAngleV keys
        {90, 90, {0, 0, -3}}, // x turns with the horizontal angle (the yaw's first row)
        {0, 75, {1.5f, 1, 0}},
    };
    for (const Case& c : cases)
    {
        MivoGameCamera plain, offset;
        Set({{"MaxAngleVX", 0}, {"MinAngleVY", 0}, {"AngleVY", 0}});
        Pose(plain, c.h, c.v, 10.0f);
        Set({{"MinAngleVY", 4}, {"AngleVY", 2}, {"MaxAngleVX", 3}});
        Pose(offset, c.h, c.v, 10.0f);
        ExpectVector(offset.position - plain.position, c.offset.x, c.offset.y, c.offset.z);
        ExpectVector(offset.direction, plain.direction.x, plain.direction.y, plain.direction.z, 1e-6f);
    }
}

TEST_F(GameCamera, StraightDownPresetsStayFiniteAndCentreTheBoard)
{
    for (float h : {45.0f, -45.0f, 0.0f})
    {
        MivoGameCamera camera;
        Pose(camera, h, 90.0f, 20.0f);
        camera.Update();
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 4; ++column)
                ASSERT_TRUE(std::isfinite(camera.viewProjection.m[row][column])) << h;
        const WeVector4 centre = d3dx::D3DXVec3Transform({0, 0, 0}, camera.viewProjection);
        EXPECT_NEAR(centre.x / centre.w, 0.0f, 1e-4f);
        EXPECT_NEAR(centre.y / centre.w, 0.0f, 1e-4f);
    }
}

// With the shipped tuning a level's fly-in and a change of camera view are over in about a second.
TEST(ShippedCamera, FliesInAndReachesAViewInAboutASecond)
{
    const int32_t savedWidth = renderDevice.BackBufferWidth(), savedHeight = renderDevice.BackBufferHeight();
    renderDevice.SetBackBufferSize(600, 600); // an aspect of 1
    MivoGameCamera flyIn;
    flyIn.intro = true;
    flyIn.offsets[MivoGameCamera::distance] = 40.0f;
    MivoGameCamera view; // from the first preset to the fourth
    view.bases[MivoGameCamera::horizontal] = 15.0f;
    view.bases[MivoGameCamera::vertical] = 75.0f;
    view.bases[MivoGameCamera::distance] = 16.0f;
    view.offsets[MivoGameCamera::horizontal] = -15.0f;
    view.offsets[MivoGameCamera::vertical] = 14.0f;
    view.offsets[MivoGameCamera::distance] = 3.0f;
    for (MivoGameCamera* camera : {&flyIn, &view})
    {
        int frames = 0;
        while ((camera->offsets[0] != 0.0f || camera->offsets[1] != 0.0f || camera->offsets[2] != 0.0f) &&
               frames < 600)
        {
            camera->Update(1.0f / 60.0f);
            ++frames;
        }
        EXPECT_GE(frames, 30);
        EXPECT_LE(frames, 84) << "seconds: " << frames / 60.0f;
    }
    renderDevice.SetBackBufferSize(savedWidth, savedHeight);
}
