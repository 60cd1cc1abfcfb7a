// A player at the game's window: the whole game run through the engine's run loop on the
// headless drivers, the mouse and the keys given as SDL events into its window, so that they
// reach the game through the input poll and the UI manager as a player's do, and what the
// screens, the board and the player files show read back. A walk is written as a plain script:
// it runs on a thread of its own, but only while the game waits for it between two frames, and
// the events it gives are pushed on the game's thread.
#pragma once

#include "../core/TempFolder.h"
#include "MivoBoard.h"
#include "MivoGame.h"
#include "MivoGameCamera.h"
#include "MivoGameScene.h"
#include "MivoPlayGamePhase.h"
#include "MivoScorePayload.h"
#include "MivoScreen.h"
#include "MivoUploadQueue.h"
#include "MivoUserData.h"
#include "WeAppWindow.h"
#include "WeConfig.h"
#include "WeEngine.h"
#include "WeLocalization.h"
#include "WeRenderDevice.h"
#include "d3dx/D3dxMath.h"
#include "win32/Win32Cursor.h"
#include "win32/Win32Window.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

// Shown, its fades and those of the windows around it over, and usable.
inline bool MivoWidgetReady(const char* name)
{
    const WeUIComponent* c = MivoFindWidget(name);
    for (; c && c->parent; c = c->parent)
        if (!c->visible || !c->IsSettled() || c->visibilityValue < 1.0f)
            return false;
    return c != nullptr;
}

// The game set to start windowed and small with its player files in the given folder.
inline void MivoStartInFolder(const TempFolder& folder)
{
    engine.SetParts(nullptr);
    quitRequested = false;
    std::ofstream(folder / "options.ini")
        << "[Options]\nWindowed=1\nResolutionWidth=640\nResolutionHeight=480\n";
    gameApp.playerFolder = folder.path;
    userData.SetFolder(gameApp.playerFolder);
}

// The game as before any start, once its run has ended.
inline void MivoForgetTheRun()
{
    gameApp.commandLineNumber = 0;
    gameApp.playerFolder.clear();
    gameApp.menuCursor = false;
    engine.settings = WeEngineSettings();
    engine.shutDown = false; // the profile store saves again
    application = nullptr;
}

// Every level's background world made the light test map while it lives: a heavy world's first
// frames cost the software renderer a minute or more of compiling and drawing on a loaded
// machine.
class PinnedBackgrounds
{
public:
    PinnedBackgrounds()
    {
        for (int32_t world = 1; world <= kWorldCount; ++world)
        {
            WeString& name = Background(world);
            saved.push_back(name);
            name = "World1";
        }
    }
    ~PinnedBackgrounds()
    {
        for (int32_t world = 1; world <= kWorldCount; ++world)
            Background(world) = saved[size_t(world - 1)];
    }
    PinnedBackgrounds(const PinnedBackgrounds&) = delete;
    PinnedBackgrounds& operator=(const PinnedBackgrounds&) = delete;

private:
    static constexpr int32_t kWorldCount = 15;
    static WeString& Background(int32_t world)
    {
        return WeConfig::GetString(WeString("Mivo.Maps.World").AppendInt(world), "");
    }
    std::vector<WeString> saved;
};

class Playthrough : public ::testing::Test
{
protected:
    static constexpr float kCellPitch = 1.01f; // world units between two cells of the board
    // Thrown through the script when the walk cannot go on; the test has failed by then.
    struct WalkStopped
    {
    };
    using Script = std::function<void()>;

    void SetUp() override
    {
        MivoStartInFolder(folder);
        // The blocks slide, the windows fade and the camera flies in four times as fast as
        // shipped, and nothing caps the frame rate: the game runs in real time as fast as the
        // software renderer draws it.
        Tune("Mivo.GamePlay.Speed", 20.0f);
        Tune("UI.Defaults.FadeSpeed", 8.0f);
        Tune("Mivo.Camera.DistanceMaxSpeed", 240.0f);
        Tune("Mivo.Camera.DistanceAccel", 640.0f);
        Tune("Mivo.GamePlay.FrameRate", 1000.0f);
    }
    void TearDown() override
    {
        for (auto& [value, shipped] : tuned)
            *value = shipped;
        userData.FreeAll();
        userData.gameMode = MivoModeNone;
        MivoForgetTheRun();
    }

    // The game from its start (the main menu at once) to the script's end, which closes its
    // window.
    void Play(const Script& script)
    {
        std::thread walker(
            [this, script]
            {
                try
                {
                    AwaitTurn();
                    script();
                }
                catch (const WalkStopped&)
                {
                }
                std::lock_guard<std::mutex> lock(turns);
                walkOver = true;
                scriptsTurn = false;
                turn.notify_all();
            });
        gameApp.commandLineNumber = 1;
        phaseStack.Request(&hands, WePhaseCommand::Push);
        gameApp.Run("");
        {
            std::lock_guard<std::mutex> lock(turns);
            gameOver = true;
            turn.notify_all();
        }
        walker.join();
        EXPECT_EQ(engine.window, nullptr) << "the run loop ended and shut the engine down";
    }

    // ---- the script's time ----

    // One frame of the game passes.
    void Frame()
    {
        {
            std::unique_lock<std::mutex> lock(turns);
            scriptsTurn = false;
            turn.notify_all();
        }
        AwaitTurn();
    }
    void Frames(int32_t count)
    {
        for (int32_t i = 0; i < count; ++i)
            Frame();
    }
    // Frames pass until the condition holds; the walk stops when it does not within the frames.
    void Until(const std::function<bool()>& condition, const std::string& what, int32_t limit = 4000)
    {
        for (int32_t i = 0; !condition(); ++i)
        {
            if (i >= limit)
            {
                ADD_FAILURE() << "never: " << what;
                throw WalkStopped();
            }
            Frame();
        }
    }
    // The walk stops with a failure unless the condition holds.
    static void Require(bool condition, const std::string& what)
    {
        if (condition)
            return;
        ADD_FAILURE() << "not so: " << what;
        throw WalkStopped();
    }

    // ---- the player's hands ----

    // Once the widget is ready, a click at its centre.
    void Click(const char* name)
    {
        WaitFor(name);
        const WeUIComponent* c = MivoFindWidget(name);
        ClickAt(c->x + c->w / 2, c->y + c->h / 2);
    }
    void WaitFor(const char* name)
    {
        Until([name] { return MivoWidgetReady(name); }, std::string(name) + " ready");
    }
    // The cursor to a pixel of the back buffer, pressed there in this frame and let go in the next.
    void ClickAt(int32_t x, int32_t y)
    {
        PressAt(x, y);
        Release();
    }
    void PressAt(int32_t x, int32_t y)
    {
        MoveTo(x, y);
        Do([] { PushButton(true); });
        Frame();
    }
    void MoveTo(int32_t x, int32_t y)
    {
        Do(
            [x, y]
            {
                win32::RECT client{};
                win32::GetClientRect(engine.window->handle, &client);
                win32::POINT point{x * client.right / renderDevice.BackBufferWidth(),
                                   y * client.bottom / renderDevice.BackBufferHeight()};
                win32::ClientToScreen(engine.window->handle, &point);
                win32::SetCursorPos(point.x, point.y);
            });
    }
    void Release()
    {
        Do([] { PushButton(false); });
        Frame();
    }
    // A key down in this frame and up in the next.
    void Key(SDL_Scancode key)
    {
        Do([key] { PushKey(key, true); });
        Frame();
        Do([key] { PushKey(key, false); });
        Frame();
    }

    // ---- what the player reads ----

    static std::string Text(const char* name)
    {
        const WeUIComponent* c = MivoFindWidget(name);
        return c ? c->text.GetData() : std::string("(no ") + name + ")";
    }
    static std::string Translated(const char* key) { return localization.Translate(key).GetData(); }
    static bool Shown(const char* name)
    {
        const WeUIComponent* c = MivoFindWidget(name);
        return c && c->visible && c->colour.a > 0.0f;
    }
    static int32_t Number(const char* name) { return std::atoi(Text(name).c_str()); }
    // The map of the level on the screen, by the name its display shows ("Name", in the quest
    // "Place - Name"): every shipped table has a name of its own. 0 when none matches.
    static int32_t ShownMap()
    {
        const std::string shown = Text("IngameMapName");
        for (int32_t database : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 20})
            for (int32_t table = 1; table <= kMivoTablesPerRegion; ++table)
            {
                const int32_t id = database * 1000 + table;
                const std::string name = MivoMapName(id).GetData();
                const std::string placed = " - " + name;
                if (!name.empty() && (shown == name || (shown.size() > placed.size() &&
                                                        shown.compare(shown.size() - placed.size(),
                                                                      placed.size(), placed) == 0)))
                    return id;
            }
        return 0;
    }
    // The lives the player label shows beside the name, -1 when it shows none.
    static int32_t LivesShown()
    {
        const std::string label = Text("MenuOverlayCurrentUserLabel");
        const size_t colon = label.rfind(": ");
        return colon == std::string::npos ? -1 : std::atoi(label.c_str() + colon + 2);
    }

    // ---- the board ----

    // The level shown played to its win by the solution its level file gives, each move as a
    // player makes it: the block pressed where the camera draws it, dragged onto its arrow and let
    // go there (a click for a move without a direction). Tutorials are read and closed first.
    void WinShownLevel()
    {
        AwaitBoard();
        const int32_t map = ShownMap();
        Require(map != 0, "the level's name \"" + Text("IngameMapName") + "\" is a shipped table's");
        WeString key("db");
        key.AppendInt(map / 1000, 3);
        key += ".Table";
        key.AppendInt(map % 1000);
        std::istringstream moves(WeConfig::GetString(key + ".Solution", "").GetData());
        int32_t x = 0, y = 0, direction = 0, played = 0;
        char comma = 0;
        while (moves >> x >> comma >> y >> comma >> direction)
        {
            AwaitBoard();
            MakeMove(x, y, direction);
            ++played;
        }
        Require(played > 0, std::string(key.GetData()) + " has a solution");
    }
    // Until the level's display is up and its board stands still where the camera has come to
    // rest: the tutorials it offers read and closed.
    void AwaitBoard()
    {
        WeVector last{-1.0f, -1.0f, 0.0f};
        for (int32_t i = 0;; ++i)
        {
            Require(i < 4000, "the board at rest in play");
            if (MivoWidgetReady("IngameTutorialOkButton"))
            {
                Click("IngameTutorialOkButton");
                continue;
            }
            const MivoBoard* board = playGamePhase.board.get();
            if (MivoWidgetReady("IngameWindow") && !Shown("IngameTutorialWindow") && board &&
                board->IsAtRest() && !playGamePhase.level.blocks.empty())
            {
                const WeVector seen = ScreenOf(Drawn(playGamePhase.level.blocks.front()));
                if (seen.x == last.x && seen.y == last.y)
                    return;
                last = seen;
            }
            Frame();
        }
    }
    void MakeMove(int32_t x, int32_t y, int32_t direction)
    {
        const MivoMapCell* cell = playGamePhase.table ? playGamePhase.table->Cell(x, y) : nullptr;
        const MivoBlock* block = cell ? cell->top.get() : nullptr;
        const std::string move =
            std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(direction);
        Require(block && MivoActorOf(block), "a block to move at " + move);
        const WeVector at = ScreenOf(Drawn(block));
        PressAt(int32_t(at.x), int32_t(at.y));
        if (direction != 0)
        {
            const int32_t arrow = (direction - 1) / 2;
            Until(
                [&]
                {
                    const MivoArrowSet* set = playGamePhase.CurrentArrows();
                    return set && set->arrows[arrow].actor && set->arrows[arrow].actor->visible;
                },
                "the arrow of " + move, 200);
            // The cell beyond the block in the direction, where its arrow points.
            static const WeVector kBeyond[] = {
                {0, 0, kCellPitch}, {kCellPitch, 0, 0}, {0, 0, -kCellPitch}, {-kCellPitch, 0, 0}};
            const WeVector to = ScreenOf(Drawn(block) + kBeyond[arrow]);
            MoveTo(int32_t(to.x), int32_t(to.y));
            Frame();
        }
        Release();
        Until([&] { return playGamePhase.board && !playGamePhase.board->selected; },
              "the move " + move + " made", 100);
    }
    // Where the block's actor stands in the world.
    static WeVector Drawn(const MivoBlock* block) { return MivoActorOf(block)->GetWorldPosition(); }
    // The back-buffer pixel where the level's camera drew the world point in the last frame.
    static WeVector ScreenOf(const WeVector& world)
    {
        const WeVector4 p = d3dx::D3DXVec3Transform(world, playGamePhase.camera->viewProjection);
        return {(p.x / p.w + 1.0f) * 0.5f * float(renderDevice.BackBufferWidth()),
                (1.0f - p.y / p.w) * 0.5f * float(renderDevice.BackBufferHeight()), 0.0f};
    }

    // ---- the player's files ----

    // The game scores waiting in upload.dat, as the score service reads them.
    std::vector<MivoScore> QueuedGameScores() const
    {
        const std::vector<unsigned char> file = TempFolder::ReadBytes(folder / "upload.dat");
        std::vector<MivoScore> scores;
        for (size_t at = 4; at + MivoUploadQueue::kRecordSize <= file.size();
             at += MivoUploadQueue::kRecordSize)
        {
            int32_t kind = 0;
            std::memcpy(&kind, &file[at], sizeof kind);
            MivoScorePayload payload;
            std::memcpy(payload.text, &file[at + 4], MivoScorePayload::kLength);
            MivoPayloadDecoder decoder(payload);
            MivoScore score;
            if (kind == 0 && decoder.ChecksumsHold() && decoder.GetString(score.name) &&
                decoder.GetInt(score.mode) && decoder.GetInt(score.score) &&
                decoder.GetInt(score.difficulty) && decoder.GetInt(score.level))
                scores.push_back(score);
        }
        return scores;
    }
    // The local score tables as hiscores.dat holds them.
    MivoScoreTables LocalTables() const
    {
        MivoUserData reader;
        reader.SetFolder(folder.path);
        reader.LoadScores();
        return reader.scores;
    }
    // A player who has read every tutorial, changed by `set`, saved for the game to load.
    static void SavePlayer(const std::function<void(MivoUser&)>& set)
    {
        ASSERT_TRUE(userData.CreateUser("Ana"));
        MivoUser& ana = *userData.CurrentUser();
        std::fill(std::begin(ana.tutorialsSeen), std::end(ana.tutorialsSeen), uint8_t(1));
        set(ana);
        ASSERT_TRUE(userData.SaveUsers());
        userData.FreeAll();
    }

    TempFolder folder;

private:
    // The phase under every screen: each frame it hands the script its turn, then gives the
    // window the events the script asked for.
    class Hands : public WeAbstractPhase
    {
    public:
        explicit Hands(Playthrough& walk) : walk(walk) {}
        void Enter() override {}
        void Leave() override {}
        void Update() override { walk.TakeTurn(); }

    private:
        Playthrough& walk;
    };

    void Tune(const char* key, float value)
    {
        float& tunedValue = WeConfig::GetFloat(key, value);
        tuned.emplace_back(&tunedValue, tunedValue);
        tunedValue = value;
    }
    // The game's side of a frame: the script runs until it lets the frame pass.
    void TakeTurn()
    {
        std::vector<std::function<void()>> asked;
        {
            std::unique_lock<std::mutex> lock(turns);
            if (walkOver)
            {
                engine.window->alive = false;
                return;
            }
            scriptsTurn = true;
            turn.notify_all();
            turn.wait(lock, [this] { return !scriptsTurn; });
            asked.swap(actions);
            if (walkOver)
                engine.window->alive = false;
        }
        for (const std::function<void()>& action : asked)
            action();
    }
    void AwaitTurn()
    {
        std::unique_lock<std::mutex> lock(turns);
        turn.wait(lock, [this] { return scriptsTurn || gameOver; });
        if (!gameOver)
            return;
        ADD_FAILURE() << "the game's run ended before the walk";
        throw WalkStopped();
    }
    // Done on the game's thread when the script lets the frame pass.
    void Do(std::function<void()> action) { actions.push_back(std::move(action)); }
    static SDL_Window* SdlWindow() { return win32::GetSdlWindow(engine.window->handle); }
    static void PushButton(bool down)
    {
        SDL_Event event{};
        event.button.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        event.button.windowID = SDL_GetWindowID(SdlWindow());
        event.button.button = SDL_BUTTON_LEFT;
        event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.button.clicks = 1;
        SDL_GetMouseState(&event.button.x, &event.button.y);
        SDL_PushEvent(&event);
    }
    static void PushKey(SDL_Scancode key, bool down)
    {
        SDL_Event event{};
        event.key.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.windowID = SDL_GetWindowID(SdlWindow());
        event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.key.keysym.scancode = key;
        event.key.keysym.sym = SDL_GetKeyFromScancode(key);
        SDL_PushEvent(&event);
    }

    Hands hands{*this};
    std::mutex turns;
    std::condition_variable turn;
    bool scriptsTurn = false, walkOver = false, gameOver = false;
    std::vector<std::function<void()>> actions;
    std::vector<std::pair<float*, float>> tuned;
};
