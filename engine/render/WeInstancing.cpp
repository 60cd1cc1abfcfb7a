#include "WeInstancing.h"

#include "WeActor.h"
#include "WeClothActorRenderer.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WeRenderDevice.h"
#include "WeShader.h"
#include "WeSphere.h"
#include "d3d9/D3d9Device.h"

#include <algorithm>

bool WeInstanceRun::Instancing(const WeShader* effect)
{
    return effect && effect->instancing && effect->passCount == 1;
}

bool WeInstanceRun::Repeatable(const WeRenderItem& item)
{
    const WeActor* actor = item.actor;
    const WeBaseModel* model = item.model;
    return actor && model && model->kind == 0 && model->mesh && !model->mesh->skinned &&
           actor->type != WeActorTypeParticleSystem && !WeClothActorRenderer::DrawsActor(actor);
}

void WeInstanceRun::Begin(WeRenderItem* const* items, size_t count, const WeShader* effect)
{
    data.resize(count * floatsPerItem);
    float* out = data.data();
    for (size_t index = 0; index < count; ++index)
    {
        const WeRenderItem& item = *items[index];
        WeMatrix world = *item.world;
        // As WeShader::SetWorldMatrices computes it.
        const WeMatrix worldViewProj = d3dx::D3DXMatrixMultiply(world, shaders.viewProjection);
        if (effect && effect->perVertexLightsColor && item.model->otherLightCount > 0)
        {
            // As WeShader::SetPerVertexLights computes it.
            const WeSphere bounds{item.actor->sphereCentre, item.actor->sphereRadius};
            float colour[4];
            WeShader::VertexLightColour(*item.model->otherLights[0], &bounds, colour);
            for (int32_t row = 0; row < 3; ++row)
                world.m[row][3] = colour[row];
        }
        out = std::copy(&world.m[0][0], &world.m[0][0] + 16, out);
        out = std::copy(&worldViewProj.m[0][0], &worldViewProj.m[0][0] + 16, out);
    }
    renderDevice.device->SetInstances(data.data(), uint32_t(floatsPerItem / 4), uint32_t(count));
}

void WeInstanceRun::End()
{
    renderDevice.device->SetInstances(nullptr, 0, 0);
}
