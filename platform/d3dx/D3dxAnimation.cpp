#include "d3dx/D3dxAnimation.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace d3dx
{

using d3d9::D3D_OK;
using d3d9::D3DERR_INVALIDCALL;

namespace
{

// The ticks per second of a file that names none.
constexpr double defaultTicksPerSecond = 4800.0;

Vector3 Lerp(const Vector3& a, const Vector3& b, float t)
{
    return a + (b - a) * t;
}

// The value of rising keys at a time: the keys around it interpolated, or the nearer end.
template <typename Key, typename Value, typename Blend>
Value Sample(const std::vector<Key>& keys, float time, Value rest, Blend blend)
{
    if (keys.empty())
    {
        return rest;
    }
    const auto after = std::upper_bound(keys.begin(), keys.end(), time,
                                        [](float t, const Key& key) { return t < key.time; });
    if (after == keys.begin())
    {
        return keys.front().value;
    }
    if (after == keys.end())
    {
        return keys.back().value;
    }
    const Key& before = *(after - 1);
    const float span = after->time - before.time;
    return span > 0.0f ? blend(before.value, after->value, (time - before.time) / span) : after->value;
}

template <typename Key> float LastTime(const std::vector<Key>& keys)
{
    return keys.empty() ? 0.0f : keys.back().time;
}

// Scale, then rotation, then translation, for row vectors.
Matrix Compose(const Vector3& scale, const Quaternion& rotation, const Vector3& translation)
{
    Matrix m = D3DXMatrixRotationQuaternion(rotation);
    const float s[3] = {scale.x, scale.y, scale.z};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            m.m[row][column] *= s[row];
    m.m[3][0] = translation.x;
    m.m[3][1] = translation.y;
    m.m[3][2] = translation.z;
    return m;
}

} // namespace

AnimationSet::AnimationSet(std::string name, double ticksPerSecond, std::vector<AnimationKeys> animations)
    : name(std::move(name)), ticksPerSecond(ticksPerSecond > 0.0 ? ticksPerSecond : defaultTicksPerSecond),
      animations(std::move(animations))
{
    float last = 0.0f;
    for (const AnimationKeys& keys : this->animations)
    {
        last = std::max({last, LastTime(keys.scales), LastTime(keys.rotations), LastTime(keys.translations)});
    }
    period = last / this->ticksPerSecond;
}

uint32_t AnimationSet::Release()
{
    const uint32_t left = --refs;
    if (left == 0)
    {
        delete this;
    }
    return left;
}

double AnimationSet::GetPeriodicPosition(double position) const
{
    if (!(period > 0.0) || !std::isfinite(position))
    {
        return 0.0;
    }
    const double wrapped = std::fmod(position, period);
    return wrapped < 0.0 ? wrapped + period : wrapped;
}

int32_t AnimationSet::FindAnimation(const char* output) const
{
    for (size_t i = 0; output && i < animations.size(); ++i)
    {
        if (animations[i].name == output)
        {
            return int32_t(i);
        }
    }
    return -1;
}

HRESULT AnimationSet::GetSRT(double periodicPosition, uint32_t animation, Vector3* scale,
                             Quaternion* rotation, Vector3* translation) const
{
    if (animation >= animations.size() || !scale || !rotation || !translation)
    {
        return D3DERR_INVALIDCALL;
    }
    const AnimationKeys& keys = animations[animation];
    const float tick = float(periodicPosition * ticksPerSecond);
    *scale = Sample(keys.scales, tick, Vector3{1.0f, 1.0f, 1.0f}, Lerp);
    *rotation = Sample(keys.rotations, tick, Quaternion{}, D3DXQuaternionSlerp);
    *translation = Sample(keys.translations, tick, Vector3{}, Lerp);
    return D3D_OK;
}

AnimationController::AnimationController(uint32_t maxOutputs, uint32_t maxSets, uint32_t maxTracks,
                                         uint32_t maxEvents)
    : maxOutputs(maxOutputs), maxSets(maxSets), maxEvents(maxEvents), tracks(maxTracks)
{
}

AnimationController::~AnimationController()
{
    for (Track& track : tracks)
    {
        if (track.set)
        {
            track.set->Release();
        }
    }
    for (AnimationSet* set : sets)
    {
        set->Release();
    }
}

uint32_t AnimationController::Release()
{
    const uint32_t left = --refs;
    if (left == 0)
    {
        delete this;
    }
    return left;
}

HRESULT AnimationController::RegisterAnimationOutput(const char* name, Matrix* matrix)
{
    if (!name || !matrix)
    {
        return D3DERR_INVALIDCALL;
    }
    for (Output& output : outputs)
    {
        if (output.name == name)
        {
            output.matrix = matrix;
            return D3D_OK;
        }
    }
    if (outputs.size() >= maxOutputs)
    {
        return D3DERR_INVALIDCALL;
    }
    outputs.push_back({name, matrix});
    return D3D_OK;
}

HRESULT AnimationController::RegisterAnimationSet(AnimationSet* set)
{
    if (!set || sets.size() >= maxSets || std::find(sets.begin(), sets.end(), set) != sets.end())
    {
        return D3DERR_INVALIDCALL;
    }
    set->AddRef();
    sets.push_back(set);
    return D3D_OK;
}

AnimationSet* AnimationController::GetAnimationSetByName(const char* name) const
{
    for (AnimationSet* set : sets)
    {
        if (name && std::strcmp(set->GetName(), name) == 0)
        {
            return set;
        }
    }
    return nullptr;
}

template <typename Value>
HRESULT AnimationController::SetTrackField(uint32_t track, Value TrackDesc::*field, Value value)
{
    if (track >= tracks.size())
    {
        return D3DERR_INVALIDCALL;
    }
    tracks[track].desc.*field = value;
    return D3D_OK;
}

HRESULT AnimationController::SetTrackAnimationSet(uint32_t track, AnimationSet* set)
{
    if (track >= tracks.size())
    {
        return D3DERR_INVALIDCALL;
    }
    if (set)
    {
        set->AddRef();
    }
    if (tracks[track].set)
    {
        tracks[track].set->Release();
    }
    tracks[track].set = set;
    return D3D_OK;
}

AnimationSet* AnimationController::GetTrackAnimationSet(uint32_t track) const
{
    return track < tracks.size() ? tracks[track].set : nullptr;
}

HRESULT AnimationController::SetTrackPosition(uint32_t track, double position)
{
    return SetTrackField(track, &TrackDesc::position, position);
}

HRESULT AnimationController::SetTrackSpeed(uint32_t track, float speed)
{
    return SetTrackField(track, &TrackDesc::speed, speed);
}

HRESULT AnimationController::SetTrackWeight(uint32_t track, float weight)
{
    return SetTrackField(track, &TrackDesc::weight, weight);
}

HRESULT AnimationController::SetTrackEnable(uint32_t track, bool enable)
{
    return SetTrackField(track, &TrackDesc::enable, enable);
}

HRESULT AnimationController::GetTrackDesc(uint32_t track, TrackDesc* desc) const
{
    if (track >= tracks.size() || !desc)
    {
        return D3DERR_INVALIDCALL;
    }
    *desc = tracks[track].desc;
    return D3D_OK;
}

HRESULT AnimationController::AdvanceTime(double seconds)
{
    for (Track& track : tracks)
    {
        if (track.desc.enable && track.set)
        {
            track.desc.position += seconds * track.desc.speed;
        }
    }
    for (const Output& output : outputs)
    {
        float total = 0.0f;
        Vector3 scale, translation;
        Quaternion rotation;
        for (const Track& track : tracks)
        {
            const int32_t animation = track.set ? track.set->FindAnimation(output.name.c_str()) : -1;
            if (!track.desc.enable || !(track.desc.weight > 0.0f) || animation < 0)
            {
                continue;
            }
            Vector3 s, t;
            Quaternion r;
            track.set->GetSRT(track.set->GetPeriodicPosition(track.desc.position), uint32_t(animation), &s,
                              &r, &t);
            // Each track moves the blend towards its own pose by its share of the weight so far.
            total += track.desc.weight;
            const float share = track.desc.weight / total;
            scale = Lerp(scale, s, share);
            translation = Lerp(translation, t, share);
            rotation = D3DXQuaternionSlerp(rotation, r, share);
        }
        if (total > 0.0f)
        {
            *output.matrix = Compose(scale, rotation, translation);
        }
    }
    return D3D_OK;
}

HRESULT AnimationController::CloneAnimationController(uint32_t cloneOutputs, uint32_t cloneSets,
                                                      uint32_t cloneTracks, uint32_t cloneEvents,
                                                      AnimationController** clone) const
{
    if (!clone || cloneSets < sets.size())
    {
        return D3DERR_INVALIDCALL;
    }
    AnimationController* made = nullptr;
    const HRESULT result =
        D3DXCreateAnimationController(cloneOutputs, cloneSets, cloneTracks, cloneEvents, &made);
    if (d3d9::Failed(result))
    {
        return result;
    }
    for (AnimationSet* set : sets)
    {
        made->RegisterAnimationSet(set);
    }
    for (uint32_t track = 0; track < std::min(cloneTracks, uint32_t(tracks.size())); ++track)
    {
        made->SetTrackAnimationSet(track, tracks[track].set);
        made->tracks[track].desc = tracks[track].desc;
    }
    *clone = made;
    return D3D_OK;
}

HRESULT D3DXCreateAnimationController(uint32_t maxOutputs, uint32_t maxSets, uint32_t maxTracks,
                                      uint32_t maxEvents, AnimationController** controller)
{
    if (!controller || maxOutputs == 0 || maxSets == 0 || maxTracks == 0)
    {
        return D3DERR_INVALIDCALL;
    }
    *controller = new AnimationController(maxOutputs, maxSets, maxTracks, maxEvents);
    return D3D_OK;
}

} // namespace d3dx
