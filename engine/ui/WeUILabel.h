// The plainest widgets: a label (a text over an optional background), a window (a framed panel
// grouping other components) and the root of the tree, with the default label and window styles.
#pragma once

#include "WeUIComponent.h"
#include "WeUIStyle.h"

class WeUILabel : public WeUIComponent
{
public:
    using WeUIComponent::WeUIComponent;
    const char* GetTypeName() const override { return "Label"; }
};

class WeUIWindow : public WeUIComponent
{
public:
    using WeUIComponent::WeUIComponent;
    const char* GetTypeName() const override { return "Window"; }
};

// Covers the whole back buffer whatever its placement says; only its children are laid out.
class WeUIRoot : public WeUIComponent
{
public:
    explicit WeUIRoot(const WeString& rootName);
    void UpdateLayout(bool self, bool recurse) override;
    const char* GetTypeName() const override { return "Root"; }
};

// Background in the second colour, the texture, the text inside the margins, then a flush.
class WeUIDefaultLabelStyle : public WeUIStyle
{
public:
    using WeUIStyle::WeUIStyle;
    void Draw(WeUIComponent* label) override;
};

// A flush, then the nine-slice frame over the whole window when textured.
class WeUIDefaultWindowStyle : public WeUIStyle
{
public:
    using WeUIStyle::WeUIStyle;
    void Draw(WeUIComponent* window) override;
};
