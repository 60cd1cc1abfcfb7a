#include "WeUIComboBox.h"
#include "UIFixture.h"
#include "WeConfig.h"
#include "WeTimer.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace
{

constexpr int32_t kChanged = 7;

// A 200 x 30 box at the top left of a screen window, with a 30-pixel button at its right end;
// entries open below it, 30 pixels each. Drawing is recorded.
class ComboBoxTest : public UIFixture
{
protected:
    void SetUp() override
    {
        WeConfig::GetInt("UI.Size.SrcW", 800) = 800;
        WeConfig::GetInt("UI.Size.SrcH", 600) = 600;
        UIFixture::SetUp();
        WeConfig::GetString("UI.TestCombo.ButtonRelWidth", "") = "30";
        screen = uiMain.CreateComponent("ComboScreen", "Window:Root:");
        ASSERT_NE(screen, nullptr);
        screen->SetPlacement(0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0);
        box = dynamic_cast<WeUIComboBox*>(uiMain.CreateComponent("Lang", "ComboBox:ComboScreen:TestCombo"));
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
    // The entries' texts and highlight bands drawn in one frame.
    std::vector<RecordedDraw> DrawnEntries()
    {
        painter.draws.clear();
        uiMain.Render();
        std::vector<RecordedDraw> entries;
        for (const RecordedDraw& d : painter.draws)
            if (d.kind != "flush" && d.y >= 30 && d.x < 170)
                entries.push_back(d);
        return entries;
    }
    WeUIComponent* screen = nullptr;
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

// An open list is drawn after the tree and hit before it; it must still go with its screen.
TEST_F(ComboBoxTest, AnOpenListIsNeitherDrawnNorHitWhileAnAncestorIsHidden)
{
    Open();
    ASSERT_FALSE(DrawnEntries().empty());
    struct Case
    {
        const char* hidden;
        WeUIComponent* component;
    };
    for (const Case& c : {Case{"the screen", screen}, Case{"the box", box}})
    {
        c.component->visible = false;
        Frame();
        EXPECT_TRUE(DrawnEntries().empty()) << c.hidden;
        Click(50, 75);
        EXPECT_EQ(box->GetSelectedIndex(), -1) << c.hidden;
        EXPECT_EQ(CountEvents(kChanged), 0) << c.hidden;
        c.component->visible = true;
        Frame();
        if (!box->list->visible)
            Open();
    }
}

TEST_F(ComboBoxTest, TheEntryUnderTheMouseShowsItsHighlight)
{
    Open();
    box->FindItem(2)->colour2 = {0.3f, 0.5f, 0.7f, 0.0f};
    const struct
    {
        int32_t mouseY;
        int32_t highlighted; // -1: none
    } steps[] = {{45, 0}, {75, 1}, {105, 2}, {300, -1}};
    for (const auto& step : steps)
    {
        MoveTo(50, step.mouseY);
        Frame();
        for (int32_t i = 0; i < 3; ++i)
            EXPECT_EQ(box->FindItem(i)->colour2.a, i == step.highlighted ? 1.0f : 0.0f)
                << "entry " << i << ", mouse at " << step.mouseY;
        std::vector<RecordedDraw> bands;
        for (const RecordedDraw& d : DrawnEntries())
            if (d.kind == "rect" && d.texture == nullptr)
                bands.push_back(d);
        ASSERT_EQ(bands.size(), step.highlighted < 0 ? 0u : 1u) << "mouse at " << step.mouseY;
        if (step.highlighted >= 0)
        {
            EXPECT_EQ(bands[0].y, 30 + 30 * step.highlighted);
        }
    }
    // Only the alpha changes; the colour stays as drawn, in bytes.
    const WeColor third = box->FindItem(2)->colour2;
    EXPECT_EQ(WeUIColourToArgb({third.r, third.g, third.b, 1.0f}), 0xFF4D80B3u);
    EXPECT_FLOAT_EQ(third.r, 77.0f / 255.0f);
    EXPECT_EQ(WeUIColourToArgb(box->FindItem(0)->colour2), 0x000000FFu);
}

// The shipped options screen, laid out on an 800 x 600 screen: its language box opens only
// through the button at its right end, so that button must have a size.
class ShippedOptionsCombo : public UIFixture
{
protected:
    void SetUp() override
    {
        const char* data = std::getenv("WE_TEST_DATA");
        ASSERT_NE(data, nullptr);
        std::ifstream file(std::filesystem::path(data) / "Packages/Config/Main/UI.ini", std::ios::binary);
        const std::string shipped{std::istreambuf_iterator<char>(file), {}};
        ASSERT_FALSE(shipped.empty());
        LoadUI(shipped);
        UIFixture::SetUp();
        uiMain.LoadComponents("Options");
    }
};

TEST_F(ShippedOptionsCombo, TheLanguageBoxOpensWithAClickOnItsButton)
{
    auto* box = dynamic_cast<WeUIComboBox*>(uiMain.GetComponent("OptionsLanguageCombo"));
    ASSERT_NE(box, nullptr);
    WeList<WeString> names;
    names.PushBack() = "English";
    names.PushBack() = "Deutsch";
    box->SetItems(names);
    for (int32_t i = 0; i < 20; ++i)
        Frame();
    const WeUIComponent& button = *box->button;
    ASSERT_GT(button.w, 0);
    EXPECT_EQ(button.h, box->h);
    EXPECT_EQ(button.x + button.w, box->x + box->w);
    Click(button.x + button.w / 2, button.y + button.h / 2);
    EXPECT_TRUE(box->list->visible);
}

} // namespace
