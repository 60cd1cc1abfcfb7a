// The default surface effect's lit techniques on the OpenGL back end: four tiles of a flat grid
// drawn unlit, lit (two point lights per pixel, one light per vertex), lit with highlights, and
// lit over a striped normal map, compared with a stored reference image and checked where the
// lights fall.
//
// The reference is tests/render/reference/default_lit.bmp. To make it again (after a deliberate
// change to the effect), run the test once with WE_UPDATE_REFERENCE=1 in the environment, look
// at the new image, and commit it.
#include "GlFrameFixture.h"
#include "WeCamera.h"
#include "WeShader.h"
#include "platform/EngineVertexLayout.h"

#include <array>
#include <cmath>

namespace
{

constexpr int32_t frameWidth = 320;
constexpr int32_t frameHeight = 120;
constexpr int32_t cells = 16;
constexpr float tileSize = 3.6f;

struct Tile
{
    int32_t mask; // technique letters L 2, S 4, B 8
    float x;      // centre
};
constexpr Tile tiles[] = {{0, -5.7f}, {2, -1.9f}, {6, 1.9f}, {10, 5.7f}};

// Each tile's lights, relative to its centre: a red and a blue point light per pixel, a green
// light per vertex.
constexpr float pixelPositions[2][4] = {{-0.9f, 0.5f, 0.4f, 1}, {0.9f, 0.5f, 0.6f, 1}};
constexpr float pixelColours[2][4] = {{1.0f, 0.2f, 0.1f, 1}, {0.1f, 0.3f, 1.0f, 1}};
constexpr float pixelRanges[2] = {1 / 1.6f, 1 / 1.4f};
constexpr float vertexPosition[4] = {0.0f, 0.6f, -1.1f, 1};
constexpr float vertexColour[4] = {0.1f, 1.0f, 0.2f, 1};
constexpr float vertexRange = 1 / 1.5f;

// The tile as a triangle list facing up, u along x and v along z.
std::vector<EngineVertex> Grid()
{
    std::vector<EngineVertex> vertices;
    const auto corner = [](int32_t i, int32_t k)
    {
        const float u = float(i) / cells, v = float(k) / cells;
        return EngineVertex{
            {(u - 0.5f) * tileSize, 0, (0.5f - v) * tileSize}, {0, 1, 0}, {u, v}, {1, 0, 0}, {u, v}};
    };
    for (int32_t k = 0; k < cells; ++k)
        for (int32_t i = 0; i < cells; ++i)
            for (const auto& [di, dk] : {std::pair{0, 0}, {1, 0}, {0, 1}, {1, 0}, {1, 1}, {0, 1}})
                vertices.push_back(corner(i + di, k + dk));
    return vertices;
}

// Stripes across u whose normals lean left and right.
WeTexture* StripedNormals()
{
    WeTexture* texture =
        textures.CreateTexture(8, 8, d3d9::D3DFMT_A8R8G8B8, 0, d3d9::D3DPOOL_MANAGED, 1, true);
    void* bits = nullptr;
    int32_t size = 0, pitch = 0;
    if (!texture || !texture->Lock(&bits, &size, &pitch))
        return nullptr;
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 8; ++x)
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(bits) + y * pitch)[x] =
                (x / 2) % 2 ? 0xFF1A80EEu : 0xFFE680EEu;
    texture->Unlock();
    return texture;
}

class LitTiles : public WeApplication
{
public:
    const char* GetName() override { return "LitTiles"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override
    {
        camera.position = {0, 6.0f, -5.5f};
        camera.direction = d3dx::D3DXVec3Normalize({0, -6.0f, 5.5f});
        camera.SetFov(0.75f);
        camera.SetAspect(float(frameWidth) / frameHeight);
        camera.Update();
        renderDevice.ambientColor = {0.15f, 0.15f, 0.15f, 1};
        renderDevice.SetCamera(&camera);
        shaders.SetCameraMatrices(camera.view, camera.projection, &camera);
        const float position[3] = {camera.position.x, camera.position.y, camera.position.z};
        shaders.SetCameraPosition(position);
        d3d9::VertexDeclaration* declaration = nullptr;
        renderDevice.device->CreateVertexDeclaration(engineLayout, &declaration);
        renderDevice.device->SetVertexDeclaration(declaration);
        const std::vector<EngineVertex> grid = Grid();
        for (const Tile& tile : tiles)
            DrawTile(tile, grid);
        declaration->Release();
    }

    WeShader* shader = nullptr;
    WeTexture* normals = nullptr;
    WeCamera camera;

private:
    void DrawTile(const Tile& tile, const std::vector<EngineVertex>& grid)
    {
        ASSERT_TRUE(shader->SetTechnique(tile.mask));
        d3dx::Effect& effect = *shader->effect;
        shader->SetWorldMatrices(d3dx::D3DXMatrixTranslation(tile.x, 0, 0));
        std::array<float, 8> positions{};
        for (int32_t i = 0; i < 2; ++i)
            for (int32_t axis = 0; axis < 4; ++axis)
                positions[size_t(i * 4 + axis)] = pixelPositions[i][axis] + (axis == 0 ? tile.x : 0.0f);
        effect.SetVectorArray(shader->perPixelLightsPosition, positions.data(), 2);
        effect.SetVectorArray(shader->perPixelLightsColor, &pixelColours[0][0], 2);
        effect.SetVectorArray(shader->perPixelLightsSpecularColor, &pixelColours[0][0], 2);
        effect.SetFloatArray(shader->perPixelLightsRange, pixelRanges, 2);
        effect.SetFloat(shader->perPixelLightsCount, 2);
        const float vertexAt[4] = {vertexPosition[0] + tile.x, vertexPosition[1], vertexPosition[2], 1};
        effect.SetVectorArray(shader->perVertexLightsPosition, vertexAt, 1);
        effect.SetVectorArray(shader->perVertexLightsColor, vertexColour, 1);
        effect.SetFloatArray(shader->perVertexLightsRange, &vertexRange, 1);
        effect.SetFloat(shader->perVertexLightsCount, 1);
        effect.SetFloat(shader->specularPow, 24);
        renderDevice.SetRawTexture(0, textures.white->texture);
        renderDevice.SetRawTexture(1, normals->texture);
        renderDevice.SetRawTexture(3, textures.black->texture);
        shader->Begin(0);
        shader->BeginPass(0);
        shader->CommitChanges();
        renderDevice.device->DrawPrimitiveUP(d3d9::D3DPT_TRIANGLELIST, uint32_t(grid.size() / 3), grid.data(),
                                             sizeof(EngineVertex));
        shader->EndPass();
        shader->End();
    }
};

class DefaultShaderFrame : public GlFrameFixture
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        reference = std::filesystem::path(__FILE__).parent_path() / "reference" / "default_lit.bmp";
        StartGl(frameWidth, frameHeight);
    }
    // The RGB of the frame where a world point shows.
    std::array<int32_t, 3> ColourAt(const std::vector<uint8_t>& shot, const WeCamera& camera, float x,
                                    float z) const
    {
        const d3dx::Vector3 clip =
            d3dx::D3DXVec3TransformCoord({x, 0, z}, d3dx::D3DXMatrixMultiply(camera.view, camera.projection));
        const auto px = int32_t((clip.x * 0.5f + 0.5f) * frameWidth);
        const auto py = int32_t((0.5f - clip.y * 0.5f) * frameHeight);
        const size_t rowBytes = (size_t(frameWidth) * 3 + 3) & ~size_t(3);
        const size_t at = 54 + size_t(frameHeight - 1 - py) * rowBytes + size_t(px) * 3;
        return {shot[at + 2], shot[at + 1], shot[at]};
    }
};

} // namespace

TEST_F(DefaultShaderFrame, LitTechniquesTakeTheirLightsAndMatchTheReference)
{
    LitTiles frame;
    frame.shader = shaders.Load("Shaders.Default.Default");
    ASSERT_NE(frame.shader, nullptr) << shaders.GetLastError().GetData();
    EXPECT_EQ(frame.shader->supportedTechniques, 2 | 4 | 8 | 32 | 128 | 256);
    EXPECT_EQ(frame.shader->wantPixelLights, 4);
    EXPECT_EQ(frame.shader->wantVertexLights, 4);
    for (const int32_t mask : {0, 2, 6, 8, 10, 14, 128, 130, 134, 136, 138, 142})
        for (const int32_t glow : {0, 256}) // with a glow map and without
            EXPECT_NE(frame.shader->techniques[mask | glow], nullptr) << "mask " << (mask | glow);
    frame.normals = StripedNormals();
    ASSERT_NE(frame.normals, nullptr);
    const std::vector<uint8_t> shot = Shoot(frame);
    ExpectMatchesReference(shot, 40);

    // Independent of the reference: under the red light of the lit tile red leads, under the
    // green per-vertex light green leads, and a corner out of every range shows the ambient.
    const float lit = tiles[1].x;
    const auto red = ColourAt(shot, frame.camera, lit + pixelPositions[0][0], pixelPositions[0][2]);
    EXPECT_GT(red[0], 150);
    EXPECT_GT(red[0], 2 * red[1]);
    const auto green = ColourAt(shot, frame.camera, lit + vertexPosition[0], vertexPosition[2]);
    EXPECT_GT(green[1], 100);
    EXPECT_GT(green[1], 2 * green[0]);
    const auto corner = ColourAt(shot, frame.camera, lit - 1.7f, 1.7f);
    for (const int32_t channel : corner)
        EXPECT_NEAR(channel, 38, 3);
    // The unlit tile ignores the lights: grey wherever one falls.
    const auto unlit = ColourAt(shot, frame.camera, tiles[0].x + pixelPositions[0][0], pixelPositions[0][2]);
    EXPECT_EQ(unlit[0], unlit[1]);
    EXPECT_EQ(unlit[1], unlit[2]);
    // Highlights only add light; the stripes bend it both ways.
    const auto highlighted =
        ColourAt(shot, frame.camera, tiles[2].x + pixelPositions[1][0], pixelPositions[1][2]);
    const auto plain = ColourAt(shot, frame.camera, lit + pixelPositions[1][0], pixelPositions[1][2]);
    EXPECT_GT(highlighted[2], plain[2]);
    int32_t brighter = 0, darker = 0;
    for (float x = -0.9f; x < 0.9f; x += 0.05f)
    {
        const int32_t bumped = ColourAt(shot, frame.camera, tiles[3].x + pixelPositions[0][0] + x, 0.4f)[0];
        const int32_t flat = ColourAt(shot, frame.camera, lit + pixelPositions[0][0] + x, 0.4f)[0];
        brighter += bumped > flat + 8;
        darker += bumped + 8 < flat;
    }
    EXPECT_GT(brighter, 3);
    EXPECT_GT(darker, 3);
}
