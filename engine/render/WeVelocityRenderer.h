// Before the visible passes, one geometry pass writes the images post-processing needs, up to
// three at once: per-pixel motion and depth (motion blur, depth of field), normals and depth of
// outlined items (outlines), and the shadow term of the frame's shadow lights (blurred for the
// surfaces to sample). One global object, `velocityRenderer`.
#pragma once

#include "WeBaseRenderer.h"
#include "d3dx/D3dxEffect.h"

#include <cstdint>

class WeCamera;
class WeScene;
class WeShader;
struct WeRenderItem;

class WeVelocityRenderer : public WeBaseRenderer
{
public:
    // Output bits: motion and depth, normal-depth, shadow term.
    static constexpr int32_t motionBit = 1, normalDepthBit = 2, shadowBit = 4;
    static constexpr int32_t techniqueCount = 16;
    // In handle order.
    static const char* const techniqueNames[techniqueCount];
    // The handle of the technique writing the outputs (bits), skinned or not.
    static int32_t TechniqueIndex(int32_t outputs, bool skinned);

    WeVelocityRenderer() = default;
    ~WeVelocityRenderer() override = default;

    // Loads the effect and looks its techniques up; true.
    bool Init() override;
    void Shutdown() override;
    // Looks the techniques up again (a missing one is null, and its items are skipped).
    void OnResetDevice() override;

    // Mode 0: the images this frame needs; nothing when it needs none.
    void Render(WeScene* scene, WeCamera* camera, int32_t mode);
    // The wanted outputs whose targets exist go to render targets 0, 1 and 2 in the order motion,
    // normal-depth, shadow term; the rest of 1 and 2 are unbound; with none, target 0 stays.
    void BindTargets(bool motion, bool normalDepth, bool shadow) const;
    // Which outputs this frame needs, as technique bits.
    static int32_t WantedOutputs();

    bool initialised = false;
    d3dx::D3DXHANDLE techniques[techniqueCount] = {};
    WeShader* effect = nullptr;

private:
    // Selects the technique of the outputs when it differs from the current one (ending the
    // current effect, binding the outputs); false when the effect lacks it.
    bool UseTechnique(int32_t outputs, bool skinned);
    void DrawItem(const WeRenderItem& item, int32_t outputs);
    void DrawSolid(int32_t outputs);
    void DrawOutlined(int32_t outputs);
    void EndTechnique();

    int32_t current = -1; // the technique begun, -1 for none
};

extern WeVelocityRenderer velocityRenderer;
