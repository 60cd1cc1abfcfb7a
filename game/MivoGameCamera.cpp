#include "MivoGameCamera.h"

#include "WeConfig.h"
#include "WeTimer.h"

#include <algorithm>
#include <cmath>

using namespace d3dx;

namespace
{

constexpr float kDegrees = 3.14159265f / 180.0f;

// How one axis moves: its lowest and highest speed and its acceleration (per second).
struct MivoAxisTuning
{
    const float& minSpeed;
    const float& maxSpeed;
    const float& accel;
};

const MivoAxisTuning& AxisTuning(int32_t axis)
{
    static const MivoAxisTuning tunings[MivoGameCamera::axisCount] = {
        {WeConfig::GetFloat("Mivo.Camera.AngleHMinSpeed", 10.0f),
         WeConfig::GetFloat("Mivo.Camera.AngleHMaxSpeed", 10.0f),
         WeConfig::GetFloat("Mivo.Camera.AngleHAccel", 10.0f)},
        {WeConfig::GetFloat("Mivo.Camera.AngleVMinSpeed", 10.0f),
         WeConfig::GetFloat("Mivo.Camera.AngleVMaxSpeed", 10.0f),
         WeConfig::GetFloat("Mivo.Camera.AngleVAccel", 10.0f)},
        {WeConfig::GetFloat("Mivo.Camera.DistanceMinSpeed", 2.0f),
         WeConfig::GetFloat("Mivo.Camera.DistanceMaxSpeed", 2.0f),
         WeConfig::GetFloat("Mivo.Camera.DistanceAccel", 2.0f)},
    };
    return tunings[axis];
}

// The eye offset keys of one vertical angle ("Mivo.Camera." + prefix + "X", "Y", "Z").
struct MivoEyeOffset
{
    explicit MivoEyeOffset(const char* prefix) : x(Key(prefix, "X")), y(Key(prefix, "Y")), z(Key(prefix, "Z"))
    {
    }
    static const float& Key(const char* prefix, const char* axis)
    {
        return WeConfig::GetFloat(WeString("Mivo.Camera.") + prefix + axis, 0.0f);
    }
    WeVector Value() const { return {x, y, z}; }

    const float& x;
    const float& y;
    const float& z;
};

// The eye offset for the blend factor f: -1 at the lowest vertical angle, 0 at 60 degrees, 1 at
// the highest.
WeVector EyeOffset(float f)
{
    static const MivoEyeOffset at60("AngleV"), atMin("MinAngleV"), atMax("MaxAngleV");
    const WeVector mid = at60.Value();
    return f >= 0.0f ? mid + (atMax.Value() - mid) * f : mid + (mid - atMin.Value()) * f;
}

WeVector Row(const WeMatrix& m, int row)
{
    return {m.m[row][0], m.m[row][1], m.m[row][2]};
}

} // namespace

MivoGameCamera::MivoGameCamera()
{
    Update(0.0f);
}

void MivoGameCamera::Update()
{
    Update(timer.deltaTime);
    WeCamera::Update();
}

void MivoGameCamera::Ease(int32_t axis, float dt)
{
    const MivoAxisTuning& tuning = AxisTuning(axis);
    float& c = offsets[axis];
    float& v = speeds[axis];
    const float t = targets[axis];
    if (t == c)
    {
        v = 0.0f;
        return;
    }
    const float remaining = std::fabs(t - c);
    const float braking = v * v / (2.0f * tuning.accel);
    const float desired = remaining >= braking ? tuning.maxSpeed : 0.0f;
    const float accel = std::min(tuning.accel, std::fabs(desired - v) / dt);
    v += (v <= desired ? dt : -dt) * accel;
    if (v < tuning.minSpeed)
        v = tuning.minSpeed;
    else if (v > tuning.maxSpeed)
        v = tuning.maxSpeed;
    const float step = v * dt;
    c = step >= remaining ? t : c + (t > c ? step : -step);
}

float MivoGameCamera::Clamp(int32_t axis, float value)
{
    static const float& maxH = WeConfig::GetFloat("Mivo.Camera.MaxAngleH", 180.0f);
    static const float& minV = WeConfig::GetFloat("Mivo.Camera.MinAngleV", 0.0f);
    static const float& maxV = WeConfig::GetFloat("Mivo.Camera.MaxAngleV", 90.0f);
    static const float& minD = WeConfig::GetFloat("Mivo.Camera.MinDistance", 5.0f);
    static const float& maxD = WeConfig::GetFloat("Mivo.Camera.MaxDistance", 100.0f);
    const float lows[axisCount] = {-maxH, minV, minD};
    const float highs[axisCount] = {maxH, maxV, maxD};
    return std::min(std::max(value, lows[axis]), highs[axis]);
}

void MivoGameCamera::Update(float dt)
{
    if (dt > 0.0f)
        for (int32_t axis = 0; axis < axisCount; ++axis)
            Ease(axis, dt);
    float values[axisCount];
    for (int32_t axis = 0; axis < axisCount; ++axis)
    {
        values[axis] = bases[axis] + offsets[axis];
        if (!intro)
        {
            values[axis] = Clamp(axis, values[axis]);
            offsets[axis] = values[axis] - bases[axis];
        }
    }
    Place(values[horizontal], values[vertical], values[distance]);
}

void MivoGameCamera::Place(float h, float v, float d)
{
    static const float& minV = WeConfig::GetFloat("Mivo.Camera.MinAngleV", 0.0f);
    static const float& maxV = WeConfig::GetFloat("Mivo.Camera.MaxAngleV", 90.0f);
    static const float& fovDegrees = WeConfig::GetFloat("Mivo.Camera.Fov", 45.0f);
    float f = 0.0f;
    if (v < 60.0f && minV < 60.0f)
        f = (v - 60.0f) / (60.0f - minV);
    else if (v >= 60.0f && maxV > 60.0f)
        f = (v - 60.0f) / (maxV - 60.0f);

    const WeMatrix yaw = D3DXMatrixRotationYawPitchRoll(h * kDegrees, 0.0f, 0.0f);
    const WeMatrix orbit =
        D3DXMatrixMultiply(D3DXMatrixMultiply(D3DXMatrixTranslation(0.0f, 0.0f, -d),
                                              D3DXMatrixRotationYawPitchRoll(0.0f, v * kDegrees, 0.0f)),
                           yaw);
    const WeVector eye = Row(orbit, 3);
    direction = D3DXVec3Normalize(eye * -1.0f);
    const WeVector o = EyeOffset(f);
    position = eye + Row(yaw, 0) * o.x + Row(yaw, 1) * o.y + Row(yaw, 2) * o.z;
    SetFov(fovDegrees * kDegrees);
}

void MivoGameCamera::MoveTarget(float dH, float dV, float dD)
{
    const float deltas[axisCount] = {dH, dV, dD};
    for (int32_t axis = 0; axis < axisCount; ++axis)
    {
        float value = bases[axis] + targets[axis] + deltas[axis];
        if (!intro)
            value = Clamp(axis, value);
        targets[axis] = value - bases[axis];
    }
}
