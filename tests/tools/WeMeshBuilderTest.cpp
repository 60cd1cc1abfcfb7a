// The content tools' mesh builder: the shapes whose layout other tools rely on.
#include "WeMeshBuilder.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

using d3dx::D3DXVec3Cross;
using d3dx::D3DXVec3Dot;
using d3dx::D3DXVec3Length;

// The triangle's corners and the side it faces (clockwise seen from it, as the device culls).
struct Triangle
{
    WeVector a, b, c;
    WeVector Facing() const { return D3DXVec3Cross(b - a, c - b); }
};

std::vector<Triangle> Triangles(const WeMeshBuilder& mesh)
{
    std::vector<Triangle> triangles;
    const auto& v = mesh.Vertices();
    const auto& i = mesh.Indices();
    for (size_t k = 0; k + 2 < i.size(); k += 3)
        triangles.push_back({v[i[k]].position, v[i[k + 1]].position, v[i[k + 2]].position});
    return triangles;
}

} // namespace

// A sky image laid on a dome by its texture coordinates shows each colour in the direction the
// image was drawn for: every corner lies in the direction its coordinates stand for, and every
// face looks in at the centre the camera stands at.
TEST(MeshBuilder, ADomesCornersLieWhereTheirTextureCoordinatesPointAndItsFacesLookIn)
{
    struct Case
    {
        float radius, rim;
        int rings, segments;
    } cases[] = {{5.0f, 15.0f, 12, 32}, {1.0f, 0.0f, 3, 4}, {20.0f, 40.0f, 8, 7}};
    for (const Case& c : cases)
    {
        WeMeshBuilder mesh;
        mesh.AddDome(c.radius, c.rim, c.rings, c.segments, 0);
        float lowest = 1.0f;
        for (const WeMeshVertex& vertex : mesh.Vertices())
        {
            const WeVector direction = WeMeshBuilder::DomeDirection(vertex.u, vertex.v, c.rim);
            EXPECT_NEAR(D3DXVec3Length(vertex.position - direction * c.radius), 0.0f, 1e-4f * c.radius);
            EXPECT_NEAR(D3DXVec3Dot(vertex.normal, direction), -1.0f, 1e-4f) << "its normal points in";
            lowest = std::min(lowest, direction.y);
        }
        EXPECT_NEAR(lowest, -std::sin(c.rim * 3.14159265f / 180.0f), 1e-4f) << "the rim below the horizon";
        const std::vector<Triangle> triangles = Triangles(mesh);
        EXPECT_EQ(triangles.size(), size_t(c.segments * (2 * c.rings - 1))) << "one at the top per segment";
        for (const Triangle& t : triangles)
            EXPECT_LT(D3DXVec3Dot(t.Facing(), (t.a + t.b + t.c) * (1.0f / 3.0f)), 0.0f)
                << "it faces the centre";
    }
}

// An open box has the five faces seen from above: none faces down, and its top covers the box.
TEST(MeshBuilder, AnOpenBoxLeavesOutOnlyItsBottom)
{
    WeMeshBuilder mesh;
    mesh.AddOpenBox({-1, -0.5f, -2}, {1, 0.5f, 2},
                    [](const WeVector& normal) { return normal.y > 0 ? 1u : 0u; });
    const std::vector<Triangle> triangles = Triangles(mesh);
    ASSERT_EQ(triangles.size(), 10u);
    float top = 0.0f;
    for (size_t k = 0; k < triangles.size(); ++k)
    {
        const WeVector facing = triangles[k].Facing();
        EXPECT_GE(facing.y, 0.0f) << "nothing faces down";
        const bool up = facing.y > 0.0f;
        EXPECT_EQ(mesh.Attributes()[k], up ? 1u : 0u) << "the top takes its own subset";
        top += up ? D3DXVec3Length(facing) * 0.5f : 0.0f;
    }
    EXPECT_NEAR(top, 2.0f * 4.0f, 1e-4f);
}
