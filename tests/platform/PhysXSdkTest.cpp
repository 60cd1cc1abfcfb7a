#include "PhysXTestSupport.h"
#include "win32/Win32Library.h"

#include <gtest/gtest.h>

using namespace physx_test;

TEST(PhysXSdk, LoaderAndCookingLibrariesAreBuiltIn)
{
    const struct
    {
        const char* file;
        std::vector<const char*> entries;
    } libraries[] = {
        {"PhysXLoader.dll",
         {"NxCreatePhysicsSDK", "NxGetCookingLib", "NxGetPhysicsSDKAllocator", "NxGetUtilLib"}},
        {"nxcooking.DLL", {"NxInitCooking", "NxCloseCooking", "NxSetCookingParams", "NxCookTriangleMesh"}},
    };
    for (const auto& library : libraries)
    {
        const win32::HMODULE module = win32::LoadLibraryA(library.file);
        ASSERT_TRUE(module) << library.file;
        for (const char* entry : library.entries)
            EXPECT_TRUE(win32::GetProcAddress(module, entry)) << entry;
        EXPECT_FALSE(win32::GetProcAddress(module, "NxCookConvexMesh"));
        win32::WithholdLibrary(library.file, true);
        EXPECT_FALSE(win32::LoadLibraryA(library.file));
        win32::WithholdLibrary(library.file, false);
        EXPECT_EQ(win32::LoadLibraryA(library.file), module);
    }
}

TEST(PhysXSdk, EntryPointsCheckTheVersion)
{
    const auto create = reinterpret_cast<NxCreatePhysicsSDKProc>(
        win32::GetProcAddress(win32::LoadLibraryA("PhysXLoader.dll"), "NxCreatePhysicsSDK"));
    SDKCreateError error = NXCE_NO_ERROR;
    EXPECT_FALSE(create(0x02070000, &error));
    EXPECT_EQ(error, NXCE_WRONG_VERSION);
    PhysicsSDK* sdk = create(NX_PHYSICS_SDK_VERSION, &error);
    ASSERT_TRUE(sdk);
    EXPECT_EQ(error, NXCE_NO_ERROR);
    EXPECT_EQ(sdk->getHWVersion(), NX_HW_VERSION_NONE);
    sdk->release();
    EXPECT_FALSE(NxGetCookingLib(0x02070000));
    EXPECT_TRUE(NxGetCookingLib(NX_PHYSICS_SDK_VERSION));
}

TEST(PhysXSdk, BoxPointsAndTrianglesFaceOutward)
{
    Box box;
    box.center = {1, 2, 3};
    box.extents = {0.5f, 1.0f, 2.0f};
    box.rot.m[0][0] = box.rot.m[1][1] = 0.0f; // a quarter turn about Z
    box.rot.m[0][1] = -1.0f;
    box.rot.m[1][0] = 1.0f;
    Vec3 points[8];
    ASSERT_TRUE(NxGetUtilLib()->NxComputeBoxPoints(box, points));
    EXPECT_FLOAT_EQ(points[7].x, 1.0f - 1.0f); // (+0.5, +1, +2) turned: (-1, 0.5, 2)
    EXPECT_FLOAT_EQ(points[7].y, 2.0f + 0.5f);
    EXPECT_FLOAT_EQ(points[7].z, 3.0f + 2.0f);
    const uint32_t* triangles = NxGetUtilLib()->NxGetBoxTriangles();
    for (int t = 0; t < 12; ++t)
    {
        const Vec3 &a = points[triangles[3 * t]], &b = points[triangles[3 * t + 1]],
                   &c = points[triangles[3 * t + 2]];
        const Vec3 outward = (a + b + c) * (1.0f / 3.0f) - box.center;
        EXPECT_GT((b - a).cross(c - a).dot(outward), 0.0f) << "triangle " << t;
    }
}

TEST(PhysXSdk, CcdSkeletonKeepsTheInnerRadius)
{
    const BoxMesh box({0.5f, 2.0f, 3.0f});
    SimpleTriangleMesh mesh = box.Desc();
    World world;
    CCDSkeleton* skeleton = world.sdk->createCCDSkeleton(mesh);
    ASSERT_TRUE(skeleton);
    EXPECT_NEAR(skeleton->radius, 0.5f, 1e-5f);
    mesh.numVertices = 7; // indices now out of range
    EXPECT_FALSE(world.sdk->createCCDSkeleton(mesh));
}

TEST(PhysXSdk, MeshesInUseAreNotReleased)
{
    World world;
    Actor* floor = world.Floor();
    ASSERT_TRUE(floor);
    TriangleMesh* mesh = floor->getShapes()[0]->getMesh();
    EXPECT_FALSE(world.sdk->releaseTriangleMesh(*mesh));
    world.scene->releaseActor(*floor);
    EXPECT_TRUE(world.sdk->releaseTriangleMesh(*mesh));
}
