#include "WeScreenQuad.h"

#include "WeRenderDevice.h"
#include "d3d9/D3d9Device.h"

#include <cstring>
#include <vector>

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

// The one-texture quad's vertex at the pixel corner (x, y) of a target of the size: moved half a
// pixel (one pixel is 2 / width of clip space) up and to the left, since pixel centres lie on
// whole coordinates, so that each pixel reads its texel's centre.
WeScreenQuadVertex Corner(int32_t x, int32_t y, uint32_t width, uint32_t height)
{
    const float u = float(x) / float(width), v = float(y) / float(height);
    return {2.0f * u - 1.0f - 1.0f / float(width), 1.0f - 2.0f * v + 1.0f / float(height), 0.5f, u, v};
}

} // namespace

d3d9::VertexBuffer* CreateScreenQuad(uint32_t width, uint32_t height)
{
    const auto w = int32_t(width), h = int32_t(height);
    const WeScreenQuadVertex vertices[4] = {Corner(0, 0, width, height), Corner(w, 0, width, height),
                                            Corner(0, h, width, height), Corner(w, h, width, height)};
    return MakeQuad(vertices, oneTextureFvf);
}

void DrawScreenRects(const std::vector<d3d9::Rect>& rects, uint32_t width, uint32_t height)
{
    d3d9::Device* device = renderDevice.device;
    if (!device || rects.empty())
    {
        return;
    }
    std::vector<WeScreenQuadVertex> vertices;
    vertices.reserve(rects.size() * 6);
    for (const d3d9::Rect& r : rects)
    {
        const WeScreenQuadVertex topLeft = Corner(r.left, r.top, width, height);
        const WeScreenQuadVertex bottomRight = Corner(r.right, r.bottom, width, height);
        const WeScreenQuadVertex topRight = Corner(r.right, r.top, width, height);
        const WeScreenQuadVertex bottomLeft = Corner(r.left, r.bottom, width, height);
        vertices.insert(vertices.end(), {topLeft, topRight, bottomLeft, topRight, bottomRight, bottomLeft});
    }
    device->SetFVF(oneTextureFvf);
    device->DrawPrimitiveUP(d3d9::D3DPT_TRIANGLELIST, uint32_t(rects.size() * 2), vertices.data(),
                            sizeof(WeScreenQuadVertex));
}

d3d9::VertexBuffer* CreateScaledScreenQuad(float a, float b)
{
    const float w = float(renderDevice.BackBufferWidth());
    const float h = float(renderDevice.BackBufferHeight());
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
