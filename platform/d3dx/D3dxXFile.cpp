#include "d3dx/D3dxXFile.h"

#include "win32/Win32Files.h"

#include <assimp/cimport.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <initializer_list>
#include <memory>

namespace d3dx
{

using d3d9::D3D_OK;
using d3d9::D3DERR_INVALIDCALL;

namespace
{

// Assimp turns the file's left-handed space into its right-handed one (mirroring z and the
// winding); asking for left-handed output mirrors both back, and also flips v back to the
// file's texture coordinates. The copies of a vertex that Assimp makes for every face corner
// are joined again. Polygons are cut into triangles here, as fans the way D3DX cuts them:
// Assimp's own triangulation fails on faces of fewer than three corners.
constexpr unsigned importFlags = aiProcess_ConvertToLeftHanded | aiProcess_JoinIdenticalVertices;
// The names Assimp gives the roots it adds: over several top-level frames, and over meshes
// that stand outside every frame.
constexpr const char* addedRootOverFrames = "$dummy_root";
constexpr const char* addedRootOverMeshes = "$dummy_node";
constexpr int maxDepth = 256;
constexpr uint32_t loadedTracks = 2;

// Assimp's calls, from its library opened once for the process; null when it cannot be opened,
// which the first file read says.
const AssimpCalls* OpenedAssimp()
{
    static AssimpCalls calls;
    static const bool loaded = []
    {
        std::string problem;
        if (LoadAssimp(assimpLibrary, calls, problem))
            return true;
        std::fprintf(stderr, "Cannot read \".x\" files: %s\n", problem.c_str());
        return false;
    }();
    return loaded ? &calls : nullptr;
}

// A file in memory as Assimp reads it, freed by Assimp when this goes; without a scene, `failure`
// says why.
class Import
{
public:
    Import(const void* data, size_t size)
    {
        // Every ".x" file starts with this; without it Assimp would try other formats too.
        if (!data || size < 16 || size > UINT32_MAX || std::memcmp(data, "xof ", 4) != 0)
            return;
        calls = OpenedAssimp();
        if (!calls)
        {
            failure = d3d9::D3DERR_NOTAVAILABLE;
            return;
        }
        try
        {
            scene = calls->aiImportFileFromMemory(static_cast<const char*>(data), static_cast<unsigned>(size),
                                                  importFlags, "x");
        }
        catch (...)
        {
            scene = nullptr;
        }
    }
    ~Import()
    {
        if (scene)
            calls->aiReleaseImport(scene);
    }
    Import(const Import&) = delete;
    Import& operator=(const Import&) = delete;

    const aiScene* Scene() const { return scene; }
    HRESULT Failure() const { return failure; }

private:
    const AssimpCalls* calls = nullptr;
    const aiScene* scene = nullptr;
    HRESULT failure = D3DXERR_INVALIDDATA;
};

// Assimp's matrices apply to column vectors: ours are their transposes.
Matrix ToMatrix(const aiMatrix4x4& m)
{
    Matrix out;
    for (unsigned row = 0; row < 4; ++row)
        for (unsigned column = 0; column < 4; ++column)
            out.m[row][column] = m[column][row];
    return out;
}

// Assimp's rotation keys of a ".x" file are already the conjugates of the stored quaternions,
// which is what D3DX makes of them.
Quaternion ToQuaternion(const aiQuaternion& q)
{
    return {q.x, q.y, q.z, q.w};
}

Vector3 ToVector(const aiVector3D& v)
{
    return {v.x, v.y, v.z};
}

// A frame's or container's name as D3DX gives it: null for none.
const char* NameOf(const aiString& name)
{
    return name.length == 0 || std::strcmp(name.C_Str(), addedRootOverMeshes) == 0 ? nullptr : name.C_Str();
}

// Materials are read only from a scene Assimp read, so its calls are there.
ColorValue ReadColor(const aiMaterial& material, const char* key, unsigned type, unsigned index)
{
    aiColor4D color(0.0f, 0.0f, 0.0f, 0.0f);
    OpenedAssimp()->aiGetMaterialColor(&material, key, type, index, &color);
    return {color.r, color.g, color.b, color.a};
}

// A mesh of Assimp's, placed by a matrix when it is to be moved.
struct Part
{
    const aiMesh* mesh;
    bool placed;
    Matrix world;
};

// Several of Assimp's meshes joined into one, with the materials and skin of the parts.
struct Joined
{
    Mesh* mesh = nullptr;
    SkinInfo* skin = nullptr;
    std::vector<Material> materials;
    std::vector<std::string> textures; // what the materials' texture names point to
    std::vector<uint32_t> adjacency;

    Joined() = default;
    Joined(const Joined&) = delete;
    Joined& operator=(const Joined&) = delete;
    ~Joined()
    {
        if (mesh)
        {
            mesh->Release();
        }
        if (skin)
        {
            skin->Release();
        }
    }
};

void ReadMaterials(const aiScene& scene, const std::vector<Part>& parts, Joined& joined)
{
    joined.textures.resize(parts.size());
    for (size_t k = 0; k < parts.size(); ++k)
    {
        Material material;
        const unsigned index = parts[k].mesh->mMaterialIndex;
        if (index < scene.mNumMaterials)
        {
            const aiMaterial& source = *scene.mMaterials[index];
            material.diffuse = ReadColor(source, AI_MATKEY_COLOR_DIFFUSE);
            material.ambient = ReadColor(source, AI_MATKEY_COLOR_AMBIENT);
            material.specular = ReadColor(source, AI_MATKEY_COLOR_SPECULAR);
            material.emissive = ReadColor(source, AI_MATKEY_COLOR_EMISSIVE);
            const AssimpCalls& calls = *OpenedAssimp();
            calls.aiGetMaterialFloatArray(&source, AI_MATKEY_SHININESS, &material.power, nullptr);
            aiString texture;
            if (calls.aiGetMaterialTexture(&source, aiTextureType_DIFFUSE, 0, &texture, nullptr, nullptr,
                                           nullptr, nullptr, nullptr, nullptr) == AI_SUCCESS)
            {
                joined.textures[k] = texture.C_Str();
            }
        }
        material.textureFilename = joined.textures[k].empty() ? nullptr : joined.textures[k].c_str();
        joined.materials.push_back(material);
    }
}

// The bones of all parts by name, in the order they are first met, their vertices counted
// from the part's first vertex in the joined mesh.
SkinInfo* JoinSkins(const std::vector<Part>& parts, uint32_t vertexCount)
{
    std::vector<SkinInfo::Bone> bones;
    uint32_t base = 0;
    for (const Part& part : parts)
    {
        for (unsigned b = 0; b < part.mesh->mNumBones; ++b)
        {
            const aiBone& source = *part.mesh->mBones[b];
            auto bone =
                std::find_if(bones.begin(), bones.end(),
                             [&](const SkinInfo::Bone& known) { return known.name == source.mName.C_Str(); });
            if (bone == bones.end())
            {
                bone =
                    bones.insert(bones.end(), {source.mName.C_Str(), ToMatrix(source.mOffsetMatrix), {}, {}});
            }
            for (unsigned w = 0; w < source.mNumWeights; ++w)
            {
                if (source.mWeights[w].mVertexId < part.mesh->mNumVertices)
                {
                    bone->vertices.push_back(base + source.mWeights[w].mVertexId);
                    bone->weights.push_back(source.mWeights[w].mWeight);
                }
            }
        }
        base += part.mesh->mNumVertices;
    }
    return bones.empty() ? nullptr : new SkinInfo(vertexCount, std::move(bones));
}

std::vector<VertexElement> JoinedDeclaration(const std::vector<Part>& parts)
{
    bool normals = false;
    unsigned textureSets = 0;
    for (const Part& part : parts)
    {
        normals = normals || part.mesh->HasNormals();
        textureSets = std::max(textureSets, part.mesh->GetNumUVChannels());
    }
    std::vector<VertexElement> elements{{0, 0, d3d9::D3DDECLTYPE_FLOAT3, 0, d3d9::D3DDECLUSAGE_POSITION, 0}};
    if (normals)
    {
        elements.push_back({0, 12, d3d9::D3DDECLTYPE_FLOAT3, 0, d3d9::D3DDECLUSAGE_NORMAL, 0});
    }
    for (unsigned set = 0; set < textureSets; ++set)
    {
        elements.push_back({0, uint16_t(d3d9::VertexSize(elements)), d3d9::D3DDECLTYPE_FLOAT2, 0,
                            d3d9::D3DDECLUSAGE_TEXCOORD, uint8_t(set)});
    }
    elements.push_back(d3d9::D3DDECL_END);
    return elements;
}

// Writes one part's vertices into the joined vertex memory.
void WriteVertices(const Part& part, const std::vector<VertexElement>& elements, uint32_t stride,
                   uint8_t* out)
{
    const aiMesh& mesh = *part.mesh;
    const VertexElement* normal = d3d9::FindElement(elements, d3d9::D3DDECLUSAGE_NORMAL, 0);
    for (unsigned v = 0; v < mesh.mNumVertices; ++v, out += stride)
    {
        Vector3 position = ToVector(mesh.mVertices[v]);
        position = part.placed ? D3DXVec3TransformCoord(position, part.world) : position;
        std::memcpy(out, &position, sizeof position);
        if (normal && mesh.HasNormals())
        {
            Vector3 n = ToVector(mesh.mNormals[v]);
            if (part.placed)
            {
                const Vector4 turned = D3DXVec4Transform({n.x, n.y, n.z, 0.0f}, part.world);
                n = D3DXVec3Normalize({turned.x, turned.y, turned.z});
            }
            std::memcpy(out + normal->offset, &n, sizeof n);
        }
        for (unsigned set = 0; set < mesh.GetNumUVChannels(); ++set)
        {
            const VertexElement* uv = d3d9::FindElement(elements, d3d9::D3DDECLUSAGE_TEXCOORD, uint8_t(set));
            const float value[2] = {mesh.mTextureCoords[set][v].x, mesh.mTextureCoords[set][v].y};
            std::memcpy(out + uv->offset, value, sizeof value);
        }
    }
}

// Joins the parts' faces, polygons cut into fans and faces of fewer than three corners left
// out; each part's faces carry its place among the parts as attribute. No faces: no mesh, and
// success.
HRESULT Join(const aiScene& scene, const std::vector<Part>& parts, uint32_t options, d3d9::Device* device,
             bool withSkin, Joined& joined)
{
    uint64_t vertexCount = 0, faceCount = 0;
    for (const Part& part : parts)
    {
        vertexCount += part.mesh->mNumVertices;
        for (unsigned f = 0; f < part.mesh->mNumFaces; ++f)
        {
            faceCount += std::max(part.mesh->mFaces[f].mNumIndices, 2u) - 2;
        }
    }
    if (faceCount == 0)
    {
        return D3D_OK;
    }
    if (vertexCount > UINT32_MAX || faceCount > UINT32_MAX)
    {
        return E_OUTOFMEMORY;
    }
    const uint32_t meshOptions = options | (vertexCount > 0xFFFF ? D3DXMESH_32BIT : 0);
    const std::vector<VertexElement> elements = JoinedDeclaration(parts);
    HRESULT result = D3DXCreateMesh(uint32_t(faceCount), uint32_t(vertexCount), meshOptions, elements.data(),
                                    device, &joined.mesh);
    if (d3d9::Failed(result))
    {
        return result;
    }
    Mesh& mesh = *joined.mesh;
    uint8_t* vertices = nullptr;
    void* indices = nullptr;
    uint32_t* attributes = nullptr;
    mesh.LockVertexBuffer(0, reinterpret_cast<void**>(&vertices));
    mesh.LockIndexBuffer(0, &indices);
    mesh.LockAttributeBuffer(0, &attributes);
    const bool wide = meshOptions & D3DXMESH_32BIT;
    uint32_t base = 0;
    size_t corner = 0;
    for (uint32_t k = 0; k < parts.size(); ++k)
    {
        const aiMesh& part = *parts[k].mesh;
        WriteVertices(parts[k], mesh.Declaration(), mesh.GetNumBytesPerVertex(),
                      vertices + size_t(base) * mesh.GetNumBytesPerVertex());
        for (unsigned f = 0; f < part.mNumFaces; ++f)
        {
            const aiFace& face = part.mFaces[f];
            for (unsigned fan = 2; fan < face.mNumIndices; ++fan)
            {
                attributes[corner / 3] = k;
                for (const unsigned i : {0u, fan - 1, fan})
                {
                    const uint32_t index = base + std::min(face.mIndices[i], part.mNumVertices - 1);
                    if (wide)
                        static_cast<uint32_t*>(indices)[corner] = index;
                    else
                        static_cast<uint16_t*>(indices)[corner] = uint16_t(index);
                    ++corner;
                }
            }
        }
        base += part.mNumVertices;
    }
    mesh.UnlockAttributeBuffer();
    mesh.UnlockIndexBuffer();
    mesh.UnlockVertexBuffer();
    // The faces already run part by part: sorting only makes the table.
    result = mesh.OptimizeInplace(D3DXMESHOPT_ATTRSORT, nullptr);
    joined.adjacency.resize(size_t(faceCount) * 3);
    result = d3d9::Failed(result) ? result : mesh.GenerateAdjacency(0.0f, joined.adjacency.data());
    ReadMaterials(scene, parts, joined);
    joined.skin = withSkin ? JoinSkins(parts, uint32_t(vertexCount)) : nullptr;
    return result;
}

// Destroys frames, their containers and everything below them, siblings included.
void DestroyTree(Frame* frame, AllocateHierarchy& allocator)
{
    while (frame)
    {
        Frame* const sibling = frame->frameSibling;
        DestroyTree(frame->frameFirstChild, allocator);
        for (MeshContainer* container = frame->meshContainer; container;)
        {
            MeshContainer* const next = container->nextMeshContainer;
            allocator.DestroyMeshContainer(container);
            container = next;
        }
        allocator.DestroyFrame(frame);
        frame = sibling;
    }
}

// Builds Assimp's nodes into frames through the allocator. Every frame is linked into the tree
// as soon as it is made, so that a failure can destroy the whole tree.
class TreeBuilder
{
public:
    TreeBuilder(const aiScene& scene, uint32_t options, d3d9::Device* device, AllocateHierarchy& allocator)
        : scene(scene), options(options), device(device), allocator(allocator)
    {
    }

    // Makes the frames of the nodes as a sibling chain starting at the slot.
    HRESULT BuildChain(const aiNode* const* nodes, unsigned count, Frame** slot, int depth)
    {
        for (unsigned i = 0; i < count; ++i)
        {
            const HRESULT result = Build(*nodes[i], slot, depth);
            if (d3d9::Failed(result))
            {
                return result;
            }
            slot = &(*slot)->frameSibling;
        }
        return D3D_OK;
    }

private:
    HRESULT Build(const aiNode& node, Frame** slot, int depth)
    {
        if (depth > maxDepth)
        {
            return D3DXERR_INVALIDDATA;
        }
        Frame* frame = nullptr;
        HRESULT result = allocator.CreateFrame(NameOf(node.mName), &frame);
        if (d3d9::Failed(result) || !frame)
        {
            return d3d9::Failed(result) ? result : d3d9::E_FAIL;
        }
        *slot = frame;
        frame->transformationMatrix = ToMatrix(node.mTransformation);
        if (node.mNumMeshes > 0)
        {
            result = AddContainer(node, *frame);
        }
        return d3d9::Failed(result)
                   ? result
                   : BuildChain(node.mChildren, node.mNumChildren, &frame->frameFirstChild, depth + 1);
    }

    HRESULT AddContainer(const aiNode& node, Frame& frame)
    {
        std::vector<Part> parts;
        for (unsigned i = 0; i < node.mNumMeshes; ++i)
        {
            if (node.mMeshes[i] >= scene.mNumMeshes)
            {
                return D3DXERR_INVALIDDATA;
            }
            parts.push_back({scene.mMeshes[node.mMeshes[i]], false, {}});
        }
        Joined joined;
        HRESULT result = Join(scene, parts, options, device, true, joined);
        if (d3d9::Failed(result) || !joined.mesh)
        {
            return result;
        }
        const MeshData data{D3DXMESHTYPE_MESH, joined.mesh};
        MeshContainer* container = nullptr;
        result = allocator.CreateMeshContainer(NameOf(parts.front().mesh->mName), &data,
                                               joined.materials.data(), uint32_t(joined.materials.size()),
                                               joined.adjacency.data(), joined.skin, &container);
        frame.meshContainer = d3d9::Failed(result) ? nullptr : container;
        return result;
    }

    const aiScene& scene;
    uint32_t options;
    d3d9::Device* device;
    AllocateHierarchy& allocator;
};

template <typename Key, typename AssimpKey, typename Convert>
std::vector<Key> KeysOf(const AssimpKey* keys, unsigned count, Convert convert)
{
    std::vector<Key> out;
    for (unsigned i = 0; i < count; ++i)
    {
        const float time = float(keys[i].mTime);
        if (std::isfinite(time))
        {
            out.push_back({time, convert(keys[i].mValue)});
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const Key& a, const Key& b) { return a.time < b.time; });
    return out;
}

AnimationSet* MakeSet(const aiAnimation& animation)
{
    std::vector<AnimationKeys> outputs;
    for (unsigned c = 0; c < animation.mNumChannels; ++c)
    {
        const aiNodeAnim& channel = *animation.mChannels[c];
        outputs.push_back(
            {channel.mNodeName.C_Str(),
             KeysOf<ScaleKey>(channel.mScalingKeys, channel.mNumScalingKeys, ToVector),
             KeysOf<RotationKey>(channel.mRotationKeys, channel.mNumRotationKeys, ToQuaternion),
             KeysOf<TranslationKey>(channel.mPositionKeys, channel.mNumPositionKeys, ToVector)});
    }
    return new AnimationSet(animation.mName.C_Str(), animation.mTicksPerSecond, std::move(outputs));
}

// The controller of the file's animation sets; none without sets.
HRESULT MakeController(const aiScene& scene, AnimationController** controller)
{
    *controller = nullptr;
    if (scene.mNumAnimations == 0)
    {
        return D3D_OK;
    }
    std::vector<std::string> outputs;
    for (unsigned a = 0; a < scene.mNumAnimations; ++a)
    {
        for (unsigned c = 0; c < scene.mAnimations[a]->mNumChannels; ++c)
        {
            const std::string name = scene.mAnimations[a]->mChannels[c]->mNodeName.C_Str();
            if (std::find(outputs.begin(), outputs.end(), name) == outputs.end())
            {
                outputs.push_back(name);
            }
        }
    }
    const HRESULT result = D3DXCreateAnimationController(std::max<uint32_t>(1, uint32_t(outputs.size())),
                                                         scene.mNumAnimations, loadedTracks, 0, controller);
    if (d3d9::Failed(result))
    {
        return result;
    }
    for (unsigned a = 0; a < scene.mNumAnimations; ++a)
    {
        AnimationSet* set = MakeSet(*scene.mAnimations[a]);
        (*controller)->RegisterAnimationSet(set);
        set->Release();
    }
    (*controller)->SetTrackAnimationSet(0, (*controller)->GetAnimationSet(0));
    (*controller)->SetTrackEnable(0, true);
    return D3D_OK;
}

// Every mesh below the node with the matrix that places it, depth first.
bool CollectPlaced(const aiScene& scene, const aiNode& node, const Matrix& parent, int depth,
                   std::vector<Part>& parts)
{
    if (depth > maxDepth)
    {
        return false;
    }
    const Matrix world = D3DXMatrixMultiply(ToMatrix(node.mTransformation), parent);
    for (unsigned i = 0; i < node.mNumMeshes; ++i)
    {
        if (node.mMeshes[i] >= scene.mNumMeshes)
        {
            return false;
        }
        parts.push_back({scene.mMeshes[node.mMeshes[i]], true, world});
    }
    for (unsigned i = 0; i < node.mNumChildren; ++i)
    {
        if (!CollectPlaced(scene, *node.mChildren[i], world, depth + 1, parts))
        {
            return false;
        }
    }
    return true;
}

std::vector<uint8_t> ReadWholeFile(const char* fileName)
{
    std::vector<uint8_t> bytes;
    const std::unique_ptr<FILE, int (*)(FILE*)> file(win32::OpenFile(fileName, "rb"), std::fclose);
    if (!file)
    {
        return bytes;
    }
    uint8_t chunk[65536];
    for (size_t read; (read = std::fread(chunk, 1, sizeof chunk, file.get())) > 0;)
    {
        bytes.insert(bytes.end(), chunk, chunk + read);
    }
    return bytes;
}

} // namespace

const char* const assimpLibrary = WE_ASSIMP_LIBRARY;

bool LoadAssimp(const char* library, AssimpCalls& calls, std::string& problem)
{
    void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
    {
        problem = dlerror();
        return false;
    }
    const char* missing = nullptr;
#define D3DX_ASSIMP_FIND(name)                                                                               \
    calls.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name));                                  \
    missing = missing || calls.name ? missing : #name;
    D3DX_ASSIMP_CALLS(D3DX_ASSIMP_FIND)
#undef D3DX_ASSIMP_FIND
    if (!missing)
        return true;
    calls = {};
    dlclose(handle);
    problem = std::string(library) + " has no " + missing;
    return false;
}

HRESULT D3DXLoadMeshHierarchyFromXInMemory(const void* data, uint32_t size, uint32_t options,
                                           d3d9::Device* device, AllocateHierarchy* allocator, Frame** root,
                                           AnimationController** controller)
{
    if (!allocator || !root)
    {
        return D3DERR_INVALIDCALL;
    }
    *root = nullptr;
    const Import file(data, size);
    const aiScene* scene = file.Scene();
    if (!scene || !scene->mRootNode)
    {
        return file.Failure();
    }
    const aiNode& top = *scene->mRootNode;
    TreeBuilder builder(*scene, options, device, *allocator);
    const bool addedOverFrames =
        std::strcmp(top.mName.C_Str(), addedRootOverFrames) == 0 && top.mNumMeshes == 0;
    const aiNode* const self = &top;
    HRESULT result = addedOverFrames ? builder.BuildChain(top.mChildren, top.mNumChildren, root, 0)
                                     : builder.BuildChain(&self, 1, root, 0);
    AnimationController* made = nullptr;
    if (!d3d9::Failed(result))
    {
        result = MakeController(*scene, &made);
    }
    if (made && !d3d9::Failed(result))
    {
        result = D3DXFrameRegisterNamedMatrices(*root, made);
    }
    if (d3d9::Failed(result))
    {
        DestroyTree(*root, *allocator);
        *root = nullptr;
        if (made)
        {
            made->Release();
        }
        return result;
    }
    if (controller)
    {
        *controller = made;
    }
    else if (made)
    {
        made->Release();
    }
    return D3D_OK;
}

HRESULT D3DXLoadMeshFromXA(const char* fileName, uint32_t options, d3d9::Device* device, Mesh** mesh)
{
    if (!fileName || !mesh)
    {
        return D3DERR_INVALIDCALL;
    }
    const std::vector<uint8_t> bytes = ReadWholeFile(fileName);
    const Import file(bytes.data(), bytes.size());
    const aiScene* scene = file.Scene();
    if (!scene)
    {
        return file.Failure();
    }
    std::vector<Part> parts;
    if (!scene->mRootNode || !CollectPlaced(*scene, *scene->mRootNode, Matrix{}, 0, parts))
    {
        return D3DXERR_INVALIDDATA;
    }
    Joined joined;
    const HRESULT result = Join(*scene, parts, options, device, false, joined);
    if (d3d9::Failed(result) || !joined.mesh)
    {
        return d3d9::Failed(result) ? result : D3DXERR_INVALIDDATA;
    }
    *mesh = joined.mesh;
    joined.mesh = nullptr;
    return D3D_OK;
}

} // namespace d3dx
