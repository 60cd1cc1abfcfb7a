// Cloth: a soft body over a cooked cloth mesh. At every fetch the cloth writes its vertices'
// positions and normals, in the source mesh's vertex order, and the source triangles into the
// caller's receive buffers (MeshData), with the counts it wrote.
#pragma once

#include "physx/PhysXTypes.h"

#include <memory>

class btRigidBody;
class btSoftBody;

namespace physx
{

class Scene;
struct ClothMesh;

// Where a cloth writes its results. Positions and normals are three floats at the given byte
// strides; indices are 16-bit with NX_MDF_16_BIT_INDICES, else 32-bit. At most maxVertices
// vertices and maxIndices indices are written (whole triangles only).
struct MeshData
{
    void* verticesPosBegin = nullptr;
    void* verticesNormalBegin = nullptr;
    uint32_t verticesPosByteStride = 0;
    uint32_t verticesNormalByteStride = 0;
    uint32_t maxVertices = 0;
    uint32_t* numVerticesPtr = nullptr;
    void* indicesBegin = nullptr;
    uint32_t indicesByteStride = 0;
    uint32_t maxIndices = 0;
    uint32_t* numIndicesPtr = nullptr;
    uint32_t flags = 0; // MeshDataFlags bits
};

struct ClothDesc
{
    Mat34 globalPose;
    float thickness = 0.01f;          // collision distance around the cloth
    float density = 1.0f;             // mass per area
    float bendingStiffness = 1.0f;    // 0 to 1, with NX_CLF_BENDING
    float stretchingStiffness = 1.0f; // 0 to 1
    float dampingCoefficient = 0.5f;  // 0 to 1, with NX_CLF_DAMPING: of the motion relative to the cloth
    float friction = 0.5f;            // 0 to 1
    float pressure = 1.0f;            // with NX_CLF_PRESSURE
    float attachmentResponseCoefficient = 0.2f; // how hard a two-way attachment pulls its shape
    uint32_t solverIterations = 5;
    uint16_t collisionGroup = 0; // 0 to 31
    uint32_t flags = NX_CLF_GRAVITY;
    ClothMesh* clothMesh = nullptr;
    MeshData meshData;
};

class Cloth
{
public:
    Scene& getScene() const { return scene; }
    // Groups are 0 to 31; another value leaves the group as it was.
    void setGroup(uint16_t group);
    uint16_t getGroup() const { return group; }
    void putToSleep();
    void wakeUp(float counter = NX_SLEEP_INTERVAL);
    bool isSleeping() const;
    // Fixes every cloth vertex that lies within the thickness of a box, sphere or capsule of an
    // actor to that shape; with NX_CLOTH_ATTACHMENT_TWOWAY the cloth also pulls on it.
    void attachToCollidingShapes(uint32_t attachmentFlags);
    uint32_t getNumberOfParticles() const;

    void* userData = nullptr;

    Cloth(Scene& scene, const ClothDesc& desc);
    ~Cloth();
    Cloth(const Cloth&) = delete;
    Cloth& operator=(const Cloth&) = delete;

private:
    friend class Scene;

    // After a step: with NX_CLF_DAMPING, the nodes' motion relative to the whole cloth slows.
    void Damp();
    // Writes positions, normals and triangles into the receive buffers.
    void WriteMeshData() const;
    // Lets go of the body: its anchors go, and the cloth may touch it again.
    void Detach(const btRigidBody& body);

    Scene& scene;
    ClothMesh& mesh;
    MeshData meshData;
    uint16_t group;
    float thickness;
    float attachmentResponse;
    float damping; // share of the relative motion taken away per step
    std::unique_ptr<btSoftBody> body;
};

} // namespace physx
