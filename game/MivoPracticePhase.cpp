#include "MivoPracticePhase.h"

#include "MivoGame.h"
#include "MivoNewGamePhase.h"
#include "MivoPlayGamePhase.h"
#include "MivoScores.h"
#include "MivoScreen.h"
#include "MivoUserData.h"
#include "WeUIMain.h"
#include "WeUIMultiList.h"

namespace
{

const char* const kWindow = "PracticeWindow";
const char* const kMapList = "PracticeMapMulti";

bool Played(const MivoUser* user, int32_t mapId)
{
    // An id outside the ladders has no flag to read.
    const int32_t index = MivoScoreTables::LevelTableIndex(mapId);
    return user && index >= 0 && user->mapsPlayed[index];
}

} // namespace

void MivoPracticePhase::Enter()
{
    uiMain.LoadComponents("Practice");
    MivoSetClickId("PracticeBackButton", kBackId);
    MivoSetClickId("PracticePlayButton", kPlayId);
    auto* list = dynamic_cast<WeUIMultiList*>(MivoFindWidget(kMapList));
    if (list)
        list->onDoubleClick = {kPlayId, nullptr};
    mapIds.clear();
    const MivoUser* user = userData.CurrentUser();
    for (int32_t region = 1; region <= kMivoRegionCount; ++region)
        for (int32_t table = 1; table <= kMivoTablesPerRegion; ++table)
        {
            const int32_t id = MivoRemappedMap(region, table);
            if (!Played(user, id))
                continue;
            mapIds.push_back(id);
            if (list)
            {
                WeList<WeString> row;
                row.PushBack(MivoMapName(id));
                list->AddRow(&row);
            }
        }
    uiMain.ShowComponent(kWindow);
}

void MivoPracticePhase::Leave()
{
    uiMain.CloseComponent(kWindow);
}

bool MivoPracticePhase::OnUIEvent(WeUIEvent* event)
{
    int32_t id = event->id;
    if (id == kPlayId)
    {
        MivoPlaySelectionSound();
        const auto* list = dynamic_cast<const WeUIMultiList*>(MivoFindWidget(kMapList));
        const int32_t row = list ? list->GetSelectedRow() : -1;
        if (row >= 0 && row < static_cast<int32_t>(mapIds.size()))
            id = kPlayMap + mapIds[static_cast<size_t>(row)];
    }
    if (id >= kPlayMap)
    {
        MivoPlaySelectionSound();
        gameApp.mapToPlay = id - kPlayMap;
        gameApp.questPlace = -1;
        playGamePhase.returnPhase = this;
        // The menu background beneath gives way to the level.
        phaseStack.Request(nullptr, WePhaseCommand::Pop);
        phaseStack.Request(&playGamePhase, WePhaseCommand::Switch);
        return true;
    }
    if (id != kBackId)
        return false;
    MivoPlaySelectionSound();
    phaseStack.Request(&newGamePhase, WePhaseCommand::Switch);
    return true;
}

void MivoPracticePhase::HandleInput()
{
    if (!MivoEscapeClicked())
        return;
    MivoPlaySelectionSound();
    WeUIEvent back = MivoMadeEvent(kBackId);
    OnUIEvent(&back);
}
