#include "MivoMenuPhase.h"

#include "MivoGame.h"
#include "MivoScreen.h"
#include "MivoUserData.h"
#include "WeAudioDevice.h"
#include "WeUIMain.h"
#include "WeUIStyle.h"

#include <algorithm>
#include <cmath>

void MivoMenuPhase::Enter()
{
    if (gameApp.musicTrack != MivoGame::kMenuTrack)
    {
        // The playlist starts the menu track once channel 0 is free.
        audioDevice.StopMusic(0);
        gameApp.musicTrack = MivoGame::kMenuTrack;
    }
    uiMain.LoadComponents("MenuBack");
    if (WeUIComponent* backdrop = MivoFindWidget("MenuBackImage"))
        backdrop->onLayout = CoverWithPicture;
    ShowCurrentUser();
}

void MivoMenuPhase::CoverWithPicture(WeUIComponent* backdrop)
{
    int32_t pictureW = 0, pictureH = 0;
    if (backdrop->style && backdrop->style->texture)
        uiMain.painter->GetTextureSize(backdrop->style->texture, &pictureW, &pictureH);
    if (pictureW <= 0 || pictureH <= 0)
        return;
    const double scale =
        std::max(static_cast<double>(backdrop->w) / pictureW, static_cast<double>(backdrop->h) / pictureH);
    const int32_t w = WeUIPixels(std::round(pictureW * scale));
    const int32_t h = WeUIPixels(std::round(pictureH * scale));
    backdrop->x -= (w - backdrop->w) / 2;
    backdrop->y -= (h - backdrop->h) / 2;
    backdrop->w = w;
    backdrop->h = h;
}

void MivoMenuPhase::ShowCurrentUser()
{
    if (WeUIComponent* label = MivoFindWidget("MenuOverlayCurrentUserLabel"))
    {
        const MivoUser* user = userData.CurrentUser();
        label->text = user ? user->name : WeString();
    }
}
