// The built-in plain look of tool and configuration windows: dark translucent panels framed by
// thin light lines, drawn from untextured rectangles alone, so any layout can name them without
// textures or style sections. The UI manager registers one of each under "*ConfigWindow..." names.
// Drawn on a widget of another type than their own, the check box, edit box and list styles draw
// nothing, as the base style does.
#pragma once

#include "WeUIStyle.h"

class WeUIConfigButtonStyle : public WeUIStyle
{
public:
    // Arial 20 centred both ways, in textColour (ARGB).
    WeUIConfigButtonStyle(const WeString& styleName, uint32_t textColour);
    // The panel fill under the component's text.
    void Draw(WeUIComponent* component) override;
};

class WeUIConfigRedButtonStyle : public WeUIConfigButtonStyle
{
public:
    explicit WeUIConfigRedButtonStyle(const WeString& styleName);
};

class WeUIConfigUpButtonStyle : public WeUIStyle
{
public:
    using WeUIStyle::WeUIStyle;
    // An outlined triangle pointing up.
    void Draw(WeUIComponent* component) override;
};

class WeUIConfigDownButtonStyle : public WeUIStyle
{
public:
    using WeUIStyle::WeUIStyle;
    void Draw(WeUIComponent* component) override;
};

class WeUIConfigScrollButtonStyle : public WeUIStyle
{
public:
    using WeUIStyle::WeUIStyle;
    // A solid line-coloured block inset by a tenth of the size at the top left.
    void Draw(WeUIComponent* component) override;
};

class WeUIConfigWindowBackgroundStyle : public WeUIStyle
{
public:
    using WeUIStyle::WeUIStyle;
    // Flushes the canvas first, so the panel hides whatever was drawn before it; then fill and frame.
    void Draw(WeUIComponent* component) override;
};

class WeUIConfigCheckBoxStyle : public WeUIStyle
{
public:
    using WeUIStyle::WeUIStyle;
    // Fill and frame, and a cross while checked.
    void Draw(WeUIComponent* component) override;
};

class WeUIConfigEditBoxStyle : public WeUIStyle
{
public:
    explicit WeUIConfigEditBoxStyle(const WeString& styleName);
    // Fill and frame; with the focus the selection and a caret blinking at 1 Hz; the text.
    void Draw(WeUIComponent* component) override;
};

class WeUIConfigMultiListStyle : public WeUIStyle
{
public:
    using WeUIStyle::WeUIStyle;
    // The frame and the column titles with a line between neighbouring columns.
    void Draw(WeUIComponent* component) override;
};

class WeUIConfigMultiListStyle_Label : public WeUIStyle
{
public:
    explicit WeUIConfigMultiListStyle_Label(const WeString& styleName);
    // The component's second colour as a fill when it shows, then the text.
    void Draw(WeUIComponent* component) override;
};

// The panel and line colours (ARGB).
constexpr uint32_t kWeUIConfigPanel = 0xBB000000u;
constexpr uint32_t kWeUIConfigLine = 0xDDFFFFFFu;
