// The score tables: the quest scores of the three difficulties, the skill scores and the scores
// of single levels, each from the player's own tables (local, hiscores.dat) or from the score
// service (world). The first world view of a visit sends the scores waiting in upload.dat before
// any table is asked for; each world table is asked for once (a region's level tables once per
// run), through the net-wait window, and only a good reply fills it.
#pragma once

#include "MivoUserData.h"
#include "WePhaseStack.h"

#include <cstdint>
#include <vector>

class MivoHighScorePhase : public WeAbstractPhase
{
public:
    static constexpr int32_t kOkId = 10;
    static constexpr int32_t kQuestId = 11;
    static constexpr int32_t kSkillId = 12;
    static constexpr int32_t kLevelId = 13;
    static constexpr int32_t kLevelNameId = 14;
    static constexpr int32_t kLocalId = 20;
    static constexpr int32_t kWorldId = 21;

    enum View : int32_t
    {
        Local = 0,
        World = 1,
    };
    enum Kind : int32_t
    {
        Quest = 0,
        Skill = 1,
        Level = 2,
    };

    void Enter() override;
    void Leave() override;
    // The net-wait window closed: the uploads went (the world view follows), or a table's reply
    // arrived.
    void Uncovered(WeAbstractPhase* popped) override;
    bool OnUIEvent(WeUIEvent* event) override;
    // Escape plays the selection sound and is OK.
    void HandleInput() override;

    View view = Local;
    Kind kind = Quest;
    bool questReceived = false;
    bool skillReceived = false;
    bool levelReceived[kMivoRegionCount] = {}; // kept for the whole run
    int32_t selectedRegion = 1;
    int32_t selectedTable = 1;
    bool uploadPending = false;
    bool worldOpened = false;
    std::vector<int32_t> levelIds; // the map of each row of the level-name list

private:
    void ShowTables();
    void ShowView(View shown);
    void SelectKind();
    void FillQuestList();
    void FillSkillList();
    void FillLevelNames();
    void FillLevelScores();
    void ClickLevelName();
    void OpenWorld();
    // Asks the service for a world table and waits in the net-wait window.
    static void Request(int32_t scoreType, int32_t databaseId);
};

extern MivoHighScorePhase highScorePhase;
