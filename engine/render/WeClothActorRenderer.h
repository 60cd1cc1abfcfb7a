// Draws cloth actors: their simulated vertices (the render copy of their cloth handle, in the
// 52-byte mesh vertex) straight from memory, under the effect and declaration the scene renderer
// set for the item.
#pragma once

#include "WeBaseRenderer.h"

#include <cstdint>

class WeActor;

namespace d3d9
{
class VertexDeclaration;
}

class WeClothActorRenderer : public WeBaseRenderer
{
public:
    bool Init() override;
    void Shutdown() override;
    void OnLostDevice() override;
    void OnResetDevice() override;

    // Nothing unless the actor's physics handle is a cloth with vertices and indices; the
    // subset is not used.
    void Draw(WeActor* actor, int32_t subset);
    // Whether the actor is drawn here rather than from its mesh.
    static bool DrawsActor(const WeActor* actor);

    bool initialised = false;
    d3d9::VertexDeclaration* declaration = nullptr;
};

extern WeClothActorRenderer clothActorRenderer;
