// The score tables: the quest scores of the three difficulties, the skill scores and the scores
// of single levels, each from the player's own tables (local, hiscores.dat) or from the score
// service (world). The first world view of a visit sends the scores waiting in upload.dat before
// any table is asked for. A world table is asked for, through the net-wait window, each time the
// player turns to the world view, and once a visit when another kind of table is chosen there (a
// region's level tables once a run); only a good reply fills it, and the last good reply of each
// table is kept for the run, shown while it is asked for again and when the service cannot be
// reached. Local and world lists never mix: the local view reads hiscores.dat.
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
    // The last good world replies, kept for the run.
    WeString questReply, skillReply;
    WeString levelReplies[kMivoRegionCount];

private:
    void ShowTables();
    // The received flag and the kept reply of the table shown (the selected region's for levels).
    bool& Received();
    WeString& Reply();
    // The store's tables of the kind shown filled from its kept reply.
    void FillFromReply();
    void FillShownList();
    void RequestShownTable();
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
