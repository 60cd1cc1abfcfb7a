#include "WeClothActorRenderer.h"

#include "WeActor.h"
#include "WeMesh.h"
#include "WeRenderDevice.h"
#include "d3d9/D3d9Device.h"
#include "physics/WePhysicHandle.h"

bool WeClothActorRenderer::Init()
{
    OnResetDevice();
    initialised = true;
    return true;
}

void WeClothActorRenderer::Shutdown()
{
    if (!initialised)
        return;
    OnLostDevice();
    initialised = false;
}

void WeClothActorRenderer::OnLostDevice()
{
    if (declaration)
        declaration->Release();
    declaration = nullptr;
}

void WeClothActorRenderer::OnResetDevice()
{
    if (renderDevice.device && !declaration)
        renderDevice.device->CreateVertexDeclaration(WeMesh::vertexDeclaration, &declaration);
}

bool WeClothActorRenderer::DrawsActor(const WeActor* actor)
{
    return actor && actor->physicModel.type == WePhysicModel::cloth &&
           dynamic_cast<const WeClothHandle*>(actor->physicsHandle);
}

void WeClothActorRenderer::Draw(WeActor* actor, int32_t)
{
    const auto* cloth = DrawsActor(actor) ? static_cast<const WeClothHandle*>(actor->physicsHandle) : nullptr;
    if (!cloth || !renderDevice.device || !cloth->renderVertices || !cloth->renderVertexCount ||
        !cloth->renderIndices || cloth->renderIndexCount < 3)
        return;
    renderDevice.device->DrawIndexedPrimitiveUP(
        d3d9::D3DPT_TRIANGLELIST, 0, cloth->renderVertexCount, cloth->renderIndexCount / 3,
        cloth->renderIndices, d3d9::D3DFMT_INDEX16, cloth->renderVertices, WeClothHandle::vertexSize);
}
