// Post-processing on the OpenGL back end: a white square on black drawn into the capture and
// composited, with bloom off and on. Bloom lights a halo around the square and leaves the far
// corners black; the frames match tests/render/reference/bloom_off.bmp and bloom_on.bmp (run once with
// WE_UPDATE_REFERENCE=1 to make it again after a deliberate change, and look at it).
#include "GlFrameFixture.h"
#include "WePostProcess.h"
#include "WeShader.h"

namespace
{

constexpr int32_t frameWidth = 128;
constexpr int32_t frameHeight = 96;

class WhiteSquare : public WeApplication
{
public:
    const char* GetName() override { return "WhiteSquare"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override
    {
        const bool post = postProcess.IsActive();
        if (post)
            postProcess.BeginCapture();
        const float bloomScale = 1.0f; // what a view's camera hands the effects
        shaders.SetShared(WeShaderManager::bloomScale, &bloomScale, 1);
        struct Vertex
        {
            float x, y, z, rhw;
            d3d9::D3DCOLOR color;
        };
        const Vertex strip[4] = {{48, 32, 0.5f, 1, 0xFFFFFFFFu},
                                 {80, 32, 0.5f, 1, 0xFFFFFFFFu},
                                 {48, 64, 0.5f, 1, 0xFFFFFFFFu},
                                 {80, 64, 0.5f, 1, 0xFFFFFFFFu}};
        d3d9::Device& device = *renderDevice.device;
        device.SetRenderState(d3d9::D3DRS_ZENABLE, 0);
        device.SetRenderState(d3d9::D3DRS_ALPHABLENDENABLE, 0);
        device.SetVertexShader(nullptr);
        device.SetPixelShader(nullptr);
        device.SetTexture(0, nullptr);
        device.SetFVF(d3d9::D3DFVF_XYZRHW | d3d9::D3DFVF_DIFFUSE);
        device.DrawPrimitiveUP(d3d9::D3DPT_TRIANGLESTRIP, 2, strip, sizeof(Vertex));
        if (post)
        {
            postProcess.EndCapture();
            postProcess.Render();
        }
    }
};

class PostProcessFrame : public GlFrameFixture
{
protected:
    void SetUp() override
    {
        GlFrameFixture::SetUp();
        StartGl(frameWidth, frameHeight);
    }
    // The bottom-up 24-bit BMP's pixel at (x, y) from the top, as its grey level (green).
    static int32_t Green(const std::vector<uint8_t>& bmp, int32_t x, int32_t y)
    {
        const int32_t row = (frameWidth * 3 + 3) & ~3;
        return bmp[54 + size_t(frameHeight - 1 - y) * size_t(row) + size_t(x) * 3 + 1];
    }
};

TEST_F(PostProcessFrame, BloomLightsAHaloAroundTheBrightSquare)
{
    WhiteSquare square;
    struct Look
    {
        int32_t bloom;
        bool active;
        bool halo;
    };
    for (const Look& look : {Look{0, false, false}, Look{1, true, true}})
    {
        SCOPED_TRACE(look.bloom);
        renderDevice.bloomMode = look.bloom;
        postProcess.Release();
        postProcess.Build();
        ASSERT_EQ(postProcess.IsActive(), look.active);
        reference = std::filesystem::path(__FILE__).parent_path() / "reference" /
                    (look.halo ? "bloom_on.bmp" : "bloom_off.bmp");
        const std::vector<uint8_t> frame = Shoot(square);
        ASSERT_GT(frame.size(), 54u);
        EXPECT_GE(Green(frame, 64, 48), 250) << "the square stays white";
        EXPECT_EQ(Green(frame, 2, 2), 0) << "far from the square the frame stays black";
        EXPECT_EQ(Green(frame, 44, 48) > 16, look.halo) << "just beside the square";
        // The square covers columns 48 to 79 and rows 32 to 63: the halo is the same on either
        // side of it, every pass reading its texels at their centres, and reaches as far across
        // as down.
        for (const int32_t k : {0, 3, 6, 9, 14})
        {
            EXPECT_NEAR(Green(frame, 47 - k, 48), Green(frame, 80 + k, 48), 2) << "left and right " << k;
            EXPECT_NEAR(Green(frame, 64, 31 - k), Green(frame, 64, 64 + k), 2) << "above and below " << k;
            EXPECT_NEAR(Green(frame, 47 - k, 48), Green(frame, 64, 31 - k), 2) << "across and down " << k;
        }
        ExpectMatchesReference(frame, 0);
    }
}

} // namespace
