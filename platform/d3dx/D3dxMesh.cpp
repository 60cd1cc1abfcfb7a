#include "d3dx/D3dxMesh.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <numeric>
#include <tuple>
#include <unordered_map>

namespace d3dx
{

using d3d9::D3D_OK;
using d3d9::D3DERR_INVALIDCALL;

namespace
{

// The largest buffer a mesh may ask for; larger counts are refused as out of memory.
constexpr uint64_t maxBufferBytes = uint64_t(1) << 30;
constexpr uint32_t maxShortIndexVertices = 0xFFFF;

Vector3 ReadVector3(const uint8_t* bytes)
{
    Vector3 v;
    std::memcpy(&v, bytes, sizeof v);
    return v;
}

bool IsFloatType(uint8_t type)
{
    return type <= d3d9::D3DDECLTYPE_FLOAT4;
}

// The elements of a declaration fit for a mesh: valid for the device layer, with a position of
// three floats.
bool MeshDeclaration(const VertexElement* declaration, std::vector<VertexElement>& elements)
{
    if (!d3d9::DeclarationElements(declaration, elements))
    {
        return false;
    }
    const VertexElement* position = d3d9::FindElement(elements, d3d9::D3DDECLUSAGE_POSITION, 0);
    return position && position->type == d3d9::D3DDECLTYPE_FLOAT3;
}

HRESULT MakeMesh(uint32_t faces, uint32_t vertices, uint32_t options, std::vector<VertexElement> elements,
                 d3d9::Device* device, Mesh** mesh)
{
    if (!mesh || faces == 0 || vertices == 0 ||
        (!(options & D3DXMESH_32BIT) && vertices > maxShortIndexVertices))
    {
        return D3DERR_INVALIDCALL;
    }
    const uint64_t indexBytes = uint64_t(faces) * 3 * ((options & D3DXMESH_32BIT) ? 4 : 2);
    if (uint64_t(vertices) * d3d9::VertexSize(elements) > maxBufferBytes || indexBytes > maxBufferBytes)
    {
        return E_OUTOFMEMORY;
    }
    *mesh = new Mesh(device, options, std::move(elements), faces, vertices);
    return D3D_OK;
}

// Sets of vertices joined one pair at a time; a set is named by its lowest vertex.
class VertexSets
{
public:
    explicit VertexSets(uint32_t count) : parent(count) { std::iota(parent.begin(), parent.end(), 0u); }
    uint32_t Find(uint32_t v)
    {
        while (parent[v] != v)
        {
            v = parent[v] = parent[parent[v]];
        }
        return v;
    }
    void Join(uint32_t a, uint32_t b)
    {
        const uint32_t ra = Find(a), rb = Find(b);
        parent[std::max(ra, rb)] = std::min(ra, rb);
    }

private:
    std::vector<uint32_t> parent;
};

// A grid cell of a coordinate for the epsilon search; non-finite coordinates share the
// outermost cell, where nothing is within epsilon of them anyway.
int64_t Cell(float coordinate, float epsilon)
{
    // Coordinates that are not finite share one cell beyond every finite one; its neighbours'
    // numbers stay far inside the int64 range.
    const double cell = std::floor(double(coordinate) / epsilon);
    return std::isfinite(cell) ? int64_t(std::clamp(cell, -1e15, 1e15)) : int64_t(4e15);
}

struct CellKey
{
    int64_t x, y, z;
    bool operator==(const CellKey&) const = default;
};

struct CellHash
{
    size_t operator()(const CellKey& key) const
    {
        return std::hash<uint64_t>()(uint64_t(key.x) * 73856093u ^ uint64_t(key.y) * 19349663u ^
                                     uint64_t(key.z) * 83492791u);
    }
};

} // namespace

Mesh::Mesh(d3d9::Device* device, uint32_t options, std::vector<VertexElement> declaration, uint32_t faces,
           uint32_t vertices)
    : device(device), options(options), declaration(std::move(declaration)),
      stride(d3d9::VertexSize(this->declaration)), faceCount(faces), vertexCount(vertices),
      vertices(size_t(vertices) * stride), indices(size_t(faces) * 3 * IndexSize()), attributes(faces)
{
}

Mesh::~Mesh()
{
    for (d3d9::Resource* resource :
         std::initializer_list<d3d9::Resource*>{deviceDeclaration, deviceVertices, deviceIndices})
    {
        if (resource)
        {
            resource->Release();
        }
    }
}

uint32_t Mesh::Release()
{
    const uint32_t left = --refs;
    if (left == 0)
    {
        delete this;
    }
    return left;
}

uint32_t Mesh::Index(uint32_t face, uint32_t corner) const
{
    const size_t at = (size_t(face) * 3 + corner) * IndexSize();
    if (IndexSize() == 4)
    {
        uint32_t value;
        std::memcpy(&value, &indices[at], 4);
        return value;
    }
    uint16_t value;
    std::memcpy(&value, &indices[at], 2);
    return value;
}

void Mesh::SetIndex(uint32_t face, uint32_t corner, uint32_t value)
{
    const size_t at = (size_t(face) * 3 + corner) * IndexSize();
    if (IndexSize() == 4)
    {
        std::memcpy(&indices[at], &value, 4);
        return;
    }
    const uint16_t narrow = uint16_t(value);
    std::memcpy(&indices[at], &narrow, 2);
}

bool Mesh::IndicesValid() const
{
    for (uint32_t face = 0; face < faceCount; ++face)
    {
        for (uint32_t corner = 0; corner < 3; ++corner)
        {
            if (Index(face, corner) >= vertexCount)
            {
                return false;
            }
        }
    }
    return true;
}

HRESULT Mesh::Lock(uint32_t flags, bool& locked, bool* changed, void* memory, void** data)
{
    if (locked || !data)
    {
        return D3DERR_INVALIDCALL;
    }
    locked = true;
    if (changed && !(flags & d3d9::D3DLOCK_READONLY))
    {
        *changed = true;
    }
    *data = memory;
    return D3D_OK;
}

HRESULT Mesh::Unlock(bool& locked)
{
    if (!locked)
    {
        return D3DERR_INVALIDCALL;
    }
    locked = false;
    return D3D_OK;
}

HRESULT Mesh::LockVertexBuffer(uint32_t flags, void** data)
{
    return Lock(flags, vertexLocked, &verticesChanged, vertices.data(), data);
}

HRESULT Mesh::UnlockVertexBuffer()
{
    return Unlock(vertexLocked);
}

HRESULT Mesh::LockIndexBuffer(uint32_t flags, void** data)
{
    return Lock(flags, indexLocked, &indicesChanged, indices.data(), data);
}

HRESULT Mesh::UnlockIndexBuffer()
{
    return Unlock(indexLocked);
}

HRESULT Mesh::LockAttributeBuffer(uint32_t flags, uint32_t** data)
{
    void* memory = nullptr;
    const HRESULT result = Lock(flags, attributeLocked, nullptr, attributes.data(), data ? &memory : nullptr);
    if (result == D3D_OK)
    {
        *data = static_cast<uint32_t*>(memory);
    }
    return result;
}

HRESULT Mesh::UnlockAttributeBuffer()
{
    return Unlock(attributeLocked);
}

HRESULT Mesh::GetAttributeTable(AttributeRange* out, uint32_t* size) const
{
    if (!size)
    {
        return D3DERR_INVALIDCALL;
    }
    if (out)
    {
        std::copy_n(table.begin(), std::min<size_t>(*size, table.size()), out);
    }
    *size = uint32_t(table.size());
    return D3D_OK;
}

HRESULT Mesh::SetAttributeTable(const AttributeRange* in, uint32_t size)
{
    if (size > 0 && !in)
    {
        return D3DERR_INVALIDCALL;
    }
    for (uint32_t i = 0; i < size; ++i)
    {
        if (uint64_t(in[i].faceStart) + in[i].faceCount > faceCount ||
            uint64_t(in[i].vertexStart) + in[i].vertexCount > vertexCount)
        {
            return D3DERR_INVALIDCALL;
        }
    }
    table.assign(in, in + size);
    return D3D_OK;
}

HRESULT Mesh::CloneMesh(uint32_t cloneOptions, const VertexElement* cloneDeclaration,
                        d3d9::Device* cloneDevice, Mesh** clone) const
{
    std::vector<VertexElement> elements;
    if (!clone || !MeshDeclaration(cloneDeclaration, elements))
    {
        return D3DERR_INVALIDCALL;
    }
    Mesh* made = nullptr;
    const HRESULT result = MakeMesh(faceCount, vertexCount, cloneOptions, elements, cloneDevice, &made);
    if (d3d9::Failed(result))
    {
        return result;
    }
    for (const VertexElement& target : made->declaration)
    {
        const VertexElement* source = d3d9::FindElement(declaration, target.usage, target.usageIndex);
        const bool copies = source && (source->type == target.type ||
                                       (IsFloatType(source->type) && IsFloatType(target.type)));
        if (!copies)
        {
            continue;
        }
        const uint32_t bytes = std::min(d3d9::DeclTypeSize(source->type), d3d9::DeclTypeSize(target.type));
        for (uint32_t v = 0; v < vertexCount; ++v)
        {
            std::memcpy(&made->vertices[size_t(v) * made->stride + target.offset],
                        &vertices[size_t(v) * stride + source->offset], bytes);
        }
    }
    for (uint32_t face = 0; face < faceCount; ++face)
    {
        for (uint32_t corner = 0; corner < 3; ++corner)
        {
            made->SetIndex(face, corner, Index(face, corner));
        }
    }
    made->attributes = attributes;
    made->table = table;
    *clone = made;
    return D3D_OK;
}

std::vector<uint32_t> Mesh::PositionReps(float epsilon) const
{
    const uint32_t positionOffset = d3d9::FindElement(declaration, d3d9::D3DDECLUSAGE_POSITION, 0)->offset;
    const auto position = [&](uint32_t v)
    { return ReadVector3(&vertices[size_t(v) * stride + positionOffset]); };
    VertexSets sets(vertexCount);
    // Cells twice epsilon wide: the neighbours of a vertex lie in at most two cells along each
    // axis, and mostly in its own. Each cell chains its vertices through `next`, newest first.
    constexpr uint32_t none = ~0u;
    std::unordered_map<CellKey, uint32_t, CellHash> grid;
    grid.reserve(vertexCount);
    std::vector<uint32_t> next(vertexCount, none);
    // Vertices at exactly one finite place have the same neighbours: each joins the first
    // there, and only that one is compared, so many vertices at one spot cost no more than one.
    std::unordered_map<CellKey, uint32_t, CellHash> places;
    places.reserve(vertexCount);
    const float cellSize = epsilon > 0.0f ? 2.0f * epsilon : 1.0f;
    // A little more than epsilon, so that rounding in the comparison below never reaches a
    // cell outside the range searched.
    const float reach = epsilon * 1.5f;
    for (uint32_t v = 0; v < vertexCount; ++v)
    {
        const Vector3 p = position(v);
        if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z))
        {
            const auto [place, first] = places.try_emplace(
                {std::bit_cast<uint32_t>(p.x), std::bit_cast<uint32_t>(p.y), std::bit_cast<uint32_t>(p.z)},
                v);
            if (!first)
            {
                sets.Join(v, place->second);
                continue;
            }
        }
        const CellKey low{Cell(p.x - reach, cellSize), Cell(p.y - reach, cellSize),
                          Cell(p.z - reach, cellSize)};
        const CellKey high{Cell(p.x + reach, cellSize), Cell(p.y + reach, cellSize),
                           Cell(p.z + reach, cellSize)};
        for (int64_t x = low.x; x <= high.x; ++x)
            for (int64_t y = low.y; y <= high.y; ++y)
                for (int64_t z = low.z; z <= high.z; ++z)
                {
                    const auto near = grid.find({x, y, z});
                    for (uint32_t other = near == grid.end() ? none : near->second; other != none;
                         other = next[other])
                    {
                        const Vector3 d = position(other) - p;
                        if (std::fabs(d.x) <= epsilon && std::fabs(d.y) <= epsilon &&
                            std::fabs(d.z) <= epsilon)
                        {
                            sets.Join(v, other);
                        }
                    }
                }
        const auto [cell, first] =
            grid.try_emplace({Cell(p.x, cellSize), Cell(p.y, cellSize), Cell(p.z, cellSize)}, v);
        if (!first)
        {
            next[v] = cell->second;
            cell->second = v;
        }
    }
    std::vector<uint32_t> reps(vertexCount);
    for (uint32_t v = 0; v < vertexCount; ++v)
    {
        reps[v] = sets.Find(v);
    }
    return reps;
}

HRESULT Mesh::GenerateAdjacency(float epsilon, uint32_t* adjacency) const
{
    if (!adjacency || !(epsilon >= 0.0f))
    {
        return D3DERR_INVALIDCALL;
    }
    if (!IndicesValid())
    {
        return D3DXERR_INVALIDMESH;
    }
    const std::vector<uint32_t> reps = PositionReps(epsilon);
    struct HalfEdge
    {
        uint32_t low, high;
        uint32_t slot; // face * 3 + edge
        bool rising;   // runs from low to high
    };
    std::vector<HalfEdge> edges;
    edges.reserve(size_t(faceCount) * 3);
    for (uint32_t face = 0; face < faceCount; ++face)
    {
        for (uint32_t edge = 0; edge < 3; ++edge)
        {
            adjacency[face * 3 + edge] = D3DX_NO_NEIGHBOUR;
            const uint32_t a = reps[Index(face, edge)], b = reps[Index(face, (edge + 1) % 3)];
            if (a != b)
            {
                edges.push_back({std::min(a, b), std::max(a, b), face * 3 + edge, a < b});
            }
        }
    }
    std::sort(edges.begin(), edges.end(),
              [](const HalfEdge& x, const HalfEdge& y)
              { return std::tie(x.low, x.high, x.slot) < std::tie(y.low, y.high, y.slot); });
    // Within one edge, the k-th face running one way meets the k-th running the other way.
    for (size_t first = 0; first < edges.size();)
    {
        size_t last = first;
        while (last < edges.size() && edges[last].low == edges[first].low &&
               edges[last].high == edges[first].high)
        {
            ++last;
        }
        std::vector<uint32_t> rising, falling;
        for (size_t i = first; i < last; ++i)
        {
            (edges[i].rising ? rising : falling).push_back(edges[i].slot);
        }
        for (size_t k = 0; k < std::min(rising.size(), falling.size()); ++k)
        {
            adjacency[rising[k]] = falling[k] / 3;
            adjacency[falling[k]] = rising[k] / 3;
        }
        first = last;
    }
    return D3D_OK;
}

HRESULT Mesh::ConvertAdjacencyToPointReps(const uint32_t* adjacency, uint32_t* pointReps) const
{
    if (!adjacency || !pointReps)
    {
        return D3DERR_INVALIDCALL;
    }
    if (!IndicesValid())
    {
        return D3DXERR_INVALIDMESH;
    }
    VertexSets sets(vertexCount);
    for (uint32_t face = 0; face < faceCount; ++face)
    {
        for (uint32_t edge = 0; edge < 3; ++edge)
        {
            const uint32_t other = adjacency[face * 3 + edge];
            if (other == D3DX_NO_NEIGHBOUR)
            {
                continue;
            }
            if (other >= faceCount)
            {
                return D3DERR_INVALIDCALL;
            }
            // The neighbour's edge back to this face runs the other way.
            for (uint32_t back = 0; back < 3; ++back)
            {
                if (adjacency[other * 3 + back] == face)
                {
                    sets.Join(Index(face, edge), Index(other, (back + 1) % 3));
                    sets.Join(Index(face, (edge + 1) % 3), Index(other, back));
                    break;
                }
            }
        }
    }
    for (uint32_t v = 0; v < vertexCount; ++v)
    {
        pointReps[v] = sets.Find(v);
    }
    return D3D_OK;
}

AttributeRange Mesh::WithVertexRange(AttributeRange range) const
{
    uint32_t low = UINT32_MAX, high = 0;
    for (uint32_t face = range.faceStart; face < range.faceStart + range.faceCount; ++face)
    {
        for (uint32_t corner = 0; corner < 3; ++corner)
        {
            low = std::min(low, Index(face, corner));
            high = std::max(high, Index(face, corner));
        }
    }
    range.vertexStart = range.faceCount ? low : 0;
    range.vertexCount = range.faceCount ? high - low + 1 : 0;
    return range;
}

std::vector<AttributeRange> Mesh::Runs() const
{
    std::vector<AttributeRange> runs;
    for (uint32_t face = 0; face < faceCount; ++face)
    {
        if (runs.empty() || runs.back().attribId != attributes[face])
        {
            runs.push_back({attributes[face], face, 0, 0, 0});
        }
        ++runs.back().faceCount;
    }
    for (AttributeRange& run : runs)
    {
        run = WithVertexRange(run);
    }
    return runs;
}

void Mesh::ReorderFaces(const std::vector<uint32_t>& order)
{
    std::vector<uint8_t> oldIndices = indices;
    const std::vector<uint32_t> oldAttributes = attributes;
    const size_t faceBytes = size_t(3) * IndexSize();
    for (size_t face = 0; face < order.size(); ++face)
    {
        std::memcpy(&indices[face * faceBytes], &oldIndices[order[face] * faceBytes], faceBytes);
        attributes[face] = oldAttributes[order[face]];
    }
}

void Mesh::ReorderVertices(const std::vector<uint32_t>& order)
{
    // The vertices are copied out to a scratch buffer kept between calls and back in order, so
    // no new buffer is made and cleared for every mesh.
    static thread_local std::vector<uint8_t> previous;
    previous.assign(vertices.begin(), vertices.end());
    vertices.resize(order.size() * stride);
    std::vector<uint32_t> newIndex(vertexCount, 0);
    for (size_t v = 0; v < order.size(); ++v)
    {
        std::memcpy(&vertices[v * stride], &previous[size_t(order[v]) * stride], stride);
        newIndex[order[v]] = uint32_t(v);
    }
    for (uint32_t face = 0; face < faceCount; ++face)
    {
        for (uint32_t corner = 0; corner < 3; ++corner)
        {
            SetIndex(face, corner, newIndex[Index(face, corner)]);
        }
    }
    vertexCount = uint32_t(order.size());
    for (AttributeRange& range : table)
    {
        range = WithVertexRange(range);
    }
}

HRESULT Mesh::OptimizeInplace(uint32_t flags, const uint32_t*)
{
    if (vertexLocked || indexLocked || attributeLocked)
    {
        return D3DERR_INVALIDCALL;
    }
    if (!IndicesValid())
    {
        return D3DXERR_INVALIDMESH;
    }
    if (flags & D3DXMESHOPT_ATTRSORT)
    {
        std::vector<uint32_t> order(faceCount);
        std::iota(order.begin(), order.end(), 0u);
        std::stable_sort(order.begin(), order.end(),
                         [&](uint32_t a, uint32_t b) { return attributes[a] < attributes[b]; });
        ReorderFaces(order);
        table = Runs();
    }
    if (flags & (D3DXMESHOPT_COMPACT | D3DXMESHOPT_VERTEXCACHE))
    {
        std::vector<bool> used(vertexCount, false);
        std::vector<uint32_t> order;
        for (uint32_t face = 0; face < faceCount; ++face)
        {
            for (uint32_t corner = 0; corner < 3; ++corner)
            {
                const uint32_t v = Index(face, corner);
                if (!used[v])
                {
                    used[v] = true;
                    order.push_back(v);
                }
            }
        }
        if (!(flags & D3DXMESHOPT_VERTEXCACHE))
        {
            std::sort(order.begin(), order.end());
        }
        for (uint32_t v = 0; v < vertexCount && !(flags & D3DXMESHOPT_COMPACT); ++v)
        {
            if (!used[v])
            {
                order.push_back(v);
            }
        }
        ReorderVertices(order);
    }
    verticesChanged = indicesChanged = true;
    return D3D_OK;
}

bool Mesh::Upload()
{
    if (!device)
    {
        return false;
    }
    if (!deviceDeclaration)
    {
        std::vector<VertexElement> elements = declaration;
        elements.push_back(d3d9::D3DDECL_END);
        if (d3d9::Failed(device->CreateVertexDeclaration(elements.data(), &deviceDeclaration)))
        {
            return false;
        }
    }
    const auto fill = [](auto* buffer, const std::vector<uint8_t>& data)
    {
        void* target = nullptr;
        if (d3d9::Failed(buffer->Lock(0, 0, &target, 0)))
        {
            return false;
        }
        std::memcpy(target, data.data(), data.size());
        return !d3d9::Failed(buffer->Unlock());
    };
    if (verticesChanged || !deviceVertices)
    {
        if (deviceVertices && deviceVertices->Length() != vertices.size())
        {
            deviceVertices->Release();
            deviceVertices = nullptr;
        }
        if ((!deviceVertices &&
             d3d9::Failed(device->CreateVertexBuffer(uint32_t(vertices.size()), 0, 0, d3d9::D3DPOOL_MANAGED,
                                                     &deviceVertices, nullptr))) ||
            !fill(deviceVertices, vertices))
        {
            return false;
        }
        verticesChanged = false;
        indicesChanged = true; // the vertex count the indices are checked against may have changed
    }
    if (indicesChanged || !deviceIndices)
    {
        const d3d9::Format format = IndexSize() == 4 ? d3d9::D3DFMT_INDEX32 : d3d9::D3DFMT_INDEX16;
        if ((!deviceIndices &&
             d3d9::Failed(device->CreateIndexBuffer(uint32_t(indices.size()), 0, format,
                                                    d3d9::D3DPOOL_MANAGED, &deviceIndices, nullptr))) ||
            !fill(deviceIndices, indices))
        {
            return false;
        }
        indicesChanged = false;
        drawable = IndicesValid();
    }
    return drawable;
}

HRESULT Mesh::DrawSubset(uint32_t attribId)
{
    if (!Upload())
    {
        return D3DERR_INVALIDCALL;
    }
    device->SetVertexDeclaration(deviceDeclaration);
    device->SetStreamSource(0, deviceVertices, 0, stride);
    device->SetIndices(deviceIndices);
    HRESULT result = D3D_OK;
    for (const AttributeRange& range : table.empty() ? Runs() : table)
    {
        if (range.attribId == attribId && range.faceCount > 0)
        {
            const HRESULT drawn =
                device->DrawIndexedPrimitive(d3d9::D3DPT_TRIANGLELIST, 0, range.vertexStart,
                                             range.vertexCount, range.faceStart * 3, range.faceCount);
            result = d3d9::Failed(drawn) ? drawn : result;
        }
    }
    return result;
}

HRESULT D3DXCreateMesh(uint32_t faces, uint32_t vertices, uint32_t options, const VertexElement* declaration,
                       d3d9::Device* device, Mesh** mesh)
{
    std::vector<VertexElement> elements;
    if (!MeshDeclaration(declaration, elements))
    {
        return D3DERR_INVALIDCALL;
    }
    return MakeMesh(faces, vertices, options, std::move(elements), device, mesh);
}

HRESULT D3DXCreateMeshFVF(uint32_t faces, uint32_t vertices, uint32_t options, uint32_t fvf,
                          d3d9::Device* device, Mesh** mesh)
{
    std::vector<VertexElement> elements = d3d9::FvfElements(fvf);
    elements.push_back(d3d9::D3DDECL_END);
    return D3DXCreateMesh(faces, vertices, options, elements.data(), device, mesh);
}

HRESULT D3DXComputeBoundingBox(const Vector3* firstPosition, uint32_t count, uint32_t stride, Vector3* min,
                               Vector3* max)
{
    if (!firstPosition || count == 0 || stride < sizeof(Vector3) || !min || !max)
    {
        return D3DERR_INVALIDCALL;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(firstPosition);
    Vector3 low = ReadVector3(bytes), high = low;
    for (uint32_t i = 1; i < count; ++i)
    {
        const Vector3 p = ReadVector3(bytes + size_t(i) * stride);
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    *min = low;
    *max = high;
    return D3D_OK;
}

HRESULT D3DXComputeBoundingSphere(const Vector3* firstPosition, uint32_t count, uint32_t stride,
                                  Vector3* center, float* radius)
{
    if (!firstPosition || count == 0 || stride < sizeof(Vector3) || !center || !radius)
    {
        return D3DERR_INVALIDCALL;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(firstPosition);
    double sum[3] = {};
    for (uint32_t i = 0; i < count; ++i)
    {
        const Vector3 p = ReadVector3(bytes + size_t(i) * stride);
        sum[0] += p.x;
        sum[1] += p.y;
        sum[2] += p.z;
    }
    const Vector3 mean{float(sum[0] / count), float(sum[1] / count), float(sum[2] / count)};
    float largest = 0.0f;
    for (uint32_t i = 0; i < count; ++i)
    {
        largest = std::max(largest, D3DXVec3Length(ReadVector3(bytes + size_t(i) * stride) - mean));
    }
    *center = mean;
    *radius = largest;
    return D3D_OK;
}

namespace
{

// A unit vector perpendicular to the unit vector n.
Vector3 Perpendicular(const Vector3& n)
{
    const Vector3 axis = std::fabs(n.x) < 0.9f ? Vector3{1, 0, 0} : Vector3{0, 1, 0};
    return D3DXVec3Normalize(axis - n * D3DXVec3Dot(n, axis));
}

// The angle between two edges leaving a corner.
float CornerAngle(const Vector3& a, const Vector3& b)
{
    const float cosine = D3DXVec3Dot(D3DXVec3Normalize(a), D3DXVec3Normalize(b));
    return std::acos(std::clamp(cosine, -1.0f, 1.0f));
}

} // namespace

HRESULT D3DXComputeTangentFrameEx(Mesh* mesh, uint32_t textureInSemantic, uint32_t textureInIndex,
                                  uint32_t uPartialOutSemantic, uint32_t uPartialOutIndex,
                                  uint32_t vPartialOutSemantic, uint32_t, uint32_t normalOutSemantic,
                                  uint32_t, uint32_t options, const uint32_t*, float, float, float)
{
    if (!mesh || !(options & D3DXTANGENT_GENERATE_IN_PLACE) || vPartialOutSemantic != D3DX_DEFAULT ||
        normalOutSemantic != D3DX_DEFAULT || textureInSemantic > 0xFF || textureInIndex > 0xFF ||
        uPartialOutSemantic > 0xFF || uPartialOutIndex > 0xFF)
    {
        return D3DERR_INVALIDCALL;
    }
    const std::vector<VertexElement>& elements = mesh->Declaration();
    const VertexElement* position = d3d9::FindElement(elements, d3d9::D3DDECLUSAGE_POSITION, 0);
    const VertexElement* normal = d3d9::FindElement(elements, d3d9::D3DDECLUSAGE_NORMAL, 0);
    const VertexElement* texture =
        d3d9::FindElement(elements, uint8_t(textureInSemantic), uint8_t(textureInIndex));
    const VertexElement* output =
        d3d9::FindElement(elements, uint8_t(uPartialOutSemantic), uint8_t(uPartialOutIndex));
    if (!texture || !IsFloatType(texture->type) || texture->type == d3d9::D3DDECLTYPE_FLOAT1 || !output ||
        (output->type != d3d9::D3DDECLTYPE_FLOAT3 && output->type != d3d9::D3DDECLTYPE_FLOAT4) ||
        (normal && normal->type != d3d9::D3DDECLTYPE_FLOAT3))
    {
        return D3DERR_INVALIDCALL;
    }
    uint8_t* vertices = nullptr;
    void* indexData = nullptr;
    if (d3d9::Failed(mesh->LockVertexBuffer(0, reinterpret_cast<void**>(&vertices))))
    {
        return D3DERR_INVALIDCALL;
    }
    if (d3d9::Failed(mesh->LockIndexBuffer(d3d9::D3DLOCK_READONLY, &indexData)))
    {
        mesh->UnlockVertexBuffer();
        return D3DERR_INVALIDCALL;
    }
    const uint32_t stride = mesh->GetNumBytesPerVertex(), vertexCount = mesh->GetNumVertices();
    const bool wide = mesh->GetOptions() & D3DXMESH_32BIT;
    const auto index = [&](size_t i) {
        return wide ? static_cast<const uint32_t*>(indexData)[i] : static_cast<const uint16_t*>(indexData)[i];
    };
    const auto at = [&](uint32_t v, const VertexElement* element)
    { return vertices + size_t(v) * stride + element->offset; };
    const auto uv = [&](uint32_t v)
    {
        float value[2];
        std::memcpy(value, at(v, texture), sizeof value);
        return Vector2{value[0], value[1]};
    };
    HRESULT result = D3D_OK;
    std::vector<Vector3> sums(vertexCount);
    for (uint32_t face = 0; face < mesh->GetNumFaces() && result == D3D_OK; ++face)
    {
        const uint32_t v[3] = {index(face * 3), index(face * 3 + 1), index(face * 3 + 2)};
        if (v[0] >= vertexCount || v[1] >= vertexCount || v[2] >= vertexCount)
        {
            result = D3DXERR_INVALIDMESH;
            break;
        }
        const Vector3 p[3] = {ReadVector3(at(v[0], position)), ReadVector3(at(v[1], position)),
                              ReadVector3(at(v[2], position))};
        const Vector2 t[3] = {uv(v[0]), uv(v[1]), uv(v[2])};
        const Vector3 e1 = p[1] - p[0], e2 = p[2] - p[0];
        const float du1 = t[1].x - t[0].x, dv1 = t[1].y - t[0].y;
        const float du2 = t[2].x - t[0].x, dv2 = t[2].y - t[0].y;
        const float determinant = du1 * dv2 - du2 * dv1;
        if (determinant == 0.0f)
        {
            continue; // the texture does not span the face: it has no u direction
        }
        const Vector3 u = D3DXVec3Normalize((e1 * dv2 - e2 * dv1) * (1.0f / determinant));
        for (int corner = 0; corner < 3; ++corner)
        {
            const Vector3& here = p[corner];
            sums[v[corner]] =
                sums[v[corner]] + u * CornerAngle(p[(corner + 1) % 3] - here, p[(corner + 2) % 3] - here);
        }
    }
    for (uint32_t vertex = 0; vertex < vertexCount && result == D3D_OK; ++vertex)
    {
        Vector3 u = sums[vertex];
        Vector3 n{};
        if (normal)
        {
            n = D3DXVec3Normalize(ReadVector3(at(vertex, normal)));
            u = u - n * D3DXVec3Dot(n, u);
        }
        const float length = D3DXVec3Length(u);
        u = length > 1e-12f ? u * (1.0f / length)
                            : Perpendicular(D3DXVec3Length(n) > 0.0f ? n : Vector3{0, 0, 1});
        std::memcpy(at(vertex, output), &u, sizeof u);
    }
    mesh->UnlockIndexBuffer();
    mesh->UnlockVertexBuffer();
    return result;
}

} // namespace d3dx
