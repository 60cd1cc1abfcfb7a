// Map sources: statements, baked light maps, and the maps the build writes loading in a scene.
#include "WeMapSource.h"
#include "WeCameraActor.h"
#include "WeFont.h"
#include "WeLight.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WePathNode.h"
#include "WeScene.h"
#include "WeTexture.h"
#include "core/TempFolder.h"
#include "render/RenderDeviceFixture.h"

#include <cmath>
#include <filesystem>

namespace
{

const char* const source = "ambient 0.2 0.2 0.2\n"
                           "camera Eye 0 5 -10 0 0 0 0.9  # a comment\n"
                           "mesh Floor Config.Assets.Box1m 0 -0.1 0 scale 8 0.2 8 lightmap 8 -4 -4 4 4 0\n"
                           "light Lamp -2 1 0 3.5 1 0 0 2\n"
                           "shadows\n"
                           "corona Config.Assets.Corona 0.2\n"
                           "flares Config.Assets.Flare 0.3 0.5\n"
                           "light Window 0 4 0 6 1 1 1 1\n"
                           "projector Config.Assets.Projector 0 0 1 40\n"
                           "light Pulse 2 1 0 3.5 0 0 1 2 vertex\n"
                           "state 0.5 0.25\n"
                           "state 0.5 2\n"
                           "interpolate\n";

int32_t Channel(uint32_t argb, int32_t shift)
{
    return int32_t(argb >> shift & 0xFF);
}

} // namespace

// Maps loaded on a recording device, with the debug models the first scene loads.
class MapSourceTest : public RecordingRenderDevice
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        ASSERT_TRUE(Start());
    }
    void TearDown() override
    {
        fonts.FreeAll();
        textures.FreeAll(true);
        RecordingRenderDevice::TearDown();
    }
};

TEST(MapSource, StatementsItCannotReadNameTheirLine)
{
    for (const char* text :
         {"mesh Floor Config.Assets.Box1m 0 0\n", "ambient 1 1 x\n", "state 1 1\n",
          "light L 0 0 0 1 1 1 1 bright\n", "mesh M Model 0 0 0 preset 300\n", "fog 1 2\n",
          "sky 1 1 1 1 1 1 1\n", "shadows\n", "corona Config.Assets.Corona 0.1\n",
          "flares Config.Assets.Flare 0.1 0.5\n", "projector Config.Assets.Projector 1 1 1 40\n",
          "cubesky 1 1 1 1 1 1\n", "portal P 0 0 0 0 1\n", "path 0 1 1 1\n", "path 3 1 1 1 split 4 5\n",
          "path 3 1 1 1 fork 4\n", "skydome\n", "skydome Maps.Models.sky_day twice\n"})
    {
        WeMapSource map;
        EXPECT_FALSE(map.Parse(std::string("# first\n") + text)) << text;
        EXPECT_EQ(map.GetLastError().rfind("line 2: ", 0), 0u) << map.GetLastError();
    }
}

TEST(MapSource, LightMapsHoldTheLightOfNearLightsOnly)
{
    WeMapSource map;
    ASSERT_TRUE(map.Parse(source)) << map.GetLastError();
    ASSERT_EQ(map.lights.size(), 3u);
    EXPECT_TRUE(map.lights[2].vertexOnly);
    EXPECT_TRUE(map.lights[2].interpolate);
    ASSERT_EQ(map.lights[2].states.size(), 2u);
    const std::vector<uint32_t> texels = map.BakeLightMap(map.meshes[0]);
    ASSERT_EQ(texels.size(), 64u);
    const uint32_t underRed = texels[3 * 8 + 1], underBlue = texels[3 * 8 + 6], corner = texels[0];
    EXPECT_GT(Channel(underRed, 16), 100);
    EXPECT_EQ(Channel(underRed, 0), 0) << "the white projector above lights nothing";
    EXPECT_GT(Channel(underBlue, 0), 100);
    EXPECT_EQ(corner & 0x00FFFFFFu, 0u) << "beyond every light's range";
}

TEST_F(MapSourceTest, AWrittenMapLoadsWithItsActorsAndLightMap)
{
    WeMapSource map;
    ASSERT_TRUE(map.Parse(source)) << map.GetLastError();
    TempFolder folder;
    std::filesystem::create_directory(folder / "Maps");
    ASSERT_TRUE(map.Write(folder / "Maps/Test.map", "Maps.Sky.Test")) << map.GetLastError();
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.path);
    {
        WeScene scene;
        EXPECT_TRUE(scene.Load("Test"));
        std::filesystem::current_path(previous);
        EXPECT_EQ(scene.skyBox.name, "Maps.Sky.Test");
        EXPECT_EQ(scene.skyBox.kind, WeSkyBox::flatTexture);
        EXPECT_FLOAT_EQ(scene.config.AmbientColor.g, 0.2f);
        EXPECT_EQ(scene.actors.GetCount(), 6) << "and a new path node: the map has none";
        EXPECT_EQ(scene.lights.GetCount(), 3);
        WeActor* floor = scene.FindActor("Floor");
        ASSERT_NE(floor, nullptr);
        ASSERT_NE(floor->lightMap.texture, nullptr);
        EXPECT_EQ(floor->lightMap.texture->format, d3d9::D3DFMT_DXT1);
        EXPECT_FLOAT_EQ(floor->scale.x, 8.0f);
        auto* pulse = static_cast<WeLight*>(scene.FindActor("Pulse"));
        EXPECT_EQ(pulse->LightType, LIGHT_POINT_VERTEXONLY);
        ASSERT_EQ(pulse->states.GetCount(), 2);
        EXPECT_FLOAT_EQ(pulse->states.Last().Intensity, 4.0f) << "the light's intensity times the state's";
        EXPECT_FALSE(pulse->CastShadows || pulse->Corona);
        auto* lamp = static_cast<WeLight*>(scene.FindActor("Lamp"));
        EXPECT_TRUE(lamp->CastShadows && lamp->CastShadowPlane[0] && lamp->CastShadowPlane[5]);
        EXPECT_TRUE(lamp->Corona);
        EXPECT_EQ(lamp->CoronaTextureName, "Config.Assets.Corona");
        EXPECT_FLOAT_EQ(lamp->CoronaSizeY, 0.2f);
        EXPECT_TRUE(lamp->Flares);
        EXPECT_EQ(lamp->FlareTextureNames[4], "Config.Assets.Flare");
        EXPECT_FLOAT_EQ(lamp->states.Last().FlareAlpha[0], 0.5f);
        auto* window = static_cast<WeLight*>(scene.FindActor("Window"));
        EXPECT_EQ(window->LightType, LIGHT_PROJECTOR);
        EXPECT_NE(window->projectorMaterial, nullptr) << "the material is in the package";
        EXPECT_NEAR(window->GetWorldMatrix().m[2][2], 1.0f / std::sqrt(17.0f), 1e-5f) << "aims at the target";
        scene.cameraActors.Reset();
        auto* eye = static_cast<WeCameraActor*>(scene.cameraActors.GetValue());
        EXPECT_FLOAT_EQ(eye->camera->fov, 0.9f);
        EXPECT_NEAR(eye->GetWorldMatrix().m[2][2], 10.0f / std::sqrt(125.0f), 1e-5f) << "looks at the target";
    }
}

// A sky on a dome: the map names the dome's model, and the image laid on it is the flat sky, or
// the cube sky's colours in the directions the dome's texture coordinates stand for.
TEST_F(MapSourceTest, ASkyOnADomeNamesItsModelAndCarriesItsColoursByDirection)
{
    WeMapSource map;
    ASSERT_TRUE(map.Parse("sky 0 0 1 1 0 0\nskydome Maps.Models.sky_day\n")) << map.GetLastError();
    TempFolder folder;
    std::filesystem::create_directory(folder / "Maps");
    ASSERT_TRUE(map.Write(folder / "Maps/Dome.map", "Maps.Sky.Dome")) << map.GetLastError();
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.path);
    {
        WeScene scene;
        EXPECT_TRUE(scene.Load("Dome"));
        std::filesystem::current_path(previous);
        EXPECT_EQ(scene.skyBox.kind, WeSkyBox::meshModel);
        EXPECT_EQ(scene.skyBox.name, "Maps.Models.sky_day");
    }
    const WeDdsImage flat = map.SkyDomeImage(8, 16), sky = map.Sky(8, 16);
    EXPECT_EQ(flat.pixels, sky.pixels) << "the flat sky's rows run from the dome's top to its rim";
    ASSERT_TRUE(map.Parse("cubesky 0 0 1 1 0 0 0 1 0\n")) << map.GetLastError();
    constexpr uint32_t width = 32, height = 105; // a row for every degree from the top to the rim
    const WeDdsImage dome = map.SkyDomeImage(width, height);
    ASSERT_EQ(dome.pixels.size(), size_t(width) * height);
    const auto at = [&](uint32_t x, uint32_t y) { return dome.pixels[size_t(y) * width + x]; };
    for (uint32_t x = 0; x < width; x += 4)
    {
        const uint32_t below = at(x, height - 1), horizon = at(x, 90), above = at(x, 60);
        EXPECT_GT(Channel(below, 8), Channel(below, 16)) << "the ground colour below the horizon, " << x;
        EXPECT_GT(Channel(horizon, 16), 200) << "the horizon's red, " << x;
        EXPECT_GT(Channel(above, 0), Channel(above, 8)) << "the zenith's blue above it, " << x;
    }
}

TEST_F(MapSourceTest, TheBuildWritesTheBackgroundMaps)
{
    for (const char* name : {"World1", "World2"})
    {
        WeScene scene;
        ASSERT_TRUE(scene.Load(name)) << name;
        EXPECT_TRUE(scene.loadMessage.IsEmpty()) << scene.loadMessage.GetData();
        EXPECT_EQ(scene.cameraActors.GetCount(), 1) << name;
        EXPECT_GE(scene.lights.GetCount(), 3) << name;
        // The sky lies on a dome whose material takes the map's sky texture from the package.
        EXPECT_EQ(scene.skyBox.kind, WeSkyBox::meshModel) << name;
        ASSERT_TRUE(scene.skyBox.model && scene.skyBox.model->mesh) << name;
        const WeMaterial* sky = scene.skyBox.model->mesh->sets[0].materials[0];
        ASSERT_TRUE(sky && sky->textures[0]) << name;
        EXPECT_EQ(sky->textures[0]->name, WeString("Maps.Sky.") + name);
        EXPECT_EQ(sky->textures[0]->kind, 3) << name << ": a flat texture";
        WeActor* floor = scene.FindActor("Floor");
        ASSERT_NE(floor, nullptr);
        EXPECT_NE(floor->lightMap.texture, nullptr);
        EXPECT_EQ(scene.portals.GetCount(), 1) << name;
        EXPECT_EQ(scene.pathNodes.GetCount(), 9) << name << ": no node added";
        scene.pathNodes.ForEach([&](const WeString&, WeActor* node)
                                { EXPECT_TRUE(static_cast<WePathNode*>(node)->placed) << name; });
        const WePathNode* fork = scene.FindPathNodeByNumber(20);
        ASSERT_NE(fork, nullptr);
        EXPECT_EQ(fork->partner, scene.FindPathNodeByNumber(70)) << "the loop forks and joins again";
    }
}
