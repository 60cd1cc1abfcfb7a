// Full-screen post-processing. While a scene is drawn, `postProcess` redirects it into a capture
// target; afterwards it runs a chain of full-screen effects (bloom or high-dynamic-range tone
// mapping, radial or per-pixel motion blur, stencil-masked refraction, depth of field) by
// ping-ponging between targets, and composites the result onto the real target with brightness,
// contrast, a flash colour, a monochrome fade and film grain. It also owns the targets the
// velocity renderer writes (velocity, outlines, the shadow term) and blurs the shadow term.
// Which effects exist is decided when the chain is built, from the render device's settings
// and capabilities; a change takes effect at the next build.
#pragma once

#include "WeList.h"
#include "WeString.h"
#include "d3d9/D3d9Resources.h"
#include "d3dx/D3dxEffect.h"

#include <cstdint>
#include <vector>

class WeMaterial;
class WeRenderTarget;
class WeShader;
class WeTexture;

// One full-screen effect of the chain: its shader, the sampler modes it wants on stages 0 to 7
// (the render device's SetSamplerState codes; 0 leaves a stage alone) and how it is drawn.
class WePostProcessEffect
{
public:
    static constexpr int32_t stageCount = 8;

    WePostProcessEffect() = default;
    virtual ~WePostProcessEffect() = default;
    WePostProcessEffect(const WePostProcessEffect&) = delete;
    WePostProcessEffect& operator=(const WePostProcessEffect&) = delete;

    // Through the shader manager; true at once when loaded.
    bool Load(const WeString& shaderName);
    // Hands param to the effect's "PPParam" and commits; nothing unless loaded.
    void Apply();

    bool loaded = false;
    WeShader* shader = nullptr;
    d3dx::D3DXHANDLE paramHandle = nullptr; // "PPParam", looked up once at load
    int32_t filterModes[stageCount] = {};
    int32_t addressModes[stageCount] = {};
    bool enabled = true;
    float param = 0.0f;
    bool reduce = false;           // the passes before the last draw at reduced size
    bool stencilMasked = false;    // drawn only where the refraction stencil is set
    bool scaledQuad = false;       // drawn with the two-texture quad
    bool blendSecondPass = false;  // alpha blending from the second pass on
    bool addsToCapture = false;    // the last pass blends onto the capture instead of the pair
    bool firstPassReduces = false; // the first pass only copies the capture at half size
};

class WePostProcess
{
public:
    static constexpr int32_t luminanceCount = 5;
    // Tries per target creation before it is given up.
    static constexpr int32_t createTries = 4;

    WePostProcess() = default;
    virtual ~WePostProcess();
    WePostProcess(const WePostProcess&) = delete;
    WePostProcess& operator=(const WePostProcess&) = delete;

    // Makes the chain for the device's settings unless built; always true.
    bool Build();
    // Gives up the chain, its targets and quads; the loaded shader and textures stay.
    void Release();
    // Release, and forgets the shader, textures and material, whose managers free them with the
    // device.
    void Shutdown();
    // Whether a frame needs the chain: a capture exists and there is an effect, brightness or
    // contrast, a flash, a monochrome fade or film grain.
    bool IsActive() const;
    void BeginCapture();
    void EndCapture();
    // Runs the chain and the composite onto render target 0; nothing when not built.
    void Render();
    // Composite into the pixel rectangle (left, top, right, bottom) instead of the whole target;
    // a null rectangle keeps the stored one.
    void SetScreenRect(bool enable, const int32_t* rectangle);
    // Draws the outline image over the current target.
    void RenderOutlines();
    WeRenderTarget* GetShadowTarget() const { return fullA; }
    // The ping-pong pair of the shadow level: quarter for 1, full for 4, half otherwise.
    void GetShadowTargets(WeRenderTarget** first, WeRenderTarget** second) const;
    // Blurs the shadow term drawn into fullA; the result is the first of the level's pair.
    void BlurShadows();

    float flashColor[4] = {};
    bool built = false;
    float radialBlurStrength = 0.0f;
    d3d9::Surface* savedTarget = nullptr;
    WeList<WePostProcessEffect*> effects;
    d3d9::VertexBuffer *fullQuad = nullptr, *halfQuad = nullptr, *quarterQuad = nullptr, *grainQuad = nullptr;
    float reduction = 0.5f;
    int32_t quarterWidth = 0, quarterHeight = 0, halfWidth = 0, halfHeight = 0;
    bool subRectangle = false;
    int32_t screenRect[4] = {};
    WeRenderTarget* captureTarget = nullptr;
    WeRenderTarget* refractionTarget = nullptr;
    WeRenderTarget *quarterA = nullptr, *quarterB = nullptr;
    WeRenderTarget *halfA = nullptr, *halfB = nullptr;
    WeRenderTarget *fullA = nullptr, *fullB = nullptr;
    WeRenderTarget* velocityTarget = nullptr; // motion in red and green, depth in blue
    WeRenderTarget* outlineTarget = nullptr;
    WePostProcessEffect* luminanceEffect = nullptr;
    WeRenderTarget* luminanceTargets[luminanceCount] = {}; // 1, 4, 16, 64 and 256 pixels square
    WeRenderTarget *adaptedLuminance = nullptr, *adaptedLuminanceNext = nullptr;
    WeTexture* refractionTexture = nullptr;
    WeTexture* grainTexture = nullptr;
    WeMaterial* grainMaterial = nullptr;
    WeShader* compositeShader = nullptr;
    d3dx::D3DXHANDLE brightnessHandle = nullptr, contrastHandle = nullptr, flashColorHandle = nullptr,
                     filmGrainStrengthHandle = nullptr, monochromeStrengthHandle = nullptr,
                     screenPosHandle = nullptr, screenScaleHandle = nullptr;
    bool capturing = false;
    // The scene of this capture is drawn straight onto the saved target, which the chain's only
    // effect adds onto; a half-size copy of it stands for the effect's first pass (set by
    // BeginCapture, cleared by Render).
    bool capturedOnScreen = false;
    WePostProcessEffect* shadowBlurEffect = nullptr;
    float monochrome = 1.0f;
    // The capture holds high-dynamic-range colour (false when that format could not be made).
    bool highDynamicRange = false;

private:
    bool assetsLoaded = false;

    void LoadAssets();
    void MakeQuads();
    void MakeCapture();
    void MakeTargets();
    void MakeLuminance();
    void MakeChain();
    void MakePairs();
    WePostProcessEffect* AddEffect(const char* name, bool reduce, bool stencilMasked, bool blendSecondPass);
    void DestroyTargets();
    void RenderLuminance();
    // The composite's technique bits for the device's settings and this chain's values.
    int32_t CompositeMask() const;
    // Whether the composite would copy the image unchanged onto the whole saved target.
    bool CompositeOnlyCopies() const;
    // The effect whose last pass puts the image on the saved target instead of the composite:
    // drawn there, or added onto the capture that is then copied there (a single-sampled target
    // only); null when the composite runs.
    const WePostProcessEffect* OnScreenEffect() const;
    // Whether the scene can be drawn on the saved target itself: the only effect that runs adds
    // onto the capture, which would then be copied onto that target unchanged, and its first pass
    // only copies the capture at half size.
    bool CapturesOnScreen() const;
    // The last effect that runs when it draws full-size quads into the pair (null otherwise).
    const WePostProcessEffect* LastFullSizeEffect() const;
    // With lastOnScreen, the effect's last pass draws into the saved target instead of the pair.
    void RunEffect(WePostProcessEffect& effect, float motionBlurFactor, bool lastOnScreen);
    void MaskRefraction();
    // Draws one pass, which reads source (the target the pass before drew, null for none), and
    // returns the target it drew into (null when none could be bound).
    WeRenderTarget* DrawPass(WePostProcessEffect& effect, uint32_t pass, bool last,
                             const WeRenderTarget* source);
    void DrawOnScreen(WePostProcessEffect& effect, uint32_t pass);
    // The capture's single-sampled image: its texture's first level.
    d3d9::Surface* CaptureImage() const;
    // Draws the pass onto the capture's image and returns the capture; a capture drawn on screen
    // gets the pass there, and nothing is handed on. A reduced source is added only over the
    // tiles where it has colour.
    WeRenderTarget* AddToCapture(WePostProcessEffect& effect, uint32_t pass, const WeRenderTarget* source);
    // Reads back a reduced 32-bit image and finds the tiles of the screen it lights; false when
    // it is not such an image or cannot be read.
    bool LitTiles(const WeRenderTarget& image, std::vector<d3d9::Rect>& lit) const;
    void DrawQuad(WePostProcessEffect& effect, uint32_t pass, d3d9::VertexBuffer* quad);
    void Composite();
    void DrawComposite(int32_t mask, bool withGrain);
};

// An effective motion-blur mode of the device: per-pixel blur needs G16R16F targets.
int32_t WeEffectiveMotionBlurMode();
// Whether depth of field runs: it needs shader model 3 and a velocity image with room for depth
// beside the motion (red and green motion, blue depth), a four-channel float target.
bool WeDepthOfFieldBuilt();

extern WePostProcess postProcess;
