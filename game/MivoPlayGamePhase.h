// The in-game phase (global playGamePhase): it loads a level behind the loading window over
// several frames (the background map, the board and its actors, the run-time block materials,
// the in-game display, the tutorials), flies the orbit camera in, and then plays. The practice,
// skill, quest and statistic phases choose the level (the application's map to play and quest
// place) and switch this phase in.
#pragma once

#include "MivoArrowSet.h"
#include "MivoBoardEvent.h"
#include "MivoGameCallbacks.h"
#include "WePhaseStack.h"
#include "WeString.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class MivoActor;
class MivoBoard;
class MivoFloatingScore;
class MivoGameCamera;
class MivoGameScene;
class MivoMapDatabase;
class MivoMapTable;
class WeActor;
class WeFont;
class WeMaterial;
class WeParticleSystem;
class WeSound;
class WeUIComponent;
struct MivoBlock;
struct WeColor;

// A teleport's particles while it sends blocks: how many of its events keep them enlarged, and
// the sizes they return to.
struct MivoTeleportGlow
{
    int32_t activity = 0;
    float sizes[4] = {}; // start X, start Y, end X, end Y
};

// The presentation words a block carries in the play.
MivoActor* MivoActorOf(const MivoBlock* block);
MivoMagnetAnim* MivoMagnetAnimOf(const MivoBlock* block);

class MivoPlayGamePhase : public WeAbstractPhase
{
public:
    // The loading and play states of Update.
    enum State : int32_t
    {
        WaitLoadingWindow = 1,
        StartSceneLoad = 2,
        LoadSceneStep = 4,
        BuildLevel = 5,
        FirstFrame = 10,
        ShowHud = 11,
        WaitUiSettled = 12,
        CheckTutorials = 13,
        TutorialOpen = 14,
        Playing = 15
    };
    // Events the phase sends itself and the ids of its buttons.
    static constexpr int32_t kWonId = 30;
    static constexpr int32_t kLostOnTimeId = 31;
    static constexpr int32_t kAbandonId = 32;
    static constexpr int32_t kPauseId = 33;
    static constexpr int32_t kTutorialOkId = 40;
    static constexpr int32_t kFirstCubeId = 100;   // + cube 1..9: use the bonus cube
    static constexpr int32_t kHintShowId = 200000; // + cube: the mouse entered it
    static constexpr int32_t kHintHideId = 300000; // + cube: the mouse left it
    static constexpr int32_t kCubeCount = 9;
    static constexpr int32_t kCubePrice = 3; // cubes of a kind spent by one use
    static constexpr int32_t kTutorialCount = 11;
    // The presentation words of a block in the play: its actor, its teleport particles, its magnet.
    static constexpr size_t kActorWord = 0, kGlowWord = 1, kMagnetWord = 2;
    static constexpr float kCellPitch = 1.01f;
    static constexpr float kPickHalfSize = 0.4949f;

    MivoPlayGamePhase();
    ~MivoPlayGamePhase() override;

    // A new level: camera at the first view with the fly-in ahead, a new board, the loading
    // window; Update builds the rest.
    void Enter() override;
    // Ends the level: board emptied, loop sounds, camera and scene freed, display (or loading
    // window) closed, the UI and its cursor on again.
    void Leave() override;
    // The level darkened behind the pause menu, and back.
    void Covered(WeAbstractPhase* newTop) override;
    void Uncovered(WeAbstractPhase* popped) override;
    // While this phase is on top: the pause menu (33), the tutorial's OK (40); while playing the
    // level's end (30 won, 31 lost on time, 32 abandon), and in the skill mode the bonus cubes
    // (101..109) and their hints.
    bool OnUIEvent(WeUIEvent* event) override;
    // The mouse and keys: Escape, F2, the camera, picking, moving, the developer keys.
    void HandleInput() override;
    // The loading states; from state 11 on, the states that follow run in the same call.
    void Update() override;
    // The scene through the camera and the floating scores, once the level is built.
    void Render() override;

    // "MenuOverlayCurrentUserLabel": the player's name, in the skill mode with the lives (the
    // argument when 0 or more, else the player's own).
    void UpdateLivesLabel(int32_t lives);

    // ---- level results ----
    // Books the won level and shows its result.
    void LevelWon();
    // Books the level as lost (a skill life) and shows the lose screen.
    void LevelLostOnTime();
    // Asks whether to leave the level (in the skill mode: at the cost of a life).
    void ConfirmLeave();
    static void LeaveConfirmed(bool yes);
    // Gives the level up: a skill life lost (the game lost with the last one), else a restart.
    void AbandonLevel();

    // ---- scoring ----
    // The points of a merge (kind 1) or a vanishing pair (kind 2, floated over both blocks);
    // false when the event scores nothing.
    static bool EventPoints(const MivoBoardEvent& event, int32_t& points);
    // The points of a merge or a vanishing pair added to the level; practice scores nothing.
    void ScoreEvent(const MivoBoardEvent& event);
    // Adds the points to the level score and floats them over the second block (over both when
    // the first is given too) when it has an actor.
    void AddScore(const MivoBlock* first, int32_t points, const MivoBlock* second);

    // ---- the display ----
    // The time bar's clip: the bar shrinks as the time runs out, never past its own box.
    static void DrawLifeBar(WeUIComponent* component);
    // "IngameMapName": the map's name, in the quest after the place.
    void UpdateMapLabel();
    // The map label, the bonus cubes (skill mode only) with their hints, the menu button.
    void UpdateBonusCube();
    // Score, best score, time, moves and the cube stocks.
    void UpdateMovesLabel();
    // Spends three of the cube (skill mode); false when the player holds fewer.
    bool UseBonusCube(int32_t cube);
    // The level's display closed and the board darkened behind the statistic screen.
    void ShowStatistic();

    // ---- blocks that change or go (for the board's presentation) ----
    // The block's actor takes the model and material set of its kind, number and state.
    void RefreshBlockLook(MivoBlock* block);
    // The block's actor killed and the block dropped from the lists, selection and highlights.
    void ForgetBlock(MivoBlock* block);

    // ---- effects ----
    // A particle effect of the preset (none when it cannot be read, or without a scene), at the
    // position, relative to the parent when there is one, in the scene.
    WeParticleSystem* SpawnParticles(WeActor* parent, const WeVector& position, const WeString& key);
    // The white glow of a floor teleport, raised by "Mivo.Blocks.TeleportY" over the position.
    WeParticleSystem* SpawnTeleportGlow(WeActor* parent, const WeVector& position);
    // A game actor of the model in the material set, at the position (relative to the parent when
    // there is one), in the scene; none without a scene.
    MivoActor* MakeEffectActor(const WeString& model, int32_t materialSet, WeActor* parent,
                               const WeVector& position);
    // A translucent ghost block at the position.
    MivoActor* MakeGhost(const WeVector& position);
    // Detached where it stands and killed (a particle effect stops and goes with its last particle).
    static void KillEffectActor(WeActor* actor);
    // The loop stopped and deleted.
    static void StopLoop(std::unique_ptr<WeSound>& loop);
    // A teleport's particles enlarged while any of its firings lasts, then as they were.
    void BeginTeleportGlow(WeParticleSystem* glow);
    void EndTeleportGlow(WeParticleSystem* glow);
    // The magnet shown over a pulling magnet block, which carries it.
    MivoMagnetAnim& AddMagnetAnim(MivoBlock* magnet);
    // The magnet's actor killed and the animation freed.
    void RemoveMagnetAnim(MivoBlock* magnet);
    // One frame of the magnet's fade, pulse and turn; once per scene frame.
    void AnimateMagnet(MivoMagnetAnim& anim);
    // One frame of the number picker: the ring grows while the mouse stays over its teleport and
    // shrinks away (closing the picker) when it leaves; the arrow over the exit a block would
    // come out of, with sparks there when the picker has just opened.
    void AnimatePicker();
    // The exit of the picker's teleport group that a block sent now would come out of: the
    // current exit, or the next when that is the picker's own teleport.
    MivoBlock* PickerTarget() const;
    // The ring and the arrow killed; no picker is open.
    void ClosePicker();

    // ---- the board's actors ----
    // The board of the application's map to play, its actors, the tutorial flags.
    void BuildBoard();
    // The running table on the board: the teleport colours, the grid, the tutorial flags, the
    // block actors with the teleports' particles and the track ends.
    void PlaceBoard();
    // A game actor showing the block (part 0 the block itself, 1 and 2 a track's end pieces) at
    // (x, height, z), added to the scene; own: it becomes the block's actor and the block joins
    // the block list; pickable: the block joins the pickable list.
    MivoActor* CreateBlockActor(float x, float z, MivoBlock* block, int32_t part, bool own, bool pickable);
    // A game actor with the model and material set that show the block of the table (part as
    // above), tinted for its teleport group, not yet placed.
    std::unique_ptr<MivoActor> BlockLook(MivoMapTable* tracked, const MivoBlock& block, int32_t part) const;
    // The height a block's actor stands at: the base layer's for tracks and teleports, else 0.
    static float BlockHeight(const MivoBlock& block);
    // The table's number in its database, from a map id; below 1 for none.
    static int32_t TableNumber(int32_t mapId);
    // The database of a map id's level, loaded; null when the id names no table.
    static std::unique_ptr<MivoMapDatabase> LevelDatabase(int32_t mapId);
    // The board centre along a side of the given number of cells.
    static float BoardCentre(int32_t cells);
    // Actors of the level's blocks in the loading scene, where the board will stand, looking as
    // the level's first frame will show them (the block materials made for them). The scene's
    // warm-ups draw them with the map, so that the driver makes their programs while the map
    // loads rather than in that frame; they go before the board is built.
    void RehearseBoard();
    void DropRehearsal();
    // The model that shows the block.
    static WeString BlockModelKey(const MivoBlock* block, int32_t part);
    // The material set of that model the block is drawn with.
    int32_t BlockMaterialIndex(const MivoBlock* block, int32_t part) const;
    // The same for a block of the table (whose tracks give a track block its set), or none.
    static int32_t MaterialIndexOn(MivoMapTable* tracked, const MivoBlock* block, int32_t part);
    // Every cell's plane position, and its blocks', from the grid and the board centre.
    void LayoutBlocks();
    // Every idle pickable block's actor where its block is, then the magnets' look-only pass.
    void SyncBlockActors();
    // The block or arrow under the mouse (both null when nothing, or without a scene).
    void PickBlock(WeActor*& actor, MivoBlock*& block);
    // Selects the block's actor and grows arrows for the directions it can move in.
    void CreateArrows(MivoBlock* block);
    // The selected actor untinted and dropped; every arrow set shrinks away.
    void ClearSelection();
    // The newest arrow set while its block stays selected, else null.
    MivoArrowSet* CurrentArrows() const;
    // One frame of the set, handed to its arrow actors.
    void AnimateArrows(MivoArrowSet& set);

    // The run-time material sets of the number and wall meshes (numbers 30 to 62, plus 100,
    // minus 104, wall 110), each made from the mesh's set 0 with its own texture in subset 0;
    // they replace the last level's, which are freed.
    void BuildBlockMaterials();

    // ---- rules without a scene ----
    // The background world 1..15: random outside a quest (place -1); on a bonus level place + 2
    // wrapped past 15; else the place's region + 1. random is a draw of 0..32767.
    static int32_t WorldNumber(int32_t questPlace, int32_t bonusIndex, int32_t random);
    // Seconds of a level in the mode at the quest difficulty; 0 for no limit.
    static float TimeLimitFor(int32_t mode, int32_t questDifficulty);
    // The turn about the vertical axis of a block's actor (random for walls).
    float BlockTurn(const MivoBlock& block, int32_t part) const;
    // Teleport group g's colour; white for a group outside 1..8.
    WeColor TeleportColor(int32_t group) const;
    // The tutorial a block of this kind explains, or -1.
    static int32_t TutorialOfKind(int32_t kind);
    // Whether the ray from origin along direction meets the block box around the centre.
    static bool ProbeBlock(const WeVector& centre, const WeVector& origin, const WeVector& direction);
    // False only when the ray's line passes the centre farther than the pick box's corners, so
    // that no probe of the box can hit: a few products that leave picking only the boxes near
    // the ray to probe.
    static bool RayNearBlock(const WeVector& centre, const WeVector& origin, const WeVector& direction);
    // The arrow a ray points at beside the block at centre: the quadrant of the point where it
    // meets the floor plane; -1 for a ray parallel to it.
    static int32_t ArrowUnderRay(const WeVector& centre, const WeVector& origin, const WeVector& direction);

    // ---- data ----
    // What a level builds up as it loads and plays, fresh at every level's start and dropped
    // with its scene: the block lists, the selection and highlights, the arrows, the floating
    // scores, the picker, the magnets and slides with their loop sounds, the teleport glows and
    // the tutorials the level offers.
    struct LevelState
    {
        MivoActor* selectedActor = nullptr;
        std::vector<std::unique_ptr<MivoArrowSet>> arrowSets;
        std::vector<MivoBlock*> blocks;         // every block with its own actor, in creation order
        std::vector<MivoBlock*> pickableBlocks; // the blocks the player may pick
        std::vector<std::unique_ptr<MivoFloatingScore>> floatingScores;
        MivoActor* pulsingActor = nullptr;
        float pulseTime = 0.0f;
        std::vector<MivoActor*> fadeList;
        MivoActor* hoveredArrow = nullptr;
        bool pickerTouched = false;
        MivoBlock* pickerBlock = nullptr;
        WeActor* pickerBlockActor = nullptr;
        std::vector<WeActor*> pickerActors;
        WeActor* pickerArrow = nullptr;
        float pickerTime = 0.0f;
        float pickerFloat = 0.0f;
        bool pickerOpen = false;
        int32_t magnetCount = 0;
        std::unique_ptr<WeSound> magnetLoopSound;
        int32_t slideCount = 0;
        std::unique_ptr<WeSound> slideLoopSound;
        std::vector<std::unique_ptr<MivoMagnetAnim>> magnetAnims;
        std::unordered_map<const WeParticleSystem*, MivoTeleportGlow> teleportGlows;
        // The rehearsed board's actors and glows, owned by the scene.
        std::vector<WeActor*> rehearsal;
        uint8_t tutorialPending[kTutorialCount] = {};
        int32_t tutorialOrder[kTutorialCount] = {};
        int32_t usedBonusCube = 0;
        bool cameraIntro = true; // the camera still flies in
    };
    LevelState level; // made fresh as the phase enters and as it leaves, once the scene is gone
    float boardCentreX = 0.0f, boardCentreZ = 0.0f;
    int32_t state = WaitLoadingWindow; // set anew as a level begins; a left phase keeps its last
    std::unique_ptr<MivoGameScene> scene;
    std::unique_ptr<MivoGameCamera> camera;
    std::unique_ptr<MivoBoard> board;
    MivoGameCallbacks gameCallbacks;
    WeAbstractPhase* returnPhase = nullptr;
    MivoMapTable* table = nullptr; // of database, which the phase owns for the level
    std::unique_ptr<MivoMapDatabase> database;
    uint32_t teleportColors[8] = {};
    WeFont* hudFont = nullptr;
    WeUIComponent* scoreLabel = nullptr;
    WeUIComponent* hiScoreLabel = nullptr;
    WeUIComponent* timeLabel = nullptr;
    WeUIComponent* movesLabel = nullptr;
    WeUIComponent* timeBar = nullptr;
    bool playing = false; // stopped first as the phase leaves, and by the level's end
    // The level's clock: started, and its limit set by the mode, once the level is built.
    float elapsed = 0.0f;
    float timeLimit = 0.0f;
    bool previousLeftButton = false; // the left button at the last HandleInput; kept across levels
    // The block materials of this level (numbers, plus, minus, wall) in the meshes' run-time
    // sets; the next level's replace them.
    std::vector<std::unique_ptr<WeMaterial>> blockMaterials;
    // How long each frame of the map's load warms the scene up for, at most (one new look is
    // always drawn, and its program may take longer).
    static constexpr double kWarmUpMilliseconds = 40.0;

private:
    void LoadBackground();
    void LoadBackgroundStep();
    // A warm-up of the loading scene through the level's camera, the map's look on the device.
    void WarmUpScene();
    void PrepareLevel();
    // One mesh's material set: a copy of its set-0 material with the texture in subset 0, its
    // set-0 materials themselves in the others.
    void MakeBlockMaterial(const WeString& meshName, const WeString& textureName, int32_t materialSet);
    void ShowDisplay();
    // States 12 to 15 in turn, as far as each lets the next run in this call.
    void RunDisplayStates();
    // True while the camera still flies in (the scene ticks meanwhile).
    bool CameraFlyingIn();
    // Offers the first pending tutorial the player has not seen; false when none is left.
    bool OfferTutorial();
    void StartPlay();
    // The frame of a level at play: highlights, arrows, score texts, clock, board, actors, scene,
    // and the level's end.
    void Play();
    void AnimateHighlights(float dt);
    void AnimateArrowSets();
    void AnimateFloatingScores(float dt);
    // Raises 30 on a board without numbered, plus or minus blocks, else 31 past the time limit.
    void CheckLevelEnd();
    // Sends the phase itself the event.
    void SendEvent(int32_t id);
    void UseCubeEvent(int32_t cube, bool free);
    void ApplyCube(int32_t cube);
    // HandleInput's parts.
    void SteerCamera(float dt);
    void PointAndMove();
    void OpenPicker(MivoBlock* block, MivoActor* actor);
    void PlacePickerArrow();
    void DeveloperKeys();
    // The set's arrow actors detached where they stand and killed.
    static void KillArrows(MivoArrowSet& set);
    void TickScene();
    // The end pieces of every track of the table.
    void CreateTrackEnds();
    // The floor block at each end of each of the table's tracks, with its part (1 start, 2 end).
    static void ForEachTrackEnd(const MivoMapTable& tracked,
                                const std::function<void(MivoBlock& floor, int32_t part)>& visit);
};

extern MivoPlayGamePhase playGamePhase;
