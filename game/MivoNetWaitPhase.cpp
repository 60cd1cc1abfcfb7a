#include "MivoNetWaitPhase.h"

#include "MivoScoreClient.h"
#include "MivoScreen.h"
#include "WeLocalization.h"
#include "WeTimer.h"
#include "WeUIMain.h"

namespace
{
const char kWindow[] = "NetWindow";
const char kText[] = "NetText";
const char kButton[] = "NetCancel";
} // namespace

void MivoNetWaitPhase::Enter()
{
    waiting = 1;
    popQueued = false;
    outcome = Outcome::Waiting;
    uiMain.LoadComponents("Net");
    uiMain.SetModalComponent(kWindow);
    uiMain.ShowComponent(kWindow);
    MivoSetClickId(kButton, kCancelId);
    elapsed = 0.0f;
}

void MivoNetWaitPhase::Leave()
{
    if (WeUIComponent* window = MivoFindWidget(kWindow); window && uiMain.modal == window)
        uiMain.ClearModalComponent();
    uiMain.CloseComponent(kWindow);
}

void MivoNetWaitPhase::ShowError(Outcome why)
{
    outcome = why;
    scoreClient.EndRequest();
    if (WeUIComponent* text = MivoFindWidget(kText))
        text->text = localization.Translate("UI: NET Error");
    if (WeUIComponent* button = MivoFindWidget(kButton))
        button->text = localization.Translate("UI: Ok");
}

void MivoNetWaitPhase::Update()
{
    if (!waiting)
        return;
    elapsed += timer.deltaTime;
    if (elapsed > kTimeLimit)
        ShowError(Outcome::TimedOut);
    else
    {
        scoreClient.Poll();
        if (scoreClient.state == MivoScoreClient::Running)
            return;
        if (scoreClient.state == MivoScoreClient::Failed)
            ShowError(Outcome::Failed);
        else
        {
            outcome = Outcome::Done;
            WeUIEvent done = MivoMadeEvent(kDoneId);
            OnUIEvent(&done);
        }
    }
    waiting = 0;
}

bool MivoNetWaitPhase::OnUIEvent(WeUIEvent* event)
{
    if (event->id != kCancelId && event->id != kDoneId)
        return true;
    // A second click in the same frame must not pop the screen beneath.
    if (popQueued)
        return true;
    popQueued = true;
    waiting = 0;
    if (outcome == Outcome::Waiting)
        outcome = Outcome::Cancelled;
    scoreClient.EndRequest();
    phaseStack.Request(nullptr, WePhaseCommand::Pop);
    return true;
}

void MivoNetWaitPhase::HandleInput()
{
    if (MivoEscapeClicked())
    {
        WeUIEvent cancel = MivoMadeEvent(kCancelId);
        OnUIEvent(&cancel);
    }
    MivoTakeAllClicks();
}
