// The play phase's display and the end of a level: the map name, score, best score, time and
// moves labels, the time bar, the bonus cubes of the skill mode, and the results that book a
// level and lead to the statistic screen.
#include "MivoBoard.h"
#include "MivoConfirmationPhase.h"
#include "MivoGame.h"
#include "MivoGameScene.h"
#include "MivoMenuIngamePhase.h"
#include "MivoPlayGamePhase.h"
#include "MivoScreen.h"
#include "MivoStatisticPhase.h"
#include "MivoUserData.h"
#include "WeAudioDevice.h"
#include "WeConfig.h"
#include "WeLocalization.h"
#include "WeUIMain.h"

#include <algorithm>
#include <cmath>

namespace
{

WeString Numbered(const char* prefix, int32_t n, const char* suffix = "")
{
    return WeString(prefix).AppendInt(n) + suffix;
}

WeString CubeName(int32_t cube, const char* suffix = "")
{
    return Numbered("IngameBonusCube", cube, suffix);
}

void SetAlpha(const WeString& name, float alpha)
{
    if (WeUIComponent* component = MivoFindWidget(name))
        component->colour.a = alpha;
}

void SetVisible(const WeString& name, bool visible)
{
    if (WeUIComponent* component = MivoFindWidget(name))
        component->visible = visible;
}

void SetText(WeUIComponent* label, const WeString& text)
{
    if (label)
        label->text = text;
}

// The cube and its count label at full alpha while the player can pay for it.
void ShowCubeStock(int32_t cube, int32_t stock)
{
    const float alpha = stock < MivoPlayGamePhase::kCubePrice ? 0.5f : 1.0f;
    SetAlpha(CubeName(cube), alpha);
    SetAlpha(CubeName(cube, "Count"), alpha);
}

int32_t CubeStock(int32_t cube)
{
    const MivoUser* user = userData.CurrentUser();
    return user ? user->skill.cubes[cube - 1] : 0;
}

void SetStatisticBonusLevel()
{
    statisticPhase.bonusLevel = userData.bonusIndex != -1;
}

} // namespace

// ---- the display ----

void MivoPlayGamePhase::DrawLifeBar(WeUIComponent* component)
{
    const MivoPlayGamePhase& play = playGamePhase;
    component->clipRectEnabled = true;
    component->clipX = component->x;
    component->clipY = component->y;
    component->clipW = component->w;
    component->clipH = component->h;
    if (play.timeLimit <= 0.0f)
        return;
    static const float& left = WeConfig::GetFloat("Mivo.GamePlay.LifebarLeft", 0.0f);
    static const float& right = WeConfig::GetFloat("Mivo.GamePlay.LifebarRight", 1.0f);
    const float f = 1.0f - play.elapsed / play.timeLimit;
    const float share = std::clamp(left + (right - left) * f, 0.0f, 1.0f);
    component->clipW = static_cast<int32_t>(share * static_cast<float>(component->w));
}

void MivoPlayGamePhase::UpdateMapLabel()
{
    WeUIComponent* label = MivoFindWidget("IngameMapName");
    if (!label)
        return;
    const int32_t id = gameApp.mapToPlay;
    WeString key("db");
    key.AppendInt(id / 1000, 3);
    key += ".Table";
    key.AppendInt(id - id / 1000 * 1000);
    WeString name = WeConfig::GetString(key + ".Name", "");
    if (localization.HasKey("Map: " + name))
        name = localization.Translate("Map: " + name);
    if (gameApp.questPlace == -1)
    {
        label->text = name;
        return;
    }
    const int32_t place = userData.currentPlace;
    WeString placeKey("City: ");
    if (userData.bonusIndex == -1)
    {
        placeKey += "Region";
        placeKey.AppendInt(place / 1000 + 1, 2);
        placeKey += "City";
        placeKey.AppendInt(place % 1000 + 1);
    }
    else
    {
        placeKey += "Teleport";
        placeKey.AppendInt(place % 1000 + 1, 2);
    }
    label->text = localization.Translate(placeKey) + " - " + name;
}

void MivoPlayGamePhase::UpdateBonusCube()
{
    UpdateMapLabel();
    const bool skill = userData.gameMode == MivoModeSkill;
    for (int32_t cube = 1; cube <= kCubeCount; ++cube)
    {
        MivoSetClickId(CubeName(cube), kFirstCubeId + cube);
        const WeString hint = Numbered("IngameBonusCubeHint", cube);
        SetText(MivoFindWidget(hint), localization.Translate(Numbered("Hint: BonusCube", cube)));
        SetVisible(hint, false);
        SetVisible(CubeName(cube), skill);
        SetVisible(CubeName(cube, "Count"), skill);
        if (skill)
            ShowCubeStock(cube, CubeStock(cube));
    }
    MivoSetClickId("IngameMenuButton", kPauseId);
}

void MivoPlayGamePhase::UpdateMovesLabel()
{
    const MivoUser* user = userData.CurrentUser();
    const int32_t mode = userData.gameMode;
    int32_t score = 0;
    if (user && mode == MivoModeQuest)
        score = MivoScoreSum({user->quest.score, userData.cityRunPoints, userData.levelScore});
    else if (user && mode == MivoModeSkill)
        score = MivoScoreSum({user->skill.score, userData.levelScore});
    const int32_t difficulty = mode == MivoModeQuest && user ? user->quest.difficulty : 0;
    const float seconds = timeLimit > 0.0f ? timeLimit - elapsed : elapsed;

    SetText(scoreLabel, WeString().AppendInt(score));
    SetText(hiScoreLabel, WeString().AppendInt(userData.TopScore(mode, difficulty)));
    SetText(timeLabel, WeString().AppendInt(static_cast<int32_t>(std::trunc(seconds))));
    WeString moves;
    if (!(mode == MivoModeQuest && difficulty == 1))
        moves = localization.Translate("UI: Moves") + ": " + WeString().AppendInt(userData.moves);
    SetText(movesLabel, moves);

    for (int32_t cube = 1; cube <= kCubeCount; ++cube)
    {
        if (WeUIComponent* button = MivoFindWidget(CubeName(cube)))
        {
            button->onMouseEnter = {kHintShowId + cube, nullptr};
            button->onMouseLeave = {kHintHideId + cube, nullptr};
        }
        if (mode == MivoModeSkill)
            SetText(MivoFindWidget(CubeName(cube, "Count")), "x " + WeString().AppendInt(CubeStock(cube)));
    }
}

bool MivoPlayGamePhase::UseBonusCube(int32_t cube)
{
    MivoUser* user = userData.CurrentUser();
    if (userData.gameMode != MivoModeSkill || !user || cube < 1 || cube > kCubeCount ||
        user->skill.cubes[cube - 1] < kCubePrice)
        return false;
    userData.usedCube = cube;
    user->skill.cubes[cube - 1] -= kCubePrice;
    WePlaySound("Sound.Effects.mi_bonus");
    ShowCubeStock(cube, user->skill.cubes[cube - 1]);
    return true;
}

void MivoPlayGamePhase::ShowStatistic()
{
    playing = false;
    if (scene)
    {
        scene->config.Brightness = -0.5f;
        scene->config.Contrast = 0.0f;
        scene->config.SetupRenderDevice();
    }
    uiMain.CloseComponent("IngameWindow");
    phaseStack.Request(&statisticPhase, WePhaseCommand::Push);
}

// ---- bonus cubes ----

void MivoPlayGamePhase::UseCubeEvent(int32_t cube, bool free)
{
    if (level.usedBonusCube)
        return;
    if (free || UseBonusCube(cube))
        ApplyCube(cube);
    level.usedBonusCube = 1;
    for (int32_t i = 1; i <= kCubeCount; ++i)
    {
        SetAlpha(CubeName(i), 0.5f);
        SetAlpha(CubeName(i, "Count"), 0.5f);
    }
}

void MivoPlayGamePhase::ApplyCube(int32_t cube)
{
    static constexpr float kExtraSeconds[] = {10.0f, 30.0f, 60.0f, 90.0f, 120.0f};
    if (cube >= 1 && cube <= 5)
    {
        timeLimit += kExtraSeconds[cube - 1];
        return;
    }
    MivoUser* user = userData.CurrentUser();
    switch (cube)
    {
    case 6:
        if (user)
            UpdateLivesLabel(++user->skill.lives);
        break;
    case 7:
    case 8:
        timeLimit = 0.0f;
        for (const char* name :
             {"IngameProgressBar1", "IngameProgressBar2", "IngameProgressBar3", "IngameTime"})
            SetVisible(name, false);
        break;
    case 9:
        LevelWon();
        break;
    default:
        break;
    }
}

// ---- level results ----

void MivoPlayGamePhase::LevelWon()
{
    SetStatisticBonusLevel();
    userData.FinishLevel(gameApp.mapToPlay, timeLimit, elapsed);
    ShowStatistic();
}

void MivoPlayGamePhase::LevelLostOnTime()
{
    SetStatisticBonusLevel();
    userData.BeginLevel(false);
    // The label above the lose screen counts the life just lost, as the screen does.
    UpdateLivesLabel(userData.outOfLives ? 0 : -1);
    ShowStatistic();
}

void MivoPlayGamePhase::ConfirmLeave()
{
    if (userData.gameMode == MivoModeSkill)
        confirmationPhase.Show("Medium", "UI: Are you sure lose life", LeaveConfirmed, false);
    else
        confirmationPhase.Show("1", "UI: Are you sure", LeaveConfirmed, false);
}

void MivoPlayGamePhase::LeaveConfirmed(bool yes)
{
    if (!yes)
        return;
    if (menuIngamePhase.open)
        phaseStack.Request(nullptr, WePhaseCommand::Pop);
    playGamePhase.AbandonLevel();
}

void MivoPlayGamePhase::AbandonLevel()
{
    board->Clear();
    MivoUser* user = userData.CurrentUser();
    if (userData.gameMode != MivoModeSkill || !user)
    {
        phaseStack.Request(this, WePhaseCommand::Switch);
        return;
    }
    if (user->skill.lives <= 1)
    {
        SetStatisticBonusLevel();
        userData.BeginLevel(false);
        ShowStatistic();
        UpdateLivesLabel(0);
        return;
    }
    --user->skill.lives;
    UpdateLivesLabel(-1);
    phaseStack.Request(this, WePhaseCommand::Switch);
}
