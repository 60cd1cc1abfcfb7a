// The physics SDK over Bullet, shaped as the engine uses PhysX 2.8: the loader's entry points
// ("PhysXLoader.dll", reached through win32::LoadLibraryA), the SDK object with its scenes,
// cooked meshes and CCD skeletons, and the utility library. There is no physics hardware: every
// scene is a software scene. The SDK's own memory comes from the C++ heap; the allocator the
// loader hands out serves the engine's cooking buffers.
#pragma once

#include "physx/PhysXCooking.h"
#include "physx/PhysXScene.h"

#include <memory>
#include <vector>

namespace physx
{

// A convex outline a body sweeps its motion with; it keeps the radius of the largest sphere
// about its centre that fits inside.
struct CCDSkeleton
{
    float radius = 0.0f;
};

class PhysicsSDK
{
public:
    // False for an unknown parameter.
    bool setParameter(Parameter parameter, float value);
    float getParameter(Parameter parameter) const;
    HWVersion getHWVersion() const { return NX_HW_VERSION_NONE; }

    Scene* createScene(const SceneDesc& desc);
    void releaseScene(Scene& scene);

    // Reads a cooked block; null when it is short or inconsistent.
    TriangleMesh* createTriangleMesh(Stream& stream);
    // False while a shape still uses the mesh.
    bool releaseTriangleMesh(TriangleMesh& mesh);
    ClothMesh* createClothMesh(Stream& stream);
    // False while a cloth still uses the mesh.
    bool releaseClothMesh(ClothMesh& mesh);
    // Null for a mesh without triangles or with indices out of range. Shapes keep what they
    // need of a skeleton, so it may be released once given to them.
    CCDSkeleton* createCCDSkeleton(const SimpleTriangleMesh& mesh);
    void releaseCCDSkeleton(CCDSkeleton& skeleton);

    // Destroys the SDK with every scene and mesh it still holds.
    void release();

    PhysicsSDK() = default;
    ~PhysicsSDK();
    PhysicsSDK(const PhysicsSDK&) = delete;
    PhysicsSDK& operator=(const PhysicsSDK&) = delete;

private:
    float parameters[NX_PARAMS_NUM_VALUES] = {};
    std::vector<std::unique_ptr<Scene>> scenes;
    std::vector<std::unique_ptr<TriangleMesh>> triangleMeshes;
    std::vector<std::unique_ptr<ClothMesh>> clothMeshes;
    std::vector<std::unique_ptr<CCDSkeleton>> skeletons;
};

class UtilLib
{
public:
    // The eight corners of the box: bit 0 of the index picks +x, bit 1 +y, bit 2 +z.
    bool NxComputeBoxPoints(const Box& box, Vec3* points) const;
    // Twelve triangles over those corners, outward facing: 36 indices.
    const uint32_t* NxGetBoxTriangles() const;
};

// A new SDK; null (and NXCE_WRONG_VERSION) for another version than NX_PHYSICS_SDK_VERSION.
PhysicsSDK* NxCreatePhysicsSDK(uint32_t sdkVersion, SDKCreateError* errorCode = nullptr);
// The cooking library; null for another version.
CookingInterface* NxGetCookingLib(uint32_t sdkVersion);
UserAllocator* NxGetPhysicsSDKAllocator();
UtilLib* NxGetUtilLib();

using NxCreatePhysicsSDKProc = PhysicsSDK* (*)(uint32_t, SDKCreateError*);
using NxGetCookingLibProc = CookingInterface* (*)(uint32_t);
using NxGetPhysicsSDKAllocatorProc = UserAllocator* (*)();
using NxGetUtilLibProc = UtilLib* (*)();

// The entry points of "PhysXLoader.dll".
std::span<const LibraryExport> LoaderLibraryExports();

} // namespace physx
