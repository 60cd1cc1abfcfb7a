#include "MivoGameCallbacks.h"

#include "MivoBoard.h"
#include "MivoGameScene.h"
#include "MivoPlayGamePhase.h"
#include "MivoUserData.h"
#include "WeAudioDevice.h"
#include "WeConfig.h"
#include "WeParticleSystem.h"
#include "WeSound.h"
#include "WeTimer.h"

#include <algorithm>

namespace
{

using K = MivoEventKind;

const char* const kMeetSound = "Sound.Effects.mi_brojspa";

MivoActor* ActorOfEvent(const std::array<std::uintptr_t, 2>& words)
{
    return reinterpret_cast<MivoActor*>(words[0]);
}

WeVector PositionOf(const WeActor* actor)
{
    return actor ? actor->GetLocation() : WeVector{0.0f, 0.0f, 0.0f};
}

WeVector Raised(WeVector position, float height)
{
    position.y += height;
    return position;
}

float BoxDeltaY2()
{
    static const float& height = WeConfig::GetFloat("Mivo.GamePlay.BoxDeltaY2", 1.0f);
    return height;
}

// A ghost over the position in its tween slot, fading from one opacity to the other in place.
void GhostFade(MivoEventEffect& effect, size_t slot, const WeVector& position, float fromOpacity,
               float toOpacity, float delay, float duration)
{
    MivoActor* ghost = playGamePhase.MakeGhost(position);
    effect.ghosts[slot] = ghost;
    effect.tweens[slot] =
        MivoBlockTween::Create(ghost, position, fromOpacity, position, toOpacity, delay, duration);
}

// The ghosts detached and killed, every tween freed.
void EndEffect(MivoEventEffect& effect)
{
    for (MivoActor*& ghost : effect.ghosts)
    {
        playGamePhase.KillEffectActor(ghost);
        ghost = nullptr;
    }
    for (std::unique_ptr<MivoBlockTween>& tween : effect.tweens)
        tween.reset();
}

// The position and opacity of a tween's actor now.
WeVector TweenPosition(const MivoBlockTween& tween)
{
    return tween.from + (tween.to - tween.from) * tween.progress;
}

} // namespace

// ---- tweens ----

std::unique_ptr<MivoBlockTween> MivoBlockTween::Create(WeActor* actor, const WeVector& from,
                                                       float fromOpacity, const WeVector& to, float toOpacity,
                                                       float delay, float duration)
{
    auto tween = std::make_unique<MivoBlockTween>();
    tween->actor = actor;
    tween->Start(from, fromOpacity, to, toOpacity, delay, duration);
    return tween;
}

void MivoBlockTween::Start(const WeVector& fromPosition, float fromAlpha, const WeVector& toPosition,
                           float toAlpha, float wait, float time)
{
    from = fromPosition;
    fromOpacity = fromAlpha;
    to = toPosition;
    toOpacity = toAlpha;
    delay = wait;
    duration = time;
    elapsed = 0.0f;
    done = false;
    progress = time > 0.0f ? 0.0f : 1.0f;
    if (time > 0.0f)
        Place(from, fromOpacity);
    else
        Place(to, toOpacity);
}

void MivoBlockTween::Update(float frameTime)
{
    // Only the part of the frame after the delay runs the tween.
    float run = frameTime;
    if (delay > 0.0f)
    {
        delay -= frameTime;
        if (delay > 0.0f)
            return;
        run = -delay;
        delay = 0.0f;
    }
    elapsed = std::min(elapsed + run, duration);
    progress = duration > 0.0f ? elapsed / duration : 1.0f;
    Place(from + (to - from) * progress, fromOpacity + (toOpacity - fromOpacity) * progress);
    if (progress >= 1.0f)
        done = true;
}

void MivoBlockTween::Place(const WeVector& position, float opacity) const
{
    if (!actor)
        return;
    actor->SetLocation(position);
    if (actor->model)
        actor->model->colour[3] = opacity;
}

// ---- the effect record ----

MivoEventEffect::MivoEventEffect()
{
    Reserve(kSlots);
}

void MivoEventEffect::Reserve(size_t n)
{
    n = std::max(n, kSlots);
    tweens.resize(n);
    ghosts.resize(n, nullptr);
    started.resize(n, 0);
    cells.resize(n, nullptr);
}

bool MivoEventEffect::AllDone() const
{
    return std::all_of(tweens.begin(), tweens.end(),
                       [](const std::unique_ptr<MivoBlockTween>& tween) { return !tween || tween->done; });
}

// ---- the callbacks ----

void MivoGameCallbacks::OnBlockCreated(MivoBlock* block)
{
    playGamePhase.RefreshBlockLook(block);
}

void MivoGameCallbacks::OnBlockDestroyed(MivoBlock* block)
{
    playGamePhase.ForgetBlock(block);
}

void MivoGameCallbacks::UpdateTweens(MivoEventEffect& effect, float frameTime)
{
    for (std::unique_ptr<MivoBlockTween>& tween : effect.tweens)
        if (tween)
            tween->Update(frameTime);
}

bool MivoGameCallbacks::OnBoardEvent(MivoBoardEvent& event)
{
    switch (event.kind)
    {
    case K::Started:
        SlideStarted(event);
        return true;
    case K::Stopped:
        SlideStopped(event);
        return true;
    default:
        break;
    }
    if (int32_t(event.kind) < int32_t(K::Combine) || int32_t(event.kind) > int32_t(K::Hit))
        return true;
    if (!event.data)
        event.data = new MivoEventEffect();
    MivoEventEffect& effect = *static_cast<MivoEventEffect*>(event.data);
    UpdateTweens(effect, timer.deltaTime);
    return Present(event, effect);
}

void MivoGameCallbacks::OnEventDone(MivoBoardEvent& event)
{
    auto* effect = static_cast<MivoEventEffect*>(event.data);
    event.data = nullptr;
    if (!effect)
        return;
    if (effect->countdownRunning)
        playGamePhase.EndTeleportGlow(reinterpret_cast<WeParticleSystem*>(event.wordsA[1]));
    EndEffect(*effect);
    delete effect;
}

bool MivoGameCallbacks::Present(MivoBoardEvent& event, MivoEventEffect& effect)
{
    switch (event.kind)
    {
    case K::Combine:
    case K::Vanish:
        return Meet(event, effect);
    case K::Disappear:
        return Disappear(event, effect);
    case K::Hardened:
        return Hardened(event);
    case K::TrackStarted:
    case K::TrackStopped:
        return TrackWave(event, effect);
    case K::Teleported:
        return Teleport(event, effect);
    case K::MagnetPush:
    {
        static const float& height = WeConfig::GetFloat("Mivo.Blocks.MagnetPushPSY", 1.0f);
        playGamePhase.SpawnParticles(ActorOfEvent(event.wordsA), {0.0f, height, 0.0f},
                                     "Ingame.Particles.magnet_push");
        return true;
    }
    case K::MagnetPull:
        return MagnetPull(event);
    case K::MagnetIdle:
        return MagnetIdle(event);
    default:
        return Hit(event);
    }
}

bool MivoGameCallbacks::Meet(MivoBoardEvent& event, MivoEventEffect& effect)
{
    const bool vanish = event.kind == K::Vanish;
    static const float& mergeIn = WeConfig::GetFloat("Mivo.Blocks.NumberMergeFadeInTime", 1.0f);
    static const float& mergeMove = WeConfig::GetFloat("Mivo.Blocks.NumberMergeFadeMoveTime", 1.0f);
    static const float& mergeOut = WeConfig::GetFloat("Mivo.Blocks.NumberMergeFadeOutTime", 1.0f);
    static const float& vanishIn = WeConfig::GetFloat("Mivo.Blocks.NumberDisappearFadeInTime", 1.0f);
    static const float& vanishMove = WeConfig::GetFloat("Mivo.Blocks.NumberDisappearFadeMoveTime", 1.0f);
    static const float& vanishOut = WeConfig::GetFloat("Mivo.Blocks.NumberDisappearFadeOutTime", 1.0f);
    MivoActor* a = ActorOfEvent(event.wordsA);
    MivoActor* b = ActorOfEvent(event.wordsB);
    const float up = BoxDeltaY2();
    if (!effect.AllDone())
        return false;
    switch (effect.stage)
    {
    case 0:
        playGamePhase.ScoreEvent(event);
        PlayOnce(kMeetSound);
        GhostFade(effect, 0, Raised(PositionOf(a), up), 0.0f, 1.0f, 0.0f, vanish ? vanishIn : mergeIn);
        GhostFade(effect, 1, Raised(PositionOf(b), up), 0.0f, 1.0f, 0.0f, vanish ? vanishIn : mergeIn);
        effect.stage = 1;
        return false;
    case 1:
    {
        // A merge meets at B, a vanishing pair halfway between.
        const WeVector meeting = vanish ? (PositionOf(a) + PositionOf(b)) * 0.5f : PositionOf(b);
        const float move = vanish ? vanishMove : mergeMove;
        effect.tweens[0]->Start(TweenPosition(*effect.tweens[0]), 1.0f, Raised(meeting, up), 1.0f, 0.0f,
                                move);
        if (vanish)
            effect.tweens[1]->Start(TweenPosition(*effect.tweens[1]), 1.0f, Raised(meeting, up), 1.0f, 0.0f,
                                    move);
        effect.tweens[2] = MivoBlockTween::Create(a, PositionOf(a), 1.0f, meeting, 1.0f, 0.0f, move);
        if (a)
            a->busy = true;
        if (vanish)
        {
            effect.tweens[3] = MivoBlockTween::Create(b, PositionOf(b), 1.0f, meeting, 1.0f, 0.0f, move);
            if (b)
                b->busy = true;
        }
        effect.stage = 2;
        return false;
    }
    case 2:
    {
        // The blocks go (or B takes the new number) as the glide ends.
        event.board->AnnounceEvent(event);
        effect.tweens[2].reset();
        effect.tweens[3].reset();
        const float out = vanish ? vanishOut : mergeOut;
        for (size_t ghost : {size_t(0), size_t(1)})
        {
            const WeVector at = TweenPosition(*effect.tweens[ghost]);
            effect.tweens[ghost]->Start(at, 1.0f, at, 0.0f, 0.0f, out);
        }
        effect.stage = 3;
        return false;
    }
    default:
        EndEffect(effect);
        return true;
    }
}

bool MivoGameCallbacks::Disappear(MivoBoardEvent& event, MivoEventEffect& effect)
{
    static const float& fadeTime = WeConfig::GetFloat("Mivo.Blocks.DisappearDisappearingTime", 1.0f);
    MivoActor* a = ActorOfEvent(event.wordsA);
    if (effect.stage == 0)
    {
        PlayOnce("Sound.Effects.mi_nestled");
        if (a)
            playGamePhase.SpawnParticles(nullptr, Raised(PositionOf(a), 0.505f),
                                         "Ingame.Particles.disappearing");
        effect.tweens[0] =
            MivoBlockTween::Create(a, PositionOf(a), 1.0f, PositionOf(a), 0.0f, 0.0f, fadeTime);
        effect.stage = 1;
        return false;
    }
    if (!effect.AllDone())
        return false;
    effect.tweens[0].reset(); // before the announcement kills the actor
    event.board->AnnounceEvent(event);
    return true;
}

bool MivoGameCallbacks::Hardened(MivoBoardEvent& event)
{
    static const float& height = WeConfig::GetFloat("Mivo.Blocks.UTWallPSY", 1.0f);
    PlayOnce("Sound.Effects.mi_UT");
    if (const MivoActor* a = ActorOfEvent(event.wordsA))
        playGamePhase.SpawnParticles(nullptr, Raised(PositionOf(a), height), "Ingame.Particles.ut_wall");
    event.board->AnnounceEvent(event);
    return true;
}

bool MivoGameCallbacks::Hit(MivoBoardEvent& event)
{
    static const float& height = WeConfig::GetFloat("Mivo.Blocks.BlockHitPSY", 1.0f);
    const bool wall = event.blockB && event.blockB->kind == MivoBlockKind::Wall;
    PlayOnce(wall ? "Sound.Effects.mi_ledozid" : "Sound.Effects.mi_ledoled");
    if (const MivoActor* a = ActorOfEvent(event.wordsA))
        playGamePhase.SpawnParticles(nullptr, Raised(PositionOf(a), height), "Ingame.Particles.hit");
    event.board->AnnounceEvent(event);
    return true;
}

bool MivoGameCallbacks::TrackWave(MivoBoardEvent& event, MivoEventEffect& effect)
{
    static const float& height = WeConfig::GetFloat("Mivo.Blocks.TrackEffectY", 1.0f);
    static const float& cellDelay = WeConfig::GetFloat("Mivo.Blocks.TrackCellDelay", 1.0f);
    static const float& fadeTime = WeConfig::GetFloat("Mivo.Blocks.TrackCellFadeTime", 1.0f);
    const MivoTrack* track = event.track;
    const MivoMapTable* table = event.board ? event.board->table : nullptr;
    if (effect.stage == 0)
    {
        PlayOnce(event.kind == K::TrackStarted ? "Sound.Effects.mi_trakaON" : "Sound.Effects.mi_trakaOFF");
        const int32_t length = track && table ? std::max(track->length, 0) : 0;
        effect.Reserve(size_t(length));
        // The wave runs in the switch direction: from the far end when it steps backwards.
        const bool backwards = track && (track->vertical ? event.b != 5 : event.b != 3);
        for (int32_t i = 0; i < length; ++i)
        {
            const int32_t along = backwards ? length - 1 - i : i;
            const MivoMapCell* cell = table->Cell(track->CellX(along), track->CellY(along));
            if (!cell)
                continue;
            effect.cells[size_t(i)] = cell->floor.get();
            GhostFade(effect, size_t(i), {cell->fx, height, -cell->fy}, 0.0f, 1.0f, float(i) * cellDelay,
                      fadeTime);
        }
        effect.stage = 1;
    }
    if (effect.stage == 1)
    {
        bool allStarted = true;
        for (size_t i = 0; i < effect.tweens.size(); ++i)
        {
            MivoBlockTween* tween = effect.tweens[i].get();
            if (!tween || effect.started[i])
                continue;
            if (!tween->done)
            {
                allStarted = false;
                continue;
            }
            // The cell takes its new look as its ghost is fully shown.
            OnBlockCreated(effect.cells[i]);
            tween->Start(tween->to, 1.0f, tween->to, 0.0f, 0.0f, fadeTime);
            effect.started[i] = 1;
        }
        if (!allStarted)
            return false;
        effect.stage = 2;
    }
    if (!effect.AllDone())
        return false;
    EndEffect(effect);
    return true;
}

bool MivoGameCallbacks::Teleport(MivoBoardEvent& event, MivoEventEffect& effect)
{
    static const float& glowTime = WeConfig::GetFloat("Mivo.Blocks.TeleportActivePSTime", 1.0f);
    static const float& fadeTime = WeConfig::GetFloat("Mivo.Blocks.TeleportFadeTime", 1.0f);
    static const float& widen = WeConfig::GetFloat("Mivo.Blocks.TeleportFade1Scale", 3.0f);
    static const float& stretch = WeConfig::GetFloat("Mivo.Blocks.TeleportFade2Scale", 5.0f);
    auto* glow = reinterpret_cast<WeParticleSystem*>(event.wordsA[1]);
    if (effect.stage == 0)
    {
        PlayOnce("Sound.Effects.mi_teleport");
        if (glow)
        {
            playGamePhase.BeginTeleportGlow(glow);
            effect.countdown = glowTime;
            effect.countdownRunning = true;
        }
        const WeVector over = Raised(PositionOf(ActorOfEvent(event.wordsA)), BoxDeltaY2());
        GhostFade(effect, 0, over, 1.0f, 0.0f, 0.0f, fadeTime);
        GhostFade(effect, 1, over, 1.0f, 0.0f, 0.0f, fadeTime);
        effect.stage = 1;
        return false;
    }
    if (effect.countdownRunning)
    {
        effect.countdown -= timer.deltaTime;
        if (effect.countdown <= 0.0f)
        {
            effect.countdownRunning = false;
            playGamePhase.EndTeleportGlow(glow);
        }
    }
    if (effect.stage == 1)
    {
        const MivoBlockTween& first = *effect.tweens[0];
        if (!first.done)
        {
            // One ghost swells, the other becomes a thin column that rises.
            const float p = first.progress;
            const float wide = (widen - 1.0f) * p + 1.0f, tall = (stretch - 1.0f) * p + 1.0f;
            if (effect.ghosts[0])
                effect.ghosts[0]->SetScale({wide, wide, wide});
            if (effect.ghosts[1])
                effect.ghosts[1]->SetScale({1.0f - p, tall, 1.0f - p});
            return false;
        }
        EndEffect(effect);
        effect.stage = 2;
        return false;
    }
    return !effect.countdownRunning;
}

bool MivoGameCallbacks::MagnetPull(MivoBoardEvent& event)
{
    static const float& pullHeight = WeConfig::GetFloat("Mivo.Blocks.MagnetPullPSY", 1.0f);
    static const float& magnetHeight = WeConfig::GetFloat("Mivo.Blocks.MagnetY", 1.0f);
    static const float& magnetScale = WeConfig::GetFloat("Mivo.Blocks.MagnetScale", 1.0f);
    static const float& scaleTime = WeConfig::GetFloat("Mivo.Blocks.MagnetScaleTime", 1.0f);
    MivoPlayGamePhase& play = playGamePhase;
    StartLoop(play.level.magnetLoopSound, "Sound.Effects.mi_magnet");
    MivoActor* a = ActorOfEvent(event.wordsA);
    if (a && !a->pullEffect)
        a->pullEffect = play.SpawnParticles(a, {0.0f, pullHeight, 0.0f}, "Ingame.Particles.magnet_pull");
    if (MivoMagnetAnim* anim = MivoMagnetAnimOf(event.blockA))
    {
        // A magnet pulling again while its magnet fades holds the loop once more.
        if (anim->state == MivoMagnetAnim::FadingOut)
        {
            anim->Revive();
            ++play.level.magnetCount;
        }
        play.AnimateMagnet(*anim);
        return true;
    }
    if (!event.blockA)
        return true;
    ++play.level.magnetCount;
    MivoActor* magnet = play.MakeEffectActor("Ingame.Models.magnet", 0, a, {0.0f, magnetHeight, 0.0f});
    if (magnet && magnet->model)
        magnet->model->colour[3] = 0.0f;
    MivoMagnetAnim& anim = play.AddMagnetAnim(event.blockA);
    anim.Init(magnet, magnetScale, scaleTime);
    return true;
}

bool MivoGameCallbacks::MagnetIdle(MivoBoardEvent& event)
{
    static const float& scaleTime = WeConfig::GetFloat("Mivo.Blocks.MagnetScaleTime", 1.0f);
    MivoPlayGamePhase& play = playGamePhase;
    if (MivoActor* a = ActorOfEvent(event.wordsA); a && a->pullEffect)
    {
        play.KillEffectActor(a->pullEffect);
        a->pullEffect = nullptr;
    }
    MivoMagnetAnim* anim = MivoMagnetAnimOf(event.blockA);
    if (!anim)
        return true;
    // The magnet lets the loop go once, as its fade-out begins; an idle magnet is told so
    // every frame.
    if (anim->state != MivoMagnetAnim::FadingOut)
    {
        anim->BeginFadeOut(scaleTime);
        if (--play.level.magnetCount <= 0)
        {
            play.level.magnetCount = 0;
            play.StopLoop(play.level.magnetLoopSound);
        }
    }
    play.AnimateMagnet(*anim);
    if (anim->done)
        play.RemoveMagnetAnim(event.blockA);
    return true;
}

void MivoGameCallbacks::SlideStarted(MivoBoardEvent& event)
{
    static const float& height = WeConfig::GetFloat("Mivo.Blocks.TailPSY", 1.0f);
    MivoPlayGamePhase& play = playGamePhase;
    ++play.level.slideCount;
    const bool plain = event.blockA && event.blockA->kind == MivoBlockKind::Plain;
    StartLoop(play.level.slideLoopSound, plain ? "Sound.Effects.mi_plocica" : "Sound.Effects.mi_led");
    MivoActor* a = ActorOfEvent(event.wordsA);
    if (!a)
        return;
    play.KillEffectActor(a->slideTrail);
    a->slideTrail = play.SpawnParticles(a, {0.0f, height, 0.0f}, "Ingame.Particles.tail");
}

void MivoGameCallbacks::SlideStopped(MivoBoardEvent& event)
{
    MivoPlayGamePhase& play = playGamePhase;
    if (--play.level.slideCount <= 0)
    {
        play.level.slideCount = 0;
        play.StopLoop(play.level.slideLoopSound);
    }
    if (MivoActor* a = ActorOfEvent(event.wordsA); a && a->slideTrail)
    {
        play.KillEffectActor(a->slideTrail);
        a->slideTrail = nullptr;
    }
    ++userData.moves;
}

void MivoGameCallbacks::PlayOnce(const char* key)
{
    if (soundLog)
        soundLog->emplace_back(key);
    WePlaySound(key);
}

void MivoGameCallbacks::StartLoop(std::unique_ptr<WeSound>& loop, const char* key)
{
    if (loop)
        return;
    if (soundLog)
        soundLog->emplace_back(key);
    loop = std::make_unique<WeSound>(key, 0);
    loop->Play(true);
}
