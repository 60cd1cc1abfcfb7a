// The scene's debug boxes drawn on the OpenGL back end: a listed box shows over the background in
// the shared debug material (translucent white) where it stands and nowhere else; one whose flag
// is clear, one the last Tick took off the list, and any after a forced free of the meshes and
// materials (the debug assets gone) draw nothing.
#include "SceneGlFrame.h"
#include "WeTimer.h"

namespace
{

constexpr int32_t kSize = 64;

class DebugBoxFrame : public SceneGlFrame
{
protected:
    void SetUp() override
    {
        SceneGlFrame::SetUp();
        StartScene(kSize, kSize);
    }
    static uint32_t PixelOf(const std::vector<uint8_t>& bmp, int32_t x, int32_t y)
    {
        return PixelAt(bmp, kSize, kSize, x, y);
    }
};

TEST_F(DebugBoxFrame, AListedBoxShowsInTheDebugMaterialWhereItStands)
{
    ASSERT_NE(materialManager.debug, nullptr) << "the first scene loads the debug material";
    // A box right of the view's centre, its near face 4 m ahead.
    scene->AddDebugBox({0.5f, -1.0f, 4.0f}, {2.5f, 1.0f, 6.0f});
    const std::vector<uint8_t> shot = Frame();
    const uint32_t inside = PixelOf(shot, 44, 32), left = PixelOf(shot, 12, 32);
    EXPECT_EQ(left, 0u) << "the background beside the box";
    EXPECT_GT(inside & 0xFF, 0x60u) << std::hex << inside;
    EXPECT_LT(inside & 0xFF, 0xFFu) << "translucent, not opaque: " << std::hex << inside;
    EXPECT_EQ(inside >> 16, inside & 0xFF) << "white, grey over black: " << std::hex << inside;
}

TEST_F(DebugBoxFrame, OnlyShownBoxesOfThisFrameWithTheirAssetsLoadedAreDrawn)
{
    const struct
    {
        const char* name;
        void (*prepare)(WeScene& scene, WeDebugBox& box);
        int32_t listed; // boxes on the list when the frame is drawn
        bool drawn;
    } cases[] = {
        {"shown", [](WeScene&, WeDebugBox&) {}, 1, true},
        {"flag clear", [](WeScene&, WeDebugBox& box) { box.shown = false; }, 1, false},
        {"ticked", [](WeScene& scene, WeDebugBox&) { scene.Tick(); }, 0, false},
        {"assets freed",
         [](WeScene&, WeDebugBox&)
         {
             modelManager.FreeAll();
             meshManager.FreeAll(true);
             materialManager.FreeAll(true);
         },
         1, false},
    };
    timer.deltaTime = 0.1f;
    for (const auto& c : cases)
    {
        scene = std::make_unique<WeScene>(); // loads the debug assets again after a forced free
        scene->config.backgroundColor = {0.0f, 0.0f, 0.0f, 1.0f};
        WeDebugBox& box = scene->AddDebugBox({-2.0f, -2.0f, 4.0f}, {2.0f, 2.0f, 6.0f});
        c.prepare(*scene, box);
        EXPECT_EQ(scene->debugBoxes.GetCount(), c.listed) << c.name;
        const std::vector<uint8_t> shot = Frame();
        EXPECT_EQ(PixelOf(shot, 32, 32) != 0u, c.drawn) << c.name;
    }
}

} // namespace
