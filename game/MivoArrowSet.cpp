#include "MivoArrowSet.h"

#include "WeConfig.h"

#include <cmath>

using namespace d3dx;

namespace
{

constexpr float kPi = 3.14159265f;

// The arrows' tuning, looked up once.
struct MivoArrowTuning
{
    const float& scaleInTime = WeConfig::GetFloat("Mivo.Arrows.ScaleInTime", 1.0f);
    const float& scaleOutTime = WeConfig::GetFloat("Mivo.Arrows.ScaleOutTime", 1.0f);
    const float& scale = WeConfig::GetFloat("Mivo.Arrows.Scale", 1.0f);
    const float& baseY = WeConfig::GetFloat("Mivo.Arrows.BaseY", 1.0f);
    const float& baseDistance = WeConfig::GetFloat("Mivo.Arrows.BaseDistance", 1.0f);
    const float& leftRightDistance = WeConfig::GetFloat("Mivo.Arrows.LeftRightDistance", 1.0f);
    const float& leftRightPhase = WeConfig::GetFloat("Mivo.Arrows.LeftRightPhase", 1.0f);
};

const MivoArrowTuning& Tuning()
{
    static const MivoArrowTuning tuning;
    return tuning;
}

} // namespace

MivoArrowSet::MivoArrowSet(const WeVector& centre)
{
    static const WeVector offsets[4] = {{0, 0, 1}, {1, 0, 0}, {0, 0, -1}, {-1, 0, 0}};
    for (int32_t i = 0; i < 4; ++i)
    {
        Arrow& arrow = arrows[i];
        arrow.centre = centre;
        arrow.position = centre;
        arrow.direction = 2 * i + 1;
        arrow.rotation = D3DXQuaternionRotationAxis({0, 1, 0}, float(i) * kPi / 2.0f);
        arrow.offset = offsets[i];
    }
}

int32_t MivoArrowSet::Quadrant(float dx, float dz)
{
    if (std::fabs(dx) >= std::fabs(dz))
        return dx >= 0.0f ? 1 : 3;
    return dz >= 0.0f ? 0 : 2;
}

void MivoArrowSet::PlaceAt(float distance)
{
    for (Arrow& arrow : arrows)
        arrow.position = arrow.centre + arrow.offset * distance + WeVector{0.0f, Tuning().baseY, 0.0f};
}

void MivoArrowSet::ScaleAlong(float fraction)
{
    const float scale = Tuning().scale;
    for (Arrow& arrow : arrows)
        arrow.scale = {scale, scale, scale * fraction};
}

uint32_t MivoArrowSet::Advance(float dt)
{
    const MivoArrowTuning& tuning = Tuning();
    switch (state)
    {
    case New:
        if (!wanted)
            return 0;
        state = Growing;
        timer = -1.0f;
        return Showed;
    case Growing:
        timer = timer < 0.0f ? 0.0f : timer + dt;
        if (tuning.scaleInTime > 0.0f && timer < tuning.scaleInTime)
        {
            PlaceAt(tuning.baseDistance);
            ScaleAlong(timer / tuning.scaleInTime);
            return Placed | Rescaled;
        }
        state = Shown;
        timer -= tuning.scaleInTime;
        return 0;
    case Shown:
        if (!wanted)
        {
            state = Shrinking;
            timer = 0.0f;
            return 0;
        }
        if (tuning.leftRightPhase <= 0.0f)
            return 0;
        timer = std::fmod(timer + dt, tuning.leftRightPhase);
        PlaceAt((std::cos(2.0f * kPi * timer / tuning.leftRightPhase) - 1.0f) * tuning.leftRightDistance +
                tuning.baseDistance);
        return Placed;
    case Shrinking:
        timer += dt;
        if (tuning.scaleOutTime > 0.0f && timer < tuning.scaleOutTime)
        {
            ScaleAlong(1.0f - timer / tuning.scaleOutTime);
            return Placed | Rescaled;
        }
        state = Finished;
        return Hid;
    default:
        return 0;
    }
}
