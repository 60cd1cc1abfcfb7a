#include "WeSkyBox.h"

#include "WeRecordReader.h"
#include "WeTexture.h"

bool WeSkyBox::Read(WeRecordReader& reader)
{
    const int32_t version = reader.ReadInt();
    reader.ReadString(name);
    if (version >= 2)
        kind = reader.ReadInt();
    return reader.Ok();
}

void WeSkyBox::Resolve()
{
    texture = nullptr;
    if (!name.IsEmpty() && kind != model)
        texture = textures.Load(name);
}

WeTexture* WeSkyBox::GetFlatTexture() const
{
    return kind == flatTexture && texture && texture->GetTexture2D() ? texture : nullptr;
}
