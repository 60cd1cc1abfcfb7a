#include "MivoCreditsPhase.h"

#include "MivoFieldReader.h"
#include "MivoMainMenuPhase.h"
#include "MivoScreen.h"
#include "WeConfig.h"
#include "WeLocalization.h"
#include "WeTimer.h"
#include "WeUIMain.h"
#include "WeUIStyle.h"

#include <algorithm>

namespace
{

const char* const kWindow = "CreditsWindow";
const char* const kTextWindow = "CreditsTextWindow";

} // namespace

const char* MivoCreditsPhase::LineStyle(bool heading)
{
    return heading ? "MivoLabelCredits1" : "MivoLabelCredits2";
}

int32_t MivoCreditsPhase::CreateLines(const WeString& text)
{
    // No text is still one (empty) line.
    MivoFieldReader lines(text, '\n');
    bool heading = true;
    int32_t i = 0;
    while (!lines.AtEnd())
    {
        const WeString line = lines.Next();
        ++i;
        // The line stays out of the descriptor: its ':' and ',' would split the descriptor's
        // fields, and a leading '%' or a "UI: " key would be read as layout text.
        WeString descriptor = WeString("Label:") + kTextWindow + ":" + LineStyle(heading) + ":,0%0.5%0.5,";
        descriptor.AppendInt(kLineHeight * i);
        descriptor += ",500,50";
        WeString labelName("Label");
        labelName.AppendInt(i);
        if (WeUIComponent* label = uiMain.CreateComponent(labelName, descriptor))
            label->text = line;
        heading = line.IsEmpty();
    }
    return i;
}

void MivoCreditsPhase::ClipToPanel(WeUIComponent* textWindow)
{
    const WeUIComponent* panel = textWindow->parent;
    if (!panel)
        return;
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    if (const WeUIStyle* frame = panel->style)
    {
        left = frame->leftPx;
        top = frame->topPx;
        right = frame->rightPx;
        bottom = frame->bottomPx;
    }
    textWindow->clipRectEnabled = true;
    textWindow->clipX = panel->x + left;
    textWindow->clipY = panel->y + top;
    textWindow->clipW = std::max(0, panel->w - left - right);
    textWindow->clipH = std::max(0, panel->h - top - bottom);
}

void MivoCreditsPhase::Enter()
{
    returning = false;
    uiMain.LoadComponents("Credits");
    MivoSetClickId("CreditsBackButton", kBackId);
    if (WeUIComponent* textWindow = uiMain.GetComponent(kTextWindow))
    {
        textWindow->yR = kStartY;
        textWindow->onLayout = ClipToPanel;
    }
    CreateLines(localization.Translate("Mivo: Credits"));
    uiMain.ShowComponent(kWindow);
}

void MivoCreditsPhase::Leave()
{
    uiMain.CloseComponent(kWindow);
    if (WeUIComponent* window = uiMain.GetComponent(kWindow))
    {
        window->enabled = true;
        window->colour.a = 1.0f;
    }
}

bool MivoCreditsPhase::OnUIEvent(WeUIEvent* event)
{
    if (event->id != kBackId)
        return false;
    MivoPlaySelectionSound();
    ReturnToMainMenu();
    return true;
}

void MivoCreditsPhase::HandleInput()
{
    if (!MivoEscapeClicked())
        return;
    MivoPlaySelectionSound();
    WeUIEvent back = MivoMadeEvent(kBackId);
    OnUIEvent(&back);
}

void MivoCreditsPhase::Update()
{
    static const float& speed = WeConfig::GetFloat("Mivo.Credits.RelYFactor", 0.05f);
    WeUIComponent* textWindow = uiMain.GetComponent(kTextWindow);
    if (!textWindow)
        return;
    textWindow->yR -= speed * timer.deltaTime;
    if (!(textWindow->yR > kEndY))
        ReturnToMainMenu();
}

// Back, Escape and the end of the scroll can meet in one frame; the main menu is entered once.
void MivoCreditsPhase::ReturnToMainMenu()
{
    if (returning)
        return;
    returning = true;
    phaseStack.Request(&mainMenuPhase, WePhaseCommand::Switch);
}
