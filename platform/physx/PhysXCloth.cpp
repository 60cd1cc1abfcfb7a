#include "physx/PhysXCooking.h"
#include "physx/PhysXWorld.h"

#include <BulletCollision/NarrowPhaseCollision/btGjkEpa2.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

namespace physx
{

namespace
{

float Unit(float value)
{
    return std::clamp(value, 0.0f, 1.0f);
}

uint64_t EdgeKey(int a, int b)
{
    return (uint64_t(uint32_t(std::min(a, b))) << 32) | uint32_t(std::max(a, b));
}

// The cloth's triangles over its nodes, leaving out those that welding collapsed.
std::vector<std::array<int, 3>> NodeTriangles(const ClothMesh& mesh)
{
    std::vector<std::array<int, 3>> faces;
    for (size_t i = 0; i + 2 < mesh.indices.size(); i += 3)
    {
        const std::array<int, 3> face = {int(mesh.vertexNodes[mesh.indices[i]]),
                                         int(mesh.vertexNodes[mesh.indices[i + 1]]),
                                         int(mesh.vertexNodes[mesh.indices[i + 2]])};
        if (face[0] != face[1] && face[1] != face[2] && face[0] != face[2])
            faces.push_back(face);
    }
    return faces;
}

float Area(const ClothMesh& mesh, const std::vector<std::array<int, 3>>& faces)
{
    float area = 0.0f;
    for (const auto& f : faces)
    {
        const Vec3 n = (mesh.nodes[f[1]] - mesh.nodes[f[0]]).cross(mesh.nodes[f[2]] - mesh.nodes[f[0]]);
        area += 0.5f * std::sqrt(n.dot(n));
    }
    return area;
}

// Links along every edge, and with bending, across every pair of triangles sharing an edge.
void AddLinks(btSoftBody& body, const std::vector<std::array<int, 3>>& faces, btSoftBody::Material* bending)
{
    std::unordered_set<uint64_t> links;
    std::unordered_map<uint64_t, int> opposite; // edge -> the third node of its first triangle
    const auto link = [&](int a, int b, btSoftBody::Material* material)
    {
        if (links.insert(EdgeKey(a, b)).second)
            body.appendLink(a, b, material);
    };
    for (const auto& f : faces)
        for (int k = 0; k < 3; ++k)
            link(f[k], f[(k + 1) % 3], body.m_materials[0]);
    if (!bending)
        return;
    for (const auto& f : faces)
        for (int k = 0; k < 3; ++k)
        {
            const int third = f[(k + 2) % 3];
            const auto [it, first] = opposite.try_emplace(EdgeKey(f[k], f[(k + 1) % 3]), third);
            if (!first && it->second != third)
                link(it->second, third, bending);
        }
}

void WriteVec3(void* begin, uint32_t stride, uint32_t index, const btVector3& value)
{
    const float xyz[3] = {value.x(), value.y(), value.z()};
    std::memcpy(static_cast<uint8_t*>(begin) + size_t(index) * stride, xyz, sizeof(xyz));
}

} // namespace

Cloth::Cloth(Scene& owner, const ClothDesc& desc)
    : scene(owner), mesh(*desc.clothMesh), meshData(desc.meshData), group(desc.collisionGroup),
      thickness(desc.thickness), attachmentResponse(Unit(desc.attachmentResponseCoefficient)),
      damping((desc.flags & NX_CLF_DAMPING) ? Unit(desc.dampingCoefficient) : 0.0f)
{
    const auto faces = NodeTriangles(mesh);
    const float area = Area(mesh, faces);
    if (faces.empty() || !(area > 0.0f) || !std::isfinite(area))
        return;
    Scene::World& world = scene.world();
    const btTransform pose = ToBullet(desc.globalPose);
    std::vector<btVector3> positions;
    for (const Vec3& node : mesh.nodes)
        positions.push_back(pose * ToBullet(node));
    btSoftBodyWorldInfo& info =
        (desc.flags & NX_CLF_GRAVITY) ? world.dynamics.getWorldInfo() : world.weightless;
    body = std::make_unique<btSoftBody>(&info, int(positions.size()), positions.data(), nullptr);
    body->m_materials[0]->m_kLST = Unit(desc.stretchingStiffness);
    btSoftBody::Material* bending = nullptr;
    if (desc.flags & NX_CLF_BENDING)
    {
        bending = body->appendMaterial();
        bending->m_kLST = Unit(desc.bendingStiffness);
    }
    AddLinks(*body, faces, bending);
    for (const auto& f : faces)
        body->appendFace(f[0], f[1], f[2]);
    body->m_cfg.kDF = Unit(desc.friction);
    body->m_cfg.kPR = (desc.flags & NX_CLF_PRESSURE) ? desc.pressure : 0.0f;
    body->m_cfg.piterations = int(std::clamp(desc.solverIterations, 1u, 100u));
    body->getCollisionShape()->setMargin(std::max(thickness, 0.001f));
    body->setTotalMass(desc.density * area, true);
    body->setUserPointer(this);
    body->setUserIndex(kClothObject);
    world.dynamics.addSoftBody(body.get());
    ++mesh.references;
}

Cloth::~Cloth()
{
    if (!body)
        return;
    scene.world().dynamics.removeSoftBody(body.get());
    --mesh.references;
}

void Cloth::setGroup(uint16_t value)
{
    if (value >= 32 || value == group)
        return;
    group = value;
    scene.world().Refilter(*body);
}

void Cloth::putToSleep()
{
    body->setVelocity(btVector3(0.0f, 0.0f, 0.0f));
    body->setActivationState(ISLAND_SLEEPING);
}

void Cloth::wakeUp(float)
{
    body->activate(true);
}

bool Cloth::isSleeping() const
{
    return body->getActivationState() == ISLAND_SLEEPING;
}

uint32_t Cloth::getNumberOfParticles() const
{
    return uint32_t(body->m_nodes.size());
}

void Cloth::attachToCollidingShapes(uint32_t attachmentFlags)
{
    const btScalar influence = (attachmentFlags & NX_CLOTH_ATTACHMENT_TWOWAY) ? attachmentResponse : 0.0f;
    for (const auto& actor : scene.actors)
        for (const Shape* shape : actor->solids)
        {
            if (shape->type == NX_SHAPE_MESH)
                continue;
            const auto* convex = static_cast<const btConvexShape*>(shape->collisionShape);
            const btTransform pose = shape->WorldTransform();
            btVector3 low, high;
            convex->getAabb(pose, low, high);
            const btVector3 reach(thickness, thickness, thickness);
            for (int i = 0; i < body->m_nodes.size(); ++i)
            {
                const btVector3& x = body->m_nodes[i].m_x;
                if (body->m_nodes[i].m_battach || !TestPointAgainstAabb2(low - reach, high + reach, x))
                    continue;
                btGjkEpaSolver2::sResults result;
                if (btGjkEpaSolver2::SignedDistance(x, 0.0f, convex, pose, result) <= thickness)
                    body->appendAnchor(i, actor->body.get(), true, influence);
            }
        }
}

void Cloth::Detach(const btRigidBody& rigid)
{
    for (int i = body->m_anchors.size() - 1; i >= 0; --i)
        if (body->m_anchors[i].m_body == &rigid)
        {
            body->m_anchors[i].m_node->m_battach = 0;
            body->m_anchors.swap(i, body->m_anchors.size() - 1);
            body->m_anchors.pop_back();
        }
    body->m_collisionDisabledObjects.remove(&rigid);
}

void Cloth::Damp()
{
    if (damping == 0.0f || !body->isActive())
        return;
    btVector3 momentum(0.0f, 0.0f, 0.0f);
    btScalar mass = 0.0f;
    for (int i = 0; i < body->m_nodes.size(); ++i)
    {
        const btSoftBody::Node& node = body->m_nodes[i];
        const btScalar nodeMass = node.m_im > 0.0f ? 1.0f / node.m_im : 0.0f;
        momentum += node.m_v * nodeMass;
        mass += nodeMass;
    }
    const btVector3 mean = mass > 0.0f ? momentum / mass : momentum;
    for (int i = 0; i < body->m_nodes.size(); ++i)
        body->m_nodes[i].m_v = mean + (body->m_nodes[i].m_v - mean) * (1.0f - damping);
}

void Cloth::WriteMeshData() const
{
    const btSoftBody::tNodeArray& nodes = body->m_nodes;
    std::vector<btVector3> normals(size_t(nodes.size()), btVector3(0.0f, 0.0f, 0.0f));
    for (int i = 0; i < body->m_faces.size(); ++i)
    {
        const btSoftBody::Face& face = body->m_faces[i];
        const btVector3 n = (face.m_n[1]->m_x - face.m_n[0]->m_x).cross(face.m_n[2]->m_x - face.m_n[0]->m_x);
        for (const btSoftBody::Node* node : face.m_n)
            normals[size_t(node - &nodes[0])] += n;
    }
    const uint32_t vertices = std::min(uint32_t(mesh.vertexNodes.size()), meshData.maxVertices);
    for (uint32_t v = 0; v < vertices; ++v)
    {
        const uint32_t node = mesh.vertexNodes[v];
        if (meshData.verticesPosBegin)
            WriteVec3(meshData.verticesPosBegin, meshData.verticesPosByteStride, v, nodes[int(node)].m_x);
        if (meshData.verticesNormalBegin)
            WriteVec3(meshData.verticesNormalBegin, meshData.verticesNormalByteStride, v,
                      normals[node].fuzzyZero() ? normals[node] : normals[node].normalized());
    }
    if (meshData.numVerticesPtr)
        *meshData.numVerticesPtr = vertices;
    const bool shortIndices = meshData.flags & NX_MDF_16_BIT_INDICES;
    const bool fits = !shortIndices || mesh.vertexNodes.size() <= 0x10000;
    const uint32_t indices = fits && meshData.indicesBegin
                                 ? std::min(uint32_t(mesh.indices.size()), meshData.maxIndices / 3 * 3)
                                 : 0;
    auto* out = static_cast<uint8_t*>(meshData.indicesBegin);
    for (uint32_t i = 0; i < indices; ++i, out += meshData.indicesByteStride)
    {
        if (shortIndices)
        {
            const uint16_t index = uint16_t(mesh.indices[i]);
            std::memcpy(out, &index, sizeof(index));
        }
        else
            std::memcpy(out, &mesh.indices[i], sizeof(uint32_t));
    }
    if (meshData.numIndicesPtr)
        *meshData.numIndicesPtr = indices;
}

} // namespace physx
