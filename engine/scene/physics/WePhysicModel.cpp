#include "WePhysicModel.h"

#include "WeFileStream.h"
#include "WeRecordReader.h"

bool WePhysicModel::Save(WeFileStream& stream) const
{
    bool written = stream.WriteInt(version) && stream.WriteInt(type) && stream.WriteBool(startAsleep);
    written = written && stream.WriteShort(int16_t(group)) && stream.WriteShort(int16_t(shapeFlags));
    for (const float value : {mass, density, friction, bendingStiffness, pressure, stretchingStiffness})
        written = written && stream.WriteFloat(value);
    return written && stream.WriteBool(gravity);
}

bool WePhysicModel::Load(WeRecordReader& reader)
{
    const int32_t stored = reader.ReadInt();
    if (stored <= 0)
        return reader.Ok();
    type = reader.ReadInt();
    startAsleep = reader.ReadBool();
    if (stored == 1)
        reader.Skip(12 + 3 * 4); // a vector and three floats no longer used
    group = uint16_t(reader.ReadShort());
    shapeFlags = uint16_t(reader.ReadShort());
    mass = reader.ReadFloat();
    if (stored >= 3)
        density = reader.ReadFloat();
    if (stored >= 4)
    {
        friction = reader.ReadFloat();
        bendingStiffness = reader.ReadFloat();
        pressure = reader.ReadFloat();
        stretchingStiffness = reader.ReadFloat();
    }
    if (stored >= 5)
        gravity = reader.ReadBool();
    return reader.Ok();
}
