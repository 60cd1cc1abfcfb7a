#include "WeMapSource.h"

#include "WeActor.h"
#include "WeCameraActor.h"
#include "WeFileStream.h"
#include "WeLight.h"
#include "WeMeshBuilder.h"
#include "WePathNode.h"
#include "WePortal.h"
#include "WeScene.h"
#include "WeTexture.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <sstream>

namespace
{

// The words of a statement, read from the front.
class Words
{
public:
    explicit Words(const std::string& line)
    {
        std::istringstream in(line.substr(0, line.find('#')));
        for (std::string word; in >> word;)
            words.push_back(word);
    }
    bool Empty() const { return next >= words.size(); }
    bool Word(std::string& out)
    {
        if (Empty())
            return false;
        out = words[next++];
        return true;
    }
    bool Number(float& out)
    {
        if (Empty())
            return false;
        const std::string& word = words[next];
        const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), out);
        if (error != std::errc() || end != word.data() + word.size() || !std::isfinite(out))
            return false;
        ++next;
        return true;
    }
    bool Numbers(float* out, int32_t count)
    {
        for (int32_t i = 0; i < count; ++i)
            if (!Number(out[i]))
                return false;
        return true;
    }
    bool Vector(WeVector& out) { return Numbers(&out.x, 3); }
    bool Colour(WeColor& out)
    {
        out.a = 1.0f;
        return Numbers(&out.r, 3);
    }
    bool Integer(int32_t& out)
    {
        float value = 0.0f;
        if (!Number(value) || value != std::floor(value) || std::fabs(value) > 1e6f)
            return false;
        out = int32_t(value);
        return true;
    }

private:
    std::vector<std::string> words;
    size_t next = 0;
};

// A 16-bit field of the physic model.
bool Short(Words& words, uint16_t& out)
{
    int32_t value = 0;
    if (!words.Integer(value) || value < 0 || value > 0xFFFF)
        return false;
    out = uint16_t(value);
    return true;
}

bool PhysicOption(Words& words, const std::string& option, WeMapMesh& mesh)
{
    WePhysicModel& physic = mesh.physic;
    if (option == "physic")
        return words.Integer(physic.type) && physic.type >= WePhysicModel::none &&
               physic.type <= WePhysicModel::cloth;
    if (option == "mass")
        return words.Number(physic.mass);
    if (option == "group")
        return Short(words, physic.group);
    if (option == "shapeflags")
        return Short(words, physic.shapeFlags);
    if (option == "awake")
    {
        physic.startAsleep = false;
        return true;
    }
    return option == "teleport" && words.Word(mesh.teleportTarget);
}

bool MeshOptions(Words& words, WeMapMesh& mesh)
{
    for (std::string option; words.Word(option);)
    {
        bool read = false;
        if (option == "yaw")
            read = words.Number(mesh.yawDegrees);
        else if (option == "scale")
            read = words.Vector(mesh.scale);
        else if (option == "preset")
            read = words.Integer(mesh.preset) && mesh.preset >= 0 && mesh.preset < 128;
        else if (option == "animation")
            read = words.Word(mesh.animation);
        else if (option == "lightmap")
            read = words.Integer(mesh.lightMapSize) && mesh.lightMapSize >= 4 && mesh.lightMapSize <= 1024 &&
                   words.Numbers(mesh.lightMapRect, 4) && words.Number(mesh.lightMapHeight);
        else
            read = PhysicOption(words, option, mesh);
        if (!read)
            return false;
    }
    return true;
}

uint8_t Channel(float value)
{
    return uint8_t(std::clamp(value, 0.0f, 1.0f) * 255.0f + 0.5f);
}

uint32_t Argb(const WeColor& colour)
{
    return 0xFF000000u | uint32_t(Channel(colour.r)) << 16 | uint32_t(Channel(colour.g)) << 8 |
           uint32_t(Channel(colour.b));
}

WeColor Mix(const WeColor& from, const WeColor& to, float t)
{
    return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t, 1.0f};
}

// A lattice value from 0 to 1 that only its two coordinates decide.
float LatticeValue(int32_t u, int32_t v)
{
    uint32_t hash = uint32_t(u) * 374761393u + uint32_t(v) * 668265263u;
    hash = (hash ^ (hash >> 13)) * 1274126177u;
    return float((hash ^ (hash >> 16)) & 0xFFFFu) / 65535.0f;
}

// Smoothly interpolated lattice values, summed over four octaves: 0 to 1.
float CloudNoise(float u, float v)
{
    float sum = 0.0f, weight = 0.5f;
    for (int32_t octave = 0; octave < 4; ++octave, u *= 2.0f, v *= 2.0f, weight *= 0.5f)
    {
        const float fu = std::floor(u), fv = std::floor(v);
        const auto iu = int32_t(fu), iv = int32_t(fv);
        const float su = (u - fu) * (u - fu) * (3.0f - 2.0f * (u - fu));
        const float sv = (v - fv) * (v - fv) * (3.0f - 2.0f * (v - fv));
        const float top = LatticeValue(iu, iv) + (LatticeValue(iu + 1, iv) - LatticeValue(iu, iv)) * su;
        const float bottom =
            LatticeValue(iu, iv + 1) + (LatticeValue(iu + 1, iv + 1) - LatticeValue(iu, iv + 1)) * su;
        sum += (top + (bottom - top) * sv) * weight;
    }
    return sum / 0.9375f;
}

bool WriteColour(WeFileStream& out, const WeColor& colour)
{
    return out.WriteVector4(&colour.r);
}

// The scene config as the engine reads version 24 (it has no writer of its own).
bool WriteConfig(WeFileStream& out, const WeSceneConfig& config)
{
    bool written = out.WriteInt(WeSceneConfig::version) && WriteColour(out, config.backgroundColor) &&
                   WriteColour(out, config.AmbientColor) && WriteColour(out, config.outlineColor) &&
                   out.WriteBool(config.FogEnabled);
    for (const float value : {config.FogStart, config.FogEnd, config.FogMin, config.FogMax})
        written = written && out.WriteFloat(value);
    written = written && WriteColour(out, config.FogColor);
    for (const float value : {config.factorA, config.distanceA, config.FHDRI0, config.FHDRI1, config.FHDRI2,
                              config.Brightness, config.Contrast, config.distanceB, config.distanceZ})
        written = written && out.WriteFloat(value);
    for (const float value : config.outlineFactors)
        written = written && out.WriteFloat(value);
    return written && out.WriteVector(&config.vectorA.x) && out.WriteVector(&config.vectorB.x) &&
           out.WriteVector(&config.vectorZ.x) && out.WriteFloat(config.valueD) &&
           out.WriteFloat(config.valueE) && out.WriteBool(config.flagF) && out.WriteFloat(config.valueG);
}

// A texture of the map's texels for the light map to compress and save.
WeTexture* LightMapTexture(const std::vector<uint32_t>& texels, int32_t size)
{
    WeTexture* texture =
        textures.CreateTexture(size, size, d3d9::D3DFMT_A8R8G8B8, 0, d3d9::D3DPOOL_MANAGED, 1, true);
    void* bits = nullptr;
    int32_t bytes = 0, pitch = 0;
    if (!texture || !texture->Lock(&bits, &bytes, &pitch))
        return texture;
    for (int32_t row = 0; row < size; ++row)
        std::memcpy(static_cast<uint8_t*>(bits) + size_t(row) * size_t(pitch),
                    &texels[size_t(row) * size_t(size)], size_t(size) * 4);
    texture->Unlock();
    return texture;
}

WeMatrix At(WeMatrix matrix, const WeVector& position)
{
    matrix.m[3][0] = position.x;
    matrix.m[3][1] = position.y;
    matrix.m[3][2] = position.z;
    return matrix;
}

WeMatrix Placement(const WeVector& position, float yawDegrees)
{
    return At(d3dx::D3DXMatrixRotationYawPitchRoll(yawDegrees * std::numbers::pi_v<float> / 180.0f, 0, 0),
              position);
}

// At the place, its z axis towards the target and its y axis up (along z when it looks straight
// up or down).
WeMatrix Aimed(const WeVector& position, const WeVector& target)
{
    const WeVector direction = d3dx::D3DXVec3Normalize(target - position);
    const WeVector up =
        std::fabs(direction.y) > 0.99f ? WeVector{0.0f, 0.0f, 1.0f} : WeVector{0.0f, 1.0f, 0.0f};
    return At(WeAxesFor(direction, up), position);
}

// Round on a 4:3 screen: the width a share of the screen's width.
constexpr float squareOnScreen = 0.75f;

void SetFlaresAndProjector(WeLight& light, const WeMapLight& source)
{
    light.Flares = !source.flareTexture.empty();
    std::fill(std::begin(light.FlareTextureNames), std::end(light.FlareTextureNames),
              WeString(source.flareTexture.c_str()));
    light.FlareSizeX = source.flareSize * squareOnScreen;
    light.FlareSizeY = source.flareSize;
    if (source.projectorMaterial.empty())
        return;
    light.LightType = LIGHT_PROJECTOR;
    light.projectorSwitch = true;
    light.ProjectorMaterialName = source.projectorMaterial.c_str();
    light.angles[0] = light.angles[1] = source.coneDegrees * std::numbers::pi_v<float> / 180.0f;
    light.SetMatrix(Aimed(source.position, source.projectorTarget));
}

bool SaveActor(WeFileStream& out, WeActor& actor)
{
    return out.WriteInt(actor.type) && actor.Save(out);
}

bool PathNodeOptions(Words& words, WeMapPathNode& node)
{
    std::string kind;
    if (!words.Word(kind))
        return true;
    node.kind = kind == "fork" ? WePathNode::fork : kind == "join" ? WePathNode::join : -1;
    return node.kind >= 0 && words.Integer(node.branches[0]) && words.Integer(node.branches[1]);
}

bool SavePortalsAndPaths(WeFileStream& out, const std::vector<WeMapPortal>& portals,
                         const std::vector<WeMapPathNode>& pathNodes)
{
    bool written = true;
    for (const WeMapPortal& source : portals)
    {
        WePortal portal;
        portal.name = source.name.c_str();
        portal.Width = source.width;
        portal.Height = source.height;
        portal.SetMatrix(Placement(source.position, source.yawDegrees));
        written = written && SaveActor(out, portal);
    }
    for (const WeMapPathNode& source : pathNodes)
    {
        WePathNode node;
        node.name = WeString("Path").AppendInt(source.number);
        node.Number = source.number;
        node.Kind = source.kind;
        node.BranchA = source.branches[0];
        node.BranchB = source.branches[1];
        node.SetLocation(source.position);
        written = written && SaveActor(out, node);
    }
    return written;
}

} // namespace

bool WeMapSource::Fail(int32_t line, const std::string& reason)
{
    lastError = "line " + std::to_string(line) + ": " + reason;
    return false;
}

bool WeMapSource::Parse(const std::string& text)
{
    std::istringstream lines(text);
    int32_t number = 0;
    for (std::string line; std::getline(lines, line);)
    {
        ++number;
        Words words(line);
        std::string keyword;
        if (!words.Word(keyword))
            continue;
        bool read = false;
        if (keyword == "ambient")
            read = words.Colour(ambient);
        else if (keyword == "background")
            read = words.Colour(background);
        else if (keyword == "sky")
            read = words.Colour(skyTop) && words.Colour(skyBottom);
        else if (keyword == "cubesky")
            read = cubeSky = words.Colour(skyZenith) && words.Colour(skyHorizon) && words.Colour(skyGround);
        else if (keyword == "skydome")
            read = words.Word(skyDome);
        else if (keyword == "camera")
        {
            WeMapCamera& camera = cameras.emplace_back();
            read = words.Word(camera.name) && words.Vector(camera.position) && words.Vector(camera.target) &&
                   words.Number(camera.fov);
        }
        else if (keyword == "mesh")
        {
            WeMapMesh& mesh = meshes.emplace_back();
            read = words.Word(mesh.name) && words.Word(mesh.model) && words.Vector(mesh.position) &&
                   MeshOptions(words, mesh);
        }
        else if (keyword == "light")
        {
            WeMapLight& light = lights.emplace_back();
            read = words.Word(light.name) && words.Vector(light.position) && words.Number(light.range) &&
                   words.Colour(light.colour) && words.Number(light.intensity);
            std::string flag;
            if (read && words.Word(flag))
                read = flag == "vertex";
            light.vertexOnly = read && flag == "vertex";
        }
        else if (keyword == "portal")
        {
            WeMapPortal& portal = portals.emplace_back();
            read = words.Word(portal.name) && words.Vector(portal.position) && words.Number(portal.width) &&
                   words.Number(portal.height) && portal.width > 0.0f && portal.height > 0.0f;
            std::string option;
            if (read && words.Word(option))
                read = option == "yaw" && words.Number(portal.yawDegrees);
        }
        else if (keyword == "path")
        {
            WeMapPathNode& node = pathNodes.emplace_back();
            read = words.Integer(node.number) && node.number >= 1 && words.Vector(node.position) &&
                   PathNodeOptions(words, node);
        }
        else if (keyword == "state" && !lights.empty())
        {
            WeMapLight::State& state = lights.back().states.emplace_back();
            read = words.Number(state.duration) && words.Number(state.intensity) && state.duration > 0.0f;
        }
        else if (keyword == "interpolate" && !lights.empty())
            read = lights.back().interpolate = true;
        else if (keyword == "shadows" && !lights.empty())
            read = lights.back().castShadows = true;
        else if (keyword == "corona" && !lights.empty())
            read = words.Word(lights.back().coronaTexture) && words.Number(lights.back().coronaSize) &&
                   lights.back().coronaSize > 0.0f;
        else if (keyword == "flares" && !lights.empty())
        {
            WeMapLight& light = lights.back();
            read = words.Word(light.flareTexture) && words.Number(light.flareSize) &&
                   light.flareSize > 0.0f && words.Number(light.flareStrength) &&
                   light.flareStrength >= 0.0f && light.flareStrength <= 1.0f;
        }
        else if (keyword == "projector" && !lights.empty())
        {
            WeMapLight& light = lights.back();
            read = words.Word(light.projectorMaterial) && words.Vector(light.projectorTarget) &&
                   words.Number(light.coneDegrees) && light.coneDegrees > 0.0f &&
                   light.coneDegrees < 170.0f &&
                   d3dx::D3DXVec3Length(light.projectorTarget - light.position) > 0.0f;
        }
        if (!read || !words.Empty())
            return Fail(number, "cannot read \"" + line + "\"");
    }
    return true;
}

WeDdsImage WeMapSource::Sky(uint32_t width, uint32_t height) const
{
    return WeDdsImage::Drawn(width, height,
                             [&](uint32_t, uint32_t y)
                             {
                                 const float t = height > 1 ? float(y) / float(height - 1) : 0.0f;
                                 const auto mix = [t](float top, float bottom)
                                 { return top + (bottom - top) * t; };
                                 return Argb({mix(skyTop.r, skyBottom.r), mix(skyTop.g, skyBottom.g),
                                              mix(skyTop.b, skyBottom.b), 1.0f});
                             });
}

WeColor WeMapSource::CubeSkyColour(const WeVector& direction) const
{
    static const WeVector sun = d3dx::D3DXVec3Normalize({-0.45f, 0.35f, 0.82f});
    const WeColor white{1.0f, 1.0f, 1.0f, 1.0f};
    const WeVector d = d3dx::D3DXVec3Normalize(direction);
    WeColor colour = d.y >= 0.0f ? Mix(skyHorizon, skyZenith, std::sqrt(d.y))
                                 : Mix(skyHorizon, skyGround, std::min(1.0f, -d.y * 3.0f));
    if (d.y > 0.02f)
    {
        // Clouds on a plane above, thinning towards the horizon.
        const float cover =
            std::clamp((CloudNoise(d.x / d.y * 1.5f, d.z / d.y * 1.5f) - 0.5f) * 2.5f, 0.0f, 1.0f);
        colour = Mix(colour, white, cover * std::min(1.0f, (d.y - 0.02f) * 5.0f) * 0.85f);
    }
    const float facing = std::max(0.0f, d3dx::D3DXVec3Dot(d, sun));
    const float glow = std::pow(facing, 600.0f) + std::pow(facing, 12.0f) * 0.3f;
    return Mix(colour, {1.0f, 0.95f, 0.8f, 1.0f}, std::min(1.0f, glow));
}

WeDdsCube WeMapSource::CubeSky(uint32_t edge) const
{
    return WeDrawnCube(edge, [&](float x, float y, float z) { return Argb(CubeSkyColour({x, y, z})); });
}

WeDdsImage WeMapSource::SkyDomeImage(uint32_t width, uint32_t height) const
{
    if (!cubeSky)
        return Sky(width, height);
    return WeDdsImage::Drawn(
        width, height,
        [&](uint32_t x, uint32_t y)
        {
            const float u = (float(x) + 0.5f) / float(width), v = (float(y) + 0.5f) / float(height);
            return Argb(CubeSkyColour(WeMeshBuilder::DomeDirection(u, v, WeMeshBuilder::skyDomeRim)));
        });
}

std::vector<uint32_t> WeMapSource::BakeLightMap(const WeMapMesh& mesh) const
{
    const int32_t size = mesh.lightMapSize;
    std::vector<uint32_t> texels(size_t(size) * size_t(size));
    const float* rect = mesh.lightMapRect;
    for (int32_t row = 0; row < size; ++row)
        for (int32_t column = 0; column < size; ++column)
        {
            const float u = (float(column) + 0.5f) / float(size), v = (float(row) + 0.5f) / float(size);
            const WeVector point{rect[0] + (rect[2] - rect[0]) * u, mesh.lightMapHeight,
                                 rect[1] + (rect[3] - rect[1]) * v};
            WeColor sum{0.0f, 0.0f, 0.0f, 1.0f};
            for (const WeMapLight& light : lights)
            {
                if (!light.projectorMaterial.empty())
                    continue;
                const WeVector toLight = light.position - point;
                const float distance = d3dx::D3DXVec3Length(toLight);
                if (!(distance < light.range) || distance <= 0.0f)
                    continue;
                const float falloff = (1.0f - distance / light.range) * (1.0f - distance / light.range);
                const float strength = light.intensity * falloff * std::max(0.0f, toLight.y / distance);
                sum.r += light.colour.r * strength;
                sum.g += light.colour.g * strength;
                sum.b += light.colour.b * strength;
            }
            texels[size_t(row) * size_t(size) + size_t(column)] = Argb(sum);
        }
    return texels;
}

bool WeMapSource::Write(const std::string& path, const std::string& skyTexture)
{
    WeSceneConfig config;
    config.backgroundColor = background;
    config.AmbientColor = ambient;
    if (!cameras.empty())
    {
        config.vectorA = cameras.front().position;
        config.vectorB = d3dx::D3DXVec3Normalize(cameras.front().target - cameras.front().position);
    }
    WeFileStream out;
    bool written = out.Create(path.c_str()) && out.WriteInt(WeScene::mapFileVersion) &&
                   WriteConfig(out, config) && out.WriteInt(2) &&
                   out.WriteString(skyDome.empty() ? skyTexture.c_str() : skyDome.c_str()) &&
                   out.WriteInt(!skyDome.empty() ? WeSkyBox::meshModel
                                : cubeSky        ? WeSkyBox::cubeTexture
                                                 : WeSkyBox::flatTexture);
    for (const WeMapMesh& mesh : meshes)
    {
        WeActor actor;
        actor.name = mesh.name.c_str();
        actor.modelName = mesh.model.c_str();
        actor.materialPreset = mesh.preset;
        actor.animationName = mesh.animation.c_str();
        actor.SetMatrix(Placement(mesh.position, mesh.yawDegrees));
        actor.SetScale(mesh.scale);
        actor.physicModel = mesh.physic;
        actor.teleport = !mesh.teleportTarget.empty();
        actor.teleportTarget = mesh.teleportTarget.c_str();
        if (mesh.lightMapSize > 0)
            actor.lightMap.texture = LightMapTexture(BakeLightMap(mesh), mesh.lightMapSize);
        written = written && SaveActor(out, actor);
    }
    for (const WeMapLight& source : lights)
    {
        const auto light = std::make_unique<WeLight>();
        light->name = source.name.c_str();
        light->SetLocation(source.position);
        light->Range = source.range;
        light->LightType = source.vertexOnly ? LIGHT_POINT_VERTEXONLY : LIGHT_POINT;
        light->InterpolateStates = source.interpolate;
        light->CastShadows = source.castShadows;
        std::fill(std::begin(light->CastShadowPlane), std::end(light->CastShadowPlane), source.castShadows);
        light->Corona = !source.coronaTexture.empty();
        light->CoronaTextureName = source.coronaTexture.c_str();
        light->CoronaSizeX = source.coronaSize * squareOnScreen;
        light->CoronaSizeY = source.coronaSize;
        SetFlaresAndProjector(*light, source);
        const std::vector<WeMapLight::State> states =
            source.states.empty() ? std::vector<WeMapLight::State>{{1.0f, 1.0f}} : source.states;
        for (const WeMapLight::State& state : states)
        {
            WeLightState& key = light->states.PushBack();
            key = WeLightState();
            key.Diffuse = key.Specular = source.colour;
            key.Duration = state.duration;
            key.Intensity = key.SpecularIntensity = source.intensity * state.intensity;
            std::fill(std::begin(key.FlareAlpha), std::end(key.FlareAlpha), source.flareStrength);
        }
        written = written && SaveActor(out, *light);
    }
    for (const WeMapCamera& source : cameras)
    {
        WeCameraActor camera;
        camera.name = source.name.c_str();
        camera.SetMatrix(Aimed(source.position, source.target));
        camera.camera->SetFov(source.fov);
        written = written && SaveActor(out, camera);
    }
    written = written && SavePortalsAndPaths(out, portals, pathNodes) && out.WriteInt(0) && out.Close();
    return written || Fail(0, "cannot write " + path);
}
