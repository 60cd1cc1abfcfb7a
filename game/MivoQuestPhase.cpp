#include "MivoQuestPhase.h"

#include "MivoCityButtonStyle.h"
#include "MivoConfirmationPhase.h"
#include "MivoGame.h"
#include "MivoNewGamePhase.h"
#include "MivoPlayGamePhase.h"
#include "MivoScreen.h"
#include "MivoStatisticPhase.h"
#include "MivoUserData.h"
#include "WeConfig.h"
#include "WeLocalization.h"
#include "WeRandom.h"
#include "WeRenderDevice.h"
#include "WeTimer.h"
#include "WeUIButton.h"
#include "WeUIMain.h"

#include <algorithm>
#include <cmath>

namespace
{

const char* const kDiffWindow = "DiffQuestWindow";
const char* const kWindow = "QuestWindow";
constexpr int32_t kNameGap = 4; // pixels between a place and its name

// The map's colours, zoom and scrolling, each key looked up once.
struct QuestTuning
{
    const int32_t& disabled;
    const int32_t& finished;
    const float& zoomSpeed;
    const float& zoomFactor;
    const float& scale;
    const float& zoomedScale;
    const float& marginX;
    const float& marginY;
    const float& scrollX;
    const float& scrollY;
};

const QuestTuning& Tuning()
{
    static const QuestTuning tuning{
        WeConfig::GetInt("Mivo.QuestMap.DisabledColor", -65536),
        WeConfig::GetInt("Mivo.QuestMap.FinishedColor", -1),
        WeConfig::GetFloat("Mivo.QuestMap.ZoomSpeed", 0.0f),
        WeConfig::GetFloat("Mivo.QuestMap.Zoom", 2.0f),
        WeConfig::GetFloat("Mivo.QuestMap.Scale", 1.0f),
        WeConfig::GetFloat("Mivo.QuestMap.ZoomedScale", 1.0f),
        WeConfig::GetFloat("Mivo.QuestMap.ScrollMarginsX", 0.1f),
        WeConfig::GetFloat("Mivo.QuestMap.ScrollMarginsY", 0.1f),
        WeConfig::GetFloat("Mivo.QuestMap.ScrollSpeedX", 0.1f),
        WeConfig::GetFloat("Mivo.QuestMap.ScrollSpeedY", 0.1f),
    };
    return tuning;
}

WeString Numbered(const char* prefix, int32_t n, int32_t digits = 0)
{
    WeString text(prefix);
    text.AppendInt(n, digits);
    return text;
}

WeString CityName(int32_t region, int32_t city)
{
    return Numbered("QuestCityR", region) + Numbered("C", city);
}

int32_t BlinkSeed()
{
    const auto draw = [] { return WeRand() * 10000 / (WE_RAND_MAX + 1) + 1; };
    const int32_t a = draw();
    return a * 10000 + draw();
}

// A place's look and click by its state: open places play, the others zoom the map.
void SetPlace(WeUIComponent* place, MivoPlaceState state, int32_t playId, WeTexture* zoomCursor)
{
    auto* button = dynamic_cast<WeUIButton*>(place);
    if (!button)
        return;
    MivoCityButtonStyle::SetPlace(*button, state, BlinkSeed());
    const QuestTuning& t = Tuning();
    button->colour = state == PLACE_OPEN       ? WeColor{1.0f, 1.0f, 1.0f, 1.0f}
                     : state == PLACE_FINISHED ? WeUIArgbToColour(static_cast<uint32_t>(t.finished))
                                               : WeUIArgbToColour(static_cast<uint32_t>(t.disabled));
    button->selected = state == PLACE_FINISHED;
    button->onMouseUp = {state == PLACE_OPEN ? playId : MivoQuestPhase::kZoomId, nullptr};
    button->cursorTexture = state == PLACE_OPEN ? nullptr : zoomCursor;
}

void SetHoverIds(const WeString& name, int32_t enterId, int32_t leaveId)
{
    if (WeUIComponent* place = MivoFindWidget(name))
    {
        place->onMouseEnter = {enterId, nullptr};
        place->onMouseLeave = {leaveId, nullptr};
    }
}

// The half of the view a zoomed map must keep filled, as a fraction of the map; 0.5 (the middle)
// for a map without size or a zoom factor that is no enlargement.
float HalfView(int32_t screen, float factor, int32_t laidOut)
{
    const float size = factor * static_cast<float>(laidOut);
    if (!(size > 0.0f))
        return 0.5f;
    return std::clamp(static_cast<float>(screen) / 2.0f / size, 0.0f, 0.5f);
}

int32_t ZoomedOffset(float centre, float zoom, int32_t laidOut, int32_t enlarged)
{
    return static_cast<int32_t>(
               std::lround(((0.5f - centre) * zoom + centre) * static_cast<float>(laidOut))) -
           static_cast<int32_t>(std::lround(static_cast<float>(enlarged) * centre));
}

// The scroll of the zoom centre for a mouse at fraction m of the screen.
float EdgeScroll(float m, float margin, float speed, float dt)
{
    if (!(margin > 0.0f))
        return 0.0f;
    if (m < margin)
        return -(1.0f - m / margin) * dt * speed;
    if (m > 1.0f - margin)
        return (1.0f - (1.0f - m) / margin) * dt * speed;
    return 0.0f;
}

} // namespace

// ---- difficulty ----

void MivoQuestDiffPhase::Enter()
{
    uiMain.LoadComponents("DiffQuest");
    MivoSetClickId("DiffQuestButtonEasy", kEasyId);
    MivoSetClickId("DiffQuestButtonMedium", kEasyId + 1);
    MivoSetClickId("DiffQuestButtonHard", kHardId);
    uiMain.ShowComponent(kDiffWindow);
}

void MivoQuestDiffPhase::Leave()
{
    uiMain.CloseComponent(kDiffWindow);
}

bool MivoQuestDiffPhase::OnUIEvent(WeUIEvent* event)
{
    if (event->id < kEasyId || event->id > kHardId)
        return false;
    MivoPlaySelectionSound();
    const int32_t difficulty = event->id - kEasyId + 1;
    userData.gameMode = MivoModeQuest;
    userData.runningQuestDifficulty = difficulty;
    if (MivoUser* user = userData.CurrentUser())
        user->quest.difficulty = difficulty;
    userData.regionSlot = userData.cityIndex = userData.mapInCity = userData.cityRunPoints = 0;
    userData.SaveUsers();
    phaseStack.Request(nullptr, WePhaseCommand::Pop);
    phaseStack.Request(&questPhase, WePhaseCommand::Switch);
    return true;
}

void MivoQuestDiffPhase::HandleInput()
{
    if (!MivoEscapeClicked())
        return;
    MivoPlaySelectionSound();
    phaseStack.Request(nullptr, WePhaseCommand::Pop);
}

// ---- the map ----

void MivoQuestPhase::Enter()
{
    centreX = centreY = zoomSpeed = zoom = 0.0f;
    MivoCityButtonStyle::questMapZoom = 0.0f;
    zoomCursor = uiMain.painter->LoadTexture("Config.UI.cursor_zoom");
    uiMain.LoadComponents("Quest");
    MivoSetClickId("QuestBackButton", kBackId);
    MivoSetClickId("QuestQuitButton", kQuitId);
    map = MivoFindWidget("QuestMap");
    if (map)
    {
        map->onMouseUp = {kZoomId, nullptr};
        map->onLayout = &MivoQuestPhase::OnMapLayout;
        map->cursorTexture = zoomCursor;
    }
    nameLabel = MivoFindWidget("QuestCityNameLabel");
    if (nameLabel)
    {
        nameLabel->visible = nameLabel->enabled = false;
        nameLabel->onLayout = &MivoQuestPhase::OnNameLabelLayout;
    }
    hoveredPlace = WeString();
    BuildMap();
    uiMain.ShowComponent(kWindow);
}

void MivoQuestPhase::Leave()
{
    userData.SaveUsers();
    uiMain.CloseComponent(kWindow);
    map = nameLabel = nullptr;
}

void MivoQuestPhase::BuildMap()
{
    bool atStart = true;
    for (int32_t k = 0; k < kMivoRegionCount && atStart; ++k)
        for (int32_t c = 0; c < kMivoCitiesPerRegion && atStart; ++c)
            atStart = userData.CityState(1000 * k + c) == PLACE_ABSENT;
    bool anyOpen = false;
    for (int32_t region = 1; region <= kMivoRegionCount; ++region)
    {
        const int32_t base = 1000 * (region - 1);
        bool played = false;
        for (int32_t c = 1; c <= kMivoCitiesPerRegion; ++c)
        {
            const int32_t key = base + c - 1;
            const MivoPlaceState state = userData.CityState(key);
            played = played || state == PLACE_OPEN || state == PLACE_FINISHED;
            anyOpen = anyOpen || state == PLACE_OPEN;
            SetHoverIds(CityName(region, c), kCityEnter + key, kCityLeave + key);
            SetPlace(MivoFindWidget(CityName(region, c)), state, kCityPlay + key, zoomCursor);
        }
        if (WeUIComponent* label = MivoFindWidget(Numbered("QuestRegionLabel", region)))
        {
            label->onLayout = &MivoQuestPhase::OnRegionLabelLayout;
            label->enabled = atStart;
            label->visible = !played;
            label->onMouseUp = {kRegionChoice + region, nullptr};
        }
        if (WeUIComponent* area = MivoFindWidget(Numbered("QuestRegion", region)))
        {
            area->onMouseUp = {kZoomId, nullptr};
            area->cursorTexture = zoomCursor;
        }
    }
    for (int32_t t = 1; t <= kMivoTeleportCount; ++t)
    {
        const WeString name = Numbered("QuestTeleport", t);
        SetHoverIds(name, kTeleportEnter + t, kTeleportLeave + t);
        // A teleport opens only when no city is left to play.
        MivoPlaceState state = userData.TeleportState(t - 1);
        if (state == PLACE_OPEN && anyOpen)
            state = PLACE_ABSENT;
        SetPlace(MivoFindWidget(name), state, kTeleportPlay + t, zoomCursor);
    }
}

void MivoQuestPhase::StartZoom()
{
    if (zoomSpeed != 0.0f)
        return;
    zoomSpeed = zoom == 0.0f ? Tuning().zoomSpeed : -Tuning().zoomSpeed;
    if (zoomSpeed <= 0.0f || !map)
        return;
    // Zooming in around the mouse; a map without size zooms around its middle.
    centreX = map->w > 0 ? static_cast<float>(uiMain.lastMouseX - map->x) / static_cast<float>(map->w) : 0.5f;
    centreY = map->h > 0 ? static_cast<float>(uiMain.lastMouseY - map->y) / static_cast<float>(map->h) : 0.5f;
}

void MivoQuestPhase::ShowPlaceName(WeUIComponent* place, const WeString& key, MivoPlaceState state)
{
    if (!nameLabel || !place)
        return;
    WeString text = localization.Translate(key);
    if (state == PLACE_ABSENT || state == PLACE_LOCKED || state == PLACE_FINISHED)
        text += "\n(" + localization.Translate(state == PLACE_FINISHED ? "UI: Finished" : "UI: Locked") + ")";
    nameLabel->text = text;
    // Placed against the place by its name, but kept where it is in the tree: a place that is
    // gone leaves nothing to follow.
    hoveredPlace = place->name;
    nameLabel->visible = true;
    nameLabel->UpdateLayout(true, true);
}

bool MivoQuestPhase::PlayCity(int32_t key)
{
    const int32_t regionBase = key / 1000 * 1000;
    int32_t finished = 0;
    for (int32_t c = 0; c < kMivoCitiesPerRegion; ++c)
        finished += userData.CityState(regionBase + c) == PLACE_FINISHED ? 1 : 0;
    // The n-th city entered in a region always plays the region's maps of order n.
    const int32_t cityKey = userData.CityKey(key);
    const int32_t slot = cityKey / 1000, index = cityKey % 1000;
    MivoUser* user = userData.CurrentUser();
    if (user && user->quest.regions[slot][index].orderNumber != finished)
        for (int32_t other = 0; other < kMivoCitiesPerRegion; ++other)
            if (user->quest.regions[slot][other].orderNumber == finished)
            {
                userData.ExchangeCities(slot, index, other);
                userData.SaveUsers();
                break;
            }
    if (zoomSpeed != 0.0f)
        return false;
    MivoPlaySelectionSound();
    userData.SelectCity(key);
    Play();
    return true;
}

bool MivoQuestPhase::PlayTeleport(int32_t teleport)
{
    if (zoomSpeed != 0.0f)
        return false;
    MivoPlaySelectionSound();
    userData.SelectTeleport(teleport - 1);
    Play();
    return true;
}

void MivoQuestPhase::ChooseCurrentMap()
{
    gameApp.mapToPlay = userData.QuestMapId();
    gameApp.questPlace = userData.currentPlace;
    playGamePhase.returnPhase = &questPhase;
}

void MivoQuestPhase::Play()
{
    ChooseCurrentMap();
    phaseStack.Request(nullptr, WePhaseCommand::Pop);
    phaseStack.Request(&playGamePhase, WePhaseCommand::Switch);
}

bool MivoQuestPhase::OnUIEvent(WeUIEvent* event)
{
    const int32_t id = event->id;
    if (id == kBackId)
    {
        MivoPlaySelectionSound();
        phaseStack.Request(&newGamePhase, WePhaseCommand::Switch);
        return true;
    }
    if (id == kZoomId)
    {
        StartZoom();
        return true;
    }
    if (id == kQuitId)
    {
        confirmationPhase.Show("Large", "UI: Are you sure Quest", &MivoQuestPhase::OnQuitAnswer, false);
        return true;
    }
    if (id > kTeleportPlay && id <= kTeleportPlay + kMivoTeleportCount)
        return PlayTeleport(id - kTeleportPlay);
    if (id > kRegionChoice && id <= kRegionChoice + kMivoRegionCount)
    {
        userData.ChooseRegion(id - kRegionChoice - 1);
        BuildMap();
        return false;
    }
    if (id > kTeleportEnter && id <= kTeleportEnter + kMivoTeleportCount)
    {
        const int32_t t = id - kTeleportEnter;
        ShowPlaceName(MivoFindWidget(Numbered("QuestTeleport", t)), Numbered("City: Teleport", t, 2),
                      userData.TeleportState(t - 1));
        return false;
    }
    if (id >= kCityPlay && id < kCityEnter)
        return PlayCity(id - kCityPlay);
    if (id >= kCityEnter && id < kCityLeave)
    {
        const int32_t key = id - kCityEnter;
        const int32_t region = key / 1000 + 1, city = key % 1000 + 1;
        WeUIComponent* place = MivoFindWidget(CityName(region, city));
        if (!place)
            return false;
        ShowPlaceName(place, Numbered("City: Region", region, 2) + Numbered("City", city),
                      userData.CityState(key));
        return false;
    }
    // Leaving a teleport or a city.
    if (id > kTeleportLeave && nameLabel)
        nameLabel->visible = false;
    return false;
}

void MivoQuestPhase::OnQuitAnswer(bool yes)
{
    MivoPlaySelectionSound();
    if (!yes)
        return;
    if (MivoUser* user = userData.CurrentUser())
    {
        user->quest.score = 0;
        user->quest.difficulty = 0;
        user->quest.teleportsDone = 0;
        MivoUserData::BuildQuestProgress(user->quest);
    }
    phaseStack.Request(&newGamePhase, WePhaseCommand::Switch);
}

void MivoQuestPhase::HandleInput()
{
    if (MivoEscapeClicked())
    {
        MivoPlaySelectionSound();
        WeUIEvent back = MivoMadeEvent(kBackId);
        OnUIEvent(&back);
        return;
    }
    if (zoom != 1.0f || zoomSpeed != 0.0f || renderDevice.BackBufferWidth() <= 0 ||
        renderDevice.BackBufferHeight() <= 0)
        return;
    const QuestTuning& t = Tuning();
    const float dt = timer.deltaTime;
    centreX +=
        EdgeScroll(static_cast<float>(uiMain.lastMouseX) / static_cast<float>(renderDevice.BackBufferWidth()),
                   t.marginX, t.scrollX, dt);
    centreY += EdgeScroll(static_cast<float>(uiMain.lastMouseY) /
                              static_cast<float>(renderDevice.BackBufferHeight()),
                          t.marginY, t.scrollY, dt);
}

void MivoQuestPhase::Update()
{
    if (zoomSpeed != 0.0f)
    {
        zoom += zoomSpeed * timer.deltaTime;
        if (zoom <= 0.0f || zoom >= 1.0f)
        {
            zoom = std::clamp(zoom, 0.0f, 1.0f);
            zoomSpeed = 0.0f;
        }
        MivoCityButtonStyle::questMapZoom = zoom;
    }
    static const WeColor base = WeUIArgbToColour(
        static_cast<uint32_t>(WeConfig::GetString("Mivo.QuestMap.SelDestColor", "#FF11A8B5").ToInt()));
    static const float& speed = WeConfig::GetFloat("Mivo.QuestMap.SelDestFactor", 2.0f);
    if (WeUIComponent* label = MivoFindWidget("QuestLabel"))
        label->colour = MivoEndGamePhase::PulseColour(base, speed, timer.absoluteTime);
}

void MivoQuestPhase::OnMapLayout(WeUIComponent* c)
{
    const MivoQuestPhase& q = questPhase;
    if (!(q.zoom > 0.0f))
        return;
    const QuestTuning& t = Tuning();
    const int32_t laidW = c->w, laidH = c->h;
    const float s = (t.zoomFactor - 1.0f) * q.zoom + 1.0f;
    c->w = static_cast<int32_t>(std::lround(static_cast<float>(laidW) * s));
    c->h = static_cast<int32_t>(std::lround(static_cast<float>(laidH) * s));
    const float hx = HalfView(renderDevice.BackBufferWidth(), t.zoomFactor, laidW);
    const float hy = HalfView(renderDevice.BackBufferHeight(), t.zoomFactor, laidH);
    questPhase.centreX = std::clamp(q.centreX, hx, 1.0f - hx);
    questPhase.centreY = std::clamp(q.centreY, hy, 1.0f - hy);
    c->x += ZoomedOffset(q.centreX, q.zoom, laidW, c->w);
    c->y += ZoomedOffset(q.centreY, q.zoom, laidH, c->h);
}

void MivoQuestPhase::OnNameLabelLayout(WeUIComponent* label)
{
    const WeString& placeName = questPhase.hoveredPlace;
    const WeUIComponent* place = placeName.IsEmpty() ? nullptr : MivoFindWidget(placeName);
    if (!place)
        return;
    // Centred above the place, or below it at the top of the screen.
    label->x = place->x + place->w / 2 - label->w / 2;
    label->y = place->y - label->h - kNameGap;
    if (label->y < 0)
        label->y = place->y + place->h + kNameGap;
}

void MivoQuestPhase::OnRegionLabelLayout(WeUIComponent* label)
{
    const QuestTuning& t = Tuning();
    const float zoom = questPhase.zoom;
    const float s = (1.0f - zoom) * t.scale + zoom * t.zoomedScale;
    label->w = static_cast<int32_t>(std::lround(static_cast<float>(label->w) * s));
    label->h = static_cast<int32_t>(std::lround(static_cast<float>(label->h) * s));
}
