// The in-game phase (global playGamePhase): it loads a level behind the loading window over
// several frames (the background map, the board and its actors, the run-time block materials,
// the in-game display, the tutorials), flies the orbit camera in, and then plays. The practice,
// skill, quest and statistic phases choose the level (the application's map to play and quest
// place) and switch this phase in.
#pragma once

#include "MivoArrowSet.h"
#include "WePhaseStack.h"
#include "WeString.h"

#include <cstdint>
#include <memory>
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
class WeSound;
class WeUIComponent;
struct MivoBlock;
struct WeColor;

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
    static constexpr int32_t kTutorialCount = 11;
    static constexpr float kCellPitch = 1.01f;
    static constexpr float kPickHalfSize = 0.4949f;

    MivoPlayGamePhase();
    ~MivoPlayGamePhase() override;

    // A new level: camera at the first view with the fly-in ahead, a new board, the loading
    // window; Update builds the rest.
    void Enter() override;
    // Ends the level: board emptied, loop sounds, camera and scene freed, display closed.
    void Leave() override;
    // The level darkened behind the pause menu, and back.
    void Covered(WeAbstractPhase* newTop) override;
    void Uncovered(WeAbstractPhase* popped) override;
    // The pause menu (33) and the tutorial's OK (40), while this phase is on top.
    bool OnUIEvent(WeUIEvent* event) override;
    // The loading states; from state 11 on, the states that follow run in the same call.
    void Update() override;
    // The scene through the camera and the floating scores, once the level is built.
    void Render() override;

    // "MenuOverlayCurrentUserLabel": the player's name, in the skill mode with the lives (the
    // argument when 0 or more, else the player's own).
    void UpdateLivesLabel(int32_t lives);

    // ---- the board's actors ----
    // The board of the application's map to play, its actors, the tutorial flags.
    void BuildBoard();
    // A game actor showing the block (part 0 the block itself, 1 and 2 a track's end pieces) at
    // (x, height, z), added to the scene; own: it becomes the block's actor and the block joins
    // the block list; pickable: the block joins the pickable list.
    MivoActor* CreateBlockActor(float x, float z, MivoBlock* block, int32_t part, bool own, bool pickable);
    // The model that shows the block.
    static WeString BlockModelKey(const MivoBlock* block, int32_t part);
    // The material set of that model the block is drawn with.
    int32_t BlockMaterialIndex(const MivoBlock* block, int32_t part) const;
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
    // The arrow a ray points at beside the block at centre: the quadrant of the point where it
    // meets the floor plane; -1 for a ray parallel to it.
    static int32_t ArrowUnderRay(const WeVector& centre, const WeVector& origin, const WeVector& direction);

    // ---- data ----
    std::vector<MivoBlock*> blocks;         // every block with its own actor, in creation order
    std::vector<MivoBlock*> pickableBlocks; // the blocks the player may pick
    std::vector<std::unique_ptr<MivoFloatingScore>> floatingScores;
    int32_t usedBonusCube = 0;
    float boardCentreX = 0.0f, boardCentreZ = 0.0f;
    MivoActor* selectedActor = nullptr;
    MivoActor* pulsingActor = nullptr;
    std::vector<MivoActor*> fadeList;
    float pulseTime = 0.0f;
    MivoActor* hoveredArrow = nullptr;
    int32_t magnetCount = 0;
    std::unique_ptr<WeSound> magnetLoopSound;
    int32_t slideCount = 0;
    std::unique_ptr<WeSound> slideLoopSound;
    uint8_t tutorialPending[kTutorialCount] = {};
    int32_t tutorialOrder[kTutorialCount] = {};
    int32_t state = WaitLoadingWindow;
    std::unique_ptr<MivoGameScene> scene;
    std::unique_ptr<MivoGameCamera> camera;
    std::unique_ptr<MivoBoard> board;
    WeAbstractPhase* returnPhase = nullptr;
    MivoMapTable* table = nullptr; // of database, which the phase owns for the level
    std::unique_ptr<MivoMapDatabase> database;
    uint32_t teleportColors[8] = {};
    std::vector<std::unique_ptr<MivoArrowSet>> arrowSets;
    WeFont* hudFont = nullptr;
    WeUIComponent* scoreLabel = nullptr;
    WeUIComponent* hiScoreLabel = nullptr;
    WeUIComponent* timeLabel = nullptr;
    WeUIComponent* movesLabel = nullptr;
    WeUIComponent* timeBar = nullptr;
    bool playing = false;
    float elapsed = 0.0f;
    float timeLimit = 0.0f;
    bool cameraIntro = false;
    bool pickerTouched = false;
    MivoBlock* pickerBlock = nullptr;
    WeActor* pickerBlockActor = nullptr;
    std::vector<WeActor*> pickerActors;
    WeActor* pickerArrow = nullptr;
    float pickerTime = 0.0f;
    float pickerFloat = 0.0f;
    bool pickerOpen = false;
    // The block materials of this level (numbers, plus, minus, wall) in the meshes' run-time
    // sets; the next level's replace them.
    std::vector<std::unique_ptr<WeMaterial>> blockMaterials;

private:
    void LoadBackground();
    void LoadBackgroundStep();
    void PrepareLevel();
    // One mesh's material set made from its set-0 materials with the texture in subset 0.
    void MakeBlockMaterial(const WeString& meshName, const WeString& textureName, int32_t materialSet);
    void ShowDisplay();
    // States 12 to 15 in turn, as far as each lets the next run in this call.
    void RunDisplayStates();
    // True while the camera still flies in (the scene ticks meanwhile).
    bool CameraFlyingIn();
    // Offers the first pending tutorial the player has not seen; false when none is left.
    bool OfferTutorial();
    void StartPlay();
    // The frame of a level at play: the arrow sets, the blocks' actors, the scene.
    void Play();
    // The set's arrow actors detached where they stand and killed.
    static void KillArrows(MivoArrowSet& set);
    void TickScene();
    // The end pieces of every track of the table.
    void CreateTrackEnds();
    // Frees what a level made: arrow sets, floating scores, lists and selection.
    void DropLevelObjects();
};

extern MivoPlayGamePhase playGamePhase;
