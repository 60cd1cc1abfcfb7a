// The 2D canvas: screen-space quads batched into runs of one texture and blend mode, each run one
// draw, and texts queued during the frame and drawn at the next flush grouped by font page.
// One global object, `canvas`.
#pragma once

#include "WeList.h"
#include "WeString.h"
#include "d3d9/D3d9Device.h"

#include <cstdint>

class WeFont;
class WeShader;
class WeTexture;

constexpr int32_t BLENDMODE_NORMAL = 1;
constexpr int32_t BLENDMODE_ADDITIVE = 2;
// Written over what lies beneath, without blending: for opaque pictures in opaque colours.
constexpr int32_t BLENDMODE_OPAQUE = 3;

struct WeCanvasVertex
{
    float x = 0.0f, y = 0.0f, z = 0.0f, rhw = 1.0f;
    uint32_t color = 0;
    float u = 0.0f, v = 0.0f;
};

struct WeCanvasText
{
    WeFont* font = nullptr;
    WeString text;
    int32_t x = 0, y = 0, w = 0, h = 0;
    float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;
    int32_t flags = 0;
    float scale = 1.0f;
};

class WeCanvas
{
public:
    static constexpr int32_t quadCapacity = 1024;
    static constexpr uint32_t vertexFormat = 0x144; // XYZRHW | DIFFUSE | TEX1

    WeCanvas() = default;
    ~WeCanvas() = default;
    WeCanvas(const WeCanvas&) = delete;
    WeCanvas& operator=(const WeCanvas&) = delete;

    void Init();
    void BeginFrame();
    void DrawRectangle(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t color, WeTexture* texture,
                       int32_t blendMode);
    void DrawRectanglePart(int32_t x, int32_t y, int32_t w, int32_t h, float uMin, float vMin, float uMax,
                           float vMax, uint32_t color, WeTexture* texture, int32_t blendMode);
    void DrawRectanglePartF(float x, float y, float w, float h, float uMin, float vMin, float uMax,
                            float vMax, uint32_t color, WeTexture* texture, int32_t blendMode);
    // Turned by the angle (radians) about its centre.
    void DrawRectangleRotated(float x, float y, float w, float h, float angle, uint32_t color,
                              WeTexture* texture, int32_t blendMode);
    void DrawRectanglePartRotated(float x, float y, float w, float h, float angle, float uMin, float vMin,
                                  float uMax, float vMax, uint32_t color, WeTexture* texture,
                                  int32_t blendMode);
    // Always a run of its own.
    void DrawRectanglePartD3D(int32_t x, int32_t y, int32_t w, int32_t h, float uMin, float vMin, float uMax,
                              float vMax, uint32_t color, d3d9::BaseTexture* rawTexture, int32_t blendMode);
    void Draw2DText(WeFont* font, const WeString& text, int32_t x, int32_t y, int32_t w, int32_t h,
                    uint32_t color, int32_t flags, float scale);
    void Draw2DTextOutlined(WeFont* font, const WeString& text, int32_t x, int32_t y, int32_t w, int32_t h,
                            uint32_t color, uint32_t outlineColor, int32_t flags, float scale);
    // A shadow colour of 0 means the text colour at a quarter of its brightness.
    void Draw2DTextShadowed(WeFont* font, const WeString& text, int32_t x, int32_t y, int32_t w, int32_t h,
                            uint32_t color, uint32_t shadowColor, int32_t flags, float scale);
    void FlushQuads();
    // Quads, then the queued texts, then the quads they made.
    void Flush();
    void OnLostDevice();
    void OnResetDevice();
    void Shutdown();

    // Test hook: the number of runs drawn since the last BeginFrame.
    int32_t RunsDrawn() const { return runsDrawn; }
    int32_t QueuedTexts() const { return texts.GetCount(); }

    WeShader* effect = nullptr;
    WeList<WeCanvasText> texts;
    WeCanvasVertex vertices[quadCapacity * 4];
    uint16_t indices[quadCapacity * 6] = {};
    WeTexture* texture = nullptr;
    d3d9::BaseTexture* rawTexture = nullptr;
    int32_t blendMode = 0;
    int32_t runStart = 0;
    int32_t runCount = 0;
    int32_t capacity = quadCapacity;
    int32_t next = quadCapacity;

private:
    // The quad to fill for the run, or null when the colour is fully transparent.
    WeCanvasVertex* BeginQuad(uint32_t color, WeTexture* quadTexture, d3d9::BaseTexture* quadRaw,
                              int32_t mode);
    void AddAxisAligned(float x, float y, float w, float h, float uMin, float vMin, float uMax, float vMax,
                        uint32_t color, WeTexture* quadTexture, d3d9::BaseTexture* quadRaw, int32_t mode);
    void QueueText(WeFont* font, const WeString& text, int32_t x, int32_t y, int32_t w, int32_t h,
                   uint32_t color, int32_t flags, float scale);
    void DrawRun();
    int32_t runsDrawn = 0;
};

extern WeCanvas canvas;
