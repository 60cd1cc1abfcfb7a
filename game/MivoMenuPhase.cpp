#include "MivoMenuPhase.h"

#include "MivoGame.h"
#include "MivoScreen.h"
#include "MivoUserData.h"
#include "WeAudioDevice.h"
#include "WeUIMain.h"

void MivoMenuPhase::Enter()
{
    if (gameApp.musicTrack != MivoGame::kMenuTrack)
    {
        // The playlist starts the menu track once channel 0 is free.
        audioDevice.StopMusic(0);
        gameApp.musicTrack = MivoGame::kMenuTrack;
    }
    uiMain.LoadComponents("MenuBack");
    ShowCurrentUser();
}

void MivoMenuPhase::ShowCurrentUser()
{
    if (WeUIComponent* label = MivoFindWidget("MenuOverlayCurrentUserLabel"))
    {
        const MivoUser* user = userData.CurrentUser();
        label->text = user ? user->name : WeString();
    }
}
