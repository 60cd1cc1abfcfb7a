// Font rasterising as the engine uses GDI: a face resolved by name (fontconfig, so a name with a
// metric-compatible substitute such as "Arial" finds it), created at a GDI character height
// (the cell: ascent plus descent), its text metrics, ABC widths of single characters, and
// anti-aliased white-on-black drawing into a 32-bit top-down bitmap. Built on FreeType.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace gdi
{

constexpr int32_t FW_NORMAL = 400;
constexpr int32_t FW_BOLD = 700;

struct TextMetrics
{
    int32_t tmHeight = 0;
    int32_t tmAscent = 0;
    int32_t tmDescent = 0;
    int32_t tmExternalLeading = 0;
};

struct AbcWidths
{
    int32_t abcA = 0;
    uint32_t abcB = 0;
    int32_t abcC = 0;
};

// A 32-bit top-down bitmap; each pixel's low byte holds the drawn coverage.
struct Bitmap
{
    int32_t width = 0;
    int32_t height = 0;
    std::unique_ptr<uint32_t[]> pixels;
};

bool CreateBitmap(Bitmap& bitmap, int32_t width, int32_t height);

// Whether a face of that family (or one that stands in for it by name) covers the charset.
bool FaceExists(const std::string& face, int32_t charset);
// The code page of a GDI charset number; 0 when the charset is unknown.
uint32_t CodePageOfCharset(int32_t charset);
// The Unicode code point of a single byte in the code page; false when it has none.
bool ByteToCodePoint(uint32_t codePage, uint8_t byte, uint32_t& codePoint);
// Registers a font file for this process.
bool AddFontFile(const std::string& path);
// Loads the font configuration now (the first font would), while the start waits for other work.
void LoadFontConfig();

class Font
{
public:
    Font();
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    bool Create(const std::string& face, int32_t height, int32_t weight, bool italic, bool underline,
                bool strikeout);
    bool GetTextMetrics(TextMetrics& metrics) const;
    // False when the face has no glyph for the code point.
    bool GetCharAbcWidths(uint32_t codePoint, AbcWidths& widths) const;
    // Draws the character with its cell's top-left corner at (x, y).
    void TextOut(Bitmap& bitmap, int32_t x, int32_t y, uint32_t codePoint) const;
    // The file the face was loaded from.
    const std::string& FilePath() const { return path; }

private:
    struct Face;
    // A rendered glyph: its coverage rows, where they sit against the pen and the advance.
    struct Rendered
    {
        int32_t left = 0;
        int32_t top = 0;
        int32_t advance = 0; // whole pixels
        uint32_t width = 0;
        uint32_t rows = 0;
        std::vector<uint8_t> coverage; // width bytes a row
    };
    // The glyph rendered, kept after its first rendering (widths are asked for before drawing);
    // null when the face has none for the code point.
    const Rendered* Render(uint32_t codePoint) const;
    std::unique_ptr<Face> face;
    mutable std::unordered_map<uint32_t, Rendered> rendered;
    std::string path;
    TextMetrics metrics;
    bool underline = false;
    bool strikeout = false;
    bool syntheticBold = false;
    bool syntheticItalic = false;
};

} // namespace gdi
