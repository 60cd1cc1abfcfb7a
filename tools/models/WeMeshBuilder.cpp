#include "WeMeshBuilder.h"

#include "WeFileStream.h"

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace d3dx;

namespace
{

constexpr float kPi = std::numbers::pi_v<float>;

float Component(const WeVector& v, int axis)
{
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}

WeVector Axis(int axis, float length)
{
    WeVector v;
    (axis == 0 ? v.x : axis == 1 ? v.y : v.z) = length;
    return v;
}

bool IsZero(const WeVector& v)
{
    return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f;
}

} // namespace

void WeMeshBuilder::AddFace(std::vector<Corner> corners, const WeVector& outward, uint32_t subset)
{
    const WeVector normal = D3DXVec3Normalize(outward);
    const WeVector turn =
        D3DXVec3Cross(corners[1].position - corners[0].position, corners[2].position - corners[1].position);
    if (D3DXVec3Dot(turn, normal) < 0.0f)
        std::reverse(corners.begin(), corners.end());
    const auto first = uint32_t(vertices.size());
    for (const Corner& corner : corners)
    {
        const WeVector n = IsZero(corner.normal) ? normal : D3DXVec3Normalize(corner.normal);
        vertices.push_back({corner.position, n, corner.u, corner.v, WeVector{}, corner.u, corner.v});
    }
    for (uint32_t k = 1; k + 1 < corners.size(); ++k)
    {
        indices.insert(indices.end(), {uint16_t(first), uint16_t(first + k), uint16_t(first + k + 1)});
        attributes.push_back(subset);
    }
}

void WeMeshBuilder::AddRectangle(const WeVector& centre, const WeVector& outward, const WeVector& up,
                                 float halfWidth, float halfHeight, uint32_t subset, float u0, float v0,
                                 float u1, float v1)
{
    const WeVector upward = D3DXVec3Normalize(up) * halfHeight;
    const WeVector right = D3DXVec3Normalize(D3DXVec3Cross(up, outward * -1.0f)) * halfWidth;
    AddFace({{centre - right + upward, u0, v0},
             {centre + right + upward, u1, v0},
             {centre + right - upward, u1, v1},
             {centre - right - upward, u0, v1}},
            outward, subset);
}

void WeMeshBuilder::FaceSubsets(const std::function<uint32_t(const WeVector&)>& faceSubset,
                                uint32_t subsets[6])
{
    static const WeVector normals[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int i = 0; i < 6; ++i)
        subsets[i] = faceSubset(normals[i]);
}

void WeMeshBuilder::AddBoxFaces(const WeVector& minimum, const WeVector& maximum, float bevel,
                                const uint32_t subsets[6], bool bottom)
{
    const WeVector centre = (minimum + maximum) * 0.5f;
    const WeVector half = (maximum - minimum) * 0.5f;
    for (int axis = 0; axis < 3; ++axis)
        for (int side = 0; side < 2; ++side)
        {
            if (axis == 1 && side == 1 && !bottom)
                continue;
            const WeVector normal = Axis(axis, side == 0 ? 1.0f : -1.0f);
            const WeVector up = axis == 1 ? WeVector{0, 0, 1} : WeVector{0, 1, 0};
            const WeVector right = D3DXVec3Cross(up, normal * -1.0f);
            const float width = std::fabs(D3DXVec3Dot(right, half)) - bevel;
            const float height = std::fabs(D3DXVec3Dot(up, half)) - bevel;
            AddRectangle(centre + normal * Component(half, axis), normal, up, width, height,
                         subsets[axis * 2 + side]);
        }
}

// Each cut edge joins two faces, each corner three; their corners take the normals of the
// faces they touch, so the cuts shade round.
void WeMeshBuilder::AddBoxEdges(const WeVector& minimum, const WeVector& maximum, float bevel,
                                uint32_t subset)
{
    const WeVector centre = (minimum + maximum) * 0.5f;
    const WeVector half = (maximum - minimum) * 0.5f;
    // The point on the face of `axis` (sign s[axis]) nearest to the box corner of signs s.
    auto point = [&](const float(&s)[3], int axis)
    {
        WeVector p = centre;
        for (int a = 0; a < 3; ++a)
            p = p + Axis(a, s[a] * (Component(half, a) - (a == axis ? 0.0f : bevel)));
        return Corner{p, 0.0f, 0.0f, Axis(axis, s[axis])};
    };
    for (int along = 0; along < 3; ++along)
    {
        const int a1 = (along + 1) % 3, a2 = (along + 2) % 3;
        for (float s1 : {-1.0f, 1.0f})
            for (float s2 : {-1.0f, 1.0f})
            {
                float low[3], high[3];
                low[along] = -1.0f;
                high[along] = 1.0f;
                low[a1] = high[a1] = s1;
                low[a2] = high[a2] = s2;
                AddFace({point(low, a1), point(high, a1), point(high, a2), point(low, a2)},
                        Axis(a1, s1) + Axis(a2, s2), subset);
            }
    }
    for (float sx : {-1.0f, 1.0f})
        for (float sy : {-1.0f, 1.0f})
            for (float sz : {-1.0f, 1.0f})
            {
                const float s[3] = {sx, sy, sz};
                AddFace({point(s, 0), point(s, 1), point(s, 2)}, WeVector{sx, sy, sz}, subset);
            }
}

void WeMeshBuilder::AddSphere(const WeVector& centre, float radius, int rings, int segments, uint32_t subset)
{
    auto corner = [&](int ring, int segment)
    {
        const float theta = kPi * float(ring) / float(rings);
        const float phi = 2.0f * kPi * float(segment) / float(segments);
        const WeVector n{std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
        return Corner{centre + n * radius, float(segment) / float(segments), float(ring) / float(rings), n};
    };
    for (int ring = 0; ring < rings; ++ring)
        for (int segment = 0; segment < segments; ++segment)
        {
            std::vector<Corner> quad{corner(ring, segment), corner(ring, segment + 1),
                                     corner(ring + 1, segment + 1), corner(ring + 1, segment)};
            if (ring == 0)
                quad.erase(quad.begin()); // the pole: one corner
            else if (ring == rings - 1)
                quad.erase(quad.begin() + 2);
            const WeVector outward = quad[0].normal + quad[1].normal + quad[2].normal;
            AddFace(quad, outward, subset);
        }
}

WeVector WeMeshBuilder::DomeDirection(float u, float v, float rimDegrees)
{
    const float elevation = (90.0f - v * (90.0f + rimDegrees)) * kPi / 180.0f;
    const float around = 2.0f * kPi * u;
    return {std::cos(elevation) * std::cos(around), std::sin(elevation),
            std::cos(elevation) * std::sin(around)};
}

void WeMeshBuilder::AddDome(float radius, float rimDegrees, int rings, int segments, uint32_t subset)
{
    auto corner = [&](float u, float v)
    {
        const WeVector d = DomeDirection(u, v, rimDegrees);
        return Corner{d * radius, u, v, d * -1.0f};
    };
    for (int ring = 0; ring < rings; ++ring)
        for (int segment = 0; segment < segments; ++segment)
        {
            const float u0 = float(segment) / float(segments), u1 = float(segment + 1) / float(segments);
            const float v0 = float(ring) / float(rings), v1 = float(ring + 1) / float(rings);
            std::vector<Corner> quad{corner(u0, v1), corner(u1, v1)};
            if (ring == 0)
                quad.push_back(corner((u0 + u1) * 0.5f, 0.0f)); // the top: one corner
            else
                quad.insert(quad.end(), {corner(u1, v0), corner(u0, v0)});
            const WeVector inward = (quad[0].normal + quad[1].normal + quad[2].normal) * (1.0f / 3.0f);
            AddFace(quad, inward, subset);
        }
}

void WeMeshBuilder::AddTube(const WeVector& bottom, float radius, float height, int segments, int rings,
                            uint32_t subset)
{
    auto corner = [&](int ring, int segment)
    {
        const float phi = 2.0f * kPi * float(segment) / float(segments);
        const WeVector n{std::cos(phi), 0.0f, std::sin(phi)};
        const float y = height * float(ring) / float(rings);
        return Corner{bottom + n * radius + WeVector{0, y, 0}, float(segment) / float(segments),
                      1.0f - float(ring) / float(rings), n};
    };
    for (int ring = 0; ring < rings; ++ring)
        for (int segment = 0; segment < segments; ++segment)
        {
            const Corner c = corner(ring, segment);
            AddFace({c, corner(ring, segment + 1), corner(ring + 1, segment + 1), corner(ring + 1, segment)},
                    c.normal, subset);
        }
    const WeVector top = bottom + WeVector{0, height, 0};
    for (int segment = 0; segment < segments; ++segment)
    {
        Corner a = corner(rings, segment), b = corner(rings, segment + 1);
        a.normal = b.normal = WeVector{};
        AddFace({a, b, Corner{top, 0.5f, 0.0f}}, WeVector{0, 1, 0}, subset);
    }
}

bool WeMeshBuilder::Build(WeMesh& mesh)
{
    if (attributes.empty() || vertices.size() > 65535)
    {
        lastError = "no faces, or more than 65,535 vertices";
        return false;
    }
    Mesh* made = nullptr;
    if (d3d9::Failed(D3DXCreateMesh(uint32_t(attributes.size()), uint32_t(vertices.size()), D3DXMESH_MANAGED,
                                    WeMesh::vertexDeclaration, nullptr, &made)))
    {
        lastError = "no D3DX mesh";
        return false;
    }
    void* data = nullptr;
    made->LockVertexBuffer(0, &data);
    std::copy(vertices.begin(), vertices.end(), static_cast<WeMeshVertex*>(data));
    made->UnlockVertexBuffer();
    made->LockIndexBuffer(0, &data);
    std::copy(indices.begin(), indices.end(), static_cast<uint16_t*>(data));
    made->UnlockIndexBuffer();
    uint32_t* ids = nullptr;
    made->LockAttributeBuffer(0, &ids);
    std::copy(attributes.begin(), attributes.end(), ids);
    made->UnlockAttributeBuffer();
    mesh.SetD3DXMesh(made, true, true);
    for (int32_t i = 0; i < mesh.subsetCount; ++i)
        if (mesh.attributeTable[i].attribId != uint32_t(i))
        {
            lastError = "subsets must be numbered 0, 1, 2, ... without gaps";
            return false;
        }
    if (!mesh.ComputeTangents())
    {
        lastError = "no tangents";
        return false;
    }
    return true;
}

bool WeMeshBuilder::WriteRecord(const WeMesh& mesh, int32_t setCount, WeFileStream& stream)
{
    Mesh* made = mesh.mesh;
    const uint32_t vertexCount = made->GetNumVertices(), faceCount = made->GetNumFaces();
    bool ok = stream.WriteInt(17) && stream.WriteInt(int32_t(mesh.sourceTime[0])) &&
              stream.WriteInt(int32_t(mesh.sourceTime[1])) && stream.WriteInt(int32_t(vertexCount)) &&
              stream.WriteInt(int32_t(faceCount));
    void* data = nullptr;
    made->LockVertexBuffer(d3d9::D3DLOCK_READONLY, &data);
    ok = ok && stream.Write(data, int64_t(vertexCount) * sizeof(WeMeshVertex));
    made->UnlockVertexBuffer();
    made->LockIndexBuffer(d3d9::D3DLOCK_READONLY, &data);
    ok = ok && stream.Write(data, int64_t(faceCount) * 3 * 2);
    made->UnlockIndexBuffer();
    uint32_t* ids = nullptr;
    made->LockAttributeBuffer(d3d9::D3DLOCK_READONLY, &ids);
    ok = ok && stream.Write(ids, int64_t(faceCount) * 4);
    made->UnlockAttributeBuffer();
    ok = ok && stream.WriteBool(mesh.recordFlag) && stream.WriteInt(mesh.recordInt0) &&
         stream.WriteInt(mesh.recordInt1) && stream.WriteInt(mesh.recordInt2) &&
         stream.WriteFloat(mesh.recordFloat0) && stream.WriteFloat(mesh.recordFloat1) &&
         stream.WriteInt(mesh.recordInt3) && stream.WriteInt(mesh.subsetCount) &&
         stream.Write(mesh.attributeTable, int64_t(mesh.subsetCount) * sizeof(AttributeRange)) &&
         stream.WriteInt(setCount);
    for (int32_t set = 0; set < setCount; ++set)
        for (int32_t subset = 0; subset < mesh.subsetCount; ++subset)
            ok = ok && stream.WriteString(mesh.sets[set].names[subset]);
    ok = ok && stream.WriteInt(mesh.attachPoints.GetCount());
    for (const WeMeshAttachPoint& point : mesh.attachPoints)
        ok = ok && stream.WriteString(point.name) && stream.WriteVector(&point.position.x) &&
             stream.WriteVector4(&point.rotation.x);
    return ok;
}
