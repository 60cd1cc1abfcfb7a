#include "WeProjectorRenderer.h"

#include "WeActor.h"
#include "WeInstancing.h"
#include "WeLight.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WeRenderDevice.h"
#include "WeScene.h"
#include "WeSceneRenderer.h"
#include "WeShader.h"
#include "WeShadowMapRenderer.h"
#include "d3d9/D3d9Device.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

using namespace d3d9;

namespace
{

constexpr float spotNear = 0.1f;

// Receivers of one material draw together.
int32_t MaterialKey(const WeMaterial* material)
{
    const auto address = reinterpret_cast<uintptr_t>(material);
    return int32_t(uint32_t(address ^ (address >> 32)) & 0x7FFFFFFF);
}

WeVector Row(const WeMatrix& matrix, int32_t row)
{
    return {matrix.m[row][0], matrix.m[row][1], matrix.m[row][2]};
}

void SetShared(int32_t index, const WeVector& value)
{
    shaders.SetShared(index, &value.x, 3);
}

void SetShared(int32_t index, const WeMatrix& value)
{
    shaders.SetShared(index, &value.m[0][0], 16);
}

// Runs of receivers of one mesh subset, drawn as one.
WeInstanceRun instanceRun;
std::vector<WeRenderItem*> popped;

// How many of the receivers from the first draw as one instanced draw (1: the item alone).
size_t RunLength(const WeShader& effect, size_t first)
{
    const WeRenderItem& head = *popped[first];
    if (!WeInstanceRun::Instancing(&effect) || !WeInstanceRun::Repeatable(head))
        return 1;
    size_t end = first + 1;
    while (end < popped.size() && WeInstanceRun::Repeatable(*popped[end]) &&
           popped[end]->model->mesh == head.model->mesh && popped[end]->subset == head.subset)
        ++end;
    return end - first;
}

// Draws the receivers, popped in material order, with the effect's pass 0 already begun.
void DrawReceivers(WeShader& effect, WeRenderList& receivers)
{
    popped.clear();
    while (WeRenderItem* item = receivers.PopMin())
        if (item->model && item->model->mesh)
            popped.push_back(item);
    for (size_t index = 0; index < popped.size();)
    {
        const WeRenderItem& item = *popped[index];
        const size_t count = RunLength(effect, index);
        effect.SetWorldMatrices(*item.world);
        effect.CommitChanges();
        if (count > 1)
            instanceRun.Begin(&popped[index], count, &effect);
        renderDevice.device->SetVertexDeclaration(sceneRenderer.DeclarationFor(*item.model->mesh));
        item.model->mesh->DrawSubset(item.subset);
        if (count > 1)
            instanceRun.End();
        index += count;
    }
}

// The omni light's own values: its turn, the projector material's cube and strength.
void SetupOmni(const WeLight& light, WeMaterial& material, WeShader& effect)
{
    SetShared(WeShaderManager::projectorMatrix, light.GetWorldMatrix());
    material.ApplyTextures(WeMaterial::environmentFlag, nullptr, 0);
    if (effect.materialStrength)
        effect.effect->SetFloat(effect.materialStrength, material.materialStrength);
}

// The spot light's own values: its direction and cone, and the projector material's first
// texture, animated at the light's time, on sampler 7 with a black border.
void SetupSpot(const WeLight& light, WeMaterial& material, WeShader&)
{
    const WeProjectorRenderer::SpotView spot = WeProjectorRenderer::SpotOf(light);
    SetShared(WeShaderManager::projectorDirection, Row(light.GetWorldMatrix(), 2));
    SetShared(WeShaderManager::projectorMatrix, d3dx::D3DXMatrixMultiply(spot.view, spot.projection));
    material.UpdateTextureAnimation(light.lightTime);
    constexpr int32_t anisotropic = 3, border = 3;
    renderDevice.SetSamplerState(7, anisotropic, border);
    material.ApplyTextures(0, nullptr, 7);
}

} // namespace

WeProjectorRenderer::~WeProjectorRenderer() = default;

bool WeProjectorRenderer::Init()
{
    if (initialised)
        return true;
    spotEffect = shaders.Load("Shaders.Special.ProjectorSpot");
    omniEffect = shaders.Load("Shaders.Special.ProjectorOmni");
    initialised = true;
    return true;
}

void WeProjectorRenderer::BeginFrame()
{
    for (std::vector<LightNode*>* list : {&omniLights, &spotLights})
    {
        for (LightNode* node : *list)
        {
            node->receivers.Clear();
            freeNodes.push_back(node);
        }
        list->clear();
    }
}

WeProjectorRenderer::LightNode* WeProjectorRenderer::TakeNode(WeLight* light)
{
    if (freeNodes.empty())
        freeNodes.push_back(nodes.emplace_back(std::make_unique<LightNode>()).get());
    LightNode* node = freeNodes.back();
    freeNodes.pop_back();
    node->light = light;
    return node;
}

bool WeProjectorRenderer::IsOmni(const WeLight& light)
{
    return (light.LightType & LIGHT_POINT) != 0;
}

WeProjectorRenderer::SpotView WeProjectorRenderer::SpotOf(const WeLight& light)
{
    const WeMatrix& world = light.GetWorldMatrix();
    const WeVector position = light.GetWorldPosition();
    const float across = std::clamp(light.angles[0], 0.01f, 3.1f);
    const float up = std::clamp(light.angles[1], 0.01f, 3.1f);
    SpotView spot;
    spot.view = d3dx::D3DXMatrixLookAtLH(position, position + Row(world, 2), Row(world, 1));
    spot.projection = d3dx::D3DXMatrixPerspectiveFovLH(up, std::tan(across / 2) / std::tan(up / 2), spotNear,
                                                       std::max(light.Range, spotNear * 2));
    spot.frustum.Build(position, spot.view, spot.projection);
    return spot;
}

void WeProjectorRenderer::Prepare(WeScene* scene, WeCamera* camera)
{
    if (!renderDevice.projectors || !scene || !camera)
        return;
    scene->lights.ForEach(
        [&](const WeString&, WeActor* actor)
        {
            if (actor->type != WeActorTypeLight)
                return;
            auto* light = static_cast<WeLight*>(actor);
            if (!(light->LightType & LIGHT_PROJECTOR) || !light->Active ||
                !WeShadowMapRenderer::LightVisible(*light, camera->frustum))
                return;
            (IsOmni(*light) ? omniLights : spotLights).push_back(TakeNode(light));
        });
    if (!omniLights.empty() || !spotLights.empty())
        CollectReceivers();
}

void WeProjectorRenderer::CollectReceivers()
{
    std::vector<WeFrustum> spotFrustums;
    for (const LightNode* node : spotLights)
        spotFrustums.push_back(SpotOf(*node->light).frustum);
    const WeRenderList& solid = sceneRenderer.lists[WeSceneRenderer::solidList];
    for (int32_t index = solid.GetCount() - 1; index >= 0; --index)
    {
        WeRenderItem* item = solid.At(index).item;
        const WeActor* actor = item->actor;
        if (!actor || !actor->renderFlag || !item->model || item->material->pass != 0)
            continue;
        const int32_t key = MaterialKey(item->material);
        for (LightNode* node : omniLights)
        {
            const WeVector offset = actor->sphereCentre - node->light->GetWorldPosition();
            const float reach = actor->sphereRadius + node->light->Range;
            if (d3dx::D3DXVec3Dot(offset, offset) < reach * reach && node->light->parent != actor &&
                item->material->textures[4])
                node->receivers.Push(item, key);
        }
        for (size_t spot = 0; spot < spotLights.size(); ++spot)
            if (actor->IsInFrustum(spotFrustums[spot], 0, 0.0f) && spotLights[spot]->light->parent != actor)
                spotLights[spot]->receivers.Push(item, key);
    }
}

void WeProjectorRenderer::Render(WeScene*, WeCamera*)
{
    if (!renderDevice.projectors || !renderDevice.device)
        return;
    renderDevice.SetAlphaBlend(true, true);
    renderDevice.device->SetRenderState(D3DRS_ZENABLE, 1);
    renderDevice.device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    if (!omniLights.empty() && omniEffect)
        RenderLights(*omniEffect, omniLights, SetupOmni);
    if (!spotLights.empty() && spotEffect)
        RenderLights(*spotEffect, spotLights, SetupSpot);
    renderDevice.SetAlphaBlend(false, true);
    renderDevice.device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    renderDevice.SetAlphaTest(0);
    renderDevice.device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
}

void WeProjectorRenderer::SetupProjectorStates(const WeLight& light, const WeLight* previous)
{
    const WeMaterial& material = *light.projectorMaterial;
    const WeMaterial* before = previous ? previous->projectorMaterial : nullptr;
    Device& device = *renderDevice.device;
    if (!before || before->alphaReference != material.alphaReference)
        renderDevice.SetAlphaTest(std::clamp(material.alphaReference, 0, 255));
    if (!before || before->twoSided != material.twoSided)
        device.SetRenderState(D3DRS_CULLMODE, material.twoSided ? D3DCULL_NONE : D3DCULL_CCW);
    if (!before || before->srcBlend != material.srcBlend)
        device.SetRenderState(D3DRS_SRCBLEND, uint32_t(material.srcBlend));
    if (!before || before->destBlend != material.destBlend)
        device.SetRenderState(D3DRS_DESTBLEND, uint32_t(material.destBlend));
}

void WeProjectorRenderer::RenderLights(WeShader& effect, const std::vector<LightNode*>& lights,
                                       void (*setup)(const WeLight&, WeMaterial&, WeShader&))
{
    const WeLight* previous = nullptr;
    effect.SetTechnique(0);
    effect.Begin(0);
    effect.BeginPass(0);
    for (LightNode* node : lights)
    {
        const WeLight& light = *node->light;
        if (!light.projectorMaterial)
            continue;
        WeMaterial& material = *light.projectorMaterial;
        material.shader = &effect;
        SetupProjectorStates(light, previous);
        previous = &light;
        SetShared(WeShaderManager::projectorPosition, light.GetWorldPosition());
        setup(light, material, effect);
        effect.SetMaterialColor(material.color);
        DrawReceivers(effect, node->receivers);
    }
    effect.EndPass();
    effect.End();
}
