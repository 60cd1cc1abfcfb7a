#include "WeCameraActor.h"

#include "WeCamera.h"
#include "WeFileStream.h"
#include "WeRecordReader.h"

WeCameraActor::WeCameraActor() : camera(std::make_unique<WeCamera>())
{
    type = WeActorTypeCamera;
    modelName = "Config.Assets.Camera";
}

WeCameraActor::~WeCameraActor() = default;

void WeCameraActor::Tick()
{
    WeActor::Tick();
    const WeMatrix& matrix = GetWorldMatrix();
    camera->position = GetWorldPosition();
    camera->direction = {matrix.m[2][0], matrix.m[2][1], matrix.m[2][2]};
    camera->up = {matrix.m[1][0], matrix.m[1][1], matrix.m[1][2]};
}

bool WeCameraActor::Save(WeFileStream& stream)
{
    const WeCamera& c = *camera;
    return WeActor::Save(stream) && stream.WriteInt(0) && stream.WriteFloat(c.fov) &&
           stream.WriteFloat(c.aspect) && stream.WriteFloat(c.nearClip) && stream.WriteFloat(c.farClip) &&
           stream.WriteBool(c.orthogonal) && stream.WriteFloat(c.orthoWidth) &&
           stream.WriteFloat(c.orthoHeight);
}

bool WeCameraActor::Load(WeRecordReader& reader)
{
    if (!WeActor::Load(reader))
        return false;
    reader.ReadInt(); // any version reads the same fields
    float values[4];
    reader.ReadFloats(values, 4);
    const bool orthogonal = reader.ReadBool();
    const float width = reader.ReadFloat(), height = reader.ReadFloat();
    if (!reader.Ok())
        return false;
    TakeSettings(values[0], values[1], values[2], values[3], orthogonal, width, height);
    return true;
}

void WeCameraActor::CopyFrom(const WeActor& source)
{
    WeActor::CopyFrom(source);
    if (const auto* other = dynamic_cast<const WeCameraActor*>(&source))
    {
        const WeCamera& c = *other->camera;
        TakeSettings(c.fov, c.aspect, c.nearClip, c.farClip, c.orthogonal, c.orthoWidth, c.orthoHeight);
    }
}

void WeCameraActor::TakeSettings(float fov, float aspect, float nearClip, float farClip, bool orthogonal,
                                 float width, float height)
{
    camera->SetFov(fov);
    camera->SetAspect(aspect);
    camera->SetNearClip(nearClip);
    camera->SetFarClip(farClip);
    camera->SetOrthogonal(orthogonal);
    camera->SetOrthoSize(width, camera->orthoHeight);
    camera->SetOrthoSize(camera->orthoWidth, height);
}
