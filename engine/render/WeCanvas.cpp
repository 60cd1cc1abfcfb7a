#include "WeCanvas.h"

#include "WeEngine.h"
#include "WeFont.h"
#include "WeRenderDevice.h"
#include "WeShader.h"
#include "WeTexture.h"

#include <cmath>

namespace
{

// The stage the 2D effect samples.
constexpr uint32_t canvasStage = 7;

float Channel(uint32_t color, int shift)
{
    return float((color >> shift) & 0xFFu) * (1.0f / 255.0f);
}

} // namespace

void WeCanvas::Init()
{
    effect = shaders.Load("Shaders.Special.2D");
}

void WeCanvas::BeginFrame()
{
    next = capacity;
    texture = nullptr;
    rawTexture = nullptr;
    blendMode = 0;
    runStart = 0;
    runCount = 0;
    runsDrawn = 0;
}

WeCanvasVertex* WeCanvas::BeginQuad(uint32_t color, WeTexture* quadTexture, d3d9::BaseTexture* quadRaw,
                                    int32_t mode)
{
    if (color <= 0x00FFFFFFu)
        return nullptr;
    if (quadRaw || quadTexture != texture || mode != blendMode || rawTexture)
        FlushQuads();
    if (next == capacity)
    {
        FlushQuads();
        next = 0;
        runStart = 0;
    }
    const int32_t quad = next++;
    const int32_t r = 4 * (quad - runStart);
    uint16_t* index = &indices[6 * (quad - runStart)];
    const int corners[6] = {r, r + 1, r + 2, r + 2, r + 1, r + 3};
    for (int i = 0; i < 6; ++i)
        index[i] = uint16_t(corners[i]);
    ++runCount;
    texture = quadTexture;
    rawTexture = quadRaw;
    blendMode = mode;
    WeCanvasVertex* quadVertices = &vertices[4 * quad];
    for (int i = 0; i < 4; ++i)
        quadVertices[i] = WeCanvasVertex{0.0f, 0.0f, 0.0f, 1.0f, color, 0.0f, 0.0f};
    return quadVertices;
}

void WeCanvas::AddAxisAligned(float x, float y, float w, float h, float uMin, float vMin, float uMax,
                              float vMax, uint32_t color, WeTexture* quadTexture, d3d9::BaseTexture* quadRaw,
                              int32_t mode)
{
    WeCanvasVertex* v = BeginQuad(color, quadTexture, quadRaw, mode);
    if (!v)
        return;
    // Half a pixel up and left, so that texels land on pixel centres.
    const float left = x - 0.5f, top = y - 0.5f;
    const float xs[4] = {left, left + w, left, left + w}, ys[4] = {top, top, top + h, top + h};
    const float us[4] = {uMin, uMax, uMin, uMax}, vs[4] = {vMin, vMin, vMax, vMax};
    for (int i = 0; i < 4; ++i)
    {
        v[i].x = xs[i];
        v[i].y = ys[i];
        v[i].u = us[i];
        v[i].v = vs[i];
    }
}

void WeCanvas::DrawRectangle(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t color,
                             WeTexture* quadTexture, int32_t mode)
{
    AddAxisAligned(float(x), float(y), float(w), float(h), 0.0f, 0.0f, 1.0f, 1.0f, color, quadTexture,
                   nullptr, mode);
}

void WeCanvas::DrawRectanglePart(int32_t x, int32_t y, int32_t w, int32_t h, float uMin, float vMin,
                                 float uMax, float vMax, uint32_t color, WeTexture* quadTexture, int32_t mode)
{
    AddAxisAligned(float(x), float(y), float(w), float(h), uMin, vMin, uMax, vMax, color, quadTexture,
                   nullptr, mode);
}

void WeCanvas::DrawRectanglePartF(float x, float y, float w, float h, float uMin, float vMin, float uMax,
                                  float vMax, uint32_t color, WeTexture* quadTexture, int32_t mode)
{
    AddAxisAligned(x, y, w, h, uMin, vMin, uMax, vMax, color, quadTexture, nullptr, mode);
}

void WeCanvas::DrawRectanglePartD3D(int32_t x, int32_t y, int32_t w, int32_t h, float uMin, float vMin,
                                    float uMax, float vMax, uint32_t color, d3d9::BaseTexture* quadRaw,
                                    int32_t mode)
{
    FlushQuads();
    AddAxisAligned(float(x), float(y), float(w), float(h), uMin, vMin, uMax, vMax, color, nullptr, quadRaw,
                   mode);
}

void WeCanvas::DrawRectangleRotated(float x, float y, float w, float h, float angle, uint32_t color,
                                    WeTexture* quadTexture, int32_t mode)
{
    DrawRectanglePartRotated(x, y, w, h, angle, 0.0f, 0.0f, 1.0f, 1.0f, color, quadTexture, mode);
}

void WeCanvas::DrawRectanglePartRotated(float x, float y, float w, float h, float angle, float uMin,
                                        float vMin, float uMax, float vMax, uint32_t color,
                                        WeTexture* quadTexture, int32_t mode)
{
    WeCanvasVertex* v = BeginQuad(color, quadTexture, nullptr, mode);
    if (!v)
        return;
    const float cx = x + w * 0.5f, cy = y + h * 0.5f;
    const float c = std::cos(angle), s = std::sin(angle);
    const float dxs[4] = {-w * 0.5f, w * 0.5f, -w * 0.5f, w * 0.5f};
    const float dys[4] = {-h * 0.5f, -h * 0.5f, h * 0.5f, h * 0.5f};
    const float us[4] = {uMin, uMax, uMin, uMax}, vs[4] = {vMin, vMin, vMax, vMax};
    for (int i = 0; i < 4; ++i)
    {
        v[i].x = cx + dxs[i] * c - dys[i] * s;
        v[i].y = cy + dxs[i] * s + dys[i] * c;
        v[i].u = us[i];
        v[i].v = vs[i];
    }
}

void WeCanvas::DrawRun()
{
    d3d9::Device* device = renderDevice.device;
    d3d9::BaseTexture* stageTexture = rawTexture;
    if (!stageTexture)
    {
        WeTexture* source = texture ? texture : textures.white;
        stageTexture = source ? source->texture : nullptr;
    }
    renderDevice.SetRawTexture(canvasStage, stageTexture);
    renderDevice.SetSamplerState(canvasStage, 3, 1);
    device->SetRenderState(d3d9::D3DRS_ALPHABLENDENABLE, blendMode != BLENDMODE_OPAQUE);
    device->SetRenderState(d3d9::D3DRS_SRCBLEND, d3d9::D3DBLEND_SRCALPHA);
    device->SetRenderState(d3d9::D3DRS_DESTBLEND,
                           blendMode == BLENDMODE_ADDITIVE ? d3d9::D3DBLEND_ONE : d3d9::D3DBLEND_INVSRCALPHA);
    device->SetRenderState(d3d9::D3DRS_ZENABLE, 0);
    effect->Begin(7);
    effect->BeginPass(0);
    effect->CommitChanges();
    device->SetFVF(vertexFormat);
    device->DrawIndexedPrimitiveUP(d3d9::D3DPT_TRIANGLELIST, 0, uint32_t(4 * runCount),
                                   uint32_t(2 * runCount), indices, d3d9::D3DFMT_INDEX16,
                                   &vertices[4 * runStart], sizeof(WeCanvasVertex));
    effect->EndPass();
    effect->End();
    device->SetRenderState(d3d9::D3DRS_ZENABLE, 1);
    device->SetRenderState(d3d9::D3DRS_ALPHABLENDENABLE, 0);
    ++runsDrawn;
}

void WeCanvas::FlushQuads()
{
    if (runCount > 0 && effect && effect->effect && renderDevice.device)
        DrawRun();
    runStart = next == capacity ? 0 : next;
    runCount = 0;
}

void WeCanvas::Flush()
{
    FlushQuads();
    while (!texts.IsEmpty())
    {
        const WeTexture* page = texts.First().font->texture;
        for (texts.Reset(); !texts.IsEnd();)
        {
            WeCanvasText& item = texts.GetItem();
            if (item.font->texture != page)
            {
                texts.Next();
                continue;
            }
            item.font->DrawText(item);
            texts.RemoveCurrent();
        }
    }
    FlushQuads();
}

void WeCanvas::QueueText(WeFont* font, const WeString& text, int32_t x, int32_t y, int32_t w, int32_t h,
                         uint32_t color, int32_t flags, float scale)
{
    WeCanvasText& item = texts.PushBack();
    item.font = font;
    item.text = text;
    item.x = x;
    item.y = y;
    item.w = w;
    item.h = h;
    item.r = Channel(color, 16);
    item.g = Channel(color, 8);
    item.b = Channel(color, 0);
    item.a = Channel(color, 24);
    item.flags = flags;
    item.scale = scale;
}

void WeCanvas::Draw2DText(WeFont* font, const WeString& text, int32_t x, int32_t y, int32_t w, int32_t h,
                          uint32_t color, int32_t flags, float scale)
{
    if (font)
        QueueText(font, text, x, y, w, h, color, flags, scale);
}

void WeCanvas::Draw2DTextOutlined(WeFont* font, const WeString& text, int32_t x, int32_t y, int32_t w,
                                  int32_t h, uint32_t color, uint32_t outlineColor, int32_t flags,
                                  float scale)
{
    if (!font)
        return;
    for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx)
            if (dx != 0 || dy != 0)
                QueueText(font, text, x + dx, y + dy, w, h, outlineColor, flags, scale);
    QueueText(font, text, x, y, w, h, color, flags, scale);
}

void WeCanvas::Draw2DTextShadowed(WeFont* font, const WeString& text, int32_t x, int32_t y, int32_t w,
                                  int32_t h, uint32_t color, uint32_t shadowColor, int32_t flags, float scale)
{
    if (!font)
        return;
    const int32_t dx =
        int32_t(3.0 * renderDevice.BackBufferWidth() / std::max(1, engine.settings.uiSourceWidth));
    const int32_t dy =
        int32_t(3.0 * renderDevice.BackBufferHeight() / std::max(1, engine.settings.uiSourceHeight));
    if (shadowColor == 0)
    {
        auto quarter = [color](int shift)
        { return uint32_t(float((color >> shift) & 0xFFu) * 0.25f) << shift; };
        shadowColor = (color & 0xFF000000u) | quarter(16) | quarter(8) | quarter(0);
    }
    QueueText(font, text, x + dx, y + dy, w, h, shadowColor, flags, scale);
    QueueText(font, text, x, y, w, h, color, flags, scale);
}

void WeCanvas::OnLostDevice()
{
    fonts.OnLostDevice();
}

void WeCanvas::OnResetDevice()
{
    fonts.OnResetDevice();
    texture = nullptr;
    rawTexture = nullptr;
    blendMode = 0;
    runStart = 0;
    runCount = 0;
}

void WeCanvas::Shutdown()
{
    fonts.FreeAll();
    effect = nullptr; // the shader manager frees it with every other shader
}
