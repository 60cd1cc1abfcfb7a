#include "WeSkyBoxRenderer.h"

#include "WeConfig.h"
#include "WeEngine.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WeRenderDevice.h"
#include "WeScreenQuad.h"
#include "WeShader.h"
#include "WeSkyBox.h"
#include "WeTexture.h"
#include "WeTimer.h"
#include "d3d9/D3d9Device.h"

namespace
{

using namespace d3d9;

constexpr uint32_t skySampler = 4;

void SetSampler0Addressing(uint32_t mode)
{
    renderDevice.device->SetSamplerState(0, D3DSAMP_ADDRESSU, mode);
    renderDevice.device->SetSamplerState(0, D3DSAMP_ADDRESSV, mode);
}

void SetDepth(bool on)
{
    renderDevice.device->SetRenderState(D3DRS_ZENABLE, on ? 1 : 0);
    renderDevice.device->SetRenderState(D3DRS_ZWRITEENABLE, on ? 1 : 0);
}

void SetCameraPosition(const WeVector& position)
{
    const float xyz[3] = {position.x, position.y, position.z};
    shaders.SetCameraPosition(xyz);
}

// One subset of the sky mesh with its material, inside its effect's pass.
void DrawSkySubset(WeMesh& mesh, int32_t subset, WeMaterial& material, const Matrix& world, float alphaFactor)
{
    WeShader& effect = *material.shader;
    BaseTexture* unused[16] = {};
    material.ApplyTextures(0, unused, 0);
    material.UpdateTextureAnimation(timer.absoluteTimeFloat);
    const float colour[4] = {material.color[0], material.color[1], material.color[2],
                             material.color[3] * alphaFactor};
    effect.SetMaterialColor(colour);
    const float noBump[3] = {0.0f, 0.0f, 0.0f};
    effect.SetMaterialParameters(material.materialStrength, material.envStrength, 0.0f, noBump, 0.0f,
                                 material.specularPow, material.glowAmount, material.furStrength);
    effect.SetWorldMatrices(world);
    effect.CommitChanges();
    mesh.DrawSubset(subset);
}

} // namespace

WeSkyBoxRenderer::~WeSkyBoxRenderer()
{
    WeSkyBoxRenderer::OnLostDevice();
}

bool WeSkyBoxRenderer::Init()
{
    if (initialised)
        return true;
    OnResetDevice();
    skyEffect = shaders.Load("Shaders.Special.SkyBox");
    initialised = true;
    return true;
}

void WeSkyBoxRenderer::Shutdown()
{
    if (!initialised)
        return;
    OnLostDevice();
    // The shader manager frees its effects at shut-down: a later start must load it again.
    skyEffect = nullptr;
    initialised = false;
}

void WeSkyBoxRenderer::OnLostDevice()
{
    if (screenQuad)
        screenQuad->Release();
    screenQuad = nullptr;
}

void WeSkyBoxRenderer::OnResetDevice()
{
    if (screenQuad)
        return;
    const PresentParameters& screen = renderDevice.presentParameters;
    screenQuad = CreateScreenQuad(screen.backBufferWidth, screen.backBufferHeight);
}

void WeSkyBoxRenderer::RenderCubeTexture(const WeSkyBox* sky, const WeCamera* camera)
{
    if (!sky || !camera || !sky->texture || sky->texture->kind != 1 || !skyEffect || !skyEffect->effect ||
        !renderDevice.device)
        return;
    Device& device = *renderDevice.device;
    device.SetTexture(skySampler, sky->texture->texture);
    // Screen positions scaled back to view directions, then turned into the world by the camera.
    const Matrix unproject =
        d3dx::D3DXMatrixScaling(1.0f / camera->projection.m[0][0], 1.0f / camera->projection.m[1][1], 1.0f);
    shaders.SetCameraMatrices(d3dx::D3DXMatrixMultiply(unproject, camera->axes), camera->projection, nullptr);
    skyEffect->SetTechnique(0);
    skyEffect->Begin(0);
    skyEffect->BeginPass(0);
    device.SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    skyEffect->CommitChanges();
    DrawScreenQuad(screenQuad);
    skyEffect->EndPass();
    skyEffect->End();
    shaders.SetCameraMatrices(camera->view, camera->projection, nullptr);
}

float WeSkyBoxRenderer::MeshScale(const WeCamera& camera)
{
    static const float meshSize = WeConfig::GetFloat("engine.Render.SkyBoxMeshSize", 10.0f);
    return (camera.nearClip + camera.farClip) / meshSize * 0.5f;
}

void WeSkyBoxRenderer::RenderMesh(const WeSkyBox* sky, const WeCamera* camera, float alphaFactor)
{
    WeMesh* mesh = sky && sky->model ? sky->model->mesh : nullptr;
    if (!mesh || !camera || !renderDevice.device)
        return;
    const float scale = MeshScale(*camera);
    const Matrix world = d3dx::D3DXMatrixScaling(scale, scale, scale);
    SetDepth(false);
    SetSampler0Addressing(D3DTADDRESS_CLAMP);
    const WeColor ambient = renderDevice.ambientColor;
    renderDevice.SetAmbientColor({1.0f, 1.0f, 1.0f, 1.0f});
    Matrix view = camera->view;
    view.m[3][0] = view.m[3][1] = view.m[3][2] = 0.0f;
    shaders.SetCameraMatrices(view, camera->projection, nullptr);
    SetCameraPosition({0.0f, 0.0f, 0.0f});
    WeShader* current = nullptr;
    bool begun = false;
    for (int32_t subset = 0; subset < mesh->subsetCount && subset < WeMesh::maxSubsets; ++subset)
    {
        WeMaterial* material = mesh->sets[0].materials[subset];
        if (!material || !material->shader || !material->shader->effect)
            continue;
        if (material->shader != current)
        {
            if (begun)
            {
                current->EndPass();
                current->End();
            }
            current = material->shader;
            begun = current->defaultTechnique &&
                    current->effect->SetTechnique(current->defaultTechnique) == D3D_OK;
            if (begun)
            {
                current->Begin(0);
                current->BeginPass(0);
            }
        }
        if (begun)
            DrawSkySubset(*mesh, subset, *material, world, alphaFactor);
    }
    if (begun)
    {
        current->EndPass();
        current->End();
    }
    shaders.SetCameraMatrices(camera->view, camera->projection, nullptr);
    SetCameraPosition(camera->position);
    renderDevice.SetAmbientColor(ambient);
    SetSampler0Addressing(D3DTADDRESS_WRAP);
    SetDepth(true);
}
