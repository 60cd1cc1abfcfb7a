// Draws a particle system's live particles as quads, in batches of up to 1,024 with one draw
// each. Every particle becomes four vertices at its centre that carry the quad's corner (0..1),
// the direction its quad is turned to, its size, angle and colour; the effect places the corners
// around the centre. The renderer rotates over four vertex buffers, so that a buffer just handed
// to the device is not written again at once; the index buffer is filled once. The scene
// renderer sets the effect, the material and this renderer's declaration before Draw.
// One global object, `particleSystemRenderer`.
#pragma once

#include "WeBaseRenderer.h"

#include <cstdint>

class WeParticleSystem;

namespace d3d9
{
class IndexBuffer;
class VertexBuffer;
class VertexDeclaration;
} // namespace d3d9

// The 56-byte vertex the particle effect reads.
struct WeParticleVertex
{
    float x, y, z;                      // the particle's centre
    float cornerX, cornerY, dirX, dirY; // texcoord0: the corner, the quad's up in view space
    float sizeX, sizeY, angle;          // texcoord1
    float r, g, b, a;                   // texcoord2
};
static_assert(sizeof(WeParticleVertex) == 56);

class WeParticleSystemRenderer : public WeBaseRenderer
{
public:
    static constexpr int32_t buffers = 4;
    static constexpr int32_t quadsPerBuffer = 1024;

    WeParticleSystemRenderer() = default;
    ~WeParticleSystemRenderer() override;

    // Makes the device objects; true.
    bool Init() override;
    void Shutdown() override;
    // Releases the declaration, the vertex buffers and the index buffer.
    void OnLostDevice() override;
    // The declaration, four vertex buffers of 1,024 quads and the shared index buffer; a failure
    // leaves the renderer not ready, and it draws nothing.
    void OnResetDevice() override;

    // The system's live particles in their list order, facing the camera of the scene
    // renderer; a system that aligns its particles to their motion turns each quad along its
    // velocity as the camera sees it.
    void Draw(const WeParticleSystem& system);

    bool ready = false;
    d3d9::VertexBuffer* vertexBuffers[buffers] = {};
    d3d9::IndexBuffer* indexBuffer = nullptr;
    int32_t bufferCount = 0;
    int32_t currentBuffer = 0;
    d3d9::VertexDeclaration* declaration = nullptr;

private:
    bool MakeBuffers();
    // Unlocks the current buffer, draws its quads and moves on to the next buffer.
    void Flush(int32_t quads);
};

// Quads written into the current buffer and not drawn yet.
extern int32_t particlesWritten;
extern WeParticleSystemRenderer particleSystemRenderer;
