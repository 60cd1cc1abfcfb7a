#include "MivoHighScorePhase.h"

#include "MivoMainMenuPhase.h"
#include "MivoNetWaitPhase.h"
#include "MivoScoreClient.h"
#include "MivoScreen.h"
#include "MivoUserData.h"
#include "WeLocalization.h"
#include "WeUIMain.h"
#include "WeUIMultiList.h"

#include <cmath>
#include <initializer_list>

namespace
{

const char* const kWindow = "HighScoreWindowRoot";
const char* const kQuestList = "HighScoreMultiQ";
const char* const kSkillList = "HighScoreMultiS";
const char* const kLevelList = "HighScoreMultiL";
const char* const kLevelNames = "HighScoreMultiLN";
// What every cell of an empty place shows, in every table.
const char* const kEmpty = "-";
const char* const kDifficultyKeys[] = {"UI: Easy", "UI: Medium", "UI: Hard"};
constexpr int32_t kRows = MivoScoreTables::kLocalTableSize;

// Score types of the service's world lists.
constexpr int32_t kQuestScores = 1;
constexpr int32_t kSkillScores = 2;
constexpr int32_t kLevelScores = 3;

WeUIMultiList* List(const char* name)
{
    return dynamic_cast<WeUIMultiList*>(MivoFindWidget(name));
}

WeString Number(int32_t value)
{
    WeString text;
    text.AppendInt(value);
    return text;
}

void AddRow(WeUIMultiList& list, std::initializer_list<WeString> texts)
{
    WeList<WeString> row;
    for (const WeString& text : texts)
        row.PushBack(text);
    list.AddRow(&row);
}

// A cleared list, or null when the layout has none of that name.
WeUIMultiList* Cleared(const char* name)
{
    WeUIMultiList* list = List(name);
    if (list)
        list->Clear();
    return list;
}

void Show(const char* name, bool shown)
{
    if (WeUIComponent* widget = MivoFindWidget(name))
        widget->visible = shown;
}

void Select(const char* name, bool selected)
{
    if (WeUIComponent* widget = MivoFindWidget(name))
        widget->selected = selected;
}

void Disable(const WeString& name)
{
    if (WeUIComponent* widget = MivoFindWidget(name))
        widget->enabled = false;
}

} // namespace

void MivoHighScorePhase::Enter()
{
    questReceived = skillReceived = false;
    selectedRegion = selectedTable = 1;
    view = Local;
    kind = Quest;
    uiMain.LoadComponents("HighScore");
    MivoSetClickId("HighScoreLocalButton", kLocalId);
    MivoSetClickId("HighScoreWorldButton", kWorldId);
    MivoSetClickId("HighScoreOkButton", kOkId);
    MivoSetClickId("HighScoreQuestButton", kQuestId);
    MivoSetClickId("HighScoreSkillButton", kSkillId);
    MivoSetClickId("HighScoreSkillLevelButton", kLevelId);
    MivoSetClickId(kLevelNames, kLevelNameId);
    ShowView(Local);
    // Only the level names take clicks.
    Disable(WeString(kQuestList) + "$ScrollFrame$Contents");
    Disable(kSkillList);
    Disable(kLevelList);
    ShowTables();
    uiMain.ShowComponent(kWindow);
    worldOpened = uploadPending = false;
}

void MivoHighScorePhase::Leave()
{
    uiMain.CloseComponent(kWindow);
}

void MivoHighScorePhase::ShowView(View shown)
{
    view = shown;
    Select("HighScoreLocalButton", shown == Local);
    Select("HighScoreWorldButton", shown == World);
}

void MivoHighScorePhase::SelectKind()
{
    Select("HighScoreQuestButton", kind == Quest);
    Select("HighScoreSkillButton", kind == Skill);
    Select("HighScoreSkillLevelButton", kind == Level);
    Show(kQuestList, kind == Quest);
    Show(kSkillList, kind == Skill);
    Show(kLevelList, kind == Level);
    Show(kLevelNames, kind == Level);
}

void MivoHighScorePhase::ShowTables()
{
    SelectKind();
    if (kind == Level)
        FillLevelNames();
    if (view == Local)
        userData.LoadScores();
    else
    {
        // What the service said last stays in view while it is asked, and when it cannot be
        // reached.
        FillFromReply();
        if (!Received())
            RequestShownTable();
    }
    FillShownList();
}

bool& MivoHighScorePhase::Received()
{
    return kind == Quest ? questReceived : kind == Skill ? skillReceived : levelReceived[selectedRegion - 1];
}

WeString& MivoHighScorePhase::Reply()
{
    return kind == Quest ? questReply : kind == Skill ? skillReply : levelReplies[selectedRegion - 1];
}

void MivoHighScorePhase::FillFromReply()
{
    const WeString& reply = Reply();
    if (kind == Quest)
        userData.FillQuestScores(reply);
    else if (kind == Skill)
        userData.FillSkillScores(reply);
    else
        userData.FillLevelScores(reply, selectedRegion - 1);
}

void MivoHighScorePhase::FillShownList()
{
    if (kind == Quest)
        FillQuestList();
    else if (kind == Skill)
        FillSkillList();
    else
        FillLevelScores();
}

void MivoHighScorePhase::RequestShownTable()
{
    const int32_t type = kind == Quest ? kQuestScores : kind == Skill ? kSkillScores : kLevelScores;
    Request(type, kind == Level ? selectedRegion : 0);
}

void MivoHighScorePhase::FillQuestList()
{
    WeUIMultiList* list = Cleared(kQuestList);
    if (!list)
        return;
    for (int32_t d = 0; d < MivoScoreTables::kQuestTableCount; ++d)
    {
        if (d > 0)
            AddRow(*list, {"", "", "", "", ""}); // a blank row between two difficulties
        const WeString difficulty = localization.Translate(kDifficultyKeys[d]);
        const std::vector<MivoScore>& table = userData.scores.questTables[d];
        for (int32_t k = 0; k < kRows; ++k)
        {
            if (k < static_cast<int32_t>(table.size()))
                AddRow(*list, {Number(k + 1), table[k].name, Number(table[k].score), difficulty,
                               Number(table[k].level)});
            else
                AddRow(*list, {Number(k + 1), kEmpty, kEmpty, difficulty, kEmpty});
        }
    }
}

void MivoHighScorePhase::FillSkillList()
{
    WeUIMultiList* list = Cleared(kSkillList);
    if (!list)
        return;
    const std::vector<MivoScore>& table = userData.scores.skillTable;
    for (int32_t k = 0; k < kRows; ++k)
    {
        if (k < static_cast<int32_t>(table.size()))
            AddRow(*list, {Number(k + 1), table[k].name, Number(table[k].score), Number(table[k].level)});
        else
            AddRow(*list, {Number(k + 1), kEmpty, kEmpty, kEmpty});
    }
}

void MivoHighScorePhase::FillLevelNames()
{
    WeUIMultiList* list = Cleared(kLevelNames);
    levelIds.clear();
    for (int32_t region = 1; region <= kMivoRegionCount; ++region)
        for (int32_t table = 1; table <= kMivoTablesPerRegion; ++table)
        {
            const int32_t id = MivoRemappedMap(region, table);
            // An id outside the ladders has no score table and no region to ask for.
            if (MivoScoreTables::LevelTableIndex(id) < 0)
                continue;
            levelIds.push_back(id);
            if (list)
                AddRow(*list, {MivoMapName(id)});
        }
}

void MivoHighScorePhase::FillLevelScores()
{
    WeUIMultiList* list = Cleared(kLevelList);
    if (!list)
        return;
    const int32_t index = MivoScoreTables::LevelTableIndex(selectedRegion * 1000 + selectedTable);
    static const std::vector<MivoLevelScore> none;
    const std::vector<MivoLevelScore>& table = index < 0 ? none : userData.scores.levelTables[index];
    for (int32_t k = 0; k < kRows; ++k)
    {
        if (k < static_cast<int32_t>(table.size()))
        {
            const MivoLevelScore& s = table[k];
            AddRow(*list, {Number(k + 1), s.name, Number(s.bonus), Number(s.moves),
                           Number(static_cast<int32_t>(std::trunc(s.time)))});
        }
        else
            AddRow(*list, {Number(k + 1), kEmpty, kEmpty, kEmpty, kEmpty});
    }
}

void MivoHighScorePhase::Request(int32_t scoreType, int32_t databaseId)
{
    scoreClient.RequestScores(scoreType, databaseId);
    phaseStack.Request(&netWaitPhase, WePhaseCommand::Push);
}

void MivoHighScorePhase::ClickLevelName()
{
    const WeUIMultiList* list = List(kLevelNames);
    const int32_t row = list ? list->GetSelectedRow() : -1;
    if (row < 0 || row >= static_cast<int32_t>(levelIds.size()))
        return;
    if (kind != Level)
    {
        ShowTables();
        return;
    }
    const int32_t id = levelIds[static_cast<size_t>(row)];
    selectedRegion = id / 1000;
    selectedTable = id % 1000;
    if (view == World)
    {
        FillFromReply();
        if (!Received())
            RequestShownTable();
    }
    FillLevelScores();
}

void MivoHighScorePhase::OpenWorld()
{
    if (!worldOpened)
    {
        worldOpened = true;
        if (userData.LoadPendingUploads())
        {
            uploadPending = true;
            phaseStack.Request(&netWaitPhase, WePhaseCommand::Push);
        }
    }
    if (uploadPending || view == World)
        return;
    ShowView(World);
    // Every turn to the world view asks for its table afresh: what was received before may be
    // out of date, or the service gone since.
    Received() = false;
    ShowTables();
}

bool MivoHighScorePhase::OnUIEvent(WeUIEvent* event)
{
    switch (event->id)
    {
    case kOkId:
        MivoPlaySelectionSound();
        phaseStack.Request(&mainMenuPhase, WePhaseCommand::Switch);
        return true;
    case kQuestId:
    case kSkillId:
    case kLevelId:
        MivoPlaySelectionSound();
        kind = static_cast<Kind>(event->id - kQuestId);
        ShowTables();
        return true;
    case kLevelNameId:
        MivoPlaySelectionSound();
        ClickLevelName();
        return true;
    case kLocalId:
        if (view == World)
        {
            ShowView(Local);
            ShowTables();
        }
        return true;
    case kWorldId:
        OpenWorld();
        return true;
    default:
        return false;
    }
}

void MivoHighScorePhase::Uncovered(WeAbstractPhase* popped)
{
    if (popped != &netWaitPhase)
        return;
    const bool done = netWaitPhase.outcome == MivoNetWaitPhase::Outcome::Done;
    if (uploadPending)
    {
        uploadPending = false;
        // The service did not take the scores: its message has been shown, the view stays
        // local, and the next World press sends them again.
        if (!done)
        {
            worldOpened = false;
            return;
        }
        WeUIEvent world = MivoMadeEvent(kWorldId);
        OnUIEvent(&world);
        return;
    }
    // A failed, cancelled or late request leaves the tables and flags as they were: the reply
    // text then belongs to no request of this screen.
    if (!done)
        return;
    Received() = true;
    Reply() = scoreClient.responseText;
    FillFromReply();
    FillShownList();
}

void MivoHighScorePhase::HandleInput()
{
    if (!MivoEscapeClicked())
        return;
    MivoPlaySelectionSound();
    WeUIEvent ok = MivoMadeEvent(kOkId);
    OnUIEvent(&ok);
}
