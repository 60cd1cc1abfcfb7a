// Render targets, their manager and the screen quads, on the recording back end.
#include "RenderDeviceFixture.h"

#include "WeBaseRenderer.h"
#include "WePostProcess.h"
#include "WeSceneRenderer.h"
#include "WeScreenQuad.h"

#include <cstring>

using namespace d3d9;

namespace
{

class RenderTargets : public RecordingRenderDevice
{
protected:
    // The device without what the renderers (the reflection cube, vertex buffers, quads) and the
    // post-processing make at its start: these tests count their own targets.
    bool Start()
    {
        const bool started = RecordingRenderDevice::Start();
        for (WeBaseRenderer* renderer : WeBaseRenderer::List())
            renderer->OnLostDevice();
        postProcess.Release();
        return started;
    }
};

TEST_F(RenderTargets, AMultisampledTargetDrawsIntoItsOwnSurfaceAndResolvesIntoTheTexture)
{
    ASSERT_TRUE(Start());
    WeRenderTarget* target = renderTargetManager.Create2D(32, 16, D3DFMT_A8R8G8B8, MultisampleType(4), 0);
    ASSERT_NE(target, nullptr);
    ASSERT_NE(target->surfaces[0], nullptr);
    EXPECT_EQ(target->surfaces[0]->Kind(), SurfaceKind::renderTarget);
    EXPECT_EQ(target->surfaces[0]->GetDesc().multiSampleType, MultisampleType(4));
    ASSERT_NE(target->resolveSurfaces[0], nullptr);
    EXPECT_EQ(target->resolveSurfaces[0]->Container(), target->texture);
    target->Release();
    EXPECT_FALSE(target->created);
    EXPECT_EQ(target->surfaces[0], nullptr);
    EXPECT_EQ(Device().LiveDefaultResources(), 1u) << "only the depth-stencil surface is left";
    ASSERT_TRUE(target->Restore());
    EXPECT_EQ(target->surfaces[0]->GetDesc().multiSampleType, MultisampleType(4));
    EXPECT_EQ(target->resolveSurfaces[0]->GetDesc().width, 32u);
}

TEST_F(RenderTargets, APlainTargetDrawsIntoLevelZero)
{
    ASSERT_TRUE(Start());
    WeRenderTarget* target = renderTargetManager.Create2D(8, 8, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->surfaces[0]->Container(), target->texture);
    EXPECT_EQ(target->resolveSurfaces[0], nullptr);
    EXPECT_TRUE(target->Create2D(4, 4, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0))
        << "true at once when created";
    EXPECT_EQ(target->width, 8u);
}

TEST_F(RenderTargets, CubeFacesComeInFaceOrderAndBindByFace)
{
    ASSERT_TRUE(Start());
    WeRenderTarget* cube = renderTargetManager.CreateCube(32, D3DFMT_X1R5G5B5);
    ASSERT_NE(cube, nullptr);
    EXPECT_TRUE(cube->isCube);
    for (uint32_t face = 0; face < 6; ++face)
    {
        ASSERT_NE(cube->surfaces[face], nullptr);
        EXPECT_EQ(cube->surfaces[face]->Face(), CubeFace(face));
    }
    cube->Bind(0, 4);
    EXPECT_EQ(Device().State().renderTargets[0], cube->surfaces[4]);
    Viewport viewport;
    Device().GetViewport(&viewport);
    EXPECT_EQ(viewport.width, 32u);
    cube->Release();
    ASSERT_TRUE(cube->Restore());
    EXPECT_TRUE(cube->texture->IsCube());
}

TEST_F(RenderTargets, ATargetThatCannotBeMadeIsNotListed)
{
    ASSERT_TRUE(Start());
    direct3D->InjectFailure("CreateTexture", D3DERR_OUTOFVIDEOMEMORY);
    direct3D->InjectFailure("CreateCubeTexture", D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(renderTargetManager.Create2D(8, 8, D3DFMT_A8R8G8B8, MultisampleType(4), 0), nullptr);
    EXPECT_EQ(renderTargetManager.CreateCube(8, D3DFMT_A8R8G8B8), nullptr);
    EXPECT_EQ(renderTargetManager.GetCount(), 0);
    EXPECT_EQ(Device().LiveDefaultResources(), 1u) << "the multisampled surface went with the failure";
}

TEST_F(RenderTargets, DestroyIgnoresNullAndUnlistedTargets)
{
    ASSERT_TRUE(Start());
    WeRenderTarget* listed = renderTargetManager.Create2D(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0);
    WeRenderTarget unlisted;
    renderTargetManager.Destroy(nullptr);
    renderTargetManager.Destroy(&unlisted);
    EXPECT_EQ(renderTargetManager.GetCount(), 1);
    renderTargetManager.Destroy(listed);
    EXPECT_EQ(renderTargetManager.GetCount(), 0);
}

TEST_F(RenderTargets, ShutdownReleasesTheTargetsBeforeTheDevice)
{
    ASSERT_TRUE(Start());
    WeRenderTarget* target = renderTargetManager.Create2D(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0);
    ASSERT_NE(target, nullptr);
    renderDevice.Shutdown();
    EXPECT_FALSE(target->created);
    EXPECT_EQ(target->texture, nullptr);
}

template <typename Vertex> std::vector<Vertex> QuadVertices(VertexBuffer* quad)
{
    void* data = nullptr;
    EXPECT_EQ(quad->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
    std::vector<Vertex> vertices(4);
    std::memcpy(vertices.data(), data, sizeof(Vertex) * 4);
    quad->Unlock();
    return vertices;
}

TEST_F(RenderTargets, TheScreenQuadIsShiftedByHalfAPixel)
{
    ASSERT_TRUE(Start());
    VertexBuffer* quad = CreateScreenQuad(200, 100);
    ASSERT_NE(quad, nullptr);
    EXPECT_EQ(quad->Length(), 80u);
    EXPECT_EQ(quad->Fvf(), D3DFVF_XYZ | D3DFVF_TEX1);
    const std::vector<WeScreenQuadVertex> v = QuadVertices<WeScreenQuadVertex>(quad);
    EXPECT_FLOAT_EQ(v[0].x, -1.0f - 1.0f / 200.0f);
    EXPECT_FLOAT_EQ(v[0].y, 1.0f + 1.0f / 100.0f);
    EXPECT_FLOAT_EQ(v[0].z, 0.5f);
    EXPECT_FLOAT_EQ(v[1].x, 1.0f - 1.0f / 200.0f);
    EXPECT_FLOAT_EQ(v[1].u, 1.0f);
    EXPECT_FLOAT_EQ(v[2].y, -1.0f + 1.0f / 100.0f);
    EXPECT_FLOAT_EQ(v[2].v, 1.0f);
    EXPECT_FLOAT_EQ(v[3].u, 1.0f);
    EXPECT_FLOAT_EQ(v[3].v, 1.0f);
    Device().ClearCallLog();
    DrawScreenQuad(quad);
    const std::vector<std::string> expected{
        "SetFVF 258", "SetStreamSource 0 #" + std::to_string(quad->Id()) + " 0 20", "DrawPrimitive 5 0 2"};
    EXPECT_EQ(Calls(), expected);
    quad->Release();
}

TEST_F(RenderTargets, TheScaledQuadAddressesTheReducedImage)
{
    engine.settings.width = 200;
    engine.settings.height = 100;
    ASSERT_TRUE(Start());
    VertexBuffer* quad = CreateScaledScreenQuad(4.0f, 2.0f);
    ASSERT_NE(quad, nullptr);
    EXPECT_EQ(quad->Length(), 112u);
    const std::vector<WeScaledScreenQuadVertex> v = QuadVertices<WeScaledScreenQuadVertex>(quad);
    EXPECT_FLOAT_EQ(v[0].x, -1.0f);
    EXPECT_FLOAT_EQ(v[0].z, 0.0f);
    EXPECT_FLOAT_EQ(v[0].u0, 0.5f / 200.0f);
    EXPECT_FLOAT_EQ(v[0].v0, 0.5f / 200.0f) << "the width's offset on both axes";
    EXPECT_FLOAT_EQ(v[3].u0, 1.0f + 0.5f / 200.0f);
    EXPECT_FLOAT_EQ(v[3].u1, 200.0f / 4.0f + 0.5f / 4.0f);
    EXPECT_FLOAT_EQ(v[3].v1, 100.0f / 2.0f + 0.5f / 4.0f);
    Device().ClearCallLog();
    DrawScaledScreenQuad(quad);
    EXPECT_EQ(Calls().front(), "SetFVF 514");
    quad->Release();
}

TEST_F(RenderTargets, AQuadWhoseBufferCannotBeMadeIsNull)
{
    ASSERT_TRUE(Start());
    direct3D->InjectFailure("CreateVertexBuffer", D3DERR_OUTOFVIDEOMEMORY, 1);
    EXPECT_EQ(CreateScreenQuad(8, 8), nullptr);
}

} // namespace
