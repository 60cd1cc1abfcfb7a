#include "WeShadowMapRenderer.h"

#include "WeActor.h"
#include "WeLight.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WeRenderDevice.h"
#include "WeRenderTarget.h"
#include "WeScene.h"
#include "WeSceneRenderer.h"
#include "WeShader.h"
#include "d3d9/D3d9Device.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

using namespace d3d9;

namespace
{

constexpr float faceFieldOfView = 3.14159265f / 2;
constexpr float faceNear = 1.0f, faceFar = 500.0f;

} // namespace

WeShadowMapRenderer::~WeShadowMapRenderer() = default;

bool WeShadowMapRenderer::Init()
{
    if (initialised)
        return true;
    std::fill(std::begin(cubeTargets), std::end(cubeTargets), nullptr);
    camera = std::make_unique<WeCamera>();
    camera->SetPerspective(faceFieldOfView, faceNear, faceFar, 1.0f);
    shadowEffect = shaders.Load("Shaders.Special.ShadowMap");
    initialised = true;
    OnResetDevice();
    return true;
}

void WeShadowMapRenderer::Shutdown()
{
    if (!initialised)
        return;
    OnLostDevice();
    initialised = false;
    camera.reset();
    shadowEffect = nullptr;
    lights.Clear();
    hasLights = false;
}

void WeShadowMapRenderer::OnLostDevice()
{
    for (WeRenderTarget*& target : cubeTargets)
    {
        renderTargetManager.Destroy(target);
        target = nullptr;
    }
    if (depthStencil)
        depthStencil->Release();
    depthStencil = nullptr;
}

void WeShadowMapRenderer::OnResetDevice()
{
    if (!initialised || renderDevice.shadows <= 0 || !renderDevice.device)
        return;
    const auto edge = uint32_t(shadowMapSize);
    for (WeRenderTarget*& target : cubeTargets)
        if (!target)
            target = renderTargetManager.CreateCube(edge, D3DFMT_R16F);
    // The faces get a depth buffer of their own: the back buffer's may be smaller than a face.
    if (!depthStencil)
        renderDevice.device->CreateDepthStencilSurface(edge, edge, renderDevice.depthFormat,
                                                       D3DMULTISAMPLE_NONE, 0, true, &depthStencil, nullptr);
}

int32_t WeShadowMapRenderer::LightLimit()
{
    return renderDevice.pixelShader3 && renderDevice.shaderLevel != 1 ? slotCount : 1;
}

bool WeShadowMapRenderer::LightVisible(const WeLight& light, const WeFrustum& view)
{
    const WeVector position = light.GetWorldPosition();
    return view.IsSphereVisible({position.x, position.y, position.z, light.Range});
}

void WeShadowMapRenderer::Prepare(WeScene* scene, WeCamera* view)
{
    lights.Clear();
    hasLights = false;
    if (renderDevice.shadows <= 0 || !scene || !view)
        return;
    // Nearest first by the squared distance in whole units; equal distances keep table order.
    std::vector<std::pair<int32_t, WeLight*>> candidates;
    scene->lights.ForEach(
        [&](const WeString&, WeActor* actor)
        {
            if (actor->type != WeActorTypeLight)
                return;
            auto& light = static_cast<WeLight&>(*actor);
            if (!light.CastShadows || !light.Active || !(light.Range > 0.0f) ||
                !LightVisible(light, view->frustum))
                return;
            const WeVector offset = light.GetWorldPosition() - view->position;
            const float squared = d3dx::D3DXVec3Dot(offset, offset);
            candidates.emplace_back(int32_t(std::min(squared, 2.0e9f)), &light);
        });
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    const auto count = std::min(candidates.size(), size_t(LightLimit()));
    for (size_t index = 0; index < count; ++index)
    {
        candidates[index].second->shadowSampler = int32_t(index) + 1;
        lights.PushBack(candidates[index].second);
    }
}

void WeShadowMapRenderer::Render(WeScene*, WeCamera* view)
{
    renderedCount = 0;
    hasLights = false;
    if (renderDevice.shadows <= 0 || lights.GetCount() == 0 || !shadowEffect || !view || !camera)
        return;
    Device& device = *renderDevice.device;
    Surface* savedTarget = renderDevice.GetRenderTarget();
    Surface* savedDepth = nullptr;
    device.GetDepthStencilSurface(&savedDepth);
    renderDevice.UsePlainDepthStencil();
    if (depthStencil)
        device.SetDepthStencilSurface(depthStencil);
    int32_t slot = 0;
    for (WeLight* light : lights)
    {
        if (slot >= slotCount || !cubeTargets[slot])
            break;
        ++renderedCount;
        device.SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_RED);
        RenderLight(*light, slot, *view);
        ++slot;
    }
    hasLights = renderedCount > 0;
    device.SetDepthStencilSurface(savedDepth);
    if (savedDepth)
        savedDepth->Release();
    renderDevice.UseMultisampleDepthStencil();
    renderDevice.RestoreRenderTarget(savedTarget);
    device.SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_ALL);
    BindCubes();
}

void WeShadowMapRenderer::RenderLight(WeLight& light, int32_t slot, const WeCamera& view)
{
    for (uint32_t face = 0; face < 6; ++face)
    {
        cubeTargets[slot]->Bind(0, face);
        WeRenderDevice::Clear(true, {0, 0, 0, 0}, true, 1.0f, false, 0);
        if (!SetupFace(light, face, view))
            continue;
        CollectCasters();
        shaders.SetCameraMatrices(camera->view, camera->projection, nullptr);
        renderDevice.SetAlphaBlend(false, true);
        renderDevice.device->SetRenderState(D3DRS_ZENABLE, 1);
        renderDevice.device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
        DrawCasters(light);
    }
}

bool WeShadowMapRenderer::FaceOutsideView(const WeFrustum& face, const WeFrustum& view)
{
    for (const d3dx::Plane& plane : view.planes)
    {
        const bool allBehind = std::all_of(std::begin(face.corners), std::end(face.corners),
                                           [&](const WeVector& corner)
                                           { return d3dx::D3DXPlaneDotCoord(plane, corner) <= 0.001f; });
        if (allBehind)
            return true;
    }
    return false;
}

bool WeShadowMapRenderer::SetupFace(const WeLight& light, uint32_t face, const WeCamera& view)
{
    if (!light.CastShadowPlane[face])
        return false;
    camera->position = light.GetWorldPosition();
    camera->direction = cubeFaces[face].look;
    camera->up = cubeFaces[face].up;
    camera->SetFarClip(light.Range);
    camera->Update();
    return !FaceOutsideView(camera->frustum, view.frustum);
}

void WeShadowMapRenderer::CollectCasters()
{
    casters.Clear();
    const WeRenderList& solid = sceneRenderer.lists[WeSceneRenderer::solidList];
    for (int32_t index = solid.GetCount() - 1; index >= 0; --index)
    {
        WeRenderItem* item = solid.At(index).item;
        const WeActor* actor = item->actor;
        if (item->material->pass != 0 || !actor || !actor->shadowVolume)
            continue;
        if (actor->sphereRadius > 0.0f &&
            (d3dx::D3DXVec3Length(actor->sphereCentre - camera->position) > camera->farClip ||
             !actor->IsInFrustum(camera->frustum, 0, 0.0f)))
            continue;
        casters.Push(item, WeRenderQueue::DepthUnits(item->depth) >> 1);
    }
}

void WeShadowMapRenderer::DrawCasters(const WeLight& light)
{
    Device& device = *renderDevice.device;
    const WeVector position = light.GetWorldPosition();
    const d3dx::D3DXHANDLE lightPosition = shadowEffect->effect->GetParameterByName(nullptr, "LightPosition");
    int32_t technique = -1;
    int32_t alphaReference = -1;
    while (WeRenderItem* item = casters.PopMin())
    {
        if (!item->actor || !item->model || !item->model->mesh)
            continue;
        item->material->ApplyTextures(0, nullptr, 0);
        if (item->material->alphaReference != alphaReference)
        {
            alphaReference = item->material->alphaReference;
            renderDevice.SetAlphaTest(std::clamp(alphaReference, 0, 255));
        }
        const int32_t wanted = WeSceneRenderer::IsSkinned(item->model) ? 1 : 0;
        if (wanted != technique)
        {
            if (technique >= 0)
            {
                shadowEffect->EndPass();
                shadowEffect->End();
            }
            technique = wanted;
            shadowEffect->SetTechnique(technique);
            shadowEffect->Begin(0);
            shadowEffect->BeginPass(0);
            if (lightPosition)
                shadowEffect->effect->SetFloatArray(lightPosition, &position.x, 3);
        }
        shadowEffect->SetWorldMatrices(*item->world);
        WeSceneRenderer::SetBones(*shadowEffect, item->model);
        shadowEffect->CommitChanges();
        device.SetVertexDeclaration(sceneRenderer.DeclarationFor(*item->model->mesh));
        item->model->mesh->DrawSubset(item->subset);
    }
    if (technique >= 0)
    {
        shadowEffect->EndPass();
        shadowEffect->End();
    }
    renderDevice.SetAlphaTest(0);
}

void WeShadowMapRenderer::BindCubes() const
{
    for (int32_t slot = 0; slot < renderedCount; ++slot)
        renderDevice.SetRawTexture(firstSampler + uint32_t(slot), cubeTargets[slot]->texture);
}
