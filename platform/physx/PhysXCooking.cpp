#include "physx/PhysXCooking.h"

#include <BulletCollision/Gimpact/btGImpactShape.h>
#include <btBulletCollisionCommon.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

namespace physx
{

static_assert(sizeof(Vec3) == 3 * sizeof(float), "vertices are handed to Bullet as packed floats");

namespace
{

constexpr uint32_t kTriangleMeshMagic = 0x4D545642; // "BVTM"
constexpr uint32_t kClothMeshMagic = 0x4D544C43;    // "CLTM"
constexpr uint32_t kFormatVersion = 1;
constexpr float kQuantizedRange = 65533.0f; // Bullet's span of quantised coordinates

int cookingUsers = 0;

void StoreVec3(Stream& stream, const Vec3& v)
{
    stream.storeFloat(v.x).storeFloat(v.y).storeFloat(v.z);
}

Vec3 ReadVec3(Stream& stream)
{
    Vec3 v;
    v.x = stream.readFloat();
    v.y = stream.readFloat();
    v.z = stream.readFloat();
    return v;
}

void StoreDwords(Stream& stream, const std::vector<uint32_t>& values)
{
    for (const uint32_t value : values)
        stream.storeDword(value);
}

// Reads `count` values with readOne, stopping at the first that fails the check or the stream.
template <typename T, typename Read, typename Check>
bool ReadEach(Stream& stream, uint32_t count, std::vector<T>& out, Read readOne, Check check)
{
    out.clear();
    out.reserve(std::min<uint32_t>(count, 4096));
    for (uint32_t i = 0; i < count; ++i)
    {
        const T value = readOne(stream);
        if (stream.failed() || !check(value))
            return false;
        out.push_back(value);
    }
    return true;
}

bool ReadVertices(Stream& stream, uint32_t count, std::vector<Vec3>& out)
{
    return ReadEach(stream, count, out, ReadVec3, [](const Vec3& v) { return v.isFinite(); });
}

bool ReadIndices(Stream& stream, uint32_t count, uint32_t limit, std::vector<uint32_t>& out)
{
    return ReadEach(
        stream, count, out, [](Stream& s) { return s.readDword(); },
        [limit](uint32_t index) { return index < limit; });
}

// Bullet's view of a vertex and index list (three indices per triangle).
std::unique_ptr<btTriangleIndexVertexArray> MeshArray(std::vector<Vec3>& points,
                                                      std::vector<uint32_t>& indices)
{
    return std::make_unique<btTriangleIndexVertexArray>(
        static_cast<int>(indices.size() / 3), reinterpret_cast<int*>(indices.data()),
        3 * int(sizeof(uint32_t)), static_cast<int>(points.size()), &points.data()->x, int(sizeof(Vec3)));
}

// Vertices closer than `distance` share a node: node positions, and each vertex's node.
void Weld(const std::vector<Vec3>& points, float distance, std::vector<Vec3>& nodes,
          std::vector<uint32_t>& vertexNodes)
{
    nodes.clear();
    vertexNodes.resize(points.size());
    if (!(distance > 0.0f))
    {
        nodes = points;
        for (uint32_t i = 0; i < points.size(); ++i)
            vertexNodes[i] = i;
        return;
    }
    // Nodes by grid cell of the welding distance; a match lies in the cell or a neighbour.
    const auto cellOf = [distance](float value)
    { return static_cast<int64_t>(std::clamp(std::floor(double(value) / distance), -1e12, 1e12)); };
    const auto key = [](int64_t x, int64_t y, int64_t z)
    { return uint64_t(x) * 73856093u ^ uint64_t(y) * 19349663u ^ uint64_t(z) * 83492791u; };
    std::unordered_multimap<uint64_t, uint32_t> cells;
    for (uint32_t i = 0; i < points.size(); ++i)
    {
        const Vec3& p = points[i];
        const int64_t cx = cellOf(p.x), cy = cellOf(p.y), cz = cellOf(p.z);
        uint32_t found = UINT32_MAX;
        for (int64_t dx = -1; dx <= 1 && found == UINT32_MAX; ++dx)
            for (int64_t dy = -1; dy <= 1 && found == UINT32_MAX; ++dy)
                for (int64_t dz = -1; dz <= 1 && found == UINT32_MAX; ++dz)
                {
                    const auto range = cells.equal_range(key(cx + dx, cy + dy, cz + dz));
                    for (auto it = range.first; it != range.second; ++it)
                    {
                        const Vec3 d = nodes[it->second] - p;
                        if (d.dot(d) <= distance * distance)
                        {
                            found = it->second;
                            break;
                        }
                    }
                }
        if (found == UINT32_MAX)
        {
            found = static_cast<uint32_t>(nodes.size());
            nodes.push_back(p);
            cells.emplace(key(cx, cy, cz), found);
        }
        vertexNodes[i] = found;
    }
}

} // namespace

bool GatherMesh(const SimpleTriangleMesh& desc, std::vector<Vec3>& points, std::vector<uint32_t>& indices)
{
    const uint32_t indexSize = (desc.flags & NX_MF_16_BIT_INDICES) ? 2 : 4;
    if (desc.numVertices == 0 || desc.numTriangles == 0 || desc.numVertices > kMaxCookedVertices ||
        desc.numTriangles > kMaxCookedTriangles || !desc.points || !desc.triangles ||
        desc.pointStrideBytes < sizeof(Vec3) || desc.triangleStrideBytes < 3 * indexSize)
        return false;
    const auto* pointBytes = static_cast<const uint8_t*>(desc.points);
    points.resize(desc.numVertices);
    for (uint32_t i = 0; i < desc.numVertices; ++i)
    {
        std::memcpy(&points[i], pointBytes + size_t(i) * desc.pointStrideBytes, sizeof(Vec3));
        if (!points[i].isFinite())
            return false;
    }
    const auto* triangleBytes = static_cast<const uint8_t*>(desc.triangles);
    indices.resize(size_t(desc.numTriangles) * 3);
    for (size_t i = 0; i < indices.size(); ++i)
    {
        const uint8_t* at = triangleBytes + (i / 3) * desc.triangleStrideBytes + (i % 3) * indexSize;
        if (indexSize == 2)
        {
            uint16_t index;
            std::memcpy(&index, at, 2);
            indices[i] = index;
        }
        else
            std::memcpy(&indices[i], at, 4);
        if (indices[i] >= desc.numVertices)
            return false;
    }
    return true;
}

// Bullet's quantised tree, written and read node by node so that every link is checked before
// Bullet walks it.
struct TriangleMesh::Tree : btOptimizedBvh
{
    // Builds the tree over the mesh as a static mesh shape would.
    void Build(btTriangleIndexVertexArray& array)
    {
        const btBvhTriangleMeshShape bounds(&array, true, false);
        build(&array, true, bounds.getLocalAabbMin(), bounds.getLocalAabbMax());
    }

    void Store(Stream& stream) const
    {
        for (const btVector3* v : {&m_bvhAabbMin, &m_bvhAabbMax, &m_bvhQuantization})
            StoreVec3(stream, {v->x(), v->y(), v->z()});
        stream.storeDword(static_cast<uint32_t>(m_curNodeIndex));
        for (int i = 0; i < m_curNodeIndex; ++i)
        {
            const btQuantizedBvhNode& node = m_quantizedContiguousNodes[i];
            for (const unsigned short value : node.m_quantizedAabbMin)
                stream.storeWord(value);
            for (const unsigned short value : node.m_quantizedAabbMax)
                stream.storeWord(value);
            stream.storeDword(static_cast<uint32_t>(node.m_escapeIndexOrTriangleIndex));
        }
    }

    bool Read(Stream& stream, const std::vector<Vec3>& points, const std::vector<uint32_t>& indices)
    {
        const Vec3 low = ReadVec3(stream), high = ReadVec3(stream), scale = ReadVec3(stream);
        const uint32_t triangles = static_cast<uint32_t>(indices.size() / 3);
        if (stream.failed() || !ValidQuantization(low, high, scale) ||
            stream.readDword() != 2 * triangles - 1)
            return false;
        m_useQuantization = true;
        m_bvhAabbMin.setValue(low.x, low.y, low.z);
        m_bvhAabbMax.setValue(high.x, high.y, high.z);
        m_bvhQuantization.setValue(scale.x, scale.y, scale.z);
        m_curNodeIndex = static_cast<int>(2 * triangles - 1);
        m_quantizedContiguousNodes.resize(m_curNodeIndex);
        for (int i = 0; i < m_curNodeIndex; ++i)
        {
            btQuantizedBvhNode& node = m_quantizedContiguousNodes[i];
            for (unsigned short& value : node.m_quantizedAabbMin)
                value = stream.readWord();
            for (unsigned short& value : node.m_quantizedAabbMax)
                value = stream.readWord();
            node.m_escapeIndexOrTriangleIndex = static_cast<int32_t>(stream.readDword());
            if (stream.failed())
                return false;
        }
        return ValidTree(points, indices);
    }

private:
    // Bounds that are finite and apart on every axis, with the scale Bullet gives them.
    static bool ValidQuantization(const Vec3& low, const Vec3& high, const Vec3& scale)
    {
        const float lows[] = {low.x, low.y, low.z}, highs[] = {high.x, high.y, high.z};
        const float scales[] = {scale.x, scale.y, scale.z};
        for (int axis = 0; axis < 3; ++axis)
        {
            const float span = highs[axis] - lows[axis];
            if (!std::isfinite(span) || !(span > 0.0f) || !std::isfinite(scales[axis]))
                return false;
            const float expected = kQuantizedRange / span;
            if (!(std::fabs(scales[axis] - expected) <= expected * 1e-5f))
                return false;
        }
        return true;
    }

    // The nodes, read from the root, form a full binary tree in which every triangle is one
    // leaf, each node's bounds enclose its children's and each leaf's bounds its triangle's.
    bool ValidTree(const std::vector<Vec3>& points, const std::vector<uint32_t>& indices) const
    {
        const int64_t count = m_curNodeIndex;
        const auto span = [this](int64_t index)
        {
            const int64_t value = m_quantizedContiguousNodes[int(index)].m_escapeIndexOrTriangleIndex;
            return value >= 0 ? int64_t(1) : -value;
        };
        std::vector<bool> seen(indices.size() / 3, false);
        std::vector<std::pair<int64_t, int64_t>> open{{0, count}}; // subtrees as [first, end)
        while (!open.empty())
        {
            const auto [first, end] = open.back();
            open.pop_back();
            const btQuantizedBvhNode& node = m_quantizedContiguousNodes[int(first)];
            if (span(first) != end - first)
                return false;
            if (node.isLeafNode())
            {
                const uint32_t triangle = static_cast<uint32_t>(node.m_escapeIndexOrTriangleIndex);
                if (triangle >= seen.size() || seen[triangle] ||
                    !LeafHolds(node, points, &indices[3 * triangle]))
                    return false;
                seen[triangle] = true;
                continue;
            }
            const int64_t left = first + 1;
            if (end - left < 2)
                return false;
            const int64_t right = left + span(left);
            if (right >= end || !Encloses(node, m_quantizedContiguousNodes[int(left)]) ||
                !Encloses(node, m_quantizedContiguousNodes[int(right)]))
                return false;
            open.emplace_back(left, right);
            open.emplace_back(right, end);
        }
        return true; // a full binary tree of 2n - 1 nodes has n leaves, each triangle seen once
    }

    static bool Encloses(const btQuantizedBvhNode& outer, const btQuantizedBvhNode& inner)
    {
        for (int axis = 0; axis < 3; ++axis)
            if (outer.m_quantizedAabbMin[axis] > inner.m_quantizedAabbMin[axis] ||
                outer.m_quantizedAabbMax[axis] < inner.m_quantizedAabbMax[axis])
                return false;
        return true;
    }

    bool LeafHolds(const btQuantizedBvhNode& leaf, const std::vector<Vec3>& points,
                   const uint32_t* corner) const
    {
        btVector3 low(BT_LARGE_FLOAT, BT_LARGE_FLOAT, BT_LARGE_FLOAT), high = -low;
        for (int k = 0; k < 3; ++k)
        {
            const Vec3& p = points[corner[k]];
            low.setMin(btVector3(p.x, p.y, p.z));
            high.setMax(btVector3(p.x, p.y, p.z));
        }
        btQuantizedBvhNode triangle;
        quantizeWithClamp(triangle.m_quantizedAabbMin, low, 0);
        quantizeWithClamp(triangle.m_quantizedAabbMax, high, 1);
        return Encloses(leaf, triangle);
    }
};

TriangleMesh::TriangleMesh(std::vector<Vec3> points_, std::vector<uint32_t> indices_,
                           std::unique_ptr<Tree> tree_)
    : points(std::move(points_)), indices(std::move(indices_)), array(MeshArray(points, indices)),
      tree(std::move(tree_)), staticShape(std::make_unique<btBvhTriangleMeshShape>(array.get(), true, false))
{
    staticShape->setOptimizedBvh(tree.get());
}

TriangleMesh::~TriangleMesh() = default;

btGImpactMeshShape& TriangleMesh::DynamicShape()
{
    if (!dynamicShape)
    {
        dynamicShape = std::make_unique<btGImpactMeshShape>(array.get());
        dynamicShape->updateBound();
    }
    return *dynamicShape;
}

std::unique_ptr<TriangleMesh> ReadTriangleMesh(Stream& stream)
{
    if (stream.readDword() != kTriangleMeshMagic || stream.readDword() != kFormatVersion)
        return nullptr;
    const uint32_t vertexCount = stream.readDword(), triangleCount = stream.readDword();
    if (stream.failed() || vertexCount == 0 || vertexCount > kMaxCookedVertices || triangleCount == 0 ||
        triangleCount > kMaxCookedTriangles)
        return nullptr;
    std::vector<Vec3> points;
    std::vector<uint32_t> indices;
    auto tree = std::make_unique<TriangleMesh::Tree>();
    if (!ReadVertices(stream, vertexCount, points) ||
        !ReadIndices(stream, 3 * triangleCount, vertexCount, indices) || !tree->Read(stream, points, indices))
        return nullptr;
    return std::make_unique<TriangleMesh>(std::move(points), std::move(indices), std::move(tree));
}

std::unique_ptr<ClothMesh> ReadClothMesh(Stream& stream)
{
    if (stream.readDword() != kClothMeshMagic || stream.readDword() != kFormatVersion)
        return nullptr;
    const uint32_t vertexCount = stream.readDword(), nodeCount = stream.readDword();
    const uint32_t triangleCount = stream.readDword();
    if (stream.failed() || vertexCount == 0 || vertexCount > kMaxCookedVertices || nodeCount == 0 ||
        nodeCount > vertexCount || triangleCount == 0 || triangleCount > kMaxCookedTriangles)
        return nullptr;
    auto mesh = std::make_unique<ClothMesh>();
    if (!ReadVertices(stream, nodeCount, mesh->nodes) ||
        !ReadIndices(stream, vertexCount, nodeCount, mesh->vertexNodes) ||
        !ReadIndices(stream, 3 * triangleCount, vertexCount, mesh->indices))
        return nullptr;
    return mesh;
}

bool NxInitCooking()
{
    ++cookingUsers;
    return true;
}

void NxCloseCooking()
{
    if (cookingUsers > 0)
        --cookingUsers;
}

bool NxSetCookingParams(const CookingParams& params)
{
    return params.skinWidth >= 0.0f;
}

bool NxCookTriangleMesh(const TriangleMeshDesc& desc, Stream& stream)
{
    std::vector<Vec3> points;
    std::vector<uint32_t> indices;
    if (cookingUsers == 0 || !GatherMesh(desc, points, indices))
        return false;
    const auto array = MeshArray(points, indices);
    TriangleMesh::Tree tree;
    tree.Build(*array);
    stream.storeDword(kTriangleMeshMagic).storeDword(kFormatVersion);
    stream.storeDword(desc.numVertices).storeDword(desc.numTriangles);
    for (const Vec3& p : points)
        StoreVec3(stream, p);
    StoreDwords(stream, indices);
    tree.Store(stream);
    return !stream.failed();
}

bool NxCookClothMesh(const ClothMeshDesc& desc, Stream& stream)
{
    std::vector<Vec3> points;
    std::vector<uint32_t> indices;
    if (cookingUsers == 0 || !GatherMesh(desc, points, indices))
        return false;
    std::vector<Vec3> nodes;
    std::vector<uint32_t> vertexNodes;
    Weld(points, (desc.flags & NX_CLOTH_MESH_WELD_VERTICES) ? desc.weldingDistance : 0.0f, nodes,
         vertexNodes);
    stream.storeDword(kClothMeshMagic).storeDword(kFormatVersion);
    stream.storeDword(desc.numVertices).storeDword(static_cast<uint32_t>(nodes.size()));
    stream.storeDword(desc.numTriangles);
    for (const Vec3& p : nodes)
        StoreVec3(stream, p);
    StoreDwords(stream, vertexNodes);
    StoreDwords(stream, indices);
    return !stream.failed();
}

std::span<const LibraryExport> CookingLibraryExports()
{
    static const LibraryExport exports[] = {
        {"NxInitCooking", reinterpret_cast<void*>(&NxInitCooking)},
        {"NxCloseCooking", reinterpret_cast<void*>(&NxCloseCooking)},
        {"NxSetCookingParams", reinterpret_cast<void*>(&NxSetCookingParams)},
        {"NxCookTriangleMesh", reinterpret_cast<void*>(&NxCookTriangleMesh)},
    };
    return exports;
}

} // namespace physx
