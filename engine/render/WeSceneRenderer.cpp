#include "WeSceneRenderer.h"

#include "WeActor.h"
#include "WeClothActorRenderer.h"
#include "WeConfig.h"
#include "WeDebugRenderer.h"
#include "WeEngine.h"
#include "WeFlareRenderer.h"
#include "WeInstancing.h"
#include "WeLight.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModelFrame.h"
#include "WeParticleSystem.h"
#include "WeParticleSystemRenderer.h"
#include "WePostProcess.h"
#include "WeProjectorRenderer.h"
#include "WeRenderDevice.h"
#include "WeRenderTarget.h"
#include "WeScene.h"
#include "WeShader.h"
#include "WeShadowMapRenderer.h"
#include "WeTexture.h"
#include "WeTimer.h"
#include "WeVelocityRenderer.h"
#include "d3d9/D3d9Device.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <tuple>

namespace
{

using namespace d3d9;

constexpr VertexElement meshElements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                          {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0},
                                          {0, 24, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                          {0, 32, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_TANGENT, 0},
                                          {0, 44, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 1},
                                          D3DDECL_END};
// The mesh vertex followed by four bone weights and four bone indices.
constexpr VertexElement skinnedElements[] = {meshElements[0],
                                             meshElements[1],
                                             meshElements[2],
                                             meshElements[3],
                                             meshElements[4],
                                             {0, 52, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_TEXCOORD, 2},
                                             {0, 68, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_TEXCOORD, 3},
                                             D3DDECL_END};

// Timed sites of the passes, in the timer's table of profile slots.
constexpr int32_t backgroundProfileSlot = 71, solidProfileSlot = 72, alphaProfileSlot = 73;

template <typename T> void ReleaseAndClear(T*& object)
{
    if (object)
    {
        object->Release();
        object = nullptr;
    }
}

// The scales the configuration gives the materials' shading values, read once.
struct ShadingScales
{
    float bump = WeConfig::GetFloat("engine.Render.BumpScale", 1.0f);
    float staticBump[3] = {WeConfig::GetFloat("engine.Render.StaticBumpScale.x", 1.0f),
                           WeConfig::GetFloat("engine.Render.StaticBumpScale.y", 1.0f),
                           WeConfig::GetFloat("engine.Render.StaticBumpScale.z", 1.0f)};
    float specular = WeConfig::GetFloat("engine.Render.SpecularScale", 10.0f);
};

const ShadingScales& Scales()
{
    static const ShadingScales scales;
    return scales;
}

// Runs of items that differ only in where they stand, drawn as one.
WeInstanceRun instanceRun;

// The order within a run of one key that puts items an instanced draw can repeat side by side:
// by mesh, subset and lights.
bool InstanceOrder(const WeRenderItem* a, const WeRenderItem* b)
{
    const auto key = [](const WeRenderItem* item)
    {
        const WeBaseModel* model = item->model;
        const WeLight* const* lights = model ? model->pointLights : nullptr;
        return std::make_tuple(model ? model->mesh : nullptr, item->subset,
                               model ? model->pointLightCount : 0, lights ? lights[0] : nullptr,
                               lights ? lights[1] : nullptr, lights ? lights[2] : nullptr,
                               lights ? lights[3] : nullptr, model ? model->otherLightCount : 0,
                               model ? model->otherLights[0] : nullptr);
    };
    return std::less<>()(key(a), key(b));
}

// Whether the items are lit alike: the same point lights, and the same per-vertex lights, each
// but the first (whose colour an instance brings) reaching both actors as much.
bool SameLights(const WeRenderItem& a, const WeRenderItem& b)
{
    const WeBaseModel& first = *a.model;
    const WeBaseModel& other = *b.model;
    const int32_t points = std::clamp(first.pointLightCount, 0, WeBaseModel::maxLights);
    const int32_t others = std::clamp(first.otherLightCount, 0, WeBaseModel::maxLights);
    if (first.pointLightCount != other.pointLightCount || first.otherLightCount != other.otherLightCount ||
        !std::equal(first.pointLights, first.pointLights + points, other.pointLights) ||
        !std::equal(first.otherLights, first.otherLights + others, other.otherLights))
        return false;
    const WeSphere boundsA{a.actor->sphereCentre, a.actor->sphereRadius};
    const WeSphere boundsB{b.actor->sphereCentre, b.actor->sphereRadius};
    for (int32_t index = 1; index < others; ++index)
    {
        float colourA[4], colourB[4];
        WeShader::VertexLightColour(*first.otherLights[index], &boundsA, colourA);
        WeShader::VertexLightColour(*first.otherLights[index], &boundsB, colourB);
        if (!std::equal(colourA, colourA + 4, colourB))
            return false;
    }
    return true;
}

// The material's static bump vector scaled per axis and normalised (zero stays zero).
void ScaledStaticBump(const WeMaterial& material, float out[3])
{
    float length = 0.0f;
    for (int32_t axis = 0; axis < 3; ++axis)
    {
        out[axis] = material.staticBumpVector[axis] * Scales().staticBump[axis];
        length += out[axis] * out[axis];
    }
    if (length > 0.0f)
        for (int32_t axis = 0; axis < 3; ++axis)
            out[axis] /= std::sqrt(length);
}

} // namespace

WeSceneRenderer::~WeSceneRenderer()
{
    WeSceneRenderer::OnLostDevice();
}

bool WeSceneRenderer::Init()
{
    OnResetDevice();
    initialised = true;
    return true;
}

void WeSceneRenderer::Shutdown()
{
    if (!initialised)
        return;
    OnLostDevice();
    initialised = false;
}

void WeSceneRenderer::OnLostDevice()
{
    ReleaseAndClear(meshDeclaration);
    ReleaseAndClear(skinnedDeclaration);
    // The programs a lost device made go with it.
    drawnLooks.clear();
}

void WeSceneRenderer::OnResetDevice()
{
    if (!renderDevice.device)
        return;
    if (!meshDeclaration)
        renderDevice.device->CreateVertexDeclaration(meshElements, &meshDeclaration);
    if (!skinnedDeclaration)
        renderDevice.device->CreateVertexDeclaration(skinnedElements, &skinnedDeclaration);
}

int32_t WeSceneRenderer::ListOfMaterialPass(int32_t materialPass, bool outlined)
{
    switch (materialPass)
    {
    case 0:
    case 6:
        return outlined ? solidOutlinedList : solidPlainList;
    case 2:
        return alphaList;
    case 4:
        return lastList;
    case 5:
        return backgroundList;
    default:
        return -1;
    }
}

void WeSceneRenderer::Prepare(WeScene* newScene, WeCamera* newCamera)
{
    scene = newScene;
    camera = newCamera;
    int32_t mask = WeRenderQueue::allFeatures;
    if (renderDevice.reflectionQuality == 0)
        mask &= ~WeMaterial::environmentFlag;
    if (!renderDevice.normalMaps)
        mask &= ~WeMaterial::bumpFlag;
    if (!renderDevice.specularHighlights)
        mask &= ~WeMaterial::specularFlag;
    if (!renderDevice.pointLighting)
        mask &= ~(WeMaterial::lightingFlag | WeMaterial::specularFlag);
    renderQueue.frameMask = mask;
    renderQueue.Recycle();
    for (WeRenderList& list : lists)
        list.Clear();
    projectorRenderer.BeginFrame();
    if (scene && camera)
    {
        for (int32_t i = 0; i < 2; ++i)
            scene->visibilityDistancesSquared[i] =
                scene->visibilityDistances[i] * scene->visibilityDistances[i];
        const float shadowMargin = ShadowMargin();
        scene->actors.ForEach(
            [&](const WeString&, WeActor* actor)
            {
                if (!Collects(*actor, shadowMargin) || !scene->IsVisibleThroughPortals(*actor, *camera))
                    return;
                actor->lightSet[0] = scene->lightSet[0];
                actor->lightSet[1] = scene->lightSet[1];
                ++frameStats.frame.visibleActors;
                actor->Render(camera);
            });
    }
    for (WeRenderList& list : lists)
        list.sizeAtFill = list.GetCount();
    if (!reflectionRenderer.reflecting)
        reflectionRenderer.NoteReflectiveItems(scene, lists, listCount);
    if (passSwitch[projectorSwitch] >= 1)
        projectorRenderer.Prepare(scene, camera);
    if (passSwitch[flareSwitch] >= 1)
        flareRenderer.Prepare(scene, camera);
}

float WeSceneRenderer::ShadowMargin() const
{
    // How far outside the view a shadow light's sphere reaches: actors that far out may cast a
    // shadow into it.
    float margin = 0.0f;
    for (const WeLight* light : shadowMapRenderer.lights)
    {
        if (!WeShadowMapRenderer::LightVisible(*light, camera->frustum))
            continue;
        const WeVector position = light->GetWorldPosition();
        for (const d3dx::Plane& plane : camera->frustum.planes)
        {
            const float squared = plane.a * plane.a + plane.b * plane.b + plane.c * plane.c;
            if (squared > 0.0f)
                margin = std::max(margin, light->Range - d3dx::D3DXPlaneDotCoord(plane, position) / squared);
        }
    }
    return margin;
}

bool WeSceneRenderer::Collects(const WeActor& actor, float margin) const
{
    // A particle system's active flag only shows its marker model in the editor; its particles
    // are drawn either way.
    if ((!actor.active && actor.type != WeActorTypeParticleSystem) || !actor.IsVisible())
        return false;
    if (reflectionRenderer.reflecting && actor.model && actor.model->mesh)
    {
        const uint32_t* masks = actor.model->mesh->setMasks;
        for (const int32_t set : {actor.materialPreset, actor.secondMaterialPreset})
            if (set >= 0 && set < WeMesh::setCount && masks[set])
                return false;
    }
    return actor.IsInFrustum(camera->frustum, 0, margin);
}

void WeSceneRenderer::SetSamplerDefaults() const
{
    constexpr int32_t anisotropic = 3, clamp = 1, wrap = 2;
    for (uint32_t stage = 0; stage < 16; ++stage)
    {
        if (stage == 8)
            continue;
        const bool clamped = stage == 4 || stage == 6 || stage == 7;
        renderDevice.SetSamplerState(stage, anisotropic, clamped ? clamp : wrap);
    }
    for (uint32_t stage = 8; stage < 12; ++stage)
        for (const SamplerState filter : {D3DSAMP_MAGFILTER, D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER})
            renderDevice.device->SetSamplerState(stage, filter, D3DTEXF_LINEAR);
}

void WeSceneRenderer::Render()
{
    if (!renderDevice.device || !camera)
        return;
    shaders.SetCameraMatrices(camera->view, camera->projection, camera);
    const float position[3] = {camera->position.x, camera->position.y, camera->position.z};
    const float direction[3] = {camera->direction.x, camera->direction.y, camera->direction.z};
    shaders.SetCameraPosition(position);
    shaders.SetCameraDirection(direction);
    Device& device = *renderDevice.device;
    device.SetRenderState(D3DRS_ZENABLE, 1);
    device.SetRenderState(D3DRS_ZWRITEENABLE, 1);
    device.SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    renderDevice.SetAlphaBlend(false, true);
    SetSamplerDefaults();
    if (passSwitch[velocitySwitch] > 0)
        velocityRenderer.Render(scene, camera, 0);
    if (passSwitch[backgroundSwitch] > 0)
    {
        const WeProfileScope profile(timer.profileSlots[backgroundProfileSlot], "Render Background");
        renderDevice.DisableFog();
        if (scene)
            scene->skyBox.Render(camera, 1.0f);
        RenderPass(backgroundPass);
    }
    renderDevice.EnableFog();
    if (renderDevice.refraction)
    {
        device.SetRenderState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
        device.SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
        device.SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_REPLACE);
        device.SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
        device.SetRenderState(D3DRS_STENCILREF, 1);
        device.SetRenderState(D3DRS_STENCILMASK, 1);
        device.SetRenderState(D3DRS_STENCILWRITEMASK, 1);
        renderDevice.DisableStencil();
    }
    if (renderDevice.outlines && passSwitch[outlineSwitch] >= 1 && !lists[solidOutlinedList].IsEmpty())
    {
        RenderPass(outlinedPass);
        postProcess.RenderOutlines();
    }
    if (passSwitch[solidSwitch] > 0)
    {
        const WeProfileScope profile(timer.profileSlots[solidProfileSlot], "Render Solid");
        RenderPass(solidPass);
    }
    if (passSwitch[projectorSwitch] > 0)
        projectorRenderer.Render(scene, camera);
    if (passSwitch[alphaSwitch] > 0)
    {
        const WeProfileScope profile(timer.profileSlots[alphaProfileSlot], "Render Alpha");
        RenderPass(alphaPass);
    }
    if (renderDevice.refraction)
        renderDevice.DisableStencil();
    renderDevice.DisableFog();
    if (passSwitch[lastSwitch] > 0)
        RenderPass(lastPass);
    if (passSwitch[flareSwitch] > 0)
        flareRenderer.Render(scene, camera);
    if (!reflectionRenderer.reflecting)
        debugRenderer.DrawLines(camera);
}

namespace
{

// What a pass draws and how: its list (-1 none); its blending, depth test and depth writes (-1
// leaves one as it is); the frame counter of the items it draws; whether the runs of one key go
// nearest first.
struct PassTraits
{
    int32_t list;
    int32_t alphaBlend, depthTest, depthWrite;
    int32_t WeFrameStats::PerFrame::*drawn;
    bool nearestFirst;
};

using Frame = WeFrameStats::PerFrame;
constexpr PassTraits kPasses[WeSceneRenderer::passCount] = {
    {-1, -1, -1, -1, &Frame::drawnSolid, false}, // no pass
    {WeSceneRenderer::backgroundList, 1, 0, -1, &Frame::drawnBackground, false},
    {WeSceneRenderer::solidOutlinedList, 0, 1, 1, &Frame::drawnSolid, true},
    {WeSceneRenderer::solidPlainList, 0, 1, 1, &Frame::drawnSolid, true},
    {-1, -1, -1, -1, &Frame::drawnSolid, false}, // the projectors'
    {WeSceneRenderer::alphaList, 1, 1, 0, &Frame::drawnAlpha, false},
    {WeSceneRenderer::lastList, 1, 0, -1, &Frame::drawnLast, false},
};

} // namespace

void WeSceneRenderer::SetPassStates(int32_t pass)
{
    const PassTraits& traits = kPasses[pass];
    Device& device = *renderDevice.device;
    if (traits.alphaBlend >= 0)
        renderDevice.SetAlphaBlend(traits.alphaBlend != 0, true);
    if (traits.depthTest >= 0)
        device.SetRenderState(D3DRS_ZENABLE, uint32_t(traits.depthTest));
    if (traits.depthWrite >= 0)
        device.SetRenderState(D3DRS_ZWRITEENABLE, uint32_t(traits.depthWrite));
}

void WeSceneRenderer::RenderPass(int32_t pass)
{
    if (!renderDevice.device || pass < backgroundPass || pass >= passCount)
        return;
    SetPassStates(pass);
    const int32_t listIndex = kPasses[pass].list;
    state = PassState{};
    replay.clear();
    if (listIndex >= 0)
        OrderItems(pass, lists[listIndex]);
    else
        ordered.clear();
    for (size_t index = 0; index < ordered.size();)
    {
        WeRenderItem* item = ordered[index];
        SwitchEffect(*item);
        const size_t count = RunLength(index);
        if (!Admits(*item, pass, count > 1))
        {
            index += count;
            continue;
        }
        if (count > 1)
            instanceRun.Begin(&ordered[index], count, state.effect);
        DrawItem(*item);
        if (count > 1)
            instanceRun.End();
        for (size_t drawn = 0; drawn < count; ++drawn)
            CountDrawn(pass);
        if (state.effect && state.effect->passCount >= 2 && int32_t(replay.size()) < replayLimit)
            replay.push_back(item);
        index += count;
    }
    FinishEffect();
    if (state.ownFogStored)
        renderDevice.RestoreFog();
    Device& device = *renderDevice.device;
    renderDevice.SetAlphaBlend(false, true);
    device.SetRenderState(D3DRS_ZENABLE, 1);
    device.SetRenderState(D3DRS_ZWRITEENABLE, 1);
    renderDevice.SetAlphaTest(0);
    device.SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device.SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
}

namespace
{

// A texture's format and kind; 0 for none.
uint64_t TextureLook(const WeTexture* texture)
{
    return texture ? uint64_t(texture->format) << 8 | uint64_t(texture->kind & 0xFF) : 0;
}

// The layout the item's geometry is drawn with, as DrawGeometry picks it.
const VertexDeclaration* GeometryLayout(const WeSceneRenderer& renderer, const WeRenderItem& item)
{
    if (item.actor && item.actor->type == WeActorTypeParticleSystem)
        return particleSystemRenderer.declaration;
    if (WeClothActorRenderer::DrawsActor(item.actor))
        return clothActorRenderer.declaration;
    const WeMesh* mesh = item.model ? item.model->mesh : nullptr;
    return mesh ? renderer.DeclarationFor(*mesh) : nullptr;
}

} // namespace

WeSceneRenderer::Look WeSceneRenderer::LookOf(const WeRenderItem& item, int32_t pass, bool instanced) const
{
    static_assert(textureSlots == WeMaterial::slotCount);
    const WeMaterial& material = *item.material;
    Look look;
    look.effect = material.shader;
    look.techniqueMask = item.techniqueMask;
    look.pass = pass;
    look.srcBlend = material.srcBlend;
    look.destBlend = material.destBlend;
    look.refractive = material.refractive;
    for (int32_t slot = 0; slot < textureSlots; ++slot)
        look.textures[slot] = TextureLook(material.textures[slot]);
    look.lightMap = item.actor ? TextureLook(item.actor->lightMap.texture) : 0;
    look.geometry = GeometryLayout(*this, item);
    look.instanced = instanced;
    look.reflecting = reflectionRenderer.reflecting;
    return look;
}

bool WeSceneRenderer::Admits(const WeRenderItem& item, int32_t pass, bool instanced)
{
    if (warmUp.running && warmUp.holdLit && item.material->lighting)
        return false;
    const auto [look, fresh] = drawnLooks.insert(LookOf(item, pass, instanced));
    if (!warmUp.running)
    {
        coldLooks += fresh ? 1 : 0;
        return true;
    }
    if (!fresh)
        return false;
    if (warmUp.drawn > 0 && timer.GetSeconds() >= warmUp.deadline)
    {
        drawnLooks.erase(look); // for the next warm-up
        warmUp.incomplete = true;
        return false;
    }
    ++warmUp.drawn;
    return true;
}

void WeSceneRenderer::BeginWarmUp(double milliseconds, bool holdLit)
{
    warmUp = {true, timer.GetSeconds() + milliseconds / 1000.0, 0, false, holdLit};
}

bool WeSceneRenderer::EndWarmUp()
{
    warmUp.running = false;
    return !warmUp.incomplete;
}

void WeSceneRenderer::OrderItems(int32_t pass, WeRenderList& list)
{
    byKey.clear();
    groups.clear();
    int32_t groupKey = 0;
    while (!list.IsEmpty())
    {
        const int32_t key = list.Top().key;
        WeRenderItem* item = list.PopMin();
        if (groups.empty() || key != groupKey)
            groups.push_back({byKey.size(), 0, 0.0f});
        groupKey = key;
        Group& group = groups.back();
        group.depth += (CentreDepth(*item) - group.depth) / float(++group.count);
        byKey.push_back(item);
    }
    // The other lists keep their key order: back to front, or by priority.
    if (kPasses[pass].nearestFirst)
    {
        std::stable_sort(groups.begin(), groups.end(),
                         [](const Group& a, const Group& b) { return a.depth < b.depth; });
        for (const Group& group : groups)
        {
            const auto first = byKey.begin() + ptrdiff_t(group.first);
            std::stable_sort(first, first + ptrdiff_t(group.count), InstanceOrder);
        }
    }
    ordered.clear();
    for (const Group& group : groups)
        ordered.insert(ordered.end(), byKey.begin() + ptrdiff_t(group.first),
                       byKey.begin() + ptrdiff_t(group.first + group.count));
}

size_t WeSceneRenderer::RunLength(size_t first) const
{
    const WeRenderItem& head = *ordered[first];
    const bool backFirst = head.material->twoSided && head.material->pass == 2;
    if (backFirst || !WeInstanceRun::Instancing(state.effect) || !WeInstanceRun::Repeatable(head))
        return 1;
    size_t end = first + 1;
    while (end < ordered.size() && DrawsAlike(head, *ordered[end]))
        ++end;
    return end - first;
}

bool WeSceneRenderer::DrawsAlike(const WeRenderItem& a, const WeRenderItem& b)
{
    // Items of different sets may share the material; the set only matters through the tint
    // and the alpha reference, compared below.
    if (a.material != b.material || a.techniqueMask != b.techniqueMask || a.subset != b.subset ||
        !WeInstanceRun::Repeatable(b) || a.model->mesh != b.model->mesh)
        return false;
    const WeActor& first = *a.actor;
    const WeActor& other = *b.actor;
    const bool sameAnimation = a.material->textureAnimation == 0 ||
                               (first.scene == other.scene && first.creationTime == other.creationTime);
    float colourA[4], colourB[4];
    ItemColour(a, colourA);
    ItemColour(b, colourB);
    return sameAnimation && first.lightMap.texture == other.lightMap.texture &&
           AlphaReference(a) == AlphaReference(b) && std::equal(colourA, colourA + 4, colourB) &&
           SameLights(a, b);
}

float WeSceneRenderer::CentreDepth(const WeRenderItem& item) const
{
    if (!item.actor || !camera)
        return 0.0f;
    return D3DXVec3TransformCoord(item.actor->sphereCentre, camera->view).z;
}

void WeSceneRenderer::SwitchEffect(const WeRenderItem& item)
{
    WeShader* effect = item.material->shader;
    if (state.effect && effect == state.effect && item.techniqueMask == state.techniqueMask)
        return;
    FinishEffect();
    state.effect = effect;
    state.techniqueMask = item.techniqueMask;
    if (!effect)
        return;
    effect->SetTechnique(item.techniqueMask);
    effect->Begin(0);
    effect->BeginPass(0);
}

void WeSceneRenderer::FinishEffect()
{
    WeShader* effect = state.effect;
    if (!effect)
        return;
    for (uint32_t pass = 1; pass < effect->passCount; ++pass)
    {
        effect->EndPass();
        effect->BeginPass(pass);
        state.material = nullptr; // each further pass sets its materials up again
        for (const WeRenderItem* item : replay)
            DrawItem(*item);
    }
    effect->EndPass();
    effect->End();
    state.effect = nullptr;
    replay.clear();
}

void WeSceneRenderer::DrawItem(const WeRenderItem& item)
{
    if (item.material != state.material)
        SetupMaterial(*item.material, item.techniqueMask);
    SetAlphaReference(item);
    WeShader* effect = state.effect;
    if (!effect)
        return;
    SetupItem(effect, item);
    if (const WeBaseModel* model = item.model; model && model->pointLightCount + model->otherLightCount > 0)
    {
        effect->SetPerPixelLights(item);
        WeSphere bounds;
        if (item.actor)
            bounds = {item.actor->sphereCentre, item.actor->sphereRadius};
        effect->SetPerVertexLights(item, item.actor ? &bounds : nullptr);
    }
    effect->CommitChanges();
    DrawGeometry(item);
}

void WeSceneRenderer::DrawGeometry(const WeRenderItem& item)
{
    // Particle systems and cloth bring their own renderers; otherwise only models draw here.
    if (item.actor && item.actor->type == WeActorTypeParticleSystem)
    {
        SetDeclaration(particleSystemRenderer.declaration);
        particleSystemRenderer.Draw(static_cast<const WeParticleSystem&>(*item.actor));
        return;
    }
    if (WeClothActorRenderer::DrawsActor(item.actor))
    {
        SetDeclaration(clothActorRenderer.declaration);
        clothActorRenderer.Draw(item.actor, item.subset);
        return;
    }
    WeMesh* mesh = item.model ? item.model->mesh : nullptr;
    if (!mesh)
        return;
    SetDeclaration(DeclarationFor(*mesh));
    const bool backFirst = item.material->twoSided && item.material->pass == 2;
    if (backFirst)
    {
        Device& device = *renderDevice.device;
        device.SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
        mesh->DrawSubset(item.subset);
        device.SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    }
    mesh->DrawSubset(item.subset);
}

void WeSceneRenderer::SetDeclaration(VertexDeclaration* declaration)
{
    if (declaration == state.declaration)
        return;
    renderDevice.device->SetVertexDeclaration(declaration);
    state.declaration = declaration;
}

void WeSceneRenderer::SetupMaterial(const WeMaterial& material, int32_t techniqueMask)
{
    Device& device = *renderDevice.device;
    if (state.material && state.material->ownFog)
        renderDevice.RestoreFog();
    state.material = &material;
    material.ApplyTextures(techniqueMask, state.textures, 0);
    if (WeShader* effect = material.shader)
    {
        float staticBump[3];
        ScaledStaticBump(material, staticBump);
        effect->SetMaterialParameters(material.materialStrength, material.envStrength,
                                      material.bumpIntensity * Scales().bump, staticBump,
                                      material.staticBumpIntensity, material.specularPow * Scales().specular,
                                      material.glowAmount, material.furStrength);
        if (techniqueMask & WeMaterial::splatFlag)
            effect->SetSplatMapsUVScale(material.splatUVScales);
        if (effect->isWater)
            effect->SetWaveParameters(material.waveSpeed, material.noiseSpeed, material.noiseScale,
                                      material.noiseIntensity);
    }
    device.SetRenderState(D3DRS_CULLMODE, material.twoSided ? D3DCULL_NONE : D3DCULL_CCW);
    device.SetRenderState(D3DRS_FILLMODE, material.wireframe ? D3DFILL_WIREFRAME : D3DFILL_SOLID);
    if (material.srcBlend != state.srcBlend)
        device.SetRenderState(D3DRS_SRCBLEND, uint32_t(material.srcBlend));
    if (material.destBlend != state.destBlend)
        device.SetRenderState(D3DRS_DESTBLEND, uint32_t(material.destBlend));
    state.srcBlend = material.srcBlend;
    state.destBlend = material.destBlend;
    if (renderDevice.refraction)
        SetupRefraction(material);
    if (material.ownFog)
    {
        if (!state.ownFogStored)
            renderDevice.StoreFog();
        state.ownFogStored = true;
        renderDevice.SetFog(material.fogEnabled, renderDevice.fogColor, material.fogStart, material.fogEnd,
                            material.fogMin, material.fogMax);
        renderDevice.ApplyFog();
    }
}

void WeSceneRenderer::SetupRefraction(const WeMaterial& material)
{
    if (material.refractive)
    {
        renderDevice.EnableStencil();
        renderDevice.device->SetRenderState(D3DRS_STENCILZFAIL,
                                            material.pass == 4 ? D3DSTENCILOP_REPLACE : D3DSTENCILOP_KEEP);
    }
    else if (state.refractive)
        renderDevice.DisableStencil();
    state.refractive = material.refractive;
}

int32_t WeSceneRenderer::AlphaReference(const WeRenderItem& item)
{
    int32_t reference = item.material->alphaReference;
    if (item.model && item.actor && item.materialSet == item.actor->materialPreset)
        reference += item.model->alphaOffset;
    return std::clamp(reference, 0, 255);
}

void WeSceneRenderer::SetAlphaReference(const WeRenderItem& item)
{
    const int32_t reference = AlphaReference(item);
    if (reference == state.alphaReference)
        return;
    renderDevice.SetAlphaTest(reference);
    state.alphaReference = reference;
}

void WeSceneRenderer::SetupItem(WeShader* effect, const WeRenderItem& item)
{
    effect->SetWorldMatrices(*item.world);
    WeActor* actor = item.actor;
    if (actor && effect->scaling)
        effect->effect->SetFloatArray(effect->scaling, &actor->scale.x, 3);
    if (actor && effect->cameraRotation && camera)
    {
        const bool mapParticles = actor->type == WeActorTypeParticleSystem && actor->fromMap;
        effect->effect->SetMatrix(effect->cameraRotation, mapParticles ? &camera->levelAxes : &camera->axes);
    }
    WeMaterial& material = *item.material;
    float colour[4];
    ItemColour(item, colour);
    effect->SetMaterialColor(colour);
    if (actor)
    {
        material.UpdateTextureAnimation((actor->scene ? actor->scene->time : 0.0f) - actor->creationTime);
        BaseTexture* lightMap = actor->lightMap.texture ? actor->lightMap.texture->texture : nullptr;
        if (state.textures[7] != lightMap)
        {
            renderDevice.device->SetTexture(7, lightMap);
            state.textures[7] = lightMap;
        }
    }
    SetBones(*effect, item.model);
}

void WeSceneRenderer::ItemColour(const WeRenderItem& item, float colour[4])
{
    const WeMaterial& material = *item.material;
    std::copy(material.color, material.color + 4, colour);
    const WeBaseModel* model = item.model;
    if (model && model->mesh && item.materialSet >= 0 && item.materialSet < WeMesh::setCount &&
        item.subset >= 0 && item.subset < WeMesh::maxSubsets &&
        model->mesh->sets[item.materialSet].tinted[item.subset])
        for (int32_t channel = 0; channel < 4; ++channel)
            colour[channel] *= model->colour[channel];
}

bool WeSceneRenderer::IsSkinned(const WeBaseModel* model)
{
    if (!model || model->kind != 1)
        return false;
    const WeMeshContainer* container = static_cast<const WeModelFrame&>(*model).Container();
    return container && container->boneCount > 0;
}

void WeSceneRenderer::SetBones(WeShader& effect, const WeBaseModel* model)
{
    if (!IsSkinned(model))
        return;
    const auto& frame = static_cast<const WeModelFrame&>(*model);
    effect.SetBoneMatrices(frame.skinMatrices,
                           uint32_t(std::min(frame.Container()->boneCount, WeModelFrame::maxBones)));
}

VertexDeclaration* WeSceneRenderer::DeclarationFor(const WeMesh& mesh) const
{
    return mesh.skinned ? skinnedDeclaration : meshDeclaration;
}

void WeSceneRenderer::CountDrawn(int32_t pass) const
{
    ++(frameStats.frame.*kPasses[pass].drawn);
}

// Reflections.

// The material manager is gone by now (it is built after the renderers); the texture object
// still holds its reference to the cube.
WeReflectionRenderer::~WeReflectionRenderer() = default;

int32_t WeReflectionRenderer::ClampedLevel() const
{
    return std::clamp(level, 0, levelCount - 1);
}

void WeReflectionRenderer::Shutdown()
{
    OnLostDevice();
    camera.reset();
}

void WeReflectionRenderer::OnLostDevice()
{
    renderTargetManager.Destroy(cubeTarget);
    cubeTarget = nullptr;
    cubeTexture.reset();
    materialManager.reflectionCube = nullptr;
}

void WeReflectionRenderer::OnResetDevice()
{
    if (level > 1 && !cubeTarget)
    {
        cubeTarget = renderTargetManager.CreateCube(edges[ClampedLevel()], D3DFMT_X1R5G5B5);
        if (!cubeTarget)
            level = 1;
    }
    cubeTexture = std::make_unique<WeTexture>();
    cubeTexture->kind = 1;
    if (cubeTarget && cubeTarget->texture)
    {
        cubeTexture->texture = cubeTarget->texture;
        cubeTexture->texture->AddRef();
    }
    materialManager.reflectionCube = cubeTexture->texture;
}

bool WeReflectionRenderer::InitLevel(int32_t newLevel)
{
    level = newLevel;
    OnResetDevice();
    camera = std::make_unique<WeCamera>();
    camera->SetPerspective(3.14159265f / 2, 1.0f, 250.0f, 1.0f);
    return true;
}

void WeReflectionRenderer::ShiftSwitches(int32_t by) const
{
    for (const int32_t step :
         {WeSceneRenderer::velocitySwitch, WeSceneRenderer::outlineSwitch, WeSceneRenderer::projectorSwitch,
          WeSceneRenderer::alphaSwitch, WeSceneRenderer::lastSwitch, WeSceneRenderer::flareSwitch,
          WeSceneRenderer::spareSwitch})
        sceneRenderer.passSwitch[step] += by;
}

void WeReflectionRenderer::NoteReflectiveItems(const WeScene* scene, const WeRenderList* lists,
                                               int32_t listCount)
{
    for (int32_t list = 0; list < listCount; ++list)
        for (int32_t index = 0; index < lists[list].GetCount(); ++index)
            if (lists[list].At(index).item->material->reflective)
            {
                if (unreflectiveScene == scene)
                    unreflectiveScene = nullptr;
                return;
            }
    unreflectiveScene = scene;
}

void WeReflectionRenderer::Render(WeScene* scene, WeCamera* sceneCamera)
{
    if (!cubeTarget || !camera || !sceneCamera)
        return;
    if (scene && scene == unreflectiveScene)
    {
        frameCounter = intervals[ClampedLevel()];
        return;
    }
    if (frameCounter < intervals[ClampedLevel()])
    {
        ++frameCounter;
        return;
    }
    frameCounter = 0;
    if (level < 2)
        return;
    reflecting = true;
    Surface* savedTarget = renderDevice.GetRenderTarget();
    renderDevice.UsePlainDepthStencil();
    const WeColor savedAmbient = renderDevice.ambientColor;
    renderDevice.SetAmbientColor({1, 1, 1, 1});
    ShiftSwitches(-1);
    camera->position = sceneCamera->position;
    for (uint32_t face = 0; face < 6; ++face)
    {
        camera->direction = cubeFaces[face].look;
        camera->up = cubeFaces[face].up;
        camera->Update();
        cubeTarget->Bind(0, face);
        WeRenderDevice::Clear(true, {0, 0, 0, 0}, true, 1.0f, renderDevice.refraction, 1);
        sceneRenderer.Prepare(scene, camera.get());
        sceneRenderer.Render();
    }
    ShiftSwitches(1);
    renderDevice.SetAmbientColor(savedAmbient);
    renderDevice.UseMultisampleDepthStencil();
    renderDevice.RestoreRenderTarget(savedTarget);
    reflecting = false;
}
