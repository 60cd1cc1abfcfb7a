// ".x" files through the loader: a hand-written file pins what Assimp's conventions must not
// change (positions, winding, texture v, matrices, material order, weights, keys), then the
// tree's calls to the allocator, its failures, and the controller the file gives.
#include "d3dx/D3dxXFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace d3dx;
using d3d9::D3D_OK;

namespace
{

// Two top-level frames. Body, turned a quarter about z and raised by 5, carries a mesh of three
// faces in two materials (the second face red, the others green with a texture) and skin weights
// of two bones; its animation turns it about z and moves it up over 100 ticks at 100 a second.
// Assimp reads real numbers only with a decimal point.
const char* const skinnedFile = R"(xof 0303txt 0032
AnimTicksPerSecond { 100; }
Frame Root {
  FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 1.0,2.0,3.0,1.0;; }
  Frame Body {
    FrameTransformMatrix { 0.0,1.0,0.0,0.0, -1.0,0.0,0.0,0.0, 0.0,0.0,1.0,0.0, 0.0,0.0,5.0,1.0;; }
    Mesh BodyMesh {
      5;
      0.0;0.0;0.0;, 1.0;0.0;0.0;, 1.0;1.0;0.0;, 0.0;1.0;0.0;, 2.0;2.0;2.0;;
      3;
      3;0,1,2;, 3;0,2,3;, 3;1,4,2;;
      MeshNormals { 1; 0.0;0.0;-1.0;; 3; 3;0,0,0;, 3;0,0,0;, 3;0,0,0;; }
      MeshTextureCoords { 5; 0.0;0.25;, 1.0;0.25;, 1.0;1.0;, 0.0;1.0;, 0.5;0.5;; }
      MeshMaterialList {
        2; 3; 1,0,1;;
        Material Red { 1.0;0.0;0.0;1.0;; 10.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }
        Material Green { 0.0;1.0;0.0;1.0;; 10.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; TextureFilename { "green.dds"; } }
      }
      XSkinMeshHeader { 2; 2; 2; }
      SkinWeights {
        "Root"; 2; 0,1; 1.0,0.5;
        1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, -1.0,-2.0,-3.0,1.0;;
      }
      SkinWeights {
        "Body"; 3; 1,2,3; 0.5,1.0,1.0;
        1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 0.0,0.0,0.0,1.0;;
      }
    }
  }
}
Frame Second {
  FrameTransformMatrix { 2.0,0.0,0.0,0.0, 0.0,2.0,0.0,0.0, 0.0,0.0,2.0,0.0, 0.0,0.0,0.0,1.0;; }
}
AnimationSet Walk {
  Animation {
    {Body}
    AnimationKey { 0; 2; 0;4;1.0,0.0,0.0,0.0;;, 100;4;0.7071068,0.0,0.0,0.7071068;;; }
    AnimationKey { 2; 2; 0;3;0.0,0.0,0.0;;, 100;3;0.0,1.0,0.0;;; }
  }
}
)";

struct OwnedFrame : Frame
{
    std::string storage;
};

struct OwnedContainer : MeshContainer
{
    std::vector<Material> kept;
    std::vector<std::string> textures;
};

// Keeps what the loader hands it, as an engine allocator would, and counts what lives.
class TestAllocator : public AllocateHierarchy
{
public:
    HRESULT CreateFrame(const char* name, Frame** out) override
    {
        auto* frame = new OwnedFrame;
        if (name)
        {
            frame->storage = name;
            frame->name = frame->storage.data();
        }
        *out = frame;
        ++frames;
        return D3D_OK;
    }
    HRESULT CreateMeshContainer(const char*, const MeshData* data, const Material* materials, uint32_t count,
                                const uint32_t*, SkinInfo* skin, MeshContainer** out) override
    {
        if (d3d9::Failed(containerResult))
        {
            return containerResult;
        }
        auto* container = new OwnedContainer;
        container->meshData = *data;
        data->mesh->AddRef();
        container->skinInfo = skin;
        if (skin)
        {
            skin->AddRef();
        }
        for (uint32_t i = 0; i < count; ++i)
        {
            container->textures.push_back(materials[i].textureFilename ? materials[i].textureFilename : "");
            container->kept.push_back(materials[i]);
        }
        *out = container;
        ++containers;
        return D3D_OK;
    }
    HRESULT DestroyFrame(Frame* frame) override
    {
        delete static_cast<OwnedFrame*>(frame);
        --frames;
        return D3D_OK;
    }
    HRESULT DestroyMeshContainer(MeshContainer* container) override
    {
        container->meshData.mesh->Release();
        if (container->skinInfo)
        {
            container->skinInfo->Release();
        }
        delete static_cast<OwnedContainer*>(container);
        --containers;
        return D3D_OK;
    }

    int frames = 0;
    int containers = 0;
    HRESULT containerResult = D3D_OK;
};

class XFileTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        Unload();
        EXPECT_EQ(allocator.frames, 0);
        EXPECT_EQ(allocator.containers, 0);
    }
    HRESULT Load(const std::string& text)
    {
        return D3DXLoadMeshHierarchyFromXInMemory(text.data(), uint32_t(text.size()), D3DXMESH_MANAGED,
                                                  nullptr, &allocator, &root, &controller);
    }
    void Unload()
    {
        std::vector<Frame*> all;
        Collect(root, all);
        for (Frame* frame : all)
        {
            if (frame->meshContainer)
            {
                allocator.DestroyMeshContainer(frame->meshContainer);
            }
            allocator.DestroyFrame(frame);
        }
        root = nullptr;
        if (controller)
        {
            controller->Release();
            controller = nullptr;
        }
    }
    static void Collect(Frame* frame, std::vector<Frame*>& all)
    {
        for (; frame; frame = frame->frameSibling)
        {
            all.push_back(frame);
            Collect(frame->frameFirstChild, all);
        }
    }

    TestAllocator allocator;
    Frame* root = nullptr;
    AnimationController* controller = nullptr;
};

bool Near(const float* values, std::initializer_list<float> expected)
{
    for (const float e : expected)
    {
        if (std::fabs(*values++ - e) > 1e-4f)
        {
            return false;
        }
    }
    return true;
}

} // namespace

TEST_F(XFileTest, TheFileKeepsItsSpaceWindingTextureAndMatrices)
{
    ASSERT_EQ(Load(skinnedFile), D3D_OK);
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(root->name, "Root");
    ASSERT_NE(root->frameSibling, nullptr) << "the second top-level frame follows the first";
    EXPECT_STREQ(root->frameSibling->name, "Second");
    EXPECT_TRUE(Near(root->transformationMatrix.m[3], {1, 2, 3, 1}));
    Frame* body = D3DXFrameFind(root, "Body");
    ASSERT_NE(body, nullptr);
    EXPECT_TRUE(Near(body->transformationMatrix.m[0], {0, 1, 0, 0})) << "rows as the file writes them";
    EXPECT_TRUE(Near(body->transformationMatrix.m[1], {-1, 0, 0, 0}));
    EXPECT_EQ(D3DXFrameFind(root, "Missing"), nullptr);

    ASSERT_NE(body->meshContainer, nullptr);
    Mesh* mesh = body->meshContainer->meshData.mesh;
    // Faces by material: the red one (the file's second face) first, then the green ones.
    uint32_t size = 2;
    AttributeRange table[2];
    ASSERT_EQ(mesh->GetAttributeTable(table, &size), D3D_OK);
    ASSERT_EQ(size, 2u);
    EXPECT_EQ(table[0].attribId, 0u);
    EXPECT_EQ(table[0].faceCount, 1u);
    EXPECT_EQ(table[1].faceCount, 2u);
    const auto* kept = static_cast<OwnedContainer*>(body->meshContainer);
    EXPECT_EQ(kept->textures, (std::vector<std::string>{"", "green.dds"}));
    EXPECT_FLOAT_EQ(kept->kept[0].diffuse.r, 1.0f);

    // Corners: position (3), normal (3), texture (2).
    ASSERT_EQ(mesh->GetNumBytesPerVertex(), 32u);
    float* v = nullptr;
    uint16_t* indices = nullptr;
    mesh->LockVertexBuffer(d3d9::D3DLOCK_READONLY, reinterpret_cast<void**>(&v));
    mesh->LockIndexBuffer(d3d9::D3DLOCK_READONLY, reinterpret_cast<void**>(&indices));
    const auto corner = [&](int face, int k) { return v + indices[face * 3 + k] * 8; };
    EXPECT_TRUE(Near(corner(0, 0), {0, 0, 0, 0, 0, -1, 0, 0.25f})) << "red face: file corners 0, 2, 3";
    EXPECT_TRUE(Near(corner(0, 1), {1, 1, 0}));
    EXPECT_TRUE(Near(corner(0, 2), {0, 1, 0, 0, 0, -1, 0, 1}));
    EXPECT_TRUE(Near(corner(1, 1), {1, 0, 0, 0, 0, -1, 1, 0.25f})) << "green face: file corners 0, 1, 2";
    EXPECT_TRUE(Near(corner(2, 1), {2, 2, 2, 0, 0, -1, 0.5f, 0.5f}));
    mesh->UnlockIndexBuffer();
    mesh->UnlockVertexBuffer();
}

TEST_F(XFileTest, SkinWeightsNameTheirBonesAndVertices)
{
    ASSERT_EQ(Load(skinnedFile), D3D_OK);
    Frame* body = D3DXFrameFind(root, "Body");
    SkinInfo* skin = body->meshContainer->skinInfo;
    ASSERT_NE(skin, nullptr);
    ASSERT_EQ(skin->GetNumBones(), 2u);
    EXPECT_STREQ(skin->GetBoneName(0), "Root");
    EXPECT_TRUE(Near(skin->GetBoneOffsetMatrix(0)->m[3], {-1, -2, -3, 1}));
    EXPECT_EQ(skin->GetBoneName(2), nullptr);
    // Weights by the position of the vertex they move.
    Mesh* mesh = body->meshContainer->meshData.mesh;
    float* v = nullptr;
    mesh->LockVertexBuffer(d3d9::D3DLOCK_READONLY, reinterpret_cast<void**>(&v));
    std::vector<std::string> influences[2];
    for (uint32_t bone = 0; bone < 2; ++bone)
    {
        std::vector<uint32_t> vertices(skin->GetNumBoneInfluences(bone));
        std::vector<float> weights(vertices.size());
        ASSERT_EQ(skin->GetBoneInfluence(bone, vertices.data(), weights.data()), D3D_OK);
        for (size_t i = 0; i < vertices.size(); ++i)
        {
            const float* p = v + vertices[i] * 8;
            influences[bone].push_back(std::to_string(int(p[0])) + std::to_string(int(p[1])) + "=" +
                                       std::to_string(weights[i]).substr(0, 3));
        }
        std::sort(influences[bone].begin(), influences[bone].end());
    }
    mesh->UnlockVertexBuffer();
    // Vertices (0, 0) and (1, 1) stand in faces of both materials: each material has its copy.
    EXPECT_EQ(influences[0], (std::vector<std::string>{"00=1.0", "00=1.0", "10=0.5"}));
    EXPECT_EQ(influences[1], (std::vector<std::string>{"01=1.0", "10=0.5", "11=1.0", "11=1.0"}));
}

TEST_F(XFileTest, KeysBecomeASetThatPosesTheFrame)
{
    ASSERT_EQ(Load(skinnedFile), D3D_OK);
    ASSERT_NE(controller, nullptr);
    AnimationSet* walk = controller->GetAnimationSetByName("Walk");
    ASSERT_NE(walk, nullptr);
    EXPECT_DOUBLE_EQ(walk->GetPeriod(), 1.0);
    Vector3 scale, translation;
    Quaternion rotation;
    ASSERT_EQ(walk->GetSRT(1.0, 0, &scale, &rotation, &translation), D3D_OK);
    // The stored (w, x, y, z) = (0.707, 0, 0, 0.707) is the conjugate of D3DX's quaternion.
    const float sign = rotation.w < 0 ? -1.0f : 1.0f;
    EXPECT_TRUE(Near(&rotation.x, {0, 0, -0.7071068f * sign, 0.7071068f * sign}));
    EXPECT_TRUE(Near(&translation.x, {0, 1, 0}));

    // Track 0 plays the set: halfway, an eighth turn the other way and half the rise.
    EXPECT_EQ(controller->GetTrackAnimationSet(0), walk);
    ASSERT_EQ(controller->AdvanceTime(0.5), D3D_OK);
    const Matrix& pose = D3DXFrameFind(root, "Body")->transformationMatrix;
    const float h = 0.7071068f;
    EXPECT_TRUE(Near(pose.m[0], {h, -h, 0, 0}));
    EXPECT_TRUE(Near(pose.m[3], {0, 0.5f, 0, 1}));
    EXPECT_TRUE(Near(root->transformationMatrix.m[3], {1, 2, 3, 1}))
        << "a frame no key moves keeps its matrix";
}

TEST_F(XFileTest, AFailingAllocatorUndoesTheWholeTree)
{
    allocator.containerResult = d3d9::E_FAIL;
    EXPECT_EQ(Load(skinnedFile), d3d9::E_FAIL);
    EXPECT_EQ(root, nullptr);
    EXPECT_EQ(controller, nullptr);
    EXPECT_EQ(allocator.frames, 0) << "Root and Body were made, then destroyed";
}

TEST_F(XFileTest, DamagedFilesAreRefused)
{
    const std::string file = skinnedFile;
    const std::string cases[] = {"", "not an x file at all", file.substr(0, file.size() / 2),
                                 "xof 0303txt 0032\nFrame { Frame { Mesh { 3; 0;0;0;;; } } }"};
    for (const std::string& text : cases)
    {
        EXPECT_EQ(Load(text), D3DXERR_INVALIDDATA) << text;
        EXPECT_EQ(root, nullptr);
    }
}

TEST_F(XFileTest, AFileOfOneFrameHasNoSiblingsAndNoController)
{
    ASSERT_EQ(Load("xof 0303txt 0032\nFrame { Frame Child { } }\n"), D3D_OK);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->name, nullptr) << "an unnamed frame has no name";
    EXPECT_EQ(root->frameSibling, nullptr);
    EXPECT_EQ(D3DXFrameFind(root, nullptr), root);
    EXPECT_STREQ(root->frameFirstChild->name, "Child");
    EXPECT_EQ(controller, nullptr);
}

TEST(XFileMesh, TheWholeFileBecomesOneMeshPlacedByItsFrames)
{
    const std::string path = (std::filesystem::temp_directory_path() / "d3dx_skinned_test.x").string();
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs(skinnedFile, file);
    std::fclose(file);
    Mesh* mesh = nullptr;
    ASSERT_EQ(D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_MANAGED, nullptr, &mesh), D3D_OK);
    std::remove(path.c_str());
    // Body's quarter turn, its rise of 5 and Root's (1, 2, 3) move every corner.
    float* v = nullptr;
    mesh->LockVertexBuffer(d3d9::D3DLOCK_READONLY, reinterpret_cast<void**>(&v));
    Vector3 min, max;
    ASSERT_EQ(D3DXComputeBoundingBox(reinterpret_cast<Vector3*>(v), mesh->GetNumVertices(), 32, &min, &max),
              D3D_OK);
    mesh->UnlockVertexBuffer();
    EXPECT_TRUE(Near(&min.x, {-1, 2, 8}));
    EXPECT_TRUE(Near(&max.x, {1, 4, 10}));
    mesh->Release();
    EXPECT_EQ(D3DXLoadMeshFromXA("no such file.x", 0, nullptr, &mesh), D3DXERR_INVALIDDATA);
}

TEST(XFileLibrary, AssimpOpensByNameOrSaysWhyNot)
{
    const struct
    {
        const char* library;
        bool opens;
        const char* problem; // what the problem starts with
    } cases[] = {
        {assimpLibrary, true, ""},
        {"libwe_no_such_library.so", false, "libwe_no_such_library.so: cannot open"},
        {"libm.so.6", false, "libm.so.6 has no aiImportFileFromMemory"},
    };
    for (const auto& c : cases)
    {
        AssimpCalls calls;
        std::string problem;
        EXPECT_EQ(LoadAssimp(c.library, calls, problem), c.opens) << c.library;
        EXPECT_EQ(problem.rfind(c.problem, 0), 0u) << problem;
        EXPECT_EQ(calls.aiImportFileFromMemory != nullptr && calls.aiGetMaterialTexture != nullptr, c.opens);
    }
}
