// Fonts by key "face:size": a face rasterised once into one texture page holding every glyph it
// can show, a glyph table indexed by code point, measuring and word wrap with the inline colour
// codes, and drawing through the canvas. Sizes are design pixels scaled to the screen. One
// global manager, `fonts`.
#pragma once

#include "WeHashTable.h"
#include "WeString.h"

#include <cstdint>
#include <memory>

class WeTexture;
struct WeCanvasText;

constexpr int32_t TEXT_TOP = 0;
constexpr int32_t TEXT_LEFT = 0;
constexpr int32_t TEXT_CENTER = 1;
constexpr int32_t TEXT_RIGHT = 2;
constexpr int32_t TEXT_VCENTER = 4;
constexpr int32_t TEXT_BOTTOM = 8;
constexpr int32_t TEXT_WORDBREAK = 16;

struct WeGlyph
{
    float u = 0.0f, v = 0.0f, du = 0.0f, dv = 0.0f;
    int32_t lead = 0;
    int32_t trail = 0;
    int32_t pixelX = 0, pixelY = 0;
    int32_t width = -1; // -1: no glyph
    int32_t height = -1;

    bool Present() const { return width >= 0 && height >= 0; }
    int32_t Advance() const { return lead + width + trail; }
};

struct WeTextSize
{
    int32_t width = 0;
    int32_t height = 0;
};

class WeFont
{
public:
    static constexpr int32_t glyphCount = 65536;
    static constexpr int32_t maxPageSize = 2048;

    WeFont();
    ~WeFont();
    WeFont(const WeFont&) = delete;
    WeFont& operator=(const WeFont&) = delete;

    // Nothing when already loaded. A key without ':' loads no glyphs.
    void Load(const WeString& fontKey);
    // One attempt at a raster size; false leaves the font without a page.
    bool Rasterize(const WeString& faceName, int32_t size, int32_t displaySize);
    void MeasureText(const WeString& text, int32_t& width, int32_t& height, int32_t wrapWidth);
    // With writeBreaks the spaces where lines wrap become '\n' in the text.
    void MeasureAndWrapText(WeString& text, WeTextSize& size, int32_t wrapWidth, bool writeBreaks);
    // One canvas quad per glyph; nothing without a page.
    void DrawText(WeCanvasText& item);
    // Releases the page through the texture manager and clears loaded.
    void ReleaseTexture();
    // The glyph of the code point (of its low 16 bits); one that is not Present when the face has none.
    const WeGlyph& Glyph(uint32_t codePoint) const;
    const WeString& GetName() const { return face; }

    bool loaded = false;
    WeString face;
    WeString key;
    int32_t rasterSize = 0;
    int32_t lineHeight = 0;
    float scale = 1.0f;
    WeTexture* texture = nullptr;

private:
    static constexpr int32_t glyphsPerBlock = 256;
    static constexpr int32_t blockCount = glyphCount / glyphsPerBlock;

    bool Pack(int32_t pageWidth, int32_t pageHeight);
    // The entry of the code point, its block made when it has none.
    WeGlyph& MakeGlyph(int32_t code);
    // Every glyph of the made blocks in code-point order, with its code point.
    template <typename Visit> void ForEachGlyph(Visit visit);

    // The table in blocks of 256 code points, each made with the first glyph in it: a face has a
    // few hundred glyphs, and a full table for every font made a start slow.
    std::unique_ptr<WeGlyph[]> blocks[blockCount];
};

class WeFontManager
{
public:
    WeFontManager() = default;
    ~WeFontManager();
    WeFontManager(const WeFontManager&) = delete;
    WeFontManager& operator=(const WeFontManager&) = delete;

    // '*' and '+' at the start stand for the default and the default Unicode face. A font that
    // fails to load is kept and draws nothing.
    WeFont* GetFont(const WeString& fontKey);
    void OnLostDevice() {}
    // Every loaded font is rasterised again for the current screen.
    void OnResetDevice();
    void FreeAll();
    int32_t GetCount() const { return table.GetCount(); }

private:
    WeHashTable<WeFont*> table;
};

extern WeFontManager fonts;

// The font settings read once at start-up.
struct WeFontSettings
{
    WeString defaultFace;
    WeString defaultUnicodeFace;
    float unicodeScale = 1.0f;
    float globalScale = 1.0f;
    float smoothingScale = 1.0f;
};
const WeFontSettings& FontSettings();
// Rounded to the nearest integer, halves away from zero.
int32_t WeNear(double value);
