// The board of db001's last table (teleports, a track, a magnet, a U block, walls) drawn through
// the play phase on the OpenGL back end after the camera's fly-in, with the move arrows grown
// around one block, against a stored reference image (tests/game/reference/play_board.bmp; make
// it again with WE_UPDATE_REFERENCE=1 and look at it before committing it).
#include "../render/GlFrameFixture.h"
#include "MivoBoard.h"
#include "MivoGame.h"
#include "MivoGameCamera.h"
#include "MivoGameScene.h"
#include "MivoMapDatabase.h"
#include "MivoPlayGamePhase.h"
#include "PlayFixture.h"
#include "WeRandom.h"
#include "WeTimer.h"

namespace
{

class PlayFrame : public WeApplication
{
public:
    const char* GetName() override { return "PlayFrame"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override { playGamePhase.Render(); }
};

class PlayBoardFrame : public GlFrameFixture
{
protected:
    void TearDown() override
    {
        playGamePhase.Leave();
        MivoFreeLevelResources();
        GlFrameFixture::TearDown();
    }
};

} // namespace

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
