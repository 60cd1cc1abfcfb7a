// Shadow maps of point lights: each frame the shadow-casting lights nearest to the camera (up to
// four) get a shadow slot, and for each a cube map of distances from the light is drawn, one face
// at a time, from the solid items that cast shadows. The scene's shaders sample the cubes on
// samplers 8 to 11. One global object, `shadowMapRenderer`.
#pragma once

#include "WeBaseRenderer.h"
#include "WeCamera.h"
#include "WeList.h"
#include "WeRenderQueue.h"

#include <cstdint>
#include <memory>

class WeLight;
class WeRenderTarget;
class WeScene;
class WeShader;

namespace d3d9
{
class Surface;
}

class WeShadowMapRenderer : public WeBaseRenderer
{
public:
    static constexpr int32_t slotCount = 4;
    static constexpr uint32_t firstSampler = 8;

    WeShadowMapRenderer() = default;
    ~WeShadowMapRenderer() override;

    // Loads the effect, makes the face camera and the targets; true.
    bool Init() override;
    void Shutdown() override;
    // The cube targets and the faces' depth buffer go; OnResetDevice makes them again when
    // shadows are on.
    void OnLostDevice() override;
    void OnResetDevice() override;

    // Picks this frame's shadow lights: the nearest visible casting lights, four with pixel
    // shader 3.0 above the lowest shader level, else one; each gets its slot (1 to 4).
    void Prepare(WeScene* scene, WeCamera* camera);
    // The cube of every selected light that has a target, then binds the cubes drawn to
    // samplers 8 onwards.
    void Render(WeScene* scene, WeCamera* camera);
    // How many lights Prepare may select with the device's settings.
    static int32_t LightLimit();
    // Whether the light's sphere of influence reaches into the view.
    static bool LightVisible(const WeLight& light, const WeFrustum& view);
    // Whether every corner of the face camera's view lies behind one plane of the main view.
    static bool FaceOutsideView(const WeFrustum& face, const WeFrustum& view);

    bool initialised = false;
    WeShader* shadowEffect = nullptr;
    WeRenderTarget* cubeTargets[slotCount] = {};
    int32_t renderedCount = 0;
    int32_t shadowMapSize = 512;
    std::unique_ptr<WeCamera> camera; // the face camera
    bool hasLights = false;           // some light's cube was drawn this frame
    WeList<WeLight*> lights;
    WeRenderList casters;

private:
    void RenderLight(WeLight& light, int32_t slot, const WeCamera& view);
    // Sets the face camera up for the face; false when the face needs no drawing.
    bool SetupFace(const WeLight& light, uint32_t face, const WeCamera& view);
    void CollectCasters();
    void DrawCasters(const WeLight& light);
    void BindCubes() const;

    d3d9::Surface* depthStencil = nullptr; // at least as large as a face
};

extern WeShadowMapRenderer shadowMapRenderer;
