// The board of db001's last table (teleports, a track, a magnet, a U block, walls) drawn through
// the play phase on the OpenGL back end after the camera's fly-in, with the move arrows grown
// around one block, against a stored reference image (tests/game/reference/play_board.bmp; make
// it again with WE_UPDATE_REFERENCE=1 and look at it before committing it).
#include "MivoBoard.h"
#include "MivoGameScene.h"
#include "MivoMapDatabase.h"
#include "MivoStatisticPhase.h"
#include "PlayScreenFrame.h"

TEST_F(PlayBoardFrame, TheLastTableOfTheFirstRegionWithArrowsAroundABlock)
{
    StartGl(400, 300);
    reference = std::filesystem::path(__FILE__).parent_path() / "reference" / "play_board.bmp";
    WeSRand(1); // the walls' turns
    gameApp.mapToPlay = 1020;
    MivoPlayGamePhase& play = playGamePhase;
    play.scene = std::make_unique<MivoGameScene>();
    play.board = MivoBoard::Create();
    play.camera = std::make_unique<MivoGameCamera>();
    play.camera->bases[MivoGameCamera::vertical] = 89.0f;
    play.camera->bases[MivoGameCamera::distance] = 19.0f;
    play.BuildBoard();
    ASSERT_NE(play.table, nullptr);
    play.BuildBlockMaterials();
    play.state = MivoPlayGamePhase::Playing;
    play.CreateArrows(play.table->Cell(1, 2)->top.get());
    timer.deltaTime = 0.1f;
    for (int32_t frame = 0; frame < 5; ++frame)
        play.AnimateArrows(*play.CurrentArrows());
    play.scene->Tick();
    PlayFrame frame;
    ExpectMatchesReference(Shoot(frame), 400);
}

// The skill mode's display (map name, score, best, time bar, moves, bonus cubes) over db001's
// second table, with a score floating over a block, drawn by the play phase and the UI.
TEST_F(PlayScreenFrame, TheSkillDisplayOverTheBoardWithAFloatingScore)
{
    reference = std::filesystem::path(__FILE__).parent_path() / "reference" / "play_display.bmp";
    ASSERT_TRUE(PlayLevel(1002));
    playGamePhase.AddScore(nullptr, 40, playGamePhase.table->Cell(9, 6)->top.get());
    Frames(3);
    PlayScreen screen;
    ExpectMatchesReference(Shoot(screen), 400);
}

// A won skill level: its bonuses and the awarded cube over the darkened board.
TEST_F(PlayScreenFrame, TheResultOfAWonLevelOverTheDarkenedBoard)
{
    reference = std::filesystem::path(__FILE__).parent_path() / "reference" / "level_result.bmp";
    ASSERT_TRUE(PlayLevel(1002));
    WeUIEvent won = MivoMadeEvent(MivoPlayGamePhase::kWonId);
    ASSERT_TRUE(playGamePhase.OnUIEvent(&won));
    Frames(20);
    ASSERT_EQ(phaseStack.GetTop(), &statisticPhase);
    PlayScreen screen;
    ExpectMatchesReference(Shoot(screen), 400);
}
