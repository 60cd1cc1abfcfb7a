// What the user interface needs of the 2D canvas, the fonts and the textures, in one narrow
// interface: the UI draws, measures and loads through the painter in uiMain. The program's
// painter forwards to them; tests put a recording one in its place.
#pragma once

#include "WeCanvas.h"
#include "WeFont.h"
#include "WeString.h"

#include <cstdint>

// The text alignment flags (TEXT_...) and blend modes (BLENDMODE_...) are the font's and the canvas's.

struct WeUIRect
{
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

class WeUIPainter
{
public:
    virtual ~WeUIPainter() = default;

    // A font by its key "face:size"; "*" is the default face. Null when there is none.
    virtual WeFont* GetFont(const WeString& key) = 0;
    // Pixel size of a text in a font, without wrapping; 0 x 0 for a null font.
    virtual void MeasureText(WeFont* font, const WeString& text, int32_t* width, int32_t* height) = 0;
    // The size the font was rasterised at, in pixels; 0 for a null font.
    virtual int32_t GetFontPixelSize(WeFont* font) = 0;
    // A package texture by asset name, loaded once; null when it cannot be loaded.
    virtual WeTexture* LoadTexture(const WeString& name) = 0;
    virtual void GetTextureSize(WeTexture* texture, int32_t* width, int32_t* height) = 0;
    // True when every texel of every level is opaque: in an opaque colour the picture covers what
    // lies beneath, and is drawn without blending.
    virtual bool IsOpaque(WeTexture* texture) = 0;

    // Nothing is queued for a colour of alpha 0.
    virtual void DrawRectangle(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t argb, WeTexture* texture,
                               int32_t blend) = 0;
    virtual void DrawRectanglePart(int32_t x, int32_t y, int32_t w, int32_t h, float left, float top,
                                   float right, float bottom, uint32_t argb, WeTexture* texture,
                                   int32_t blend) = 0;
    // Turned by the angle (radians) about its centre.
    virtual void DrawRectangleRotated(float x, float y, float w, float h, float angle, uint32_t argb,
                                      WeTexture* texture, int32_t blend) = 0;
    // A device texture (a movie frame), always drawn in a run of its own.
    virtual void DrawRectanglePartD3D(int32_t x, int32_t y, int32_t w, int32_t h, float left, float top,
                                      float right, float bottom, uint32_t argb, d3d9::BaseTexture* texture,
                                      int32_t blend) = 0;
    // effect 0 plain, 1 shadowed, 2 outlined (argb2 is the shadow or outline colour).
    virtual void DrawText(WeFont* font, const WeString& text, int32_t x, int32_t y, int32_t w, int32_t h,
                          uint32_t argb, uint32_t argb2, int32_t flags, int32_t effect) = 0;
    // Draws everything queued, so that what follows lies on top.
    virtual void Flush() = 0;

    virtual void GetScissor(bool* enabled, WeUIRect* rect) = 0;
    virtual void SetScissor(bool enabled, const WeUIRect& rect) = 0;
};

// The program's painter: the global canvas, fonts and textures, the render device's scissor.
class WeUIDevicePainter : public WeUIPainter
{
public:
    WeFont* GetFont(const WeString& key) override;
    void MeasureText(WeFont* font, const WeString& text, int32_t* width, int32_t* height) override;
    int32_t GetFontPixelSize(WeFont* font) override;
    WeTexture* LoadTexture(const WeString& name) override;
    void GetTextureSize(WeTexture* texture, int32_t* width, int32_t* height) override;
    bool IsOpaque(WeTexture* texture) override;
    void DrawRectangle(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t argb, WeTexture* texture,
                       int32_t blend) override;
    void DrawRectanglePart(int32_t x, int32_t y, int32_t w, int32_t h, float left, float top, float right,
                           float bottom, uint32_t argb, WeTexture* texture, int32_t blend) override;
    void DrawRectangleRotated(float x, float y, float w, float h, float angle, uint32_t argb,
                              WeTexture* texture, int32_t blend) override;
    void DrawRectanglePartD3D(int32_t x, int32_t y, int32_t w, int32_t h, float left, float top, float right,
                              float bottom, uint32_t argb, d3d9::BaseTexture* texture,
                              int32_t blend) override;
    void DrawText(WeFont* font, const WeString& text, int32_t x, int32_t y, int32_t w, int32_t h,
                  uint32_t argb, uint32_t argb2, int32_t flags, int32_t effect) override;
    void Flush() override;
    void GetScissor(bool* enabled, WeUIRect* rect) override;
    void SetScissor(bool enabled, const WeUIRect& rect) override;
};
