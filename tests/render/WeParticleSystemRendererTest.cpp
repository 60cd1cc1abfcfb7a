// The particle and trail renderers on the recording back end: batches over the rotating vertex
// buffers, the vertices written for a particle, and trails cut to the buffers.
#include "WeParticleSystemRenderer.h"

#include "RenderDeviceFixture.h"
#include "WeParticleSystem.h"
#include "WeSceneRenderer.h"
#include "WeTrailRenderer.h"
#include "d3d9/D3d9Device.h"

#include <set>
#include <sstream>

namespace
{

class ParticleRendererTest : public RecordingRenderDevice
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        ASSERT_TRUE(Start());
        camera.Update(); // at the origin, looking along +z
        sceneRenderer.camera = &camera;
    }
    void TearDown() override
    {
        sceneRenderer.camera = nullptr;
        RecordingRenderDevice::TearDown();
    }
    // The calls of the name, each split into its words after the name.
    std::vector<std::vector<std::string>> CallsOf(const std::string& name) const
    {
        std::vector<std::vector<std::string>> found;
        for (const std::string& call : Calls())
        {
            std::istringstream words(call);
            std::string word;
            words >> word;
            if (word != name)
                continue;
            auto& arguments = found.emplace_back();
            while (words >> word)
                arguments.push_back(word);
        }
        return found;
    }

    WeCamera camera;
};

// A particle moving with the velocity, already placed in the system.
WeParticle& AddParticle(WeParticleSystem& system, const WeVector& velocity)
{
    WeParticleSystemState state;
    state.SpawnDirection = velocity;
    state.SpawnVelocity = d3dx::D3DXVec3Length(velocity);
    state.SizeFromX = 2.0f;
    state.Angle = 0.5f;
    system.SpawnParticle(state, 0.0f);
    return *system.GetParticles().back();
}

} // namespace

TEST_F(ParticleRendererTest, ManyParticlesDrawInBatchesOverRotatingBuffers)
{
    WeParticleSystem system;
    for (int32_t i = 0; i < 2500; ++i)
        AddParticle(system, {0, 1, 0});
    ASSERT_TRUE(particleSystemRenderer.ready);
    Device().ClearCallLog();
    particleSystemRenderer.Draw(system);
    const auto draws = CallsOf("DrawIndexedPrimitive");
    ASSERT_EQ(draws.size(), 3u);
    const char* triangles[] = {"2048", "2048", "904"};
    for (size_t i = 0; i < draws.size(); ++i)
        EXPECT_EQ(draws[i].back(), triangles[i]);
    std::set<std::string> buffers;
    for (const auto& stream : CallsOf("SetStreamSource"))
        buffers.insert(stream[1]);
    EXPECT_EQ(buffers.size(), 3u) << "three different vertex buffers";
    EXPECT_EQ(particleSystemRenderer.currentBuffer, 3);
    EXPECT_EQ(particlesWritten, 0);

    // The next system takes the fourth buffer, the one after it the first again.
    particleSystemRenderer.Draw(system);
    EXPECT_EQ(particleSystemRenderer.currentBuffer, 2);
}

TEST_F(ParticleRendererTest, VerticesCarryCornersSizesAngleAndTheMotionAsSeen)
{
    struct Case
    {
        bool align, relative;
        WeVector velocity;
        float dirX, dirY;
    };
    const Case cases[] = {
        {false, false, {1, 0, 0}, 0, 1},  // not aligned: straight up
        {true, false, {3, 0, 0}, 1, 0},   // sideways on screen
        {true, false, {0, 0, 5}, 0, 1},   // straight away from the camera
        {true, false, {0, -2, 2}, 0, -1}, // down and away: only the screen part counts
        {true, true, {0, 1, 0}, -1, 0},   // in the system's space, turned a quarter about z
    };
    for (const Case& test : cases)
    {
        WeParticleSystem system;
        system.AlignToMotion = test.align;
        system.Relative = test.relative;
        if (test.relative)
            system.SetMatrix(d3dx::D3DXMatrixMultiply(d3dx::D3DXMatrixRotationZ(1.5707964f),
                                                      d3dx::D3DXMatrixTranslation(5, 0, 0)));
        const WeParticle& particle = AddParticle(system, test.velocity);
        particleSystemRenderer.Draw(system);
        const int32_t used = (particleSystemRenderer.currentBuffer + 3) % 4;
        const auto* vertices =
            reinterpret_cast<const WeParticleVertex*>(particleSystemRenderer.vertexBuffers[used]->Data());
        const float corners[4][2] = {{0, 1}, {0, 0}, {1, 0}, {1, 1}};
        for (int32_t i = 0; i < 4; ++i)
        {
            const WeParticleVertex& v = vertices[i];
            EXPECT_EQ(v.cornerX, corners[i][0]);
            EXPECT_EQ(v.cornerY, corners[i][1]);
            EXPECT_NEAR(v.dirX, test.dirX, 1e-6f) << test.velocity.x;
            EXPECT_NEAR(v.dirY, test.dirY, 1e-6f) << test.velocity.y;
            EXPECT_EQ(v.sizeX, particle.sizeX);
            EXPECT_EQ(v.sizeY, 2.0f);
            EXPECT_EQ(v.angle, 0.5f);
            EXPECT_EQ(v.a, particle.color.a);
            EXPECT_NEAR(v.x, test.relative ? particle.position.x + 5 : particle.position.x, 1e-5f);
        }
    }
}

TEST_F(ParticleRendererTest, TrailsAreCutToTheBuffers)
{
    struct Case
    {
        int32_t vertices, segments, storedSegments;
        uint16_t largestIndex; // the last index given
        int32_t drawnTriangles;
    };
    const Case cases[] = {
        {4, 1, 1, 3, 2},     {7000, 1200, 1200, 5999, 2000}, // more than the buffers hold
        {100, 10, 4, 99, 8},                                 // a count beyond the indices given
        {10, 3, 3, 10, 4}, // the last segment uses a vertex that is not there
        {10, 0, 3, 9, 0},
    };
    for (const Case& test : cases)
    {
        WeTrail trail;
        trail.vertices.resize(size_t(test.vertices));
        trail.segmentCount = test.segments;
        for (int32_t segment = 0; segment < test.storedSegments; ++segment)
            for (const int32_t corner : {0, 1, 2, 0, 2, 3})
                trail.indices.push_back(
                    uint16_t(std::min(2 * segment + corner, int32_t(test.largestIndex) - 1)));
        trail.indices.back() = test.largestIndex;
        Device().ClearCallLog();
        trailRenderer.Draw(trail);
        const auto draws = CallsOf("DrawIndexedPrimitive");
        if (test.drawnTriangles == 0)
        {
            EXPECT_TRUE(draws.empty());
            continue;
        }
        ASSERT_EQ(draws.size(), 1u) << test.vertices;
        EXPECT_EQ(draws[0].back(), std::to_string(test.drawnTriangles)) << test.vertices;
    }
}
