#include "WeUICheckBox.h"
#include "UIFixture.h"
#include "WidgetFixture.h"

namespace
{

constexpr int32_t kUp = 5;

class CheckBoxTest : public WidgetFixture
{
protected:
    void SetUp() override
    {
        WidgetFixture::SetUp();
        box = static_cast<WeUICheckBox*>(uiMain.CreateComponent("Box", "CheckBox:Root:TestCheck"));
        ASSERT_NE(box, nullptr);
        box->SetPlacement(0, 0, 0, 0, 40.0f / 800.0f, 0, 40.0f / 600.0f, 0, 0, 0, 0, 0);
        box->onMouseUp = {kUp, nullptr};
        Frame();
    }
    WeUICheckBox* box = nullptr;
};

TEST_F(CheckBoxTest, TwoClicksReturnToTheStartWithAnEventEach)
{
    EXPECT_STREQ(box->GetTypeName(), "CheckBox");
    EXPECT_FALSE(box->isChecked);
    Click(20, 20);
    EXPECT_TRUE(box->isChecked);
    EXPECT_EQ(CountEvents(kUp), 1);
    Click(20, 20);
    EXPECT_FALSE(box->isChecked);
    EXPECT_EQ(CountEvents(kUp), 1);
}

TEST_F(CheckBoxTest, EveryButtonReleaseThatReachesTheBoxToggles)
{
    box->OnMouseUp(1);
    EXPECT_TRUE(box->isChecked);
    // The manager lets only the left button through by default.
    MoveTo(20, 20);
    uiMain.PostMouseDown(1);
    uiMain.PostMouseUp(1);
    Frame();
    EXPECT_TRUE(box->isChecked);
}

TEST_F(CheckBoxTest, WithoutTextureItDrawsNothingButStillToggles)
{
    ASSERT_NE(box->style, nullptr);
    EXPECT_EQ(box->style->texture, nullptr);
    Click(20, 20);
    EXPECT_TRUE(box->isChecked);
}

using CheckBoxDrawing = UIFixture;

TEST_F(CheckBoxDrawing, TheBoxShowsItsHalfAndAnotherWidgetWithItsStyleShowsUnchecked)
{
    painter.textureNames = {"Config.UI.DrawCheck"};
    uiMain.CreateDefaultStyle("CheckBox", "DrawCheck");
    auto* box = static_cast<WeUICheckBox*>(uiMain.CreateComponent("Box", "CheckBox:Root:DrawCheck"));
    WeUIComponent* caption = uiMain.CreateComponent("Caption", "Label:Root:DrawCheck");
    ASSERT_NE(box, nullptr);
    ASSERT_NE(caption, nullptr);
    ASSERT_NE(box->style->texture, nullptr);
    box->isChecked = true;
    painter.draws.clear();
    box->style->Draw(box);
    std::vector<RecordedDraw> parts = painter.Kinds("part");
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_FLOAT_EQ(parts[0].top, 0.5f);
    EXPECT_FLOAT_EQ(parts[0].bottom, 1.0f);
    // Styles are shared by name: a label holds no check state to read.
    painter.draws.clear();
    caption->style->Draw(caption);
    parts = painter.Kinds("part");
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_FLOAT_EQ(parts[0].top, 0.0f);
    EXPECT_FLOAT_EQ(parts[0].bottom, 0.5f);
}

} // namespace
