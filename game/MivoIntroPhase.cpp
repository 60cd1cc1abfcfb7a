#include "MivoIntroPhase.h"

#include "MivoGame.h"
#include "MivoMenuPhase.h"
#include "MivoScreen.h"
#include "WeConfig.h"
#include "WeTimer.h"
#include "WeUIMain.h"

namespace
{

const char* const kWindow = "IntroWindow";

float ImageTime()
{
    return WeConfig::GetFloat("Mivo.Intro.ImageTime", 1.0f);
}

} // namespace

void MivoIntroPhase::Enter()
{
    const float fade = WeConfig::GetFloat("Mivo.Intro.FadeDelta", 0.5f);
    uiMain.LoadComponents("Intro");
    uiMain.ShowComponent(kWindow);
    if (WeUIComponent* window = MivoFindWidget(kWindow))
        window->fadeSpeed = fade;
    remainingTime = ImageTime();
    images = WeConfig::GetString("Mivo.Intro.Images", "");
    index = 0;
    for (int32_t i = 0;; ++i)
    {
        const WeString name = images.GetToken(',', i);
        if (name.IsEmpty())
            break;
        MivoSetWidgetShown(name, i == 0);
        if (WeUIComponent* image = MivoFindWidget(name))
            image->fadeSpeed = fade;
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
