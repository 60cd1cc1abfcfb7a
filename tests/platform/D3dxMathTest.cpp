// D3DX mathematics against values worked out by hand from the row-vector, left-handed rules.
#include "d3dx/D3dxMath.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace d3dx;

namespace
{

void ExpectMatrix(const Matrix& actual, const float (&expected)[4][4], float tolerance = 1e-5f)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_NEAR(actual.m[i][j], expected[i][j], tolerance) << "element " << i << "," << j;
}

} // namespace

TEST(D3dxMath, LookAtPutsTheTranslationInTheFourthRow)
{
    // Eye at (0, 0, -5) looking at the origin: the view only moves the world 5 units forward.
    const Matrix view = D3DXMatrixLookAtLH({0, 0, -5}, {0, 0, 0}, {0, 1, 0});
    ExpectMatrix(view, {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 5, 1}});
    // Looking along +x: world x becomes view z, world z becomes view -x.
    const Matrix side = D3DXMatrixLookAtLH({1, 2, 3}, {2, 2, 3}, {0, 1, 0});
    const Vector3 p = D3DXVec3TransformCoord({1, 2, 4}, side);
    EXPECT_NEAR(p.x, -1.0f, 1e-6f);
    EXPECT_NEAR(p.y, 0.0f, 1e-6f);
    EXPECT_NEAR(p.z, 0.0f, 1e-6f);
    const Vector3 ahead = D3DXVec3TransformCoord({4, 2, 3}, side);
    EXPECT_NEAR(ahead.z, 3.0f, 1e-6f);
}

TEST(D3dxMath, PerspectiveMapsNearAndFarToDepthZeroAndOne)
{
    const Matrix p = D3DXMatrixPerspectiveFovLH(float(M_PI) / 2.0f, 2.0f, 1.0f, 101.0f);
    // cot(45 deg) = 1; x scaled by 1 / aspect; z = f / (f - n), w = z, offset -n f / (f - n).
    ExpectMatrix(p, {{0.5f, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1.01f, 1}, {0, 0, -1.01f, 0}});
    EXPECT_NEAR(D3DXVec3TransformCoord({0, 0, 1}, p).z, 0.0f, 1e-6f);
    EXPECT_NEAR(D3DXVec3TransformCoord({0, 0, 101}, p).z, 1.0f, 1e-6f);
    const Vector3 corner = D3DXVec3TransformCoord({2, 1, 1}, p);
    EXPECT_NEAR(corner.x, 1.0f, 1e-6f);
    EXPECT_NEAR(corner.y, 1.0f, 1e-6f);
}

TEST(D3dxMath, OrthoMapsTheBoxToClipSpace)
{
    const Matrix o = D3DXMatrixOrthoLH(200, 100, 10, 20);
    ExpectMatrix(o, {{0.01f, 0, 0, 0}, {0, 0.02f, 0, 0}, {0, 0, 0.1f, 0}, {0, 0, -1.0f, 1}});
}

TEST(D3dxMath, MultiplyAppliesTheLeftMatrixFirst)
{
    const Matrix scale = D3DXMatrixScaling(2, 3, 4);
    const Matrix move = D3DXMatrixTranslation(1, 1, 1);
    const Vector3 p = D3DXVec3TransformCoord({1, 1, 1}, D3DXMatrixMultiply(scale, move));
    EXPECT_FLOAT_EQ(p.x, 3.0f);
    EXPECT_FLOAT_EQ(p.y, 4.0f);
    EXPECT_FLOAT_EQ(p.z, 5.0f);
}

TEST(D3dxMath, InverseUndoesAndRefusesSingularMatrices)
{
    const Matrix m = D3DXMatrixMultiply(D3DXMatrixLookAtLH({3, -2, 7}, {0, 1, 0}, {0, 1, 0}),
                                        D3DXMatrixTranslation(4, 5, 6));
    Matrix inverse;
    float determinant = 0;
    ASSERT_TRUE(D3DXMatrixInverse(&inverse, &determinant, m));
    EXPECT_NEAR(determinant, 1.0f, 1e-5f);
    ExpectMatrix(D3DXMatrixMultiply(m, inverse), {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}},
                 1e-5f);
    Matrix untouched = D3DXMatrixTranslation(9, 9, 9);
    EXPECT_FALSE(D3DXMatrixInverse(&untouched, nullptr, D3DXMatrixScaling(1, 0, 1)));
    EXPECT_FLOAT_EQ(untouched.m[3][0], 9.0f);
}

TEST(D3dxMath, NormalizeKeepsZeroAndPlanesDivideByTheNormal)
{
    const Vector3 zero = D3DXVec3Normalize({0, 0, 0});
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_FALSE(std::isnan(zero.y));
    const Plane p = D3DXPlaneNormalize({0, 3, 4, 10});
    EXPECT_FLOAT_EQ(p.b, 0.6f);
    EXPECT_FLOAT_EQ(p.c, 0.8f);
    EXPECT_FLOAT_EQ(p.d, 2.0f);
    EXPECT_FLOAT_EQ(D3DXPlaneDotCoord(p, {0, 0, 0}), 2.0f);
    const Vector3 c = D3DXVec3Cross({1, 0, 0}, {0, 1, 0});
    EXPECT_FLOAT_EQ(c.z, 1.0f);
}

TEST(D3dxMath, QuaternionsRoundTripAndSlerpHalfway)
{
    // A quarter turn about z, as D3DX's rotation matrix holds it: x goes to y.
    const Matrix quarter = D3DXMatrixRotationZ(float(M_PI) / 2.0f);
    const Vector3 turned = D3DXVec3TransformCoord({1, 0, 0}, quarter);
    EXPECT_NEAR(turned.y, 1.0f, 1e-6f);
    const Quaternion q = D3DXQuaternionRotationMatrix(quarter);
    EXPECT_NEAR(q.z, std::sqrt(0.5f), 1e-6f);
    EXPECT_NEAR(q.w, std::sqrt(0.5f), 1e-6f);
    ExpectMatrix(D3DXMatrixRotationQuaternion(q), {{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}},
                 1e-6f);
    const Quaternion half = D3DXQuaternionSlerp(Quaternion{}, q, 0.5f);
    EXPECT_NEAR(half.z, std::sin(float(M_PI) / 8.0f), 1e-6f);
    EXPECT_NEAR(half.w, std::cos(float(M_PI) / 8.0f), 1e-6f);
    // The negated quaternion is the same rotation: slerp takes the short way round.
    const Quaternion flipped = D3DXQuaternionSlerp(Quaternion{}, {-q.x, -q.y, -q.z, -q.w}, 0.5f);
    EXPECT_NEAR(std::fabs(flipped.z), std::sin(float(M_PI) / 8.0f), 1e-6f);
    EXPECT_NEAR(std::fabs(flipped.w), std::cos(float(M_PI) / 8.0f), 1e-6f);
}

TEST(D3dxMath, YawPitchRollTurnsRollFirstThenPitchThenYaw)
{
    const float quarter = float(M_PI) / 2.0f;
    // Roll takes x to y, which yaw (about y) leaves alone; yaw first would have sent x to -z.
    const Vector3 x = D3DXVec3TransformCoord({1, 0, 0}, D3DXMatrixRotationYawPitchRoll(quarter, 0, quarter));
    EXPECT_NEAR(x.y, 1.0f, 1e-6f);
    // Pitch takes y to z, which yaw takes to x.
    const Vector3 y = D3DXVec3TransformCoord({0, 1, 0}, D3DXMatrixRotationYawPitchRoll(quarter, quarter, 0));
    EXPECT_NEAR(y.x, 1.0f, 1e-6f);
    EXPECT_NEAR(y.z, 0.0f, 1e-6f);
    ExpectMatrix(D3DXMatrixRotationYawPitchRoll(0, 0, quarter),
                 {{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}});
}

TEST(D3dxMath, TransformKeepsWAndAxisTurnsMatchTheMatrices)
{
    Matrix m = D3DXMatrixTranslation(10, 0, 0);
    m.m[0][3] = 1; // w picks up x
    const Vector4 v = D3DXVec3Transform({1, 2, 3}, m);
    EXPECT_FLOAT_EQ(v.x, 11.0f);
    EXPECT_FLOAT_EQ(v.w, 2.0f);
    const Quaternion q = D3DXQuaternionRotationAxis({0, 0, 2}, float(M_PI) / 2.0f);
    EXPECT_NEAR(q.z, std::sqrt(0.5f), 1e-6f) << "the axis is made unit length";
    EXPECT_NEAR(q.w, std::sqrt(0.5f), 1e-6f);
    ExpectMatrix(D3DXMatrixRotationQuaternion(q), {{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}});
}

TEST(D3dxMath, PlanesFromPointsMeetLinesUnlessParallel)
{
    const Plane p = D3DXPlaneFromPointNormal({0, 2, 0}, {0, 2, 0});
    EXPECT_FLOAT_EQ(p.d, -4.0f);
    EXPECT_FLOAT_EQ(D3DXPlaneDotCoord(p, {5, 3, 5}), 2.0f) << "the normal keeps its length";
    Vector3 hit{9, 9, 9};
    ASSERT_TRUE(D3DXPlaneIntersectLine(&hit, p, {1, 0, 1}, {1, 1, 1}));
    EXPECT_FLOAT_EQ(hit.y, 2.0f) << "past the segment's end: the whole line counts";
    EXPECT_FLOAT_EQ(hit.x, 1.0f);
    Vector3 untouched{9, 9, 9};
    EXPECT_FALSE(D3DXPlaneIntersectLine(&untouched, p, {0, 0, 0}, {1, 0, 0}));
    EXPECT_FLOAT_EQ(untouched.x, 9.0f);
}

TEST(D3dxMath, BoxProbesFollowTheRayOnly)
{
    struct Case
    {
        Vector3 from, along;
        bool hits;
    };
    const Case cases[] = {
        {{-5, 0, 0}, {1, 0, 0}, true},  {{-5, 0, 0}, {-1, 0, 0}, false}, // away from the box
        {{0, 0, 0}, {0, -1, 0}, true},  {{-5, 2, 0}, {1, 0, 0}, false},  // inside; parallel outside
        {{-5, -5, 0}, {1, 1, 0}, true}, {{-5, 1.6f, 0}, {1, 0.1f, 0}, false},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(D3DXBoxBoundProbe({-1, -1, -1}, {1, 1, 1}, c.from, c.along), c.hits)
            << c.from.x << "," << c.from.y << " along " << c.along.x << "," << c.along.y;
    }
}
