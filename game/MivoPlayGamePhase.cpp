#include "MivoPlayGamePhase.h"

#include "MivoBoard.h"
#include "MivoGame.h"
#include "MivoGameCamera.h"
#include "MivoGameScene.h"
#include "MivoMenuIngamePhase.h"
#include "MivoMenuPhase.h"
#include "MivoScreen.h"
#include "MivoUserData.h"
#include "WeAudioDevice.h"
#include "WeConfig.h"
#include "WeFont.h"
#include "WeLocalization.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeProfileBlock.h"
#include "WeRandom.h"
#include "WeSound.h"
#include "WeTexture.h"
#include "WeTimer.h"
#include "WeUIMain.h"

#include <cmath>

namespace
{

const char* const kLoadingWindow = "LoadingWindow";
const char* const kIngameWindow = "IngameWindow";
const char* const kTutorialWindow = "IngameTutorialWindow";
const char* const kBlackIngame = "MenuBlackIngame";

// The first camera view, where every level starts: horizontal angle, vertical angle, distance.
constexpr float kFirstView[MivoGameCamera::axisCount] = {0.0f, 89.0f, 19.0f};
// How much farther out the camera starts its fly-in.
constexpr float kFlyInDistance = 40.0f;

WeString Numbered(const char* prefix, int32_t n)
{
    return WeString(prefix).AppendInt(n);
}

// The profile slots of the play's frame and of its scene tick.
constexpr int32_t kTickProfileSlot = 60, kTickSceneProfileSlot = 61;

// Won: no numbered, plus or minus block is left on top of a cell.
bool NoNumberLeft(MivoMapTable& table)
{
    bool left = false;
    table.ForEachCell(
        [&left](const MivoMapCell& cell)
        {
            const MivoBlockKind kind = cell.top ? cell.top->kind : MivoBlockKind::None;
            left = left || kind == MivoBlockKind::Number || kind == MivoBlockKind::Plus ||
                   kind == MivoBlockKind::Minus;
        });
    return !left;
}

void SetVisible(const WeString& name, bool visible)
{
    if (WeUIComponent* component = MivoFindWidget(name))
        component->visible = visible;
}

} // namespace

MivoPlayGamePhase::MivoPlayGamePhase() = default;
MivoPlayGamePhase::~MivoPlayGamePhase() = default;

void MivoPlayGamePhase::Enter()
{
    camera = std::make_unique<MivoGameCamera>();
    camera->up = {0.0f, 1.0f, 0.0f};
    camera->intro = true;
    for (int32_t axis = 0; axis < MivoGameCamera::axisCount; ++axis)
    {
        camera->bases[axis] = kFirstView[axis];
        camera->offsets[axis] = 0.0f;
        camera->targets[axis] = 0.0f;
    }
    camera->offsets[MivoGameCamera::distance] = kFlyInDistance;
    camera->Update();
    timer.ResetDelta();

    // The level before is gone: its actors with its scene, then its board and database.
    scene.reset();
    level = {};
    board = MivoBoard::Create();
    board->callbacks = &gameCallbacks;
    table = nullptr;
    database.reset();

    playing = false;
    state = WaitLoadingWindow;

    uiMain.enabled = false;
    gameApp.menuCursor = false;
    uiMain.LoadComponents("Loading");
    uiMain.ShowComponent(kLoadingWindow);
    UpdateLivesLabel(-1);
}

void MivoPlayGamePhase::Leave()
{
    playing = false;
    if (board)
        board->Clear();
    StopLoop(level.slideLoopSound);
    StopLoop(level.magnetLoopSound);
    camera.reset();
    scene.reset();
    level = {};
    board.reset();
    table = nullptr;
    database.reset();
    uiMain.CloseComponent(kIngameWindow);
    // A level left while it loads gives the menus their UI and cursor back.
    uiMain.CloseComponent(kLoadingWindow);
    uiMain.enabled = true;
    gameApp.menuCursor = true;
}

void MivoPlayGamePhase::Covered(WeAbstractPhase* newTop)
{
    if (newTop != &menuIngamePhase)
        return;
    uiMain.LoadComponents(kBlackIngame);
    uiMain.ShowComponent(kBlackIngame);
}

void MivoPlayGamePhase::Uncovered(WeAbstractPhase* popped)
{
    if (popped == &menuIngamePhase)
        uiMain.CloseComponent(kBlackIngame);
}

bool MivoPlayGamePhase::OnUIEvent(WeUIEvent* event)
{
    if (phaseStack.GetTop() != this)
        return false;
    const int32_t id = event->id;
    switch (id)
    {
    case kPauseId:
        phaseStack.Request(&menuIngamePhase, WePhaseCommand::Push);
        return true;
    case kTutorialOkId:
        uiMain.HideComponent(kTutorialWindow);
        uiMain.ClearModalComponent();
        return true;
    default:
        break;
    }
    if (!playing)
        return false;
    switch (id)
    {
    case kWonId:
        LevelWon();
        return true;
    case kLostOnTimeId:
        LevelLostOnTime();
        return true;
    case kAbandonId:
        ConfirmLeave();
        return true;
    default:
        break;
    }
    if (userData.gameMode != MivoModeSkill)
        return false;
    if (id > kFirstCubeId && id <= kFirstCubeId + kCubeCount)
    {
        UseCubeEvent(id - kFirstCubeId, event->arg1 != 0);
        return true;
    }
    if (id >= kHintShowId)
    {
        const bool show = id < kHintHideId;
        SetVisible(Numbered("IngameBonusCubeHint", id - (show ? kHintShowId : kHintHideId)), show);
        return true;
    }
    return false;
}

void MivoPlayGamePhase::SendEvent(int32_t id)
{
    WeUIEvent event = MivoMadeEvent(id);
    OnUIEvent(&event);
}

void MivoPlayGamePhase::UpdateLivesLabel(int32_t lives)
{
    WeUIComponent* label = MivoFindWidget("MenuOverlayCurrentUserLabel");
    if (!label)
        return;
    const MivoUser* user = userData.CurrentUser();
    if (!user)
    {
        label->text = "";
        return;
    }
    label->text = user->name;
    if (userData.gameMode != MivoModeSkill)
        return;
    label->text += " (" + localization.Translate("UI: Lives") + ": ";
    label->text.AppendInt(lives >= 0 ? lives : user->skill.lives);
    label->text += ")";
}

int32_t MivoPlayGamePhase::WorldNumber(int32_t questPlace, int32_t bonusIndex, int32_t random)
{
    if (questPlace == -1)
        return random * 15 / 32768 + 1;
    if (bonusIndex != -1)
        return questPlace + 2 > 15 ? questPlace + 2 - 15 : questPlace + 2;
    return questPlace / 1000 + 1;
}

float MivoPlayGamePhase::TimeLimitFor(int32_t mode, int32_t questDifficulty)
{
    if (mode == MivoModeSkill)
        return 300.0f;
    if (mode == MivoModeQuest && questDifficulty == 2)
        return 300.0f;
    if (mode == MivoModeQuest && questDifficulty == 3)
        return 180.0f;
    return 0.0f;
}

void MivoPlayGamePhase::Update()
{
    switch (state)
    {
    case WaitLoadingWindow:
        if (const WeUIComponent* window = uiMain.GetComponent(kLoadingWindow); window && window->IsSettled())
            state = StartSceneLoad;
        return;
    case StartSceneLoad:
        LoadBackground();
        return;
    case LoadSceneStep:
        LoadBackgroundStep();
        return;
    case BuildLevel:
        PrepareLevel();
        return;
    case FirstFrame:
        state = ShowHud;
        return;
    case ShowHud:
        ShowDisplay();
        break;
    default:
        break;
    }
    RunDisplayStates();
}

void MivoPlayGamePhase::LoadBackground()
{
    uiMain.DeleteComponentsByPrefix("MenuBack");
    const int32_t world = WorldNumber(gameApp.questPlace, userData.bonusIndex, WeRand());
    const WeString& mapName = WeConfig::GetString(Numbered("Mivo.Maps.World", world), "");
    scene = std::make_unique<MivoGameScene>();
    scene->BeginLoad(mapName);
    RehearseBoard();
    state = LoadSceneStep;
}

void MivoPlayGamePhase::LoadBackgroundStep()
{
    const bool more = !scene->finished && scene->LoadStep();
    WarmUpScene();
    if (more)
        return;
    DropRehearsal();
    state = BuildLevel;
}

void MivoPlayGamePhase::WarmUpScene()
{
    if (!camera)
        return;
    scene->config.SetupRenderDevice();
    scene->WarmUp(camera.get(), kWarmUpMilliseconds);
}

void MivoPlayGamePhase::PrepareLevel()
{
    BuildBoard();
    if (!table)
    {
        // No level to play: back to the menus and the phase that chose it, nothing booked.
        if (returnPhase)
        {
            phaseStack.Request(&menuPhase, WePhaseCommand::Switch);
            phaseStack.Request(returnPhase, WePhaseCommand::Push);
        }
        return;
    }
    elapsed = 0.0f;
    const MivoUser* user = userData.CurrentUser();
    timeLimit = TimeLimitFor(userData.gameMode, user ? user->quest.difficulty : 0);

    // Read once per run: the floor holds for the rest of the run, menus included. A rate that
    // is not a positive number leaves the floor as it is.
    static const float frameRate = WeConfig::GetFloat("Mivo.GamePlay.FrameRate", 60.0f);
    if (frameRate > 0.0f && std::isfinite(frameRate))
        timer.minimumDelta = 1.0 / double(frameRate);

    hudFont = fonts.GetFont("Arial:30");
    BuildBlockMaterials();

    timer.ResetUserTimers();
    userData.ResetLevelCounters();
    camera->targets[MivoGameCamera::distance] = 0.0f;
    state = FirstFrame;
}

void MivoPlayGamePhase::BuildBlockMaterials()
{
    std::vector<std::unique_ptr<WeMaterial>> previous;
    previous.swap(blockMaterials);
    for (int32_t i = 1; i <= 11; ++i)
    {
        WeString texture("Ingame.Textures.block_");
        if (i == 10)
            texture += "plus";
        else if (i == 11)
            texture += "minus";
        else
            texture.AppendInt(i);
        const int32_t set = i == 10 ? 100 : i == 11 ? 104 : 4 * i + 26;
        MakeBlockMaterial("Ingame.Models.block_number", texture + "_a", set);
    }
    MakeBlockMaterial("Ingame.Models.block_wall", "Ingame.Textures.block_wall_a", 110);
    // The meshes now hold the new materials; the last level's go.
}

void MivoPlayGamePhase::MakeBlockMaterial(const WeString& meshName, const WeString& textureName,
                                          int32_t materialSet)
{
    WeMesh* mesh = meshManager.Load(meshName);
    if (!mesh)
        return;
    mesh->LoadMaterials(0, false);
    for (int32_t subset = 0; subset < mesh->subsetCount && subset < WeMesh::maxSubsets; ++subset)
    {
        WeMaterial* source = mesh->sets[0].materials[subset];
        if (!source)
            continue;
        // The other subsets draw with the mesh's own materials: every set shares them, so the
        // blocks of all numbers draw them together.
        if (subset != 0)
        {
            mesh->SetMaterial(subset, materialSet, source);
            continue;
        }
        auto material = std::make_unique<WeMaterial>();
        source->CopyTo(*material);
        material->textureNames[0] = textureName;
        material->textures[0] = textures.Load(textureName);
        mesh->SetMaterial(subset, materialSet, material.get());
        blockMaterials.push_back(std::move(material));
    }
}

void MivoPlayGamePhase::ShowDisplay()
{
    gameApp.menuCursor = true;
    uiMain.enabled = true;
    uiMain.CloseComponent(kLoadingWindow);
    uiMain.LoadComponents("Ingame");
    uiMain.ShowComponent(kIngameWindow);
    scoreLabel = MivoFindWidget("IngameScore");
    hiScoreLabel = MivoFindWidget("IngameHiScore");
    timeLabel = MivoFindWidget("IngameTime");
    movesLabel = MivoFindWidget("IngameMoves");
    timeBar = MivoFindWidget("IngameProgressBar2");
    if (timeBar)
        timeBar->onUpdate = DrawLifeBar;

    if (userData.gameMode == MivoModePractice)
        for (const char* name : {"IngameScoreText", "IngameScore", "IngameHiScoreText", "IngameHiScore"})
            SetVisible(name, false);
    const MivoUser* user = userData.CurrentUser();
    const bool timed = TimeLimitFor(userData.gameMode, user ? user->quest.difficulty : 0) > 0.0f;
    for (const char* name : {"IngameTime", "IngameProgressBar1", "IngameProgressBar2", "IngameProgressBar3"})
        SetVisible(name, timed);
    UpdateBonusCube();
    UpdateMovesLabel();
    SetVisible(kTutorialWindow, false);

    audioDevice.StopMusic(0);
    gameApp.nextPlayTrack = gameApp.nextPlayTrack % MivoGame::kLastPlayTrack + 1;
    gameApp.musicTrack = gameApp.nextPlayTrack;
    state = WaitUiSettled;
}

void MivoPlayGamePhase::RunDisplayStates()
{
    for (;;)
    {
        switch (state)
        {
        case WaitUiSettled:
            if (!uiMain.hiding.IsEmpty())
            {
                TickScene();
                return;
            }
            state = CheckTutorials;
            break;
        case CheckTutorials:
        case TutorialOpen:
            if (CameraFlyingIn())
            {
                TickScene();
                return;
            }
            if (state == TutorialOpen)
            {
                const WeUIComponent* window = MivoFindWidget(kTutorialWindow);
                if (window && window->visible)
                {
                    TickScene();
                    return;
                }
                state = CheckTutorials;
            }
            if (OfferTutorial())
                state = TutorialOpen;
            else
                StartPlay();
            break;
        case Playing:
            Play();
            return;
        default:
            return;
        }
    }
}

bool MivoPlayGamePhase::CameraFlyingIn()
{
    if (!level.cameraIntro)
        return false;
    if (camera->offsets[MivoGameCamera::distance] > 0.0f)
        return true;
    state = CheckTutorials;
    level.cameraIntro = false;
    camera->targets[MivoGameCamera::distance] = 0.0f;
    camera->offsets[MivoGameCamera::distance] = 0.0f;
    camera->intro = false;
    return false;
}

bool MivoPlayGamePhase::OfferTutorial()
{
    // Every picture, tutorial 10's included, so none stays beside the next one.
    for (int32_t k = 0; k < kTutorialCount; ++k)
        SetVisible(Numbered("IngameTutorialCube", k), false);
    MivoUser* user = userData.CurrentUser();
    if (!user)
        return false;
    for (const int32_t k : level.tutorialOrder)
    {
        if (k < 0 || k >= kTutorialCount || !level.tutorialPending[k] || user->tutorialsSeen[k])
            continue;
        user->tutorialsSeen[k] = 1;
        level.tutorialPending[k] = 0;
        const WeString key = "Tutorial: " + WeConfig::GetString(Numbered("Mivo.Tutorials.Tutorial", k), "");
        if (WeUIComponent* label = MivoFindWidget("IngameTutorialLabel"))
            label->text = localization.Translate(key);
        if (WeUIComponent* headline = MivoFindWidget("IngameTutorialHeadline");
            headline && localization.HasKey(key + ".Headline"))
            headline->text = localization.Translate(key + ".Headline");
        MivoSetClickId("IngameTutorialOkButton", kTutorialOkId);
        SetVisible(Numbered("IngameTutorialCube", k), true);
        SetVisible(kTutorialWindow, true);
        uiMain.ShowComponent(kTutorialWindow);
        uiMain.SetModalComponent(kTutorialWindow);
        userData.SaveUsers();
        return true;
    }
    return false;
}

void MivoPlayGamePhase::StartPlay()
{
    playing = true;
    board->ResolveTracks();
    board->ResolveTeleports();
    board->ResolveMagnets(true);
    state = Playing;
}

void MivoPlayGamePhase::Play()
{
    const float dt = timer.deltaTime;
    const WeProfileScope tick(timer.profileSlots[kTickProfileSlot], "Tick");
    AnimateHighlights(dt);
    AnimateArrowSets();
    AnimateFloatingScores(dt);
    if (playing && phaseStack.GetTop() == this)
        elapsed += dt;
    static const float& speed = WeConfig::GetFloat("Mivo.GamePlay.Speed", 5.0f);
    board->speed = speed;
    board->Tick(playing ? dt : 0.0f);
    SyncBlockActors();
    AnimatePicker();
    {
        const WeProfileScope tickScene(timer.profileSlots[kTickSceneProfileSlot], "Tick Scene");
        TickScene();
    }
    CheckLevelEnd();
    if (playing)
        UpdateMovesLabel();
}

void MivoPlayGamePhase::AnimateHighlights(float dt)
{
    if (level.pulsingActor && level.pulsingActor->model)
    {
        level.pulseTime += dt;
        while (level.pulseTime >= 2.0f)
            level.pulseTime -= 2.0f;
        const float fade = std::fabs(1.0f - level.pulseTime);
        float* colour = level.pulsingActor->model->colour;
        colour[0] = 1.0f;
        colour[1] = colour[2] = fade;
        colour[3] = 1.0f;
    }
    for (size_t i = 0; i < level.fadeList.size();)
    {
        float* colour = level.fadeList[i]->model ? level.fadeList[i]->model->colour : nullptr;
        if (colour)
            colour[1] = colour[2] = colour[1] + dt;
        if (colour && colour[1] < 1.0f)
        {
            ++i;
            continue;
        }
        if (colour)
            colour[1] = colour[2] = 1.0f;
        level.fadeList.erase(level.fadeList.begin() + std::ptrdiff_t(i));
    }
}

void MivoPlayGamePhase::AnimateFloatingScores(float dt)
{
    for (size_t i = 0; i < level.floatingScores.size();)
    {
        MivoFloatingScore& score = *level.floatingScores[i];
        score.life -= dt;
        if (score.life < 0.0f)
        {
            level.floatingScores.erase(level.floatingScores.begin() + std::ptrdiff_t(i));
            continue;
        }
        if (score.life < score.fadeTime)
            score.alpha = 1.0f - (score.fadeTime - score.life) / score.fadeTime;
        score.stepTimer -= dt;
        if (score.stepTimer < 0.0f)
        {
            score.stepTimer += 0.025f;
            score.rise -= 1.0f / 1024.0f;
        }
        ++i;
    }
}

void MivoPlayGamePhase::CheckLevelEnd()
{
    if (!playing || !board->IsAtRest())
        return;
    if (!table || NoNumberLeft(*table))
        SendEvent(kWonId);
    else if (timeLimit > 0.0f && elapsed > timeLimit)
        SendEvent(kLostOnTimeId);
}

void MivoPlayGamePhase::AnimateArrowSets()
{
    for (size_t i = 0; i < level.arrowSets.size();)
    {
        AnimateArrows(*level.arrowSets[i]);
        if (level.arrowSets[i]->state == MivoArrowSet::Finished)
        {
            KillArrows(*level.arrowSets[i]);
            level.arrowSets.erase(level.arrowSets.begin() + std::ptrdiff_t(i));
        }
        else
            ++i;
    }
}

void MivoPlayGamePhase::TickScene()
{
    if (scene)
        scene->Tick();
}

void MivoPlayGamePhase::Render()
{
    if (state < FirstFrame || !camera)
        return;
    camera->Update();
    if (scene)
        scene->Render(camera.get());
    for (const std::unique_ptr<MivoFloatingScore>& score : level.floatingScores)
        score->Draw(camera->viewProjection);
}
