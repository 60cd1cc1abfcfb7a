// Material records of every version, the fix-ups of older content, texture animation, texture
// binding and the material manager, on the recording back end.
#include "WeMaterial.h"

#include "RecordBytes.h"
#include "RenderDeviceFixture.h"
#include "WeRandom.h"
#include "WeTexture.h"
#include "WeTimer.h"

#include <cmath>
#include <map>
#include <sstream>

namespace
{

// A record written by a layout of the version table: each word of `layout` writes one field
// (or group) with a value the checks below know; "pass=0", "shader=<name>" and "water=1"
// choose theirs, and `names` replaces the texture names of some slots.
RecordBytes Layout(int32_t version, const std::string& layout, const std::map<int, std::string>& names = {})
{
    RecordBytes record;
    if (version >= 10)
        record.Int(version);
    std::istringstream words(layout);
    for (std::string word; words >> word;)
    {
        if (word == "pass" || word == "pass=0")
            record.Int(word == "pass" ? 2 : 0);
        else if (word == "blend")
            record.Int(2).Int(3);
        else if (word == "reflective" || word == "anim")
            record.Int(1);
        else if (word == "lighting")
            record.Bool(false);
        else if (word == "bool" || word == "refractive" || word == "twoSided" || word == "wireframe")
            record.Bool(true);
        else if (word == "water" || word == "water=1")
            record.Bool(word == "water=1");
        else if (word == "shader")
            record.String("Shaders.Default.AlphaFalloff");
        else if (word.rfind("shader=", 0) == 0)
            record.String(word.substr(7));
        else if (word.rfind("names", 0) == 0)
            for (int slot = 0; slot < std::stoi(word.substr(5)); ++slot)
                record.String(names.count(slot) ? names.at(slot)
                                                : "Test.Textures.slot" + std::to_string(slot));
        else if (word == "drop11")
            for (int i = 0; i < 11; ++i)
                record.String("dropped");
        else if (word == "params")
            record.Floats({0.1f, 0.2f, 0.3f, 0.4f, 0.5f});
        else if (word == "strengths")
            record.Floats({0.5f, 0.25f});
        else if (word == "glow")
            record.Float(0.75f);
        else if (word == "drop2")
            record.Floats({9.0f, 9.0f});
        else if (word == "color")
            record.Floats({0.1f, 0.2f, 0.3f, 0.4f});
        else if (word == "bump")
            record.Float(3.5f);
        else if (word == "staticBump")
            record.Floats({1.0f, 2.0f, 3.0f});
        else if (word == "staticBumpIntensity")
            record.Float(0.6f);
        else if (word == "specular")
            record.Float(7.0f);
        else if (word == "alphaRef")
            record.Int(9);
        else if (word == "priority")
            record.Int(3);
        else if (word == "waterValues")
            record.Floats({1.5f, 2.5f, 3.5f, 4.5f});
        else if (word == "fur")
            record.Float(0.8f);
        else if (word == "fog")
            record.Bool(true).Bool(true).Floats({10.0f, 20.0f, 0.1f, 0.9f});
        else if (word == "splat")
            record.Bool(true).Floats({2, 2, 2, 2, 2, 2, 2, 2, 2});
        else
            ADD_FAILURE() << "no layout word " << word;
    }
    return record;
}

std::string OlderLayout(int32_t version)
{
    const std::string flags = version >= 15   ? " lighting bool refractive twoSided"
                              : version >= 13 ? " lighting bool refractive"
                              : version >= 11 ? " lighting"
                                              : "";
    if (version >= 20)
        return "pass blend reflective" + flags + " shader names5" + (version >= 22 ? "" : " drop11") +
               " anim params strengths" + (version == 23 ? " glow" : "") +
               " color bump specular alphaRef priority";
    std::string layout =
        "pass reflective" + flags + " shader names5 drop11 anim params strengths drop2 color";
    if (version >= 12)
        layout += " bump specular";
    if (version >= 14)
        layout += " alphaRef";
    const char* const tails[] = {"", " bool", " bool priority", " bool priority bool", " priority"};
    return layout + (version >= 15 ? tails[version - 15] : "");
}

std::string CurrentLayout(int32_t version)
{
    std::string layout = "pass blend reflective lighting bool refractive twoSided shader names" +
                         std::to_string(version < 29   ? 6
                                        : version < 34 ? 7
                                                       : 16) +
                         " anim params strengths glow color bump";
    layout += version >= 25 ? " staticBump" : "";
    layout += version >= 26 ? " staticBumpIntensity" : "";
    layout += " specular alphaRef";
    layout += version >= 27 ? " wireframe" : "";
    layout += " priority";
    layout += version <= 27 ? " water" : "";
    layout += " waterValues";
    layout += version >= 32 ? " fur" : "";
    layout += version >= 31 ? " fog" : "";
    layout += version >= 34 ? " splat" : "";
    return layout;
}

bool Has(const std::string& layout, const std::string& word)
{
    std::istringstream words(layout);
    for (std::string each; words >> each;)
        if (each == word)
            return true;
    return false;
}

} // namespace

class MaterialTest : public RecordingRenderDevice
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        ASSERT_TRUE(Start()) << engine.lastError.GetData();
        materialManager.fileSystem = package.files.get();
        shaders.fileSystem = package.files.get();
    }
    void TearDown() override
    {
        materialManager.FreeAll(true);
        materialManager.fileSystem = nullptr;
        shaders.fileSystem = nullptr;
        RecordingRenderDevice::TearDown();
    }
    bool Read(WeMaterial& material, const RecordBytes& record)
    {
        return package.ReadRecord(material, record);
    }
    void WriteEffect(const char* assetName)
    {
        const std::string text = "technique Tech\npass P0\n";
        package.Write(assetName, WeAssetType::Effect, std::vector<uint8_t>(text.begin(), text.end()));
    }

    RecordPackage package;
};

TEST_F(MaterialTest, EveryVersionReadsItsLayoutToTheEnd)
{
    for (int32_t version : {2,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22,
                            23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35})
    {
        SCOPED_TRACE(version);
        const std::string layout = version < 24 ? OlderLayout(version) : CurrentLayout(version);
        WeMaterial material;
        ASSERT_TRUE(Read(material, Layout(version, layout)));
        EXPECT_EQ(material.pass, 2);
        EXPECT_EQ(material.srcBlend, Has(layout, "blend") ? 2 : 5);
        EXPECT_EQ(material.destBlend, Has(layout, "blend") ? 3 : 6);
        EXPECT_TRUE(material.reflective);
        EXPECT_EQ(material.lighting, !Has(layout, "lighting"));
        EXPECT_EQ(material.refractive, Has(layout, "refractive"));
        EXPECT_EQ(material.twoSided, Has(layout, "twoSided"));
        EXPECT_EQ(material.shader, shaders.alphaFalloffShader);
        const int32_t names = version < 24 ? 5 : version < 29 ? 6 : version < 34 ? 7 : 16;
        EXPECT_STREQ(material.textureNames[names - 1].GetData(),
                     ("Test.Textures.slot" + std::to_string(names - 1)).c_str());
        if (names < 16)
        {
            EXPECT_TRUE(material.textureNames[names].IsEmpty());
        }
        EXPECT_EQ(material.textureAnimation, 1);
        EXPECT_FLOAT_EQ(material.animParams[4], 0.5f);
        EXPECT_FLOAT_EQ(material.envStrength, 0.25f);
        EXPECT_FLOAT_EQ(material.glowAmount, Has(layout, "glow") && version >= 33 ? 0.75f : 0.0f);
        EXPECT_FLOAT_EQ(material.color[2], 0.3f);
        EXPECT_FLOAT_EQ(material.color[3], 0.4f) << "only pass 0 is made opaque";
        EXPECT_FLOAT_EQ(material.specularPow, Has(layout, "specular") ? 7.0f : 0.0f);
        EXPECT_EQ(material.alphaReference, Has(layout, "alphaRef") ? 9 : 0);
        EXPECT_FLOAT_EQ(material.staticBumpVector[1], Has(layout, "staticBump") ? 2.0f : 15.0f);
        EXPECT_EQ(material.wireframe, Has(layout, "wireframe"));
        EXPECT_EQ(material.priority, Has(layout, "priority") && (version < 24 || version >= 30) ? 3 : 0);
        EXPECT_FLOAT_EQ(material.noiseIntensity, Has(layout, "waterValues") ? 4.5f : 0.0f);
        EXPECT_FLOAT_EQ(material.furStrength, Has(layout, "fur") ? 0.8f : 1.0f);
        EXPECT_FLOAT_EQ(material.fogEnd, Has(layout, "fog") ? 20.0f : 1000.0f);
        EXPECT_EQ(material.splat, Has(layout, "splat"));
    }
}

TEST_F(MaterialTest, RecordsCutShortFailAtEveryLength)
{
    const int32_t cached = materialManager.GetCount();
    const RecordBytes whole = Layout(34, CurrentLayout(34));
    for (size_t length = 0; length < whole.Size(); ++length)
    {
        SCOPED_TRACE(length);
        RecordBytes cut;
        cut.Raw(whole.bytes.data(), length);
        package.Write("Test.Materials.cut", WeAssetType::Material, cut.bytes);
        WeMaterial material;
        EXPECT_FALSE(material.Load(package.files.get(), "Test.Materials.cut"));
        EXPECT_TRUE(material.name.IsEmpty());
    }
    EXPECT_EQ(materialManager.Load("Test.Materials.cut"), nullptr);
    EXPECT_EQ(materialManager.GetCount(), cached) << "a refused record is not cached";
}

TEST_F(MaterialTest, ShadersFoldFallBackAndTakeTheWaterFlag)
{
    WriteEffect("Shaders.Default.Default");
    WriteEffect("Shaders.Default.Water");
    struct Case
    {
        int32_t version;
        const char* shader;
        bool water;
        const char* expected;
    } const cases[] = {
        {27, "Shaders.Default.Default", true, "Shaders.Default.Water"},
        {27, "Shaders.Default.Default", false, "Shaders.Default.Default"},
        {28, "Shaders.Default.DefaultAnim", false, "Shaders.Default.Default"},
        {34, "Shaders.Default.WaterAnim", false, "Shaders.Default.Water"},
        {34, "Shaders.Default.defaultanim", false, nullptr}, // folding compares exactly
        {34, "Shaders.Missing.Effect", false, nullptr},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.shader);
        std::string layout = CurrentLayout(c.version);
        layout.replace(layout.find("shader"), 6, std::string("shader=") + c.shader);
        if (c.water)
            layout.replace(layout.find(" water"), 6, " water=1");
        WeMaterial material;
        ASSERT_TRUE(Read(material, Layout(c.version, layout)));
        EXPECT_EQ(material.shader, c.expected ? shaders.Load(c.expected) : shaders.colorOnlyShader);
    }
}

TEST_F(MaterialTest, PassZeroIsOpaque)
{
    std::string layout = CurrentLayout(34);
    layout.replace(0, 4, "pass=0");
    WeMaterial material;
    ASSERT_TRUE(Read(material, Layout(34, layout)));
    EXPECT_FLOAT_EQ(material.color[3], 1.0f);
}

TEST_F(MaterialTest, OlderContentMarkersAndSlotKindsAreFixedUp)
{
    struct Case
    {
        int32_t version;
        const char* shader;
        int slot;
        const char* name;
        float glow;
        bool nameKept;
    } const cases[] = {
        {35, "Shaders.Default.AlphaFalloff", 3, "Config.Assets.DefaultGray1x1", 1.25f, false},
        {35, "Shaders.Default.AlphaFalloff", 3, "Config.Assets.DefaultWhite", 1.75f, false},
        {35, "Shaders.Default.AlphaFalloff", 3, "Config.Assets.DefaultBlack1x1", 0.75f, false},
        {32, "Shaders.Default.AlphaFalloff", 3, "Test.Textures.glow", 0.0f, true},
        {32, "Shaders.Default.AlphaFalloff", 3, "Config.Assets.DefaultGray1x1", 0.5f, false},
        {35, "Shaders.Default.ParticleSystem", 3, "", 1.0f, false},
        {36, "Shaders.Default.ParticleSystem", 3, "", 0.75f, false},
        {35, "Shaders.Default.AlphaFalloff", 0, " ", 0.75f, false},
        {35, "Shaders.Default.AlphaFalloff", 1, "Some.DefaultNormalMapBlue1x1.map", 0.75f, false},
        {35, "Shaders.Default.AlphaFalloff", 2, "Config.Assets.DefaultBlack1x1", 0.75f, false},
        {35, "Shaders.Default.AlphaFalloff", 4, "Config.Assets.DefaultWhite", 0.75f, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.version) + " slot " + std::to_string(c.slot) + " " + c.name);
        std::string layout = CurrentLayout(c.version);
        layout.replace(layout.find("shader"), 6, std::string("shader=") + c.shader);
        WeMaterial material;
        ASSERT_TRUE(Read(material, Layout(c.version, layout, {{c.slot, c.name}})));
        EXPECT_FLOAT_EQ(material.glowAmount, c.glow);
        EXPECT_STREQ(material.textureNames[c.slot].GetData(), c.nameKept ? c.name : "");
        EXPECT_EQ(material.textures[c.slot], nullptr) << "a 2D texture has no place in the cube slot";
    }
    WeMaterial textured;
    ASSERT_TRUE(Read(textured, Layout(34, CurrentLayout(34), {{0, "Config.Assets.DefaultWhite"}})));
    EXPECT_EQ(textured.textures[0], textures.white);
}

TEST_F(MaterialTest, TextureAnimationsPlaceTheTextureByTime)
{
    struct Case
    {
        int32_t type;
        float p[5];
        float time;
        float scaleX, scaleY, moveX, moveY;
    } const cases[] = {
        {0, {1, 1, 1, 1, 1}, 5.0f, 1.0f, 1.0f, 0.0f, 0.0f},
        {1, {0.5f, 0.25f}, 2.0f, 1.0f, 1.0f, 1.0f, 0.5f},
        {4, {0.25f, 0.5f, 8, 2}, 3.2f, 0.25f, 0.5f, 0.5f, 0.5f},   // frame 6 of a 4 x 2 sheet
        {4, {0.25f, 0.5f, 0, 2}, 3.2f, 1.0f, 1.0f, 0.0f, 0.0f},    // no frames
        {4, {0.25f, 0.5f, -3, 2}, 3.2f, 1.0f, 1.0f, 0.0f, 0.0f},   // fewer than none
        {4, {0.25f, 0.5f, 8, 2}, 1e30f, 0.25f, 0.5f, 0.75f, 0.5f}, // the frame number saturates: 7
        {4, {0.0f, 0.5f, 8, 2}, 3.2f, 0.0f, 0.5f, 0.0f, 0.0f},     // one column without width
        {6, {1, 0}, 0.0f, 1.5f, 1.5f, 0.0f, 0.0f},
        {8, {0.5f, 1, 2, 3}, 2.0f, 2.0f, 3.0f, 1.0f, 2.0f},
        {9, {4, 2, 0.1f, 0, 1}, 6.0f, 0.25f, 0.5f, 0.5f + 0.6f, 0.0f}, // the row is frame mod rows
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.type);
        WeMaterial material;
        material.textureAnimation = c.type;
        std::copy(std::begin(c.p), std::end(c.p), material.animParams);
        material.UpdateTextureAnimation(c.time);
        const d3dx::Matrix& m = material.textureMatrix;
        EXPECT_FLOAT_EQ(m.m[0][0], c.scaleX);
        EXPECT_FLOAT_EQ(m.m[1][1], c.scaleY);
        EXPECT_NEAR(m.m[3][0], c.moveX, 1e-5f);
        EXPECT_NEAR(m.m[3][1], c.moveY, 1e-5f);
        if (c.type == 4)
        {
            EXPECT_FLOAT_EQ(material.animParams[4], c.time);
        }
    }
}

TEST_F(MaterialTest, RotationTurnsAboutItsPoint)
{
    WeMaterial material;
    material.textureAnimation = 2;
    material.animParams[0] = 0.25f; // a quarter turn a second
    material.animParams[1] = 0.5f;
    material.animParams[2] = 0.5f;
    material.UpdateTextureAnimation(1.0f);
    const d3dx::Vector3 turned = d3dx::D3DXVec3TransformCoord({1.0f, 0.5f, 0.0f}, material.textureMatrix);
    EXPECT_NEAR(turned.x, 0.5f, 1e-5f);
    EXPECT_NEAR(turned.y, 1.0f, 1e-5f);
}

TEST_F(MaterialTest, RandomOffsetsNeverDivideByZeroAndRandomCellsHoldTheirFrame)
{
    uint32_t seed = 1;
    for (WeSRand(seed); (WeRand() * 1000) >> 15 != 0; WeSRand(++seed))
    {
    }
    WeMaterial jitter;
    jitter.textureAnimation = 5;
    jitter.animParams[0] = 2.0f;
    WeSRand(seed);
    jitter.UpdateTextureAnimation(0.0f);
    EXPECT_FLOAT_EQ(jitter.textureMatrix.m[3][0], 2.0f) << "a draw of 0 counts as 1";

    WeMaterial cells;
    cells.textureAnimation = 7;
    const float p[] = {0.1f, 0.1f, 1000, 1};
    std::copy(std::begin(p), std::end(p), cells.animParams);
    WeSRand(1); // draws 41 first
    cells.UpdateTextureAnimation(3.5f);
    EXPECT_EQ(cells.animFrame, 3);
    EXPECT_EQ(cells.animRandomFrame, 41 * 1000 / 32768);
    cells.UpdateTextureAnimation(3.9f); // the same frame: no new draw
    EXPECT_EQ(WeRand(), 18467);
}

TEST_F(MaterialTest, TexturesGoToTheirStagesOnceWithFallbacks)
{
    WeMaterial material;
    material.textures[0] = textures.white;
    material.textures[4] = textures.white;
    material.textures[11] = textures.white;
    d3d9::BaseTexture* cache[16] = {};
    auto stage = [this](int i) { return Device().State().textures[i]; };
    Device().ClearCallLog();
    material.ApplyTextures(WeMaterial::bumpFlag | WeMaterial::splatFlag, cache, 0);
    EXPECT_EQ(stage(0), textures.white->texture);
    EXPECT_EQ(stage(1), textures.normal->texture);
    EXPECT_EQ(stage(3), textures.black->texture);
    EXPECT_EQ(stage(10), textures.black->texture);
    EXPECT_EQ(stage(11), textures.white->texture);
    EXPECT_EQ(stage(14), textures.normal->texture);
    const int bound = CountCalls("SetTexture 0 #" + std::to_string(textures.white->texture->Id()));
    EXPECT_EQ(bound, 1);
    Device().ClearCallLog();
    material.ApplyTextures(WeMaterial::bumpFlag | WeMaterial::splatFlag, cache, 0);
    EXPECT_TRUE(Calls().empty()) << "the cache skips stages that hold their texture";

    d3d9::BaseTexture* cube = textures.normal->texture;
    materialManager.reflectionCube = cube;
    struct Case
    {
        bool reflective;
        int32_t quality;
        d3d9::BaseTexture* expected;
    } const cases[] = {{true, 0, nullptr},
                       {true, 1, textures.white->texture},
                       {true, 2, cube},
                       {false, 2, textures.white->texture}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.quality);
        renderDevice.reflectionQuality = c.quality;
        material.reflective = c.reflective;
        Device().SetTexture(4, nullptr);
        material.ApplyTextures(WeMaterial::environmentFlag, nullptr, 0);
        EXPECT_EQ(stage(4), c.expected);
    }
    materialManager.reflectionCube = nullptr;
}

TEST_F(MaterialTest, CopiesWhatDrawsTheSurface)
{
    WeMaterial source;
    source.pass = 4;
    source.priority = 2;
    source.color[1] = 0.5f;
    source.textureNames[5] = "Some.Texture.name";
    source.textures[5] = textures.white;
    source.reflective = true;
    source.name = "Test.Materials.source";
    source.version = 34;
    source.wireframe = true;
    source.furStrength = 0.2f;
    source.waveSpeed = 3.0f;
    WeMaterial copy;
    source.CopyTo(copy);
    EXPECT_EQ(copy.pass, 4);
    EXPECT_EQ(copy.priority, 2);
    EXPECT_FLOAT_EQ(copy.color[1], 0.5f);
    EXPECT_EQ(copy.textureNames[5], "Some.Texture.name");
    EXPECT_EQ(copy.textures[5], textures.white);
    EXPECT_TRUE(copy.reflective);
    EXPECT_TRUE(copy.name.IsEmpty());
    EXPECT_EQ(copy.version, 0);
    EXPECT_FALSE(copy.wireframe);
    EXPECT_FLOAT_EQ(copy.furStrength, 1.0f);
    EXPECT_FLOAT_EQ(copy.waveSpeed, 0.0f);
}

TEST_F(MaterialTest, ManagerCachesByNameAndKeepsFixedMaterials)
{
    ASSERT_NE(materialManager.defaultMaterial, nullptr) << "the device's start loads the defaults";
    EXPECT_NE(materialManager.selection, nullptr);
    const int32_t fixedAtStart = materialManager.GetCount();
    EXPECT_NE(materialManager.defaultParticle, nullptr);
    EXPECT_TRUE(materialManager.defaultMaterial->fixed);
    package.Write("Test.Materials.plain", WeAssetType::Material, Layout(34, CurrentLayout(34)).bytes);
    EXPECT_EQ(materialManager.Load(""), nullptr);
    WeMaterial* plain = materialManager.Load("Test.Materials.Plain");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->name, "Test.Materials.Plain");
    EXPECT_EQ(materialManager.Load("test.materials.plain"), plain);
    EXPECT_FALSE(plain->fixed);
    WeTexture* loose = textures.CreateTexture(4, 4, d3d9::D3DFMT_A8R8G8B8, 0, d3d9::D3DPOOL_MANAGED, 1, true);
    WeBeginFixedLoading();
    EXPECT_EQ(materialManager.Load("TEST.MATERIALS.PLAIN"), plain);
    WeEndFixedLoading();
    EXPECT_TRUE(plain->fixed) << "asked for during fixed loading";
    plain->textures[2] = loose;
    plain->textures[0] = textures.white;
    EXPECT_FALSE(materialManager.Release(nullptr, true));
    materialManager.FreeAll(false);
    EXPECT_EQ(materialManager.GetCount(), fixedAtStart + 1) << "the fixed ones and the plain one stay";
    EXPECT_EQ(plain->textures[2], nullptr) << "the texture manager frees its textures that are not fixed";
    EXPECT_EQ(plain->textures[0], textures.white);
    materialManager.FreeAll(true);
    EXPECT_EQ(materialManager.GetCount(), 0);
    EXPECT_EQ(materialManager.defaultMaterial, nullptr);
    EXPECT_FALSE(materialManager.Release(plain, true)) << "an empty table releases nothing";
}
