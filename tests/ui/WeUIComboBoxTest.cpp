#include "WeUIComboBox.h"
#include "WeConfig.h"
#include "WeTimer.h"
#include "WidgetFixture.h"

namespace
{

constexpr int32_t kChanged = 7;

// A 200 x 30 box at the top left with a 30-pixel button at its right end; entries open below it,
// 30 pixels each.
class ComboBoxTest : public WidgetFixture
{
protected:
    void SetUp() override
    {
        WidgetFixture::SetUp();
        timer.deltaTime = 0.1f;
        WeConfig::GetString("UI.TestCombo.ButtonRelWidth", "") = "30";
        box = dynamic_cast<WeUIComboBox*>(uiMain.CreateComponent("Lang", "ComboBox:Root:TestCombo"));
        ASSERT_NE(box, nullptr);
        box->SetPlacement(0, 0, 0, 0, 200.0f / 800.0f, 0, 30.0f / 600.0f, 0, 0, 0, 0, 0);
        WeList<WeString> strings;
        for (const char* s : {"English", "Deutsch", "Suomi"})
            strings.PushBack() = s;
        box->SetItems(strings);
        box->onChanged = {kChanged, nullptr};
        Frame();
    }
    void Settle()
    {
        for (int32_t i = 0; i < 20; ++i)
            Frame();
    }
    void Open()
    {
        Click(185, 15);
        Settle();
    }
    WeUIComboBox* box = nullptr;
};

TEST_F(ComboBoxTest, TheButtonOpensAndClosesTheList)
{
    EXPECT_EQ(box->button->x, 170);
    EXPECT_EQ(box->button->w, 30);
    EXPECT_FALSE(box->list->visible);
    Open();
    EXPECT_TRUE(box->list->visible);
    EXPECT_EQ(box->list->y, 30);
    EXPECT_EQ(box->list->h, 90);
    Open();
    EXPECT_FALSE(box->list->visible);
    EXPECT_EQ(CountEvents(kChanged), 0);
}

TEST_F(ComboBoxTest, AClickOnAnEntrySelectsItClosesTheListAndReports)
{
    Open();
    Press(50, 75); // the second entry
    uiMain.PostMouseUp(0);
    Frame();
    EXPECT_EQ(box->GetSelectedIndex(), 1);
    EXPECT_EQ(box->GetText(), "Deutsch");
    EXPECT_EQ(CountEvents(kChanged), 1);
    Settle();
    EXPECT_FALSE(box->list->visible);
}

TEST_F(ComboBoxTest, AReleaseOutsideTheBoxClosesTheList)
{
    Open();
    Click(500, 400);
    Settle();
    EXPECT_FALSE(box->list->visible);
    EXPECT_EQ(box->GetSelectedIndex(), -1);
}

TEST_F(ComboBoxTest, AReleaseInsideTheBoxLeavesTheListOpen)
{
    Open();
    box->OnMouseReleased(box->button);
    box->OnMouseReleased(box->FindItem(2));
    Settle();
    EXPECT_TRUE(box->list->visible);
}

TEST_F(ComboBoxTest, SelectionFallsBackAndSendsNoReport)
{
    box->SelectItem(2, 0);
    EXPECT_EQ(box->GetSelectedIndex(), 2);
    box->SelectItem(3, 0);
    EXPECT_EQ(box->GetSelectedIndex(), 0);
    box->SelectItem(-1, 1);
    EXPECT_EQ(box->GetSelectedIndex(), 1);
    box->SelectItem(9, 9);
    EXPECT_EQ(box->GetSelectedIndex(), -1);
    EXPECT_EQ(box->GetText(), "");
    box->SelectItem(-5, -5);
    EXPECT_EQ(box->GetSelectedIndex(), -1);
    Frame();
    EXPECT_EQ(CountEvents(kChanged), 0);
}

TEST_F(ComboBoxTest, AnEmptyListHasNoHeightAndNothingToSelect)
{
    box->SelectItem(1, -1);
    box->SetItems({});
    Frame();
    EXPECT_EQ(box->GetItemCount(), 0);
    EXPECT_EQ(box->GetSelectedIndex(), -1);
    EXPECT_EQ(box->list->h, 0);
    box->SelectItem(0, 0);
    EXPECT_EQ(box->GetSelectedIndex(), -1);
}

TEST_F(ComboBoxTest, ARebuiltListNumbersItsEntriesFromZero)
{
    WeList<WeString> strings;
    strings.PushBack() = "A";
    strings.PushBack() = "B";
    box->SetItems(strings);
    EXPECT_EQ(box->GetItemCount(), 2);
    ASSERT_NE(box->FindItem(1), nullptr);
    EXPECT_EQ(box->FindItem(1)->name, "Lang$List$Item 1");
    EXPECT_EQ(box->FindItem(2), nullptr);
}

} // namespace
