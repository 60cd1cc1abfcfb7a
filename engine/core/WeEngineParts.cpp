#include "WeEngineParts.h"

#include "WeAppWindow.h"
#include "WeAudioDevice.h"
#include "WeDebugRenderer.h"
#include "WeEngine.h"
#include "WeFont.h"
#include "WeInput.h"
#include "WeLocalization.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WePhaseStack.h"
#include "WeRandom.h"
#include "WeRenderDevice.h"
#include "WeRenderTarget.h"
#include "WeShader.h"
#include "WeTexture.h"
#include "WeTimer.h"
#include "WeUIMain.h"
#include "com/Com.h"
#include "physics/WePhysics.h"

namespace
{

// The real subsystems.
class WeSubsystemParts final : public WeEngineParts
{
public:
    void FillRandomTable() override { WeFillRandomTable(); }
    void InitializeCom() override { com::CoInitialize(nullptr); }
    bool CreateDirect3D() override
    {
        renderDevice.direct3D = d3d9::Direct3DCreate9(d3d9::D3D_SDK_VERSION);
        return renderDevice.direct3D != nullptr;
    }
    void LoadLanguages() override { localization.LoadAll(); }
    void ReleaseDirect3D() override
    {
        if (renderDevice.direct3D)
            renderDevice.direct3D->Release();
        renderDevice.direct3D = nullptr;
    }
    void UninitializeCom() override { com::CoUninitialize(); }

    void StartTimer() override { timer.Start(); }
    void BeginAudio() override { audioDevice.BeginOpen(); }
    bool InitRenderDevice(const WeAppWindow& window, const WeString& deviceText,
                          const WeEngineSettings& settings) override
    {
        return renderDevice.Init(window.instance, win32::GetSdlWindow(window.handle), deviceText,
                                 settings.width, settings.height, settings.multisampleType,
                                 settings.multisampleQuality, settings.verticalSync, settings.displayMode,
                                 settings.reflectionQuality, settings.multithreaded);
    }
    bool InitAudio() override { return audioDevice.Init(); }
    bool InitInput() override { return input.Init(win32::GetModuleHandleA(nullptr), true); }
    bool InitPhysics(const WeEngineSettings& settings) override
    {
        return physics.Init(settings.gravity, settings.physicsFlag);
    }
    void InitUI() override { uiMain.Init(); }
    void LoadScreenshotFont() override { fonts.GetFont("Arial:14"); }

    WeDeviceState CheckDevice() override { return renderDevice.CheckDevice(); }
    void BeginInputFrame() override { input.BeginFrame(); }
    void PollInput() override { input.Poll(); }
    bool UseScreenshotClick() override { return input.UseKeyClicked(WeInput::kScreenshotKey); }
    void UpdateAudio() override { audioDevice.Update(); }
    void ClearDebugLines() override { debugRenderer.ClearLines(); }
    void FetchPhysics() override { physics.FetchResults(); }
    void AddPhysicsLines() override { debugRenderer.AddPhysicsLines(); }
    void ProcessUIEvents() override { uiMain.ProcessEvents(); }
    void UpdateUI() override { uiMain.Update(); }
    void UpdateTimer() override { timer.Update(); }
    void StartPhysicsStep() override { physics.Simulate(); }
    void LimitFrameRate() override { timer.LimitFrameRate(); }
    void RenderFrame() override { renderDevice.RenderFrame(); }

    void LeavePhases() override { phaseStack.LeaveAll(); }
    void DeleteRenderTargetsAndShaders() override
    {
        renderTargetManager.FreeAll();
        shaders.FreeAll();
    }
    void FreeResources(bool forced) override
    {
        // Fonts release their pages through the texture manager: they go before it frees every
        // texture, or they would release freed pages (and a later pass would draw from them).
        if (forced)
            fonts.FreeAll();
        // Prototypes go every time: their meshes are not the mesh manager's, so nothing would
        // take the freed materials out of them.
        modelManager.FreeAll();
        meshManager.FreeAll(forced);
        materialManager.FreeAll(forced);
        textures.FreeAll(forced);
    }
    void ShutdownPhysics() override { physics.Shutdown(); }
    void ShutdownAudio() override { audioDevice.Shutdown(); }
    void ShutdownRenderDevice() override { renderDevice.Shutdown(); }
    void ShutdownInput() override { input.Shutdown(); }
    void StopTimer() override { timer.Stop(); }
    void ShutdownUI() override { uiMain.Shutdown(); }

    bool ChangeDisplayMode() override { return renderDevice.ChangeDisplayMode(); }
    bool SaveScreenshot(const WeString& fileName) override
    {
        return renderDevice.SaveScreenshot(fileName.GetData());
    }
};

} // namespace

WeEngineParts& WeGetSubsystemParts()
{
    static WeSubsystemParts parts;
    return parts;
}
