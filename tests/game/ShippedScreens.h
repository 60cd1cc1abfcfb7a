// The shipped screens: each layout with the window its screen shows and closes, and the widgets
// the screen looks up by name; and the screen sizes the layouts are made for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ScreenSize
{
    int32_t width, height;
};

// 4:3, 5:4, 16:10 and 16:9.
constexpr ScreenSize kScreenSizes[] = {{1024, 768}, {1280, 1024}, {1280, 800}, {1280, 720}};

inline std::string SizeName(const ScreenSize& size)
{
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

struct ShippedScreen
{
    const char* layout;
    const char* window; // the widget the screen shows and closes
    std::vector<const char*> widgets;
};

// The display's widgets the play looks up, the nine bonus cubes and the eleven tutorial pictures
// included.
inline std::vector<const char*> IngameWidgets()
{
    static std::vector<std::string> names;
    if (names.empty())
    {
        names = {"IngameScore",
                 "IngameScoreText",
                 "IngameHiScore",
                 "IngameHiScoreText",
                 "IngameTime",
                 "IngameMoves",
                 "IngameMapName",
                 "IngameProgressBar1",
                 "IngameProgressBar2",
                 "IngameProgressBar3",
                 "IngameMenuButton",
                 "IngameTutorialWindow",
                 "IngameTutorialLabel",
                 "IngameTutorialHeadline",
                 "IngameTutorialOkButton"};
        for (int i = 1; i <= 9; ++i)
            for (const char* suffix : {"", "Count"})
                names.push_back("IngameBonusCube" + std::to_string(i) + suffix);
        for (int i = 1; i <= 9; ++i)
            names.push_back("IngameBonusCubeHint" + std::to_string(i));
        for (int k = 0; k <= 10; ++k)
            names.push_back("IngameTutorialCube" + std::to_string(k));
    }
    std::vector<const char*> widgets;
    for (const std::string& name : names)
        widgets.push_back(name.c_str());
    return widgets;
}

inline const std::vector<ShippedScreen>& Screens()
{
    static const std::vector<ShippedScreen> screens = {
        {"Intro", "IntroWindow", {}},
        {"MenuOverlay", "MenuOverlayCurrentUserLabel", {}},
        {"MenuBack", "MenuBackImage", {}},
        {"MainMenu",
         "MainMenuWindow",
         {"MainMenuUsersButton", "MainMenuOptionsButton", "MainMenuNewGameButton", "MainMenuExitButton",
          "MainMenuHighScoreButton", "MainMenuCreditsButton"}},
        {"MenuIngame",
         "MenuIngameWindow",
         {"MenuIngameContinue", "MenuIngameOptions", "MenuIngameExit", "MenuIngameRestart",
          "MenuIngameControls"}},
        {"Credits", "CreditsWindow", {"CreditsTextWindow", "CreditsBackButton"}},
        {"Options",
         "OptionsWindowRoot",
         {"OptionsBackButton", "OptionsResolutionLeft", "OptionsResolutionRight", "OptionsResolutionEdit",
          "OptionsMusicScrollbar", "OptionsSoundScrollbar", "OptionsBrightnessScrollbar",
          "OptionsLanguageCombo", "OptionsBloomCheckBox", "OptionsWindowedCheckBox", "OptionsWindowedLabel"}},
        {"HighScore",
         "HighScoreWindowRoot",
         {"HighScoreLocalButton", "HighScoreWorldButton", "HighScoreOkButton", "HighScoreQuestButton",
          "HighScoreSkillButton", "HighScoreSkillLevelButton", "HighScoreMultiQ", "HighScoreMultiS",
          "HighScoreMultiL", "HighScoreMultiLN"}},
        {"Practice", "PracticeWindow", {"PracticeMapMulti", "PracticePlayButton", "PracticeBackButton"}},
        {"DiffQuest",
         "DiffQuestWindow",
         {"DiffQuestButtonEasy", "DiffQuestButtonMedium", "DiffQuestButtonHard"}},
        {"Quest",
         "QuestWindow",
         {"QuestBackButton", "QuestQuitButton", "QuestMap", "QuestCityNameLabel", "QuestLabel",
          "QuestRegion15", "QuestRegionLabel15", "QuestCityR15C5", "QuestTeleport15"}},
        {"Users", "UsersWindow", {"UsersMulti", "UsersNewButton", "UsersDeleteButton", "UsersOkButton"}},
        {"CreateUser",
         "CreateUserWindow",
         {"CreateUserNameEditBox", "CreateUserOkButton", "CreateUserCancelButton"}},
        {"Loading", "LoadingWindow", {}},
        {"MenuBlackIngame", "MenuBlackIngame", {}},
        {"Ingame", "IngameWindow", IngameWidgets()},
        {"Confirmation1",
         "Confirmation1Window",
         {"Confirmation1Text", "Confirmation1OkButton", "Confirmation1YesButton", "Confirmation1NoButton"}},
        {"Confirmation2",
         "Confirmation2Window",
         {"Confirmation2Text", "Confirmation2OkButton", "Confirmation2YesButton", "Confirmation2NoButton"}},
        {"ConfirmationMedium",
         "ConfirmationMediumWindow",
         {"ConfirmationMediumText", "ConfirmationMediumOkButton", "ConfirmationMediumYesButton",
          "ConfirmationMediumNoButton"}},
        {"ConfirmationLarge",
         "ConfirmationLargeWindow",
         {"ConfirmationLargeText", "ConfirmationLargeOkButton", "ConfirmationLargeYesButton",
          "ConfirmationLargeNoButton"}},
        {"ConfirmationXLarge",
         "ConfirmationXLargeWindow",
         {"ConfirmationXLargeText", "ConfirmationXLargeOkButton", "ConfirmationXLargeYesButton",
          "ConfirmationXLargeNoButton"}},
        {"Net", "NetWindow", {"NetText", "NetCancel"}},
        {"NewGame",
         "NewGameWindow",
         {"NewGamePracticeButton", "NewGameSkillButton", "NewGameQuestButton", "NewGameBackButton"}},
        {"Skill",
         "SkillWindow",
         {"SkillPlayButton", "SkillBackButton", "SkillQuitButton", "SkillLevel", "SkillPoints",
          "SkillLives"}},
        {"Statistic",
         "StatisticWindow",
         {"StatisticNextButton",
          "StatisticCongratulationsLabel",
          "StatisticCongratulationsLabelPractice",
          "StatisticInfoWindow",
          "StatisticInfoTimeText",
          "StatisticInfoTime",
          "StatisticInfoMovesText",
          "StatisticInfoMoves",
          "StatisticInfoBonusCubeText",
          "StatisticInfoBonusCube",
          "StatisticInfoBonusCube1",
          "StatisticInfoBonusCube2",
          "StatisticInfoBonusCube3",
          "StatisticInfoBonusCube4",
          "StatisticInfoBonusCube5",
          "StatisticInfoBonusCube6",
          "StatisticInfoBonusCube7",
          "StatisticInfoBonusCube8",
          "StatisticInfoBonusCube9",
          "StatisticInfoLevelBonusText",
          "StatisticInfoLevelBonus",
          "StatisticInfoTotal",
          "StatisticGlobalWarmingWindow",
          "StatisticGlobalWarmingHeadline",
          "StatisticGlobalWarmingText",
          "StatisticGlobalWarmingMivoAvatar01",
          "StatisticGlobalWarmingMivoAvatar02",
          "StatisticGlobalWarmingMivoAvatar03"}},
        {"Lose", "LoseWindow", {"LoseOkButton", "LoseLifesLabel"}},
        {"EndGame",
         "EndGameWindow",
         {"EndGameOkButton", "EndGameGlobalWarmingMivoAvatar01", "EndGameGlobalWarmingMivoAvatar02",
          "EndGameGlobalWarmingMivoAvatar03", "EndGameGlobalWarmingHeadline", "EndGameGlobalWarmingText",
          "EndGameInfoTotalScore", "EndGameWinLoseLabel1", "EndGameWinLoseLabel2"}},
    };
    return screens;
}
