// Shared pieces of the physics layer's tests: a byte stream, cooked meshes and a scene with the
// default material, stepped at 60 Hz.
#pragma once

#include "physx/PhysXSdk.h"

#include <cstring>
#include <vector>

namespace physx_test
{

using namespace physx;

// A growable byte stream; reads past the end give zeros and fail.
class ByteStream : public Stream
{
public:
    ByteStream() = default;
    explicit ByteStream(std::vector<uint8_t> data) : bytes(std::move(data)) {}

    uint8_t readByte() override { return Read<uint8_t>(); }
    uint16_t readWord() override { return Read<uint16_t>(); }
    uint32_t readDword() override { return Read<uint32_t>(); }
    float readFloat() override { return Read<float>(); }
    double readDouble() override { return Read<double>(); }
    void readBuffer(void* buffer, uint32_t size) override
    {
        if (at + size > bytes.size())
        {
            std::memset(buffer, 0, size);
            at = bytes.size();
            bad = true;
            return;
        }
        std::memcpy(buffer, bytes.data() + at, size);
        at += size;
    }
    Stream& storeByte(uint8_t value) override { return storeBuffer(&value, 1); }
    Stream& storeWord(uint16_t value) override { return storeBuffer(&value, 2); }
    Stream& storeDword(uint32_t value) override { return storeBuffer(&value, 4); }
    Stream& storeFloat(float value) override { return storeBuffer(&value, 4); }
    Stream& storeDouble(double value) override { return storeBuffer(&value, 8); }
    Stream& storeBuffer(const void* buffer, uint32_t size) override
    {
        const auto* from = static_cast<const uint8_t*>(buffer);
        bytes.insert(bytes.end(), from, from + size);
        return *this;
    }
    bool failed() const override { return bad; }

    std::vector<uint8_t> bytes;

private:
    template <typename T> T Read()
    {
        T value{};
        readBuffer(&value, sizeof(T));
        return value;
    }

    size_t at = 0;
    bool bad = false;
};

// A flat square grid of cells x cells quads in the XZ plane at height 0, centred on the origin,
// two triangles per quad, wound so that their cross product points up.
struct Grid
{
    Grid(int cells, float size)
    {
        const float step = size / float(cells);
        for (int z = 0; z <= cells; ++z)
            for (int x = 0; x <= cells; ++x)
                points.push_back({-size / 2 + x * step, 0.0f, -size / 2 + z * step});
        for (int z = 0; z < cells; ++z)
            for (int x = 0; x < cells; ++x)
            {
                const uint16_t a = uint16_t(z * (cells + 1) + x), b = uint16_t(a + 1),
                               c = uint16_t(a + cells + 1), d = uint16_t(c + 1);
                indices.insert(indices.end(), {a, c, b, b, c, d});
            }
    }

    SimpleTriangleMesh Desc() const
    {
        SimpleTriangleMesh desc;
        desc.numVertices = uint32_t(points.size());
        desc.numTriangles = uint32_t(indices.size() / 3);
        desc.pointStrideBytes = sizeof(Vec3);
        desc.triangleStrideBytes = 3 * sizeof(uint16_t);
        desc.points = points.data();
        desc.triangles = indices.data();
        desc.flags = NX_MF_16_BIT_INDICES;
        return desc;
    }

    std::vector<Vec3> points;
    std::vector<uint16_t> indices;
};

// A box of the given half extents about the origin as a triangle mesh (the utility library's).
struct BoxMesh
{
    explicit BoxMesh(const Vec3& extents)
    {
        Box box;
        box.extents = extents;
        NxGetUtilLib()->NxComputeBoxPoints(box, corners);
    }

    SimpleTriangleMesh Desc() const
    {
        SimpleTriangleMesh desc;
        desc.numVertices = 8;
        desc.numTriangles = 12;
        desc.pointStrideBytes = sizeof(Vec3);
        desc.triangleStrideBytes = 3 * sizeof(uint32_t);
        desc.points = corners;
        desc.triangles = NxGetUtilLib()->NxGetBoxTriangles();
        return desc;
    }

    Vec3 corners[8];
};

// The cooked block of a mesh description.
inline std::vector<uint8_t> CookTriangles(const SimpleTriangleMesh& desc)
{
    ByteStream stream;
    NxInitCooking();
    const bool cooked = NxCookTriangleMesh(desc, stream);
    NxCloseCooking();
    return cooked ? stream.bytes : std::vector<uint8_t>();
}

inline Mat34 At(float x, float y, float z)
{
    Mat34 pose;
    pose.t = {x, y, z};
    return pose;
}

// An SDK with one scene under standard gravity.
struct World
{
    World()
    {
        SceneDesc desc;
        desc.gravity = {0.0f, -9.81f, 0.0f};
        scene = sdk->createScene(desc);
    }
    ~World() { sdk->release(); }
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    // A static floor: the grid, cooked.
    Actor* Floor(int cells = 8, float size = 20.0f)
    {
        const Grid grid(cells, size);
        ByteStream block(CookTriangles(grid.Desc()));
        TriangleMeshShapeDesc shape;
        shape.meshData = sdk->createTriangleMesh(block);
        ActorDesc actor;
        actor.shapes.push_back(&shape);
        return scene->createActor(actor);
    }

    Actor* Box(const Mat34& pose, Vec3 halfExtents, const BodyDesc* body, uint32_t shapeFlags = 0)
    {
        BoxShapeDesc shape;
        shape.dimensions = halfExtents;
        shape.shapeFlags |= shapeFlags;
        ActorDesc actor;
        actor.globalPose = pose;
        actor.body = body;
        actor.shapes.push_back(&shape);
        return scene->createActor(actor);
    }

    Actor* Sphere(const Mat34& pose, float radius, const BodyDesc* body)
    {
        SphereShapeDesc shape;
        shape.radius = radius;
        ActorDesc actor;
        actor.globalPose = pose;
        actor.body = body;
        actor.shapes.push_back(&shape);
        return scene->createActor(actor);
    }

    // Simulates and fetches frame by frame at 60 Hz.
    void Run(float seconds)
    {
        for (int frame = 0; frame < int(seconds * 60.0f + 0.5f); ++frame)
        {
            scene->simulate(1.0f / 60.0f);
            scene->fetchResults(NX_RIGID_BODY_FINISHED, true);
        }
    }

    PhysicsSDK* sdk = NxCreatePhysicsSDK(NX_PHYSICS_SDK_VERSION);
    Scene* scene = nullptr;
};

inline BodyDesc Body(float mass)
{
    BodyDesc body;
    body.mass = mass;
    return body;
}

} // namespace physx_test
