// Writes the animated models as animodel entries into a package source tree:
// <folder>/<Group>/<Subgroup>/<name>.animodel, the asset "<Group>.<Subgroup>.<name>". An entry
// is a version, the byte count and text of a ".x" file, then for each mesh container, in the
// order the engine reads them, its material names by set and subset. Each entry is read back
// through the engine before it counts as written.
//   make_animodels <package folder>
//
// "Ingame.Models.flag": a pole (a rigid mesh) with a cloth (a skinned mesh) on a chain of five
// bones; its looping set "Wave" sends a wave along the cloth in two seconds.
#include "WeFileStream.h"
#include "WeMeshBuilder.h"
#include "WeModel.h"
#include "WeModelFrame.h"
#include "WeRecordReader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{

constexpr float kPi = std::numbers::pi_v<float>;

// The flag: the pole stands on the origin; the cloth hangs from it between two heights, its
// bones along its upper middle line.
constexpr float kPoleRadius = 0.04f, kPoleHeight = 3.0f;
constexpr float kClothTop = 2.95f, kClothBottom = 2.05f, kClothStart = 0.05f, kClothLength = 1.6f;
constexpr int kBones = 5, kColumns = 16, kRows = 4;
constexpr float kBoneSpacing = kClothLength / float(kBones - 1);
constexpr float kBoneHeight = (kClothTop + kClothBottom) * 0.5f;
constexpr int kTicksPerSecond = 30, kPeriodTicks = 60, kKeyStep = 3;

std::string Float(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", double(value));
    return text;
}

// Items of a ".x" list: separated by commas, the list closed by a semicolon.
template <typename Item, typename Write> std::string List(const std::vector<Item>& items, Write write)
{
    std::string text;
    for (size_t i = 0; i < items.size(); ++i)
        text += write(items[i]) + (i + 1 < items.size() ? ",\n" : ";\n");
    return text;
}

std::string Matrix(const WeMatrix& m)
{
    std::string text;
    for (int i = 0; i < 16; ++i)
        text += Float(m.m[i / 4][i % 4]) + (i < 15 ? "," : ";;");
    return text;
}

std::string FrameMatrix(const WeMatrix& m)
{
    return "FrameTransformMatrix { " + Matrix(m) + " }\n";
}

struct Influence
{
    std::vector<uint32_t> vertices;
    std::vector<float> weights;
};

// A Mesh block of the builder's faces in one material, with the bones' influences when given.
std::string MeshText(const char* name, const WeMeshBuilder& mesh, const std::vector<Influence>& bones)
{
    const std::vector<WeMeshVertex>& vertices = mesh.Vertices();
    std::vector<uint32_t> faces;
    for (uint32_t f = 0; f * 3 < mesh.Indices().size(); ++f)
        faces.push_back(f);
    const auto triangle = [&](uint32_t f)
    {
        const uint16_t* i = &mesh.Indices()[f * 3];
        return "3;" + std::to_string(i[0]) + "," + std::to_string(i[1]) + "," + std::to_string(i[2]) + ";";
    };
    const auto vector = [](const WeVector& v)
    { return Float(v.x) + ";" + Float(v.y) + ";" + Float(v.z) + ";"; };
    std::string text = std::string("Mesh ") + name + " {\n" + std::to_string(vertices.size()) + ";\n";
    text += List(vertices, [&](const WeMeshVertex& v) { return vector(v.position); });
    text += std::to_string(faces.size()) + ";\n" + List(faces, triangle);
    text += "MeshNormals {\n" + std::to_string(vertices.size()) + ";\n";
    text += List(vertices, [&](const WeMeshVertex& v) { return vector(v.normal); });
    text += std::to_string(faces.size()) + ";\n" + List(faces, triangle) + "}\n";
    text += "MeshTextureCoords {\n" + std::to_string(vertices.size()) + ";\n";
    text += List(vertices, [](const WeMeshVertex& v) { return Float(v.u) + ";" + Float(v.v) + ";"; }) + "}\n";
    text += "MeshMaterialList {\n1;\n" + std::to_string(faces.size()) + ";\n";
    text += List(faces, [](uint32_t) { return std::string("0"); });
    text += "Material { 1.000000;1.000000;1.000000;1.000000;; 0.000000; 0.000000;0.000000;0.000000;; "
            "0.000000;0.000000;0.000000;; }\n}\n";
    if (!bones.empty())
        text += "XSkinMeshHeader { 2; 4; " + std::to_string(bones.size()) + "; }\n";
    for (size_t b = 0; b < bones.size(); ++b)
    {
        const Influence& bone = bones[b];
        text += "SkinWeights {\n\"Bone" + std::to_string(b) + "\";\n" + std::to_string(bone.vertices.size()) +
                ";\n";
        text += List(bone.vertices, [](uint32_t v) { return std::to_string(v); });
        text += List(bone.weights, Float);
        const float x = kClothStart + kBoneSpacing * float(b);
        text += Matrix(d3dx::D3DXMatrixTranslation(-x, -kBoneHeight, 0.0f)) + "\n}\n";
    }
    return text + "}\n";
}

std::string PoleText()
{
    WeMeshBuilder pole;
    pole.AddTube({0, 0, 0}, kPoleRadius, kPoleHeight, 10, 1, 0);
    return MeshText("PoleMesh", pole, {});
}

// Both sides of the cloth as a grid, each vertex following the two bones beside it.
std::string ClothText()
{
    WeMeshBuilder cloth;
    for (const float side : {-1.0f, 1.0f})
        for (int column = 0; column < kColumns; ++column)
            for (int row = 0; row < kRows; ++row)
            {
                const auto corner = [&](int c, int r) -> WeMeshBuilder::Corner
                {
                    const float u = float(c) / kColumns, v = float(r) / kRows;
                    return {
                        {kClothStart + u * kClothLength, kClothTop - v * (kClothTop - kClothBottom), 0.0f},
                        u,
                        v};
                };
                cloth.AddFace({corner(column, row), corner(column + 1, row), corner(column + 1, row + 1),
                               corner(column, row + 1)},
                              {0, 0, side}, 0);
            }
    std::vector<Influence> bones(kBones);
    for (uint32_t v = 0; v < cloth.Vertices().size(); ++v)
    {
        const float along = (cloth.Vertices()[v].position.x - kClothStart) / kBoneSpacing;
        const int first = std::min(int(along), kBones - 2);
        const float share = std::clamp(along - float(first), 0.0f, 1.0f);
        for (const auto& [bone, weight] : {std::pair{first, 1.0f - share}, std::pair{first + 1, share}})
            if (weight > 0.0f)
            {
                bones[size_t(bone)].vertices.push_back(v);
                bones[size_t(bone)].weights.push_back(weight);
            }
    }
    return MeshText("ClothMesh", cloth, bones);
}

// The bone chain: the first bone at the pole, each next one a spacing further out.
std::string BoneFrames(int bone)
{
    const WeMatrix place = bone == 0 ? d3dx::D3DXMatrixTranslation(kClothStart, kBoneHeight, 0.0f)
                                     : d3dx::D3DXMatrixTranslation(kBoneSpacing, 0.0f, 0.0f);
    return "Frame Bone" + std::to_string(bone) + " {\n" + FrameMatrix(place) +
           (bone + 1 < kBones ? BoneFrames(bone + 1) : "") + "}\n";
}

// Each bone past the first swings about the vertical a little later than the one before it.
std::string WaveText()
{
    std::string text = "AnimationSet Wave {\n";
    for (int bone = 1; bone < kBones; ++bone)
    {
        std::vector<int> ticks;
        for (int tick = 0; tick <= kPeriodTicks; tick += kKeyStep)
            ticks.push_back(tick);
        const auto rotation = [&](int tick)
        {
            const float phase = 2.0f * kPi * float(tick) / kPeriodTicks - 0.9f * float(bone);
            const float half = 0.5f * 0.35f * std::sin(phase);
            // Keys give w first.
            return std::to_string(tick) + ";4;" + Float(std::cos(half)) + ",0.000000," +
                   Float(std::sin(half)) + ",0.000000;;";
        };
        const auto position = [&](int tick)
        { return std::to_string(tick) + ";3;" + Float(kBoneSpacing) + ",0.000000,0.000000;;"; };
        text += "Animation {\n{Bone" + std::to_string(bone) + "}\n";
        text += "AnimationKey {\n0;\n" + std::to_string(ticks.size()) + ";\n" + List(ticks, rotation) + "}\n";
        text += "AnimationKey {\n2;\n" + std::to_string(ticks.size()) + ";\n" + List(ticks, position) + "}\n";
        text += "}\n";
    }
    return text + "}\n";
}

std::string FlagText()
{
    const WeMatrix identity;
    return "xof 0303txt 0032\nAnimTicksPerSecond { " + std::to_string(kTicksPerSecond) + "; }\n" +
           "Frame Flag {\n" + FrameMatrix(identity) + "Frame Pole {\n" + FrameMatrix(identity) + PoleText() +
           "}\nFrame Cloth {\n" + FrameMatrix(identity) + ClothText() + "}\n" + BoneFrames(0) + "}\n" +
           WaveText();
}

// The entry, its material blocks in the engine's order (the pole's container, then the
// cloth's), read back: the frames, both containers and the set must be there.
bool WriteFlag(const fs::path& folder)
{
    const std::string text = FlagText();
    const fs::path path = folder / "Ingame" / "Models" / "flag.animodel";
    std::error_code ignored;
    fs::create_directories(path.parent_path(), ignored);
    WeFileStream stream;
    if (!stream.Create(path.c_str()) || !stream.WriteInt(1) || !stream.WriteInt(int32_t(text.size())) ||
        !stream.Write(text.data(), int64_t(text.size())))
        return false;
    for (const char* material : {"Ingame.Materials.flag_pole", "Ingame.Materials.flag_cloth"})
        if (!stream.WriteInt(1) || !stream.WriteInt(1) || !stream.WriteString(material))
            return false;
    if (!stream.Close() || !stream.Open(path.c_str()))
        return false;
    WeRecordReader reader(stream, stream.GetFileSize());
    WeModel model(true);
    if (!model.ReadRecord(reader) || reader.Remaining() != 0 || !model.rootFrame)
        return false;
    const WeModelFrame* pole = model.rootFrame->Child();
    const WeModelFrame* cloth = pole ? pole->Sibling() : nullptr;
    return cloth && pole->Container() && cloth->Container() && cloth->Container()->boneCount == kBones &&
           cloth->mesh->sets[0].names[0] == "Ingame.Materials.flag_cloth" && model.GetTrackCount() > 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: make_animodels <package folder>\n");
        return 2;
    }
    if (!WriteFlag(argv[1]))
    {
        std::fprintf(stderr, "make_animodels: Ingame.Models.flag cannot be written or read back\n");
        return 1;
    }
    return 0;
}
