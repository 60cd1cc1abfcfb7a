#include "MivoOptionsPhase.h"

#include "MivoConfirmationPhase.h"
#include "MivoGame.h"
#include "MivoGameScene.h"
#include "MivoMainMenuPhase.h"
#include "MivoMenuIngamePhase.h"
#include "MivoPlayGamePhase.h"
#include "MivoPlayerFile.h"
#include "MivoScreen.h"
#include "WeAudioDevice.h"
#include "WeConfig.h"
#include "WeEngine.h"
#include "WeLocalization.h"
#include "WeRenderDevice.h"
#include "WeTimer.h"
#include "WeUICheckBox.h"
#include "WeUIComboBox.h"
#include "WeUIMain.h"
#include "WeUIScrollBar.h"
#include "win32/Win32Window.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace
{

const char* const kWindow = "OptionsWindowRoot";
const char* const kResolutionEdit = "OptionsResolutionEdit";
const char* const kWindowedBox = "OptionsWindowedCheckBox";
const char* const kBloomBox = "OptionsBloomCheckBox";
constexpr float kTestSoundGap = 1.0f;
constexpr int32_t kNoBestYet = 1000000;

template <typename T> T* Widget(const char* name)
{
    return dynamic_cast<T*>(MivoFindWidget(name));
}

void SetScrollBar(const char* name, int32_t id, float value)
{
    if (auto* bar = Widget<WeUIScrollBar>(name))
    {
        bar->SetValue(value);
        bar->onValueChanged = {id, nullptr};
    }
}

float ScrollValue(const WeUIEvent* event)
{
    const auto* bar = dynamic_cast<const WeUIScrollBar*>(event->source);
    return bar ? bar->value : 0.0f;
}

bool Checked(const char* name)
{
    const auto* box = Widget<WeUICheckBox>(name);
    return box && box->isChecked;
}

void SetChecked(const char* name, bool checked)
{
    if (auto* box = Widget<WeUICheckBox>(name))
        box->isChecked = checked;
}

WeString EditText()
{
    const WeUIComponent* edit = MivoFindWidget(kResolutionEdit);
    return edit ? edit->text : WeString();
}

// Display mode 3 in a window; full screen first exclusive (0), then as a maximised window (1).
bool ApplyDisplay(bool windowed)
{
    engine.settings.displayMode = windowed ? 3 : 0;
    if (engine.ChangeDisplayMode())
        return true;
    engine.settings.displayMode = windowed ? 3 : 1;
    return engine.ChangeDisplayMode();
}

void AppendLine(WeString& text, const char* key, const WeString& value)
{
    text += key;
    text += value;
    text += "\n";
}

WeString Decimal(int32_t value)
{
    WeString text;
    text.AppendInt(value);
    return text;
}

// Six decimals, the same in every locale.
WeString Fixed6(float value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    return result.ec == std::errc() ? WeString(text, static_cast<int32_t>(result.ptr - text)) : WeString("0");
}

} // namespace

WeString MivoOptionsPhase::ResolutionText(int32_t width, int32_t height)
{
    return Decimal(width) + " x " + Decimal(height);
}

bool MivoOptionsPhase::ParseResolution(const WeString& text, int32_t& width, int32_t& height)
{
    const int32_t split = text.Find(" x ");
    if (split <= 0)
        return false;
    const WeString first = text.Substring(0, split), second = text.Substring(split + 3, text.GetLength());
    for (const WeString* part : {&first, &second})
    {
        if (part->IsEmpty() || part->GetLength() > 5)
            return false;
        for (int32_t i = 0; i < part->GetLength(); ++i)
            if ((*part)[i] < '0' || (*part)[i] > '9')
                return false;
    }
    width = first.ToInt();
    height = second.ToInt();
    return true;
}

void MivoOptionsPhase::ListModes(const WeList<WeDisplayModeSize>& modes, bool windowed, int32_t maxWidth,
                                 int32_t maxHeight, int32_t width, int32_t height,
                                 std::vector<WeString>& texts, int32_t& outWidth, int32_t& outHeight)
{
    outWidth = width;
    outHeight = height;
    texts.clear();
    int64_t best = kNoBestYet;
    for (const WeDisplayModeSize& mode : modes)
    {
        if (windowed && (mode.width > maxWidth || mode.height > maxHeight))
            continue;
        const int64_t distance =
            std::llabs(int64_t(mode.width) - width) + std::llabs(int64_t(mode.height) - height);
        if (distance < best)
        {
            best = distance;
            outWidth = mode.width;
            outHeight = mode.height;
        }
        WeString text = ResolutionText(mode.width, mode.height);
        if (std::find(texts.begin(), texts.end(), text) == texts.end())
            texts.push_back(text);
    }
}

void MivoOptionsPhase::ListResolutions(bool windowed, int32_t width, int32_t height, int32_t& outWidth,
                                       int32_t& outHeight)
{
    const int32_t frame = 2 * win32::GetSystemMetrics(win32::SM_CXFIXEDFRAME);
    const int32_t maxWidth = win32::GetSystemMetrics(win32::SM_CXSCREEN) - frame;
    const int32_t maxHeight =
        win32::GetSystemMetrics(win32::SM_CYSCREEN) - frame - win32::GetSystemMetrics(win32::SM_CYCAPTION);
    renderDevice.EnumerateDisplayModes();
    ListModes(renderDevice.displayModes, windowed, maxWidth, maxHeight, width, height, resolutions, outWidth,
              outHeight);
}

void MivoOptionsPhase::Enter()
{
    uiMain.LoadComponents("Options");
    MivoSetClickId("OptionsBackButton", kBackId);
    int32_t width = 0, height = 0;
    ListResolutions(gameApp.windowed, engine.settings.width, engine.settings.height, width, height);
    resolutionAtEntry = ResolutionText(width, height);
    ShowResolution(resolutionAtEntry);
    MivoSetClickId("OptionsResolutionLeft", kResolutionLeftId);
    MivoSetClickId("OptionsResolutionRight", kResolutionRightId);

    SetScrollBar("OptionsMusicScrollbar", kMusicId, audioDevice.GetMusicVolume(0));
    // The player's own volume, also while the effects are muted in the background.
    SetScrollBar("OptionsSoundScrollbar", kSoundId, audioDevice.GetSoundVolume());
    SetScrollBar("OptionsBrightnessScrollbar", kBrightnessId, gameApp.brightness);

    if (auto* languages = Widget<WeUIComboBox>("OptionsLanguageCombo"))
    {
        WeList<WeString> names;
        localization.GetLanguageNames(names);
        languages->SetItems(names);
        languages->SelectItem(localization.currentIndex, -1);
        languages->onChanged = {kLanguageId, nullptr};
    }
    MivoSetClickId(kBloomBox, kBloomId);
    SetChecked(kBloomBox, gameApp.bloom);
    SetChecked(kWindowedBox, gameApp.windowed);
    if (openedFromMainMenu)
        MivoSetClickId(kWindowedBox, kWindowedId);
    else
    {
        MivoDimWindow(kWindowedBox);
        MivoDimWindow("OptionsWindowedLabel");
    }
    lastTestSound = -1.0f;
    uiMain.ShowComponent(kWindow);
}

void MivoOptionsPhase::Leave()
{
    if (gameApp.windowed == gameApp.windowedAtStart && !gameApp.restartPending)
        ApplyResolution();
    if (gameApp.windowed != gameApp.windowedAtStart)
        gameApp.restartPending = true;
    uiMain.CloseComponent(kWindow);
    SaveOptions();
}

void MivoOptionsPhase::ApplyResolution()
{
    const WeString chosen = EditText();
    int32_t width = 0, height = 0;
    if (chosen == resolutionAtEntry || !ParseResolution(chosen, width, height))
        return;
    engine.settings.width = width;
    engine.settings.height = height;
    if (ApplyDisplay(gameApp.windowed) || !ParseResolution(resolutionAtEntry, width, height))
        return;
    engine.settings.width = width;
    engine.settings.height = height;
    ApplyDisplay(gameApp.windowed);
}

WeString MivoOptionsPhase::OptionsFileText()
{
    WeString text("[Options]\n");
    AppendLine(text, "ResolutionWidth=", Decimal(engine.settings.width));
    AppendLine(text, "ResolutionHeight=", Decimal(engine.settings.height));
    // The player's own volume: a save while muted in the background must not silence the game.
    AppendLine(text, "SoundVolume=", Fixed6(audioDevice.GetSoundVolume()));
    AppendLine(text, "MusicVolume=", Fixed6(audioDevice.GetMusicVolume(0)));
    AppendLine(text, "Brightness=", Fixed6(gameApp.brightness));
    AppendLine(text, "Language=", localization.GetLanguageName());
    AppendLine(text, "Bloom=", gameApp.bloom ? "1" : "0");
    AppendLine(text, "Windowed=", gameApp.windowed ? "1" : "0");
    return text;
}

bool MivoOptionsPhase::SaveOptions()
{
    const WeString text = OptionsFileText();
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.GetData());
    // Without a player folder there is no file to write.
    const bool saved = !gameApp.optionsPath.IsEmpty() &&
                       MivoWritePlayerFile((gameApp.optionsPath + ".ini").GetData(),
                                           std::vector<uint8_t>(bytes, bytes + text.GetLength()));
    optionsPhase.optionsOwed = !saved;
    // A file that was not written holds older options than those in use.
    if (saved)
        WeConfig::Load(gameApp.optionsKey);
    return saved;
}

bool MivoOptionsPhase::OnUIEvent(WeUIEvent* event)
{
    switch (event->id)
    {
    case kMusicId:
        audioDevice.SetMusicVolume(ScrollValue(event), 0);
        return true;
    case kSoundId:
        audioDevice.SetSoundVolume(ScrollValue(event));
        PlayTestSound();
        return true;
    case kBrightnessId:
        gameApp.brightness = ScrollValue(event);
        ChangeBrightness();
        return true;
    case kLanguageId:
        ChangeLanguage();
        return true;
    case kBloomId:
        ChangeBloom();
        return true;
    case kResolutionLeftId:
    case kResolutionRightId:
        StepResolution(event->id == kResolutionLeftId ? -1 : 1);
        return true;
    case kWindowedId:
        ChangeWindowed();
        return true;
    case kBackId:
        MivoPlaySelectionSound();
        if (gameApp.windowed == gameApp.windowedAtStart)
            Return();
        else
            confirmationPhase.Show("Medium", "UI: Restart game to apply",
                                   &MivoOptionsPhase::OnRestartAnswered, true);
        return true;
    default:
        return false;
    }
}

void MivoOptionsPhase::HandleInput()
{
    if (!MivoEscapeClicked())
        return;
    MivoPlaySelectionSound();
    WeUIEvent back = MivoMadeEvent(kBackId);
    OnUIEvent(&back);
}

void MivoOptionsPhase::ShowResolution(const WeString& text)
{
    MivoSetWidgetText(kResolutionEdit, text);
}

void MivoOptionsPhase::StepResolution(int32_t step)
{
    const auto shown = std::find(resolutions.begin(), resolutions.end(), EditText());
    if (shown == resolutions.end())
        return;
    const int32_t index = static_cast<int32_t>(shown - resolutions.begin()) + step;
    ShowResolution(resolutions[std::clamp(index, 0, static_cast<int32_t>(resolutions.size()) - 1)]);
}

void MivoOptionsPhase::ChangeWindowed()
{
    gameApp.windowed = Checked(kWindowedBox);
    int32_t width = 0, height = 0;
    ParseResolution(EditText(), width, height);
    int32_t outWidth = 0, outHeight = 0;
    ListResolutions(gameApp.windowed, width, height, outWidth, outHeight);
    ShowResolution(ResolutionText(outWidth, outHeight));
}

void MivoOptionsPhase::ChangeBloom()
{
    gameApp.bloom = Checked(kBloomBox);
    gameApp.ApplyBloom();
    if (!ApplyDisplay(gameApp.windowed))
    {
        // The device cannot show bloom: the option goes back.
        gameApp.bloom = false;
        SetChecked(kBloomBox, false);
        gameApp.ApplyBloom();
        ApplyDisplay(gameApp.windowed);
    }
    phaseStack.Request(this, WePhaseCommand::Switch);
}

void MivoOptionsPhase::ChangeLanguage()
{
    MivoPlaySelectionSound();
    const auto* languages = Widget<WeUIComboBox>("OptionsLanguageCombo");
    localization.SelectLanguage(languages ? languages->GetSelectedIndex() : 0);
    gameApp.KeyboardLayoutForLanguage();
    // Entered again, with the texts of the new language.
    phaseStack.Request(this, WePhaseCommand::Switch);
}

void MivoOptionsPhase::ChangeBrightness()
{
    if (openedFromMainMenu || !playGamePhase.scene)
        return;
    WeSceneConfig& config = playGamePhase.scene->config;
    config.Brightness = gameApp.brightness - 0.5f;
    config.SetupRenderDevice();
}

void MivoOptionsPhase::PlayTestSound()
{
    const float now = timer.absoluteTimeFloat;
    if (lastTestSound >= 0.0f && now - lastTestSound <= kTestSoundGap)
        return;
    WePlaySound("Sound.Effects.mi_TestSound");
    lastTestSound = now;
}

void MivoOptionsPhase::Return()
{
    WeAbstractPhase* back =
        optionsPhase.openedFromMainMenu ? static_cast<WeAbstractPhase*>(&mainMenuPhase) : &menuIngamePhase;
    phaseStack.Request(back, WePhaseCommand::Switch);
}

void MivoOptionsPhase::OnRestartAnswered(bool)
{
    optionsPhase.Return();
}
