#include "MivoGameScene.h"

#include "WeCanvas.h"
#include "WeColor.h"
#include "WeFont.h"
#include "WeRenderDevice.h"

void MivoGameScene::BeforeSaveActor(WeActor* actor)
{
    parkedMaterialSet = actor->materialPreset;
    if (parkedMaterialSet >= kFirstRuntimeSet)
        actor->materialPreset = 0;
}

void MivoGameScene::AfterSaveActor(WeActor* actor)
{
    actor->materialPreset = parkedMaterialSet;
}

MivoFloatingScore::MivoFloatingScore() : font(fonts.GetFont("Arial:30")) {}

uint32_t MivoFloatingScore::AlphaByte() const
{
    return WeColor{0.0f, 0.0f, 0.0f, alpha}.ToArgb() >> 24;
}

void MivoFloatingScore::Draw(const WeMatrix& viewProjection) const
{
    const WeVector4 p = d3dx::D3DXVec3Transform(position, viewProjection);
    const float width = float(renderDevice.BackBufferWidth()),
                height = float(renderDevice.BackBufferHeight());
    const int32_t x = int32_t((p.x / p.w + 1.0f) * 0.5f * width) - 300;
    const int32_t y = int32_t(((1.0f - p.y / p.w) * 0.5f + rise) * height) - 150;
    const uint32_t a = AlphaByte() << 24;
    canvas.Draw2DTextOutlined(font, text, x, y, 600, 300, a | 0xFFFFFFu, a, TEXT_CENTER | TEXT_VCENTER, 1.0f);
}
