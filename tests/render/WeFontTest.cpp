// Fonts rasterised from the installed faces (fonts-liberation2 stands in for "Arial"): keys,
// sizes, measuring, wrapping, colour codes and drawing through the canvas.
#include "TwoDFixture.h"

#include "WeRenderDevice.h"
#include "gdi/GdiFont.h"

namespace
{

class FontTest : public TwoDTest
{
protected:
    int32_t Width(WeFont* font, const WeString& text, int32_t wrap = 0)
    {
        int32_t width = 0, height = 0;
        font->MeasureText(text, width, height, wrap);
        return width;
    }
    int32_t Height(WeFont* font, const WeString& text, int32_t wrap = 0)
    {
        int32_t width = 0, height = 0;
        font->MeasureText(text, width, height, wrap);
        return height;
    }
};

} // namespace

TEST(GdiFont, ArialResolvesToItsMetricSubstitute)
{
    EXPECT_TRUE(gdi::FaceExists("Arial", 0));
    EXPECT_FALSE(gdi::FaceExists("No Such Face Anywhere", 0));
    gdi::Font font;
    ASSERT_TRUE(font.Create("Arial", 20, gdi::FW_NORMAL, false, false, false));
    gdi::TextMetrics metrics;
    ASSERT_TRUE(font.GetTextMetrics(metrics));
    EXPECT_EQ(metrics.tmHeight, 20);
    EXPECT_EQ(metrics.tmAscent + metrics.tmDescent, 20);
    gdi::AbcWidths abc;
    ASSERT_TRUE(font.GetCharAbcWidths('W', abc));
    EXPECT_GT(abc.abcB, 10u);
    uint32_t euro = 0;
    ASSERT_TRUE(gdi::ByteToCodePoint(1252, 0x80, euro));
    EXPECT_EQ(euro, 0x20ACu);
}

// Each byte converts alone: a lone lead byte of a double-byte code page and a byte the code page
// leaves undefined have no code point; an unknown code page leaves the output untouched.
TEST(GdiFont, BytesOfTheUpperHalfConvertOneByOne)
{
    const struct
    {
        uint32_t codePage;
        uint8_t byte;
        bool converts;
        uint32_t codePoint;
    } cases[] = {
        {1252, 0x41, true, 0x41},     {1252, 0x80, true, 0x20AC}, {1252, 0x81, false, 0},
        {1252, 0xFF, true, 0xFF},     {1251, 0xC0, true, 0x0410}, {1251, 0x80, true, 0x0402},
        {1253, 0xC1, true, 0x0391},   {932, 0x82, false, 0},      {932, 0xB1, true, 0xFF71},
        {99999, 0x80, false, 0x1234}, {1252, 0x80, true, 0x20AC},
    };
    for (const auto& c : cases)
    {
        uint32_t codePoint = 0x1234;
        EXPECT_EQ(gdi::ByteToCodePoint(c.codePage, c.byte, codePoint), c.converts)
            << c.codePage << " " << int(c.byte);
        if (c.converts || c.codePage == 99999)
        {
            EXPECT_EQ(codePoint, c.codePoint) << c.codePage << " " << int(c.byte);
        }
    }
}

// A font made again at another height measures and draws at the new height, not from the glyphs
// it rendered before.
TEST(GdiFont, CreatingAgainForgetsTheGlyphsRenderedBefore)
{
    gdi::Font font;
    gdi::AbcWidths small, large, again;
    ASSERT_TRUE(font.Create("Arial", 12, gdi::FW_NORMAL, false, false, false));
    ASSERT_TRUE(font.GetCharAbcWidths('W', small));
    ASSERT_TRUE(font.Create("Arial", 48, gdi::FW_NORMAL, false, false, false));
    ASSERT_TRUE(font.GetCharAbcWidths('W', large));
    EXPECT_GT(large.abcB, 2 * small.abcB);
    gdi::Bitmap bitmap;
    ASSERT_TRUE(gdi::CreateBitmap(bitmap, 64, 64));
    font.TextOut(bitmap, 0, 0, 'W');
    int32_t right = -1;
    for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < 64; ++x)
            if (bitmap.pixels[size_t(y) * 64 + size_t(x)] & 0xFFu)
                right = std::max(right, x);
    EXPECT_EQ(right, large.abcA + int32_t(large.abcB) - 1);
    ASSERT_TRUE(font.GetCharAbcWidths('W', again));
    EXPECT_EQ(again.abcB, large.abcB);
}

TEST_F(FontTest, StarKeyNamesTheDefaultFace)
{
    WeFont* star = fonts.GetFont("*:14");
    WeFont* named = fonts.GetFont(FontSettings().defaultFace + ":14");
    EXPECT_EQ(star, named);
    EXPECT_NE(fonts.GetFont("Arial:15"), star);
    EXPECT_EQ(fonts.GetFont(""), nullptr);
    ASSERT_NE(star->texture, nullptr);
    EXPECT_EQ(star->rasterSize, 14);
    EXPECT_GT(star->lineHeight, 0);
}

TEST_F(FontTest, DisplaySizeTakesTheSmallerScreenRatio)
{
    renderDevice.SetBackBufferSize(1600, 900);
    WeFont* font = fonts.GetFont("Arial:20");
    EXPECT_EQ(font->rasterSize, 30);
    EXPECT_FLOAT_EQ(font->scale, 1.0f);
}

TEST_F(FontTest, ASizeBeyondAnIntOnTheScreenStillShrinksToAPage)
{
    renderDevice.SetBackBufferSize(1600, 1200);
    WeFont* font = fonts.GetFont("Arial:2000000000");
    ASSERT_NE(font, nullptr);
    EXPECT_TRUE(font->loaded);
    ASSERT_NE(font->texture, nullptr)
        << "the attempts shrink from the screen's height, not from a wrapped size";
    EXPECT_LE(font->texture->width, WeFont::maxPageSize);
    EXPECT_GT(font->scale, 1.0f);
}

// No size shows text taller than the screen: a key may name any size, but what it costs is
// bounded by the screen's height.
TEST_F(FontTest, ADisplaySizeIsAtMostTheScreensHeight)
{
    renderDevice.SetBackBufferSize(320, 240); // design pixels are 800 x 600: a size shows at 0.4 of it
    const std::pair<const char*, int32_t> keys[] = {
        {"Arial:590", 236}, {"Arial:650", 240}, {"Arial:100000", 240}};
    for (const auto& [key, displaySize] : keys)
    {
        WeFont* font = fonts.GetFont(key);
        ASSERT_NE(font, nullptr) << key;
        ASSERT_NE(font->texture, nullptr) << key;
        EXPECT_NEAR(font->scale * float(font->rasterSize), float(displaySize), 0.5f) << key;
    }
}

TEST_F(FontTest, GlyphsArePackedWithGuttersIntoOnePage)
{
    WeFont* font = fonts.GetFont("Arial:20");
    const WeGlyph& first = font->Glyph(' ');
    ASSERT_TRUE(first.Present());
    const WeGlyph& a = font->Glyph('A');
    ASSERT_TRUE(a.Present());
    EXPECT_GE(a.pixelX, 2);
    EXPECT_GE(a.pixelY, 2);
    EXPECT_FLOAT_EQ(a.u, float(a.pixelX) / float(font->texture->width));
    EXPECT_FALSE(font->Glyph(0x4E00).Present()) << "charset 0 holds only the Windows-1252 characters";
    EXPECT_TRUE(font->Glyph(0x20AC).Present());
    // The page holds the glyph's coverage in its alpha and white in the colour bytes.
    void* bits = nullptr;
    int32_t size = 0, pitch = 0;
    ASSERT_TRUE(font->texture->Lock(&bits, &size, &pitch));
    uint32_t covered = 0;
    for (int32_t y = a.pixelY; y < a.pixelY + a.height; ++y)
        for (int32_t x = a.pixelX; x < a.pixelX + a.width; ++x)
        {
            const uint32_t texel = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(bits) + y * pitch)[x];
            EXPECT_EQ(texel & 0xFFFFFFu, 0xFFFFFFu);
            covered += (texel >> 24) > 128 ? 1 : 0;
        }
    font->texture->Unlock();
    EXPECT_GT(covered, 10u);
}

TEST_F(FontTest, WidthIsTheSumOfAdvancesAndLinesStack)
{
    WeFont* font = fonts.GetFont("Arial:20");
    const int32_t ab = font->Glyph('A').Advance() + font->Glyph('B').Advance();
    EXPECT_EQ(Width(font, "AB"), ab);
    EXPECT_EQ(Height(font, "AB"), font->lineHeight);
    EXPECT_EQ(Height(font, "A\r\nB"), 2 * font->lineHeight) << "CR LF ends one line";
    EXPECT_EQ(Height(font, "A\r\rB"), 3 * font->lineHeight);
    EXPECT_EQ(Height(font, ""), font->lineHeight);
    EXPECT_EQ(Width(font, "AB\nA"), ab);
}

TEST_F(FontTest, ColourCodesNeitherDrawNorMeasure)
{
    WeFont* font = fonts.GetFont("Arial:20");
    EXPECT_EQ(Width(font, "\x01"
                          "FF00FF00AB"),
              Width(font, "AB"));
    EXPECT_EQ(Width(font, "A\x02"
                          "B\x03"
                          "80000000"),
              Width(font, "AB"));
    // A code cut short at the end of the text reads nothing past it; its digits stay text.
    EXPECT_EQ(Width(font, "AB\x01"
                          "FF00"),
              Width(font, "ABFF00"));
    EXPECT_EQ(Width(font, "\x03"), 0);
}

TEST_F(FontTest, WrapBreaksAtTheLastSpaceAndCanWriteTheBreak)
{
    WeFont* font = fonts.GetFont("Arial:20");
    const int32_t whole = Width(font, "aaa bbb");
    EXPECT_EQ(Width(font, "aaa bbb", whole + 1), whole) << "a line that fits keeps its space";
    EXPECT_EQ(Height(font, "aaa bbb", whole - 1), 2 * font->lineHeight);
    EXPECT_EQ(Width(font, "aaa bbb", whole - 1), Width(font, "aaa"));
    WeString text = "aaa bbb ccc";
    WeTextSize size;
    font->MeasureAndWrapText(text, size, Width(font, "aaa bb"), true);
    EXPECT_EQ(text, "aaa\nbbb\nccc");
    EXPECT_EQ(size.height, 3 * font->lineHeight);
    // A single long word cannot break.
    EXPECT_EQ(Height(font, "abcdefghijkl", 5), font->lineHeight);
}

TEST_F(FontTest, DrawnTextIsOneTintedQuadPerGlyph)
{
    WeFont* font = fonts.GetFont("Arial:20");
    canvas.Draw2DText(font,
                      "\x01"
                      "FF00FF00A B",
                      100, 50, 0, 0, 0xFFFFFFFFu, TEXT_LEFT, 1.0f);
    canvas.Flush();
    ASSERT_EQ(canvas.next, 3);
    EXPECT_EQ(canvas.vertices[0].color, 0xFF00FF00u);
    const WeGlyph& a = font->Glyph('A');
    EXPECT_FLOAT_EQ(canvas.vertices[0].x, float(100 + a.lead) - 0.5f);
    EXPECT_FLOAT_EQ(canvas.vertices[0].u, a.u);
    const WeGlyph& b = font->Glyph('B');
    const float expectedB = float(100 + a.Advance() + font->Glyph(' ').Advance() + b.lead) - 0.5f;
    EXPECT_FLOAT_EQ(canvas.vertices[8].x, expectedB);
}

TEST_F(FontTest, AlignmentFlagsPlaceTheOrigin)
{
    WeFont* font = fonts.GetFont("Arial:20");
    const int32_t width = Width(font, "AB");
    canvas.Draw2DText(font, "AB", 0, 0, 200, 100, 0xFFFFFFFFu, TEXT_RIGHT | TEXT_BOTTOM, 1.0f);
    canvas.Flush();
    const WeGlyph& a = font->Glyph('A');
    EXPECT_FLOAT_EQ(canvas.vertices[0].x, float(200 - width + a.lead) - 0.5f);
    EXPECT_FLOAT_EQ(canvas.vertices[0].y, float(100 - font->lineHeight) - 0.5f);
}

TEST_F(FontTest, TextsAreDrawnGroupedByPageInQueueOrder)
{
    WeFont* first = fonts.GetFont("Arial:20");
    WeFont* second = fonts.GetFont("Arial:30");
    canvas.Draw2DText(first, "A", 0, 0, 0, 0, 0xFFFFFFFFu, 0, 1.0f);
    canvas.Draw2DText(second, "B", 0, 0, 0, 0, 0xFFFFFFFFu, 0, 1.0f);
    canvas.Draw2DText(first, "C", 0, 0, 0, 0, 0xFFFFFFFFu, 0, 1.0f);
    Device().ClearCallLog();
    canvas.Flush();
    const std::vector<std::string> expected{Bind(first->texture), Run(2), Bind(second->texture), Run(1)};
    EXPECT_EQ(Draws(), expected);
    EXPECT_FLOAT_EQ(canvas.vertices[4].u, first->Glyph('C').u);
}

TEST_F(FontTest, KeysWithoutASizeLoadNoGlyphsAndDrawNothing)
{
    WeFont* font = fonts.GetFont("Arial");
    EXPECT_TRUE(font->loaded);
    EXPECT_EQ(font->texture, nullptr);
    canvas.Draw2DText(font, "AB", 0, 0, 0, 0, 0xFFFFFFFFu, 0, 1.0f);
    canvas.Flush();
    EXPECT_EQ(canvas.RunsDrawn(), 0);
    EXPECT_EQ(fonts.GetFont("Arial"), font) << "kept in the table";
}

TEST_F(FontTest, ResetRasterisesAgainAndReleasesTheOldPage)
{
    WeFont* font = fonts.GetFont("Arial:20");
    EXPECT_EQ(textures.GetCount(), 1);
    renderDevice.SetBackBufferSize(400, 300);
    canvas.OnResetDevice();
    EXPECT_EQ(textures.GetCount(), 1) << "the fixed page of the old size is gone";
    EXPECT_EQ(font->rasterSize, 10);
    canvas.Shutdown();
    EXPECT_EQ(fonts.GetCount(), 0);
    EXPECT_EQ(textures.GetCount(), 0);
}
