#include "PhysXTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

using namespace physx_test;

namespace
{

constexpr size_t kHeader = 16; // magic, version, vertex count, triangle count

void PutDword(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    std::memcpy(bytes.data() + at, &value, 4);
}

void PutFloat(std::vector<uint8_t>& bytes, size_t at, float value)
{
    std::memcpy(bytes.data() + at, &value, 4);
}

uint32_t GetDword(const std::vector<uint8_t>& bytes, size_t at)
{
    uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

// Where the parts of a cooked triangle mesh block start.
struct Layout
{
    explicit Layout(const std::vector<uint8_t>& block)
        : vertices(GetDword(block, 8)), triangles(GetDword(block, 12)),
          indexAt(kHeader + 12 * size_t(vertices)), treeAt(indexAt + 12 * size_t(triangles)),
          nodesAt(treeAt + 40)
    {
    }
    size_t Node(uint32_t i) const { return nodesAt + 16 * size_t(i); }

    uint32_t vertices, triangles;
    size_t indexAt, treeAt, nodesAt;
};

} // namespace

TEST(PhysXCooking, CookedMeshReadsBackWithItsVerticesAndTriangles)
{
    const Grid grid(3, 6.0f);
    ByteStream block(CookTriangles(grid.Desc()));
    const auto mesh = ReadTriangleMesh(block);
    ASSERT_TRUE(mesh);
    ASSERT_EQ(mesh->getNbVertices(), grid.points.size());
    ASSERT_EQ(mesh->getNbTriangles(), grid.indices.size() / 3);
    for (size_t i = 0; i < grid.points.size(); ++i)
        EXPECT_EQ(mesh->getVertices()[i].x, grid.points[i].x);
    for (size_t i = 0; i < grid.indices.size(); ++i)
        EXPECT_EQ(mesh->getTriangles()[i], grid.indices[i]);
    EXPECT_EQ(Layout(block.bytes).nodesAt + 16 * (2 * mesh->getNbTriangles() - 1), block.bytes.size());
}

TEST(PhysXCooking, CookRefusesWhatIsNoMesh)
{
    const Grid grid(2, 2.0f);
    std::vector<uint16_t> outOfRange = grid.indices;
    outOfRange[4] = uint16_t(grid.points.size());
    std::vector<Vec3> notFinite = grid.points;
    notFinite[3].y = std::numeric_limits<float>::quiet_NaN();
    const std::vector<std::function<void(SimpleTriangleMesh&)>> spoil = {
        [](SimpleTriangleMesh& d) { d.numTriangles = 0; },
        [](SimpleTriangleMesh& d) { d.points = nullptr; },
        [](SimpleTriangleMesh& d) { d.pointStrideBytes = 8; },
        [](SimpleTriangleMesh& d) { d.flags = 0; }, // 32-bit indices need a stride of 12
        [&](SimpleTriangleMesh& d) { d.triangles = outOfRange.data(); },
        [&](SimpleTriangleMesh& d) { d.points = notFinite.data(); },
    };
    for (size_t i = 0; i < spoil.size(); ++i)
    {
        SimpleTriangleMesh desc = grid.Desc();
        spoil[i](desc);
        EXPECT_TRUE(CookTriangles(desc).empty()) << "case " << i;
    }
    ByteStream stream;
    EXPECT_FALSE(NxCookTriangleMesh(grid.Desc(), stream)) << "cooking is not initialised";
}

TEST(PhysXCooking, EveryShortBlockIsRefused)
{
    const std::vector<uint8_t> block = CookTriangles(Grid(2, 2.0f).Desc());
    for (size_t size = 0; size < block.size(); ++size)
    {
        ByteStream cut(std::vector<uint8_t>(block.begin(), block.begin() + ptrdiff_t(size)));
        EXPECT_FALSE(ReadTriangleMesh(cut)) << "cut at " << size;
    }
}

TEST(PhysXCooking, InconsistentBlocksAreRefused)
{
    const std::vector<uint8_t> block = CookTriangles(Grid(2, 2.0f).Desc());
    const Layout at(block);
    const int32_t rootSpan = -int32_t(GetDword(block, at.Node(0) + 12));
    const std::vector<std::function<void(std::vector<uint8_t>&)>> spoil = {
        [](auto& b) { b[0] ^= 1; },                                 // magic
        [](auto& b) { PutDword(b, 4, 2); },                         // version
        [](auto& b) { PutDword(b, 8, 1u << 30); },                  // vertex count past the limit
        [](auto& b) { PutDword(b, 12, 0); },                        // no triangles
        [&](auto& b) { PutDword(b, at.indexAt + 8, at.vertices); }, // index out of range
        [&](auto& b) { PutFloat(b, kHeader + 4, INFINITY); },       // vertex not finite
        [&](auto& b) { PutFloat(b, at.treeAt + 12, -1e9f); },       // bounds maximum below minimum
        [&](auto& b) { PutFloat(b, at.treeAt + 24, 1.0f); },        // quantisation not the bounds'
        [&](auto& b) { PutDword(b, at.treeAt + 36, 3); },           // node count not 2n - 1
        [&](auto& b) { PutDword(b, at.Node(0) + 12, 0); },          // root a leaf
        [&](auto& b) { PutDword(b, at.Node(0) + 12, uint32_t(-(rootSpan - 1))); }, // root span short
        [&](auto& b) { PutDword(b, at.Node(0) + 12, 0x80000000u); },               // escape of INT_MIN
        [&](auto& b) { b[at.Node(0)] = 0xFF, b[at.Node(0) + 1] = 0xFF; },          // root misses a child
    };
    for (size_t i = 0; i < spoil.size(); ++i)
    {
        std::vector<uint8_t> bytes = block;
        spoil[i](bytes);
        ByteStream stream(bytes);
        EXPECT_FALSE(ReadTriangleMesh(stream)) << "case " << i;
    }
    // Two leaves naming the same triangle.
    std::vector<uint8_t> twice = block;
    uint32_t leaves[2], found = 0;
    for (uint32_t i = 0; i < 2 * at.triangles - 1 && found < 2; ++i)
        if (int32_t(GetDword(block, at.Node(i) + 12)) >= 0)
            leaves[found++] = i;
    ASSERT_EQ(found, 2u);
    PutDword(twice, at.Node(leaves[1]) + 12, GetDword(block, at.Node(leaves[0]) + 12));
    ByteStream stream(twice);
    EXPECT_FALSE(ReadTriangleMesh(stream));
}

TEST(PhysXCooking, ClothMeshWeldsCloseVerticesAndKeepsTheSourceOrder)
{
    // Two triangles sharing an edge whose two vertices are duplicated 0.0005 apart.
    const std::vector<Vec3> points = {{0, 0, 0},       {1, 0, 0},       {0, 1, 0},
                                      {1.0005f, 0, 0}, {0, 1.0005f, 0}, {1, 1, 0}};
    const std::vector<uint16_t> indices = {0, 2, 1, 3, 4, 5};
    ClothMeshDesc desc;
    desc.numVertices = uint32_t(points.size());
    desc.numTriangles = 2;
    desc.pointStrideBytes = sizeof(Vec3);
    desc.triangleStrideBytes = 6;
    desc.points = points.data();
    desc.triangles = indices.data();
    desc.flags = NX_MF_16_BIT_INDICES | NX_CLOTH_MESH_WELD_VERTICES;
    desc.weldingDistance = 0.001f;
    ByteStream stream;
    NxInitCooking();
    ASSERT_TRUE(NxCookClothMesh(desc, stream));
    NxCloseCooking();
    ByteStream block(stream.bytes);
    const auto mesh = ReadClothMesh(block);
    ASSERT_TRUE(mesh);
    EXPECT_EQ(mesh->nodes.size(), 4u);
    EXPECT_EQ(mesh->vertexNodes, (std::vector<uint32_t>{0, 1, 2, 1, 2, 3}));
    EXPECT_EQ(mesh->indices, (std::vector<uint32_t>{0, 2, 1, 3, 4, 5}));
    for (size_t size = 0; size < stream.bytes.size(); ++size)
    {
        ByteStream cut(std::vector<uint8_t>(stream.bytes.begin(), stream.bytes.begin() + ptrdiff_t(size)));
        EXPECT_FALSE(ReadClothMesh(cut)) << "cut at " << size;
    }
    std::vector<uint8_t> badNode = stream.bytes;
    PutDword(badNode, 20 + 12 * 4 + 4 * 5, 4); // the last vertex names node 4 of 4
    ByteStream bad(badNode);
    EXPECT_FALSE(ReadClothMesh(bad));
}
