// The render device: owns the Direct3D device and what the rest of rendering shares through it
// (presentation parameters, depth-stencil surfaces, render settings, capability flags, state
// caches, fog), draws the engine's frame and carries everything across device loss, resets
// and display-mode changes. One global object, `renderDevice`.
#pragma once

#include "WeBaseRenderer.h"
#include "WeColor.h"
#include "WeDeviceState.h"
#include "WeList.h"
#include "WeString.h"
#include "d3d9/D3d9Device.h"

#include <memory>
#include <mutex>

class WeMovieTextureRenderer;
class WeRenderTarget;

struct WeDisplayModeSize
{
    int32_t width = 0;
    int32_t height = 0;
};

class WeRenderDevice
{
public:
    WeRenderDevice();
    // A device still made at exit (the program ended without the engine's shut-down) goes alone:
    // the managers, renderers and post-processing may have gone before it, in whatever order the
    // static objects end, and what they hold is detached from it.
    virtual ~WeRenderDevice();

    // Creates the device for the window. Size, multisampling and vertical sync come from the
    // engine settings (the multisampling pair written back as validated); the windowed flag from
    // displayMode != 0. True at once when already created; on failure the text is in the
    // engine's last error and what was made is released.
    bool Init(void* instance, d3d9::WindowHandle window, const WeString& deviceText, int32_t width,
              int32_t height, int32_t multisampleType, int32_t multisampleQuality, bool verticalSync,
              int32_t displayMode, int32_t reflectionQuality, bool multithreaded);
    // One frame: clear, the application's Render, present. Nothing unless created, ready and
    // not lost.
    void RenderFrame();
    // Usable, lost (skip the frame) or failed beyond reset; a device that can be reset again is.
    WeDeviceState CheckDevice();
    // Applies the engine settings (size, windowed flag, multisampling, vertical sync).
    bool ChangeDisplayMode();
    // The back buffer's size and its width / height: what Init and each display-mode change
    // took from the engine settings.
    int32_t BackBufferWidth() const { return backBufferWidth; }
    int32_t BackBufferHeight() const { return backBufferHeight; }
    float Aspect() const { return aspect; }
    // The size the device answers until the next Init or display-mode change: for layout and
    // drawing without a display of that size (tools and tests); the game never calls it.
    void SetBackBufferSize(int32_t width, int32_t height);
    void OnLostDevice();
    void OnResetDevice();
    // Releases everything once; a second call does nothing.
    void Shutdown();
    // The adapter's sizes of at least 640 x 480, each once, ascending.
    void EnumerateDisplayModes();
    // Writes render target 0 as a BMP file. Present leaves the back buffer's contents in place,
    // so between frames this is the frame last shown.
    bool SaveScreenshot(const char* fileName);

    // Stores the scene's fog; nothing is applied until ApplyFog.
    void SetFog(bool enabled, const WeColor& color, float start, float end, float min, float max);
    void ApplyFog();
    void EnableFog();
    void DisableFog();
    // Saves and restores the switches and distances (not the colour).
    void StoreFog();
    void RestoreFog();
    // Stored and uploaded as the shared "AmbientColor"; grey (0.7) goes up while greyAmbient is set.
    void SetAmbientColor(const WeColor& color);
    // Stored and uploaded as the shared "OutlineColor".
    void SetOutlineColor(const WeColor& color);
    // Per view: stencil off, the camera's view and projection transforms, and the view's shared
    // values (time, colours, bloom scale, back-buffer size, outline and refraction values).
    void SetCamera(const class WeCamera* camera);

    void SetRenderState(d3d9::RenderState state, uint32_t value);
    // Target `index` to the first surface of the target, or none for null.
    void SetRenderTarget(uint32_t index, const WeRenderTarget* target);
    // Render target 0, with a new reference.
    d3d9::Surface* GetRenderTarget();
    // Makes the surface render target 0 again and drops the reference.
    void RestoreRenderTarget(d3d9::Surface* surface);
    void SetRawTexture(uint32_t stage, d3d9::BaseTexture* texture);
    // Filter mode 0 keeps, 1 point, 2 linear with point minification, 3 anisotropic (linear when
    // maxAnisotropy is below 1), others linear; address mode 0 keeps, 1 clamp, 3 border (colour
    // 0), others wrap. Each state is set only when its cache differs.
    void SetSamplerState(uint32_t stage, int32_t filterMode, int32_t addressMode);
    // A reference above 0 turns the alpha test on with "greater or equal".
    void SetAlphaTest(int32_t reference);
    void SetAlphaBlend(bool enable, bool force);
    void EnableStencil();
    void DisableStencil();
    // For targets without multisampling; nothing unless a multisampled depth-stencil exists.
    void UsePlainDepthStencil();
    void UseMultisampleDepthStencil();
    static void Clear(bool target, const WeColor& color, bool depth, float z, bool stencil,
                      uint32_t stencilValue);
    // On: the rectangle is clamped into the back buffer (right and bottom to at most size - 1).
    void SetScissor(bool enable, const d3d9::Rect& rect);
    void GetScissor(bool* enabled, d3d9::Rect* rect) const;

    // The renderer list (construction order).
    WeList<WeBaseRenderer*>& Renderers() const { return WeBaseRenderer::List(); }

    bool created = false;
    bool lost = false;
    bool wasReset = false;
    bool fogSwitch = false;
    bool fogActive = false;
    bool fogConfigured = false;
    float fogStart = 0.0f, fogEnd = 0.0f, fogMin = 0.0f, fogMax = 0.0f;
    WeColor fogColor;
    struct SavedFog
    {
        bool fogSwitch = false;
        bool configured = false;
        float start = 0.0f, end = 0.0f, min = 0.0f, max = 0.0f;
    } savedFog;
    int32_t motionBlurMode = 2;
    float pixelMotionBlur = 0.05f;
    float pixelMotionBlurScale = 1.0f;
    bool refraction = true;
    float refractionStrength = 3.0f;
    float refractionSpeed = 0.01f;
    bool filmGrain = true;
    float filmGrainStrength = 0.2f;
    float bloomScale = 1.0f;
    int32_t bloomMode = 1;
    bool depthOfField = true;
    float focalRange = 200.0f, focalDistance = 10.0f, maxCircleOfConfusion = 4.0f;
    float brightness = 0.0f, contrast = 0.0f;
    float hdrFactor = 1.0f; // the scene's second HDR value
    WeColor ambientColor{0.05f, 0.05f, 0.05f, 1.0f};
    WeColor outlineColor{0.0f, 0.0f, 0.0f, 1.0f};
    d3d9::PresentParameters presentParameters;
    bool pixelShader3 = false;
    bool floatTargetG16R16F = false;
    bool floatTargetA16B16G16R16F = false;
    bool floatTargetMultisample = false;
    bool ready = true;
    bool projectors = true;
    bool normalMaps = true;         // off: the scene renderer drops the bump feature bit every frame
    bool specularHighlights = true; // off: it drops the specular bit
    int32_t reflectionQuality = 2;
    int32_t shaderLevel = 1;
    int32_t maxAnisotropy = 1;
    bool stencilOn = false;
    int32_t samplerFilters[d3d9::maxSamplers][3] = {}; // min, mag, mip
    int32_t samplerAddress[d3d9::maxSamplers] = {};
    d3d9::Format backBufferFormat = d3d9::D3DFMT_X8R8G8B8;
    d3d9::Format depthFormat = d3d9::D3DFMT_D24S8;
    d3d9::Surface* depthStencil = nullptr;
    d3d9::Surface* depthStencilMultisample = nullptr;
    bool renderersShutDown = false;
    bool outlines = false;
    float edgeSize = 1.0f, normalTimesFactor = 1.0f, depthTimesFactor = 3.0f, borderDetectionFactor = 1.0f;
    int32_t shadows = 0;
    d3d9::WindowHandle window = nullptr;
    d3d9::Rect scissorRect;
    bool scissorOn = false;
    std::mutex movieLock;
    // Every live movie texture; made by the first one, freed by Shutdown.
    std::unique_ptr<WeList<WeMovieTextureRenderer*>> movieTextures;
    WeList<WeDisplayModeSize> displayModes;
    d3d9::Device* device = nullptr;
    d3d9::Direct3D* direct3D = nullptr;
    bool debugDraw = false;
    bool greyAmbient = false;
    bool pointLighting = true; // off: it drops the lighting and specular bits; no per-pixel lights

    WeRenderDevice(const WeRenderDevice&) = delete;
    WeRenderDevice& operator=(const WeRenderDevice&) = delete;

private:
    bool Fail(const char* message);
    void StoreSize(int32_t width, int32_t height);
    // The canvas's and the shaders' effects and the textures, all made on this device, go with it.
    void ReleaseDeviceObjects();
    void BuildPresentParameters(bool windowed);
    bool CreateDevice(uint32_t adapter, d3d9::DeviceType type, bool multithreaded);
    void CreateDepthStencils(d3d9::MultisampleType type, uint32_t quality, bool always);
    void BindDepthStencil();
    void ReleaseDepthStencils();
    void ClearCaches();
    void SetSamplerValue(uint32_t stage, d3d9::SamplerState state, int32_t value, int32_t& cache);
    // Calls the operation on every live movie texture, under movieLock.
    void ForEachMovieTexture(void (WeMovieTextureRenderer::*operation)());
    // Windowed: the outer size for the back buffer in the window style, centred on the screen.
    void MoveWindowForMode() const;

    int32_t backBufferWidth = 800;
    int32_t backBufferHeight = 600;
    float aspect = 800.0f / 600.0f;
};

extern WeRenderDevice renderDevice;
