// The debug renderer on the recording back end: its two rings of lines and what it draws of them,
// and the physics world's lines it takes near the camera.
#include "WeDebugRenderer.h"

#include "RenderDeviceFixture.h"
#include "d3d9/D3d9Device.h"
#include "physics/WePhysics.h"

#include <string>
#include <vector>

namespace
{

class DebugRendererTest : public RecordingRenderDevice
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        ASSERT_TRUE(Start());
        debugRenderer.ClearLines();
    }
    void TearDown() override
    {
        debugRenderer.ClearLines();
        debugRenderer.physicsLines = false;
        RecordingRenderDevice::TearDown();
    }
    // The line at a ring slot, by its first vertex's x (the tests number lines by it).
    static float LineAt(int32_t ring, int32_t slot)
    {
        return debugRenderer.rings[ring].vertices[size_t(slot) * 2].x;
    }
};

TEST_F(DebugRendererTest, TheRingKeepsTheNewestLinesAndClearingEmptiesBothRings)
{
    constexpr int32_t added = 20000;
    for (int32_t line = 0; line < added; ++line)
        debugRenderer.AddLine({float(line), 0, 0}, {0, 1, 0}, 0xFF00FF00u, true);
    debugRenderer.AddLine({1, 2, 3}, {4, 5, 6}, 0xFFFF0000u, false);
    const WeDebugRenderer::LineRing& tested = debugRenderer.rings[WeDebugRenderer::depthTested];
    EXPECT_EQ(tested.count, WeDebugRenderer::lineCapacity);
    EXPECT_EQ(tested.writePosition, added - WeDebugRenderer::lineCapacity);
    const struct
    {
        int32_t slot;
        float line;
    } kept[] = {{0, 16384}, {3615, 19999}, {3616, 3616}, {16383, 16383}};
    for (const auto& expected : kept)
        EXPECT_EQ(LineAt(WeDebugRenderer::depthTested, expected.slot), expected.line) << expected.slot;
    EXPECT_EQ(debugRenderer.rings[WeDebugRenderer::onTop].count, 1);
    EXPECT_EQ(debugRenderer.rings[WeDebugRenderer::onTop].vertices[1].color, 0xFFFF0000u);
    debugRenderer.ClearLines();
    for (const WeDebugRenderer::LineRing& ring : debugRenderer.rings)
    {
        EXPECT_EQ(ring.count, 0);
        EXPECT_EQ(ring.writePosition, 0);
    }
}

TEST_F(DebugRendererTest, EachRingWithLinesIsDrawnTheOnTopOneWithoutDepthTest)
{
    const struct
    {
        int32_t tested, onTop;
        std::vector<std::string> draws; // Z state, then the draw, per ring drawn
    } cases[] = {
        {0, 0, {}},
        {3, 0, {"SetRenderState 7 1", "DrawPrimitive 2 0 3", "SetRenderState 7 1"}},
        {0, 2, {"SetRenderState 7 0", "DrawPrimitive 2 0 2", "SetRenderState 7 1"}},
        {1,
         5,
         {"SetRenderState 7 1", "DrawPrimitive 2 0 1", "SetRenderState 7 1", "SetRenderState 7 0",
          "DrawPrimitive 2 0 5", "SetRenderState 7 1"}},
    };
    WeCamera camera;
    camera.position = {1.0f, 2.0f, 3.0f};
    for (const auto& test : cases)
    {
        debugRenderer.ClearLines();
        for (int32_t line = 0; line < test.tested; ++line)
            debugRenderer.AddLine({0, 0, 0}, {1, 0, 0}, 0xFFFFFFFFu, true);
        for (int32_t line = 0; line < test.onTop; ++line)
            debugRenderer.AddLine({0, 0, 0}, {1, 0, 0}, 0xFFFFFFFFu, false);
        Device().ClearCallLog();
        debugRenderer.DrawLines(&camera);
        std::vector<std::string> draws;
        for (const std::string& call : Calls())
            if (call.rfind("SetRenderState 7 ", 0) == 0 || call.rfind("DrawPrimitive", 0) == 0)
                draws.push_back(call);
        EXPECT_EQ(draws, test.draws) << test.tested << " " << test.onTop;
        EXPECT_EQ(debugRenderer.cameraPosition.z, 3.0f) << "kept for the physics lines";
    }
    // The fixed-function line path: vertex colour only, no shaders, no lighting.
    for (const char* call : {"SetFVF 66", "SetTextureStageState 0 1 1", "SetTextureStageState 0 4 1",
                             "SetRenderState 137 0", "SetStreamSource 0"})
        EXPECT_NE(std::find_if(Calls().begin(), Calls().end(),
                               [call](const std::string& made) { return made.rfind(call, 0) == 0; }),
                  Calls().end())
            << call;
}

TEST_F(DebugRendererTest, LosingTheDeviceStopsTheDrawingUntilTheBufferIsBack)
{
    debugRenderer.AddLine({0, 0, 0}, {1, 0, 0}, 0xFFFFFFFFu, true);
    debugRenderer.OnLostDevice();
    Device().ClearCallLog();
    debugRenderer.DrawLines(nullptr);
    EXPECT_EQ(CountCalls("DrawPrimitive 2 0 1"), 0);
    debugRenderer.OnResetDevice();
    debugRenderer.DrawLines(nullptr);
    EXPECT_EQ(CountCalls("DrawPrimitive 2 0 1"), 1);
}

TEST_F(DebugRendererTest, PhysicsLinesAreTakenOnlyWithBothEndsInRange)
{
    const float gravity[3] = {0.0f, -9.81f, 0.0f};
    ASSERT_TRUE(physics.Init(gravity, true));
    auto& lines = const_cast<physx::DebugRenderable*>(physics.scene->getDebugRenderable())->lines;
    const float range = *debugRenderer.cameraRange;
    lines = {{{0, 0, 0}, {range, 0, 0}, 0xFF0000FFu},
             {{0, 0, 0}, {range + 1.0f, 0, 0}, 0xFF0000FFu},
             {{-range - 1.0f, 0, 0}, {0, 0, 0}, 0xFF0000FFu},
             {{0, range * 0.5f, 0}, {0, 0, range * 0.5f}, 0xFF0000FFu}};
    debugRenderer.AddPhysicsLines();
    EXPECT_EQ(debugRenderer.rings[WeDebugRenderer::onTop].count, 0) << "physics lines are off";
    debugRenderer.physicsLines = true;
    debugRenderer.AddPhysicsLines();
    const WeDebugRenderer::LineRing& onTop = debugRenderer.rings[WeDebugRenderer::onTop];
    ASSERT_EQ(onTop.count, 2);
    EXPECT_EQ(onTop.vertices[1].x, range);
    EXPECT_EQ(onTop.vertices[3].z, range * 0.5f);
    EXPECT_EQ(onTop.vertices[0].color, WeDebugRenderer::physicsLineColor);
    EXPECT_EQ(debugRenderer.rings[WeDebugRenderer::depthTested].count, 0);
    physics.Shutdown();
}

} // namespace
