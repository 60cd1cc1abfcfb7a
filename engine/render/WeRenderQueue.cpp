#include "WeRenderQueue.h"

#include "WeActor.h"
#include "WeEngine.h"
#include "WeLight.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WeRenderDevice.h"
#include "WeSceneRenderer.h"
#include "WeShader.h"
#include "WeShadowMapRenderer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{

// Folds an object's address into the bits a key groups by.
uint32_t AddressHash(const void* object)
{
    const auto address = uint32_t(reinterpret_cast<uintptr_t>(object));
    return (address >> 16) ^ address;
}

} // namespace

void WeRenderList::Push(WeRenderItem* item, int32_t key)
{
    if (count == GetCapacity())
        entries.resize(entries.size() * 4);
    int32_t at = count++;
    while (at > 0)
    {
        const int32_t parent = (at - 1) / 2;
        if (!(key < entries[size_t(parent)].key))
            break;
        entries[size_t(at)] = entries[size_t(parent)];
        at = parent;
    }
    entries[size_t(at)] = Entry{item, key};
}

WeRenderItem* WeRenderList::PopMin()
{
    if (count == 0)
        return nullptr;
    const Entry root = entries[0];
    const Entry last = entries[size_t(--count)];
    int32_t at = 0;
    for (int32_t child = 1; child < count; child = 2 * at + 1)
    {
        if (child + 1 < count && entries[size_t(child + 1)].key < entries[size_t(child)].key)
            ++child;
        if (!(entries[size_t(child)].key < last.key))
            break;
        entries[size_t(at)] = entries[size_t(child)];
        at = child;
    }
    entries[size_t(at)] = last;
    entries[size_t(count)] = root;
    return root.item;
}

void WeRenderQueue::Recycle()
{
    if (!liveHead)
        return;
    liveTail->next = freeList;
    freeList = liveHead;
    liveHead = liveTail = nullptr;
}

void WeRenderQueue::FreeAll()
{
    storage.clear();
    freeList = liveHead = liveTail = nullptr;
}

WeRenderItem* WeRenderQueue::TakeItem()
{
    WeRenderItem* item = freeList;
    if (item)
        freeList = item->next;
    else
        item = &storage.emplace_back();
    item->next = liveHead;
    liveHead = item;
    if (!liveTail)
        liveTail = item;
    return item;
}

WeRenderItem* WeRenderQueue::Add(WeMaterial* material, WeActor* actor, int32_t materialSet,
                                 WeBaseModel* model, int32_t subset, const WeMatrix* world,
                                 const WeCamera* camera)
{
    if (!material || !world)
        return nullptr;
    WeRenderItem* item = TakeItem();
    item->material = material;
    item->actor = actor;
    item->materialSet = materialSet;
    item->model = model;
    item->subset = subset;
    item->world = world;
    if (model && actor && material->lighting && !model->lightsGathered)
        model->GatherLights(actor->scene);
    item->depth = Depth(actor, model != nullptr, material->pass == 2, camera);
    const bool meshFlag = model && model->mesh && model->mesh->skinned;
    item->techniqueMask =
        ComposeMask(*material, model ? model->lightFlags : 0, Shadowed(actor, model), meshFlag);
    return File(item, actor && actor->outlined, AlphaKind(*material, actor)) ? item : nullptr;
}

bool WeRenderQueue::Shadowed(const WeActor* actor, const WeBaseModel* model)
{
    if (renderDevice.shadows <= 0 || shadowMapRenderer.lights.GetCount() == 0 || !actor || !model ||
        !actor->shadowVolume)
        return false;
    const int32_t count = std::min(model->pointLightCount, WeShadowMapRenderer::LightLimit());
    for (int32_t index = 0; index < count; ++index)
        if (model->pointLights[index] && model->pointLights[index]->shadowSampler > 0)
            return true;
    return false;
}

float WeRenderQueue::Depth(const WeActor* actor, bool withModel, bool alpha, const WeCamera* camera)
{
    if (!actor || !camera)
        return 0.0f;
    const WeVector inView = D3DXVec3TransformCoord(actor->sphereCentre, camera->view);
    const float depth = alpha ? D3DXVec3Length(inView) : inView.z;
    return withModel ? depth - actor->sphereRadius : depth;
}

int32_t WeRenderQueue::AlphaKind(const WeMaterial& material, const WeActor* actor)
{
    if (!actor)
        return 1;
    const bool additive = material.destBlend == d3d9::D3DBLEND_ONE;
    const int32_t kind = actor->type == WeActorTypeParticleSystem ? (additive ? 4 : 2) : 1;
    return actor->fromMap ? kind : kind + 8;
}

int32_t WeRenderQueue::DepthUnits(float depth)
{
    // Symmetric bounds, so that a key may negate the units.
    constexpr float bound = float(std::numeric_limits<int32_t>::max() - 127);
    const float units = depth * 32768.0f;
    if (std::isnan(units))
        return 0;
    return int32_t(std::clamp(units, -bound, bound));
}

int32_t WeRenderQueue::StateKey(const WeShader* shader, int32_t techniqueMask, const WeMaterial* material,
                                int32_t pass)
{
    // The engine composes technique bits 0 to 8 only; nine bits keep the sum within int32.
    const uint32_t key = ((AddressHash(shader) & 0x3FF) << 20) + ((uint32_t(techniqueMask) & 0x1FF) << 11) +
                         (AddressHash(material) & 0x7FF) + (pass == 6 ? 0x40000000u : 0u);
    return int32_t(key);
}

int32_t WeRenderQueue::AlphaKey(int32_t priority, int32_t kind, int32_t depthUnits)
{
    // The depth part stays within half a group, so no depth reaches a neighbouring group.
    constexpr int32_t halfGroup = (1 << 23) - 1;
    const int32_t p = std::clamp(priority, -3, 4);
    const int32_t group = (4 - p) * 16 + std::clamp(kind, 0, 15);
    return (group << 24) - std::clamp(depthUnits >> 7, -halfGroup, halfGroup);
}

int32_t WeRenderQueue::ComposeMask(const WeMaterial& material, int32_t modelBits, bool shadowed,
                                   bool meshFlag) const
{
    const WeShader* shader = material.shader;
    if (!shader || reflectionRenderer.reflecting || renderDevice.greyAmbient)
        return 0;
    int32_t bits = modelBits;
    // The scene's fog setting, not whether fog is on at this moment: the frame ends with fog off,
    // so the next preparation would never see it on.
    if (renderDevice.pixelShader3 && renderDevice.shaderLevel == 2 && shader->supportsFeature[0] &&
        (material.ownFog ? material.fogEnabled : renderDevice.fogConfigured))
        bits |= WeMaterial::fogFlag;
    if (material.specularPow > 0.0f && (bits & WeMaterial::lightingFlag))
        bits |= WeMaterial::specularFlag;
    const bool splatTextures = material.textures[10] || material.textures[11] || material.textures[12];
    if (material.textures[1] || (material.splat && splatTextures))
        bits |= WeMaterial::bumpFlag;
    if (material.textures[4] || (renderDevice.reflectionQuality >= 2 && material.reflective))
        bits |= WeMaterial::environmentFlag;
    if (shadowed && shader->supportsFeature[5])
        bits |= WeMaterial::shadowFlag;
    if (material.splat)
        bits |= WeMaterial::splatFlag;
    if (meshFlag)
        bits |= WeMaterial::skinnedFlag;
    // Without a glow map the black texture stands in for it, so shaders that offer it skip
    // the sample.
    if (!material.textures[3])
        bits |= WeMaterial::noGlowMapFlag;
    return shader->ChooseMask(bits & frameMask);
}

bool WeRenderQueue::File(WeRenderItem* item, bool outlined, int32_t alphaKind)
{
    const WeMaterial& material = *item->material;
    const int32_t units = DepthUnits(item->depth);
    WeRenderList* lists = sceneRenderer.lists;
    WeFrameStats::PerFrame& stats = frameStats.frame;
    switch (material.pass)
    {
    case 0:
    case 6:
    {
        const int32_t key = StateKey(material.shader, item->techniqueMask, &material, material.pass);
        lists[WeSceneRenderer::solidList].Push(item, key);
        lists[WeSceneRenderer::ListOfMaterialPass(material.pass, outlined && renderDevice.outlines)].Push(
            item, key);
        ++stats.queuedSolid;
        return true;
    }
    case 2:
        lists[WeSceneRenderer::alphaList].Push(item, AlphaKey(material.priority, alphaKind, units));
        ++stats.queuedAlpha;
        return true;
    case 4:
        lists[WeSceneRenderer::lastList].Push(item, -units);
        ++stats.queuedLast;
        return true;
    case 5:
        lists[WeSceneRenderer::backgroundList].Push(item, -units);
        ++stats.queuedBackground;
        return true;
    default:
        return false;
    }
}
