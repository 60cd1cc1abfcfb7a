// The quest map's frame on the recording back end, whose draws cost nothing: the UI's update of
// about 130 widgets (the 75 cities and 15 teleports blinking through the city button style) and
// the batching of what they draw. The target is under 1 ms of CPU a frame.
#include "MivoCityButtonStyle.h"
#include "MivoQuestPhase.h"
#include "MivoUserData.h"
#include "WeCanvas.h"
#include "WeEngine.h"
#include "WeFont.h"
#include "WeLocalization.h"
#include "WePhaseStack.h"
#include "WeRenderDevice.h"
#include "WeTexture.h"
#include "WeTimer.h"
#include "WeUIMain.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace
{

constexpr int32_t screenWidth = 1024;
constexpr int32_t screenHeight = 768;

bool StartDevice()
{
    engine.settings.width = screenWidth;
    engine.settings.height = screenHeight;
    engine.settings.uiSourceWidth = 800;
    engine.settings.uiSourceHeight = 600;
    engine.settings.displayMode = 3;
    d3d9::AdapterSetup setup;
    setup.modes = {{screenWidth, screenHeight, 60, d3d9::D3DFMT_X8R8G8B8}};
    renderDevice.direct3D = d3d9::CreateRecordingDirect3D(setup);
    if (!renderDevice.Init(nullptr, nullptr, "", 0, 0, 0, 0, false, 3, 2, true))
        return false;
    renderDevice.device->SetLogging(false);
    return true;
}

void StopDevice()
{
    fonts.FreeAll();
    textures.FreeAll(true);
    renderDevice.Shutdown();
    if (renderDevice.direct3D)
        renderDevice.direct3D->Release();
    renderDevice.direct3D = nullptr;
}

void QuestMapFrame(benchmark::State& state)
{
    if (!StartDevice())
    {
        state.SkipWithError("no recording device");
        StopDevice();
        return;
    }
    localization.LoadAll();
    uiMain.Init();
    MivoCityButtonStyle::Register();
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "we_bench_quest";
    std::filesystem::create_directories(folder);
    userData.SetFolder(folder.string() + "/");
    if (!userData.CreateUser("Bench"))
        state.SkipWithError("no player");
    userData.ChooseRegion(6); // one open city blinks, the rest of the map is drawn disabled
    timer.deltaTime = 1.0f / 60.0f;
    phaseStack.Request(&questPhase, WePhaseCommand::Push);
    phaseStack.Update();
    if (!uiMain.GetComponent("QuestCityR15C5"))
        state.SkipWithError("no quest layout");
    for (auto _ : state)
    {
        timer.absoluteTime += timer.deltaTime;
        uiMain.ProcessEvents();
        phaseStack.Update();
        uiMain.Update();
        canvas.BeginFrame();
        uiMain.Render();
        canvas.Flush();
    }
    phaseStack.LeaveAll();
    uiMain.Shutdown();
    userData.FreeAll();
    std::filesystem::remove_all(folder);
    StopDevice();
}

BENCHMARK(QuestMapFrame)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
