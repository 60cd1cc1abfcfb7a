#include "WeBaseRenderer.h"

WeBaseRenderer::WeBaseRenderer()
{
    List().PushBack(this);
}

WeBaseRenderer::~WeBaseRenderer()
{
    List().Remove(this);
}

WeList<WeBaseRenderer*>& WeBaseRenderer::List()
{
    static WeList<WeBaseRenderer*> renderers;
    return renderers;
}
