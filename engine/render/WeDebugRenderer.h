// Coloured lines gathered during a frame and drawn last through the fixed-function line path:
// actor and path-node markers, and the physics world's own debug lines near the camera. Two rings
// of lines, one depth-tested and one drawn on top; the newest lines overwrite the oldest. One
// global object, `debugRenderer`.
#pragma once

#include "WeBaseRenderer.h"
#include "WeCamera.h"

#include <cstdint>
#include <memory>

namespace d3d9
{
class Buffer;
class VertexBuffer;
} // namespace d3d9

// The XYZ | DIFFUSE vertex: a position and an ARGB colour.
struct WeDebugVertex
{
    float x, y, z;
    uint32_t color;
};

class WeDebugRenderer : public WeBaseRenderer
{
public:
    static constexpr int32_t lineCapacity = 16384;
    static constexpr uint32_t vertexCapacity = 98304;
    static constexpr uint32_t physicsLineColor = 0xFFFFFF00u; // opaque yellow
    enum Ring : int32_t
    {
        depthTested,
        onTop,
        ringCount
    };

    // One ring: its lines (two vertices each) made on first use, how many it holds and where the
    // next one goes.
    struct LineRing
    {
        std::unique_ptr<WeDebugVertex[]> vertices;
        int32_t count = 0;
        int32_t writePosition = 0;
    };

    WeDebugRenderer();
    ~WeDebugRenderer() override;

    bool Init() override;
    // OnLostDevice, then both rings' lines go.
    void Shutdown() override;
    void OnLostDevice() override;
    void OnResetDevice() override;

    // Every engine update, before the physics results arrive: lines live one frame.
    void ClearLines();
    void AddLine(const WeVector& from, const WeVector& to, uint32_t color, bool depthTested);
    // With physics lines on, the physics world's debug lines whose both ends lie within the
    // camera range of the last camera, in yellow and on top.
    void AddPhysicsLines();
    // Each ring that holds lines, the on-top one without the depth test. Stores the camera's
    // position for the next physics lines' range test.
    void DrawLines(const WeCamera* camera);

    WeVector cameraPosition{0.0f, 0.0f, 0.0f};
    const float* cameraRange = nullptr; // the configuration's value, read on every use
    bool physicsLines = false;
    bool bufferReady = false;
    LineRing rings[ringCount];
    d3d9::VertexBuffer* vertexBuffer = nullptr;

private:
    void DrawRing(const LineRing& ring, bool depthTest);
};

extern WeDebugRenderer debugRenderer;
