#include "MivoCityButtonStyle.h"

#include "WeConfig.h"
#include "WeTimer.h"
#include "WeUIMain.h"

#include <cmath>
#include <numbers>

float MivoCityButtonStyle::questMapZoom = 0.0f;

namespace
{

constexpr int32_t kStateWord = 0;
constexpr int32_t kSeedWord = 1;

// The glow's alpha, 0 to 1, of an open place at that time (seconds). A seed a x 10000 + b sets
// the phase from a and the period between the shortest and the longest from b.
float OpenBlink(int32_t seed, double time)
{
    static const float& minBlink = WeConfig::GetFloat("Mivo.QuestMap.MinBlink", 1.0f);
    static const float& maxBlink = WeConfig::GetFloat("Mivo.QuestMap.MaxBlink", 2.0f);
    double phase = 1.0, rate = 1.0;
    if (seed != 0)
    {
        phase = (seed / 10000) * 0.0001;
        rate = (seed % 10000) * 0.0001;
    }
    const double period = minBlink + (static_cast<double>(maxBlink) - minBlink) * rate;
    // A period of 0 or less (both ends configured so) cannot blink: no glow rather than the
    // undefined colour of a division by zero.
    if (!(period > 0.0))
        return 0.0f;
    return static_cast<float>((std::sin((time / period + phase) * 2.0 * std::numbers::pi) + 1.0) / 2.0);
}

float SizeFactor(float zoom, bool selected)
{
    static const float& scale = WeConfig::GetFloat("Mivo.QuestMap.Scale", 1.0f);
    static const float& zoomedScale = WeConfig::GetFloat("Mivo.QuestMap.ZoomedScale", 1.0f);
    static const float& finishedScale = WeConfig::GetFloat("Mivo.QuestMap.FinishedScale", 1.0f);
    const float s = (1.0f - zoom) * scale + zoom * zoomedScale;
    return selected ? s * finishedScale : s;
}

const int32_t* UserWords(const WeUIComponent* component)
{
    const auto* button = dynamic_cast<const WeUIButton*>(component);
    return button ? button->userWords : nullptr;
}

} // namespace

void MivoCityButtonStyle::Register()
{
    auto* style = new MivoCityButtonStyle();
    if (uiMain.RegisterStyle(style) != 0)
        delete style;
}

void MivoCityButtonStyle::SetPlace(WeUIButton& button, MivoPlaceState state, int32_t blinkSeed)
{
    button.userWords[kStateWord] = state;
    button.userWords[kSeedWord] = blinkSeed;
}

MivoPlaceState MivoCityButtonStyle::PlaceState(const WeUIComponent* component)
{
    const int32_t* words = UserWords(component);
    return words ? static_cast<MivoPlaceState>(words[kStateWord]) : PLACE_ABSENT;
}

int32_t MivoCityButtonStyle::BlinkSeed(const WeUIComponent* component)
{
    const int32_t* words = UserWords(component);
    return words ? words[kSeedWord] : 0;
}

void MivoCityButtonStyle::Draw(WeUIComponent* component)
{
    const bool open = PlaceState(component) == PLACE_OPEN;
    const WeColor& normal = component->normalColour;
    WeColor hover = component->hoverColour;
    float blink = 0.0f;
    if (open)
        blink = OpenBlink(BlinkSeed(component), timer.absoluteTime) * normal.a;
    else
        hover.a = 0.0f; // a place that cannot be played shows no hover layer
    // Hovering takes the glow's place, in step with the hover ramp.
    blink *= 1.0f - component->hoverColour.a;
    const WeColor glow{normal.r, normal.g, normal.b, blink};

    const float factor = SizeFactor(questMapZoom, component->selected);
    const auto scaled = [factor](int32_t side)
    { return static_cast<int32_t>(static_cast<float>(side) * factor); };
    DrawButton(component->x, component->y, scaled(component->w), scaled(component->h), component->selected,
               component->text, normal, hover, glow);
}
