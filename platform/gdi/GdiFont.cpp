#include "gdi/GdiFont.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <iconv.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <strings.h>

namespace gdi
{

namespace
{

FT_Library Library()
{
    static FT_Library library = []
    {
        FT_Library made = nullptr;
        return FT_Init_FreeType(&made) == 0 ? made : nullptr;
    }();
    return library;
}

FcPattern* Pattern(const std::string& face, int32_t weight, bool italic)
{
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, weight >= FW_BOLD ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    return pattern;
}

// The font fontconfig matched, when the request named its family or a substitute bound to the
// name (a metric alias); null otherwise.
FcPattern* MatchByName(const std::string& face, int32_t weight, bool italic)
{
    if (face.empty() || !FcInit())
        return nullptr;
    FcPattern* pattern = Pattern(face, weight, italic);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcChar8* matched = nullptr;
    bool named = false;
    FcPatternIter iter;
    if (match && FcPatternGetString(match, FC_FAMILY, 0, &matched) == FcResultMatch &&
        FcPatternFindIter(pattern, &iter, FC_FAMILY))
    {
        // The requested family and the strong aliases the configuration gives it (metric
        // substitutes) count; weakly bound defaults appended for every request do not.
        const int count = FcPatternIterValueCount(pattern, &iter);
        for (int i = 0; i < count && !named; ++i)
        {
            FcValue value;
            FcValueBinding binding = FcValueBindingWeak;
            if (FcPatternIterGetValue(pattern, &iter, i, &value, &binding) != FcResultMatch ||
                value.type != FcTypeString || binding != FcValueBindingStrong)
                continue;
            named = strcasecmp(reinterpret_cast<const char*>(value.u.s),
                               reinterpret_cast<const char*>(matched)) == 0;
        }
    }
    FcPatternDestroy(pattern);
    if (!named && match)
    {
        FcPatternDestroy(match);
        match = nullptr;
    }
    return match;
}

int32_t Round(double value)
{
    return int32_t(std::lround(value));
}

} // namespace

struct Font::Face
{
    FT_Face face = nullptr;
    ~Face()
    {
        if (face)
            FT_Done_Face(face);
    }
};

bool CreateBitmap(Bitmap& bitmap, int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192)
        return false;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.pixels = std::make_unique<uint32_t[]>(size_t(width) * size_t(height));
    return true;
}

uint32_t CodePageOfCharset(int32_t charset)
{
    switch (charset)
    {
    case 0:
    case 1:
        return 1252;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    default:
        return 0;
    }
}

namespace
{

// The code points of a code page's upper half (bytes 0x80 to 0xFF), each byte converted alone.
struct UpperHalf
{
    bool known = false; // the system converts the code page
    uint32_t codePoints[128] = {};
    bool mapped[128] = {};
};

UpperHalf ConvertUpperHalf(uint32_t codePage)
{
    UpperHalf half;
    const std::string name = "CP" + std::to_string(codePage);
    iconv_t converter = iconv_open("UTF-32LE", name.c_str());
    if (converter == iconv_t(-1))
        return half;
    half.known = true;
    for (int byte = 0x80; byte < 0x100; ++byte)
    {
        iconv(converter, nullptr, nullptr, nullptr, nullptr); // back to the initial state
        char in[1] = {char(byte)};
        uint8_t out[4] = {};
        char* inPointer = in;
        char* outPointer = reinterpret_cast<char*>(out);
        size_t inLeft = 1, outLeft = 4;
        half.mapped[byte - 0x80] =
            iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft) != size_t(-1) && outLeft == 0;
        half.codePoints[byte - 0x80] =
            uint32_t(out[0]) | uint32_t(out[1]) << 8 | uint32_t(out[2]) << 16 | uint32_t(out[3]) << 24;
    }
    iconv_close(converter);
    return half;
}

// Converted on first use: a font's rasterising asks for every byte of its charsets.
const UpperHalf& UpperHalfOf(uint32_t codePage)
{
    static std::mutex mutex;
    static std::map<uint32_t, UpperHalf> halves;
    const std::lock_guard<std::mutex> lock(mutex);
    auto found = halves.find(codePage);
    if (found == halves.end())
        found = halves.emplace(codePage, ConvertUpperHalf(codePage)).first;
    return found->second;
}

} // namespace

bool ByteToCodePoint(uint32_t codePage, uint8_t byte, uint32_t& codePoint)
{
    if (byte < 0x80)
    {
        codePoint = byte;
        return true;
    }
    const UpperHalf& half = UpperHalfOf(codePage);
    if (!half.known)
        return false;
    codePoint = half.codePoints[byte - 0x80];
    return half.mapped[byte - 0x80];
}

bool FaceExists(const std::string& face, int32_t charset)
{
    FcPattern* match = MatchByName(face, FW_NORMAL, false);
    if (!match)
        return false;
    bool covered = true;
    const uint32_t codePage = CodePageOfCharset(charset);
    FcCharSet* characters = nullptr;
    if (codePage != 0 && codePage != 1252 &&
        FcPatternGetCharSet(match, FC_CHARSET, 0, &characters) == FcResultMatch)
    {
        // A charset counts as covered when its first upper-half character is.
        uint32_t probe = 0;
        covered = false;
        for (int byte = 0xC0; byte < 0x100 && !covered; ++byte)
            if (ByteToCodePoint(codePage, uint8_t(byte), probe))
                covered = FcCharSetHasChar(characters, probe);
    }
    FcPatternDestroy(match);
    return covered;
}

void LoadFontConfig()
{
    FcInit();
}

bool AddFontFile(const std::string& path)
{
    return FcInit() && FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(path.c_str()));
}

Font::Font() = default;
Font::~Font() = default;

bool Font::Create(const std::string& faceName, int32_t height, int32_t weight, bool italic, bool underlined,
                  bool struck)
{
    face.reset();
    rendered.clear();
    if (height <= 0 || height > 4096 || !Library())
        return false;
    FcPattern* match = MatchByName(faceName, weight, italic);
    if (!match)
        return false;
    FcChar8* file = nullptr;
    int index = 0;
    int matchedWeight = FC_WEIGHT_REGULAR, matchedSlant = FC_SLANT_ROMAN;
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &matchedWeight);
    FcPatternGetInteger(match, FC_SLANT, 0, &matchedSlant);
    const bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
    path = found ? reinterpret_cast<const char*>(file) : "";
    FcPatternDestroy(match);
    auto made = std::make_unique<Face>();
    if (!found || FT_New_Face(Library(), path.c_str(), index, &made->face) != 0)
        return false;
    FT_Face ft = made->face;
    // GDI's positive height is the cell, the Windows ascent plus descent.
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
    const TT_HoriHeader* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(ft, FT_SFNT_HHEA));
    double ascentUnits = ft->ascender, descentUnits = -ft->descender;
    if (os2 && os2->usWinAscent + os2->usWinDescent > 0)
    {
        ascentUnits = os2->usWinAscent;
        descentUnits = os2->usWinDescent;
    }
    const double cellUnits = ascentUnits + descentUnits;
    if (cellUnits <= 0.0 || ft->units_per_EM == 0)
        return false;
    const double scale = double(height) / cellUnits;
    const double em = scale * ft->units_per_EM;
    if (FT_Set_Char_Size(ft, 0, FT_F26Dot6(std::lround(em * 64.0)), 72, 72) != 0)
        return false;
    metrics.tmAscent = Round(ascentUnits * scale);
    metrics.tmDescent = height - metrics.tmAscent;
    metrics.tmHeight = height;
    metrics.tmExternalLeading = 0;
    if (hhea)
    {
        const double gap = hhea->Line_Gap - (cellUnits - (hhea->Ascender - hhea->Descender));
        metrics.tmExternalLeading = std::max(0, Round(gap * scale));
    }
    underline = underlined;
    strikeout = struck;
    syntheticBold = weight >= FW_BOLD && matchedWeight < FC_WEIGHT_BOLD;
    syntheticItalic = italic && matchedSlant == FC_SLANT_ROMAN;
    face = std::move(made);
    return true;
}

bool Font::GetTextMetrics(TextMetrics& out) const
{
    if (!face)
        return false;
    out = metrics;
    return true;
}

const Font::Rendered* Font::Render(uint32_t codePoint) const
{
    if (!face)
        return nullptr;
    if (const auto found = rendered.find(codePoint); found != rendered.end())
        return &found->second;
    const FT_UInt index = FT_Get_Char_Index(face->face, codePoint);
    if (index == 0 && codePoint != 0)
        return nullptr;
    if (FT_Load_Glyph(face->face, index, FT_LOAD_TARGET_NORMAL) != 0)
        return nullptr;
    FT_GlyphSlot slot = face->face->glyph;
    if (syntheticBold)
        FT_GlyphSlot_Embolden(slot);
    if (syntheticItalic)
        FT_GlyphSlot_Oblique(slot);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return nullptr;
    const FT_Bitmap& bitmap = slot->bitmap;
    Rendered glyph{
        slot->bitmap_left, slot->bitmap_top, int32_t((slot->advance.x + 32) >> 6),
        bitmap.width,      bitmap.rows,      std::vector<uint8_t>(size_t(bitmap.width) * bitmap.rows)};
    for (uint32_t row = 0; row < bitmap.rows; ++row)
        std::memcpy(glyph.coverage.data() + size_t(row) * bitmap.width,
                    bitmap.buffer + ptrdiff_t(row) * bitmap.pitch, bitmap.width);
    return &rendered.emplace(codePoint, std::move(glyph)).first->second;
}

bool Font::GetCharAbcWidths(uint32_t codePoint, AbcWidths& widths) const
{
    const Rendered* glyph = Render(codePoint);
    if (!glyph)
        return false;
    // A blank glyph is one pixel of nothing at the pen, as GDI reports it.
    const bool blank = glyph->width == 0;
    widths.abcA = blank ? 0 : glyph->left;
    widths.abcB = blank ? 1u : glyph->width;
    widths.abcC = glyph->advance - widths.abcA - int32_t(widths.abcB);
    return true;
}

void Font::TextOut(Bitmap& bitmap, int32_t x, int32_t y, uint32_t codePoint) const
{
    const Rendered* glyph = bitmap.pixels ? Render(codePoint) : nullptr;
    if (!glyph)
        return;
    const int32_t baseline = y + metrics.tmAscent;
    const int32_t left = x + glyph->left, top = baseline - glyph->top;
    auto plot = [&bitmap](int32_t px, int32_t py, uint32_t coverage)
    {
        if (px < 0 || py < 0 || px >= bitmap.width || py >= bitmap.height)
            return;
        uint32_t& pixel = bitmap.pixels[size_t(py) * size_t(bitmap.width) + size_t(px)];
        coverage = std::max(coverage, pixel & 0xFFu);
        pixel = coverage | coverage << 8 | coverage << 16;
    };
    for (uint32_t row = 0; row < glyph->rows; ++row)
        for (uint32_t column = 0; column < glyph->width; ++column)
            plot(left + int32_t(column), top + int32_t(row),
                 glyph->coverage[size_t(row) * glyph->width + column]);
    auto line = [&](int32_t lineY)
    {
        for (int32_t px = 0; px < glyph->advance; ++px)
            plot(x + px, lineY, 255);
    };
    if (underline)
        line(baseline + std::max(1, metrics.tmDescent / 2));
    if (strikeout)
        line(baseline - metrics.tmAscent / 3);
}

} // namespace gdi
