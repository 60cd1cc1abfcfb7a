// Projector lights: each frame the visible projector lights collect the solid items they reach,
// and after the solid pass their projected material is added over those items, omni projectors
// all around them, spot projectors through their cone. One global object, `projectorRenderer`.
#pragma once

#include "WeBaseRenderer.h"
#include "WeCamera.h"
#include "WeRenderQueue.h"

#include <cstdint>
#include <memory>
#include <vector>

class WeLight;
class WeMaterial;
class WeScene;
class WeShader;

class WeProjectorRenderer : public WeBaseRenderer
{
public:
    // A light of the frame and the items it projects onto, grouped by material.
    struct LightNode
    {
        WeLight* light = nullptr;
        WeRenderList receivers;
    };
    // The spot cone seen from the light: its view and projection, and the frustum they make.
    struct SpotView
    {
        WeMatrix view, projection;
        WeFrustum frustum;
    };

    WeProjectorRenderer() = default;
    ~WeProjectorRenderer() override;

    // Loads both effects; true.
    bool Init() override;
    void Shutdown() override { initialised = false; }

    // Forgets the frame's lights.
    void BeginFrame();
    // With projectors on: the visible projector lights and the solid items each reaches.
    void Prepare(WeScene* scene, WeCamera* camera);
    // With projectors on: the omni pass, then the spot pass, blended over the frame.
    void Render(WeScene* scene, WeCamera* camera);

    // An omni projector lights all around; others are spots.
    static bool IsOmni(const WeLight& light);
    // The light looks along its z axis with its up along y; the cone's angles across and up
    // are its two angles, reaching as far as its range.
    static SpotView SpotOf(const WeLight& light);

    bool initialised = false;
    WeShader* spotEffect = nullptr;
    WeShader* omniEffect = nullptr;
    std::vector<LightNode*> omniLights, spotLights;

private:
    LightNode* TakeNode(WeLight* light);
    void CollectReceivers();
    // Each light's receivers with the effect: the projector material's states, colour and the
    // light's position, and what `setup` adds for the kind of light.
    void RenderLights(WeShader& effect, const std::vector<LightNode*>& lights,
                      void (*setup)(const WeLight&, WeMaterial&, WeShader&));
    // The projector material's blending, culling and alpha reference when they differ from the
    // previous light's.
    void SetupProjectorStates(const WeLight& light, const WeLight* previous);

    std::vector<std::unique_ptr<LightNode>> nodes; // every node made, freed at exit
    std::vector<LightNode*> freeNodes;
};

extern WeProjectorRenderer projectorRenderer;
