// Draws a level's sky before everything else: a cube texture looked up per pixel of a screen
// quad through the camera's turn, or a sky mesh kept centred on the camera and scaled to fit
// between its clip planes. One global object, `skyBoxRenderer`.
#pragma once

#include "WeBaseRenderer.h"

class WeCamera;
class WeShader;
class WeSkyBox;

namespace d3d9
{
class VertexBuffer;
} // namespace d3d9

class WeSkyBoxRenderer : public WeBaseRenderer
{
public:
    WeSkyBoxRenderer() = default;
    ~WeSkyBoxRenderer() override;

    // The screen quad, and the sky effect "Shaders.Special.SkyBox".
    bool Init() override;
    // Releases the quad and forgets the effect, so that a later Init loads it again.
    void Shutdown() override;
    void OnLostDevice() override;
    void OnResetDevice() override;

    // Only for a cube texture, with the effect loaded: the sky on sampler 4 over the whole view.
    void RenderCubeTexture(const WeSkyBox* sky, const WeCamera* camera);
    // Only for a model with a mesh: each subset with its material's default technique, Z off,
    // in full ambient light, its alpha times the factor.
    void RenderMesh(const WeSkyBox* sky, const WeCamera* camera, float alphaFactor);
    // The sky mesh's uniform scale for the camera: halfway between its clip planes over the
    // configured mesh size.
    static float MeshScale(const WeCamera& camera);

    d3d9::VertexBuffer* screenQuad = nullptr;
    bool initialised = false;
    WeShader* skyEffect = nullptr;
};

extern WeSkyBoxRenderer skyBoxRenderer;
