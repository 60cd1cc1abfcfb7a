#include "WeDebugRenderer.h"

#include "WeConfig.h"
#include "WeRenderDevice.h"
#include "d3d9/D3d9Device.h"
#include "physics/WePhysics.h"
#include "physx/PhysXScene.h"

#include <cstring>

namespace
{

using namespace d3d9;

constexpr uint32_t lineFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

bool WithinRange(const physx::Vec3& point, const WeVector& centre, float rangeSquared)
{
    const float dx = point.x - centre.x, dy = point.y - centre.y, dz = point.z - centre.z;
    return dx * dx + dy * dy + dz * dz <= rangeSquared;
}

} // namespace

WeDebugRenderer::WeDebugRenderer()
    : cameraRange(&WeConfig::GetFloat("debug.Physics.DebugCameraRange", 500.0f))
{
}

WeDebugRenderer::~WeDebugRenderer()
{
    WeDebugRenderer::OnLostDevice();
}

bool WeDebugRenderer::Init()
{
    OnResetDevice();
    return true;
}

void WeDebugRenderer::Shutdown()
{
    OnLostDevice();
    for (LineRing& ring : rings)
        ring = LineRing();
}

void WeDebugRenderer::OnLostDevice()
{
    if (vertexBuffer)
        vertexBuffer->Release();
    vertexBuffer = nullptr;
    bufferReady = false;
}

void WeDebugRenderer::OnResetDevice()
{
    if (!renderDevice.device || vertexBuffer)
        return;
    bufferReady = !Failed(renderDevice.device->CreateVertexBuffer(
        vertexCapacity * sizeof(WeDebugVertex), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, lineFvf,
        D3DPOOL_DEFAULT, &vertexBuffer, nullptr));
    if (!bufferReady)
        vertexBuffer = nullptr;
}

void WeDebugRenderer::ClearLines()
{
    for (LineRing& ring : rings)
        ring.count = ring.writePosition = 0;
}

void WeDebugRenderer::AddLine(const WeVector& from, const WeVector& to, uint32_t color, bool depthTest)
{
    LineRing& ring = rings[depthTest ? depthTested : onTop];
    if (!ring.vertices)
        ring.vertices = std::make_unique<WeDebugVertex[]>(size_t(lineCapacity) * 2);
    WeDebugVertex* line = &ring.vertices[size_t(ring.writePosition) * 2];
    line[0] = {from.x, from.y, from.z, color};
    line[1] = {to.x, to.y, to.z, color};
    if (ring.count < lineCapacity)
        ++ring.count;
    ring.writePosition = (ring.writePosition + 1) % lineCapacity;
}

void WeDebugRenderer::AddPhysicsLines()
{
    if (!physicsLines || !physics.scene)
        return;
    const physx::DebugRenderable* renderable = physics.scene->getDebugRenderable();
    if (!renderable)
        return;
    const float rangeSquared = *cameraRange * *cameraRange;
    const physx::DebugLine* lines = renderable->getLines();
    for (uint32_t i = 0; i < renderable->getNbLines(); ++i)
    {
        const physx::DebugLine& line = lines[i];
        if (WithinRange(line.p0, cameraPosition, rangeSquared) &&
            WithinRange(line.p1, cameraPosition, rangeSquared))
            AddLine({line.p0.x, line.p0.y, line.p0.z}, {line.p1.x, line.p1.y, line.p1.z}, physicsLineColor,
                    false);
    }
}

void WeDebugRenderer::DrawLines(const WeCamera* camera)
{
    if (camera)
        cameraPosition = camera->position;
    if (!bufferReady || !vertexBuffer || !renderDevice.device)
        return;
    DrawRing(rings[depthTested], true);
    DrawRing(rings[onTop], false);
}

void WeDebugRenderer::DrawRing(const LineRing& ring, bool depthTest)
{
    if (ring.count <= 0)
        return;
    Device& device = *renderDevice.device;
    device.SetRenderState(D3DRS_ZENABLE, depthTest ? 1 : 0);
    void* data = nullptr;
    if (Failed(vertexBuffer->Lock(0, 0, &data, 0)))
        return;
    std::memcpy(data, ring.vertices.get(), size_t(ring.count) * 2 * sizeof(WeDebugVertex));
    vertexBuffer->Unlock();
    device.SetRenderState(D3DRS_LIGHTING, 0);
    const Matrix identity = d3dx::D3DXMatrixIdentity();
    device.SetTransform(D3DTS_WORLD, &identity);
    device.SetStreamSource(0, vertexBuffer, 0, sizeof(WeDebugVertex));
    device.SetVertexShader(nullptr);
    device.SetPixelShader(nullptr);
    device.SetFVF(lineFvf);
    device.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device.DrawPrimitive(D3DPT_LINELIST, 0, uint32_t(ring.count));
    device.SetRenderState(D3DRS_ZENABLE, 1);
}
