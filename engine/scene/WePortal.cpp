#include "WePortal.h"

#include "WeEngine.h"
#include "WeFileStream.h"
#include "WeRecordReader.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace
{

// Projected corners this close to the camera's plane give no usable screen position.
constexpr float minimumW = 1e-6f;

WeVector Row(const WeMatrix& matrix, int32_t row)
{
    return {matrix.m[row][0], matrix.m[row][1], matrix.m[row][2]};
}

} // namespace

WePortal::WePortal()
{
    type = WeActorTypePortal;
    modelName = "Config.Assets.Portal";
}

void WePortal::Tick()
{
    SetScale({Width, Height, 1.0f});
    WeActor::Tick();
    if (scale.x != storedScale.x || scale.y != storedScale.y || scale.z != storedScale.z)
    {
        DestroyPhysics();
        WeActor::OnAddedToScene();
        storedScale = scale;
    }
    UpdateGeometry();
}

void WePortal::UpdateGeometry()
{
    const WeMatrix& world = GetWorldMatrix();
    const WeVector x = Row(world, 0), y = Row(world, 1), p = Row(world, 3);
    const float hw = Width * 0.5f, hh = Height * 0.5f;
    portalCorners[0] = p - x * hw - y * hh;
    portalCorners[1] = p - x * hw + y * hh;
    portalCorners[2] = p + x * hw + y * hh;
    portalCorners[3] = p + x * hw - y * hh;
    const WeVector normal = d3dx::D3DXVec3Normalize(
        d3dx::D3DXVec3Cross(portalCorners[1] - portalCorners[0], portalCorners[2] - portalCorners[0]));
    plane = {normal.x, normal.y, normal.z, -d3dx::D3DXVec3Dot(normal, portalCorners[0])};
    sphereCentre = p;
    sphereRadius = std::numbers::sqrt2_v<float> * std::max(hw, hh);
}

bool WePortal::SavePortal(WeFileStream& stream) const
{
    return stream.WriteInt(portalVersion) && stream.WriteBool(flags[0]) && stream.WriteFloat(Width) &&
           stream.WriteFloat(Height) && stream.WriteBool(flags[1]) && stream.WriteBool(flags[2]) &&
           stream.WriteFloat(values[0]) && stream.WriteFloat(values[1]);
}

bool WePortal::Save(WeFileStream& stream)
{
    return WeActor::Save(stream) && SavePortal(stream);
}

bool WePortal::LoadPortal(WeRecordReader& reader)
{
    const int32_t stored = reader.ReadInt();
    if (stored < 1 || stored > portalVersion)
        return reader.Ok();
    if (stored < 4)
    {
        WeString dropped;
        reader.Skip(8);
        reader.ReadString(dropped);
        reader.ReadString(dropped);
    }
    flags[0] = reader.ReadBool();
    Width = reader.ReadFloat();
    Height = reader.ReadFloat();
    if (stored >= 2)
        flags[1] = reader.ReadBool();
    if (stored >= 3)
    {
        flags[2] = reader.ReadBool();
        values[0] = reader.ReadFloat();
        values[1] = stored >= 4 ? reader.ReadFloat() : values[0];
    }
    return reader.Ok();
}

bool WePortal::Load(WeRecordReader& reader)
{
    return WeActor::Load(reader) && LoadPortal(reader);
}

void WePortal::OnAddedToScene()
{
    physicModel.type = WePhysicModel::none;
    const bool editor = engine.settings.editorMode;
    active = editor;
    if (editor)
        needsTick = true;
    else
    {
        visible = false;
        staticFlags[0] = true;
    }
    WeActor::OnAddedToScene();
    furtherFlags[0] = furtherFlags[1] = true;
    shadowVolume = false;
    UpdateGeometry();
}

void WePortal::CopyFrom(const WeActor& source)
{
    WeActor::CopyFrom(source);
    const auto* other = dynamic_cast<const WePortal*>(&source);
    if (!other)
        return;
    Width = other->Width;
    Height = other->Height;
    flags[1] = other->flags[1];
    flags[2] = other->flags[2];
    values[0] = other->values[0];
    values[1] = other->values[1];
}

void WePortal::Project(const WeCamera& camera)
{
    const WeMatrix& m = camera.viewProjection;
    const WeVector4 c = d3dx::D3DXVec3Transform(Row(GetWorldMatrix(), 3), m);
    projected = c.z >= 0.0f && c.w >= minimumW;
    if (!projected)
        return;
    const float cx = c.x / c.w, cy = c.y / c.w;
    screen = {-10.0f, -10.0f, 0.0f, 10.0f, 10.0f, camera.farClip};
    for (const WeVector& corner : portalCorners)
    {
        const WeVector4 q = d3dx::D3DXVec3Transform(corner, m);
        if (q.w < minimumW)
            continue;
        const float qx = q.x / q.w, qy = q.y / q.w;
        if (qx > screen.minX && qx < cx)
            screen.minX = qx;
        if (qx < screen.maxX && qx > cx)
            screen.maxX = qx;
        if (qy > screen.minY && qy < cy)
            screen.minY = qy;
        if (qy < screen.maxY && qy > cy)
            screen.maxY = qy;
        if (q.z > screen.minDepth && q.z < c.z)
            screen.minDepth = q.z;
        if (q.z < screen.maxDepth && q.z > c.z)
            screen.maxDepth = q.z;
    }
    projected = !(screen.minX > 1.0f || screen.minY > 1.0f || screen.minDepth > camera.farClip ||
                  screen.maxX < -1.0f || screen.maxY < -1.0f || screen.maxDepth < 0.0f);
}

bool WePortal::Separates(const WeVector& a, const WeVector& b) const
{
    const WeMatrix& world = GetWorldMatrix();
    const WeVector normal = Row(world, 2), place = Row(world, 3);
    return d3dx::D3DXVec3Dot(normal, a - place) * d3dx::D3DXVec3Dot(normal, b - place) < 0.0f;
}

bool WePortal::Covers(const WeVector4& point) const
{
    if (point.w < 0.0f)
        return true;
    return screen.minX * point.w <= point.x && point.x <= screen.maxX * point.w &&
           screen.minY * point.w <= point.y && point.y <= screen.maxY * point.w && point.z >= screen.maxDepth;
}
