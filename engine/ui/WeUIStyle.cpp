#include "WeUIStyle.h"

#include "WeConfig.h"
#include "WeRenderDevice.h"
#include "WeTimer.h"
#include "WeUIMain.h"

#include <algorithm>

namespace
{

uint32_t ChannelByte(float v)
{
    if (v >= 1.0f)
        return 255;
    if (v <= 0.0f)
        return 0;
    return static_cast<uint32_t>(v * 255.0f + 0.5f);
}

float ByteOf(uint32_t argb, int32_t shift)
{
    return static_cast<float>(argb >> shift & 255u) / 255.0f;
}

uint32_t Modulate(uint32_t argb, float r, float g, float b, float a)
{
    return WeUIColourToArgb(
        {ByteOf(argb, 16) * r, ByteOf(argb, 8) * g, ByteOf(argb, 0) * b, ByteOf(argb, 24) * a});
}

} // namespace

uint32_t WeUIColourToArgb(const WeColor& c)
{
    return ChannelByte(c.a) << 24 | ChannelByte(c.r) << 16 | ChannelByte(c.g) << 8 | ChannelByte(c.b);
}

WeColor WeUIArgbToColour(uint32_t argb)
{
    return {ByteOf(argb, 16), ByteOf(argb, 8), ByteOf(argb, 0), ByteOf(argb, 24)};
}

void WeUIFontSpec::Parse(const WeString& value)
{
    font = uiMain.GetScaledFont(value.GetToken(',', 1).ToFloat(0.0f), value.GetToken(',', 0));
    colour = static_cast<uint32_t>(value.GetToken(',', 2).ToInt());
    colour2 = static_cast<uint32_t>(value.GetToken(',', 4).ToInt());
    offsetX = value.GetToken(',', 5).ToInt();
    offsetY = value.GetToken(',', 6).ToInt();
    flags = 0;
    effect = 0;
    const WeString letters = value.GetToken(',', 3);
    for (int32_t i = 0; i < letters.GetLength(); ++i)
    {
        switch (letters[i])
        {
        case 'C':
            flags |= TEXT_CENTER;
            break;
        case 'R':
            flags |= TEXT_RIGHT;
            break;
        case 'V':
            flags |= TEXT_VCENTER;
            break;
        case 'B':
            flags |= TEXT_BOTTOM;
            break;
        case 'W':
            flags |= TEXT_WORDBREAK;
            break;
        case 'S':
            effect = 1;
            break;
        case 'O':
            effect = 2;
            break;
        default:
            break;
        }
    }
}

void WeUIFontSpec::DrawText(const WeString& text, int32_t x, int32_t y, int32_t w, int32_t h, float r,
                            float g, float b, float a) const
{
    // Both offsets scale with the width, so a text keeps its offset's shape on any screen.
    const float scale =
        static_cast<float>(renderDevice.BackBufferWidth()) / static_cast<float>(uiMain.DesignWidth());
    x = WeUIPixelSum(x, static_cast<float>(offsetX) * scale);
    y = WeUIPixelSum(y, static_cast<float>(offsetY) * scale);
    uiMain.painter->DrawText(font, text, x, y, w, h, Modulate(colour, r, g, b, a),
                             Modulate(colour2, r, g, b, a), flags, effect);
}

WeUIStyle::WeUIStyle(const WeString& styleName) : name(styleName)
{
    const WeString prefix = "UI." + name;
    font.Parse(WeConfig::GetString(prefix + ".Font", ""));
    const WeString over = WeConfig::GetString(prefix + ".FontOver", "");
    hasFontOver = !over.IsEmpty();
    if (hasFontOver)
        fontOver.Parse(over);
    const WeString special = WeConfig::GetString(prefix + ".FontSpecial", "");
    hasFontSpecial = !special.IsEmpty();
    if (hasFontSpecial)
        fontSpecial.Parse(special);
    const WeString margins = WeConfig::GetString(prefix + ".Margins", "");
    // Held to the pixel limit, so that frames add them to screen positions without overflow.
    auto margin = [&margins](int32_t i)
    { return std::clamp(margins.GetToken(',', i).ToInt(), -kUIPixelLimit, kUIPixelLimit); };
    marginLeft = margin(0);
    marginTop = margin(1);
    marginRight = margin(2);
    marginBottom = margin(3);
    const float designW = static_cast<float>(uiMain.DesignWidth());
    const float designH = static_cast<float>(uiMain.DesignHeight());
    designLeft = static_cast<float>(marginLeft) / designW;
    designRight = static_cast<float>(marginRight) / designW;
    designTop = static_cast<float>(marginTop) / designH;
    designBottom = static_cast<float>(marginBottom) / designH;
    WeString textureName = WeConfig::GetString(prefix + ".Texture", "");
    if (textureName.IsEmpty())
        textureName = "Config.UI." + name;
    WeBeginFixedLoading();
    texture = uiMain.painter->LoadTexture(textureName);
    WeEndFixedLoading();
    opaqueTexture = texture && uiMain.painter->IsOpaque(texture);
}

void WeUIStyle::UpdateMetrics()
{
    leftPx = uiMain.ToScreenX(designLeft);
    rightPx = uiMain.ToScreenX(designRight);
    topPx = uiMain.ToScreenY(designTop);
    bottomPx = uiMain.ToScreenY(designBottom);
}

void WeUIStyle::MeasureCharacterCenters(WeList<int32_t>& out, const WeString& text, int32_t x0) const
{
    out.Clear();
    int32_t x = x0;
    for (int32_t at = 0; at < text.GetLength();)
    {
        const int32_t next = text.NextCharPos(at);
        int32_t cw = 0, ch = 0;
        uiMain.painter->MeasureText(font.font, text.Substring(at, next), &cw, &ch);
        for (int32_t i = at; i < next; ++i)
            out.PushBack(x + cw / 2);
        x += cw;
        at = next;
    }
}

void WeUIStyle::DrawFrame(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t argb,
                          WeTexture* frameTexture) const
{
    int32_t tw = 0, th = 0;
    if (frameTexture)
        uiMain.painter->GetTextureSize(frameTexture, &tw, &th);
    const bool sized = frameTexture && tw > 0 && th > 0;
    const float uL = sized ? static_cast<float>(marginLeft) / static_cast<float>(tw) : 0.0f;
    const float uR = sized ? 1.0f - static_cast<float>(marginRight) / static_cast<float>(tw) : 0.0f;
    const float vT = sized ? static_cast<float>(marginTop) / static_cast<float>(th) : 0.0f;
    const float vB = sized ? 1.0f - static_cast<float>(marginBottom) / static_cast<float>(th) : 0.0f;
    const int32_t xs[4] = {x, x + marginLeft, x + w - marginRight, x + w};
    const int32_t ys[4] = {y, y + marginTop, y + h - marginBottom, y + h};
    const float us[4] = {0.0f, uL, uR, sized ? 1.0f : 0.0f};
    const float vs[4] = {0.0f, vT, vB, sized ? 1.0f : 0.0f};
    for (int32_t row = 0; row < 3; ++row)
        for (int32_t col = 0; col < 3; ++col)
            uiMain.painter->DrawRectanglePart(xs[col], ys[row], xs[col + 1] - xs[col], ys[row + 1] - ys[row],
                                              us[col], vs[row], us[col + 1], vs[row + 1], argb, frameTexture,
                                              BlendModeFor(frameTexture, argb));
}

int32_t WeUIStyle::BlendModeFor(const WeTexture* picture, uint32_t argb) const
{
    return picture && picture == texture && opaqueTexture && argb >= 0xFF000000u ? BLENDMODE_OPAQUE
                                                                                 : BLENDMODE_NORMAL;
}

void WeUIStyle::DrawText(const WeString& text, int32_t x, int32_t y, int32_t w, int32_t h,
                         const WeColor& colour, bool special, const WeColor& colour2) const
{
    const WeUIFontSpec& spec = special && hasFontSpecial ? fontSpecial : font;
    spec.DrawText(text, x, y, w, h, colour.r, colour.g, colour.b, colour.a);
    if (colour2.a > 0.0f && hasFontOver)
        fontOver.DrawText(text, x, y, w, h, colour2.r, colour2.g, colour2.b, colour2.a);
}
