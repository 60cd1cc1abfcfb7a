// Writes the engine's default meshes, the scenes' debug models and the game's block models as mesh records
// into a package source tree: <folder>/<Group>/<Subgroup>/<name>.mesh, the asset
// "<Group>.<Subgroup>.<name>".
//   make_meshes <package folder>
// Blocks are centred on the origin and stay within the pick box of half size 0.4949 (cells lie
// 1.01 apart). Floor pieces (tracks, teleports) are plates at the bottom of that box, under the
// block that may stand on them. The maps stand the board on a table of its 16 x 16 cells, sunk in
// a ground that reaches past every view of it. Every model names its materials by set; the texts
// of those materials are under data/Materials/<Group>/Materials.
#include "WeFileStream.h"
#include "WeMeshBuilder.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <numbers>
#include <vector>

namespace fs = std::filesystem;

namespace
{

using MaterialSets = std::map<int32_t, std::vector<const char*>>; // set -> material per subset

constexpr float kHalf = 0.49f;   // a block's half size
constexpr float kFloor = -0.49f; // the bottom of a cell
constexpr float kPlate = 0.06f;  // a floor plate's thickness
const WeVector kUp{0, 1, 0};

// The board's table, centred under the cells: its top lies between the blocks' bottoms and the
// tops of the floor plates, which the game lowers a little into it; its edge frames the cells and
// falls to the ground.
constexpr int32_t kCells = 16;
constexpr float kPitch = 1.01f;
constexpr float kCellsHalf = kCells * kPitch * 0.5f;
constexpr float kTableTop = kFloor - 0.015f;
constexpr float kTableHalf = kCellsHalf + 0.4f;
constexpr float kGround = -1.3f;
constexpr float kGroundHalf = 100.0f;

// Every face in the one subset.
uint32_t AllFaces(const WeVector&)
{
    return 0;
}

// Blocks and floor plates are plain boxes without a bottom: the board's cameras look down on
// them and they stand on the table or a plate. Hundreds of them fill a board, each seen a few
// dozen pixels wide: a face's edges cost a software rasteriser a block of pixels shaded again
// wherever they cross one, so that cut edges a pixel or two wide cost as much as a face, and their
// corners the most vertices. The faces' textures draw their soft rims instead.
void Block(WeMeshBuilder& mesh, uint32_t topSubset, uint32_t otherSubset)
{
    mesh.AddOpenBox({-kHalf, -kHalf, -kHalf}, {kHalf, kHalf, kHalf},
                    [&](const WeVector& normal) { return normal.y > 0.0f ? topSubset : otherSubset; });
}

void FloorPlate(WeMeshBuilder& mesh, uint32_t subset)
{
    mesh.AddOpenBox({-kHalf, kFloor, -kHalf}, {kHalf, kFloor + kPlate, kHalf},
                    [subset](const WeVector&) { return subset; });
}

// A flat shape of convex pieces (each a polygon in x and z, counter-clockwise from above) raised
// into a slab from `bottom` by `height`: tops, bottoms and the walls of the outline.
void Slab(WeMeshBuilder& mesh, const std::vector<std::vector<WeVector>>& pieces,
          const std::vector<WeVector>& outline, float bottom, float height, uint32_t subset)
{
    for (const std::vector<WeVector>& piece : pieces)
        for (const float y : {bottom, bottom + height})
        {
            std::vector<WeMeshBuilder::Corner> corners;
            for (const WeVector& p : piece)
                corners.push_back({{p.x, y, p.z}, 0.5f + p.x, 0.5f - p.z});
            mesh.AddFace(corners, WeVector{0, y > bottom ? 1.0f : -1.0f, 0}, subset);
        }
    for (size_t i = 0; i < outline.size(); ++i)
    {
        const WeVector& a = outline[i];
        const WeVector& b = outline[(i + 1) % outline.size()];
        const WeVector outward{b.z - a.z, 0.0f, a.x - b.x}; // the outline runs counter-clockwise
        mesh.AddFace({{{a.x, bottom, a.z}, 0, 1},
                      {{b.x, bottom, b.z}, 1, 1},
                      {{b.x, bottom + height, b.z}, 1, 0},
                      {{a.x, bottom + height, a.z}, 0, 0}},
                     outward, subset);
    }
}

// A triangle pointing from its base centre along `direction` (in x and z) at height y.
void Pointer(WeMeshBuilder& mesh, const WeVector& base, const WeVector& direction, float length, float width,
             float y, float height, uint32_t subset)
{
    const WeVector along = d3dx::D3DXVec3Normalize(direction) * length;
    const WeVector side = WeVector{along.z, 0, -along.x} * (width / length * 0.5f);
    std::vector<WeVector> triangle{base + side, base + along, base - side};
    if (d3dx::D3DXVec3Cross(triangle[1] - triangle[0], triangle[2] - triangle[1]).y > 0.0f)
        std::swap(triangle[0], triangle[2]); // counter-clockwise from above
    Slab(mesh, {triangle}, triangle, y, height, subset);
}

// The editor's axes: a metre-long bar along each of x, y and z from the origin.
void Gizmo(WeMeshBuilder& mesh)
{
    constexpr float width = 0.02f, length = 1.0f;
    for (int axis = 0; axis < 3; ++axis)
    {
        WeVector minimum{-width, -width, -width}, maximum{width, width, width};
        (&maximum.x)[axis] = length;
        mesh.AddBox(minimum, maximum, 0.0f, AllFaces, 0);
    }
}

// A block with a pointer on top towards the direction it pulls from.
void Magnet(WeMeshBuilder& mesh, const WeVector& direction)
{
    const WeVector along = d3dx::D3DXVec3Normalize(direction);
    Block(mesh, 0, 0);
    Pointer(mesh, along * -0.3f, along, 0.6f, 0.45f, kHalf, 0.05f, 1);
}

void Track(WeMeshBuilder& mesh)
{
    FloorPlate(mesh, 0);
    // The chevron strip along x, just above the plate; its texture runs along it.
    mesh.AddRectangle({0, kFloor + kPlate + 0.002f, 0}, kUp, {-1, 0, 0}, 0.22f, kHalf, 1, 0, 0, 1, 1);
}

void TrackEnd(WeMeshBuilder& mesh)
{
    mesh.AddBox({-kHalf, kFloor + kPlate, -0.3f}, {-0.38f, kFloor + kPlate + 0.18f, 0.3f}, 0.02f, AllFaces,
                0);
}

// Subsets 0 to 4 keep their own colours, 5 (the ring) takes the teleport group's.
void Teleport(WeMeshBuilder& mesh, bool entrance, bool exit)
{
    FloorPlate(mesh, 0);
    const float top = kFloor + kPlate;
    const WeVector outward[4] = {{1, 0, 0}, {0, 0, 1}, {-1, 0, 0}, {0, 0, -1}};
    for (const WeVector& out : outward)
    {
        const WeVector across{-out.z, 0, out.x};
        // The rim along this side, a post at its corner, the side's pointers and ring strip.
        const WeVector a = out * 0.38f - across * kHalf, b = out * kHalf + across * kHalf;
        mesh.AddBox({std::min(a.x, b.x), top, std::min(a.z, b.z)},
                    {std::max(a.x, b.x), top + 0.06f, std::max(a.z, b.z)}, 0.01f, AllFaces, 1);
        const WeVector post = (out + across) * 0.43f;
        mesh.AddBox(post + WeVector{-0.05f, top, -0.05f}, post + WeVector{0.05f, top + 0.16f, 0.05f}, 0.01f,
                    AllFaces, 3);
        if (entrance)
            Pointer(mesh, out * 0.36f, out * -1.0f, 0.12f, 0.16f, top, 0.02f, 4);
        if (exit)
            Pointer(mesh, out * 0.24f, out, 0.12f, 0.16f, top, 0.02f, 4);
        mesh.AddRectangle(out * 0.27f + WeVector{0, top + 0.004f, 0}, kUp, out, 0.31f, 0.04f, 5);
    }
    mesh.AddRectangle({0, top + 0.003f, 0}, kUp, {0, 0, 1}, 0.2f, 0.2f, 2);
}

void Arrow(WeMeshBuilder& mesh)
{
    const std::vector<WeVector> shaft{{-0.08f, 0, 0}, {0.08f, 0, 0}, {0.08f, 0, 0.35f}, {-0.08f, 0, 0.35f}};
    const std::vector<WeVector> head{{-0.2f, 0, 0.35f}, {0.2f, 0, 0.35f}, {0, 0, 0.6f}};
    const std::vector<WeVector> outline{{-0.08f, 0, 0},    {0.08f, 0, 0}, {0.08f, 0, 0.35f},
                                        {0.2f, 0, 0.35f},  {0, 0, 0.6f},  {-0.2f, 0, 0.35f},
                                        {-0.08f, 0, 0.35f}};
    Slab(mesh, {shaft, head}, outline, -0.04f, 0.08f, 0);
}

// A horseshoe magnet standing over a block: two red legs joined at the top, silver tips below.
void HorseshoeMagnet(WeMeshBuilder& mesh)
{
    mesh.AddBox({-0.3f, 0.1f, -0.08f}, {0.3f, 0.25f, 0.08f}, 0.02f, AllFaces, 0);
    for (const float x : {-0.3f, 0.15f})
    {
        mesh.AddBox({x, -0.12f, -0.08f}, {x + 0.15f, 0.1f, 0.08f}, 0.02f, AllFaces, 0);
        mesh.AddBox({x, -0.25f, -0.08f}, {x + 0.15f, -0.12f, 0.08f}, 0.02f, AllFaces, 1);
    }
}

// The lines of the table's grid along x or z: its edge, the cells' seams, its other edge. Every
// face of the table takes its corners from these values, so that neighbouring faces share their
// edges exactly and leave no crack between them.
std::vector<float> TableLines()
{
    std::vector<float> lines{-kTableHalf};
    for (int32_t seam = 0; seam < kCells; ++seam)
        lines.push_back(float(seam) * kPitch - kCellsHalf);
    lines.push_back(kCellsHalf);
    lines.push_back(kTableHalf);
    return lines;
}

// The table's top, a quad per cell with the whole texture (subset 0), so that the texture draws
// the cells' grid and per-vertex lights fall on it cell by cell; its frame and the sides that fall
// to the ground (subset 1).
void Table(WeMeshBuilder& mesh)
{
    const std::vector<float> lines = TableLines();
    const size_t last = lines.size() - 1;
    for (size_t i = 0; i < last; ++i)
        for (size_t j = 0; j < last; ++j)
        {
            const float x0 = lines[i], x1 = lines[i + 1], z0 = lines[j], z1 = lines[j + 1];
            const bool frame = i == 0 || j == 0 || i + 1 == last || j + 1 == last;
            mesh.AddFace({{{x0, kTableTop, z1}, 0, 0},
                          {{x1, kTableTop, z1}, 1, 0},
                          {{x1, kTableTop, z0}, 1, 1},
                          {{x0, kTableTop, z0}, 0, 1}},
                         kUp, frame ? 1 : 0);
        }
    for (size_t i = 0; i < last; ++i)
        for (const float side : {-kTableHalf, kTableHalf})
        {
            const float a = lines[i], b = lines[i + 1];
            mesh.AddFace(
                {{{a, kTableTop, side}}, {{b, kTableTop, side}}, {{b, kGround, side}}, {{a, kGround, side}}},
                {0, 0, side}, 1);
            mesh.AddFace(
                {{{side, kTableTop, a}}, {{side, kTableTop, b}}, {{side, kGround, b}}, {{side, kGround, a}}},
                {side, 0, 0}, 1);
        }
}

// The ground around the table out to the half size, about a hole a little inside the table's
// sides, so that the ground runs on under the table's frame and meets its sides without a seam to
// show through: squares of 4 units near the table, dense enough for per-vertex lights to fall on
// it smoothly, then growing away from it. Few and wide faces, as a software rasteriser shades
// every block of pixels a face's edge crosses once for each face. Its texture coordinates span
// the whole square, the table's place included, u along x and v along z as the map tool bakes
// light maps.
void Ground(WeMeshBuilder& mesh)
{
    constexpr float hole = kTableHalf - 0.3f;
    std::vector<float> outside{hole};
    for (const float step : {4.0f, 4.0f, 4.0f, 4.0f, 4.0f, 4.0f, 4.0f, 8.0f, 16.0f, 24.0f})
        outside.push_back(outside.back() + step);
    outside.push_back(kGroundHalf);
    std::vector<float> lines;
    for (auto line = outside.rbegin(); line + 1 != outside.rend(); ++line)
        lines.push_back(-*line);
    for (int32_t part = 0; part < 4; ++part)
        lines.push_back(-hole + hole * 0.5f * float(part));
    lines.insert(lines.end(), outside.begin(), outside.end());
    const auto corner = [](float x, float z)
    {
        return WeMeshBuilder::Corner{{x, kGround, z},
                                     (x + kGroundHalf) / (2.0f * kGroundHalf),
                                     (z + kGroundHalf) / (2.0f * kGroundHalf)};
    };
    const auto inHole = [](float low, float high) { return low >= -hole && high <= hole; };
    for (size_t i = 0; i + 1 < lines.size(); ++i)
        for (size_t j = 0; j + 1 < lines.size(); ++j)
        {
            const float x0 = lines[i], x1 = lines[i + 1], z0 = lines[j], z1 = lines[j + 1];
            if (inHole(x0, x1) && inHole(z0, z1))
                continue;
            mesh.AddFace({corner(x0, z0), corner(x1, z0), corner(x1, z1), corner(x0, z1)}, kUp, 0);
        }
}

// A sky dome of the engine's sky mesh size (10 across).
void SkyDome(WeMeshBuilder& mesh)
{
    mesh.AddDome(5.0f, WeMeshBuilder::skyDomeRim, 12, 32, 0);
}

struct Model
{
    const char* assetName;
    std::function<void(WeMeshBuilder&)> build;
    MaterialSets sets;
};

bool Write(const fs::path& folder, const Model& model)
{
    WeMeshBuilder builder;
    model.build(builder);
    auto mesh = std::make_unique<WeMesh>();
    mesh->path = model.assetName;
    int32_t setCount = 0;
    for (const auto& [set, names] : model.sets)
    {
        for (size_t subset = 0; subset < names.size(); ++subset)
            mesh->sets[set].names[subset] = names[subset];
        setCount = std::max(setCount, set + 1);
    }
    const std::string name = model.assetName;
    const size_t first = name.find('.'), second = name.find('.', first + 1);
    const fs::path path = folder / name.substr(0, first) / name.substr(first + 1, second - first - 1) /
                          (name.substr(second + 1) + ".mesh");
    std::error_code ignored;
    fs::create_directories(path.parent_path(), ignored);
    WeFileStream stream;
    if (!builder.Build(*mesh) || !stream.Create(path.c_str()) ||
        !WeMeshBuilder::WriteRecord(*mesh, setCount, stream) || !stream.Close())
    {
        std::fprintf(stderr, "make_meshes: %s: %s\n", model.assetName,
                     builder.GetLastError().empty() ? "cannot be written" : builder.GetLastError().c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: make_meshes <package folder>\n");
        return 2;
    }
    const char* const plain = "Config.Assets.Default";
    const char* const debug = "Config.Assets.Debug";
    const Model models[] = {
        {"Config.Assets.Box",
         [](WeMeshBuilder& m) {
             m.AddBox({-1, -1, -1}, {1, 1, 1}, 0.0f, AllFaces, 0);
         },
         {{0, {plain}}}},
        {"Config.Assets.Box1m",
         [](WeMeshBuilder& m) {
             m.AddBox({-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f}, 0.0f, AllFaces, 0);
         },
         {{0, {plain}}}},
        {"Config.Assets.Sphere1m",
         [](WeMeshBuilder& m) {
             m.AddSphere({0, 0, 0}, 0.5f, 12, 24, 0);
         },
         {{0, {plain}}}},
        {"Config.Assets.PathNode",
         [](WeMeshBuilder& m) {
             m.AddSphere({0, 0, 0}, 0.25f, 4, 4, 0);
         },
         {{0, {debug}}}},
        {"Config.Assets.Light",
         [](WeMeshBuilder& m)
         {
             m.AddSphere({0, 0.1f, 0}, 0.2f, 8, 12, 0);
             m.AddTube({0, -0.25f, 0}, 0.08f, 0.2f, 8, 1, 0);
         },
         {{0, {debug}}}},
        {"Config.Assets.gizmo", Gizmo, {{0, {debug}}}},
        {"Ingame.Models.Block",
         [](WeMeshBuilder& m) { Block(m, 0, 0); },
         {{0, {"Ingame.Materials.block"}},
          {2, {"Ingame.Materials.block_u"}},
          {3, {"Ingame.Materials.block_stone"}},
          {5, {"Ingame.Materials.block_p"}},
          {6, {"Ingame.Materials.block_ghost"}}}},
        {"Ingame.Models.block_number",
         [](WeMeshBuilder& m) { Block(m, 0, 1); },
         {{0, {"Ingame.Materials.number_face", "Ingame.Materials.number_body"}},
          {1, {"Ingame.Materials.block_j_face", "Ingame.Materials.block_j"}}}},
        {"Ingame.Models.block_wall",
         [](WeMeshBuilder& m) { Block(m, 0, 0); },
         {{0, {"Ingame.Materials.wall"}}}},
        {"Ingame.Models.block_disappearing",
         [](WeMeshBuilder& m) { Block(m, 0, 0); },
         {{0, {"Ingame.Materials.block_disappearing"}}}},
        {"Ingame.Models.block_magnet_h",
         [](WeMeshBuilder& m) {
             Magnet(m, {-1, 0, 0});
         },
         {{0, {"Ingame.Materials.magnet_body", "Ingame.Materials.magnet_pole"}}}},
        {"Ingame.Models.block_magnet_d",
         [](WeMeshBuilder& m) {
             Magnet(m, {1, 0, 1});
         },
         {{0, {"Ingame.Materials.magnet_body", "Ingame.Materials.magnet_pole"}}}},
        {"Ingame.Models.block_track",
         Track,
         {{0, {"Ingame.Materials.track", "Ingame.Materials.track_rails"}},
          {1, {"Ingame.Materials.track", "Ingame.Materials.track_moving_back"}},
          {2, {"Ingame.Materials.track", "Ingame.Materials.track_moving_on"}}}},
        {"Ingame.Models.block_track_end", TrackEnd, {{0, {"Ingame.Materials.track_end"}}}},
        {"Ingame.Models.magnet",
         HorseshoeMagnet,
         {{0, {"Ingame.Materials.magnet_red", "Ingame.Materials.magnet_tips"}}}},
        {"Maps.Models.table",
         Table,
         {{0, {"Maps.Materials.table_day", "Maps.Materials.table_edge_day"}},
          {1, {"Maps.Materials.table_evening", "Maps.Materials.table_edge_evening"}}}},
        {"Maps.Models.ground",
         Ground,
         {{0, {"Maps.Materials.ground_day"}}, {1, {"Maps.Materials.ground_evening"}}}},
        // The maps' skies, each on a dome whose material takes its map's sky texture.
        {"Maps.Models.sky_day", SkyDome, {{0, {"Maps.Materials.sky_day"}}}},
        {"Maps.Models.sky_evening", SkyDome, {{0, {"Maps.Materials.sky_evening"}}}},
        {"Ingame.Models.arrow",
         Arrow,
         {{0, {"Ingame.Materials.arrow"}},
          {1, {"Ingame.Materials.arrow_hover"}},
          {5, {"Ingame.Materials.arrow_picker"}}}},
    };
    const std::vector<const char*> teleportMaterials{
        "Ingame.Materials.teleport_plate",  "Ingame.Materials.teleport_rim",
        "Ingame.Materials.teleport_pad",    "Ingame.Materials.teleport_post",
        "Ingame.Materials.teleport_marker", "Ingame.Materials.teleport_glow"};
    const Model teleports[] = {
        {"Ingame.Models.block_teleport",
         [](WeMeshBuilder& m) { Teleport(m, true, false); },
         {{0, teleportMaterials}}},
        {"Ingame.Models.block_teleport_o",
         [](WeMeshBuilder& m) { Teleport(m, false, true); },
         {{0, teleportMaterials}}},
        {"Ingame.Models.block_teleport_o_i",
         [](WeMeshBuilder& m) { Teleport(m, true, true); },
         {{0, teleportMaterials}}},
    };
    const fs::path folder(argv[1]);
    for (const Model& model : models)
        if (!Write(folder, model))
            return 1;
    for (const Model& model : teleports)
        if (!Write(folder, model))
            return 1;
    return 0;
}
