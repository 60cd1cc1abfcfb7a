#include "WeScreenQuad.h"

#include "WeEngine.h"
#include "WeRenderDevice.h"
#include "d3d9/D3d9Device.h"

#include <cstring>

namespace
{

constexpr uint32_t oneTextureFvf = d3d9::D3DFVF_XYZ | d3d9::D3DFVF_TEX1;
constexpr uint32_t twoTextureFvf = d3d9::D3DFVF_XYZ | d3d9::D3DFVF_TEX2;

template <typename Vertex> d3d9::VertexBuffer* MakeQuad(const Vertex (&vertices)[4], uint32_t fvf)
{
    d3d9::Device* device = renderDevice.device;
    d3d9::VertexBuffer* buffer = nullptr;
    if (!device || d3d9::Failed(device->CreateVertexBuffer(sizeof vertices,
                                                           d3d9::D3DUSAGE_DYNAMIC | d3d9::D3DUSAGE_WRITEONLY,
                                                           fvf, d3d9::D3DPOOL_DEFAULT, &buffer, nullptr)))
    {
        return nullptr;
    }
    void* data = nullptr;
    if (d3d9::Failed(buffer->Lock(0, 0, &data, d3d9::D3DLOCK_DISCARD)))
    {
        buffer->Release();
        return nullptr;
    }
    std::memcpy(data, vertices, sizeof vertices);
    if (d3d9::Failed(buffer->Unlock()))
    {
        buffer->Release();
        return nullptr;
    }
    return buffer;
}

void DrawQuad(d3d9::VertexBuffer* quad, uint32_t fvf, uint32_t stride)
{
    d3d9::Device* device = renderDevice.device;
    if (!device || !quad)
    {
        return;
    }
    device->SetFVF(fvf);
    device->SetStreamSource(0, quad, 0, stride);
    device->DrawPrimitive(d3d9::D3DPT_TRIANGLESTRIP, 0, 2);
}

} // namespace

d3d9::VertexBuffer* CreateScreenQuad(uint32_t width, uint32_t height)
{
    // Half a pixel (one pixel is 2 / width of clip space) up and to the left: pixel centres lie
    // on whole coordinates, and each one then reads its texel's centre.
    const float dx = -1.0f / float(width);
    const float dy = 1.0f / float(height);
    const WeScreenQuadVertex vertices[4] = {{-1.0f + dx, 1.0f + dy, 0.5f, 0.0f, 0.0f},
                                            {1.0f + dx, 1.0f + dy, 0.5f, 1.0f, 0.0f},
                                            {-1.0f + dx, -1.0f + dy, 0.5f, 0.0f, 1.0f},
                                            {1.0f + dx, -1.0f + dy, 0.5f, 1.0f, 1.0f}};
    return MakeQuad(vertices, oneTextureFvf);
}

d3d9::VertexBuffer* CreateScaledScreenQuad(float a, float b)
{
    const float w = float(engine.settings.width);
    const float h = float(engine.settings.height);
    const float first = 0.5f / w;  // the same offset on both axes
    const float second = 0.5f / a; // likewise for the reduced image
    const WeScaledScreenQuadVertex vertices[4] = {
        {-1.0f, 1.0f, 0.0f, first, first, second, second},
        {1.0f, 1.0f, 0.0f, 1.0f + first, first, w / a + second, second},
        {-1.0f, -1.0f, 0.0f, first, 1.0f + first, second, h / b + second},
        {1.0f, -1.0f, 0.0f, 1.0f + first, 1.0f + first, w / a + second, h / b + second}};
    return MakeQuad(vertices, twoTextureFvf);
}

void DrawScreenQuad(d3d9::VertexBuffer* quad)
{
    DrawQuad(quad, oneTextureFvf, sizeof(WeScreenQuadVertex));
}

void DrawScaledScreenQuad(d3d9::VertexBuffer* quad)
{
    DrawQuad(quad, twoTextureFvf, sizeof(WeScaledScreenQuadVertex));
}
