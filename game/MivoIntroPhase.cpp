#include "MivoIntroPhase.h"

#include "MivoGame.h"
#include "MivoMenuPhase.h"
#include "MivoScreen.h"
#include "WeConfig.h"
#include "WeTimer.h"
#include "WeUIMain.h"

#include <limits>

namespace
{

const char* const kWindow = "IntroWindow";

// A time of 0 or less (or not a number) must still run out, or the window, which no key can
// close, would stay for good: such an image stays for one frame.
float ImageTime()
{
    const float time = WeConfig::GetFloat("Mivo.Intro.ImageTime", 1.0f);
    return time > 0.0f ? time : std::numeric_limits<float>::min();
}

// A fade speed of 0 or less never ends a fade, and the intro waits for every fade to end: the
// widgets then keep the speed their style gave them.
void SetFade(WeUIComponent* widget, float fade)
{
    if (widget && fade > 0.0f)
        widget->fadeSpeed = fade;
}

} // namespace

void MivoIntroPhase::Enter()
{
    const float fade = WeConfig::GetFloat("Mivo.Intro.FadeDelta", 0.5f);
    uiMain.LoadComponents("Intro");
    uiMain.ShowComponent(kWindow);
    SetFade(MivoFindWidget(kWindow), fade);
    remainingTime = ImageTime();
    images = WeConfig::GetString("Mivo.Intro.Images", "");
    index = 0;
    for (int32_t i = 0;; ++i)
    {
        const WeString name = images.GetToken(',', i);
        if (name.IsEmpty())
            break;
        MivoSetWidgetShown(name, i == 0);
        SetFade(MivoFindWidget(name), fade);
    }
}

void MivoIntroPhase::Leave()
{
    uiMain.LoadComponents("MenuOverlay");
}

void MivoIntroPhase::NextImage()
{
    const WeString current = images.GetToken(',', index);
    const WeString next = images.GetToken(',', ++index);
    if (next.IsEmpty())
    {
        uiMain.CloseComponent(kWindow);
        return;
    }
    uiMain.HideComponent(current);
    MivoSetWidgetShown(next, true);
    uiMain.ShowComponent(next);
    remainingTime = ImageTime();
}

void MivoIntroPhase::Update()
{
    if (uiMain.showingCount != 0 || !uiMain.hiding.IsEmpty())
        return;
    if (remainingTime > 0.0f)
    {
        remainingTime -= timer.deltaTime;
        if (remainingTime <= 0.0f)
            NextImage();
        return;
    }
    if (MivoFindWidget(kWindow))
        return;
    gameApp.menuCursor = true;
    phaseStack.Request(&menuPhase, WePhaseCommand::Switch);
    phaseStack.Request(gameApp.MenuScreen(), WePhaseCommand::Push);
}
