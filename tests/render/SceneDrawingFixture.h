// A scene of actors over a one-triangle mesh and lights, drawn with a lit test effect on a
// started render device on the recording back end.
#pragma once

#include "EffectFolderFixture.h"
#include "WeActor.h"
#include "WeLight.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WeRenderQueue.h"
#include "WeScene.h"
#include "WeSceneRenderer.h"
#include "WeShader.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

// A technique whose one pass places every vertex at a row of the world matrix.
inline std::string PlacingTechnique(const std::string& name, int32_t row)
{
    return "technique " + name +
           "\npass P\nvertex\nuniform mat4 WorldMatrix;\nvoid main() { gl_Position = WorldMatrix[" +
           std::to_string(row) + "]; }\nend\n";
}

// Lit technique L besides the default one, two lights of each kind wanted.
inline const std::string litEffect = R"(parameter string SupportedTechniques = "L"
parameter bool UseDefaultTechniqueNames
parameter int WantPerPixelLightsCount = 2
parameter int WantPerVertexLightsCount = 2
parameter matrix WorldMatrix
parameter float4 MaterialColor
parameter float4[4] PerPixelLightsPosition
parameter float4[4] PerPixelLightsColor
parameter float4[4] PerPixelLightsSpecularColor
parameter float[4] PerPixelLightsRange
parameter float PerPixelLightsCount
parameter int[4] ShadowSamplerNo
parameter float4[4] PerVertexLightsPosition
parameter float4[4] PerVertexLightsColor
parameter float[4] PerVertexLightsRange
parameter float PerVertexLightsCount
)" + PlacingTechnique("Tech", 0) + PlacingTechnique("TechL", 0);

class SceneDrawingTest : public EffectFolderDevice
{
protected:
    void SetUp() override
    {
        EffectFolderDevice::SetUp();
        shader = LoadEffect("Shaders.Test.Lit", litEffect);
        ASSERT_NE(shader, nullptr);
        solid = Material(0);
        d3dx::Mesh* made = nullptr;
        ASSERT_EQ(d3dx::D3DXCreateMesh(1, 3, d3dx::D3DXMESH_MANAGED, WeMesh::vertexDeclaration,
                                       renderDevice.device, &made),
                  d3d9::D3D_OK);
        void* indices = nullptr;
        made->LockIndexBuffer(0, &indices);
        const uint16_t corners[3] = {0, 1, 2};
        std::copy(corners, corners + 3, static_cast<uint16_t*>(indices));
        made->UnlockIndexBuffer();
        mesh.SetD3DXMesh(made, true, true);
        ASSERT_EQ(mesh.subsetCount, 1);
        mesh.sets[0].materials[0] = solid;
        scene = std::make_unique<WeScene>();
        camera.Update(); // at the origin, looking along +z
        renderQueue.frameMask = WeRenderQueue::allFeatures;
    }
    void TearDown() override
    {
        for (WeRenderList& list : sceneRenderer.lists)
            list.Clear();
        renderQueue.FreeAll();
        scene.reset();
        EffectFolderDevice::TearDown();
    }
    WeMaterial* Material(int32_t pass)
    {
        WeMaterial* material = materials.emplace_back(std::make_unique<WeMaterial>()).get();
        material->shader = shader;
        material->pass = pass;
        material->lighting = true;
        return material;
    }
    // An actor at the place, with a static model over the test mesh and a sphere of the radius.
    WeActor& AddActor(const WeVector& at, float radius = 1.0f)
    {
        auto* actor = new WeActor;
        scene->AddActor(actor);
        actor->SetLocation(at);
        actor->model.reset(new WeModel(false));
        actor->model->mesh = &mesh;
        actor->model->world = d3dx::D3DXMatrixTranslation(at.x, at.y, at.z);
        actor->model->sphere = {at, radius};
        actor->sphereCentre = at;
        actor->sphereRadius = radius;
        return *actor;
    }
    WeLight& AddLight(const WeVector& at, float range, int32_t type = LIGHT_POINT)
    {
        auto* light = new WeLight;
        light->LightType = type;
        light->Range = range;
        scene->AddActor(light);
        light->SetLocation(at);
        return *light;
    }
    std::vector<WeActor*> QueuedActors(int32_t list) const
    {
        std::vector<WeActor*> actors;
        for (int32_t i = 0; i < sceneRenderer.lists[list].GetCount(); ++i)
            actors.push_back(sceneRenderer.lists[list].At(i).item->actor);
        return actors;
    }
    int CountPrefix(const std::string& prefix) const
    {
        return int(std::count_if(Calls().begin(), Calls().end(),
                                 [&](const std::string& call) { return call.rfind(prefix, 0) == 0; }));
    }

    WeShader* shader = nullptr;
    std::vector<std::unique_ptr<WeMaterial>> materials;
    WeMaterial* solid = nullptr;
    WeMesh mesh;
    std::unique_ptr<WeScene> scene;
    WeCamera camera;
};
