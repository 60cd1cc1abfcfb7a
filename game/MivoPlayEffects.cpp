// The play phase's side of the board effects: particle effects by preset, ghost and magnet
// actors, the teleports' enlarged particles, the magnets that show over pulling magnet blocks,
// and the loop sounds.
#include "MivoGameScene.h"
#include "MivoMapDatabase.h"
#include "MivoPlayGamePhase.h"
#include "WeConfig.h"
#include "WeParticleSystem.h"
#include "WeSound.h"
#include "WeTimer.h"
#include "WeVirtualFileSystem.h"

#include <algorithm>
#include <cmath>

namespace
{

constexpr float kTwoPi = 6.28318531f;

// Wrapped by whole periods when the period is above 0.
float Wrapped(float time, float period)
{
    return period > 0.0f ? std::fmod(time, period) : time;
}

// The state whose two sizes a teleport's firing enlarges.
WeParticleSystemState* FirstState(WeParticleSystem* system)
{
    return system && !system->states.IsEmpty() ? &system->states.First() : nullptr;
}

} // namespace

MivoActor* MivoActorOf(const MivoBlock* block)
{
    return block ? reinterpret_cast<MivoActor*>(block->presentation[MivoPlayGamePhase::kActorWord]) : nullptr;
}

MivoMagnetAnim* MivoMagnetAnimOf(const MivoBlock* block)
{
    return block ? reinterpret_cast<MivoMagnetAnim*>(block->presentation[MivoPlayGamePhase::kMagnetWord])
                 : nullptr;
}

// ---- actors ----

WeParticleSystem* MivoPlayGamePhase::SpawnParticles(WeActor* parent, const WeVector& position,
                                                    const WeString& key)
{
    if (!scene)
        return nullptr;
    auto* system = new WeParticleSystem();
    if (!system->LoadPreset(WeVirtualFileSystem::GetFileSystem(), key))
    {
        delete system;
        return nullptr;
    }
    if (parent)
        system->SetParent(parent);
    system->SetLocation(position);
    scene->AddActor(system);
    return system;
}

WeParticleSystem* MivoPlayGamePhase::SpawnTeleportGlow(WeActor* parent, const WeVector& position)
{
    static const float& teleportY = WeConfig::GetFloat("Mivo.Blocks.TeleportY", 0.0f);
    return SpawnParticles(parent, position + WeVector{0.0f, teleportY, 0.0f},
                          "Ingame.Particles.teleport_white");
}

MivoActor* MivoPlayGamePhase::MakeEffectActor(const WeString& model, int32_t materialSet, WeActor* parent,
                                              const WeVector& position)
{
    if (!scene)
        return nullptr;
    auto* actor = new MivoActor();
    actor->model.reset(modelManager.Load(model, materialSet));
    actor->materialPreset = materialSet;
    if (parent)
        actor->SetParent(parent);
    actor->SetLocation(position);
    scene->AddActor(actor);
    return actor;
}

MivoActor* MivoPlayGamePhase::MakeGhost(const WeVector& position)
{
    return MakeEffectActor("Ingame.Models.Block", 6, nullptr, position);
}

void MivoPlayGamePhase::KillEffectActor(WeActor* actor)
{
    if (!actor)
        return;
    if (actor->parent)
        actor->Detach();
    actor->Kill();
}

void MivoPlayGamePhase::StopLoop(std::unique_ptr<WeSound>& loop)
{
    if (!loop)
        return;
    loop->Stop();
    loop.reset();
}

// ---- teleports ----

void MivoPlayGamePhase::BeginTeleportGlow(WeParticleSystem* glow)
{
    static const float& size = WeConfig::GetFloat("Mivo.Blocks.TeleportActivePSSize", 10.0f);
    WeParticleSystemState* state = FirstState(glow);
    if (!state)
        return;
    MivoTeleportGlow& kept = level.teleportGlows[glow];
    if (kept.activity++ > 0)
        return;
    glow->currentState = 0;
    const float sizes[4] = {state->SizeFromX, state->SizeFromY, state->SizeToX, state->SizeToY};
    std::copy(std::begin(sizes), std::end(sizes), kept.sizes);
    state->SizeFromX = state->SizeFromY = state->SizeToX = state->SizeToY = size;
}

void MivoPlayGamePhase::EndTeleportGlow(WeParticleSystem* glow)
{
    const auto kept = level.teleportGlows.find(glow);
    if (kept == level.teleportGlows.end() || --kept->second.activity > 0)
        return;
    if (WeParticleSystemState* state = FirstState(glow))
    {
        glow->currentState = 0;
        const float* sizes = kept->second.sizes;
        state->SizeFromX = sizes[0];
        state->SizeFromY = sizes[1];
        state->SizeToX = sizes[2];
        state->SizeToY = sizes[3];
    }
    level.teleportGlows.erase(kept);
}

// ---- magnets ----

void MivoMagnetAnim::Init(WeActor* magnet, float scaleTo, float time)
{
    actor = magnet;
    fromScale = {0.0f, 0.0f, 0.0f};
    toScale = {scaleTo, scaleTo, scaleTo};
    scale = fromScale;
    scaleTime = time;
    elapsed = pulseTime = turnTime = 0.0f;
    done = false;
    state = FadingIn;
}

void MivoMagnetAnim::BeginFadeOut(float time)
{
    if (state == FadingOut)
        return;
    fromScale = scale;
    scaleTime = time;
    elapsed = pulseTime = 0.0f;
    done = false;
    state = FadingOut;
}

void MivoMagnetAnim::Revive()
{
    // The fade-in goes on from the opacity the fade-out had come down to.
    elapsed = std::max(scaleTime - elapsed, 0.0f);
    done = false;
    state = FadingIn;
}

MivoMagnetAnim& MivoPlayGamePhase::AddMagnetAnim(MivoBlock* magnet)
{
    level.magnetAnims.push_back(std::make_unique<MivoMagnetAnim>());
    magnet->presentation[kMagnetWord] = reinterpret_cast<std::uintptr_t>(level.magnetAnims.back().get());
    return *level.magnetAnims.back();
}

void MivoPlayGamePhase::RemoveMagnetAnim(MivoBlock* magnet)
{
    MivoMagnetAnim* anim = MivoMagnetAnimOf(magnet);
    if (!anim)
        return;
    KillEffectActor(anim->actor);
    magnet->presentation[kMagnetWord] = 0;
    std::erase_if(level.magnetAnims,
                  [anim](const std::unique_ptr<MivoMagnetAnim>& kept) { return kept.get() == anim; });
}

void MivoPlayGamePhase::AnimateMagnet(MivoMagnetAnim& anim)
{
    static const float& pulsePeriod = WeConfig::GetFloat("Mivo.Blocks.MagnetAnimPhase", 1.0f);
    static const float& pulseDepth = WeConfig::GetFloat("Mivo.Blocks.MagnetAnimScale", 0.2f);
    static const float& turnPeriod = WeConfig::GetFloat("Mivo.Blocks.MagnetRotatePhase", 1.0f);
    if (anim.state == MivoMagnetAnim::Idle)
        return;
    // Without an actor nothing shows; a fade-out is over at once.
    if (!anim.actor)
    {
        anim.done = anim.state == MivoMagnetAnim::FadingOut;
        return;
    }
    if (anim.actor->lastTickedFrame == anim.frameStamp)
        return;
    anim.frameStamp = anim.actor->lastTickedFrame;
    const float dt = timer.deltaTime;

    anim.pulseTime = Wrapped(anim.pulseTime + dt, pulsePeriod);
    const float wave = pulsePeriod > 0.0f ? std::cos(kTwoPi * anim.pulseTime / pulsePeriod) : 1.0f;
    const float k = 1.0f - (1.0f - wave) * pulseDepth * 0.5f;
    anim.scale = anim.fromScale + (anim.toScale - anim.fromScale) * k;
    anim.actor->SetScale(anim.scale);

    anim.turnTime = Wrapped(anim.turnTime + dt, turnPeriod);
    const float turn = turnPeriod > 0.0f ? kTwoPi * anim.turnTime / turnPeriod : 0.0f;
    anim.actor->SetRotation(d3dx::D3DXQuaternionRotationAxis({0.0f, 1.0f, 0.0f}, turn));

    if (anim.state == MivoMagnetAnim::Steady)
        return;
    anim.elapsed = std::min(anim.elapsed + dt, anim.scaleTime);
    const float p = anim.scaleTime > 0.0f ? anim.elapsed / anim.scaleTime : 1.0f;
    const bool fadingIn = anim.state == MivoMagnetAnim::FadingIn;
    if (anim.actor->model)
        anim.actor->model->colour[3] = fadingIn ? p : 1.0f - p;
    if (p < 1.0f)
        return;
    if (fadingIn)
    {
        anim.state = MivoMagnetAnim::Steady;
        anim.elapsed = 0.0f;
    }
    else
        anim.done = true;
}

// ---- the number picker ----

void MivoPlayGamePhase::AnimatePicker()
{
    static const float& rotateSpeed = WeConfig::GetFloat("Mivo.Teleports.FilterActorRotateSpeed", 1.0f);
    static const float& radius = WeConfig::GetFloat("Mivo.Teleports.FilterActorRadius", 0.5f);
    static const float& ringY = WeConfig::GetFloat("Mivo.Teleports.FilterActorY", 1.0f);
    static const float& growSpeed = WeConfig::GetFloat("Mivo.Teleports.FilterActorScaleSpeed", 1.0f);
    static const float& ringScale = WeConfig::GetFloat("Mivo.Teleports.FilterActorScale", 0.5f);
    if (!level.pickerBlock)
        return;
    const float dt = timer.deltaTime;
    if (level.pickerTouched)
        level.pickerFloat = std::min(level.pickerFloat + growSpeed * dt, 1.0f);
    else
    {
        level.pickerFloat -= growSpeed * dt;
        if (level.pickerFloat <= 0.0f)
        {
            ClosePicker();
            return;
        }
    }
    level.pickerTime += dt;
    const WeVector centre =
        level.pickerBlockActor ? level.pickerBlockActor->GetLocation() : WeVector{0.0f, 0.0f, 0.0f};
    const float n = float(level.pickerActors.size());
    for (size_t i = 0; i < level.pickerActors.size(); ++i)
    {
        const float angle = (level.pickerTime * rotateSpeed + float(i) / n) * kTwoPi;
        level.pickerActors[i]->SetLocation(
            {centre.x + std::sin(angle) * radius, centre.y + ringY, centre.z + std::cos(angle) * radius});
        const float size = level.pickerFloat * ringScale;
        level.pickerActors[i]->SetScale({size, size, size});
    }
    PlacePickerArrow();
}

MivoBlock* MivoPlayGamePhase::PickerTarget() const
{
    MivoTeleportGroup* group =
        table && level.pickerBlock ? table->FindGroup(level.pickerBlock->teleport.group) : nullptr;
    if (!group)
        return nullptr;
    if (group->currentExit != level.pickerBlock)
        return group->currentExit;
    return group->FindByOrder(group->NextOrder());
}

void MivoPlayGamePhase::PlacePickerArrow()
{
    static const float& arrowScale = WeConfig::GetFloat("Mivo.Teleports.ArrowActorScale", 1.0f);
    static const float& arrowY = WeConfig::GetFloat("Mivo.Teleports.ArrowActorY", 1.0f);
    static const float& arrowZ = WeConfig::GetFloat("Mivo.Teleports.ArrowActorZ", 1.0f);
    static const float& swing = WeConfig::GetFloat("Mivo.Teleports.ArrowActorZDelta", 1.0f);
    static const float& swingSpeed = WeConfig::GetFloat("Mivo.Teleports.ArrowActorZSpeed", 1.0f);
    if (!level.pickerArrow)
        return;
    level.pickerArrow->visible = false;
    const WeActor* exit = MivoActorOf(PickerTarget());
    if (!exit)
        return;
    const WeVector at = exit->GetLocation();
    const float z = at.z + arrowZ + std::sin(kTwoPi * swingSpeed * level.pickerTime) * swing;
    level.pickerArrow->SetLocationAndRotation(
        {at.x, at.y + arrowY, z}, d3dx::D3DXQuaternionRotationAxis({0.0f, 1.0f, 0.0f}, kTwoPi * 0.5f));
    const float size = level.pickerFloat * arrowScale;
    level.pickerArrow->SetScale({size, size, size});
    level.pickerArrow->visible = true;
    if (!level.pickerOpen)
        return;
    level.pickerOpen = false;
    // The sparks where the block would come out; they go by themselves.
    constexpr float kSparkSeconds = 5.0f;
    if (WeParticleSystem* sparks = SpawnParticles(nullptr, at, "Ingame.Particles.teleport_arrow");
        sparks && !sparks->HasLifetime())
        sparks->SetLifeTime(kSparkSeconds);
}

void MivoPlayGamePhase::ClosePicker()
{
    for (WeActor* ring : level.pickerActors)
        KillEffectActor(ring);
    level.pickerActors.clear();
    KillEffectActor(level.pickerArrow);
    level.pickerArrow = nullptr;
    level.pickerBlock = nullptr;
    level.pickerBlockActor = nullptr;
}
