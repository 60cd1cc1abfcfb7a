// The engine's managers, devices and renderers: one static object per class, built before the
// entry function in this order and destroyed in the reverse order at exit. They are defined here,
// in one translation unit, because only within one unit does C++ fix the order of construction;
// no other file defines any of them. They are also built before every static object of other
// units (the game's, a test's), whatever the order the linker put the units in, so that those go
// first at exit and give back what they hold while every manager still stands. The configuration
// store and the file systems are not here: they are made on their first use.
#include "WeAudioDevice.h"
#include "WeCanvas.h"
#include "WeClothActorRenderer.h"
#include "WeDebugRenderer.h"
#include "WeEngine.h"
#include "WeFlareRenderer.h"
#include "WeFont.h"
#include "WeInput.h"
#include "WeLocalization.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WeParticleSystem.h"
#include "WeParticleSystemRenderer.h"
#include "WePhaseStack.h"
#include "WePostProcess.h"
#include "WeProjectorRenderer.h"
#include "WeRenderDevice.h"
#include "WeRenderQueue.h"
#include "WeRenderTarget.h"
#include "WeSceneRenderer.h"
#include "WeScript.h"
#include "WeScriptInterface.h"
#include "WeScriptNatives.h"
#include "WeShader.h"
#include "WeShadowMapRenderer.h"
#include "WeSkyBoxRenderer.h"
#include "WeSound.h"
#include "WeTexture.h"
#include "WeTimer.h"
#include "WeTrailRenderer.h"
#include "WeUIMain.h"
#include "WeVelocityRenderer.h"
#include "physics/WePhysics.h"

// Before the objects of every other unit, after the program's own earliest start work.
#define WE_ENGINE_GLOBAL __attribute__((init_priority(200)))

// Particle records outlive every scene, whose systems give theirs back when they go.
WeParticlePool particlePool WE_ENGINE_GLOBAL;
WeAudioDevice audioDevice WE_ENGINE_GLOBAL;
WeSoundBufferCache soundBufferCache WE_ENGINE_GLOBAL;
WeSoundSourcePool soundSourcePool WE_ENGINE_GLOBAL;
WeSoundAttenuator soundAttenuator WE_ENGINE_GLOBAL;
WeInput input WE_ENGINE_GLOBAL;
WePhaseStack phaseStack WE_ENGINE_GLOBAL;
WeUIMain uiMain WE_ENGINE_GLOBAL;
WeLocalization localization WE_ENGINE_GLOBAL;
WeTimer timer WE_ENGINE_GLOBAL;
WeRenderDevice renderDevice WE_ENGINE_GLOBAL;
WeRenderTargetManager renderTargetManager WE_ENGINE_GLOBAL;
WeEngine engine WE_ENGINE_GLOBAL;
WeFrameStats frameStats WE_ENGINE_GLOBAL;
WeMeshManager meshManager WE_ENGINE_GLOBAL;
WeCanvas canvas WE_ENGINE_GLOBAL;
WeModelManager modelManager WE_ENGINE_GLOBAL;
WeTextureManager textures WE_ENGINE_GLOBAL;
WeFontManager fonts
    WE_ENGINE_GLOBAL; // its fonts release their textures: destroyed before the texture manager
WeShaderManager shaders WE_ENGINE_GLOBAL; // its effects go before the render device
WeRenderQueue renderQueue WE_ENGINE_GLOBAL;
// The renderers join the device's list in this order.
WeDebugRenderer debugRenderer WE_ENGINE_GLOBAL;
WeFlareRenderer flareRenderer WE_ENGINE_GLOBAL;
WeShadowMapRenderer shadowMapRenderer WE_ENGINE_GLOBAL;
WeSkyBoxRenderer skyBoxRenderer WE_ENGINE_GLOBAL;
WeVelocityRenderer velocityRenderer WE_ENGINE_GLOBAL;
WeClothActorRenderer clothActorRenderer WE_ENGINE_GLOBAL;
WeProjectorRenderer projectorRenderer WE_ENGINE_GLOBAL;
WeSceneRenderer sceneRenderer WE_ENGINE_GLOBAL;
WeReflectionRenderer reflectionRenderer WE_ENGINE_GLOBAL;
WeParticleSystemRenderer particleSystemRenderer WE_ENGINE_GLOBAL;
WeTrailRenderer trailRenderer WE_ENGINE_GLOBAL;
WePostProcess postProcess WE_ENGINE_GLOBAL;
WeMaterialManager materialManager WE_ENGINE_GLOBAL;
WePhysics physics WE_ENGINE_GLOBAL;

// The script classes of the objects above. Registration only records their addresses, so it may
// run here, after them; it lives in this unit because a registrar in a unit nothing references
// would be dropped by the linker. The registry it makes is built after every object above, so
// its script state, with whatever objects scripts still hold, is closed at exit before any of
// them is destroyed.
namespace
{
struct ScriptClasses
{
    ScriptClasses()
    {
        WeRegisterInputScript(scriptRegistry(), &input);
        WeRegisterTimerScript(scriptRegistry(), &timer);
        WeRegisterEngineScript(scriptRegistry(), &engine);
        WeRegisterScriptInterface(scriptRegistry());
    }
} scriptClasses WE_ENGINE_GLOBAL;
} // namespace
