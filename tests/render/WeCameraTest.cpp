// Camera matrices, history ring, pick rays and frustum culling against hand-computed values.
#include "WeCamera.h"
#include "WeEngine.h"
#include "WeRenderDevice.h"
#include "WeTimer.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace d3dx;

namespace
{

class CameraTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        savedTime = timer.absoluteTimeFloat;
        savedWidth = renderDevice.BackBufferWidth();
        savedHeight = renderDevice.BackBufferHeight();
        renderDevice.SetBackBufferSize(100, 100); // an aspect of 1
        timer.absoluteTimeFloat = 1.0f;
    }
    void TearDown() override
    {
        timer.absoluteTimeFloat = savedTime;
        renderDevice.SetBackBufferSize(savedWidth, savedHeight);
    }
    float savedTime = 0;
    int32_t savedWidth = 0, savedHeight = 0;
};

} // namespace

TEST_F(CameraTest, ZeroAspectFollowsTheDeviceAtTheNextProjection)
{
    WeCamera camera;
    EXPECT_NEAR(camera.projection.m[0][0], camera.projection.m[1][1], 1e-6f);
    renderDevice.SetBackBufferSize(200, 100);
    EXPECT_NEAR(camera.projection.m[0][0], camera.projection.m[1][1], 1e-6f);
    camera.UpdateProjection();
    EXPECT_NEAR(camera.projection.m[0][0] * 2.0f, camera.projection.m[1][1], 1e-6f);
}

TEST_F(CameraTest, OrthogonalSwitchWaitsForUpdate)
{
    WeCamera camera;
    camera.SetOrthogonal(true);
    EXPECT_EQ(camera.projection.m[2][3], 1.0f); // still perspective
    camera.Update();
    EXPECT_EQ(camera.projection.m[2][3], 0.0f);
    EXPECT_NEAR(camera.projection.m[0][0], 2.0f / 100.0f, 1e-7f);
}

TEST_F(CameraTest, HistoryRecordsOncePerTimeStampAfterTheFirstUpdate)
{
    WeCamera camera;
    camera.Update();
    EXPECT_EQ(camera.HistoryCount(), 0);
    camera.position = {1, 2, 3};
    camera.Update();
    camera.Update();
    EXPECT_EQ(camera.HistoryCount(), 1);
    EXPECT_EQ(camera.HistoryEntry(0).position.x, 1.0f);
    timer.absoluteTimeFloat = 2.0f;
    camera.direction = {1, 0, 0};
    camera.Update();
    ASSERT_EQ(camera.HistoryCount(), 2);
    // The entry holds the axes as they were before this update: still looking along z.
    EXPECT_EQ(camera.HistoryEntry(1).axes.m[2][2], 1.0f);
    EXPECT_EQ(camera.axes.m[2][0], 1.0f);
}

TEST_F(CameraTest, RingKeepsTheNewest999Entries)
{
    WeCamera camera;
    camera.Update();
    for (int i = 0; i < 1005; ++i)
    {
        timer.absoluteTimeFloat = 10.0f + float(i);
        camera.position.x = float(i);
        camera.Update();
    }
    ASSERT_EQ(camera.HistoryCount(), 999);
    EXPECT_EQ(camera.HistoryEntry(998).position.x, 1004.0f);
    EXPECT_EQ(camera.HistoryEntry(0).position.x, 6.0f);
}

TEST_F(CameraTest, AxesAreRightUpDirection)
{
    WeCamera camera;
    camera.direction = {0, 0, 1};
    camera.up = {1, 1, 0};
    camera.Update();
    const float s = std::sqrt(0.5f);
    EXPECT_NEAR(camera.axes.m[0][0], s, 1e-6f); // normalise((1,1,0) x (0,0,1)) = (s, -s, 0)
    EXPECT_NEAR(camera.axes.m[0][1], -s, 1e-6f);
    EXPECT_NEAR(camera.axes.m[1][0], s, 1e-6f); // (0,0,1) x right
    EXPECT_NEAR(camera.axes.m[1][1], s, 1e-6f);
    EXPECT_NEAR(camera.levelAxes.m[0][0], 1.0f, 1e-6f);
    EXPECT_NEAR(camera.levelAxes.m[1][1], 1.0f, 1e-6f);
    EXPECT_EQ(camera.axes.m[3][3], 1.0f);
}

TEST_F(CameraTest, PickRayThroughCentreAndCorner)
{
    renderDevice.SetBackBufferSize(800, 600);
    WeCamera camera;
    camera.position = {0, 0, -10};
    camera.SetPerspective(float(M_PI) / 2.0f, 1.0f, 100.0f, 4.0f / 3.0f);
    camera.Update();
    WeVector origin, direction;
    camera.GetPickRay(400, 300, origin, direction);
    EXPECT_NEAR(origin.z, -10.0f, 1e-5f);
    EXPECT_NEAR(direction.z, 1.0f, 1e-6f);
    camera.GetPickRay(800, 0, origin, direction);
    // Top right at 90 degrees vertical: (4/3, 1, 1) normalised.
    const float length = std::sqrt(16.0f / 9.0f + 2.0f);
    EXPECT_NEAR(direction.x, 4.0f / 3.0f / length, 1e-5f);
    EXPECT_NEAR(direction.y, 1.0f / length, 1e-5f);
}

TEST_F(CameraTest, OrthogonalPickRayMovesTheOriginNotTheDirection)
{
    renderDevice.SetBackBufferSize(100, 100);
    WeCamera camera;
    camera.orthogonal = true;
    camera.SetOrthoSize(20.0f, 10.0f);
    camera.Update();
    WeVector origin, direction;
    camera.GetPickRay(100, 100, origin, direction);
    EXPECT_NEAR(origin.x, 10.0f, 1e-5f);
    EXPECT_NEAR(origin.y, -5.0f, 1e-5f);
    EXPECT_NEAR(direction.z, 1.0f, 1e-6f);
}

TEST(Frustum, PlanesOfASquareNinetyDegreeView)
{
    WeFrustum frustum;
    const Matrix view = D3DXMatrixIdentity();
    frustum.Build({0, 0, 0}, view, D3DXMatrixPerspectiveFovLH(float(M_PI) / 2.0f, 1.0f, 1.0f, 100.0f));
    const float s = std::sqrt(0.5f);
    EXPECT_NEAR(frustum.planes[WeFrustum::leftPlane].a, s, 1e-6f); // x + z >= 0
    EXPECT_NEAR(frustum.planes[WeFrustum::leftPlane].c, s, 1e-6f);
    EXPECT_NEAR(frustum.planes[WeFrustum::topPlane].b, -s, 1e-6f);
    EXPECT_NEAR(frustum.planes[WeFrustum::nearPlane].c, 1.0f, 1e-6f);
    EXPECT_NEAR(frustum.planes[WeFrustum::nearPlane].d, -1.0f, 1e-5f);
    EXPECT_NEAR(frustum.planes[WeFrustum::farPlane].c, -1.0f, 1e-6f);
    EXPECT_NEAR(frustum.planes[WeFrustum::farPlane].d, 100.0f, 1e-3f);
    // Near and far recovered from the projection give the pyramid's corners.
    EXPECT_NEAR(frustum.corners[0].z, 1.0f, 1e-5f);
    EXPECT_NEAR(frustum.corners[7].x, 100.0f, 1e-2f);
    EXPECT_NEAR(frustum.farCentre.z, 100.0f, 1e-2f);
    EXPECT_GT(frustum.sphereRadius, 100.0f);
}

TEST(Frustum, CornersAndSphereOfTheSquarePyramidMovedByTheView)
{
    WeFrustum frustum;
    const Matrix view = D3DXMatrixLookAtLH({0, 0, -10}, {0, 0, 0}, {0, 1, 0});
    frustum.Build({0, 0, -10}, view, D3DXMatrixPerspectiveFovLH(1.0f, 2.0f, 1.0f, 100.0f));
    // x outer, y, then depth: near (x, y, 1), far (100x, 100y, 100), 10 back along z.
    const WeVector expected[8] = {{-1, -1, -9}, {-100, -100, 90}, {-1, 1, -9}, {-100, 100, 90},
                                  {1, -1, -9},  {100, -100, 90},  {1, 1, -9},  {100, 100, 90}};
    for (int i = 0; i < 8; ++i)
    {
        EXPECT_NEAR(frustum.corners[i].x, expected[i].x, 1e-2f) << "corner " << i;
        EXPECT_NEAR(frustum.corners[i].y, expected[i].y, 1e-2f) << "corner " << i;
        EXPECT_NEAR(frustum.corners[i].z, expected[i].z, 1e-2f) << "corner " << i;
    }
    EXPECT_NEAR(frustum.nearCentre.z, -9.0f, 1e-4f);
    EXPECT_NEAR(frustum.farCentre.z, 90.0f, 1e-2f);
    // t = ((|F - C7| - b) - (|F - C0| - a)) / (a - b) = 0.752293 along the axis from the near centre.
    EXPECT_NEAR(frustum.sphereCentre.x, 0.0f, 1e-4f);
    EXPECT_NEAR(frustum.sphereCentre.z, 65.4770f, 1e-2f);
    EXPECT_NEAR(frustum.sphereRadius, 144.967f, 1e-2f);
}

TEST(Frustum, SphereTouchingFromOutsideIsVisibleTangentIsNot)
{
    WeFrustum frustum;
    frustum.Build({0, 0, 0}, D3DXMatrixIdentity(),
                  D3DXMatrixPerspectiveFovLH(float(M_PI) / 2.0f, 1.0f, 1.0f, 100.0f));
    EXPECT_TRUE(frustum.IsSphereVisible({0, 0, 50, 1}));
    EXPECT_FALSE(frustum.IsSphereVisible({0, 0, -5, 1}));
    // Behind the near plane (z = 1) by 0.5 with radius 1: still visible.
    EXPECT_TRUE(frustum.IsSphereVisible({0, 0, 0.5f, 1}));
    // Beyond the far plane (z = 100) by more than the radius: outside.
    EXPECT_FALSE(frustum.IsSphereVisible({0, 0, 102.5f, 2}));
    EXPECT_TRUE(frustum.IsSphereVisible({0, 0, 101.5f, 2}));
    EXPECT_FALSE(frustum.IsSphereVisible({-200, 0, 50, 10}));
}
