#include "PhysXTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace physx_test;

namespace
{

constexpr uint32_t kStride = 52; // the engine's vertex: position, normal, then the rest

// A 2 x 2 cloth of 8 x 8 cells hanging in the XY plane from y = 5 down to y = 3, with receive
// buffers in the engine's vertex layout.
struct ClothWorld : World
{
    explicit ClothWorld(bool withBar)
    {
        const Grid grid(8, 2.0f); // in XZ: turn it upright
        for (Vec3 p : grid.points)
            points.push_back({p.x, 4.0f - p.z, 0.0f});
        indices = grid.indices;
        if (withBar)
            bar = Box(At(0.0f, 5.0f, 0.0f), {1.5f, 0.05f, 0.05f}, nullptr);
        ClothMeshDesc meshDesc;
        static_cast<SimpleTriangleMesh&>(meshDesc) = grid.Desc();
        meshDesc.points = points.data();
        meshDesc.flags |= NX_CLOTH_MESH_WELD_VERTICES;
        meshDesc.weldingDistance = 0.001f;
        ByteStream stream;
        NxInitCooking();
        NxCookClothMesh(meshDesc, stream);
        NxCloseCooking();
        ByteStream block(stream.bytes);
        ClothDesc desc;
        desc.clothMesh = sdk->createClothMesh(block);
        desc.thickness = 0.02f;
        desc.flags = NX_CLF_GRAVITY | NX_CLF_BENDING | NX_CLF_DAMPING;
        vertices.assign(points.size() * kStride, 0xAB);
        shortIndices.assign(indices.size(), 0);
        desc.meshData.verticesPosBegin = vertices.data();
        desc.meshData.verticesNormalBegin = vertices.data() + 12;
        desc.meshData.verticesPosByteStride = desc.meshData.verticesNormalByteStride = kStride;
        desc.meshData.maxVertices = uint32_t(points.size());
        desc.meshData.numVerticesPtr = &vertexCount;
        desc.meshData.indicesBegin = shortIndices.data();
        desc.meshData.indicesByteStride = 2;
        desc.meshData.maxIndices = uint32_t(indices.size());
        desc.meshData.numIndicesPtr = &indexCount;
        desc.meshData.flags = NX_MDF_16_BIT_INDICES;
        cloth = scene->createCloth(desc);
    }

    Vec3 Read(size_t vertex, size_t offset) const
    {
        Vec3 v;
        std::memcpy(&v, vertices.data() + vertex * kStride + offset, sizeof(v));
        return v;
    }

    std::vector<Vec3> points;
    std::vector<uint16_t> indices, shortIndices;
    std::vector<uint8_t> vertices;
    uint32_t vertexCount = 0, indexCount = 0;
    Actor* bar = nullptr;
    Cloth* cloth = nullptr;
};

} // namespace

TEST(PhysXCloth, AnchoredAtItsTopEdgeItHangsAndWritesTheReceiveBuffers)
{
    ClothWorld world(true);
    ASSERT_TRUE(world.cloth);
    EXPECT_EQ(world.cloth->getNumberOfParticles(), world.points.size());
    world.cloth->attachToCollidingShapes(NX_CLOTH_ATTACHMENT_TWOWAY);
    world.Run(2.0f);
    ASSERT_EQ(world.vertexCount, world.points.size());
    ASSERT_EQ(world.indexCount, world.indices.size());
    EXPECT_EQ(world.shortIndices, world.indices);
    for (size_t v = 0; v < world.points.size(); ++v)
    {
        const Vec3 p = world.Read(v, 0), n = world.Read(v, 12);
        ASSERT_TRUE(p.isFinite());
        EXPECT_LE(p.y, 5.1f) << "vertex " << v;
        EXPECT_GE(p.y, 2.7f) << "vertex " << v << ": stretched too far";
        EXPECT_LE(std::fabs(p.x), 1.2f);
        EXPECT_NEAR(n.dot(n), 1.0f, 1e-3f);
        uint8_t rest[kStride - 24];
        std::memcpy(rest, world.vertices.data() + v * kStride + 24, sizeof(rest));
        EXPECT_TRUE(std::all_of(std::begin(rest), std::end(rest), [](uint8_t b) { return b == 0xAB; }))
            << "only positions and normals are written";
    }
    EXPECT_NEAR(world.Read(0, 0).y, 5.0f, 0.1f) << "the top edge stays on the bar";
}

TEST(PhysXCloth, LooseItFallsOntoTheGroundUnlessItsGroupPasses)
{
    for (const bool passes : {false, true})
    {
        ClothWorld world(false);
        world.Box(At(0.0f, -0.5f, 0.0f), {10.0f, 0.5f, 10.0f}, nullptr);
        if (passes)
        {
            world.scene->setGroupCollisionFlag(0, 5, false);
            world.cloth->setGroup(5);
        }
        world.Run(2.0f);
        const float lowest = world.Read(world.points.size() - 1, 0).y;
        if (passes)
            EXPECT_LT(lowest, -1.0f);
        else
            EXPECT_GT(lowest, -0.3f) << "held by the ground, into which its weight presses its edge";
    }
}

TEST(PhysXCloth, AsleepItStaysWhereItIs)
{
    ClothWorld world(false);
    world.cloth->putToSleep();
    world.Run(0.5f);
    EXPECT_TRUE(world.cloth->isSleeping());
    EXPECT_NEAR(world.Read(0, 0).y, 5.0f, 1e-4f);
    world.cloth->wakeUp();
    world.Run(0.5f);
    EXPECT_LT(world.Read(0, 0).y, 4.5f);
}
