// A frame of the canvas on the OpenGL back end: a textured quad and a line of text, compared
// pixel by pixel with a stored reference image.
//
// The reference is tests/render/reference/canvas_frame.bmp. To make it again (after a deliberate
// change to what the canvas draws), run the test once with WE_UPDATE_REFERENCE=1 in the
// environment, look at the new image, and commit it.
#include "GlFrameFixture.h"
#include "WeCanvas.h"
#include "WeShader.h"
#include "d3d9/D3d9Backend.h"

#include <algorithm>
#include <string>

namespace
{

constexpr int32_t frameWidth = 160;
constexpr int32_t frameHeight = 48;

// A 4 x 4 texture with the colour of each texel.
WeTexture* PaintedTexture(uint32_t (*colour)(int32_t x, int32_t y))
{
    WeTexture* texture =
        textures.CreateTexture(4, 4, d3d9::D3DFMT_A8R8G8B8, 0, d3d9::D3DPOOL_MANAGED, 1, true);
    void* bits = nullptr;
    int32_t size = 0, pitch = 0;
    if (!texture || !texture->Lock(&bits, &size, &pitch))
        return nullptr;
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x)
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(bits) + y * pitch)[x] = colour(x, y);
    texture->Unlock();
    return texture;
}

// The RGB of a pixel of a shot frame (a 24-bit BMP, rows bottom first).
uint32_t PixelOf(const std::vector<uint8_t>& shot, int32_t x, int32_t y)
{
    const size_t rowBytes = (size_t(frameWidth) * 3 + 3) & ~size_t(3);
    const size_t at = 54 + size_t(frameHeight - 1 - y) * rowBytes + size_t(x) * 3;
    return uint32_t(shot[at + 2]) << 16 | uint32_t(shot[at + 1]) << 8 | shot[at];
}

class CanvasFrameApplication : public WeApplication
{
public:
    explicit CanvasFrameApplication(WeTexture* texture) : texture(texture) {}
    const char* GetName() override { return "CanvasFrameApplication"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override
    {
        canvas.BeginFrame();
        canvas.DrawRectangle(4, 4, 40, 40, 0xFFFFFFFFu, texture, BLENDMODE_NORMAL);
        canvas.DrawRectangle(30, 30, 20, 10, 0x800000FFu, nullptr, BLENDMODE_NORMAL);
        canvas.Draw2DText(fonts.GetFont("Arial:16"), "Mivo 2D", 56, 4, 100, 40, 0xFFFFFF00u, TEXT_VCENTER,
                          1.0f);
        canvas.Flush();
    }

private:
    WeTexture* texture;
};

class CanvasFrame : public GlFrameFixture
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        reference = std::filesystem::path(__FILE__).parent_path() / "reference" / "canvas_frame.bmp";
        StartGl(frameWidth, frameHeight);
    }
    // A 4 x 4 checkerboard of red and green with a transparent corner texel.
    static WeTexture* Checkerboard()
    {
        return PaintedTexture([](int32_t x, int32_t y)
                              { return x + y == 0    ? 0u
                                       : (x + y) % 2 ? 0xFF00C000u
                                                     : 0xFFE00000u; });
    }
};

} // namespace

TEST_F(CanvasFrame, QuadAndTextMatchTheReferenceImage)
{
    CanvasFrameApplication frame(Checkerboard());
    const std::vector<uint8_t> actual = Shoot(frame);
    ExpectMatchesReference(actual, 20);
    // The scene itself, independent of the reference: the texel-exact quad and the text colour.
    const auto pixel = [&actual](int32_t x, int32_t y) { return PixelOf(actual, x, y); };
    // The quad is filtered linearly: near texel centres their colour dominates. Texel (1, 1) is
    // red around pixel (18, 18), texel (2, 1) green around (28, 18), and the transparent texel
    // (0, 0) shows the cleared frame at (4, 4).
    EXPECT_GT(pixel(18, 18) >> 16, 0xC0u);
    EXPECT_LT((pixel(18, 18) >> 8) & 0xFFu, 0x30u);
    EXPECT_GT((pixel(28, 18) >> 8) & 0xFFu, 0xA0u);
    EXPECT_LT(pixel(28, 18) >> 16, 0x30u);
    EXPECT_EQ(pixel(4, 4), 0x000000u);
    EXPECT_EQ(pixel(100, 2), 0x000000u); // above the text
    bool yellow = false;
    for (int32_t x = 56; x < 156 && !yellow; ++x)
        for (int32_t y = 10; y < 40 && !yellow; ++y)
            yellow = pixel(x, y) == 0xFFFF00u;
    EXPECT_TRUE(yellow) << "the text is drawn in its colour";
}

TEST_F(CanvasFrame, TheFrameAfterALostAndResetDeviceMatchesTheReferenceToo)
{
    CanvasFrameApplication frame(Checkerboard());
    Shoot(frame);
    const WeShader* twoD = canvas.effect;
    renderDevice.device->SimulateDeviceLoss();
    EXPECT_EQ(renderDevice.CheckDevice(), WeDeviceState::Lost);
    ASSERT_EQ(renderDevice.CheckDevice(), WeDeviceState::Usable);
    EXPECT_EQ(canvas.effect, twoD);
    ExpectMatchesReference(Shoot(frame), 20);
}

TEST_F(CanvasFrame, EveryShippedEffectCompilesAndLinks)
{
    const char* data = std::getenv("WE_TEST_DATA");
    ASSERT_NE(data, nullptr);
    const std::filesystem::path root = std::filesystem::path(data) / "Packages";
    int32_t effects = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root / "Shaders"))
    {
        if (entry.path().extension() != ".fxo")
            continue;
        // Shaders/Special/2D.fxo is the asset Shaders.Special.2D.
        std::string assetName = entry.path().lexically_relative(root).replace_extension().string();
        std::replace(assetName.begin(), assetName.end(), '/', '.');
        WeShader* shader = shaders.Load(assetName.c_str());
        ASSERT_NE(shader, nullptr) << assetName << ": " << renderDevice.device->GetBackend().LastProblem();
        ++effects;
        if (!shader->SetTechnique(0))
            continue; // the shared-parameter effect has nothing to draw
        // One triangle a pass links the pass's shaders into a program.
        const WeCanvasVertex triangle[3] = {{0, 0, 0, 1, 0xFFFFFFFFu, 0, 0},
                                            {8, 0, 0, 1, 0xFFFFFFFFu, 1, 0},
                                            {0, 8, 0, 1, 0xFFFFFFFFu, 0, 1}};
        shader->Begin(0);
        for (uint32_t pass = 0; pass < shader->passCount; ++pass)
        {
            const std::string before = renderDevice.device->GetBackend().LastProblem();
            shader->BeginPass(pass);
            renderDevice.device->SetFVF(WeCanvas::vertexFormat);
            renderDevice.device->DrawPrimitiveUP(d3d9::D3DPT_TRIANGLELIST, 1, triangle,
                                                 sizeof(WeCanvasVertex));
            shader->EndPass();
            const std::string after = renderDevice.device->GetBackend().LastProblem();
            EXPECT_TRUE(after == before || after.find("link") == std::string::npos)
                << assetName << ": " << after;
        }
        shader->End();
    }
    EXPECT_GE(effects, 8);
}

namespace
{

// A 4 x 4 texture of four 2 x 2 blocks: red, green on top, blue, white below.
WeTexture* Quarters()
{
    return PaintedTexture(
        [](int32_t x, int32_t y)
        {
            const uint32_t colours[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
            return colours[(y / 2) * 2 + x / 2];
        });
}

class PartsAndTurnsApplication : public WeApplication
{
public:
    explicit PartsAndTurnsApplication(WeTexture* texture) : texture(texture) {}
    const char* GetName() override { return "PartsAndTurnsApplication"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override
    {
        canvas.DrawRectanglePart(0, 0, 16, 16, 0.5f, 0.0f, 1.0f, 0.5f, 0xFFFFFFFFu, texture,
                                 BLENDMODE_NORMAL);
        canvas.DrawRectanglePartF(16, 0, 16, 16, 0.0f, 0.5f, 0.5f, 1.0f, 0xFFFFFFFFu, texture,
                                  BLENDMODE_NORMAL);
        // A bar 20 wide and 4 high about (50, 10), turned upright.
        canvas.DrawRectangleRotated(40, 8, 20, 4, 1.5707964f, 0xFFFFFFFFu, nullptr, BLENDMODE_NORMAL);
        // Half-transparent red added onto the white bar's lower end.
        canvas.DrawRectanglePartRotated(46, 14, 8, 8, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0x80FF0000u, nullptr,
                                        BLENDMODE_ADDITIVE);
    }

private:
    WeTexture* texture;
};

} // namespace

TEST_F(CanvasFrame, SubRectanglesAndTurnedQuadsLandOnTheirPixels)
{
    PartsAndTurnsApplication frame(Quarters());
    const std::vector<uint8_t> shot = Shoot(frame);
    const auto pixel = [&shot](int32_t x, int32_t y) { return PixelOf(shot, x, y); };
    EXPECT_EQ(pixel(8, 8), 0x00FF00u) << "the top right block";
    EXPECT_EQ(pixel(24, 8), 0x0000FFu) << "the bottom left block";
    EXPECT_EQ(pixel(50, 2), 0xFFFFFFu) << "the turned bar stands upright";
    EXPECT_EQ(pixel(50, 12), 0xFFFFFFu);
    EXPECT_EQ(pixel(42, 10), 0x000000u) << "where the bar lay before the turn";
    EXPECT_EQ(pixel(58, 10), 0x000000u);
    EXPECT_EQ(pixel(47, 18), 0x800000u) << "half red added onto black";
}
