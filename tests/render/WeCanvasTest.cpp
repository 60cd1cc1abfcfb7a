// Canvas batching on the recording back end: runs, wrap-around, transparent quads, geometry,
// and the order in which queued texts are drawn.
#include "TwoDFixture.h"
#include "d3d9/RecordingBackend.h"

#include <cmath>

namespace
{

class CanvasTest : public TwoDTest
{
protected:
    void SetUp() override
    {
        TwoDTest::SetUp();
        a = textures.CreateTexture(4, 4, d3d9::D3DFMT_A8R8G8B8, 0, d3d9::D3DPOOL_MANAGED, 1, true);
        b = textures.CreateTexture(4, 4, d3d9::D3DFMT_A8R8G8B8, 0, d3d9::D3DPOOL_MANAGED, 1, true);
        ASSERT_TRUE(a && b);
        Device().ClearCallLog();
    }
    WeTexture* a = nullptr;
    WeTexture* b = nullptr;
};

} // namespace

TEST_F(CanvasTest, OneRunPerTextureChange)
{
    canvas.DrawRectangle(0, 0, 4, 4, 0xFFFFFFFFu, a, BLENDMODE_NORMAL);
    canvas.DrawRectangle(4, 0, 4, 4, 0xFFFFFFFFu, a, BLENDMODE_NORMAL);
    canvas.DrawRectangle(8, 0, 4, 4, 0xFFFFFFFFu, b, BLENDMODE_NORMAL);
    canvas.DrawRectangle(12, 0, 4, 4, 0xFFFFFFFFu, b, BLENDMODE_ADDITIVE);
    canvas.Flush();
    const std::vector<std::string> expected{Bind(a), Run(2), Bind(b), Run(1), Bind(b), Run(1)};
    EXPECT_EQ(Draws(), expected);
    EXPECT_EQ(canvas.RunsDrawn(), 3);
}

TEST_F(CanvasTest, OpaqueRunsDrawWithoutBlendingOrTheAlphaTest)
{
    const struct
    {
        int32_t mode;
        uint32_t blending, destination;
    } cases[] = {
        {BLENDMODE_NORMAL, 1, d3d9::D3DBLEND_INVSRCALPHA},
        {BLENDMODE_ADDITIVE, 1, d3d9::D3DBLEND_ONE},
        {BLENDMODE_OPAQUE, 0, d3d9::D3DBLEND_INVSRCALPHA},
    };
    std::vector<std::vector<uint32_t>> drawn;
    auto& backend = static_cast<d3d9::RecordingBackend&>(Device().GetBackend());
    backend.onDraw = [&drawn](const d3d9::DeviceState& state)
    {
        const uint32_t* rs = state.renderStates;
        drawn.push_back({rs[d3d9::D3DRS_ALPHABLENDENABLE], rs[d3d9::D3DRS_DESTBLEND],
                         rs[d3d9::D3DRS_ALPHATESTENABLE], rs[d3d9::D3DRS_FOGENABLE]});
    };
    for (const auto& c : cases)
        canvas.DrawRectangle(0, 0, 4, 4, 0xFFFFFFFFu, a, c.mode);
    canvas.Flush();
    backend.onDraw = nullptr;
    ASSERT_EQ(drawn.size(), std::size(cases));
    for (size_t i = 0; i < drawn.size(); ++i)
    {
        const uint32_t blending = cases[i].blending;
        const std::vector<uint32_t> expected{blending, blending ? cases[i].destination : drawn[i][1], 0, 0};
        EXPECT_EQ(drawn[i], expected) << "mode " << cases[i].mode;
    }
}

TEST_F(CanvasTest, TransparentQuadNeitherDrawsNorEndsTheRun)
{
    canvas.DrawRectangle(0, 0, 4, 4, 0xFFFFFFFFu, a, BLENDMODE_NORMAL);
    canvas.DrawRectangle(0, 0, 4, 4, 0x00FFFFFFu, b, BLENDMODE_NORMAL);
    canvas.DrawRectangle(0, 0, 4, 4, 0x01000000u, a, BLENDMODE_NORMAL);
    canvas.Flush();
    EXPECT_EQ(Draws(), (std::vector<std::string>{Bind(a), Run(2)}));
}

TEST_F(CanvasTest, The1025thQuadFlushesAndRestartsAtZero)
{
    for (int i = 0; i < WeCanvas::quadCapacity; ++i)
        canvas.DrawRectangle(i, 0, 1, 1, 0xFFFFFFFFu, a, BLENDMODE_NORMAL);
    EXPECT_EQ(canvas.RunsDrawn(), 0);
    canvas.DrawRectangle(7, 9, 1, 1, 0xFFFFFFFFu, a, BLENDMODE_NORMAL);
    EXPECT_EQ(canvas.RunsDrawn(), 1);
    EXPECT_EQ(canvas.next, 1);
    EXPECT_FLOAT_EQ(canvas.vertices[0].x, 6.5f);
    EXPECT_FLOAT_EQ(canvas.vertices[0].y, 8.5f);
    canvas.Flush();
    EXPECT_EQ(Draws().back(), Run(1));
    EXPECT_EQ(Draws()[1], Run(1024));
}

TEST_F(CanvasTest, IndicesCountFromTheRunStart)
{
    canvas.DrawRectangle(0, 0, 1, 1, 0xFFFFFFFFu, a, BLENDMODE_NORMAL);
    canvas.DrawRectangle(0, 0, 1, 1, 0xFFFFFFFFu, b, BLENDMODE_NORMAL);
    EXPECT_EQ(canvas.runStart, 1);
    const uint16_t expected[6] = {0, 1, 2, 2, 1, 3};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(canvas.indices[i], expected[i]);
}

TEST_F(CanvasTest, AxisAlignedCornersShiftHalfAPixelRotatedOnesDoNot)
{
    canvas.DrawRectanglePart(10, 20, 30, 40, 0.25f, 0.5f, 0.75f, 1.0f, 0xFF000000u, a, BLENDMODE_NORMAL);
    const WeCanvasVertex* v = canvas.vertices;
    EXPECT_FLOAT_EQ(v[0].x, 9.5f);
    EXPECT_FLOAT_EQ(v[3].x, 39.5f);
    EXPECT_FLOAT_EQ(v[3].y, 59.5f);
    EXPECT_FLOAT_EQ(v[1].u, 0.75f);
    EXPECT_FLOAT_EQ(v[2].v, 1.0f);
    EXPECT_EQ(v[0].color, 0xFF000000u);
    EXPECT_FLOAT_EQ(v[0].rhw, 1.0f);
    canvas.DrawRectangleRotated(0, 0, 20, 10, float(M_PI) / 2.0f, 0xFFFFFFFFu, a, BLENDMODE_NORMAL);
    const WeCanvasVertex* r = &canvas.vertices[4];
    // Centre (10, 5); the top-left offset (-10, -5) turned a quarter: (5, -10).
    EXPECT_NEAR(r[0].x, 15.0f, 1e-5f);
    EXPECT_NEAR(r[0].y, -5.0f, 1e-5f);
}

TEST_F(CanvasTest, RawTextureQuadsAlwaysStandAlone)
{
    canvas.DrawRectangle(0, 0, 1, 1, 0xFFFFFFFFu, a, BLENDMODE_NORMAL);
    canvas.DrawRectanglePartD3D(0, 0, 1, 1, 0, 0, 1, 1, 0xFFFFFFFFu, b->texture, BLENDMODE_NORMAL);
    canvas.DrawRectanglePartD3D(0, 0, 1, 1, 0, 0, 1, 1, 0xFFFFFFFFu, b->texture, BLENDMODE_NORMAL);
    canvas.DrawRectangle(0, 0, 1, 1, 0xFFFFFFFFu, a, BLENDMODE_NORMAL);
    canvas.Flush();
    EXPECT_EQ(canvas.RunsDrawn(), 4);
}

TEST_F(CanvasTest, TextsWithoutAFontAreNotQueuedOutlinesQueueNine)
{
    canvas.Draw2DText(nullptr, "x", 0, 0, 10, 10, 0xFFFFFFFFu, 0, 1.0f);
    canvas.Draw2DTextShadowed(nullptr, "x", 0, 0, 10, 10, 0xFFFFFFFFu, 0, 0, 1.0f);
    EXPECT_EQ(canvas.QueuedTexts(), 0);
    WeFont font; // never loaded: draws nothing
    canvas.Draw2DTextOutlined(&font, "x", 5, 5, 10, 10, 0xFF00FF00u, 0xFF000000u, 0, 1.0f);
    ASSERT_EQ(canvas.QueuedTexts(), 9);
    const WeCanvasText& first = canvas.texts.First();
    EXPECT_EQ(first.x, 4);
    EXPECT_EQ(first.y, 4);
    EXPECT_FLOAT_EQ(first.g, 0.0f);
    const WeCanvasText& last = canvas.texts.Last();
    EXPECT_EQ(last.x, 5);
    EXPECT_FLOAT_EQ(last.g, 1.0f);
    canvas.Flush();
    EXPECT_EQ(canvas.QueuedTexts(), 0);
}

TEST_F(CanvasTest, ShadowDefaultsToAQuarterOfTheTextColour)
{
    engine.settings.uiSourceWidth = 400;
    engine.settings.uiSourceHeight = 300;
    WeFont font;
    canvas.Draw2DTextShadowed(&font, "x", 10, 10, 0, 0, 0x80FF8040u, 0, 0, 1.0f);
    ASSERT_EQ(canvas.QueuedTexts(), 2);
    const WeCanvasText& shadow = canvas.texts.First();
    EXPECT_EQ(shadow.x, 16); // 3 design pixels at 800 / 400
    EXPECT_EQ(shadow.y, 16);
    EXPECT_NEAR(shadow.r, 63.0f / 255.0f, 1e-6f);
    EXPECT_NEAR(shadow.g, 32.0f / 255.0f, 1e-6f);
    EXPECT_NEAR(shadow.a, 128.0f / 255.0f, 1e-6f);
}
