// The practice screen: only the maps the player has finished are listed, in region and table
// order under their English names; Play starts the chosen one in place of the menus, and Play
// with nothing chosen is left to the screens beneath.
#include "MivoPracticePhase.h"
#include "../core/TempFolder.h"
#include "MenuFixture.h"
#include "MivoGame.h"
#include "MivoNewGamePhase.h"
#include "MivoPlayGamePhase.h"
#include "MivoScreen.h"
#include "MivoUserData.h"
#include "PlayFixture.h"
#include "WeConfig.h"
#include "WeUIMultiList.h"

namespace
{

class Practice : public MenuFixture
{
protected:
    void SetUp() override
    {
        MenuFixture::SetUp();
        userData.SetFolder(folder / "");
        ASSERT_TRUE(userData.CreateUser("Ana"));
        // No background map: a level started here stands in an empty scene.
        for (int32_t world = 1; world <= 15; ++world)
        {
            WeString& name = WeConfig::GetString(WeString("Mivo.Maps.World").AppendInt(world), "");
            savedWorlds.emplace_back(&name, name);
            name = "NoSuchMap";
        }
    }
    void TearDown() override
    {
        MenuFixture::TearDown();
        for (auto& [name, value] : savedWorlds)
            *name = value;
        MivoFreeLevelResources();
        userData.FreeAll();
    }
    void Open()
    {
        phaseStack.Request(&beneath, WePhaseCommand::Push);
        phaseStack.Request(&practicePhase, WePhaseCommand::Push);
        Steps(12);
    }
    static WeUIMultiList* List() { return dynamic_cast<WeUIMultiList*>(MivoFindWidget("PracticeMapMulti")); }

    TempFolder folder;
    RecordingPhase beneath;
    std::vector<std::pair<WeString*, WeString>> savedWorlds;
};

} // namespace

TEST_F(Practice, OnlyFinishedMapsAreListedUnderTheirNames)
{
    MivoUser* user = userData.CurrentUser();
    for (int32_t index : {22, 2, 0}) // maps 2003, 1003 and 1001
        user->mapsPlayed[index] = 1;
    WeConfig::GetInt("Mivo.Remap.Map3001", 0) = 16001; // no ladder map: never read as a flag
    Open();
    EXPECT_EQ(practicePhase.mapIds, (std::vector<int32_t>{1001, 1003, 2003}));
    ASSERT_NE(List(), nullptr);
    ASSERT_EQ(List()->rowCount, 3);
    EXPECT_EQ(List()->GetCell(0, 0)->text, MivoMapName(1001));
    EXPECT_FALSE(MivoMapName(1001).IsEmpty());
}

TEST_F(Practice, PlayWithoutAChoiceIsNotHandledAndWithOneStartsTheMap)
{
    userData.CurrentUser()->mapsPlayed[1] = 1;
    Open();
    WeUIEvent play = MivoMadeEvent(MivoPracticePhase::kPlayId);
    EXPECT_FALSE(practicePhase.OnUIEvent(&play));
    List()->SelectCell(0, 0);
    Click("PracticePlayButton");
    Step();
    EXPECT_EQ(Top(), &playGamePhase) << "the level took the place of the menus";
    EXPECT_EQ(Depth(), 1);
    EXPECT_EQ(gameApp.mapToPlay, 1002);
    EXPECT_EQ(gameApp.questPlace, -1);
    EXPECT_EQ(playGamePhase.returnPhase, &practicePhase);
}

TEST_F(Practice, EscapeIsBack)
{
    Open();
    PressKey(kMivoEscapeKey);
    Steps(2);
    EXPECT_EQ(Top(), &newGamePhase);
}
