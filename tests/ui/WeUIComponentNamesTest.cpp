// Names of components against the parts composite widgets make and hold: a layout cannot take a
// part's name, parts go only with their widget, and names end at a zero byte.
#include "UIFixture.h"

#include "WeUIComboBox.h"
#include "WeUILabel.h"
#include "WeUIMultiList.h"

#include <string>

namespace
{

using UINames = UIFixture;

// The widget, exercised through everything that reaches its parts.
void Exercise(WeUIComponent* widget)
{
    widget->SetStyle("NamesOtherStyle", widget->GetTypeName());
    if (auto* box = dynamic_cast<WeUIComboBox*>(widget))
    {
        WeList<WeString> items;
        items.PushBack("one");
        box->SetItems(items);
        box->ToggleList();
    }
    if (auto* list = dynamic_cast<WeUIMultiList*>(widget))
    {
        list->SetColumns("A:50,B:50");
        list->AddRow(nullptr);
        list->SelectCell(0, 0);
    }
    uiMain.ProcessEvents();
    uiMain.Update();
    uiMain.Render();
}

} // namespace

TEST_F(UINames, ALayoutNamingAnotherWidgetsPartIsRefusedAndThePartStaysWithItsWidget)
{
    struct Case
    {
        const char* type;
        const char* part;
    } cases[] = {{"MultiList", "$Window"},     {"MultiList", "$ScrollFrame"},
                 {"MultiList", "$0"},          {"MultiList", "$ScrollFrame$Contents"},
                 {"ComboBox", "$Button"},      {"ComboBox", "$List"},
                 {"ScrollFrame", "$VScroll"},  {"ScrollFrame", "$HScroll$ButtonThumb"},
                 {"VScrollBar", "$ButtonDown"}};
    for (const Case& c : cases)
    {
        const std::string owner = std::string("Names") + c.type;
        const std::string partName = owner + c.part;
        WeUIComponent* widget =
            uiMain.CreateComponent(owner.c_str(), (std::string(c.type) + ":Root").c_str());
        ASSERT_NE(widget, nullptr) << owner;
        if (auto* list = dynamic_cast<WeUIMultiList*>(widget))
            list->SetColumns("A:100");
        WeUIComponent* part = uiMain.GetComponent(partName.c_str());
        ASSERT_NE(part, nullptr) << partName;
        for (const char* parent : {"Root", owner.c_str()})
        {
            uiMain.lastError = "";
            EXPECT_EQ(uiMain.CreateComponent(partName.c_str(), (std::string("Window:") + parent).c_str()),
                      nullptr)
                << partName << " under " << parent;
            EXPECT_GE(uiMain.lastError.Find(partName.c_str()), 0) << uiMain.lastError.GetData();
            EXPECT_EQ(uiMain.GetComponent(partName.c_str()), part) << partName;
        }
        // Nor does deleting it by name take it from its widget.
        uiMain.DeleteComponent(partName.c_str());
        uiMain.DeleteComponentsByPrefix((owner + "$").c_str());
        uiMain.CloseComponent(partName.c_str());
        Frame();
        Frame();
        EXPECT_EQ(uiMain.GetComponent(partName.c_str()), part) << partName;
        Exercise(widget);
        uiMain.DeleteComponent(owner.c_str());
        EXPECT_EQ(uiMain.GetComponent(partName.c_str()), nullptr) << "gone with " << owner;
    }
}

TEST_F(UINames, ANameEndsAtItsFirstZeroByte)
{
    const WeString named("NamesZero\0a", 11);
    auto* list = dynamic_cast<WeUIMultiList*>(uiMain.CreateComponent(named, "MultiList:Root"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->name, WeString("NamesZero"));
    EXPECT_EQ(uiMain.GetComponent(named), list);
    EXPECT_EQ(uiMain.GetComponent(WeString("NamesZero\0b", 11)), list);
    EXPECT_EQ(uiMain.GetComponent("NamesZero$Window"), list->window);
    EXPECT_EQ(uiMain.GetComponent("NamesZero$ScrollFrame"), list->scrollFrame);
    Exercise(list);
    // The loader compares parents the same way.
    std::string ini = "[Components]\nNamesNul";
    ini += '\0';
    ini += "x=Window:Root\nNamesNulChild=Label:NamesNul\n";
    LoadUI(ini);
    uiMain.LoadComponents("NamesNul");
    ASSERT_NE(uiMain.GetComponent("NamesNulChild"), nullptr);
    EXPECT_EQ(uiMain.GetComponent("NamesNulChild")->parent, uiMain.GetComponent("NamesNul"));
}

TEST_F(UINames, ARenamedComponentNeverTakesANameAnotherHolds)
{
    // A sort parks its cells under list + "TMPName$" names; a layout widget may hold one.
    WeUILabel* holder = new WeUILabel(uiMain.root, "NamesSortTMPName$0$0");
    auto* list = dynamic_cast<WeUIMultiList*>(uiMain.CreateComponent("NamesSort", "MultiList:Root"));
    ASSERT_NE(list, nullptr);
    list->SetColumns("A:100");
    WeList<WeString> texts;
    texts.PushBack("b");
    list->AddRow(&texts);
    texts.First() = "a";
    list->AddRow(&texts);
    list->SortByColumn(0, false);
    EXPECT_EQ(list->GetCell(0, 0)->text, WeString("a"));
    EXPECT_EQ(uiMain.GetComponent("NamesSortTMPName$0$0"), holder);
    uiMain.DeleteComponent("NamesSort");
    uiMain.DeleteComponent("NamesSortTMPName$0$0");
    EXPECT_EQ(uiMain.GetComponent("NamesSortTMPName$0$0"), nullptr) << "no entry outlives its component";
}

TEST_F(UINames, AnOverlayWithoutItsNameLeavesTheOverlaysWhenDestroyed)
{
    auto* outer = dynamic_cast<WeUIComboBox*>(uiMain.CreateComponent("NamesCombo", "ComboBox:Root"));
    ASSERT_NE(outer, nullptr);
    // Made in code under itself: the inner box and its list keep no names of their own.
    auto* inner = new WeUIComboBox(outer, "NamesCombo");
    EXPECT_EQ(uiMain.GetComponent("NamesCombo$List"), outer->list);
    inner->ToggleList();
    outer->ToggleList();
    outer->DeleteChildren(false);
    Frame();
    uiMain.Render();
    EXPECT_EQ(uiMain.overlays.GetCount(), 1);
}
