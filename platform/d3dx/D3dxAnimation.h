// Keyframed animation as D3DX plays it: animation sets of scale, rotation and translation keys
// per named output, and a controller whose tracks each play a set at their own position, speed
// and weight, and which writes the blended pose of every registered output into its matrix.
// Sets are shared: a cloned controller plays the same sets with tracks of its own.
#pragma once

#include "d3dx/D3dxMath.h"

#include <cstdint>
#include <string>
#include <vector>

namespace d3dx
{

using d3d9::HRESULT;

struct ScaleKey
{
    float time = 0.0f; // in ticks
    Vector3 value{1.0f, 1.0f, 1.0f};
};

struct RotationKey
{
    float time = 0.0f;
    Quaternion value;
};

struct TranslationKey
{
    float time = 0.0f;
    Vector3 value;
};

// The keys of one output; a list without keys leaves that part at rest (unit scale, no
// rotation, no translation).
struct AnimationKeys
{
    std::string name;
    std::vector<ScaleKey> scales;             // by rising time
    std::vector<RotationKey> rotations;       // by rising time
    std::vector<TranslationKey> translations; // by rising time
};

class AnimationSet
{
public:
    uint32_t AddRef() { return ++refs; }
    uint32_t Release();

    const char* GetName() const { return name.c_str(); }
    // Seconds of one pass: the last key's time over the ticks per second.
    double GetPeriod() const { return period; }
    // A track position within the period: sets loop, so positions wrap (negative ones too).
    double GetPeriodicPosition(double position) const;
    uint32_t GetNumAnimations() const { return uint32_t(animations.size()); }
    // The index of the output's keys, or -1.
    int32_t FindAnimation(const char* output) const;
    // The pose of an output's keys at a periodic position in seconds: scale and translation
    // interpolated linearly, rotation along the shorter arc; before the first key the first,
    // after the last the last.
    HRESULT GetSRT(double periodicPosition, uint32_t animation, Vector3* scale, Quaternion* rotation,
                   Vector3* translation) const;

    // Keys of each list must come by rising time.
    AnimationSet(std::string name, double ticksPerSecond, std::vector<AnimationKeys> animations);
    AnimationSet(const AnimationSet&) = delete;
    AnimationSet& operator=(const AnimationSet&) = delete;

private:
    ~AnimationSet() = default;

    std::string name;
    double ticksPerSecond;
    std::vector<AnimationKeys> animations;
    double period = 0.0;
    uint32_t refs = 1;
};

struct TrackDesc
{
    uint32_t priority = 0;
    float weight = 1.0f;
    float speed = 1.0f;
    double position = 0.0; // seconds
    bool enable = false;
};

class AnimationController
{
public:
    uint32_t AddRef() { return ++refs; }
    uint32_t Release();

    uint32_t GetMaxNumAnimationOutputs() const { return maxOutputs; }
    uint32_t GetMaxNumAnimationSets() const { return maxSets; }
    uint32_t GetMaxNumTracks() const { return uint32_t(tracks.size()); }
    // Events are not kept; the number is what the controller was made with.
    uint32_t GetMaxNumEvents() const { return maxEvents; }

    // The matrix an output writes its pose to. Registering a name again moves it to the new
    // matrix; a new name past the maximum is refused.
    HRESULT RegisterAnimationOutput(const char* name, Matrix* matrix);
    // Takes a reference; past the maximum, or a set already there, is refused.
    HRESULT RegisterAnimationSet(AnimationSet* set);
    uint32_t GetNumAnimationSets() const { return uint32_t(sets.size()); }
    // The set at the index (no reference is added), or null past the last.
    AnimationSet* GetAnimationSet(uint32_t index) const
    {
        return index < sets.size() ? sets[index] : nullptr;
    }
    // The set of that name (no reference is added), or null.
    AnimationSet* GetAnimationSetByName(const char* name) const;

    // Track operations refuse a track past the maximum.
    HRESULT SetTrackAnimationSet(uint32_t track, AnimationSet* set);
    // The track's set (no reference is added), or null.
    AnimationSet* GetTrackAnimationSet(uint32_t track) const;
    HRESULT SetTrackPosition(uint32_t track, double position);
    HRESULT SetTrackSpeed(uint32_t track, float speed);
    HRESULT SetTrackWeight(uint32_t track, float weight);
    HRESULT SetTrackEnable(uint32_t track, bool enable);
    HRESULT GetTrackDesc(uint32_t track, TrackDesc* desc) const;

    // Moves every enabled track with a set on by seconds x its speed, then poses each output
    // that an enabled track with a positive weight animates: the tracks' poses blended by their
    // share of the summed weight (rotations along the shorter arc), composed as scale, then
    // rotation, then translation. Outputs no such track animates keep their matrices.
    HRESULT AdvanceTime(double seconds);

    // A controller of the given maxima playing the same sets (shared, not copied), with the
    // tracks' settings copied as far as the new number of tracks reaches, and no outputs. Fewer
    // sets than this one has is refused.
    HRESULT CloneAnimationController(uint32_t maxOutputs, uint32_t maxSets, uint32_t maxTracks,
                                     uint32_t maxEvents, AnimationController** clone) const;

    AnimationController(uint32_t maxOutputs, uint32_t maxSets, uint32_t maxTracks, uint32_t maxEvents);
    AnimationController(const AnimationController&) = delete;
    AnimationController& operator=(const AnimationController&) = delete;

private:
    struct Track
    {
        TrackDesc desc;
        AnimationSet* set = nullptr;
    };
    struct Output
    {
        std::string name;
        Matrix* matrix;
    };
    ~AnimationController();
    template <typename Value> HRESULT SetTrackField(uint32_t track, Value TrackDesc::*field, Value value);

    uint32_t maxOutputs;
    uint32_t maxSets;
    uint32_t maxEvents;
    std::vector<Track> tracks;
    std::vector<AnimationSet*> sets;
    std::vector<Output> outputs;
    uint32_t refs = 1;
};

// A controller of the maxima (each at least 1 but events), without sets or outputs.
HRESULT D3DXCreateAnimationController(uint32_t maxOutputs, uint32_t maxSets, uint32_t maxTracks,
                                      uint32_t maxEvents, AnimationController** controller);

} // namespace d3dx
