#include "WeTrailRenderer.h"

#include "WeRenderDevice.h"
#include "d3d9/D3d9Device.h"

#include <algorithm>
#include <cstring>

using namespace d3d9;

namespace
{

constexpr VertexElement trailElements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                           {0, 12, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                                           {0, 16, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                           D3DDECL_END};

template <typename T> void ReleaseAndClear(T*& object)
{
    if (object)
    {
        object->Release();
        object = nullptr;
    }
}

bool Copy(Buffer* buffer, const void* source, uint32_t bytes)
{
    void* data = nullptr;
    if (Failed(buffer->Lock(0, bytes, &data, D3DLOCK_DISCARD)))
        return false;
    std::memcpy(data, source, bytes);
    return !Failed(buffer->Unlock());
}

} // namespace

WeTrailRenderer::~WeTrailRenderer()
{
    WeTrailRenderer::OnLostDevice();
}

bool WeTrailRenderer::Init()
{
    if (!initialised)
    {
        initialised = true;
        OnResetDevice();
    }
    return true;
}

void WeTrailRenderer::Shutdown()
{
    if (!initialised)
        return;
    OnLostDevice();
    initialised = false;
}

void WeTrailRenderer::OnLostDevice()
{
    ReleaseAndClear(declaration);
    ReleaseAndClear(vertexBuffer);
    ReleaseAndClear(indexBuffer);
}

void WeTrailRenderer::OnResetDevice()
{
    Device* device = renderDevice.device;
    if (!device || !initialised)
        return;
    if (!declaration)
        device->CreateVertexDeclaration(trailElements, &declaration);
    constexpr uint32_t usage = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY;
    if (Failed(device->CreateVertexBuffer(maxVertices * sizeof(WeTrailVertex), usage, 0, D3DPOOL_DEFAULT,
                                          &vertexBuffer, nullptr)) ||
        Failed(device->CreateIndexBuffer(maxVertices * sizeof(uint16_t), usage, D3DFMT_INDEX16,
                                         D3DPOOL_DEFAULT, &indexBuffer, nullptr)))
    {
        ReleaseAndClear(vertexBuffer);
        ReleaseAndClear(indexBuffer);
        initialised = false;
    }
}

int32_t WeTrailRenderer::DrawableSegments(const WeTrail& trail, int32_t vertexCount)
{
    const int32_t stored = int32_t(std::min(trail.indices.size() / 6, size_t(maxSegments)));
    const int32_t wanted = std::clamp(trail.segmentCount, 0, stored);
    const auto beyond = std::find_if(trail.indices.begin(), trail.indices.begin() + wanted * 6,
                                     [&](uint16_t index) { return index >= vertexCount; });
    return int32_t(beyond - trail.indices.begin()) / 6;
}

void WeTrailRenderer::Draw(const WeTrail& trail)
{
    if (!initialised || trail.vertices.empty())
        return;
    const int32_t vertexCount = int32_t(std::min(trail.vertices.size(), size_t(maxVertices)));
    const int32_t segments = DrawableSegments(trail, vertexCount);
    if (segments == 0)
        return;
    if (!Copy(vertexBuffer, trail.vertices.data(), uint32_t(vertexCount) * sizeof(WeTrailVertex)) ||
        !Copy(indexBuffer, trail.indices.data(), uint32_t(segments) * 6 * sizeof(uint16_t)))
        return;
    Device* device = renderDevice.device;
    device->SetStreamSource(0, vertexBuffer, 0, sizeof(WeTrailVertex));
    device->SetIndices(indexBuffer);
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, uint32_t(vertexCount), 0, uint32_t(segments) * 2);
}
