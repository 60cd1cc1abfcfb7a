// The generated default textures loaded by the texture manager onto the OpenGL device and drawn
// through the canvas: block-compressed textures upload and sample as their colours.
#include "WeCanvas.h"
#include "render/GlFrameFixture.h"

namespace
{

class DefaultTexturesFrame : public WeApplication
{
public:
    const char* GetName() override { return "DefaultTexturesFrame"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override
    {
        canvas.BeginFrame();
        canvas.DrawRectangle(0, 0, 8, 16, 0xFFFFFFFFu, textures.Load("Config.Assets.DefaultWhite"),
                             BLENDMODE_NORMAL);
        canvas.DrawRectangle(8, 0, 8, 16, 0xFFFFFFFFu, textures.Load("Config.Assets.DefaultNormal"),
                             BLENDMODE_NORMAL);
        // Black over white: only an opaque black texel hides it.
        canvas.DrawRectangle(16, 0, 8, 16, 0xFFFFFFFFu, textures.Load("Config.Assets.DefaultWhite"),
                             BLENDMODE_NORMAL);
        canvas.DrawRectangle(16, 0, 8, 16, 0xFFFFFFFFu, textures.Load("Config.Assets.DefaultBlack"),
                             BLENDMODE_NORMAL);
        canvas.Flush();
    }
};

class DefaultTexturesGlTest : public GlFrameFixture
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        StartGl(32, 16);
    }
};

} // namespace

TEST_F(DefaultTexturesGlTest, BlockCompressedAndPlainDefaultsDrawTheirColours)
{
    for (const char* name : {"Config.Assets.DefaultWhite", "Config.Assets.DefaultBlack"})
    {
        WeTexture* texture = textures.Load(name);
        ASSERT_NE(texture, nullptr) << name;
        EXPECT_EQ(texture->format, d3d9::D3DFMT_DXT1);
    }
    DefaultTexturesFrame frame;
    const std::vector<uint8_t> shot = Shoot(frame);
    ASSERT_EQ(shot.size(), 54u + 32 * 3 * 16);
    const auto pixel = [&shot](int32_t x, int32_t y)
    {
        const size_t at = 54 + size_t(15 - y) * 32 * 3 + size_t(x) * 3;
        return uint32_t(shot[at + 2]) << 16 | uint32_t(shot[at + 1]) << 8 | shot[at];
    };
    EXPECT_EQ(pixel(4, 8), 0xFFFFFFu);
    EXPECT_EQ(pixel(12, 8), 0x8080FFu);
    EXPECT_EQ(pixel(20, 8), 0x000000u);
    EXPECT_EQ(pixel(28, 8), 0x000000u) << "the clear where nothing was drawn";
}
