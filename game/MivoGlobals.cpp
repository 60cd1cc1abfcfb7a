// The game's static objects: the application object and one object per screen, built after the
// engine's managers and destroyed before them. They are defined here, in one translation unit,
// so that their order is the one written below; no other file defines any of them. Their
// constructors touch nothing else. The screens follow the order of their class names.
#include "MivoConfirmationPhase.h"
#include "MivoCreditsPhase.h"
#include "MivoGame.h"
#include "MivoHighScorePhase.h"
#include "MivoIntroPhase.h"
#include "MivoMainMenuPhase.h"
#include "MivoMenuIngamePhase.h"
#include "MivoMenuPhase.h"
#include "MivoNetWaitPhase.h"
#include "MivoNewGamePhase.h"
#include "MivoOptionsPhase.h"
#include "MivoPlayGamePhase.h"
#include "MivoPracticePhase.h"
#include "MivoQuestPhase.h"
#include "MivoSkillPhase.h"
#include "MivoStatisticPhase.h"
#include "MivoUsersPhase.h"

MivoGame gameApp;

MivoConfirmationPhase confirmationPhase;
MivoCreateUserPhase createUserPhase;
MivoCreditsPhase creditsPhase;
MivoEndGamePhase endGamePhase;
MivoHighScorePhase highScorePhase;
MivoIntroPhase introPhase;
MivoMainMenuPhase mainMenuPhase;
MivoMenuIngamePhase menuIngamePhase;
MivoMenuPhase menuPhase;
MivoNetWaitPhase netWaitPhase;
MivoNewGamePhase newGamePhase;
MivoOptionsPhase optionsPhase;
MivoPlayGamePhase playGamePhase;
MivoPracticePhase practicePhase;
MivoQuestDiffPhase questDiffPhase;
MivoQuestPhase questPhase;
MivoSkillPhase skillPhase;
MivoStatisticPhase statisticPhase;
MivoUsersPhase usersPhase;
