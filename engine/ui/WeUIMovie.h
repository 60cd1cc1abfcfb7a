// The movie widget: the current frame of a movie texture of its own over its rectangle, in its
// colour. Without a frame it draws nothing, its children neither. It is never hit by the mouse.
#pragma once

#include "WeMovieTextureRenderer.h"
#include "WeUIComponent.h"

#include <memory>

class WeUIMovie : public WeUIComponent
{
public:
    WeUIMovie(WeUIComponent* parent, const WeString& name);
    // The movie texture, then the ramps and the children.
    void Update() override;
    void Render() override;
    const char* GetTypeName() const override { return "Movie"; }

    std::unique_ptr<WeMovieTextureRenderer> renderer;
};
