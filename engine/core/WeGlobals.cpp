// The engine's managers and devices: one static object per class, built before the entry
// function in this order and destroyed in the reverse order at exit. They are defined here, in one
// translation unit, because only within one unit does C++ fix the order of construction; no
// other file defines any of them. The configuration store and the file systems are not here: they
// are made on their first use.
#include "WeAudioDevice.h"
#include "WeCanvas.h"
#include "WeEngine.h"
#include "WeFont.h"
#include "WeInput.h"
#include "WeLocalization.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WeParticleSystem.h"
#include "WeParticleSystemRenderer.h"
#include "WePhaseStack.h"
#include "physics/WePhysics.h"
#include "WeRenderDevice.h"
#include "WeRenderQueue.h"
#include "WeSceneRenderer.h"
#include "WeScript.h"
#include "WeShader.h"
#include "WeScriptInterface.h"
#include "WeScriptNatives.h"
#include "WeRenderTarget.h"
#include "WeSound.h"
#include "WeTexture.h"
#include "WeTimer.h"
#include "WeTrailRenderer.h"
#include "WeUIMain.h"

// Particle records outlive every scene, whose systems give theirs back when they go.
WeParticlePool particlePool;
WeAudioDevice audioDevice;
WeSoundBufferCache soundBufferCache;
WeSoundSourcePool soundSourcePool;
WeSoundAttenuator soundAttenuator;
WeInput input;
WePhaseStack phaseStack;
WeUIMain uiMain;
WeLocalization localization;
WeTimer timer;
WeRenderDevice renderDevice;
WeRenderTargetManager renderTargetManager;
WeEngine engine;
WeFrameStats frameStats;
WeMeshManager meshManager;
WeCanvas canvas;
WeModelManager modelManager;
WeTextureManager textures;
WeFontManager fonts; // its fonts release their textures: destroyed before the texture manager
WeShaderManager shaders; // its effects go before the render device
WeRenderQueue renderQueue;
WeSceneRenderer sceneRenderer; // the renderers join the device's list in this order
WeReflectionRenderer reflectionRenderer;
WeParticleSystemRenderer particleSystemRenderer;
WeTrailRenderer trailRenderer;
WeMaterialManager materialManager;
WePhysics physics;

// The script classes of the objects above. Registration only records their addresses, so it may
// run here, after them; it lives in this unit because a registrar in a unit nothing references
// would be dropped by the linker.
static const bool scriptClassesRegistered = (WeRegisterInputScript(scriptRegistry(), &input),
                                             WeRegisterTimerScript(scriptRegistry(), &timer),
                                             WeRegisterEngineScript(scriptRegistry(), &engine),
                                             WeRegisterScriptInterface(scriptRegistry()), true);
