// Draws a trail: a strip of quads that an effect builds behind a moving object, as a vertex array
// and six indices per segment. Both arrays are copied into the renderer's buffers and drawn at
// once; what does not fit the buffers is left out. The scene renderer sets the effect, the
// material and this renderer's declaration before Draw. One global object, `trailRenderer`.
#pragma once

#include "WeBaseRenderer.h"

#include <cstdint>
#include <vector>

namespace d3d9
{
class IndexBuffer;
class VertexBuffer;
class VertexDeclaration;
} // namespace d3d9

// The 24-byte vertex the trail effect reads.
struct WeTrailVertex
{
    float x, y, z;
    uint32_t color; // ARGB
    float u, v;
};
static_assert(sizeof(WeTrailVertex) == 24);

struct WeTrail
{
    std::vector<WeTrailVertex> vertices;
    std::vector<uint16_t> indices; // six a segment: two triangles
    int32_t segmentCount = 0;
};

class WeTrailRenderer : public WeBaseRenderer
{
public:
    static constexpr int32_t maxVertices = 6000;
    static constexpr int32_t maxSegments = maxVertices / 6;

    WeTrailRenderer() = default;
    ~WeTrailRenderer() override;

    bool Init() override;
    void Shutdown() override;
    // Releases the declaration and both buffers.
    void OnLostDevice() override;
    // The declaration and buffers of 6,000 vertices and 6,000 indices; without either buffer
    // the renderer is not initialised and draws nothing.
    void OnResetDevice() override;

    // Up to 6,000 vertices and 1,000 segments of the trail, stopping at the first segment that
    // uses a vertex beyond those.
    void Draw(const WeTrail& trail);

    d3d9::VertexBuffer* vertexBuffer = nullptr;
    d3d9::IndexBuffer* indexBuffer = nullptr;
    bool initialised = false;
    d3d9::VertexDeclaration* declaration = nullptr;

private:
    // Segments of the trail that fit the buffers and use only the vertices copied.
    static int32_t DrawableSegments(const WeTrail& trail, int32_t vertexCount);
};

extern WeTrailRenderer trailRenderer;
