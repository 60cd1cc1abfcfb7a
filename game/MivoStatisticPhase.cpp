#include "MivoStatisticPhase.h"

#include "MivoMenuPhase.h"
#include "MivoNetWaitPhase.h"
#include "MivoNewGamePhase.h"
#include "MivoPlayGamePhase.h"
#include "MivoPracticePhase.h"
#include "MivoQuestPhase.h"
#include "MivoScreen.h"
#include "MivoSkillPhase.h"
#include "MivoUserData.h"
#include "WeAudioDevice.h"
#include "WeConfig.h"
#include "WeLocalization.h"
#include "WeRandom.h"
#include "WeTimer.h"
#include "WeUIMain.h"

#include <cmath>
#include <numbers>

namespace
{

const char* const kStatisticWindow = "StatisticWindow";
const char* const kLoseWindow = "LoseWindow";
const char* const kEndGameWindow = "EndGameWindow";
constexpr int32_t kAvatarCount = 3;
constexpr int32_t kEndGameFact = 50;

void Hide(std::initializer_list<const char*> names)
{
    for (const char* name : names)
        MivoSetWidgetShown(name, false);
}

WeString Numbered(const char* prefix, int32_t n, int32_t minDigits = 0)
{
    WeString name(prefix);
    name.AppendInt(n, minDigits);
    return name;
}

WeString CurrentUserName()
{
    const MivoUser* user = userData.CurrentUser();
    return user ? user->name : WeString();
}

void ShowTimeAndMovesBonus()
{
    MivoSetWidgetNumber("StatisticInfoTime", userData.timeBonus);
    MivoSetWidgetNumber("StatisticInfoMoves", userData.movesBonus);
}

// Of the nine cube pictures only that of the kind (none for 0); their common label stays hidden.
void ShowCubePicture(int32_t kind)
{
    MivoSetWidgetShown("StatisticInfoBonusCube", false);
    for (int32_t k = 1; k <= kMivoCubeKinds; ++k)
        MivoSetWidgetShown(Numbered("StatisticInfoBonusCube", k), k == kind);
}

// The menu background at the bottom, in place of the level, and `screen` over it.
void BackToMenus(WeAbstractPhase* screen)
{
    phaseStack.Request(&menuPhase, WePhaseCommand::Switch);
    phaseStack.Request(screen, WePhaseCommand::Push);
}

} // namespace

// ---- shared ----

void MivoResultPhase::HandleInput()
{
    if (!MivoEscapeClicked())
        return;
    WeUIEvent ok = MivoMadeEvent(kOkId);
    OnUIEvent(&ok);
}

void MivoStatisticPhase::ShowFact(const char* prefix, int32_t k)
{
    const WeString fact = Numbered("Fact", k);
    MivoSetWidgetText(WeString(prefix) + "Headline", localization.Translate(fact + ":Headline"));
    MivoSetWidgetText(WeString(prefix) + "Text", localization.Translate(fact + ":Text"));
    const int32_t chosen = 1 + WeRand() * kAvatarCount / (WE_RAND_MAX + 1);
    for (int32_t n = 1; n <= kAvatarCount; ++n)
        MivoSetWidgetShown(Numbered((WeString(prefix) + "MivoAvatar").GetData(), n, 2), n == chosen);
}

// ---- statistic ----

void MivoStatisticPhase::Enter()
{
    left = userData.noLifeLost;
    lost = userData.levelRunning;
    if (left)
    {
        WeUIEvent ok = MivoMadeEvent(kOkId);
        OnUIEvent(&ok);
        return;
    }
    if (lost)
        ShowLoseScreen();
    else
        ShowWonScreen();
}

void MivoStatisticPhase::ShowLoseScreen()
{
    WePlaySound("Sound.Effects.mi_Lose");
    uiMain.LoadComponents("Lose");
    const MivoUser* user = userData.CurrentUser();
    const bool skill = userData.gameMode == MivoModeSkill && user;
    MivoSetWidgetShown("LoseLifesLabel", skill);
    if (skill)
    {
        WeString text = localization.Translate("UI: Lives") + ": ";
        text.AppendInt(userData.outOfLives ? 0 : user->skill.lives);
        MivoSetWidgetText("LoseLifesLabel", text);
    }
    MivoSetClickId("LoseOkButton", kOkId);
    uiMain.ShowComponent(kLoseWindow);
}

void MivoStatisticPhase::ShowWonScreen()
{
    WePlaySound("Sound.Effects.mi_Win");
    uiMain.LoadComponents("Statistic");
    MivoSetClickId("StatisticNextButton", kOkId);
    const int32_t mode = userData.gameMode;
    const int32_t level = userData.CurrentLevelNumber(mode);
    const MivoUser* user = userData.CurrentUser();
    switch (mode)
    {
    case MivoModePractice:
        Hide({"StatisticCongratulationsLabel", "StatisticInfoWindow"});
        break;
    case MivoModeSkill:
        Hide({"StatisticCongratulationsLabelPractice", "StatisticInfoLevelBonusText",
              "StatisticInfoLevelBonus"});
        ShowTimeAndMovesBonus();
        MivoSetWidgetNumber("StatisticInfoBonusCube", userData.awardedCube);
        ShowCubePicture(userData.awardedCube);
        MivoSetWidgetNumber("StatisticInfoTotal", userData.totalBonus);
        break;
    case MivoModeQuest:
        Hide({"StatisticCongratulationsLabelPractice", "StatisticInfoBonusCubeText"});
        if (user && user->quest.difficulty == 1)
            Hide({"StatisticInfoTimeText", "StatisticInfoTime", "StatisticInfoMovesText",
                  "StatisticInfoMoves"});
        else
            ShowTimeAndMovesBonus();
        MivoSetWidgetNumber("StatisticInfoLevelBonus", userData.levelBonus);
        ShowCubePicture(0);
        MivoSetWidgetNumber("StatisticInfoTotal", userData.totalBonus);
        break;
    default:
        break;
    }

    const bool fact =
        (mode == MivoModeSkill || mode == MivoModeQuest) && level > 0 && level % kFactEvery == 0;
    MivoSetWidgetShown("StatisticGlobalWarmingWindow", fact);
    if (fact)
        ShowFact("StatisticGlobalWarming", level / kFactEvery);
    else
        Hide({"StatisticGlobalWarmingMivoAvatar01", "StatisticGlobalWarmingMivoAvatar02",
              "StatisticGlobalWarmingMivoAvatar03"});
    uiMain.ShowComponent(kStatisticWindow);

    if (!bonusLevel && (mode == MivoModeSkill || mode == MivoModeQuest))
    {
        const MivoLevelResult& result = userData.lastLevelResult;
        userData.AddLevelScore({CurrentUserName(), result.bonus, result.moves, result.mapId, result.time});
    }
}

void MivoStatisticPhase::Leave()
{
    uiMain.CloseComponent(lost ? kLoseWindow : kStatisticWindow);
}

bool MivoStatisticPhase::OnUIEvent(WeUIEvent* event)
{
    if (event->id != kOkId)
        return false;
    MivoPlaySelectionSound();
    phaseStack.Request(nullptr, WePhaseCommand::Pop);
    GoOn();
    return true;
}

void MivoStatisticPhase::GoOn()
{
    // A game that is over, complete or with its lives spent, closes on the end screen, which
    // books its score.
    if (!left && (userData.outOfLives || userData.gameComplete))
        return BackToMenus(&endGamePhase);
    switch (userData.gameMode)
    {
    case MivoModeSkill:
        // The ladder plays on at once; a level left goes back to its screen.
        if (left)
            return BackToMenus(&skillPhase);
        userData.SaveUsers();
        MivoSkillPhase::PlayNextLevel();
        phaseStack.Request(&playGamePhase, WePhaseCommand::Switch);
        return;
    case MivoModePractice:
        return BackToMenus(&practicePhase);
    case MivoModeQuest:
        if (!CityRunGoesOn())
            return BackToMenus(&questPhase);
        MivoQuestPhase::ChooseCurrentMap();
        phaseStack.Request(&playGamePhase, WePhaseCommand::Switch);
        return;
    default:
        return BackToMenus(&newGamePhase);
    }
}

bool MivoStatisticPhase::CityRunGoesOn() const
{
    // A teleport has reset the bonus index by now, and the map in city is not kept in the
    // players' file: the level's own flag tells a teleport from a city's map.
    return !bonusLevel && userData.bonusIndex == -1 && userData.mapInCity < kMivoMapsPerCity && !lost &&
           !left;
}

// ---- end game ----

void MivoEndGamePhase::Enter()
{
    uiMain.LoadComponents("EndGame");
    MivoSetClickId("EndGameOkButton", kOkId);
    MivoStatisticPhase::ShowFact("EndGameGlobalWarming", kEndGameFact);
    const int32_t mode = userData.gameMode;
    const MivoScore score{CurrentUserName(), userData.finalScore, userData.finalLevel,
                          mode == MivoModeQuest ? userData.runningQuestDifficulty : 0, mode};
    MivoSetWidgetNumber("EndGameInfoTotalScore", score.score);
    if (mode == MivoModeQuest || mode == MivoModeSkill)
    {
        ShowEnding(mode);
        userData.AddGameScore(score);
        // The new ladder or quest the store has dealt is kept with the score: the profile must
        // not go on with the game just booked.
        userData.SaveUsers();
        phaseStack.Request(&netWaitPhase, WePhaseCommand::Push);
    }
    uiMain.ShowComponent(kEndGameWindow);
}

void MivoEndGamePhase::ShowEnding(int32_t mode)
{
    if (userData.outOfLives)
    {
        MivoSetWidgetText("EndGameWinLoseLabel1", localization.Translate("UI: Game over"));
        MivoSetWidgetText("EndGameWinLoseLabel2", localization.Translate("UI: LoseSkill"));
        return;
    }
    MivoSetWidgetText("EndGameWinLoseLabel2",
                      localization.Translate(mode == MivoModeQuest ? "UI: WinQuest" : "UI: WinSkill"));
}

void MivoEndGamePhase::Leave()
{
    uiMain.CloseComponent(kEndGameWindow);
}

WeColor MivoEndGamePhase::PulseColour(const WeColor& base, float speed, double seconds)
{
    const float f = static_cast<float>((std::sin(speed * seconds * 2.0 * std::numbers::pi) + 1.0) / 2.0);
    const auto towardWhite = [f](float c) { return (1.0f - c) * f + c; };
    const WeColor mixed{towardWhite(base.r), towardWhite(base.g), towardWhite(base.b), base.a};
    return WeUIArgbToColour(WeUIColourToArgb(mixed)); // whole bytes, as the labels keep them
}

void MivoEndGamePhase::Update()
{
    static const WeColor base = WeUIArgbToColour(
        static_cast<uint32_t>(WeConfig::GetString("Mivo.QuestMap.SelDestColor", "#FF11A8B5").ToInt()));
    static const float& speed = WeConfig::GetFloat("Mivo.QuestMap.SelDestFactor", 2.0f);
    const WeColor colour = PulseColour(base, speed, timer.absoluteTime);
    for (const char* name : {"EndGameWinLoseLabel1", "EndGameWinLoseLabel2"})
        if (WeUIComponent* label = MivoFindWidget(name))
            label->colour = colour;
}

bool MivoEndGamePhase::OnUIEvent(WeUIEvent* event)
{
    if (event->id != kOkId)
        return false;
    MivoPlaySelectionSound();
    phaseStack.Request(&newGamePhase, WePhaseCommand::Switch);
    return true;
}
