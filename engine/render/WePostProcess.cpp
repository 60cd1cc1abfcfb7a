#include "WePostProcess.h"

#include "WeConfig.h"
#include "WeEngine.h"
#include "WeLitTiles.h"
#include "WeMaterial.h"
#include "WeRenderDevice.h"
#include "WeRenderTarget.h"
#include "WeScreenQuad.h"
#include "WeShader.h"
#include "WeTexture.h"
#include "WeTimer.h"
#include "d3dx/D3dxImage.h"

#include <initializer_list>
#include <utility>

using namespace d3d9;
using d3dx::D3DXHANDLE;

namespace
{

constexpr uint32_t effectFlags =
    d3dx::D3DXFX_DONOTSAVESTATE | d3dx::D3DXFX_DONOTSAVESHADERSTATE | d3dx::D3DXFX_DONOTSAVESAMPLERSTATE;

// The render device's filter mode for bilinear reads that are never anisotropic: the bloom's
// images lie square to the screen, where anisotropic filtering adds nothing but its cost.
constexpr int32_t linearFilter = 4;

// Composite technique bits.
constexpr int32_t brightnessBit = 1, flashBit = 2, monochromeBit = 4, grainBit = 8;

struct StageMode
{
    int32_t stage, filter, address;
};

// Poisson taps of the depth-of-field blur, in pixels of the back buffer.
constexpr float focusTaps[12][2] = {
    {-0.326212f, -0.405805f}, {-0.840144f, -0.07358f}, {-0.695914f, 0.457137f}, {-0.203345f, 0.620716f},
    {0.96234f, -0.194983f},   {0.473434f, -0.480026f}, {0.519456f, 0.767022f},  {0.185461f, -0.893124f},
    {0.507431f, 0.064425f},   {0.89642f, 0.412458f},   {-0.32194f, -0.932615f}, {-0.791559f, -0.597705f}};

WeRenderTarget* MakeTarget(int32_t width, int32_t height, Format format,
                           MultisampleType type = D3DMULTISAMPLE_NONE, uint32_t quality = 0)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    for (int32_t i = 0; i < WePostProcess::createTries; ++i)
        if (WeRenderTarget* target =
                renderTargetManager.Create2D(uint32_t(width), uint32_t(height), format, type, quality))
            return target;
    return nullptr;
}

void ReleaseQuad(VertexBuffer*& quad)
{
    if (quad)
        quad->Release();
    quad = nullptr;
}

D3DXHANDLE Parameter(const WeShader* shader, const char* name)
{
    return shader && shader->effect ? shader->effect->GetParameterByName(nullptr, name) : nullptr;
}

// The multisampled surface's image into the target's texture.
void Resolve(const WeRenderTarget& target)
{
    if (target.multisampleType != D3DMULTISAMPLE_NONE && target.resolveSurfaces[0])
        d3dx::D3DXLoadSurfaceFromSurface(target.resolveSurfaces[0], nullptr, nullptr, target.surfaces[0],
                                         nullptr, nullptr, d3dx::D3DX_FILTER_LINEAR, 0);
}

void ClearToBlack(std::initializer_list<WeRenderTarget*> targets)
{
    Surface* saved = renderDevice.GetRenderTarget();
    renderDevice.UsePlainDepthStencil(); // the targets have no multisampling
    for (WeRenderTarget* target : targets)
        if (target)
        {
            target->Bind(0, 0);
            WeRenderDevice::Clear(true, WeColor{0.0f, 0.0f, 0.0f, 0.0f}, false, 1.0f, false, 0);
        }
    if (saved)
        renderDevice.RestoreRenderTarget(saved);
    renderDevice.UseMultisampleDepthStencil();
}

// The blend the chain's passes and the composite expect; a pass that adds sets its own.
void UseUsualBlend()
{
    renderDevice.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    renderDevice.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
}

bool HasShader(const WePostProcessEffect* effect)
{
    return effect && effect->shader && effect->shader->effect;
}

} // namespace

int32_t WeEffectiveMotionBlurMode()
{
    const int32_t mode = renderDevice.motionBlurMode;
    return mode == 2 && !renderDevice.floatTargetG16R16F ? 1 : mode;
}

bool WeDepthOfFieldBuilt()
{
    return renderDevice.pixelShader3 && renderDevice.floatTargetG16R16F &&
           renderDevice.floatTargetA16B16G16R16F && renderDevice.depthOfField;
}

bool WePostProcessEffect::Load(const WeString& shaderName)
{
    if (loaded)
        return true;
    shader = shaders.Load(shaderName);
    loaded = shader != nullptr;
    paramHandle = Parameter(shader, "PPParam");
    return loaded;
}

void WePostProcessEffect::Apply()
{
    if (!loaded || !shader->effect)
        return;
    shader->effect->SetFloat(paramHandle, param);
    shader->CommitChanges();
}

WePostProcess::~WePostProcess()
{
    // The targets belong to the render-target manager; only the effects are ours to free.
    for (WePostProcessEffect* effect : effects)
        delete effect;
    delete luminanceEffect;
    delete shadowBlurEffect;
}

bool WePostProcess::Build()
{
    if (built)
        return true;
    LoadAssets();
    halfWidth = int32_t(float(renderDevice.BackBufferWidth()) * reduction);
    halfHeight = int32_t(float(renderDevice.BackBufferHeight()) * reduction);
    quarterWidth = int32_t(float(halfWidth) * reduction);
    quarterHeight = int32_t(float(halfHeight) * reduction);
    subRectangle = false;
    MakeQuads();
    MakeCapture();
    MakeTargets();
    if (highDynamicRange)
        MakeLuminance();
    MakeChain();
    if (!effects.IsEmpty() || renderDevice.shadows != 0)
        MakePairs();
    capturing = false;
    built = true;
    monochrome = 1.0f;
    return true;
}

void WePostProcess::LoadAssets()
{
    if (assetsLoaded)
        return;
    assetsLoaded = true;
    compositeShader = shaders.Load("Shaders.PostProcess.Contrast");
    const std::pair<D3DXHANDLE*, const char*> handles[] = {{&brightnessHandle, "Brightness"},
                                                           {&contrastHandle, "Contrast"},
                                                           {&flashColorHandle, "FlashColor"},
                                                           {&filmGrainStrengthHandle, "FilmGrainStrength"},
                                                           {&monochromeStrengthHandle, "MonochromeStrength"},
                                                           {&screenPosHandle, "ScreenPos"},
                                                           {&screenScaleHandle, "ScreenScale"}};
    for (const auto& [handle, name] : handles)
        *handle = Parameter(compositeShader, name);
    WeBeginFixedLoading();
    refractionTexture = textures.Load("Config.Assets.Refraction");
    WeEndFixedLoading();
    WeBeginFixedLoading();
    grainMaterial = materialManager.Load("Config.Assets.FilmGrain");
    grainTexture = grainMaterial ? grainMaterial->textures[0] : nullptr;
    WeEndFixedLoading();
}

void WePostProcess::MakeQuads()
{
    fullQuad =
        CreateScreenQuad(uint32_t(renderDevice.BackBufferWidth()), uint32_t(renderDevice.BackBufferHeight()));
    halfQuad = CreateScreenQuad(uint32_t(halfWidth), uint32_t(halfHeight));
    quarterQuad = CreateScreenQuad(uint32_t(quarterWidth), uint32_t(quarterHeight));
    const float grainWidth = grainTexture ? float(grainTexture->width) : 128.0f;
    const float grainHeight = grainTexture ? float(grainTexture->height) : 128.0f;
    grainQuad =
        CreateScaledScreenQuad(grainWidth * WeConfig::GetFloat("engine.PostProcess.FilmGrainXStrech", 1.0f),
                               grainHeight * WeConfig::GetFloat("engine.PostProcess.FilmGrainYStrech", 1.0f));
}

void WePostProcess::MakeCapture()
{
    const int32_t width = renderDevice.BackBufferWidth(), height = renderDevice.BackBufferHeight();
    const auto type = MultisampleType(engine.settings.multisampleType);
    const auto quality = uint32_t(engine.settings.multisampleQuality);
    // A float capture the device cannot make (not at all, or not multisampled) falls back to
    // plain colour without high dynamic range, so the scene still reaches the screen.
    const bool wantFloat = renderDevice.floatTargetA16B16G16R16F && renderDevice.bloomMode == 2 &&
                           (type == D3DMULTISAMPLE_NONE || renderDevice.floatTargetMultisample);
    captureTarget = wantFloat ? MakeTarget(width, height, D3DFMT_A16B16G16R16F, type, quality) : nullptr;
    highDynamicRange = captureTarget != nullptr;
    if (!captureTarget)
        captureTarget = MakeTarget(width, height, D3DFMT_A8R8G8B8, type, quality);
}

void WePostProcess::MakeTargets()
{
    const int32_t width = renderDevice.BackBufferWidth(), height = renderDevice.BackBufferHeight();
    if (renderDevice.refraction)
        refractionTarget =
            MakeTarget(width, height, D3DFMT_A8R8G8B8, MultisampleType(engine.settings.multisampleType),
                       uint32_t(engine.settings.multisampleQuality));
    // Motion alone fits two channels; depth of field needs a third for the depth.
    const bool focus = WeDepthOfFieldBuilt();
    if (focus || WeEffectiveMotionBlurMode() == 2)
    {
        velocityTarget = MakeTarget(width, height, focus ? D3DFMT_A16B16G16R16F : D3DFMT_G16R16F);
        // No motion and no depth until the velocity renderer draws them.
        ClearToBlack({velocityTarget});
    }
    if (renderDevice.outlines)
        outlineTarget = MakeTarget(width, height, D3DFMT_A16B16G16R16F);
}

void WePostProcess::MakeLuminance()
{
    luminanceEffect = new WePostProcessEffect;
    luminanceEffect->Load("Shaders.PostProcess.Luminance");
    for (int32_t i = 0, edge = 1; i < luminanceCount; ++i, edge *= 4)
        luminanceTargets[i] = MakeTarget(edge, edge, D3DFMT_G16R16F);
    adaptedLuminance = MakeTarget(1, 1, D3DFMT_G16R16F);
    adaptedLuminanceNext = MakeTarget(1, 1, D3DFMT_G16R16F);
    ClearToBlack({adaptedLuminance, adaptedLuminanceNext});
}

WePostProcessEffect* WePostProcess::AddEffect(const char* name, bool reduce, bool stencilMasked,
                                              bool blendSecondPass)
{
    auto* effect = new WePostProcessEffect;
    effect->Load(name);
    effect->reduce = reduce;
    effect->stencilMasked = stencilMasked;
    effect->blendSecondPass = blendSecondPass;
    effects.PushBack(effect);
    return effect;
}

void WePostProcess::MakeChain()
{
    auto setStages = [](WePostProcessEffect* effect, std::initializer_list<StageMode> modes)
    {
        for (const StageMode& mode : modes)
        {
            effect->filterModes[mode.stage] = mode.filter;
            effect->addressModes[mode.stage] = mode.address;
        }
    };
    if (highDynamicRange)
        setStages(AddEffect("Shaders.PostProcess.HDR", true, false, true), {{0, 3, 1}, {1, 3, 1}, {5, 3, 1}});
    if (renderDevice.floatTargetA16B16G16R16F && renderDevice.bloomMode == 1)
    {
        WePostProcessEffect* bloom = AddEffect("Shaders.PostProcess.Bloom", true, false, true);
        setStages(bloom, {{0, linearFilter, 1}});
        bloom->addsToCapture = true;
        bloom->firstPassReduces = true;
    }
    const int32_t motionBlur = WeEffectiveMotionBlurMode();
    if (motionBlur == 1)
        setStages(AddEffect("Shaders.PostProcess.RadialBlur", false, false, false), {{0, 2, 1}});
    if (motionBlur == 2)
        setStages(AddEffect("Shaders.PostProcess.PixelMotionBlur", false, false, false),
                  {{0, 3, 1}, {2, 3, 1}, {3, 3, 1}});
    if (renderDevice.refraction)
        setStages(AddEffect("Shaders.PostProcess.Refraction", false, true, false), {{0, 2, 1}, {4, 3, 2}});
    if (WeDepthOfFieldBuilt())
    {
        WePostProcessEffect* focus = AddEffect("Shaders.PostProcess.DoF", false, false, false);
        setStages(focus, {{0, 1, 1}, {7, 1, 2}});
        float taps[12][4] = {};
        for (int32_t i = 0; i < 12; ++i)
        {
            taps[i][0] = focusTaps[i][0] / float(renderDevice.BackBufferWidth());
            taps[i][1] = focusTaps[i][1] / float(renderDevice.BackBufferHeight());
        }
        if (const D3DXHANDLE handle = Parameter(focus->shader, "filterTaps"))
            focus->shader->effect->SetVectorArray(handle, &taps[0][0], 12);
    }
}

void WePostProcess::MakePairs()
{
    const int32_t width = renderDevice.BackBufferWidth(), height = renderDevice.BackBufferHeight();
    if (renderDevice.floatTargetA16B16G16R16F && (renderDevice.bloomMode == 1 || renderDevice.bloomMode == 2))
    {
        quarterA = MakeTarget(quarterWidth, quarterHeight, D3DFMT_A8R8G8B8);
        quarterB = MakeTarget(quarterWidth, quarterHeight, D3DFMT_A8R8G8B8);
        halfA = MakeTarget(halfWidth, halfHeight, D3DFMT_A8R8G8B8);
    }
    fullA = MakeTarget(width, height, D3DFMT_A8R8G8B8);
    fullB = MakeTarget(width, height, D3DFMT_A8R8G8B8);
    static const char* const blurNames[] = {
        "Shaders.PostProcess.ShadowBlur_3", "Shaders.PostProcess.ShadowBlur_5",
        "Shaders.PostProcess.ShadowBlur_7", "Shaders.PostProcess.ShadowBlur_13"};
    const int32_t level = renderDevice.shadows;
    if (level < 1 || level > 4)
        return;
    shadowBlurEffect = new WePostProcessEffect;
    shadowBlurEffect->Load(blurNames[level - 1]);
    for (int32_t stage : {0, 1})
    {
        shadowBlurEffect->filterModes[stage] = 3;
        shadowBlurEffect->addressModes[stage] = 1;
    }
    auto fill = [](WeRenderTarget*& target, int32_t w, int32_t h)
    {
        if (!target)
            target = MakeTarget(w, h, D3DFMT_A8R8G8B8);
    };
    if (level == 1)
    {
        fill(quarterA, quarterWidth, quarterHeight);
        fill(quarterB, quarterWidth, quarterHeight);
    }
    else if (level == 4)
    {
        fill(fullA, width, height);
        fill(fullB, width, height);
    }
    else
    {
        fill(halfA, halfWidth, halfHeight);
        fill(halfB, halfWidth, halfHeight);
    }
}

void WePostProcess::Release()
{
    if (!built)
        return;
    for (WePostProcessEffect* effect : effects)
        delete effect;
    effects.Clear();
    delete shadowBlurEffect;
    delete luminanceEffect;
    shadowBlurEffect = luminanceEffect = nullptr;
    for (VertexBuffer** quad : {&fullQuad, &halfQuad, &quarterQuad, &grainQuad})
        ReleaseQuad(*quad);
    DestroyTargets();
    if (savedTarget)
        savedTarget->Release();
    savedTarget = nullptr;
    radialBlurStrength = 0.0f;
    flashColor[3] = 0.0f;
    highDynamicRange = false;
    built = capturing = capturedOnScreen = false;
}

void WePostProcess::DestroyTargets()
{
    WeRenderTarget** targets[] = {&captureTarget,
                                  &refractionTarget,
                                  &quarterA,
                                  &quarterB,
                                  &halfA,
                                  &halfB,
                                  &fullA,
                                  &fullB,
                                  &velocityTarget,
                                  &outlineTarget,
                                  &adaptedLuminance,
                                  &adaptedLuminanceNext};
    for (WeRenderTarget** target : targets)
    {
        renderTargetManager.Destroy(*target);
        *target = nullptr;
    }
    for (WeRenderTarget*& target : luminanceTargets)
    {
        renderTargetManager.Destroy(target);
        target = nullptr;
    }
}

void WePostProcess::Shutdown()
{
    Release();
    assetsLoaded = false;
    compositeShader = nullptr;
    refractionTexture = grainTexture = nullptr;
    grainMaterial = nullptr;
}

bool WePostProcess::IsActive() const
{
    if (!built || !captureTarget)
        return false;
    return !effects.IsEmpty() || renderDevice.brightness != 0.0f || renderDevice.contrast != 0.0f ||
           flashColor[3] > 0.0f || monochrome != 1.0f || renderDevice.filmGrain;
}

void WePostProcess::BeginCapture()
{
    if (!built || !captureTarget || capturing)
        return;
    savedTarget = renderDevice.GetRenderTarget();
    capturedOnScreen = CapturesOnScreen();
    if (capturedOnScreen)
        renderDevice.device->SetRenderTarget(0, savedTarget); // its whole viewport, as a capture has
    else
        captureTarget->Bind(0, 0);
    // The capture starts as the frame's back buffer does: black, depth and stencil cleared. A
    // clear of the whole depth-stencil buffer is a plain fill, and the scene's own clear that
    // follows joins it before anything is drawn; a clear of depth alone would have to keep each
    // pixel's stencil.
    WeRenderDevice::Clear(true, WeColor{0.0f, 0.0f, 0.0f, 0.0f}, true, 1.0f, true, 0);
    capturing = true;
}

void WePostProcess::EndCapture()
{
    if (!built || !capturing)
        return;
    if (savedTarget)
        renderDevice.RestoreRenderTarget(savedTarget);
    savedTarget = nullptr;
    capturing = false;
}

void WePostProcess::SetScreenRect(bool enable, const int32_t* rectangle)
{
    subRectangle = enable;
    if (rectangle)
        std::copy(rectangle, rectangle + 4, screenRect);
}

void WePostProcess::Render()
{
    if (!built || !captureTarget)
        return;
    renderDevice.SetRenderState(D3DRS_ZENABLE, 0);
    UseUsualBlend();
    savedTarget = renderDevice.GetRenderTarget();
    Resolve(*captureTarget);
    renderDevice.UsePlainDepthStencil();
    if (highDynamicRange)
        RenderLuminance();
    // A capture drawn on screen is copied at half size, each pixel the mean of four, into the
    // target of the effect's first pass, which would have made just that copy.
    BaseTexture* const capture = capturedOnScreen ? halfA->texture : captureTarget->texture;
    if (capturedOnScreen)
        renderDevice.device->StretchRect(savedTarget, nullptr, halfA->surfaces[0], nullptr, D3DTEXF_LINEAR);
    renderDevice.SetRawTexture(0, capture);
    renderDevice.SetRawTexture(1, capture);
    if (renderDevice.refraction && refractionTexture)
        renderDevice.SetRawTexture(4, refractionTexture->texture);
    if (highDynamicRange && adaptedLuminance)
        renderDevice.SetRawTexture(5, adaptedLuminance->texture);
    if (velocityTarget)
        renderDevice.SetRawTexture(7, velocityTarget->texture);
    float motionBlurFactor = renderDevice.pixelMotionBlur * renderDevice.pixelMotionBlurScale;
    if (timer.quantisedDeltaFloat > 0.0f)
        motionBlurFactor *= 0.015f / timer.quantisedDeltaFloat;
    // When the composite would only copy the chain's image onto the whole target, the chain's
    // last pass puts it there itself, and the frame is one full-size pass shorter.
    const WePostProcessEffect* const onScreen = OnScreenEffect();
    for (WePostProcessEffect* effect : effects)
        if (effect->enabled && HasShader(effect))
            RunEffect(*effect, motionBlurFactor, effect == onScreen && !effect->addsToCapture);
    UseUsualBlend(); // a pass that adds sets its own
    if (onScreen && onScreen->addsToCapture && !capturedOnScreen)
        renderDevice.device->StretchRect(CaptureImage(), nullptr, savedTarget, nullptr, D3DTEXF_NONE);
    capturedOnScreen = false;
    if (savedTarget)
        renderDevice.RestoreRenderTarget(savedTarget);
    savedTarget = nullptr;
    renderDevice.UseMultisampleDepthStencil();
    renderDevice.SetSamplerState(0, 1, 1);
    if (!onScreen)
        Composite();
    for (uint32_t stage = 1; stage < 8; ++stage)
        renderDevice.SetRawTexture(stage, nullptr);
    renderDevice.SetRenderState(D3DRS_ZENABLE, 1);
}

void WePostProcess::RenderLuminance()
{
    if (!HasShader(luminanceEffect))
        return;
    WeShader& shader = *luminanceEffect->shader;
    const D3DXHANDLE offsets = Parameter(&shader, "SampleOffsets");
    Surface* saved = renderDevice.GetRenderTarget();
    auto pass = [&](uint32_t index, WeRenderTarget& target, const float(&values)[16][2])
    {
        target.Bind(0, 0);
        if (offsets)
            shader.effect->SetFloatArray(offsets, &values[0][0], 32);
        shader.BeginPass(index);
        shader.CommitChanges();
        DrawScreenQuad(fullQuad);
        shader.EndPass();
    };
    shader.Begin(effectFlags);
    float values[16][2] = {};
    if (WeRenderTarget* top = luminanceTargets[luminanceCount - 1])
    {
        for (int32_t i = -1, k = 0; i <= 1; ++i)
            for (int32_t j = -1; j <= 1; ++j, ++k)
            {
                values[k][0] = float(i) / (3.0f * 256.0f);
                values[k][1] = float(j) / (3.0f * 256.0f);
            }
        renderDevice.SetSamplerState(0, 3, 1);
        renderDevice.SetRawTexture(0, captureTarget->texture);
        pass(0, *top, values);
    }
    renderDevice.SetSamplerState(0, 1, 1);
    for (int32_t t = luminanceCount - 1; t > 0; --t)
    {
        const WeRenderTarget* source = luminanceTargets[t];
        if (!source || !luminanceTargets[t - 1])
            continue;
        for (int32_t j = 0, k = 0; j < 4; ++j)
            for (int32_t i = 0; i < 4; ++i, ++k)
            {
                values[k][0] = (float(i) - 1.5f) / float(source->width);
                values[k][1] = (float(j) - 1.5f) / float(source->height);
            }
        renderDevice.SetRawTexture(0, source->texture);
        pass(1, *luminanceTargets[t - 1], values);
    }
    if (adaptedLuminance && adaptedLuminanceNext && luminanceTargets[0])
    {
        renderDevice.SetRawTexture(0, luminanceTargets[0]->texture);
        renderDevice.SetRawTexture(1, adaptedLuminance->texture);
        renderDevice.SetSamplerState(1, 1, 1);
        pass(2, *adaptedLuminanceNext, values);
        std::swap(adaptedLuminance, adaptedLuminanceNext);
    }
    shader.End();
    if (saved)
        renderDevice.RestoreRenderTarget(saved);
}

void WePostProcess::MaskRefraction()
{
    renderDevice.UseMultisampleDepthStencil();
    refractionTarget->Bind(0, 0);
    renderDevice.SetSamplerState(0, 3, 1);
    renderDevice.DisableStencil();
    // A plain copy of the current image, refracted below only where the stencil is set.
    const float origin[3] = {0.0f, 0.0f, 0.0f}, unit[3] = {1.0f, 1.0f, 1.0f};
    if (compositeShader && compositeShader->effect)
    {
        compositeShader->effect->SetFloatArray(screenPosHandle, origin, 3);
        compositeShader->effect->SetFloatArray(screenScaleHandle, unit, 3);
        DrawComposite(0, false);
    }
    Device& device = *renderDevice.device;
    renderDevice.EnableStencil();
    device.SetRenderState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
    device.SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
    device.SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    device.SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
    device.SetRenderState(D3DRS_STENCILREF, 1);
    device.SetRenderState(D3DRS_STENCILMASK, 1);
    device.SetRenderState(D3DRS_STENCILWRITEMASK, 0);
}

int32_t WePostProcess::CompositeMask() const
{
    int32_t mask = renderDevice.filmGrain && grainTexture && grainTexture->texture ? grainBit : 0;
    if (monochrome < 1.0f)
        mask |= monochromeBit;
    if (flashColor[3] > 0.0f)
        mask |= flashBit;
    if (renderDevice.brightness != 0.0f || renderDevice.contrast != 0.0f)
        mask |= brightnessBit;
    return mask;
}

bool WePostProcess::CompositeOnlyCopies() const
{
    if (subRectangle || CompositeMask() != 0 || !savedTarget)
        return false;
    const SurfaceDesc desc = savedTarget->GetDesc();
    return desc.width == uint32_t(renderDevice.BackBufferWidth()) &&
           desc.height == uint32_t(renderDevice.BackBufferHeight());
}

const WePostProcessEffect* WePostProcess::OnScreenEffect() const
{
    const WePostProcessEffect* last = CompositeOnlyCopies() ? LastFullSizeEffect() : nullptr;
    if (last && last->addsToCapture && savedTarget->GetDesc().multiSampleType != D3DMULTISAMPLE_NONE)
        return nullptr; // nothing copies into a multisampled surface
    return last;
}

bool WePostProcess::CapturesOnScreen() const
{
    const WePostProcessEffect* onScreen = OnScreenEffect();
    if (!onScreen || !onScreen->addsToCapture || !onScreen->firstPassReduces || !onScreen->reduce || !halfA ||
        captureTarget->multisampleType != D3DMULTISAMPLE_NONE)
        return false;
    for (const WePostProcessEffect* effect : effects)
        if (effect != onScreen && effect->enabled && HasShader(effect))
            return false;
    const Format format = savedTarget->GetDesc().format;
    return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
}

const WePostProcessEffect* WePostProcess::LastFullSizeEffect() const
{
    const WePostProcessEffect* last = nullptr;
    for (const WePostProcessEffect* effect : effects)
        if (effect->enabled && HasShader(effect))
            last = effect;
    return last && !last->stencilMasked && !last->scaledQuad ? last : nullptr;
}

void WePostProcess::RunEffect(WePostProcessEffect& effect, float motionBlurFactor, bool lastOnScreen)
{
    const bool masked = effect.stencilMasked && refractionTarget;
    if (masked)
        MaskRefraction();
    for (int32_t stage = 0; stage < WePostProcessEffect::stageCount; ++stage)
        renderDevice.SetSamplerState(uint32_t(stage), effect.filterModes[stage], effect.addressModes[stage]);
    WeShader& shader = *effect.shader;
    shader.Begin(effectFlags);
    const float focalRange = renderDevice.focalRange != 0.0f ? 2.0f / renderDevice.focalRange : 0.0f;
    const std::pair<int32_t, float> shared[] = {{WeShaderManager::pixelMotionBlurFactor, motionBlurFactor},
                                                {WeShaderManager::radialBlurStrength, radialBlurStrength},
                                                {WeShaderManager::maxCoC, renderDevice.maxCircleOfConfusion},
                                                {WeShaderManager::focalDist, renderDevice.focalDistance},
                                                {WeShaderManager::focalRange, focalRange}};
    for (const auto& [index, value] : shared)
        shaders.SetShared(index, &value, 1);
    shader.CommitChanges();
    const uint32_t passes = shader.passCount;
    WeRenderTarget* drawn = nullptr;
    const uint32_t first = capturedOnScreen && effect.firstPassReduces ? 1 : 0; // its copy is made
    for (uint32_t pass = first; pass < passes; ++pass)
    {
        if (effect.blendSecondPass && pass == 1)
            renderDevice.SetAlphaBlend(true, false);
        const bool last = pass + 1 == passes;
        if (last && lastOnScreen)
            DrawOnScreen(effect, pass);
        else if (WeRenderTarget* target = DrawPass(effect, pass, last, drawn))
            drawn = target;
    }
    shader.End();
    if (effect.blendSecondPass && passes > 1)
        renderDevice.SetAlphaBlend(false, false);
    if (masked)
    {
        renderDevice.UsePlainDepthStencil();
        renderDevice.DisableStencil();
    }
    // The next effect reads the image this one really drew, or its own input when it drew none.
    if (drawn)
        renderDevice.SetRawTexture(1, drawn->texture);
}

WeRenderTarget* WePostProcess::DrawPass(WePostProcessEffect& effect, uint32_t pass, bool last,
                                        const WeRenderTarget* source)
{
    if (last && effect.addsToCapture)
        return AddToCapture(effect, pass, source);
    const bool masked = effect.stencilMasked && refractionTarget;
    const bool reduced = effect.reduce && !last;
    WeRenderTarget* target = fullA;
    VertexBuffer* quad = fullQuad;
    if (masked)
        target = refractionTarget; // bound by the mask
    else if (reduced && pass == 0 && halfA)
        target = halfA, quad = halfQuad;
    else if (reduced && pass > 0 && quarterA)
        target = quarterA, quad = quarterQuad;
    if (!target)
        return nullptr;
    if (!masked)
        target->Bind(0, 0);
    DrawQuad(effect, pass, quad);
    // Hand on the target just drawn; a ping-pong pair swaps so the next pass draws the other one.
    if (masked)
        Resolve(*target);
    else if (target == quarterA)
        std::swap(quarterA, quarterB);
    else if (target == fullA)
        std::swap(fullA, fullB);
    renderDevice.SetRawTexture(0, target->texture);
    return target;
}

void WePostProcess::DrawOnScreen(WePostProcessEffect& effect, uint32_t pass)
{
    renderDevice.device->SetRenderTarget(0, savedTarget);
    renderDevice.UseMultisampleDepthStencil();
    DrawQuad(effect, pass, fullQuad);
}

Surface* WePostProcess::CaptureImage() const
{
    return captureTarget->multisampleType != D3DMULTISAMPLE_NONE ? captureTarget->resolveSurfaces[0]
                                                                 : captureTarget->surfaces[0];
}

WeRenderTarget* WePostProcess::AddToCapture(WePostProcessEffect& effect, uint32_t pass,
                                            const WeRenderTarget* source)
{
    std::vector<Rect> lit;
    const bool tiled = source && LitTiles(*source, lit);
    renderDevice.device->SetRenderTarget(0, capturedOnScreen ? savedTarget : CaptureImage());
    renderDevice.SetRawTexture(1, nullptr); // no stage reads the image it draws into
    if (!tiled)
        DrawQuad(effect, pass, fullQuad);
    else if (!lit.empty())
    {
        effect.shader->BeginPass(pass);
        effect.Apply();
        DrawScreenRects(lit, uint32_t(renderDevice.BackBufferWidth()),
                        uint32_t(renderDevice.BackBufferHeight()));
        effect.shader->EndPass();
    }
    if (capturedOnScreen)
        return nullptr; // the image is on screen, where no stage reads it
    renderDevice.SetRawTexture(0, captureTarget->texture);
    return captureTarget;
}

bool WePostProcess::LitTiles(const WeRenderTarget& image, std::vector<Rect>& lit) const
{
    Surface* surface = image.surfaces[0];
    if (!surface || image.multisampleType != D3DMULTISAMPLE_NONE || image.format != D3DFMT_A8R8G8B8 ||
        image.width >= uint32_t(renderDevice.BackBufferWidth()))
        return false;
    LockedRect locked{};
    if (Failed(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY)))
        return false;
    lit = WeFindLitTiles({static_cast<const uint8_t*>(locked.bits), locked.pitch, int32_t(image.width),
                          int32_t(image.height), renderDevice.BackBufferWidth(),
                          renderDevice.BackBufferHeight()});
    surface->UnlockRect();
    return true;
}

void WePostProcess::DrawQuad(WePostProcessEffect& effect, uint32_t pass, VertexBuffer* quad)
{
    effect.shader->BeginPass(pass);
    effect.Apply();
    if (effect.scaledQuad)
        DrawScaledScreenQuad(grainQuad);
    else
        DrawScreenQuad(quad);
    effect.shader->EndPass();
}

void WePostProcess::Composite()
{
    if (!compositeShader || !compositeShader->effect)
        return;
    d3dx::Effect& effect = *compositeShader->effect;
    if (renderDevice.filmGrain && grainMaterial)
        grainMaterial->UpdateTextureAnimation(timer.absoluteTimeFloat);
    const int32_t mask = CompositeMask();
    if (mask & grainBit)
    {
        renderDevice.SetRawTexture(6, grainTexture->texture);
        renderDevice.SetSamplerState(6, 1, 2);
        effect.SetFloat(filmGrainStrengthHandle, renderDevice.filmGrainStrength);
    }
    if (mask & monochromeBit)
        effect.SetFloat(monochromeStrengthHandle, monochrome);
    if (mask & flashBit)
        effect.SetFloatArray(flashColorHandle, flashColor, 4);
    if (mask & brightnessBit)
    {
        effect.SetFloat(brightnessHandle, renderDevice.brightness);
        effect.SetFloat(contrastHandle, renderDevice.contrast);
    }
    float position[3] = {0.0f, 0.0f, 0.0f}, scale[3] = {1.0f, 1.0f, 1.0f};
    if (subRectangle)
    {
        const float width = float(renderDevice.BackBufferWidth()),
                    height = float(renderDevice.BackBufferHeight());
        const auto [left, top, right, bottom] = screenRect;
        position[0] = float(left + right) / width - 1.0f;
        position[1] = 1.0f - float(top + bottom) / height;
        scale[0] = float(right - left) / width;
        scale[1] = float(bottom - top) / height;
    }
    effect.SetFloatArray(screenPosHandle, position, 3);
    effect.SetFloatArray(screenScaleHandle, scale, 3);
    DrawComposite(mask, (mask & grainBit) != 0);
}

void WePostProcess::DrawComposite(int32_t mask, bool withGrain)
{
    compositeShader->SetTechnique(mask);
    compositeShader->Begin(effectFlags);
    compositeShader->BeginPass(0);
    compositeShader->CommitChanges();
    if (withGrain)
        DrawScaledScreenQuad(grainQuad);
    else
        DrawScreenQuad(fullQuad);
    compositeShader->EndPass();
    compositeShader->End();
}

void WePostProcess::RenderOutlines()
{
    WeShader* shader = shaders.outlineShader;
    if (!built || !outlineTarget || !shader || !shader->effect)
        return;
    renderDevice.SetAlphaBlend(true, false);
    UseUsualBlend();
    renderDevice.SetRenderState(D3DRS_ZENABLE, 0);
    renderDevice.SetRawTexture(0, outlineTarget->texture);
    shader->Begin(effectFlags);
    shader->BeginPass(0);
    renderDevice.SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    DrawScreenQuad(fullQuad);
    shader->EndPass();
    shader->End();
    renderDevice.SetSamplerState(0, 3, 2);
}

void WePostProcess::GetShadowTargets(WeRenderTarget** first, WeRenderTarget** second) const
{
    const int32_t level = renderDevice.shadows;
    WeRenderTarget* const* pair[2] = {&halfA, &halfB};
    if (level == 1)
        pair[0] = &quarterA, pair[1] = &quarterB;
    else if (level == 4)
        pair[0] = &fullA, pair[1] = &fullB;
    if (first)
        *first = *pair[0];
    if (second)
        *second = *pair[1];
}

void WePostProcess::BlurShadows()
{
    if (!HasShader(shadowBlurEffect) || !fullA)
        return;
    WeRenderTarget** pair[2] = {&halfA, &halfB};
    VertexBuffer* quad = halfQuad;
    if (renderDevice.shadows == 1)
        pair[0] = &quarterA, pair[1] = &quarterB, quad = quarterQuad;
    else if (renderDevice.shadows == 4)
        pair[0] = &fullA, pair[1] = &fullB, quad = fullQuad;
    if (!*pair[0] || !*pair[1])
        return;
    renderDevice.SetAlphaBlend(false, false);
    renderDevice.SetRenderState(D3DRS_ZENABLE, 0);
    WeShader& shader = *shadowBlurEffect->shader;
    BaseTexture* term = fullA->texture;
    shader.Begin(effectFlags);
    shader.CommitChanges();
    for (uint32_t pass = 0; pass < shader.passCount; ++pass)
    {
        (*pair[1])->Bind(0, 0);
        renderDevice.SetRawTexture(0, pass == 0 ? term : (*pair[0])->texture);
        shader.BeginPass(pass);
        shadowBlurEffect->Apply();
        DrawScreenQuad(quad);
        shader.EndPass();
        std::swap(*pair[0], *pair[1]);
    }
    shader.End();
}
