#include "physics/MemoryWriteBuffer.h"
#include "physx/PhysXSdk.h"
#include "win32/Win32Library.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

std::vector<uint8_t> Written(const MemoryWriteBuffer& buffer)
{
    return std::vector<uint8_t>(buffer.data, buffer.data + buffer.currentSize);
}

// While it lives, "PhysXLoader.dll" cannot be loaded.
struct WithoutLoader
{
    WithoutLoader() { win32::WithholdLibrary("PhysXLoader.dll", true); }
    ~WithoutLoader() { win32::WithholdLibrary("PhysXLoader.dll", false); }
};

} // namespace

TEST(MemoryWriteBuffer, GrowsByWhatIsMissingAndFourKilobytes)
{
    MemoryWriteBuffer buffer;
    const struct
    {
        uint32_t store, current, max;
    } steps[] = {{1, 1, 4097}, {4096, 4097, 4097}, {1, 4098, 8194}, {0, 4098, 8194}, {10000, 14098, 18194}};
    std::vector<uint8_t> expected;
    for (const auto& step : steps)
    {
        const std::vector<uint8_t> bytes(step.store, uint8_t(expected.size() * 7 + 3));
        buffer.storeBuffer(bytes.data(), step.store);
        expected.insert(expected.end(), bytes.begin(), bytes.end());
        EXPECT_EQ(buffer.currentSize, step.current);
        EXPECT_EQ(buffer.maxSize, step.max);
    }
    EXPECT_EQ(Written(buffer), expected) << "growing keeps what was written";
    EXPECT_FALSE(buffer.failed());
}

TEST(MemoryWriteBuffer, StoresLittleEndianAndReadsBack)
{
    MemoryWriteBuffer out;
    out.storeByte(0x12).storeWord(0x3456).storeDword(0x789ABCDE).storeFloat(1.5f).storeDouble(-2.25);
    EXPECT_EQ(out.currentSize, 19u);
    EXPECT_EQ(std::vector<uint8_t>(out.data, out.data + 7),
              (std::vector<uint8_t>{0x12, 0x56, 0x34, 0xDE, 0xBC, 0x9A, 0x78}));
    EXPECT_EQ(out.readDword(), 0u) << "a write buffer reads nothing";
    EXPECT_EQ(out.readDouble(), 0.0);
    EXPECT_EQ(out.currentSize, 19u);

    MemoryReadBuffer in(out.data, out.currentSize);
    in.storeDword(0xFFFFFFFF); // a read buffer stores nothing
    EXPECT_EQ(in.readByte(), 0x12);
    EXPECT_EQ(in.readWord(), 0x3456);
    EXPECT_EQ(in.readDword(), 0x789ABCDEu);
    EXPECT_EQ(in.readFloat(), 1.5f);
    EXPECT_EQ(in.readDouble(), -2.25);
    EXPECT_FALSE(in.failed());
    EXPECT_EQ(out.data[0], 0x12);
}

TEST(MemoryReadBuffer, ReadsPastItsEndGiveZeroAndFail)
{
    const uint8_t block[] = {1, 2, 3, 4, 5, 6};
    MemoryReadBuffer in(block, 6);
    EXPECT_EQ(in.readDword(), 0x04030201u);
    EXPECT_EQ(in.readDword(), 0u) << "two bytes left are not a dword";
    EXPECT_TRUE(in.failed());
    EXPECT_EQ(in.readByte(), 0) << "nothing is read after the end";
    uint8_t copy[4] = {9, 9, 9, 9};
    in.readBuffer(copy, 4);
    EXPECT_EQ(copy[0] + copy[1] + copy[2] + copy[3], 0);
    MemoryReadBuffer empty(block, 0);
    EXPECT_EQ(empty.readWord(), 0);
    EXPECT_TRUE(empty.failed());
}

TEST(MemoryWriteBuffer, WithoutTheSdkAllocatorNothingIsWrittenAndItFails)
{
    MemoryWriteBuffer buffer;
    {
        WithoutLoader noLoader;
        buffer.storeDword(7);
    }
    EXPECT_TRUE(buffer.failed());
    EXPECT_EQ(buffer.currentSize, 0u);
    EXPECT_EQ(buffer.data, nullptr);
    buffer.storeDword(8); // the allocator is back, but a failed buffer takes nothing
    EXPECT_EQ(buffer.currentSize, 0u);
    physx::NxInitCooking();
    const physx::Vec3 points[] = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}};
    const uint32_t triangle[] = {0, 2, 1};
    physx::TriangleMeshDesc desc;
    desc.numVertices = 3;
    desc.numTriangles = 1;
    desc.pointStrideBytes = sizeof(physx::Vec3);
    desc.triangleStrideBytes = sizeof(triangle);
    desc.points = points;
    desc.triangles = triangle;
    EXPECT_FALSE(physx::NxCookTriangleMesh(desc, buffer)) << "a cook into a failed buffer fails";
    physx::NxCloseCooking();
}

TEST(MemoryWriteBuffer, CooksAMeshTheSdkReadsBackFromTheWholeBlockOnly)
{
    const physx::Vec3 points[] = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {1, 0, 1}};
    const uint16_t triangles[] = {0, 2, 1, 1, 2, 3};
    physx::TriangleMeshDesc desc;
    desc.numVertices = 4;
    desc.numTriangles = 2;
    desc.pointStrideBytes = sizeof(physx::Vec3);
    desc.triangleStrideBytes = 6;
    desc.points = points;
    desc.triangles = triangles;
    desc.flags = physx::NX_MF_16_BIT_INDICES;
    MemoryWriteBuffer cooked;
    physx::NxInitCooking();
    ASSERT_TRUE(physx::NxCookTriangleMesh(desc, cooked));
    physx::NxCloseCooking();
    physx::PhysicsSDK* sdk = physx::NxCreatePhysicsSDK(physx::NX_PHYSICS_SDK_VERSION);
    MemoryReadBuffer whole(cooked.data, cooked.currentSize);
    const physx::TriangleMesh* mesh = sdk->createTriangleMesh(whole);
    ASSERT_TRUE(mesh);
    EXPECT_EQ(mesh->getNbTriangles(), 2u);
    MemoryReadBuffer cut(cooked.data, cooked.currentSize - 1);
    EXPECT_FALSE(sdk->createTriangleMesh(cut));
    sdk->release();
}
