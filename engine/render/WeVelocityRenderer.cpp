#include "WeVelocityRenderer.h"

#include "WeActor.h"
#include "WeEngine.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WePostProcess.h"
#include "WeRenderDevice.h"
#include "WeRenderTarget.h"
#include "WeSceneRenderer.h"
#include "WeShader.h"
#include "WeShadowMapRenderer.h"
#include "d3d9/D3d9Device.h"

using namespace d3d9;

const char* const WeVelocityRenderer::techniqueNames[techniqueCount] = {"Default",
                                                                        "DoFOnly",
                                                                        "NormalDepthOnly",
                                                                        "NormalDepthAndDoF",
                                                                        "ShadowOnly",
                                                                        "NormalDepthAndShadow",
                                                                        "DoFAndShadow",
                                                                        "NormalDepthDoFShadow",
                                                                        "DefaultWithBlend",
                                                                        "DoFOnlyWithBlend",
                                                                        "NormalDepthOnlyWithBlend",
                                                                        "NormalDepthAndDoFWithBlend",
                                                                        "ShadowOnlyWithBlend",
                                                                        "NormalDepthAndShadowWithBlend",
                                                                        "DoFAndShadowWithBlend",
                                                                        "NormalDepthDoFShadowWithBlend"};

int32_t WeVelocityRenderer::TechniqueIndex(int32_t outputs, bool skinned)
{
    // The names put normal-depth with shadow before motion with shadow.
    static constexpr int32_t byOutputs[8] = {0, 1, 2, 3, 4, 6, 5, 7};
    return byOutputs[outputs & 7] + (skinned ? 8 : 0);
}

bool WeVelocityRenderer::Init()
{
    if (initialised)
        return true;
    effect = shaders.Load("Shaders.Special.Motion");
    initialised = true;
    OnResetDevice();
    return true;
}

void WeVelocityRenderer::Shutdown()
{
    initialised = false;
    effect = nullptr;
    std::fill(std::begin(techniques), std::end(techniques), nullptr);
}

void WeVelocityRenderer::OnResetDevice()
{
    for (int32_t index = 0; index < techniqueCount; ++index)
        techniques[index] =
            effect && effect->effect ? effect->effect->GetTechniqueByName(techniqueNames[index]) : nullptr;
}

int32_t WeVelocityRenderer::WantedOutputs()
{
    // An output whose target could not be made is not wanted: drawing it would land in the
    // scene's own target.
    int32_t outputs = 0;
    if (renderDevice.floatTargetG16R16F &&
        ((renderDevice.pixelShader3 && renderDevice.depthOfField) || renderDevice.motionBlurMode == 2) &&
        postProcess.velocityTarget)
        outputs |= motionBit;
    if (renderDevice.outlines && !sceneRenderer.lists[WeSceneRenderer::solidOutlinedList].IsEmpty() &&
        postProcess.outlineTarget)
        outputs |= normalDepthBit;
    if (renderDevice.shadows > 0 && shadowMapRenderer.hasLights && postProcess.GetShadowTarget())
        outputs |= shadowBit;
    return outputs;
}

void WeVelocityRenderer::BindTargets(bool motion, bool normalDepth, bool shadow) const
{
    const WeRenderTarget* wanted[3] = {motion ? postProcess.velocityTarget : nullptr,
                                       normalDepth ? postProcess.outlineTarget : nullptr,
                                       shadow ? postProcess.GetShadowTarget() : nullptr};
    uint32_t index = 0;
    for (const WeRenderTarget* target : wanted)
        if (target)
            target->Bind(index++, 0);
    for (uint32_t unbound = std::max(index, 1u); unbound < 3; ++unbound)
        renderDevice.device->SetRenderTarget(unbound, nullptr);
}

void WeVelocityRenderer::Render(WeScene*, WeCamera*, int32_t mode)
{
    if (mode != 0 || !effect || !effect->effect || !renderDevice.device)
        return;
    renderDevice.SetAlphaBlend(false, true);
    const int32_t outputs = WantedOutputs();
    if (outputs == 0)
        return;
    Surface* savedTarget = renderDevice.GetRenderTarget();
    renderDevice.UsePlainDepthStencil();
    BindTargets(outputs & motionBit, outputs & normalDepthBit, outputs & shadowBit);
    WeRenderDevice::Clear(true, {0, 0, 0, 0}, true, 1.0f, renderDevice.refraction, 0);
    current = -1;
    if (outputs & (motionBit | shadowBit))
        DrawSolid(outputs);
    if (outputs & normalDepthBit)
        DrawOutlined(outputs);
    EndTechnique();
    renderDevice.device->SetRenderTarget(2, nullptr);
    renderDevice.device->SetRenderTarget(1, nullptr);
    if (outputs & shadowBit)
    {
        postProcess.BlurShadows();
        WeRenderTarget* blurred = nullptr;
        postProcess.GetShadowTargets(&blurred, nullptr);
        if (blurred)
            renderDevice.SetRawTexture(WeShadowMapRenderer::firstSampler, blurred->texture);
    }
    renderDevice.RestoreRenderTarget(savedTarget);
    renderDevice.UseMultisampleDepthStencil();
}

void WeVelocityRenderer::EndTechnique()
{
    if (current < 0)
        return;
    effect->EndPass();
    effect->End();
    current = -1;
}

bool WeVelocityRenderer::UseTechnique(int32_t outputs, bool skinned)
{
    const int32_t index = TechniqueIndex(outputs, skinned);
    if (index == current)
        return true;
    EndTechnique();
    if (!techniques[index])
        return false;
    BindTargets(outputs & motionBit, outputs & normalDepthBit, outputs & shadowBit);
    effect->effect->SetTechnique(techniques[index]);
    effect->Begin(0);
    effect->BeginPass(0);
    current = index;
    return true;
}

void WeVelocityRenderer::DrawItem(const WeRenderItem& item, int32_t outputs)
{
    const WeBaseModel& model = *item.model;
    effect->SetWorldMatrices(*item.world);
    if (outputs & motionBit)
    {
        effect->SetPrevWorldMatrices(model.previousWorld);
        if (effect->motionBlurFactor)
            effect->effect->SetFloat(effect->motionBlurFactor, item.actor->motionBlurFactor);
    }
    if (outputs & shadowBit)
        effect->SetPerPixelLightPositions(item);
    WeSceneRenderer::SetBones(*effect, item.model);
    effect->CommitChanges();
    renderDevice.device->SetVertexDeclaration(sceneRenderer.DeclarationFor(*model.mesh));
    model.mesh->DrawSubset(item.subset);
    ++frameStats.frame.drawnSolid;
}

void WeVelocityRenderer::DrawSolid(int32_t outputs)
{
    const WeRenderList& solid = sceneRenderer.lists[WeSceneRenderer::solidPlainList];
    for (int32_t index = solid.GetCount() - 1; index >= 0; --index)
    {
        const WeRenderItem& item = *solid.At(index).item;
        if (!item.model || !item.model->mesh || !item.actor)
            continue;
        const bool shadowed = (outputs & shadowBit) && item.actor->shadowVolume;
        const int32_t wanted = (outputs & motionBit) | (shadowed ? shadowBit : 0);
        if (wanted == 0)
            continue;
        if (UseTechnique(wanted, WeSceneRenderer::IsSkinned(item.model)))
            DrawItem(item, wanted);
    }
}

void WeVelocityRenderer::DrawOutlined(int32_t outputs)
{
    const WeRenderList& outlined = sceneRenderer.lists[WeSceneRenderer::solidOutlinedList];
    for (int32_t index = outlined.GetCount() - 1; index >= 0; --index)
    {
        const WeRenderItem& item = *outlined.At(index).item;
        if (!item.model || !item.model->mesh || !item.actor)
            continue;
        // Skinned outlined items take the skinned variant, so that their outline follows the pose.
        if (UseTechnique(outputs, WeSceneRenderer::IsSkinned(item.model)))
            DrawItem(item, outputs);
    }
}
