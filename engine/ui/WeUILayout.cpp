// Screens as data: layout descriptors under "UI.Components." become components, parents first,
// through the factory of widget types; the default styles of each type are made here too.
#include "WeConfig.h"
#include "WeLocalization.h"
#include "WeUIButton.h"
#include "WeUICheckBox.h"
#include "WeUIComboBox.h"
#include "WeUIEditBox.h"
#include "WeUILabel.h"
#include "WeUIMain.h"
#include "WeUIMovie.h"
#include "WeUIMultiList.h"
#include "WeUIScene.h"
#include "WeUIScrollBar.h"
#include "WeUIScrollFrame.h"

namespace
{

WeUIStyle* NewStyleOfType(const WeString& type, const WeString& styleName)
{
    if (type == "Button")
        return new WeUIDefaultButtonStyle(styleName);
    if (type == "Window")
        return new WeUIDefaultWindowStyle(styleName);
    if (type == "Label")
        return new WeUIDefaultLabelStyle(styleName);
    if (type == "CheckBox")
        return new WeUIDefaultCheckBoxStyle(styleName);
    if (type == "EditBox")
        return new WeUIDefaultEditBoxStyle(styleName);
    if (type == "HScrollBar" || type == "VScrollBar")
        return new WeUIDefaultScrollBarStyle(styleName);
    if (type == "ScrollFrame" || type == "Movie")
        return new WeUIStyle(styleName);
    if (type == "MultiList")
        return new WeUIDefaultMultiListStyle(styleName);
    if (type == "ComboBox")
        return new WeUIDefaultComboBoxStyle(styleName);
    if (type == "Scene")
        return new WeUIDefaultSceneStyle(styleName);
    return nullptr;
}

// The sub-styles that come with the default style of a composite widget's type: style name +
// suffix, of the default class of styleType. A scroll frame's bars get no button sub-styles.
struct WeUISubStyle
{
    const char* type;
    const char* suffix;
    const char* styleType;
};

constexpr WeUISubStyle kSubStyles[] = {
    {"HScrollBar", "_LeftButton", "Button"},
    {"HScrollBar", "_RightButton", "Button"},
    {"HScrollBar", "_ScrollButton", "Button"},
    {"VScrollBar", "_UpButton", "Button"},
    {"VScrollBar", "_DownButton", "Button"},
    {"VScrollBar", "_ScrollButton", "Button"},
    {"ComboBox", "_Button", "Button"},
    {"ComboBox", "_Window", "Window"},
    {"ComboBox", "_Label", "Label"},
    {"MultiList", "_Window", "Window"},
    {"MultiList", "_Label", "Label"},
    {"MultiList", "_Header", "Label"},
    {"ScrollFrame", "_VScrollBar", "VScrollBar"},
    {"ScrollFrame", "_HScrollBar", "HScrollBar"},
};

WeUIComponent* NewComponentOfType(const WeString& type, WeUIComponent* parent, const WeString& componentName)
{
    if (type == "Window")
        return new WeUIWindow(parent, componentName);
    if (type == "Button")
        return new WeUIButton(parent, componentName);
    if (type == "Label")
        return new WeUILabel(parent, componentName);
    if (type == "CheckBox")
        return new WeUICheckBox(parent, componentName);
    if (type == "EditBox")
        return new WeUIEditBox(parent, componentName);
    if (type == "HScrollBar")
        return new WeUIHScrollBar(parent, componentName);
    if (type == "VScrollBar")
        return new WeUIVScrollBar(parent, componentName);
    if (type == "ScrollFrame")
        return new WeUIScrollFrame(parent, componentName);
    if (type == "MultiList")
        return new WeUIMultiList(parent, componentName);
    if (type == "ComboBox")
        return new WeUIComboBox(parent, componentName);
    if (type == "Movie")
        return new WeUIMovie(parent, componentName);
    if (type == "Scene")
        return new WeUIScene(parent, componentName);
    return nullptr;
}

int32_t TransitionLetters(const WeString& letters)
{
    int32_t flags = 0;
    for (int32_t i = 0; i < letters.GetLength(); ++i)
    {
        switch (letters[i])
        {
        case 'L':
            flags |= UI_SLIDE_LEFT;
            break;
        case 'R':
            flags |= UI_SLIDE_RIGHT;
            break;
        case 'T':
            flags |= UI_SLIDE_TOP;
            break;
        case 'B':
            flags |= UI_SLIDE_BOTTOM;
            break;
        case 'F':
            flags |= UI_FADE;
            break;
        default:
            break;
        }
    }
    return flags;
}

WeColor DescriptorColour(const WeString& value)
{
    return WeUIArgbToColour(static_cast<uint32_t>(value.ToInt()));
}

struct WeUIDescriptorEntry
{
    WeString name;
    WeString descriptor;
    WeString parentName;
};

} // namespace

void WeUIMain::CreateDefaultStyles()
{
    ReleaseStyles();
    for (const char* type : {"Button", "Window", "Label", "CheckBox", "EditBox", "HScrollBar", "VScrollBar",
                             "ComboBox", "MultiList", "ScrollFrame", "Scene"})
    {
        const WeString list = WeConfig::GetString(WeString("UI.Styles.Default") + type, "");
        const int32_t count = list.CountTokens(',');
        for (int32_t i = 0; i < count; ++i)
        {
            const WeString styleName = list.GetToken(',', i);
            if (styleName.IsEmpty())
                break;
            CreateDefaultStyle(type, styleName);
        }
    }
}

void WeUIMain::CreateDefaultStyle(const WeString& type, const WeString& styleName)
{
    // A taken name keeps its style; nothing is built only to be thrown away.
    auto create = [this](const WeString& styleType, const WeString& name)
    {
        if (!GetStyle(name))
            if (WeUIStyle* style = NewStyleOfType(styleType, name))
                RegisterStyle(style);
    };
    create(type, styleName);
    for (const WeUISubStyle& sub : kSubStyles)
        if (type == sub.type)
            create(sub.styleType, styleName + sub.suffix);
}

void WeUIMain::LoadComponents(const WeString& screen)
{
    WeList<WeString> keys;
    WeConfig::GetKeys("UI.Components." + screen, keys, true);
    const WeString& suffix = WeGetConfigOverrideSuffix();
    WeList<WeUIDescriptorEntry> entries;
    for (const WeString& key : keys)
    {
        const WeString componentName = WeUIComponentName(key.GetRemainder('.', 2));
        const int32_t bar = componentName.Find("|");
        if (bar >= 0)
        {
            const WeString tail = componentName.Substring(bar, componentName.GetLength());
            // The plain key already reads the overriding value; a second widget would cover it.
            const WeString plainKey = "UI.Components." + componentName.Substring(0, bar);
            if (tail == "|" || !(tail == suffix) || WeConfig::Find(plainKey, false))
                continue;
        }
        const WeString descriptor = WeConfig::GetString(key, "");
        entries.PushBack(
            {componentName, descriptor, WeUIComponentName(descriptor.GetToken(',', 0).GetToken(':', 1))});
    }
    WeList<WeString> queue;
    queue.PushBack("Root");
    while (!queue.IsEmpty())
    {
        const WeString parentName = queue.First();
        queue.Reset();
        queue.RemoveCurrent();
        entries.Reset();
        while (!entries.IsEnd())
        {
            const WeUIDescriptorEntry& entry = entries.GetItem();
            if (!(entry.parentName == parentName))
            {
                entries.Next();
                continue;
            }
            CreateComponent(entry.name, entry.descriptor);
            queue.PushBack(entry.name);
            entries.RemoveCurrent();
        }
    }
}

WeUIComponent* WeUIMain::CreateComponent(const WeString& componentName, const WeString& descriptor)
{
    const WeString head = descriptor.GetToken(',', 0);
    const WeString type = head.GetToken(':', 0);
    if (type.IsEmpty())
        return nullptr;
    WeUIComponent* parent = GetComponent(head.GetToken(':', 1));
    if (!parent)
        return nullptr;
    // A component cannot replace the root, its own ancestor or a part another widget holds.
    if (const WeUIComponent* older = GetComponent(componentName); older && !MayReplace(older, parent))
    {
        Report("UI component \"" + older->name + "\" is not made again: the name belongs to " +
               (older->owner ? "a part of \"" + older->owner->name + "\"" : WeString("its own ancestor")));
        return nullptr;
    }
    WeUIComponent* component = NewComponentOfType(type, parent, componentName);
    if (component)
        ApplyDescriptor(component, descriptor);
    return component;
}

void WeUIMain::ApplyDescriptor(WeUIComponent* component, const WeString& descriptor)
{
    const WeString head = descriptor.GetToken(',', 0);
    const WeString type = head.GetToken(':', 0);
    const WeString parentName = head.GetToken(':', 1);
    const WeString styleName = head.GetToken(':', 2);
    const WeString text = head.GetToken(':', 3);
    const WeString colourText = head.GetToken(':', 4);
    const WeString colour2Text = head.GetToken(':', 5);

    if (!GetStyle(styleName))
        CreateDefaultStyle(type, styleName);
    component->SetStyle(styleName, "");

    const float under = parentName == "Root" ? 0.5f : 0.0f;
    float xP, xR, xA, yP, yR, yA;
    ParseXPlacement(descriptor.GetToken(',', 1), &xP, &xR, under, &xA, under);
    ParseYPlacement(descriptor.GetToken(',', 2), &yP, &yR, under, &yA, under);
    float wP, wR, wT, hP, hR, hT;
    ParseXPlacement(descriptor.GetToken(',', 3), &wP, &wR, 0.0f, &wT, 0.0f);
    if (wP == 0.0f && wR == 0.0f && wT == 0.0f)
        ParseXPlacement(WeConfig::GetString("UI." + styleName + ".Width", ""), &wP, &wR, 0.0f, &wT, 0.0f);
    ParseYPlacement(descriptor.GetToken(',', 4), &hP, &hR, 0.0f, &hT, 0.0f);
    if (hP == 0.0f && hR == 0.0f && hT == 0.0f)
        ParseYPlacement(WeConfig::GetString("UI." + styleName + ".Height", ""), &hP, &hR, 0.0f, &hT, 0.0f);
    component->SetPlacement(xP, xR, yP, yR, wP, wR, hP, hR, xA, yA, wT, hT);
    component->SetZOrder(descriptor.GetToken(',', 5).ToInt());

    if (!text.IsEmpty())
    {
        const WeString key = "UI: " + text;
        if (text[0] == '%')
            component->text = text.Substring(1, text.GetLength());
        else
            component->text = localization.HasKey(key) ? localization.Translate(key) : text;
    }
    if (!colourText.IsEmpty())
        component->colour = DescriptorColour(colourText);
    if (!colour2Text.IsEmpty())
        component->colour2 = DescriptorColour(colour2Text);

    const WeString letters = descriptor.GetToken(',', 6);
    if (!letters.IsEmpty())
        component->aspect = letters[0];
    static float& defaultFade = WeConfig::GetFloat("UI.Defaults.FadeSpeed", 2.0f);
    component->fadeSpeed = WeConfig::GetFloat("UI." + styleName + ".FadeSpeed", defaultFade);
    const WeString showLetters = letters.GetToken(':', 0);
    const WeString hideLetters = letters.GetToken(':', 1);
    if (!showLetters.IsEmpty())
        component->SetShowFlags(TransitionLetters(showLetters));
    if (!hideLetters.IsEmpty())
        component->SetHideFlags(TransitionLetters(hideLetters));
    // Also when a changed descriptor is applied again; a descriptor naming another type than the
    // component was made as leaves it alone.
    if (type == "MultiList")
        if (auto* list = dynamic_cast<WeUIMultiList*>(component))
            list->SetColumns(WeConfig::GetString("UI.Components." + component->name + "$Columns", ""));
    if (type == "ComboBox")
        if (auto* box = dynamic_cast<WeUIComboBox*>(component))
        {
            float p = 0.0f, r = 0.0f, ignored;
            ParseXPlacement(WeConfig::GetString("UI." + styleName + ".ButtonRelWidth", ""), &p, &r, 0.0f,
                            &ignored, 0.0f);
            box->button->SetPlacement(0, 1, 0, 0, p, r, 0, 1, 1, 0, 0, 0);
        }
    component->clipChildren = WeConfig::GetBool("UI.Components." + component->name + "$ClipChildren", false);
}

void WeUIMain::OnComponentConfigChanged(const WeString& key, void*)
{
    if (WeUIComponent* component = uiMain.GetComponent(key.GetRemainder('.', 2)))
        uiMain.ApplyDescriptor(component, WeConfig::GetString(key, ""));
}
