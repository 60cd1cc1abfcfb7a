// The quest: the choice of difficulty, and the world map over the shipped layout: places coloured
// and clickable by the player's progress, the choice of the first region, a city's maps put in
// the order of play (also while the map zooms), the zoom and its layout, scrolling at full zoom,
// and the name of the place under the mouse.
#include "MivoQuestPhase.h"
#include "../core/TempFolder.h"
#include "MenuFixture.h"
#include "MivoCityButtonStyle.h"
#include "MivoGame.h"
#include "MivoNewGamePhase.h"
#include "MivoPlayGamePhase.h"
#include "MivoScreen.h"
#include "MivoUserData.h"
#include "PlayFixture.h"
#include "ShippedScreens.h"
#include "WeConfig.h"
#include "WeRenderDevice.h"
#include "WeTimer.h"

#include <cmath>

namespace
{

class Quest : public MenuFixture
{
protected:
    void SetUp() override
    {
        MenuFixture::SetUp();
        painter.textureNames.push_back("Config.UI.cursor_zoom");
        userData.SetFolder(folder / "");
        ASSERT_TRUE(userData.CreateUser("Ana"));
        user = userData.CurrentUser();
        user->quest.difficulty = 2;
        userData.regionSlot = 0;
    }
    void TearDown() override
    {
        MenuFixture::TearDown();
        MivoFreeLevelResources();
        userData.FreeAll();
        userData.gameMode = MivoModeNone;
    }
    void Open()
    {
        phaseStack.Request(&beneath, WePhaseCommand::Push);
        phaseStack.Request(&questPhase, WePhaseCommand::Push);
        Steps(12);
        ASSERT_EQ(Top(), &questPhase);
    }
    static void Event(int32_t id, bool handled)
    {
        WeUIEvent event = MivoMadeEvent(id);
        EXPECT_EQ(questPhase.OnUIEvent(&event), handled) << id;
    }
    static WeUIComponent* City(int32_t region, int32_t city)
    {
        return MivoFindWidget(WeString("QuestCityR").AppendInt(region) + WeString("C").AppendInt(city));
    }
    // Region 3 chosen: one of its cities is open.
    int32_t ChooseThirdRegion()
    {
        Event(MivoQuestPhase::kRegionChoice + 3, false);
        for (int32_t c = 0; c < kMivoCitiesPerRegion; ++c)
            if (userData.CityState(2000 + c) == PLACE_OPEN)
                return 2000 + c;
        ADD_FAILURE() << "no open city";
        return -1;
    }

    // Zooms in on points of the map and out again, each by a click, on the screen as it is.
    void ClickThroughTheZooms();

    TempFolder folder;
    RecordingPhase beneath;
    MivoUser* user = nullptr;
};

} // namespace

TEST_F(Quest, ADifficultyStartsTheQuestInPlaceOfTheChoiceOfMode)
{
    user->quest.difficulty = 0;
    phaseStack.Request(&newGamePhase, WePhaseCommand::Push);
    Steps(12);
    Click("NewGameQuestButton");
    Steps(12);
    ASSERT_EQ(Top(), &questDiffPhase) << "a player without a difficulty is asked first";
    EXPECT_FALSE(MivoFindWidget("NewGameWindow")->enabled);
    Click("DiffQuestButtonHard");
    Steps(12);
    EXPECT_EQ(Top(), &questPhase);
    EXPECT_EQ(Depth(), 1);
    EXPECT_EQ(user->quest.difficulty, 3);
    EXPECT_EQ(userData.runningQuestDifficulty, 3);
    EXPECT_EQ(userData.gameMode, MivoModeQuest);
}

TEST_F(Quest, EveryPlaceTakesItsLookAndClickFromItsState)
{
    Open();
    for (int32_t r = 1; r <= kMivoRegionCount; ++r)
    {
        const WeUIComponent* label = MivoFindWidget(WeString("QuestRegionLabel").AppendInt(r));
        ASSERT_NE(label, nullptr) << r;
        EXPECT_TRUE(label->enabled && label->visible) << "at the start every region can be chosen";
        EXPECT_EQ(label->onMouseUp.id, MivoQuestPhase::kRegionChoice + r);
        ASSERT_NE(MivoFindWidget(WeString("QuestTeleport").AppendInt(r)), nullptr) << r;
        for (int32_t c = 1; c <= kMivoCitiesPerRegion; ++c)
            ASSERT_NE(City(r, c), nullptr) << r << "," << c;
    }
    const int32_t open = ChooseThirdRegion();
    struct Expect
    {
        WeUIComponent* place;
        int32_t state, click;
        bool selected, zoomCursor;
        uint32_t argb;
    };
    const Expect expected[] = {
        {City(3, open % 1000 + 1), PLACE_OPEN, MivoQuestPhase::kCityPlay + open, false, false, 0xFFFFFFFFu},
        {City(3, (open + 1) % 1000 % 5 + 1), PLACE_LOCKED, MivoQuestPhase::kZoomId, false, true, 0xFFFF0000u},
        {City(1, 1), PLACE_ABSENT, MivoQuestPhase::kZoomId, false, true, 0xFFFF0000u},
        {MivoFindWidget("QuestTeleport4"), PLACE_ABSENT, MivoQuestPhase::kZoomId, false, true, 0xFFFF0000u},
    };
    for (const Expect& e : expected)
    {
        ASSERT_NE(e.place, nullptr);
        EXPECT_EQ(MivoCityButtonStyle::PlaceState(e.place), e.state) << e.place->name.GetData();
        EXPECT_NE(MivoCityButtonStyle::BlinkSeed(e.place), 0);
        EXPECT_EQ(e.place->onMouseUp.id, e.click) << e.place->name.GetData();
        EXPECT_EQ(e.place->selected, e.selected);
        EXPECT_EQ(e.place->cursorTexture != nullptr, e.zoomCursor) << e.place->name.GetData();
        EXPECT_EQ(WeUIColourToArgb(e.place->colour), e.argb) << e.place->name.GetData();
    }
    EXPECT_FALSE(MivoFindWidget("QuestRegionLabel3")->visible) << "a region in play has no label";
    EXPECT_TRUE(MivoFindWidget("QuestRegionLabel4")->visible);
    EXPECT_FALSE(MivoFindWidget("QuestRegionLabel4")->enabled) << "only the first region is chosen here";
}

TEST_F(Quest, ACityOutOfOrderTakesTheMapsOfTheNextOrderAlsoWhileZooming)
{
    Open();
    const int32_t open = ChooseThirdRegion();
    const int32_t slot = userData.CityKey(open) / 1000, index = open % 1000;
    MivoQuestCity* cities = user->quest.regions[slot];
    // The open city holds order 1; order 0 is the city before it.
    for (int32_t c = 0; c < kMivoCitiesPerRegion; ++c)
        cities[c].orderNumber = (c - index + kMivoCitiesPerRegion + 1) % kMivoCitiesPerRegion;
    const int32_t other = (index + kMivoCitiesPerRegion - 1) % kMivoCitiesPerRegion;
    const int32_t firstMap = cities[other].maps[0].mapId;
    questPhase.zoomSpeed = 1.0f;
    Event(MivoQuestPhase::kCityPlay + open, false);
    EXPECT_EQ(cities[index].orderNumber, 0) << "no city finished: the open one plays order 0";
    EXPECT_EQ(cities[index].maps[0].mapId, firstMap);
    EXPECT_EQ(Top(), &questPhase) << "no play while the map zooms";

    questPhase.zoomSpeed = 0.0f;
    Event(MivoQuestPhase::kCityPlay + open, true);
    Step();
    EXPECT_EQ(Top(), &playGamePhase);
    EXPECT_EQ(Depth(), 1);
    EXPECT_EQ(gameApp.mapToPlay, firstMap);
    EXPECT_EQ(gameApp.questPlace, open);
    EXPECT_EQ(playGamePhase.returnPhase, &questPhase);
}

TEST_F(Quest, TheZoomRampsAndEnlargesTheMapAroundItsCentre)
{
    Open();
    WeUIComponent* map = MivoFindWidget("QuestMap");
    ASSERT_NE(map, nullptr);
    map->onLayout = nullptr;
    map->UpdateLayout(true, false);
    const int32_t x = map->x, y = map->y, w = map->w, h = map->h;
    map->onLayout = &MivoQuestPhase::OnMapLayout;
    questPhase.centreX = questPhase.centreY = 0.5f;
    struct Case
    {
        float zoom;
        float scale; // of the map, with the shipped Zoom of 2
    };
    for (const Case c : {Case{0.0f, 1.0f}, Case{0.5f, 1.5f}, Case{1.0f, 2.0f}})
    {
        questPhase.zoom = c.zoom;
        map->UpdateLayout(true, false);
        EXPECT_EQ(map->w, static_cast<int32_t>(std::lround(w * c.scale))) << c.zoom;
        EXPECT_EQ(map->h, static_cast<int32_t>(std::lround(h * c.scale))) << c.zoom;
        EXPECT_NEAR(map->x + map->w / 2, x + w / 2, 1) << "the centre stays in the middle";
        EXPECT_NEAR(map->y + map->h / 2, y + h / 2, 1);
    }
    float& factor = WeConfig::GetFloat("Mivo.QuestMap.Zoom", 2.0f);
    const float shipped = factor;
    factor = 0.0f;
    questPhase.centreX = 0.9f;
    map->UpdateLayout(true, false);
    EXPECT_TRUE(std::isfinite(questPhase.centreX)) << "a zoom factor of 0 leaves the centre finite";
    factor = shipped;

    questPhase.zoom = 0.0f;
    Event(MivoQuestPhase::kZoomId, true);
    EXPECT_GT(questPhase.zoomSpeed, 0.0f) << "a click zooms in";
    for (int32_t i = 0; i < 20; ++i)
        questPhase.Update();
    EXPECT_EQ(questPhase.zoom, 1.0f);
    EXPECT_EQ(questPhase.zoomSpeed, 0.0f);
    EXPECT_EQ(MivoCityButtonStyle::questMapZoom, 1.0f);
}

// A click on the map (through the UI's own dispatch) zooms in until the clicked point lies in the
// middle of the map's place, unless that would bare an edge of the screen: then the map's edge
// lies on the screen's. A second click zooms out to the whole map.
TEST_F(Quest, AClickZoomsInOnTheClickedPointAndAnotherZoomsOut)
{
    Open();
    ChooseThirdRegion(); // the region labels take no clicks now
    for (const ScreenSize size : kScreenSizes)
    {
        renderDevice.SetBackBufferSize(size.width, size.height);
        Steps(2);
        ClickThroughTheZooms();
    }
}

void Quest::ClickThroughTheZooms()
{
    WeUIComponent* map = MivoFindWidget("QuestMap");
    ASSERT_NE(map, nullptr);
    const int32_t x = map->x, y = map->y, w = map->w, h = map->h;
    const int32_t screenW = renderDevice.BackBufferWidth(), screenH = renderDevice.BackBufferHeight();
    struct Case
    {
        float u, v;     // the point clicked, as fractions of the map
        bool left, top; // whose edges end on the screen's: none in the middle
        bool right, bottom;
    };
    for (const Case c :
         {Case{0.5f, 0.5f, false, false, false, false}, Case{0.4f, 0.62f, false, false, false, false},
          Case{0.62f, 0.36f, false, false, false, false}, Case{0.04f, 0.06f, true, true, false, false},
          Case{0.97f, 0.95f, false, false, true, true}, Case{0.05f, 0.5f, true, false, false, false}})
    {
        const int32_t px = x + static_cast<int32_t>(c.u * static_cast<float>(w));
        const int32_t py = y + static_cast<int32_t>(c.v * static_cast<float>(h));
        uiMain.PostMouseMove(px, py, 0);
        uiMain.PostMouseDown(0);
        uiMain.PostMouseUp(0);
        Steps(12);
        ASSERT_EQ(questPhase.zoom, 1.0f) << c.u << "," << c.v;
        ASSERT_GT(map->w, w);
        // The map covers the screen, and the point in the middle of its place is the one clicked.
        EXPECT_LE(map->x, 0);
        EXPECT_LE(map->y, 0);
        EXPECT_GE(map->x + map->w, screenW);
        EXPECT_GE(map->y + map->h, screenH);
        // Within a few pixels: the click, the middle and the zoomed placement are whole pixels.
        const float middleU = static_cast<float>(x + w / 2 - map->x) / static_cast<float>(map->w);
        const float middleV = static_cast<float>(y + h / 2 - map->y) / static_cast<float>(map->h);
        if (c.left)
            EXPECT_EQ(map->x, 0) << c.u;
        else if (c.right)
            EXPECT_NEAR(map->x + map->w, screenW, 1) << c.u;
        else
            EXPECT_NEAR(middleU, c.u, 4.0f / static_cast<float>(map->w)) << c.u;
        if (c.top)
            EXPECT_NEAR(map->y, 0, 1) << c.v;
        else if (c.bottom)
            EXPECT_NEAR(map->y + map->h, screenH, 1) << c.v;
        else
            EXPECT_NEAR(middleV, c.v, 4.0f / static_cast<float>(map->h)) << c.v;

        uiMain.PostMouseMove(screenW / 2, screenH / 2, 0);
        uiMain.PostMouseDown(0);
        uiMain.PostMouseUp(0);
        Steps(12);
        EXPECT_EQ(questPhase.zoom, 0.0f);
        EXPECT_EQ(map->x, x);
        EXPECT_EQ(map->y, y);
        EXPECT_EQ(map->w, w);
        EXPECT_EQ(map->h, h);
    }
}

TEST_F(Quest, OnlyTheFullZoomScrollsAtTheScreensEdge)
{
    Open();
    uiMain.lastMouseX = 2; // at the left edge
    uiMain.lastMouseY = 300;
    for (const float zoom : {0.5f, 1.0f})
    {
        questPhase.zoom = zoom;
        questPhase.centreX = 0.5f;
        questPhase.HandleInput();
        if (zoom < 1.0f)
            EXPECT_EQ(questPhase.centreX, 0.5f);
        else
            EXPECT_LT(questPhase.centreX, 0.5f);
    }
}

TEST_F(Quest, HoveringShowsThePlacesNameAndReenteringAfterwardsIsSafe)
{
    Open();
    const int32_t open = ChooseThirdRegion();
    Event(MivoQuestPhase::kCityEnter + open, false);
    WeUIComponent* label = MivoFindWidget("QuestCityNameLabel");
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->visible);
    EXPECT_EQ(label->text, localization.Translate(WeString("City: Region03City").AppendInt(open % 1000 + 1)));
    const WeUIComponent* city = City(3, open % 1000 + 1);
    EXPECT_NEAR(label->x + label->w / 2, city->x + city->w / 2, 1) << "over the place";
    Event(MivoQuestPhase::kCityLeave + open, false);
    EXPECT_FALSE(label->visible);
    Event(MivoQuestPhase::kTeleportEnter + 7, false);
    EXPECT_NE(std::string(label->text.GetData()).find(localization.Translate("UI: Locked").GetData()),
              std::string::npos);

    phaseStack.Request(&questPhase, WePhaseCommand::Switch);
    Steps(12);
    ASSERT_EQ(Top(), &questPhase);
    EXPECT_FALSE(MivoFindWidget("QuestCityNameLabel")->visible);
    Steps(3);
}
