#include "MivoScreen.h"

#include "WeAudioDevice.h"
#include "WeConfig.h"
#include "WeInput.h"
#include "WeLocalization.h"
#include "WeUIMain.h"
#include "WeUIMultiList.h"

namespace
{

constexpr float kDimmedAlpha = 0.5f;

void SetUsable(const WeString& name, bool enabled, float alpha)
{
    if (WeUIComponent* widget = MivoFindWidget(name))
    {
        widget->enabled = enabled;
        widget->colour.a = alpha;
    }
}

} // namespace

WeUIComponent* MivoFindWidget(const WeString& name)
{
    return uiMain.GetComponent(name);
}

void MivoSetClickId(const WeString& name, int32_t id)
{
    if (WeUIComponent* button = MivoFindWidget(name))
        button->onMouseUp = {id, nullptr};
}

void MivoSetWidgetText(const WeString& name, const WeString& text)
{
    if (WeUIComponent* widget = MivoFindWidget(name))
        widget->text = text;
}

void MivoSetWidgetNumber(const WeString& name, int32_t value)
{
    WeString text;
    text.AppendInt(value);
    MivoSetWidgetText(name, text);
}

void MivoSetWidgetShown(const WeString& name, bool shown)
{
    SetUsable(name, shown, shown ? 1.0f : 0.0f);
}

void MivoDimWindow(const WeString& name)
{
    SetUsable(name, false, kDimmedAlpha);
}

void MivoUndimWindow(const WeString& name)
{
    SetUsable(name, true, 1.0f);
}

WeUIEvent MivoMadeEvent(int32_t id)
{
    WeUIEvent event;
    event.id = id;
    return event;
}

int32_t MivoRemappedMap(int32_t region, int32_t table)
{
    WeString key("Mivo.Remap.Map");
    key.AppendInt(region);
    key.AppendInt(table, 3);
    return WeConfig::GetInt(key, 0);
}

WeString MivoMapName(int32_t mapId)
{
    WeString key("db");
    key.AppendInt(mapId / 1000, 3);
    key += ".Table";
    key.AppendInt(mapId % 1000);
    const WeString name = WeConfig::GetString(key + ".Name", "");
    const WeString translated = "Map: " + name;
    return localization.HasKey(translated) ? localization.Translate(translated) : name;
}

void MivoPlaySelectionSound()
{
    WePlaySound("Sound.Effects.mm_izbor");
}

bool MivoEscapeClicked()
{
    return input.UseKeyClicked(kMivoEscapeKey);
}

void MivoTakeAllClicks()
{
    for (int32_t key = 0; key < WeInput::kKeyCount; ++key)
        input.UseKeyClicked(key);
    for (int32_t button = 0; button < WeInput::kMouseButtonCount; ++button)
        input.UseMouseClicked(button);
    for (int32_t button = 0; button < WeInput::kJoyButtonCount; ++button)
        input.UseJoyClicked(button);
}

bool MivoScrollRowIntoView(WeUIMultiList& list, int32_t row)
{
    const WeUIComponent* cell = list.GetCell(0, row);
    if (!cell)
        return true;
    if (list.h <= 0)
        return false;
    // The rows as they stand now, not as the last frame laid them out.
    list.UpdateLayout(true, true);
    const WeUIScrollFrame& frame = *list.scrollFrame;
    const int32_t overflow = frame.contents->h - frame.viewH;
    if (overflow <= 0)
        return true;
    const int32_t top = cell->y - frame.contents->y;
    int32_t offset = WeScrollOffset(frame.contents->h, frame.viewH, frame.vScroll->value);
    if (top < offset)
        offset = top;
    else if (top + cell->h > offset + frame.viewH)
        offset = top + cell->h - frame.viewH;
    frame.vScroll->SetValue(static_cast<float>(offset) / static_cast<float>(overflow));
    list.UpdateLayout(true, true);
    return true;
}
