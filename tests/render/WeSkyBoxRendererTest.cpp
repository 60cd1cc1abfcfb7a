// The sky-box renderer on the recording back end: the cube path's camera turn and the state it
// hands back, the mesh path's subsets, scale and restored states, and a restart after Shutdown.
#include "WeSkyBoxRenderer.h"

#include "EffectFolderFixture.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WeSkyBox.h"
#include "WeTexture.h"
#include "d3d9/D3d9Device.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace d3d9;

namespace
{

constexpr const char* skyEffectText = R"(parameter shared matrix ViewMatrix
parameter float4 MaterialColor
sampler SkyTexture 4
technique Tech
pass P0
vertex
uniform mat4 ViewMatrix;
void main() { gl_Position = ViewMatrix[0]; }
end
)";
// An effect without the default technique "Tech".
constexpr const char* otherEffectText = R"(technique Other
pass P0
vertex
void main() { gl_Position = vec4(0.0); }
end
)";

class SkyBoxRendererTest : public EffectFolderDevice
{
protected:
    void SetUp() override
    {
        EffectFolderDevice::SetUp();
        skyEffect = LoadEffect("Shaders.Test.Sky", skyEffectText);
        ASSERT_NE(skyEffect, nullptr);
        skyBoxRenderer.skyEffect = skyEffect;
        camera.SetPerspective(1.0f, 1.0f, 1000.0f, 1.0f);
        camera.direction = {1.0f, 0.0f, 0.0f};
        camera.position = {5.0f, 6.0f, 7.0f};
        camera.Update();
    }
    void TearDown() override
    {
        sky.model.reset();
        sky.texture = nullptr;
        EffectFolderDevice::TearDown();
    }
    // A mesh of the subsets over one triangle each, in set 0 with a material of the effect.
    void MakeSkyMesh(const std::vector<WeShader*>& effects)
    {
        const auto subsets = uint32_t(effects.size());
        d3dx::Mesh* made = nullptr;
        ASSERT_EQ(d3dx::D3DXCreateMesh(subsets, 3 * subsets, d3dx::D3DXMESH_MANAGED,
                                       WeMesh::vertexDeclaration, renderDevice.device, &made),
                  D3D_OK);
        void* indices = nullptr;
        made->LockIndexBuffer(0, &indices);
        for (uint16_t index = 0; index < 3 * subsets; ++index)
            static_cast<uint16_t*>(indices)[index] = index;
        made->UnlockIndexBuffer();
        uint32_t* attributes = nullptr;
        made->LockAttributeBuffer(0, &attributes);
        for (uint32_t face = 0; face < subsets; ++face)
            attributes[face] = face;
        made->UnlockAttributeBuffer();
        mesh.SetD3DXMesh(made, true, true);
        ASSERT_EQ(mesh.subsetCount, int32_t(subsets));
        for (uint32_t subset = 0; subset < subsets; ++subset)
        {
            WeMaterial* material = skyMaterials.emplace_back(std::make_unique<WeMaterial>()).get();
            material->shader = effects[subset];
            material->color[3] = 0.8f;
            mesh.sets[0].materials[subset] = material;
        }
        sky.model.reset(new WeModel(false));
        sky.model->mesh = &mesh;
    }
    bool Called(const std::string& call) const { return IndexOfCall(call) >= 0; }

    WeShader* skyEffect = nullptr;
    WeCamera camera;
    WeSkyBox sky;
    WeMesh mesh;
    std::vector<std::unique_ptr<WeMaterial>> skyMaterials;
};

TEST_F(SkyBoxRendererTest, TheMeshScaleFitsBetweenTheClipPlanes)
{
    const struct
    {
        float nearClip, farClip, scale;
    } cases[] = {{1.0f, 1000.0f, 50.05f}, {0.5f, 99.5f, 5.0f}, {10.0f, 10.0f, 1.0f}};
    for (const auto& test : cases)
    {
        WeCamera scaled;
        scaled.SetPerspective(1.0f, test.nearClip, test.farClip, 1.0f);
        EXPECT_FLOAT_EQ(WeSkyBoxRenderer::MeshScale(scaled), test.scale)
            << test.nearClip << " " << test.farClip;
    }
}

TEST_F(SkyBoxRendererTest, OnlyACubeTextureIsDrawnAndTheCameraIsHandedBack)
{
    std::unique_ptr<WeTexture> flat(
        textures.CreateTexture(4, 4, D3DFMT_A8R8G8B8, 0, D3DPOOL_MANAGED, 1, false));
    WeTexture cube;
    ASSERT_EQ(Device().CreateCubeTexture(4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                         reinterpret_cast<CubeTexture**>(&cube.texture), nullptr),
              D3D_OK);
    cube.kind = 1;
    const struct
    {
        WeTexture* texture;
        bool drawn;
    } cases[] = {{nullptr, false}, {flat.get(), false}, {&cube, true}};
    for (const auto& test : cases)
    {
        sky.texture = test.texture;
        Device().ClearCallLog();
        skyBoxRenderer.RenderCubeTexture(&sky, &camera);
        EXPECT_EQ(CountCalls("DrawPrimitive 5 0 2"), test.drawn ? 1 : 0);
        EXPECT_EQ(Called("SetRenderState 22 3"), test.drawn) << "counter-clockwise culling";
    }
    EXPECT_EQ(std::memcmp(&shaders.view, &camera.view, sizeof camera.view), 0) << "the real view is back";
    // The turn handed meanwhile takes the screen's corner direction to the world's.
    const Matrix unproject =
        d3dx::D3DXMatrixScaling(1.0f / camera.projection.m[0][0], 1.0f / camera.projection.m[1][1], 1.0f);
    const Matrix turn = d3dx::D3DXMatrixMultiply(unproject, camera.axes);
    const d3dx::Vector4 centre = d3dx::D3DXVec4Transform({0.0f, 0.0f, 1.0f, 0.0f}, turn);
    EXPECT_NEAR(centre.x, 1.0f, 1e-5f) << "the screen's centre looks along the camera";
    skyBoxRenderer.skyEffect = nullptr;
    Device().ClearCallLog();
    skyBoxRenderer.RenderCubeTexture(&sky, &camera);
    EXPECT_EQ(CountCalls("DrawPrimitive 5 0 2"), 0) << "no effect, no sky";
    cube.texture->Release();
    cube.texture = nullptr;
}

TEST_F(SkyBoxRendererTest, TheMeshDrawsEachSubsetWithADefaultTechniqueAndRestoresTheStates)
{
    WeShader* other = LoadEffect("Shaders.Test.Other", otherEffectText);
    ASSERT_NE(other, nullptr);
    MakeSkyMesh({skyEffect, other, skyEffect});
    const WeColor ambient{0.2f, 0.3f, 0.4f, 1.0f};
    renderDevice.SetAmbientColor(ambient);
    Device().ClearCallLog();
    skyBoxRenderer.RenderMesh(&sky, &camera, 0.5f);
    EXPECT_EQ(std::count_if(Calls().begin(), Calls().end(),
                            [](const std::string& call)
                            { return call.rfind("DrawIndexedPrimitive", 0) == 0; }),
              2)
        << "subsets 0 and 2; subset 1's effect has no default technique";
    const std::vector<std::string> inOrder = {"SetRenderState 7 0",    "SetRenderState 14 0",
                                              "SetSamplerState 0 1 3", "SetSamplerState 0 1 1",
                                              "SetRenderState 7 1",    "SetRenderState 14 1"};
    int previous = -1;
    for (const std::string& call : inOrder)
    {
        const auto found = std::find(Calls().begin() + (previous + 1), Calls().end(), call);
        ASSERT_NE(found, Calls().end()) << call;
        previous = int(found - Calls().begin());
    }
    EXPECT_EQ(renderDevice.ambientColor.b, ambient.b);
    EXPECT_EQ(std::memcmp(&shaders.view, &camera.view, sizeof camera.view), 0);
    float colour[4] = {};
    skyEffect->effect->GetFloatArray(skyEffect->materialColor, colour, 4);
    EXPECT_FLOAT_EQ(colour[3], 0.4f) << "the material's alpha times the factor";
}

TEST_F(SkyBoxRendererTest, ARestartAfterShutdownLoadsTheEffectAgain)
{
    skyBoxRenderer.Shutdown();
    EXPECT_FALSE(skyBoxRenderer.initialised);
    EXPECT_EQ(skyBoxRenderer.skyEffect, nullptr);
    EXPECT_EQ(skyBoxRenderer.screenQuad, nullptr);
    ASSERT_NE(LoadEffect("Shaders.Special.SkyBox", skyEffectText), nullptr);
    EXPECT_TRUE(skyBoxRenderer.Init());
    EXPECT_NE(skyBoxRenderer.skyEffect, nullptr);
    EXPECT_NE(skyBoxRenderer.screenQuad, nullptr);
}

} // namespace
