#include "physx/PhysXSdk.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace physx
{

namespace
{

class HeapAllocator : public UserAllocator
{
public:
    void* malloc(uint32_t size, MemoryType) override { return std::malloc(size); }
    void free(void* memory) override { std::free(memory); }
};

// Removes the owned object from the list; false when the list does not hold it.
template <typename T> bool Discard(std::vector<std::unique_ptr<T>>& list, const T& object)
{
    const auto it =
        std::find_if(list.begin(), list.end(), [&object](const auto& p) { return p.get() == &object; });
    if (it == list.end())
        return false;
    list.erase(it);
    return true;
}

// Keeps the object and returns it, or null for none.
template <typename T> T* Keep(std::vector<std::unique_ptr<T>>& list, std::unique_ptr<T> object)
{
    if (!object)
        return nullptr;
    list.push_back(std::move(object));
    return list.back().get();
}

} // namespace

PhysicsSDK::~PhysicsSDK()
{
    scenes.clear(); // their shapes and cloths hold references to the meshes
}

bool PhysicsSDK::setParameter(Parameter parameter, float value)
{
    if (parameter >= NX_PARAMS_NUM_VALUES)
        return false;
    parameters[parameter] = value;
    return true;
}

float PhysicsSDK::getParameter(Parameter parameter) const
{
    return parameter < NX_PARAMS_NUM_VALUES ? parameters[parameter] : 0.0f;
}

Scene* PhysicsSDK::createScene(const SceneDesc& desc)
{
    if (!desc.gravity.isFinite())
        return nullptr;
    return Keep(scenes, std::make_unique<Scene>(*this, desc));
}

void PhysicsSDK::releaseScene(Scene& scene)
{
    Discard(scenes, scene);
}

TriangleMesh* PhysicsSDK::createTriangleMesh(Stream& stream)
{
    return Keep(triangleMeshes, ReadTriangleMesh(stream));
}

bool PhysicsSDK::releaseTriangleMesh(TriangleMesh& mesh)
{
    return mesh.references == 0 && Discard(triangleMeshes, mesh);
}

ClothMesh* PhysicsSDK::createClothMesh(Stream& stream)
{
    return Keep(clothMeshes, ReadClothMesh(stream));
}

bool PhysicsSDK::releaseClothMesh(ClothMesh& mesh)
{
    return mesh.references == 0 && Discard(clothMeshes, mesh);
}

CCDSkeleton* PhysicsSDK::createCCDSkeleton(const SimpleTriangleMesh& mesh)
{
    std::vector<Vec3> points;
    std::vector<uint32_t> indices;
    if (!GatherMesh(mesh, points, indices))
        return nullptr;
    Vec3 centre;
    for (const Vec3& p : points)
        centre = centre + p * (1.0f / float(points.size()));
    float radius = std::numeric_limits<float>::max();
    for (size_t i = 0; i < indices.size(); i += 3)
    {
        const Vec3& a = points[indices[i]];
        const Vec3 normal = (points[indices[i + 1]] - a).cross(points[indices[i + 2]] - a);
        const float length = std::sqrt(normal.dot(normal));
        if (length > 0.0f)
            radius = std::min(radius, std::fabs(normal.dot(centre - a)) / length);
    }
    if (radius == std::numeric_limits<float>::max())
        return nullptr;
    auto skeleton = std::make_unique<CCDSkeleton>();
    skeleton->radius = radius;
    return Keep(skeletons, std::move(skeleton));
}

void PhysicsSDK::releaseCCDSkeleton(CCDSkeleton& skeleton)
{
    Discard(skeletons, skeleton);
}

void PhysicsSDK::release()
{
    delete this; // made by NxCreatePhysicsSDK, which hands out the only owner
}

bool UtilLib::NxComputeBoxPoints(const Box& box, Vec3* points) const
{
    for (int i = 0; i < 8; ++i)
    {
        const Vec3 corner = {(i & 1) ? box.extents.x : -box.extents.x,
                             (i & 2) ? box.extents.y : -box.extents.y,
                             (i & 4) ? box.extents.z : -box.extents.z};
        points[i] = box.rot * corner + box.center;
    }
    return true;
}

const uint32_t* UtilLib::NxGetBoxTriangles() const
{
    static const uint32_t triangles[36] = {0, 2, 1, 1, 2, 3, 4, 5, 6, 5, 7, 6, 0, 4, 2, 2, 4, 6,
                                           1, 3, 5, 3, 7, 5, 0, 1, 4, 1, 5, 4, 2, 6, 3, 3, 6, 7};
    return triangles;
}

PhysicsSDK* NxCreatePhysicsSDK(uint32_t sdkVersion, SDKCreateError* errorCode)
{
    const bool known = sdkVersion == NX_PHYSICS_SDK_VERSION;
    if (errorCode)
        *errorCode = known ? NXCE_NO_ERROR : NXCE_WRONG_VERSION;
    return known ? std::make_unique<PhysicsSDK>().release() : nullptr;
}

CookingInterface* NxGetCookingLib(uint32_t sdkVersion)
{
    static CookingInterface cooking;
    return sdkVersion == NX_PHYSICS_SDK_VERSION ? &cooking : nullptr;
}

UserAllocator* NxGetPhysicsSDKAllocator()
{
    static HeapAllocator allocator;
    return &allocator;
}

UtilLib* NxGetUtilLib()
{
    static UtilLib library;
    return &library;
}

std::span<const LibraryExport> LoaderLibraryExports()
{
    static const LibraryExport exports[] = {
        {"NxCreatePhysicsSDK", reinterpret_cast<void*>(&NxCreatePhysicsSDK)},
        {"NxGetCookingLib", reinterpret_cast<void*>(&NxGetCookingLib)},
        {"NxGetPhysicsSDKAllocator", reinterpret_cast<void*>(&NxGetPhysicsSDKAllocator)},
        {"NxGetUtilLib", reinterpret_cast<void*>(&NxGetUtilLib)},
    };
    return exports;
}

} // namespace physx
