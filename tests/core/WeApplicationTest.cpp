#include "RecordingEngineParts.h"
#include "StampedName.h"

#include "WeAppWindow.h"
#include "WeApplication.h"
#include "WeAudioDevice.h"
#include "WeFont.h"
#include "WeInput.h"
#include "WeRenderDevice.h"
#include "WeUIMain.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

using Log = std::vector<std::string>;

// An application that writes its operations into the parts' log and does what the test asks:
// start the engine or not, close the window or press Alt+F4 after some frames, quit or restart.
class ScriptedApplication : public WeApplication
{
public:
    explicit ScriptedApplication(RecordingEngineParts* parts) : parts(parts) {}

    const char* GetName() override { return "RunLoopTest"; }
    bool Init() override
    {
        Add("app Init");
        if (crashInInit)
            *static_cast<volatile char*>(crashInInit) = 1;
        return initResult && (!startEngine || engine.Init(nullptr, nullptr, GetName(), ""));
    }
    void Frame() override
    {
        Add("app Frame");
        // Posted before the frame, so that its message pump sees them.
        ++frames;
        if (closeAfter && frames % closeAfter == 0)
            win32::PostMessageA(engine.window->handle, win32::WM_CLOSE, 0, 0);
        if (frames == altF4After)
            PushAltF4();
        WeApplication::Frame();
    }
    bool Exit() override
    {
        Add("app Exit");
        const bool quit = exitResults.empty() || exitResults.front();
        if (!exitResults.empty())
            exitResults.erase(exitResults.begin());
        return quit;
    }
    void OnActivate() override { Add("app OnActivate"); }
    void OnDeactivate() override { Add("app OnDeactivate"); }

    bool initResult = true;
    bool startEngine = true;
    int frames = 0;
    int closeAfter = 0; // closes the window every so many frames
    int altF4After = 0;
    std::vector<bool> exitResults; // one per pass; true (quit) once empty
    void* crashInInit = nullptr;

private:
    void Add(const std::string& event)
    {
        if (parts)
            parts->Add(event);
    }
    void PushAltF4() const
    {
        SDL_Event key{};
        key.key.type = SDL_KEYDOWN;
        key.key.windowID = SDL_GetWindowID(win32::GetSdlWindow(engine.window->handle));
        key.key.keysym.scancode = SDL_SCANCODE_F4;
        key.key.keysym.mod = KMOD_LALT;
        SDL_PushEvent(&key);
    }

    RecordingEngineParts* parts;
};

const Log kFrameParts{"CheckDevice",     "BeginInputFrame", "PollInput",       "UpdateAudio",
                      "ClearDebugLines", "AddPhysicsLines", "ProcessUIEvents", "UpdateUI",
                      "UpdateTimer",     "LimitFrameRate",  "RenderFrame"};
const Log kEngineStart{"StartTimer", "BeginAudio",  "InitRenderDevice", "InitAudio",
                       "InitInput",  "InitPhysics", "InitUI",           "LoadScreenshotFont"};
// As the pass log shows it: the physics lines are among the frame's parts it leaves out.
const Log kEngineShutdown{
    "LeavePhases",   "DeleteRenderTargetsAndShaders", "FreeResources forced", "ShutdownPhysics",
    "ShutdownAudio", "ShutdownRenderDevice",          "ShutdownInput",        "StopTimer",
    "ShutdownUI"};

Log Join(std::initializer_list<Log> pieces)
{
    Log joined;
    for (const Log& piece : pieces)
        joined.insert(joined.end(), piece.begin(), piece.end());
    return joined;
}

class RunLoop : public ::testing::Test
{
protected:
    Log PassLog() const
    {
        return scope.parts.Without(std::set<std::string>(kFrameParts.begin(), kFrameParts.end()));
    }

    RecordingEngineScope scope;
    RecordingEngineParts& parts = scope.parts;
    ScriptedApplication app{&parts};
};

TEST_F(RunLoop, APassStartsRunsFramesUntilTheWindowGoesAndShutsDown)
{
    app.closeAfter = 3;
    app.Run("1 -x");
    EXPECT_EQ(app.frames, 3);
    const Log expected =
        Join({{"FillRandomTable", "InitializeCom", "CreateDirect3D", "LoadLanguages", "app Init"},
              kEngineStart,
              {"app OnActivate", "app Frame", "app Frame", "app Frame", "app Exit", "app OnDeactivate"},
              kEngineShutdown,
              {"ReleaseDirect3D", "UninitializeCom"}});
    EXPECT_EQ(PassLog(), expected);
    EXPECT_EQ(application, &app);
    EXPECT_STREQ(app.commandLine, "1 -x");
}

TEST_F(RunLoop, AFailedInitRunsNoFrameButStillActivatesAndAsksExit)
{
    app.initResult = false;
    app.startEngine = false;
    app.Run("");
    // The engine never started, so its shut-down finds nothing to do.
    const Log expected{"FillRandomTable", "InitializeCom",  "CreateDirect3D", "LoadLanguages",
                       "app Init",        "app OnActivate", "app Exit",       "app OnDeactivate",
                       "ReleaseDirect3D", "UninitializeCom"};
    EXPECT_EQ(PassLog(), expected);
}

TEST_F(RunLoop, WithoutDirect3DThePassSkipsTheApplicationAndTheLoopEnds)
{
    parts.failing = {"CreateDirect3D"};
    app.exitResults = {false};
    app.Run("");
    const Log expected{"FillRandomTable",  "InitializeCom",   "CreateDirect3D",
                       "app OnDeactivate", "ReleaseDirect3D", "UninitializeCom"};
    EXPECT_EQ(PassLog(), expected);
    EXPECT_EQ(engine.lastError, "Error: Invalid DirectX version");
}

TEST_F(RunLoop, ExitAskingForARestartRunsAnotherFullPass)
{
    app.closeAfter = 2;
    app.exitResults = {false, true};
    app.Run("");
    EXPECT_EQ(parts.Count("FillRandomTable"), 2);
    EXPECT_EQ(parts.Count("CreateDirect3D"), 2);
    EXPECT_EQ(parts.Count("app Init"), 2);
    EXPECT_EQ(parts.Count("InitRenderDevice"), 2);
    EXPECT_EQ(parts.Count("app Frame"), 4);
    EXPECT_EQ(parts.Count("app Exit"), 2);
    EXPECT_EQ(parts.Count("ReleaseDirect3D"), 2);
}

TEST_F(RunLoop, AltF4EndsTheLoopEvenWhenExitAsksForARestart)
{
    app.altF4After = 2;
    app.exitResults = {false, false};
    app.Run("");
    EXPECT_TRUE(quitRequested);
    EXPECT_EQ(app.frames, 2);
    EXPECT_EQ(parts.Count("app Exit"), 1);
    EXPECT_EQ(parts.Count("app Init"), 1);
}

TEST(CrashDumpName, TheStartTimeIsZeroPaddedFieldByField)
{
    char name[256];
    WeFormatDumpName(name, 2009, 3, 7, 5, 4, 9);
    EXPECT_STREQ(name, "crash-2009-03-07-05-04-09.dmp");
    WeFormatDumpName(name, 12345, 12, 31, 23, 59, 59);
    EXPECT_STREQ(name, "crash-12345-12-31-23-59-59.dmp");
}

TEST(Format, TruncatesToTheBufferOf256Bytes)
{
    char buffer[300];
    std::memset(buffer, 'x', sizeof(buffer));
    WeFormat(buffer, "%s%d", std::string(400, 'a').c_str(), 7);
    EXPECT_EQ(std::strlen(buffer), 255u);
    EXPECT_EQ(buffer[256], 'x');
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(CrashHandler, ACrashBeforeTheEngineHasAWindowWritesTheDumpAndShowsTheCrashTextOnce)
{
    char pattern[] = "/tmp/run-loop-crash-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::filesystem::path folder = pattern;
    void* forbidden = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(forbidden, MAP_FAILED);
    const pid_t child = fork();
    if (child == 0)
    {
        const int errors = open((folder / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (chdir(folder.c_str()) != 0 || errors < 0 || dup2(errors, 2) < 0)
            _exit(2);
        RecordingEngineParts parts;
        engine.SetParts(&parts);
        ScriptedApplication crashing(nullptr);
        crashing.crashInInit = forbidden;
        crashing.Run("");
        _exit(3);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGSEGV);
    std::vector<std::filesystem::path> dumps;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".dmp")
            dumps.push_back(entry.path());
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_TRUE(IsStampedName(dumps[0].filename().string(), "crash-", ".dmp"));
    EXPECT_NE(ReadFile(dumps[0]).find("SIGSEGV"), std::string::npos);
    const std::string shown = ReadFile(folder / "stderr.txt");
    const std::string message = "RunLoopTest: Abnormal program termination!\nPlease, send generated "
                                "crash-DATETIME.dmp file to application developers.";
    EXPECT_NE(shown.find(message), std::string::npos) << shown;
    EXPECT_EQ(shown.find(message), shown.rfind(message));
    std::filesystem::remove_all(folder);
    munmap(forbidden, 4096);
}

// The program's own subsystems under the headless drivers: the loop runs its frames and ends
// with everything shut down.
class RealRunApplication : public WeApplication
{
public:
    const char* GetName() override { return "RealRunLoopTest"; }
    bool Init() override
    {
        engine.settings.displayMode = 3;
        engine.settings.windowStyle = 1;
        engine.settings.physicsFlag = false;
        return engine.Init(nullptr, nullptr, GetName(), "");
    }
    void Update() override
    {
        if (++frames == 5)
            win32::PostMessageA(engine.window->handle, win32::WM_CLOSE, 0, 0);
    }
    bool Exit() override
    {
        exited = true;
        return true;
    }
    int frames = 0;
    bool exited = false;
};

TEST(RealRunLoop, RunsFramesOnTheRealSubsystemsAndShutsDownCleanly)
{
    engine.SetParts(nullptr);
    quitRequested = false;
    RealRunApplication app;
    app.Run("");
    EXPECT_TRUE(engine.lastError.IsEmpty()) << engine.lastError.GetData();
    EXPECT_EQ(app.frames, 6); // the close posted in the fifth update is pumped in the sixth
    EXPECT_TRUE(app.exited);
    EXPECT_EQ(engine.window, nullptr);
    EXPECT_FALSE(engine.initialised);
    EXPECT_FALSE(renderDevice.created);
    EXPECT_EQ(renderDevice.direct3D, nullptr);
    EXPECT_FALSE(input.initialised);
    EXPECT_FALSE(audioDevice.IsInitialised());
    EXPECT_FALSE(uiMain.enabled);
    EXPECT_EQ(fonts.GetCount(), 0) << "no font is left to draw from freed textures in a later pass";
    engine.settings = WeEngineSettings();
    application = nullptr;
}

} // namespace
