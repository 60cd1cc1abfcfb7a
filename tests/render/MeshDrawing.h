// Draws mesh subsets with their materials the way the scene renderer will: the material's
// shader and technique, world matrices, colour tinted by the model's colour where the subset
// takes it, the material's strengths, texture animation and textures, and its blending.
#pragma once

#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeRenderDevice.h"
#include "WeShader.h"

struct MeshDrawing
{
    // One subset of a material set; alpha-blended materials (pass 2) only when `alpha` is set.
    static void DrawSubset(WeMesh& mesh, int32_t set, int32_t subset, const d3dx::Matrix& world,
                           const WeColor& tint, float time, bool alpha, int32_t technique = 0,
                           const d3dx::Matrix* bones = nullptr, uint32_t boneCount = 0)
    {
        WeMaterial* material = mesh.sets[set].materials[subset];
        if (!material)
            material = materialManager.defaultMaterial;
        WeShader* shader = material ? material->shader : nullptr;
        if (!shader || (material->pass == 2) != alpha || !shader->SetTechnique(technique))
            return;
        float color[4];
        std::copy(std::begin(material->color), std::end(material->color), color);
        if (mesh.sets[set].tinted[subset])
        {
            const float model[4] = {tint.r, tint.g, tint.b, tint.a};
            for (int i = 0; i < 4; ++i)
                color[i] *= model[i];
        }
        renderDevice.SetAlphaBlend(alpha, true);
        renderDevice.device->SetRenderState(d3d9::D3DRS_SRCBLEND, uint32_t(material->srcBlend));
        renderDevice.device->SetRenderState(d3d9::D3DRS_DESTBLEND, uint32_t(material->destBlend));
        renderDevice.device->SetRenderState(d3d9::D3DRS_ZWRITEENABLE, alpha ? 0 : 1);
        for (uint32_t stage : {0u, 3u})
            renderDevice.SetSamplerState(stage, 4, 2);
        shader->SetWorldMatrices(world);
        shader->SetMaterialColor(color);
        shader->SetMaterialParameters(material->materialStrength, material->envStrength,
                                      material->bumpIntensity, material->staticBumpVector,
                                      material->staticBumpIntensity, material->specularPow,
                                      material->glowAmount, material->furStrength);
        if (bones)
            shader->SetBoneMatrices(bones, boneCount);
        material->UpdateTextureAnimation(time);
        material->ApplyTextures(0, nullptr, 0);
        shader->Begin(0);
        shader->BeginPass(0);
        shader->CommitChanges();
        mesh.DrawSubset(subset);
        shader->EndPass();
        shader->End();
    }

    // Every subset of the set, opaque ones first.
    static void Draw(WeMesh& mesh, int32_t set, const d3dx::Matrix& world, const WeColor& tint, float time)
    {
        for (bool alpha : {false, true})
            for (int32_t subset = 0; subset < mesh.subsetCount; ++subset)
                DrawSubset(mesh, set, subset, world, tint, time, alpha);
    }
};
