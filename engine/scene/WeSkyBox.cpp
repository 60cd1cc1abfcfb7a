#include "WeSkyBox.h"

#include "WeRecordReader.h"
#include "WeSkyBoxRenderer.h"
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
    model.reset();
    if (name.IsEmpty())
        return;
    if (kind == WeSkyBox::meshModel)
        model.reset(modelManager.Load(name, 0));
    else
        texture = textures.Load(name);
}

void WeSkyBox::Render(const WeCamera* camera, float value) const
{
    if (kind == cubeTexture && texture)
        skyBoxRenderer.RenderCubeTexture(this, camera);
    else if (kind == meshModel && model)
        skyBoxRenderer.RenderMesh(this, camera, value);
}

WeTexture* WeSkyBox::GetFlatTexture() const
{
    return kind == flatTexture && texture && texture->GetTexture2D() ? texture : nullptr;
}
