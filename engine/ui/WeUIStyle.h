// The look of components, shared by name: fonts with colours and text effects, a frame texture
// with nine-slice margins, and the drawing the widget styles build on. Values come from the keys
// "UI." + name + ".Font", ".FontOver", ".FontSpecial", ".Margins" and ".Texture".
#pragma once

#include "WeColor.h"
#include "WeList.h"
#include "WeString.h"

#include <cstdint>

class WeFont;
class WeTexture;
class WeUIComponent;

// Float colour to ARGB bytes: 255 at 1 or more, 0 at 0 or less, else trunc(v x 255 + 0.5).
uint32_t WeUIColourToArgb(const WeColor& colour);
// An ARGB value as float channels of byte / 255.
WeColor WeUIArgbToColour(uint32_t argb);

// One font entry of a style, from "Face,Size,Colour,Letters,Colour2,OffsetX,OffsetY".
struct WeUIFontSpec
{
    void Parse(const WeString& value);
    // The text in the rectangle, its colours modulated channel by channel by r, g, b, a.
    void DrawText(const WeString& text, int32_t x, int32_t y, int32_t w, int32_t h, float r, float g, float b,
                  float a) const;

    WeFont* font = nullptr;
    uint32_t colour = 0;
    uint32_t colour2 = 0;
    int32_t flags = 0;
    int32_t offsetX = 0, offsetY = 0; // design pixels
    int32_t effect = 0;               // 0 plain, 1 shadow, 2 outline
};

class WeUIStyle
{
public:
    explicit WeUIStyle(const WeString& styleName);
    virtual ~WeUIStyle() = default;
    WeUIStyle(const WeUIStyle&) = delete;
    WeUIStyle& operator=(const WeUIStyle&) = delete;

    // Screen margins from the design margins and the current UI area.
    virtual void UpdateMetrics();
    virtual void Draw(WeUIComponent* /*component*/) {}
    // For every byte of text, the centre x of its character, characters laid out from x0.
    virtual void MeasureCharacterCenters(WeList<int32_t>& out, const WeString& text, int32_t x0) const;

    // Nine quads: corners keep their texture-pixel size, edges and centre stretch.
    void DrawFrame(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t argb, WeTexture* frameTexture) const;
    // How a picture is drawn in a colour: without blending when it is the style's opaque texture
    // in an opaque colour.
    int32_t BlendModeFor(const WeTexture* picture, uint32_t argb) const;
    // With fontSpecial when special and present, else font; then fontOver in colour2 when its
    // alpha is above 0 and the style has one.
    void DrawText(const WeString& text, int32_t x, int32_t y, int32_t w, int32_t h, const WeColor& colour,
                  bool special, const WeColor& colour2) const;

    WeString name;
    WeUIFontSpec font;
    bool hasFontOver = false;
    WeUIFontSpec fontOver;
    bool hasFontSpecial = false;
    WeUIFontSpec fontSpecial;
    WeTexture* texture = nullptr;
    bool opaqueTexture = false; // every texel of the texture is opaque
    int32_t marginLeft = 0, marginRight = 0, marginTop = 0, marginBottom = 0; // texture pixels
    float designLeft = 0, designRight = 0, designTop = 0, designBottom = 0;   // design fractions
    int32_t leftPx = 0, rightPx = 0, topPx = 0, bottomPx = 0;                 // back-buffer pixels
};
