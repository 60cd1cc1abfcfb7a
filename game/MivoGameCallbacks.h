// The board's presentation in play: each board event becomes ghost blocks that fade and glide,
// block actors that glide or fade, particle effects, one-shot and looping sounds, and the score
// of the meetings of numbers; the board's change waits until what it changes has been shown.
#pragma once

#include "MivoBoardEvent.h"
#include "WeCamera.h"
#include "WeString.h"

#include <cstdint>
#include <memory>
#include <vector>

class MivoActor;
class WeActor;
class WeParticleSystem;
class WeSound;

// A linear glide and fade of one actor (position and model alpha), after a delay.
struct MivoBlockTween
{
    // A tween of the actor (which may be none: the tween then only keeps time), started.
    static std::unique_ptr<MivoBlockTween> Create(WeActor* actor, const WeVector& from, float fromOpacity,
                                                  const WeVector& to, float toOpacity, float delay,
                                                  float duration);
    // Re-arms the tween: a tween with a duration puts its actor at the start at once (a delayed
    // fade-in waits invisible), one without at the end.
    void Start(const WeVector& from, float fromOpacity, const WeVector& to, float toOpacity, float delay,
               float duration);
    // Spends the delay first (the rest of the frame it ends in runs the tween), then moves and
    // fades by the time.
    void Update(float frameTime);

    float delay = 0.0f;
    WeActor* actor = nullptr;
    WeVector from, to;
    float fromOpacity = 0.0f, toOpacity = 0.0f;
    float duration = 0.0f;
    float elapsed = 0.0f;
    bool done = false;
    float progress = 0.0f;

private:
    void Place(const WeVector& position, float opacity) const;
};

// The presentation of one board event, in stages: its tweens, the ghost actors it made and, for
// a track, each cell's floor block with whether its look has changed yet.
struct MivoEventEffect
{
    static constexpr size_t kSlots = 16;

    MivoEventEffect();
    // Room for n cells (a track's length), never fewer than the 16 slots.
    void Reserve(size_t n);
    // Whether every tween that exists is done.
    bool AllDone() const;

    int32_t stage = 0;
    std::vector<std::unique_ptr<MivoBlockTween>> tweens;
    std::vector<MivoActor*> ghosts; // in the scene until the effect kills them
    std::vector<int32_t> started;
    std::vector<MivoBlock*> cells;
    float countdown = 0.0f;        // a teleport's glow time left
    bool countdownRunning = false; // the glow this event keeps on its teleport
};

// The magnet that shows over a pulling magnet block: it fades in, pulses and turns while the
// block pulls, and fades out when it stops.
struct MivoMagnetAnim
{
    enum State : int32_t
    {
        Idle = 0,
        FadingIn = 1,
        Steady = 2,
        FadingOut = 3
    };

    void Init(WeActor* magnet, float scaleTo, float time);
    // The fade-out from the current scale; nothing when it fades out already.
    void BeginFadeOut(float time);
    // Back to fading in from where a fade-out has brought it.
    void Revive();

    WeActor* actor = nullptr;
    WeVector fromScale, toScale, scale;
    float scaleTime = 0.0f;
    float elapsed = 0.0f;
    float pulseTime = 0.0f;
    float turnTime = 0.0f;
    bool done = false;
    int32_t state = Idle;
    int64_t frameStamp = 0;
};

class MivoGameCallbacks : public MivoCallbacks
{
public:
    void OnBlockCreated(MivoBlock* block) override;
    void OnBlockDestroyed(MivoBlock* block) override;
    bool OnBoardEvent(MivoBoardEvent& event) override;
    // Frees the effect; ghosts of an effect cut short go with it, and a teleport glow it kept is
    // given back.
    void OnEventDone(MivoBoardEvent& event) override;

    // Advances the effect's tweens by the frame time.
    static void UpdateTweens(MivoEventEffect& effect, float frameTime);

    // When set, every sound an effect plays (one-shots and loops) is written here.
    std::vector<WeString>* soundLog = nullptr;

private:
    bool Present(MivoBoardEvent& event, MivoEventEffect& effect);
    // Kinds 1 and 2: ghosts over both blocks fade in, glide with the block(s) to the meeting
    // place, the change is announced, the ghosts fade out.
    bool Meet(MivoBoardEvent& event, MivoEventEffect& effect);
    bool Disappear(MivoBoardEvent& event, MivoEventEffect& effect);
    bool Hardened(MivoBoardEvent& event);
    bool Hit(MivoBoardEvent& event);
    bool TrackWave(MivoBoardEvent& event, MivoEventEffect& effect);
    bool Teleport(MivoBoardEvent& event, MivoEventEffect& effect);
    bool MagnetPull(MivoBoardEvent& event);
    bool MagnetIdle(MivoBoardEvent& event);
    void SlideStarted(MivoBoardEvent& event);
    void SlideStopped(MivoBoardEvent& event);
    void PlayOnce(const char* key);
    // Starts the loop unless it plays; the slide and magnet loops.
    void StartLoop(std::unique_ptr<WeSound>& loop, const char* key);
};
