#include "WeUIMovie.h"

#include "WeUIMain.h"
#include "WeUIStyle.h"

WeUIMovie::WeUIMovie(WeUIComponent* parent, const WeString& name)
    : WeUIComponent(parent, name), renderer(std::make_unique<WeMovieTextureRenderer>())
{
    enabled = false;
}

void WeUIMovie::Update()
{
    if (renderer)
        renderer->Update();
    WeUIComponent::Update();
}

void WeUIMovie::Render()
{
    if (!uiMain.IsRenderable(this))
        return;
    d3d9::Texture* frame = renderer ? renderer->GetTexture() : nullptr;
    if (!frame)
        return;
    uiMain.painter->DrawRectanglePartD3D(x, y, w, h, 0.0f, 0.0f, 1.0f, 1.0f, WeUIColourToArgb(normalColour),
                                         frame, BLENDMODE_NORMAL);
    WeUIComponent::Render();
}
