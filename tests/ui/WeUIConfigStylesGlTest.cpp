// The plain background style on the OpenGL back end: drawn after a textured picture it darkens it
// (the canvas is flushed first, so the picture lies beneath), its frame is light, and a checked
// box over it shows its cross.
#include "UIScreenFixture.h"
#include "WeUICheckBox.h"

namespace
{

class ConfigBackground : public UIScreenFixture
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        StartScreen("CfgPicture=Label:Root:MivoMenuBack:,0,0,320,240,0\n"
                    "CfgPanel=Window:Root:*ConfigWindowBackground:,40,40,160,120,5\n"
                    "CfgBox=CheckBox:CfgPanel:*ConfigWindowCheckBox:,100,20,40,40,1\n",
                    "Cfg");
    }
    // Brightness (r + g + b) of the pixel at x, y of a bottom-up 24- or 32-bit BMP.
    static int32_t Brightness(const std::vector<uint8_t>& bmp, int32_t x, int32_t y)
    {
        const int32_t bytes = bmp[28] / 8;
        const int32_t stride = (screenWidth * bytes + 3) / 4 * 4;
        const size_t at = 54 + static_cast<size_t>((screenHeight - 1 - y) * stride + x * bytes);
        return bmp[at] + bmp[at + 1] + bmp[at + 2];
    }
};

} // namespace

TEST_F(ConfigBackground, ThePanelHidesThePictureBeneathAndShowsItsFrameAndCross)
{
    auto* box = dynamic_cast<WeUICheckBox*>(uiMain.GetComponent("CfgBox"));
    ASSERT_NE(box, nullptr);
    box->isChecked = true;
    Settle();
    UIScreenApplication screen;
    const std::vector<uint8_t> withPanel = Shoot(screen);
    WeUIComponent* panel = uiMain.GetComponent("CfgPanel");
    panel->visible = false;
    const std::vector<uint8_t> without = Shoot(screen);
    ASSERT_GT(withPanel.size(), 54u);
    ASSERT_EQ(withPanel.size(), without.size());
    // Inside the panel, away from the box: the picture at about a quarter of its brightness.
    const int32_t x = panel->x, y = panel->y, w = panel->w, h = panel->h;
    for (const auto& [px, py] : {std::pair{x + 20, y + 20}, {x + 20, y + h - 20}, {x + w - 20, y + h - 10}})
        EXPECT_LE(Brightness(withPanel, px, py) * 2, Brightness(without, px, py) + 6) << px << "," << py;
    const int32_t inside = Brightness(withPanel, x + 10, y + h / 2);
    EXPECT_GE(Brightness(withPanel, x, y + h / 2), inside + 150) << "the frame's left line";
    EXPECT_GE(Brightness(withPanel, box->x + box->w / 2, box->y + box->h / 2), inside + 150)
        << "the cross at the box's centre";
}
