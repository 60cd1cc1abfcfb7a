// The board's events as the player sees and hears them: the stages and times of each kind, the
// sounds they play, the ghosts and particles they leave in the scene, and the loops and glows
// that several events share.
#include "BoardFixture.h"
#include "MivoBoard.h"
#include "MivoGameScene.h"
#include "PlayFixture.h"
#include "WeParticleSystem.h"
#include "WeSound.h"

#include <algorithm>
#include <map>

namespace
{

using K = MivoEventKind;
using Phase = MivoPlayGamePhase;
constexpr float kFrame = 0.125f; // exact in binary: a second is eight frames
constexpr int32_t Right = MivoDirection::Right, Left = MivoDirection::Left;

// Every effect time of the play, set to one second for the test and put back afterwards.
const char* const kOneSecondKeys[] = {
    "Mivo.Blocks.NumberMergeFadeInTime",       "Mivo.Blocks.NumberMergeFadeMoveTime",
    "Mivo.Blocks.NumberMergeFadeOutTime",      "Mivo.Blocks.NumberDisappearFadeInTime",
    "Mivo.Blocks.NumberDisappearFadeMoveTime", "Mivo.Blocks.NumberDisappearFadeOutTime",
    "Mivo.Blocks.DisappearDisappearingTime",   "Mivo.Blocks.TrackCellDelay",
    "Mivo.Blocks.TrackCellFadeTime",           "Mivo.Blocks.TeleportFadeTime",
    "Mivo.Blocks.TeleportActivePSTime",        "Mivo.Blocks.MagnetScaleTime"};

class Effects : public MenuFixture
{
protected:
    void SetUp() override
    {
        MenuFixture::SetUp();
        userData.gameMode = MivoModeSkill;
        userData.ResetLevelCounters();
        savedDelta = timer.deltaTime;
        timer.deltaTime = kFrame;
        for (const char* key : kOneSecondKeys)
        {
            float& value = WeConfig::GetFloat(key, 1.0f);
            saved.emplace_back(&value, value);
            value = 1.0f;
        }
        play.gameCallbacks.soundLog = &sounds;
    }
    void TearDown() override
    {
        play.Leave();
        play.gameCallbacks.soundLog = nullptr;
        table.reset();
        for (auto& [value, old] : saved)
            *value = old;
        timer.deltaTime = savedDelta;
        userData.gameMode = MivoModeNone;
        MivoFreeLevelResources();
        MenuFixture::TearDown();
    }
    // The table of the map text on a new board of the play phase, with its actors in a new scene.
    void Build(const std::string& mapText)
    {
        play.Leave();
        play.scene = std::make_unique<MivoGameScene>();
        play.board = MivoBoard::Create();
        play.board->callbacks = &play.gameCallbacks;
        play.board->speed = 5.0f;
        table = std::make_unique<MivoMapTable>();
        PlaceMapText(*table, mapText);
        play.table = table.get();
        play.PlaceBoard();
    }
    MivoBlock* Top(int x, int y) { return table->Cell(x, y)->top.get(); }
    MivoBlock* Floor(int x, int y) { return table->Cell(x, y)->floor.get(); }
    void Move(int x, int y, int direction)
    {
        play.board->Select(Top(x, y));
        play.board->TryMove(Top(x, y), direction, false);
    }
    // A playing frame: the board, the block actors (with the magnets' look-only pass), the scene.
    void Frame(bool sync = true)
    {
        play.board->Tick(kFrame);
        if (sync)
            play.SyncBlockActors();
        play.scene->Tick();
    }
    int32_t Heard(const char* key) const
    {
        return int32_t(std::count(sounds.begin(), sounds.end(), WeString(key)));
    }
    // Live actors in the scene: ghosts (material set 6 of the plain block), or particle effects of
    // the preset.
    int32_t Ghosts() const
    {
        int32_t count = 0;
        play.scene->actors.ForEach(
            [&count](const WeString&, WeActor* actor) {
                count += !actor->dead && actor->materialPreset == 6 &&
                         actor->GetModelName() == "Ingame.Models.Block";
            });
        return count;
    }
    int32_t Particles(const char* preset) const
    {
        int32_t count = 0;
        const WeString name = WeString("Ingame.Particles.") + preset;
        play.scene->actors.ForEach(
            [&](const WeString&, WeActor* actor)
            { count += !actor->dead && actor->type == WeActorTypeParticleSystem && actor->name == name; });
        return count;
    }
    MivoEventEffect* EffectOf(size_t event) const
    {
        return event < play.board->events.size()
                   ? static_cast<MivoEventEffect*>(play.board->events[event].data)
                   : nullptr;
    }

    Phase& play = playGamePhase;
    std::unique_ptr<MivoMapTable> table;
    std::vector<WeString> sounds;
    std::vector<std::pair<float*, float>> saved;
    float savedDelta = 0.0f;
};

} // namespace

TEST(BlockTween, DelayCarriesItsOvershootAndAZeroDurationEndsAtOnce)
{
    struct Case
    {
        float delay, duration;
        int frames;
        float progress;
        bool done;
    };
    const Case cases[] = {
        {0.0f, 1.0f, 4, 0.5f, false},   {0.0f, 1.0f, 8, 1.0f, true},  {0.3f, 1.0f, 1, 0.0f, false},
        {0.3f, 1.0f, 3, 0.075f, false}, {0.25f, 0.5f, 6, 1.0f, true}, {0.0f, 0.0f, 1, 1.0f, true},
        {0.0f, -1.0f, 1, 1.0f, true},   {1.0f, 0.0f, 8, 1.0f, true},  {1.0f, 0.0f, 7, 1.0f, false}};
    for (const Case& c : cases)
    {
        MivoActor actor;
        auto tween = MivoBlockTween::Create(&actor, {0, 0, 0}, 0.0f, {8, 0, 0}, 1.0f, c.delay, c.duration);
        for (int i = 0; i < c.frames; ++i)
            tween->Update(kFrame);
        EXPECT_NEAR(tween->progress, c.progress, 1e-5f) << c.delay << " " << c.duration << " " << c.frames;
        EXPECT_EQ(tween->done, c.done) << c.delay << " " << c.duration << " " << c.frames;
        EXPECT_NEAR(actor.GetLocation().x, 8.0f * tween->progress, 1e-4f);
    }
}

TEST_F(Effects, AMergeFadesGlidesAnnouncesAndFadesOutAndScoresOutsidePractice)
{
    for (const int32_t mode : {MivoModeSkill, MivoModePractice})
    {
        userData.gameMode = mode;
        userData.ResetLevelCounters();
        sounds.clear();
        Build("B,1,1=N,4\nB,2,1=N,5\n");
        Move(1, 1, Right);
        // The number changes as the glide ends (stage 2, two seconds in) and the event ends a
        // second later with the ghosts gone.
        std::map<int, std::string> seen;
        for (int frame = 1; frame <= 26; ++frame)
        {
            Frame();
            const MivoBlock* b = Top(2, 1);
            seen[frame] = std::to_string(b ? b->number : -1) + " ghosts " + std::to_string(Ghosts()) +
                          " events " + std::to_string(play.board->events.size());
        }
        EXPECT_EQ(seen[1], "5 ghosts 2 events 1") << mode;
        EXPECT_EQ(seen[16], "5 ghosts 2 events 1") << mode;
        EXPECT_EQ(seen[17], "9 ghosts 2 events 1") << mode;
        EXPECT_EQ(seen[24], "9 ghosts 2 events 1") << mode;
        EXPECT_EQ(seen[25], "9 ghosts 0 events 0") << mode;
        EXPECT_EQ(Heard("Sound.Effects.mi_brojspa"), 1);
        EXPECT_EQ(userData.levelScore, mode == MivoModePractice ? 0 : 3) << mode;
        EXPECT_EQ(userData.moves, 1) << "the stop of the merged block";
        EXPECT_TRUE(play.board->IsAtRest());
    }
}

TEST_F(Effects, AVanishingPairGlidesBothBlocksToTheMiddleBeforeTheyGo)
{
    Build("B,1,1=N,3\nB,3,1=W\nB,2,1=N,3\n");
    Move(1, 1, Right);
    Frame();
    MivoActor* a = MivoActorOf(Top(1, 1));
    MivoActor* b = MivoActorOf(Top(2, 1));
    ASSERT_TRUE(a && b);
    const float ax = a->GetLocation().x, bx = b->GetLocation().x, middle = (ax + bx) * 0.5f;
    for (int frame = 2; frame <= 16; ++frame)
        Frame();
    // Seven of the glide's eight frames are done; the eighth ends it and both blocks go.
    ASSERT_NE(Top(2, 1), nullptr);
    EXPECT_TRUE(a->busy && b->busy);
    EXPECT_NEAR(a->GetLocation().x, ax + (middle - ax) * 0.875f, 1e-5f);
    EXPECT_NEAR(b->GetLocation().x, bx + (middle - bx) * 0.875f, 1e-5f);
    Frame();
    EXPECT_EQ(MivoActorOf(Top(2, 1)), nullptr) << "both actors went as the glide ended";
    EXPECT_EQ(MivoActorOf(Top(1, 1)), nullptr);
    for (int frame = 18; frame <= 25; ++frame)
        Frame();
    EXPECT_EQ(Top(2, 1), nullptr);
    EXPECT_EQ(Top(1, 1), nullptr);
    EXPECT_EQ(userData.levelScore, 90);
}

TEST_F(Effects, OneShotKindsPlayTheirSoundAndLeaveTheirParticles)
{
    struct Case
    {
        const char* map;
        int x, y;
        K kind;
        int bx, by; // block B, or -1
        const char* sound;
        const char* particles;
    };
    const Case cases[] = {
        {"B,4,4=N,1\nB,5,4=W", 4, 4, K::Hit, 5, 4, "Sound.Effects.mi_ledozid", "hit"},
        {"B,4,4=N,1\nB,5,4=N,9", 4, 4, K::Hit, 5, 4, "Sound.Effects.mi_ledoled", "hit"},
        {"B,4,4=U", 4, 4, K::Hardened, -1, -1, "Sound.Effects.mi_UT", "ut_wall"},
        {"B,4,4=D", 4, 4, K::Disappear, -1, -1, "Sound.Effects.mi_nestled", "disappearing"},
    };
    for (const Case& c : cases)
    {
        sounds.clear();
        Build(c.map);
        MivoBlock* b = c.bx >= 0 ? Top(c.bx, c.by) : nullptr;
        play.board->QueueEvent(c.kind, c.kind == K::Disappear, Top(c.x, c.y), b, 0, 0);
        Frame();
        EXPECT_EQ(Heard(c.sound), 1) << c.sound;
        EXPECT_EQ(Particles(c.particles), 1) << c.particles;
    }
}

TEST_F(Effects, ATrackWaveLightsItsCellsASecondApartInTheSwitchDirection)
{
    struct Case
    {
        int length, direction;
    };
    for (const Case c : {Case{3, Right}, Case{3, Left}, Case{16, Right}})
    {
        sounds.clear();
        Build("B,0,2=R,3," + std::to_string(c.length));
        MivoTrack& track = table->tracks.at(0);
        track.direction = c.direction;
        play.board->QueueEvent(K::TrackStarted, false, nullptr, nullptr, 0, c.direction, &track);
        Frame();
        const MivoEventEffect* effect = EffectOf(0);
        ASSERT_NE(effect, nullptr);
        // Cell i of the walk lights at i + 1 seconds and takes its running look then.
        std::vector<int> litAt(size_t(c.length), -1);
        int frame = 1;
        for (; !play.board->events.empty() && frame < 400; ++frame)
        {
            for (size_t i = 0; i < litAt.size(); ++i)
            {
                const MivoBlock* floor = Floor(c.direction == Right ? int(i) : c.length - 1 - int(i), 2);
                const WeActor* ghost = effect->ghosts[i];
                ASSERT_NE(ghost, nullptr);
                EXPECT_FLOAT_EQ(ghost->GetLocation().x, floor->x);
                if (litAt[i] < 0 && ghost->model && ghost->model->colour[3] >= 1.0f)
                {
                    litAt[i] = frame;
                    EXPECT_EQ(MivoActorOf(floor)->materialPreset, c.direction == Right ? 2 : 1) << i;
                }
            }
            Frame();
        }
        for (size_t i = 0; i < litAt.size(); ++i)
            EXPECT_EQ(litAt[i], 8 * int(i + 1) + 1) << c.length << " cell " << i;
        EXPECT_EQ(frame, 8 * (c.length + 1) + 1) << "the last ghost fades out a second after it lit";
        EXPECT_EQ(Ghosts(), 0);
        EXPECT_EQ(Heard("Sound.Effects.mi_trakaON"), 1);
    }
}

TEST_F(Effects, TwoPullingMagnetsShareOneLoopUntilTheLastStops)
{
    Build("B,2,2=M,3\nB,6,6=M,3");
    MivoBlock* first = Top(2, 2);
    MivoBlock* second = Top(6, 6);
    const auto send = [this](K kind, MivoBlock* magnet)
    {
        play.board->QueueEvent(kind, false, magnet, nullptr, 0, 0);
        Frame(false);
    };
    send(K::MagnetPull, first);
    send(K::MagnetPull, second);
    ASSERT_NE(play.level.magnetLoopSound, nullptr);
    EXPECT_EQ(play.level.magnetCount, 2);
    // An idle magnet hears so every frame; it lets the loop go once.
    for (int i = 0; i < 12; ++i)
        send(K::MagnetIdle, first);
    EXPECT_EQ(play.level.magnetCount, 1);
    EXPECT_NE(play.level.magnetLoopSound, nullptr) << "the second magnet still pulls";
    EXPECT_EQ(MivoMagnetAnimOf(first), nullptr) << "the first magnet has faded out";
    send(K::MagnetPull, second);
    for (int i = 0; i < 12; ++i)
        send(K::MagnetIdle, second);
    EXPECT_EQ(play.level.magnetLoopSound, nullptr);
    EXPECT_EQ(play.level.magnetCount, 0);
    EXPECT_TRUE(play.level.magnetAnims.empty());
    EXPECT_EQ(Heard("Sound.Effects.mi_magnet"), 1);
    send(K::MagnetPull, first);
    EXPECT_EQ(play.level.magnetCount, 1);
    EXPECT_EQ(Heard("Sound.Effects.mi_magnet"), 2);
}

TEST_F(Effects, TwoSlidesShareTheFirstOnesLoopAndEachStopCountsAMove)
{
    Build("B,1,1=P\nB,4,1=W\nB,1,3=N,4\nB,9,3=W");
    Move(1, 1, Right);
    Move(1, 3, Right);
    ASSERT_NE(play.level.slideLoopSound, nullptr);
    EXPECT_EQ(play.level.slideLoopSound->GetName(), "Sound.Effects.mi_plocica");
    EXPECT_EQ(play.level.slideCount, 2);
    EXPECT_EQ(Particles("tail"), 2);
    for (int i = 0; i < 200 && Top(3, 1) == nullptr; ++i)
        Frame();
    ASSERT_NE(Top(3, 1), nullptr);
    EXPECT_NE(play.level.slideLoopSound, nullptr) << "the number still slides";
    EXPECT_EQ(MivoActorOf(Top(3, 1))->slideTrail, nullptr);
    for (int i = 0; i < 200 && !play.board->IsAtRest(); ++i)
        Frame();
    EXPECT_EQ(play.level.slideLoopSound, nullptr);
    EXPECT_EQ(userData.moves, 2);
    EXPECT_EQ(Heard("Sound.Effects.mi_plocica"), 1);
    EXPECT_EQ(Heard("Sound.Effects.mi_led"), 0);
}

TEST_F(Effects, ATeleportFiredTwiceKeepsItsParticlesLargeUntilTheSecondGlowEnds)
{
    float& size = WeConfig::GetFloat("Mivo.Blocks.TeleportActivePSSize", 10.0f);
    const float savedSize = size;
    size = 0.5f;
    Build("B,3,3=T,1,1,0,0,0,1,123456789\nB,8,5=T,1,0,1,0,1,1,0");
    MivoBlock* teleport = Floor(3, 3);
    auto* glow = reinterpret_cast<WeParticleSystem*>(teleport->presentation[Phase::kGlowWord]);
    ASSERT_NE(glow, nullptr) << "the teleport's particles";
    const float originalFrom = glow->states.First().SizeFromX, originalTo = glow->states.First().SizeToX;
    const auto fire = [&] { play.board->QueueEvent(K::Teleported, false, teleport, nullptr, 0, 1); };
    fire();
    for (int i = 0; i < 4; ++i)
        Frame();
    fire();
    // The first glow ends eight frames after its firing was shown, the second four frames later.
    for (int frame = 5; frame <= 14; ++frame)
    {
        Frame();
        EXPECT_EQ(glow->states.First().SizeFromX, frame < 13 ? 0.5f : originalFrom) << frame;
        EXPECT_EQ(glow->states.First().SizeToX, frame < 13 ? 0.5f : originalTo) << frame;
    }
    EXPECT_TRUE(play.board->events.empty());
    EXPECT_EQ(Ghosts(), 0);
    EXPECT_EQ(Heard("Sound.Effects.mi_teleport"), 2);
    size = savedSize;
}
