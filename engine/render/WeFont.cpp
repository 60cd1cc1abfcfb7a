#include "WeFont.h"

#include "WeCanvas.h"
#include "WeConfig.h"
#include "WeEngine.h"
#include "WeRenderDevice.h"
#include "WeScript.h"
#include "WeTexture.h"
#include "WeTimer.h"
#include "gdi/GdiFont.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

int32_t WeNear(double value)
{
    return int32_t(std::lround(value));
}

const WeFontSettings& FontSettings()
{
    static const WeFontSettings settings = []
    {
        WeFontSettings read;
        read.defaultFace = WeConfig::GetString("UI.Fonts.DefaultFontName", "Arial");
        read.defaultUnicodeFace = WeConfig::GetString("UI.Fonts.DefaultUnicodeFontName", "Arial");
        read.unicodeScale = WeConfig::GetFloat("UI.Fonts.DefaultUnicodeFontScale", 1.0f);
        read.globalScale = WeConfig::GetFloat("UI.Fonts.GlobalScale", 1.0f);
        read.smoothingScale = WeConfig::GetFloat("UI.Fonts.SmoothingScale", 1.0f);
        return read;
    }();
    return settings;
}

namespace
{

enum class TokenKind
{
    end,
    lineEnd,
    glyph,
    multiplyColor,
    setColor,
    restoreColor,
    ignored,
};

struct Token
{
    TokenKind kind = TokenKind::end;
    uint32_t value = 0; // the code point, or the colour as AARRGGBB
    int32_t start = 0;  // byte position of the token
};

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The eight hexadecimal digits at position, only when all eight are there.
bool ReadColor(const WeString& text, int32_t position, uint32_t& color)
{
    if (text.GetLength() - position < 8)
        return false;
    color = 0;
    for (int32_t i = 0; i < 8; ++i)
    {
        const int digit = HexDigit(text[position + i]);
        if (digit < 0)
            return false;
        color = color << 4 | uint32_t(digit);
    }
    return true;
}

Token NextToken(const WeString& text, int32_t& position)
{
    Token token;
    token.start = position;
    if (position >= text.GetLength())
        return token;
    const uint32_t code = text.DecodeChar(position);
    token.value = code;
    switch (code)
    {
    case 13:
        if (text[position] == '\n')
            ++position;
        token.kind = TokenKind::lineEnd;
        return token;
    case 10:
        token.kind = TokenKind::lineEnd;
        return token;
    case 1:
    case 3:
        token.kind = TokenKind::ignored;
        if (ReadColor(text, position, token.value))
        {
            position += 8;
            token.kind = code == 1 ? TokenKind::multiplyColor : TokenKind::setColor;
        }
        return token;
    case 2:
        token.kind = TokenKind::restoreColor;
        return token;
    default:
        token.kind = code < 32 || code > 0xFFFF ? TokenKind::ignored : TokenKind::glyph;
        return token;
    }
}

uint8_t ColorByte(float c)
{
    if (c >= 1.0f)
        return 255;
    if (c <= 0.0f)
        return 0;
    return uint8_t(c * 255.0f + 0.5f);
}

// A line that ends with its last word counts the space before that word, as the same text
// measured without wrapping does; a trailing space does not count.
int32_t LineWidth(int32_t line, int32_t space, int32_t word)
{
    return line + (word > 0 ? space + word : 0);
}

struct CharsetRecord
{
    WeString face;
    int32_t height = 0;
    int32_t charset = 0;
    uint32_t codePage = 1252;
    gdi::Font font;
    gdi::TextMetrics metrics;
};

struct FaceStyle
{
    std::string name;
    int32_t weight = gdi::FW_NORMAL;
    bool italic = false, underline = false, strikeout = false;
};

FaceStyle TakeStyleTokens(const WeString& face)
{
    FaceStyle style;
    std::string name(face.GetData(), size_t(face.GetLength()));
    auto take = [&name](const char* token)
    {
        const size_t at = name.find(token);
        if (at == std::string::npos)
            return false;
        name.erase(at, 2);
        return true;
    };
    style.weight = take("$B") ? gdi::FW_BOLD : gdi::FW_NORMAL;
    style.italic = take("$I");
    style.underline = take("$U");
    style.strikeout = take("$S");
    style.name = name.substr(0, 32);
    return style;
}

bool CreateRecordFont(CharsetRecord& record)
{
    const FaceStyle style = TakeStyleTokens(record.face);
    return record.font.Create(style.name, record.height, style.weight, style.italic, style.underline,
                              style.strikeout) &&
           record.font.GetTextMetrics(record.metrics);
}

bool FillRecord(CharsetRecord& record, const WeString& face, int32_t rasterSize, int32_t charset)
{
    const WeFontSettings& settings = FontSettings();
    record.face = face;
    record.height = rasterSize;
    record.charset = charset;
    const uint32_t codePage = gdi::CodePageOfCharset(charset);
    record.codePage = codePage != 0 ? codePage : 1252;
    auto useUnicodeFace = [&]
    {
        record.face = settings.defaultUnicodeFace;
        record.height = WeNear(rasterSize * settings.unicodeScale);
    };
    if (!gdi::FaceExists(TakeStyleTokens(record.face).name, charset))
    {
        if (record.face == settings.defaultUnicodeFace)
            return false;
        useUnicodeFace();
        if (!gdi::FaceExists(TakeStyleTokens(record.face).name, charset))
            return false;
    }
    if (CreateRecordFont(record))
        return true;
    useUnicodeFace();
    return CreateRecordFont(record);
}

// Charset 0 and then every further number of the configured list, each once.
std::vector<int32_t> Charsets()
{
    std::vector<int32_t> list{0};
    const WeString& configured = WeConfig::GetString("UI.Fonts.Charsets", "");
    std::string all(configured.GetData(), size_t(configured.GetLength()));
    size_t start = 0;
    while (start <= all.size())
    {
        const size_t comma = std::min(all.find(',', start), all.size());
        const std::string field = all.substr(start, comma - start);
        if (field.find_first_of("0123456789") != std::string::npos)
        {
            const int32_t number = WeString(field.c_str()).ToInt(10);
            if (std::find(list.begin(), list.end(), number) == list.end())
                list.push_back(number);
        }
        start = comma + 1;
    }
    return list;
}

} // namespace

WeFont::WeFont() = default;

const WeGlyph& WeFont::Glyph(uint32_t codePoint) const
{
    static const WeGlyph none;
    const uint32_t code = codePoint & 0xFFFFu;
    const std::unique_ptr<WeGlyph[]>& block = blocks[code / glyphsPerBlock];
    return block ? block[code % glyphsPerBlock] : none;
}

WeGlyph& WeFont::MakeGlyph(int32_t code)
{
    std::unique_ptr<WeGlyph[]>& block = blocks[code / glyphsPerBlock];
    if (!block)
        block = std::make_unique<WeGlyph[]>(glyphsPerBlock);
    return block[code % glyphsPerBlock];
}

template <typename Visit> void WeFont::ForEachGlyph(Visit visit)
{
    for (int32_t b = 0; b < blockCount; ++b)
        for (int32_t i = 0; blocks[b] && i < glyphsPerBlock; ++i)
            visit(b * glyphsPerBlock + i, blocks[b][i]);
}

WeFont::~WeFont()
{
    // Scripts may hold it; whoever frees it, their objects of it fail from now on.
    WeScriptRegistry::EndLifeEverywhere(this);
    ReleaseTexture();
}

void WeFont::ReleaseTexture()
{
    // Pages are made during fixed loading, so only a forced release frees them.
    if (texture)
        textures.Release(texture, true);
    texture = nullptr;
    loaded = false;
}

void WeFont::Load(const WeString& fontKey)
{
    if (loaded)
        return;
    key = fontKey;
    const int32_t colon = fontKey.Find(":");
    if (colon < 0)
    {
        loaded = true;
        return;
    }
    const WeString faceName = fontKey.Substring(0, colon);
    const int32_t size = fontKey.Substring(colon + 1, fontKey.GetLength()).ToInt(10);
    const WeFontSettings& settings = FontSettings();
    const double byWidth = std::trunc(double(size) / std::max(1, engine.settings.uiSourceWidth) *
                                      renderDevice.BackBufferWidth());
    const double byHeight = std::trunc(double(size) / std::max(1, engine.settings.uiSourceHeight) *
                                       renderDevice.BackBufferHeight());
    // No text taller than the screen can be shown: a larger size (any a key may name, past what an
    // int holds) is the screen's height, so a key like "Arial:100000" costs what the screen does.
    const int32_t displaySize =
        WeNear(std::clamp(std::min(byWidth, byHeight) * double(settings.globalScale), -double(INT32_MAX),
                          double(std::max(1, renderDevice.BackBufferHeight()))));
    for (int32_t attempt = displaySize; attempt > 0;)
    {
        // A cell taller than a page, with its gutters, can never be packed: such attempts are
        // skipped without rasterising, so a huge size shrinks to a page quickly.
        const int32_t rasterSize = WeNear(attempt * double(settings.smoothingScale));
        if (rasterSize <= maxPageSize - 4 && Rasterize(faceName, rasterSize, displaySize))
            break;
        const int32_t smaller = WeNear(attempt * 0.9);
        attempt = smaller == attempt ? attempt - 1 : smaller;
    }
    loaded = true;
}

bool WeFont::Pack(int32_t pageWidth, int32_t pageHeight)
{
    int32_t x = 2, y = 2, rowHeight = 0;
    bool fits = true;
    ForEachGlyph(
        [&](int32_t, WeGlyph& glyph)
        {
            if (!fits || !glyph.Present())
                return;
            if (x + glyph.width + 2 > pageWidth)
            {
                y += rowHeight + 2;
                x = 2;
                rowHeight = 0;
            }
            if (y + glyph.height + 2 > pageHeight || x + glyph.width + 2 > pageWidth)
            {
                fits = false;
                return;
            }
            glyph.pixelX = x;
            glyph.pixelY = y;
            glyph.u = float(x) / float(pageWidth);
            glyph.v = float(y) / float(pageHeight);
            rowHeight = std::max(rowHeight, glyph.height);
            x += glyph.width + 2;
        });
    return fits;
}

bool WeFont::Rasterize(const WeString& faceName, int32_t size, int32_t displaySize)
{
    face = faceName;
    rasterSize = size;
    scale = size > 0 ? float(displaySize) / float(size) : 1.0f;
    if (size <= 0)
        return false;
    // Entries of an earlier rasterisation would otherwise outlive the glyphs they came from.
    for (std::unique_ptr<WeGlyph[]>& block : blocks)
        block.reset();
    std::vector<std::unique_ptr<CharsetRecord>> records;
    std::vector<int16_t> owner(glyphCount, -1);
    for (int32_t charset : Charsets())
    {
        auto record = std::make_unique<CharsetRecord>();
        if (!FillRecord(*record, faceName, size, charset))
            return false;
        for (int byte = 0; byte < 256; ++byte)
        {
            uint32_t code = 0;
            gdi::AbcWidths abc;
            if (!gdi::ByteToCodePoint(record->codePage, uint8_t(byte), code) ||
                code >= uint32_t(glyphCount) || owner[code] >= 0 || !record->font.GetCharAbcWidths(code, abc))
                continue;
            WeGlyph& glyph = MakeGlyph(int32_t(code));
            glyph.lead = abc.abcA - 1;
            glyph.width = int32_t(abc.abcB) + 2;
            glyph.trail = abc.abcC - 1;
            glyph.height = record->metrics.tmHeight + record->metrics.tmExternalLeading;
            owner[code] = int16_t(records.size());
        }
        records.push_back(std::move(record));
    }
    lineHeight = std::max(0, Glyph(' ').height);

    int32_t pageWidth = 32, pageHeight = 32;
    while (!Pack(pageWidth, pageHeight))
    {
        if (pageWidth <= pageHeight)
            pageWidth *= 2;
        else
            pageHeight *= 2;
        if (pageWidth > maxPageSize || pageHeight > maxPageSize)
            return false;
    }
    gdi::Bitmap bitmap;
    if (!gdi::CreateBitmap(bitmap, pageWidth, pageHeight))
        return false;
    ForEachGlyph(
        [&](int32_t code, WeGlyph& glyph)
        {
            if (!glyph.Present() || owner[code] < 0)
                return;
            glyph.du = float(glyph.width) / float(pageWidth);
            glyph.dv = float(glyph.height) / float(pageHeight);
            records[size_t(owner[code])]->font.TextOut(bitmap, glyph.pixelX - glyph.lead, glyph.pixelY,
                                                       uint32_t(code));
        });

    WeBeginFixedLoading();
    ReleaseTexture();
    texture = textures.CreateTexture(pageWidth, pageHeight, d3d9::D3DFMT_A8R8G8B8, 0, d3d9::D3DPOOL_MANAGED,
                                     1, true);
    WeEndFixedLoading();
    if (!texture)
        return false;
    void* bits = nullptr;
    int32_t bytes = 0, pitch = 0;
    if (!texture->Lock(&bits, &bytes, &pitch))
    {
        ReleaseTexture();
        return false;
    }
    for (int32_t y = 0; y < pageHeight; ++y)
    {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(bits) + size_t(y) * size_t(pitch));
        for (int32_t x = 0; x < pageWidth; ++x)
            row[x] = 0x00FFFFFFu | (bitmap.pixels[size_t(y) * size_t(pageWidth) + size_t(x)] & 0xFFu) << 24;
    }
    texture->Unlock();
    return true;
}

void WeFont::MeasureText(const WeString& text, int32_t& width, int32_t& height, int32_t wrapWidth)
{
    WeString copy = text;
    WeTextSize size;
    MeasureAndWrapText(copy, size, wrapWidth, false);
    width = size.width;
    height = size.height;
}

void WeFont::MeasureAndWrapText(WeString& text, WeTextSize& size, int32_t wrapWidth, bool writeBreaks)
{
    size = {};
    if (!loaded)
        return;
    double widest = 0.0, total = 0.0;
    // The line so far: completed words with the spaces between them, the space before the
    // current word, and the current word.
    int32_t line = 0, space = 0, word = 0;
    int32_t lineTall = lineHeight, wordTall = 0;
    int32_t lastSpace = -1;
    auto endLine = [&](int32_t width, int32_t tall)
    {
        widest = std::max(widest, double(width));
        total += tall;
    };
    int32_t position = 0;
    for (Token token = NextToken(text, position); token.kind != TokenKind::end;
         token = NextToken(text, position))
    {
        if (token.kind == TokenKind::lineEnd)
        {
            endLine(LineWidth(line, space, word), std::max(lineTall, wordTall));
            line = space = word = wordTall = 0;
            lineTall = lineHeight;
            lastSpace = -1;
            continue;
        }
        if (token.kind != TokenKind::glyph)
            continue;
        const WeGlyph& glyph = Glyph(token.value);
        if (!glyph.Present())
            continue;
        if (wrapWidth >= 1 && token.value == ' ')
        {
            line += space + word;
            lineTall = std::max(lineTall, wordTall);
            space = glyph.Advance();
            word = wordTall = 0;
            lastSpace = token.start;
            continue;
        }
        word += glyph.Advance();
        wordTall = std::max(wordTall, glyph.height);
        if (wrapWidth >= 1 && lastSpace >= 0 && double(space + line + word) * scale >= wrapWidth)
        {
            endLine(line, lineTall);
            if (writeBreaks)
                text.GetBuffer()[lastSpace] = '\n';
            line = space = 0;
            lineTall = lineHeight;
            lastSpace = -1;
        }
    }
    endLine(LineWidth(line, space, word), std::max(lineTall, wordTall));
    size.width = WeNear(widest * scale);
    size.height = WeNear(total * scale);
}

void WeFont::DrawText(WeCanvasText& item)
{
    if (!loaded || !texture)
        return;
    const double s = double(scale) * item.scale;
    WeTextSize size;
    const bool wrap = (item.flags & TEXT_WORDBREAK) != 0;
    MeasureAndWrapText(item.text, size, wrap ? item.w : 0, wrap);
    int32_t x0 = item.x, y0 = item.y;
    if (item.flags & TEXT_CENTER)
        x0 = item.x + WeNear((item.w - size.width * item.scale) * 0.5);
    else if (item.flags & TEXT_RIGHT)
        x0 = item.x + item.w - WeNear(size.width * item.scale);
    if (item.flags & TEXT_VCENTER)
        y0 = item.y + WeNear((item.h - size.height * item.scale) * 0.5);
    else if (item.flags & TEXT_BOTTOM)
        y0 = item.y + item.h - WeNear(size.height * item.scale);
    float color[4] = {item.r, item.g, item.b, item.a};
    int32_t penX = 0, penY = 0, tall = lineHeight;
    int32_t position = 0;
    for (Token token = NextToken(item.text, position); token.kind != TokenKind::end;
         token = NextToken(item.text, position))
    {
        switch (token.kind)
        {
        case TokenKind::lineEnd:
            penX = 0;
            penY += tall;
            tall = lineHeight;
            break;
        case TokenKind::multiplyColor:
        case TokenKind::setColor:
        {
            const float code[4] = {float((token.value >> 16) & 0xFFu) / 255.0f,
                                   float((token.value >> 8) & 0xFFu) / 255.0f,
                                   float(token.value & 0xFFu) / 255.0f, float(token.value >> 24) / 255.0f};
            for (int i = 0; i < 4; ++i)
                color[i] = token.kind == TokenKind::setColor ? code[i] : color[i] * code[i];
            break;
        }
        case TokenKind::restoreColor:
            color[0] = item.r;
            color[1] = item.g;
            color[2] = item.b;
            color[3] = item.a;
            break;
        case TokenKind::glyph:
        {
            const WeGlyph& glyph = Glyph(token.value);
            if (!glyph.Present())
                break;
            const uint32_t argb = uint32_t(ColorByte(color[3])) << 24 | uint32_t(ColorByte(color[0])) << 16 |
                                  uint32_t(ColorByte(color[1])) << 8 | ColorByte(color[2]);
            canvas.DrawRectanglePart(WeNear((glyph.lead + penX) * s + x0), WeNear(penY * s + y0),
                                     WeNear(glyph.width * s), WeNear(glyph.height * s), glyph.u, glyph.v,
                                     glyph.u + glyph.du, glyph.v + glyph.dv, argb, texture, BLENDMODE_NORMAL);
            penX += glyph.Advance();
            tall = std::max(tall, glyph.height);
            break;
        }
        default:
            break;
        }
    }
}

WeFontManager::~WeFontManager()
{
    FreeAll();
}

WeFont* WeFontManager::GetFont(const WeString& fontKey)
{
    if (fontKey.GetLength() == 0)
        return nullptr;
    WeString resolved = fontKey;
    const WeFontSettings& settings = FontSettings();
    if (fontKey[0] == '*' || fontKey[0] == '+')
        resolved = WeString(fontKey[0] == '*' ? settings.defaultFace : settings.defaultUnicodeFace) +
                   fontKey.Substring(1, fontKey.GetLength());
    WeFont* font = nullptr;
    if (table.Find(resolved, font))
        return font;
    font = new WeFont;
    font->Load(resolved);
    table.Insert(resolved, font);
    return font;
}

void WeFontManager::OnResetDevice()
{
    table.ForEach(
        [](const WeString&, WeFont* font)
        {
            if (!font->loaded)
                return;
            font->ReleaseTexture();
            const WeString key = font->key;
            font->Load(key);
        });
}

void WeFontManager::FreeAll()
{
    table.ForEach([](const WeString&, WeFont* font) { delete font; });
    table.Clear();
}
