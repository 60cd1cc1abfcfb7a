#include "WeRenderDevice.h"

#include "WeAppWindow.h"
#include "WeApplication.h"
#include "WeCamera.h"
#include "WeCanvas.h"
#include "WeConfig.h"
#include "WeEngine.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WeMovieTextureRenderer.h"
#include "WePostProcess.h"
#include "WeRenderTarget.h"
#include "WeSceneRenderer.h"
#include "WeShader.h"
#include "WeTexture.h"
#include "WeTimer.h"
#include "WeUIMain.h"
#include "d3dx/D3dxImage.h"
#include "win32/Win32Window.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{

uint32_t FloatBits(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

} // namespace

WeRenderDevice::WeRenderDevice() = default;

WeRenderDevice::~WeRenderDevice()
{
    ReleaseDepthStencils();
    if (device)
        device->Release();
}

bool WeRenderDevice::Fail(const char* message)
{
    engine.lastError = message;
    if (created)
    {
        ReleaseDeviceObjects();
        created = false;
    }
    ReleaseDepthStencils();
    if (device)
    {
        device->Release();
        device = nullptr;
    }
    return false;
}

void WeRenderDevice::ReleaseDeviceObjects()
{
    canvas.Shutdown();
    // Normally the engine's shut-down has freed these already; a start that failed, or a device
    // shut down on its own, would otherwise leave textures and effects on a device that is gone,
    // and the next start would find them in the caches. Meshes point at materials, materials at
    // both: they go first.
    modelManager.FreeAll();
    meshManager.FreeAll(true);
    materialManager.FreeAll(true);
    shaders.FreeAll();
    textures.FreeAll(true);
}

void WeRenderDevice::BuildPresentParameters(bool windowed)
{
    WeEngineSettings& settings = engine.settings;
    if (settings.multisampleType > 0)
    {
        uint32_t colorLevels = 0, depthLevels = 0;
        const auto type = d3d9::MultisampleType(settings.multisampleType);
        const bool colorOk = !d3d9::Failed(direct3D->CheckDeviceMultiSampleType(
            0, d3d9::D3DDEVTYPE_HAL, backBufferFormat, windowed, type, &colorLevels));
        const bool depthOk = !d3d9::Failed(direct3D->CheckDeviceMultiSampleType(
            0, d3d9::D3DDEVTYPE_HAL, depthFormat, windowed, type, &depthLevels));
        const auto quality = uint32_t(settings.multisampleQuality);
        if (!colorOk || !depthOk || quality >= colorLevels || quality >= depthLevels)
        {
            settings.multisampleType = 0;
            settings.multisampleQuality = 0;
        }
    }
    presentParameters = d3d9::PresentParameters{};
    presentParameters.backBufferWidth = uint32_t(backBufferWidth);
    presentParameters.backBufferHeight = uint32_t(backBufferHeight);
    presentParameters.backBufferFormat = backBufferFormat;
    presentParameters.backBufferCount = 1;
    presentParameters.multiSampleType = d3d9::MultisampleType(settings.multisampleType);
    presentParameters.multiSampleQuality = uint32_t(settings.multisampleQuality);
    presentParameters.swapEffect = d3d9::D3DSWAPEFFECT_DISCARD;
    presentParameters.deviceWindow = window;
    presentParameters.windowed = windowed;
    presentParameters.enableAutoDepthStencil = false;
    presentParameters.autoDepthStencilFormat = depthFormat;
    presentParameters.presentationInterval =
        settings.verticalSync ? d3d9::D3DPRESENT_INTERVAL_DEFAULT : d3d9::D3DPRESENT_INTERVAL_IMMEDIATE;
}

bool WeRenderDevice::CreateDevice(uint32_t adapter, d3d9::DeviceType type, bool multithreaded)
{
    const uint32_t threading = multithreaded ? d3d9::D3DCREATE_MULTITHREADED : 0;
    d3d9::PresentParameters parameters = presentParameters;
    if (!d3d9::Failed(direct3D->CreateDevice(adapter, type, window,
                                             d3d9::D3DCREATE_HARDWARE_VERTEXPROCESSING | threading,
                                             &parameters, &device)))
    {
        return true;
    }
    parameters = presentParameters;
    const d3d9::HRESULT second = direct3D->CreateDevice(
        adapter, type, window, d3d9::D3DCREATE_SOFTWARE_VERTEXPROCESSING | threading, &parameters, &device);
    if (!d3d9::Failed(second))
    {
        return true;
    }
    char message[80];
    std::snprintf(message, sizeof message, "Error: Cannot create DirectX device - error #%08X",
                  uint32_t(second));
    engine.lastError = message;
    return false;
}

void WeRenderDevice::CreateDepthStencils(d3d9::MultisampleType type, uint32_t quality, bool always)
{
    const uint32_t width = presentParameters.backBufferWidth;
    const uint32_t height = presentParameters.backBufferHeight;
    if (d3d9::Failed(device->CreateDepthStencilSurface(width, height, depthFormat, d3d9::D3DMULTISAMPLE_NONE,
                                                       0, false, &depthStencil, nullptr)))
    {
        depthStencil = nullptr;
    }
    if ((always || type != d3d9::D3DMULTISAMPLE_NONE) &&
        d3d9::Failed(device->CreateDepthStencilSurface(width, height, depthFormat, type, quality, false,
                                                       &depthStencilMultisample, nullptr)))
    {
        depthStencilMultisample = nullptr;
    }
}

void WeRenderDevice::BindDepthStencil()
{
    const bool multisampled = depthStencilMultisample != nullptr;
    device->SetDepthStencilSurface(multisampled ? depthStencilMultisample : depthStencil);
    device->SetRenderState(d3d9::D3DRS_MULTISAMPLEANTIALIAS, multisampled);
}

void WeRenderDevice::ReleaseDepthStencils()
{
    for (d3d9::Surface** surface : {&depthStencil, &depthStencilMultisample})
    {
        if (*surface)
        {
            (*surface)->Release();
            *surface = nullptr;
        }
    }
}

// A reset returns every sampler of the device to its defaults, so every cache entry is cleared,
// not only those of the first eight stages.
void WeRenderDevice::ClearCaches()
{
    device->SetRenderState(d3d9::D3DRS_STENCILENABLE, 0);
    stencilOn = false;
    std::memset(samplerFilters, 0, sizeof samplerFilters);
    std::memset(samplerAddress, 0, sizeof samplerAddress);
    device->SetRenderState(d3d9::D3DRS_ALPHABLENDENABLE, 0);
    device->SetRenderState(d3d9::D3DRS_ZENABLE, d3d9::D3DZB_TRUE);
}

bool WeRenderDevice::Init(void*, d3d9::WindowHandle newWindow, const WeString&, int32_t, int32_t, int32_t,
                          int32_t, bool, int32_t displayMode, int32_t newReflectionQuality,
                          bool multithreaded)
{
    if (created)
    {
        return true;
    }
    if (!direct3D)
    {
        return Fail("Error: Cannot create DirectX device - error #8876086C");
    }
    window = newWindow;
    StoreSize(engine.settings.width, engine.settings.height);
    BuildPresentParameters(displayMode != 0);

    uint32_t adapter = 0;
    d3d9::DeviceType type = d3d9::D3DDEVTYPE_HAL;
    for (uint32_t i = 0; i < direct3D->GetAdapterCount(); ++i)
    {
        d3d9::AdapterIdentifier identifier;
        if (!d3d9::Failed(direct3D->GetAdapterIdentifier(i, 0, &identifier)) &&
            std::strstr(identifier.description, "PerfHUD"))
        {
            adapter = i;
            type = d3d9::D3DDEVTYPE_REF;
            break;
        }
    }
    if (!CreateDevice(adapter, type, multithreaded))
    {
        return false;
    }
    EnumerateDisplayModes();

    d3d9::Caps caps;
    device->GetDeviceCaps(&caps);
    if (d3d9::Failed(direct3D->CheckDeviceFormat(adapter, type, backBufferFormat, d3d9::D3DUSAGE_DEPTHSTENCIL,
                                                 d3d9::D3DRTYPE_SURFACE, depthFormat)))
    {
        return Fail("Error: No support for D24S8 Stencil Format");
    }
    CreateDepthStencils(presentParameters.multiSampleType, presentParameters.multiSampleQuality, false);
    if (!depthStencil)
    {
        return Fail("Error: Cannot create Depth-Stencil surface");
    }
    BindDepthStencil();

    pixelShader3 = caps.pixelShaderVersion >= d3d9::PixelShaderVersion(3, 0);
    if (caps.pixelShaderVersion < d3d9::PixelShaderVersion(2, 0))
    {
        return Fail("Error: No Pixel Shader 2.0 support");
    }
    floatTargetG16R16F = pixelShader3 && !d3d9::Failed(direct3D->CheckDeviceFormat(
                                             adapter, type, backBufferFormat, d3d9::D3DUSAGE_RENDERTARGET,
                                             d3d9::D3DRTYPE_TEXTURE, d3d9::D3DFMT_G16R16F));
    floatTargetA16B16G16R16F =
        floatTargetG16R16F &&
        !d3d9::Failed(direct3D->CheckDeviceFormat(adapter, type, backBufferFormat,
                                                  d3d9::D3DUSAGE_RENDERTARGET, d3d9::D3DRTYPE_TEXTURE,
                                                  d3d9::D3DFMT_A16B16G16R16F)) &&
        !d3d9::Failed(direct3D->CheckDepthStencilMatch(adapter, type, backBufferFormat,
                                                       d3d9::D3DFMT_A16B16G16R16F, depthFormat));
    uint32_t levels = 0;
    floatTargetMultisample = floatTargetA16B16G16R16F &&
                             !d3d9::Failed(direct3D->CheckDeviceMultiSampleType(
                                 adapter, type, d3d9::D3DFMT_A16B16G16R16F, presentParameters.windowed,
                                 d3d9::D3DMULTISAMPLE_NONMASKABLE, &levels)) &&
                             levels > 0;

    created = true;
    lost = false; // a device lost when the previous run-loop pass ended is gone with it
    wasReset = false;
    renderersShutDown = false;
    ClearCaches();

    if (!textures.LoadDefaults())
    {
        return Fail("Not enough video memory to load textures!");
    }
    if (!shaders.Init())
    {
        return Fail("Not enough video memory to load shaders!");
    }
    canvas.Init();
    if (!shaders.LoadDefaultShaders())
    {
        return Fail("Not enough video memory to load shaders!");
    }
    if (!materialManager.LoadDefaults())
    {
        return Fail("Not enough video memory to load materials!");
    }
    if (!meshManager.LoadDefaults())
    {
        return Fail("Not enough video memory to load meshes!");
    }

    reflectionQuality = newReflectionQuality;
    for (WeBaseRenderer* renderer : Renderers())
    {
        renderer->Init();
    }
    // The reflections take their level from the quality, twice (the second call only stores it).
    reflectionRenderer.InitLevel(reflectionQuality);
    reflectionRenderer.SetLevel(reflectionQuality);
    postProcess.Build();
    return true;
}

void WeRenderDevice::RenderFrame()
{
    if (!created || !ready || lost)
    {
        return;
    }
    device->SetRenderState(d3d9::D3DRS_MULTISAMPLEANTIALIAS,
                           depthStencilMultisample && engine.settings.multisampleType >= 1);
    for (uint32_t stage = 0; stage < 8; ++stage)
    {
        device->SetTexture(stage, nullptr);
    }
    device->BeginScene();
    Clear(true, WeColor{0.0f, 0.0f, 0.0f, 0.0f}, true, 1.0f, true, 0);
    if (application)
    {
        canvas.BeginFrame();
        application->Render();
        canvas.Flush();
    }
    uiMain.Render();
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
}

WeDeviceState WeRenderDevice::CheckDevice()
{
    wasReset = false;
    if (!created)
    {
        return WeDeviceState::Usable;
    }
    switch (device->TestCooperativeLevel())
    {
    case d3d9::D3DERR_DEVICELOST:
        lost = true;
        return WeDeviceState::Lost;
    case d3d9::D3DERR_DRIVERINTERNALERROR:
        return WeDeviceState::Failed;
    case d3d9::D3DERR_DEVICENOTRESET:
        break;
    default:
        return WeDeviceState::Usable;
    }
    OnLostDevice();
    d3d9::PresentParameters parameters = presentParameters;
    const d3d9::HRESULT result = device->Reset(&parameters);
    if (result == d3d9::D3D_OK)
    {
        OnResetDevice();
        lost = false;
        wasReset = true;
        return WeDeviceState::Usable;
    }
    if (result == d3d9::D3DERR_DEVICELOST)
    {
        lost = true;
        return WeDeviceState::Lost;
    }
    return WeDeviceState::Failed;
}

void WeRenderDevice::OnLostDevice()
{
    lost = true;
    if (application)
    {
        application->OnDeactivate();
    }
    device->SetDepthStencilSurface(nullptr);
    ReleaseDepthStencils();
    canvas.OnLostDevice();
    shaders.OnLostDevice();
    renderTargetManager.OnLostDevice();
    postProcess.Release();
    for (WeBaseRenderer* renderer : Renderers())
    {
        renderer->OnLostDevice();
    }
    ForEachMovieTexture(&WeMovieTextureRenderer::OnLostDevice);
}

void WeRenderDevice::OnResetDevice()
{
    if (application)
    {
        application->OnActivate();
    }
    CreateDepthStencils(d3d9::MultisampleType(engine.settings.multisampleType),
                        uint32_t(engine.settings.multisampleQuality), true);
    BindDepthStencil();
    device->SetRenderState(d3d9::D3DRS_LIGHTING, 0);
    ClearCaches();
    canvas.OnResetDevice();
    shaders.OnResetDevice();
    renderTargetManager.OnResetDevice();
    postProcess.Build();
    for (WeBaseRenderer* renderer : Renderers())
    {
        renderer->OnResetDevice();
    }
    ForEachMovieTexture(&WeMovieTextureRenderer::OnResetDevice);
}

void WeRenderDevice::ForEachMovieTexture(void (WeMovieTextureRenderer::*operation)())
{
    std::lock_guard lock(movieLock);
    if (!movieTextures)
    {
        return;
    }
    for (WeMovieTextureRenderer* movie : *movieTextures)
    {
        (movie->*operation)();
    }
}

void WeRenderDevice::MoveWindowForMode() const
{
    const WeEngineSettings& settings = engine.settings;
    if (settings.displayMode == 0 || !engine.window || !engine.window->handle)
    {
        return;
    }
    using win32::GetSystemMetrics;
    const int32_t frame = GetSystemMetrics(win32::SM_CXFIXEDFRAME);
    const int32_t caption = GetSystemMetrics(win32::SM_CYCAPTION);
    int32_t width = backBufferWidth;
    int32_t height = backBufferHeight;
    if (settings.windowStyle == 1 || settings.windowStyle == 3)
    {
        width += 2 * frame;
        height += caption + 2 * frame;
    }
    else if (settings.windowStyle == 2)
    {
        width += 2 * (frame + GetSystemMetrics(win32::SM_CXBORDER));
        height += caption + 2 * (frame + GetSystemMetrics(win32::SM_CYBORDER));
    }
    win32::MoveWindow(engine.window->handle, (GetSystemMetrics(win32::SM_CXSCREEN) - width) / 2,
                      (GetSystemMetrics(win32::SM_CYSCREEN) - height) / 2, width, height, true);
}

bool WeRenderDevice::ChangeDisplayMode()
{
    if (!created)
    {
        return false;
    }
    OnLostDevice();
    StoreSize(engine.settings.width, engine.settings.height);
    MoveWindowForMode();
    BuildPresentParameters(engine.settings.displayMode != 0);
    if (d3d9::Failed(device->Reset(&presentParameters)))
    {
        return false;
    }
    OnResetDevice();
    lost = false;
    wasReset = true;
    return true;
}

void WeRenderDevice::SetBackBufferSize(int32_t width, int32_t height)
{
    StoreSize(width, height);
}

void WeRenderDevice::StoreSize(int32_t width, int32_t height)
{
    backBufferWidth = width;
    backBufferHeight = height;
    aspect = float(width) / float(height);
}

void WeRenderDevice::Shutdown()
{
    if (!created)
    {
        return;
    }
    if (!renderersShutDown)
    {
        std::vector<WeBaseRenderer*> renderers;
        for (WeBaseRenderer* renderer : Renderers())
        {
            renderers.push_back(renderer);
        }
        for (auto renderer = renderers.rbegin(); renderer != renderers.rend(); ++renderer)
        {
            (*renderer)->Shutdown();
        }
        renderersShutDown = true;
    }
    ForEachMovieTexture(&WeMovieTextureRenderer::Close);
    {
        std::lock_guard lock(movieLock);
        movieTextures.reset();
    }
    postProcess.Shutdown();
    ReleaseDeviceObjects();
    // Render targets never outlive the device they were made on: those still listed keep their
    // parameters and are made again by the next device's reset road.
    renderTargetManager.OnLostDevice();
    device->SetDepthStencilSurface(nullptr);
    ReleaseDepthStencils();
    device->Release();
    device = nullptr;
    created = false;
}

void WeRenderDevice::EnumerateDisplayModes()
{
    displayModes.Clear();
    if (!direct3D)
    {
        return;
    }
    const uint32_t count = direct3D->GetAdapterModeCount(0, backBufferFormat);
    for (uint32_t i = 0; i < count; ++i)
    {
        d3d9::DisplayMode mode;
        if (d3d9::Failed(direct3D->EnumAdapterModes(0, backBufferFormat, i, &mode)) || mode.width < 640 ||
            mode.height < 480)
        {
            continue;
        }
        const WeDisplayModeSize size{int32_t(mode.width), int32_t(mode.height)};
        if (displayModes.IsEmpty() || displayModes.Last().width != size.width ||
            displayModes.Last().height != size.height)
        {
            displayModes.PushBack(size);
        }
    }
}

bool WeRenderDevice::SaveScreenshot(const char* fileName)
{
    d3d9::Surface* surface = GetRenderTarget();
    if (!surface)
    {
        return false;
    }
    const bool saved =
        !d3d9::Failed(d3dx::D3DXSaveSurfaceToFileA(fileName, d3dx::D3DXIFF_BMP, surface, nullptr, nullptr));
    surface->Release();
    return saved;
}

// Fog

void WeRenderDevice::SetFog(bool enabled, const WeColor& color, float start, float end, float min, float max)
{
    fogConfigured = fogActive = enabled;
    fogColor = color;
    fogStart = start;
    fogEnd = end;
    fogMin = min;
    fogMax = max;
}

void WeRenderDevice::ApplyFog()
{
    if (pixelShader3 && shaderLevel != 1)
    {
        // The effects compute the fog themselves; fixed-function fog stays as it is.
        shaders.SetFog(&fogColor.r, fogStart, fogEnd, fogMin, fogMax);
        return;
    }
    if (!device)
    {
        return;
    }
    device->SetRenderState(d3d9::D3DRS_FOGENABLE, fogActive);
    if (fogActive)
    {
        device->SetRenderState(d3d9::D3DRS_FOGTABLEMODE, d3d9::D3DFOG_LINEAR);
        device->SetRenderState(d3d9::D3DRS_FOGSTART, FloatBits(fogStart));
        device->SetRenderState(d3d9::D3DRS_FOGEND, FloatBits(fogEnd));
        device->SetRenderState(d3d9::D3DRS_FOGCOLOR, fogColor.ToArgb());
    }
}

void WeRenderDevice::EnableFog()
{
    fogSwitch = true;
    fogActive = fogConfigured;
    ApplyFog();
}

void WeRenderDevice::DisableFog()
{
    fogSwitch = false;
    fogActive = false;
    ApplyFog();
}

void WeRenderDevice::StoreFog()
{
    savedFog = SavedFog{fogSwitch, fogConfigured, fogStart, fogEnd, fogMin, fogMax};
}

void WeRenderDevice::RestoreFog()
{
    fogSwitch = savedFog.fogSwitch;
    fogConfigured = savedFog.configured;
    fogStart = savedFog.start;
    fogEnd = savedFog.end;
    fogMin = savedFog.min;
    fogMax = savedFog.max;
    fogActive = fogSwitch && fogConfigured;
    ApplyFog();
}

void WeRenderDevice::SetAmbientColor(const WeColor& color)
{
    ambientColor = color;
    const WeColor grey{0.7f, 0.7f, 0.7f, 1.0f};
    const WeColor& shown = greyAmbient ? grey : ambientColor;
    shaders.SetShared(WeShaderManager::ambientColor, &shown.r, 4);
}

void WeRenderDevice::SetOutlineColor(const WeColor& color)
{
    outlineColor = color;
    shaders.SetShared(WeShaderManager::outlineColor, &outlineColor.r, 4);
}

void WeRenderDevice::SetCamera(const WeCamera* camera)
{
    if (!created || !camera)
        return;
    DisableStencil();
    device->SetTransform(d3d9::D3DTS_PROJECTION, &camera->projection);
    device->SetTransform(d3d9::D3DTS_VIEW, &camera->view);
    if (!shaders.sharedShader)
        return;
    auto set = [](WeShaderManager::SharedParameter parameter, float value)
    { shaders.SetShared(parameter, &value, 1); };
    set(WeShaderManager::elapsedTime, timer.absoluteTimeFloat);
    SetAmbientColor(ambientColor);
    SetOutlineColor(outlineColor);
    static const float globalBloomScale = WeConfig::GetFloat("engine.PostProcess.GlobalBloomScale", 1.0f);
    set(WeShaderManager::bloomScale, bloomScale * globalBloomScale);
    const auto width = float(presentParameters.backBufferWidth);
    const auto height = float(presentParameters.backBufferHeight);
    set(WeShaderManager::resWidth, width);
    set(WeShaderManager::resHeight, height);
    if (outlines)
    {
        set(WeShaderManager::edgeWidth, edgeSize / width);
        set(WeShaderManager::edgeHeight, edgeSize / height);
        set(WeShaderManager::normalTimesFactor, normalTimesFactor);
        set(WeShaderManager::depthTimesFactor, depthTimesFactor);
        set(WeShaderManager::borderDetectionFactor, borderDetectionFactor);
    }
    if (refraction)
    {
        set(WeShaderManager::refractionStrength, refractionStrength / height);
        set(WeShaderManager::refractionSpeed, refractionSpeed);
    }
}

// State operations

void WeRenderDevice::SetRenderState(d3d9::RenderState state, uint32_t value)
{
    device->SetRenderState(state, value);
}

void WeRenderDevice::SetRenderTarget(uint32_t index, const WeRenderTarget* target)
{
    device->SetRenderTarget(index, target ? target->surfaces[0] : nullptr);
}

d3d9::Surface* WeRenderDevice::GetRenderTarget()
{
    d3d9::Surface* surface = nullptr;
    if (!device || d3d9::Failed(device->GetRenderTarget(0, &surface)))
    {
        return nullptr;
    }
    return surface;
}

void WeRenderDevice::RestoreRenderTarget(d3d9::Surface* surface)
{
    if (!surface)
    {
        return;
    }
    device->SetRenderTarget(0, surface);
    surface->Release();
}

void WeRenderDevice::SetRawTexture(uint32_t stage, d3d9::BaseTexture* texture)
{
    device->SetTexture(stage, texture);
}

void WeRenderDevice::SetSamplerValue(uint32_t stage, d3d9::SamplerState state, int32_t value, int32_t& cache)
{
    if (cache != value)
    {
        device->SetSamplerState(stage, state, uint32_t(value));
        cache = value;
    }
}

void WeRenderDevice::SetSamplerState(uint32_t stage, int32_t filterMode, int32_t addressMode)
{
    if (stage >= d3d9::maxSamplers)
    {
        return;
    }
    int32_t* filters = samplerFilters[stage];
    if (filterMode != 0)
    {
        int32_t min = d3d9::D3DTEXF_LINEAR;
        int32_t mag = d3d9::D3DTEXF_LINEAR;
        int32_t mip = d3d9::D3DTEXF_LINEAR;
        if (filterMode == 1)
        {
            min = mag = mip = d3d9::D3DTEXF_POINT;
        }
        else if (filterMode == 2)
        {
            min = d3d9::D3DTEXF_POINT;
        }
        else if (filterMode == 3 && maxAnisotropy >= 1)
        {
            min = d3d9::D3DTEXF_ANISOTROPIC;
        }
        SetSamplerValue(stage, d3d9::D3DSAMP_MAGFILTER, mag, filters[1]);
        SetSamplerValue(stage, d3d9::D3DSAMP_MIPFILTER, mip, filters[2]);
        if (filters[0] != min && min == d3d9::D3DTEXF_ANISOTROPIC)
        {
            device->SetSamplerState(stage, d3d9::D3DSAMP_MAXANISOTROPY, uint32_t(maxAnisotropy));
        }
        SetSamplerValue(stage, d3d9::D3DSAMP_MINFILTER, min, filters[0]);
    }
    if (addressMode == 0)
    {
        return;
    }
    const int32_t address = addressMode == 1   ? d3d9::D3DTADDRESS_CLAMP
                            : addressMode == 3 ? d3d9::D3DTADDRESS_BORDER
                                               : d3d9::D3DTADDRESS_WRAP;
    if (samplerAddress[stage] != address)
    {
        device->SetSamplerState(stage, d3d9::D3DSAMP_ADDRESSU, uint32_t(address));
        device->SetSamplerState(stage, d3d9::D3DSAMP_ADDRESSV, uint32_t(address));
        device->SetSamplerState(stage, d3d9::D3DSAMP_ADDRESSW, uint32_t(address));
        if (address == d3d9::D3DTADDRESS_BORDER)
        {
            device->SetSamplerState(stage, d3d9::D3DSAMP_BORDERCOLOR, 0);
        }
        samplerAddress[stage] = address;
    }
}

void WeRenderDevice::SetAlphaTest(int32_t reference)
{
    if (reference > 0)
    {
        device->SetRenderState(d3d9::D3DRS_ALPHATESTENABLE, 1);
        device->SetRenderState(d3d9::D3DRS_ALPHAREF, uint32_t(reference));
        device->SetRenderState(d3d9::D3DRS_ALPHAFUNC, d3d9::D3DCMP_GREATEREQUAL);
    }
    else
    {
        device->SetRenderState(d3d9::D3DRS_ALPHATESTENABLE, 0);
    }
}

void WeRenderDevice::SetAlphaBlend(bool enable, bool)
{
    device->SetRenderState(d3d9::D3DRS_ALPHABLENDENABLE, enable);
}

void WeRenderDevice::EnableStencil()
{
    if (!stencilOn)
    {
        device->SetRenderState(d3d9::D3DRS_STENCILENABLE, 1);
        stencilOn = true;
    }
}

void WeRenderDevice::DisableStencil()
{
    if (stencilOn)
    {
        device->SetRenderState(d3d9::D3DRS_STENCILENABLE, 0);
        stencilOn = false;
    }
}

void WeRenderDevice::UsePlainDepthStencil()
{
    if (depthStencilMultisample)
    {
        device->SetDepthStencilSurface(depthStencil);
        device->SetRenderState(d3d9::D3DRS_MULTISAMPLEANTIALIAS, 0);
    }
}

void WeRenderDevice::UseMultisampleDepthStencil()
{
    if (depthStencilMultisample)
    {
        device->SetDepthStencilSurface(depthStencilMultisample);
        device->SetRenderState(d3d9::D3DRS_MULTISAMPLEANTIALIAS, 1);
    }
}

void WeRenderDevice::Clear(bool target, const WeColor& color, bool depth, float z, bool stencil,
                           uint32_t stencilValue)
{
    const uint32_t flags = (target ? d3d9::D3DCLEAR_TARGET : 0) | (depth ? d3d9::D3DCLEAR_ZBUFFER : 0) |
                           (stencil ? d3d9::D3DCLEAR_STENCIL : 0);
    if (flags != 0 && renderDevice.device)
    {
        renderDevice.device->Clear(0, nullptr, flags, color.ToArgb(), z, stencilValue);
    }
}

void WeRenderDevice::SetScissor(bool enable, const d3d9::Rect& rect)
{
    if (!enable)
    {
        device->SetRenderState(d3d9::D3DRS_SCISSORTESTENABLE, 0);
        scissorOn = false;
        return;
    }
    const int32_t width = backBufferWidth;
    const int32_t height = backBufferHeight;
    d3d9::Rect clamped;
    clamped.left = std::clamp(rect.left, 0, width - 1);
    clamped.right = std::clamp(rect.right, clamped.left, width - 1);
    clamped.top = std::clamp(rect.top, 0, height - 1);
    clamped.bottom = std::clamp(rect.bottom, clamped.top, height - 1);
    scissorRect = clamped;
    device->SetScissorRect(&scissorRect);
    device->SetRenderState(d3d9::D3DRS_SCISSORTESTENABLE, 1);
    scissorOn = true;
}

void WeRenderDevice::GetScissor(bool* enabled, d3d9::Rect* rect) const
{
    uint32_t on = 0;
    device->GetRenderState(d3d9::D3DRS_SCISSORTESTENABLE, &on);
    *enabled = on != 0;
    if (on)
    {
        device->GetScissorRect(rect);
    }
}
