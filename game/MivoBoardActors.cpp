// The play phase's board actors: the actor that shows each block (model, material set, place,
// turn, teleport colour), the blocks' places on the grid, picking under the mouse, and the move
// arrows around a selected block.
#include "MivoBoard.h"
#include "MivoGame.h"
#include "MivoGameCamera.h"
#include "MivoGameScene.h"
#include "MivoPlayGamePhase.h"
#include "MivoUserData.h"
#include "WeColor.h"
#include "WeConfig.h"
#include "WeInput.h"
#include "WeMesh.h"
#include "WeParticleSystem.h"
#include "WeRandom.h"
#include "WeTimer.h"

#include <algorithm>

using namespace d3dx;

namespace
{

constexpr float kPi = 3.14159265f;

bool IsKind(const MivoBlock* block, std::initializer_list<MivoBlockKind> kinds)
{
    if (!block)
        return false;
    for (const MivoBlockKind kind : kinds)
        if (block->kind == kind)
            return true;
    return false;
}

// The kinds the player moves: arrows are grown for them and they are pickable.
bool HasArrows(const MivoBlock* block)
{
    using K = MivoBlockKind;
    return IsKind(block, {K::Number, K::Plus, K::Minus, K::Hardening, K::Joker, K::Plain});
}

// ARGB defaults of the eight teleport groups: yellow, magenta, cyan, blue, red, green, violet,
// orange.
constexpr uint32_t kTeleportDefaults[8] = {0xFFFFFF00u, 0xFFFF00FFu, 0xFF00FFFFu, 0xFF0000FFu,
                                           0xFFFF0000u, 0xFF00FF00u, 0xFF8000FFu, 0xFFFF8000u};

} // namespace

WeString MivoPlayGamePhase::BlockModelKey(const MivoBlock* block, int32_t part)
{
    using K = MivoBlockKind;
    if (!block)
        return "Ingame.Models.Block";
    const MivoTeleportData& teleport = block->teleport;
    switch (block->kind)
    {
    case K::Number:
    case K::Plus:
    case K::Minus:
    case K::Joker:
        return "Ingame.Models.block_number";
    case K::Magnet:
        return block->magnetDirection % 2 ? "Ingame.Models.block_magnet_h" : "Ingame.Models.block_magnet_d";
    case K::Teleport:
        if (teleport.entrance && teleport.exit)
            return "Ingame.Models.block_teleport_o_i";
        return teleport.exit ? "Ingame.Models.block_teleport_o" : "Ingame.Models.block_teleport";
    case K::Track:
        return part == 0 ? "Ingame.Models.block_track" : "Ingame.Models.block_track_end";
    case K::Wall:
        return block->converted ? "Ingame.Models.Block" : "Ingame.Models.block_wall";
    case K::Disappearing:
        return "Ingame.Models.block_disappearing";
    default:
        return "Ingame.Models.Block";
    }
}

int32_t MivoPlayGamePhase::BlockMaterialIndex(const MivoBlock* block, int32_t part) const
{
    return MaterialIndexOn(table, block, part);
}

int32_t MivoPlayGamePhase::MaterialIndexOn(MivoMapTable* tracked, const MivoBlock* block, int32_t part)
{
    using K = MivoBlockKind;
    if (!block)
        return 0;
    switch (block->kind)
    {
    case K::Number:
        return 4 * block->number + 26;
    case K::Plus:
        return 100;
    case K::Minus:
        return 104;
    case K::Track:
    {
        const MivoTrack* track = part == 0 && tracked ? tracked->FindTrack(block->trackId) : nullptr;
        const int32_t direction = track ? track->direction : 0;
        return direction == 1 || direction == 7 ? 1 : direction == 3 || direction == 5 ? 2 : 0;
    }
    case K::Hardening:
        return 2;
    case K::Joker:
        return 1;
    case K::Wall:
        return block->converted ? 3 : 110;
    case K::Plain:
        return 5;
    default:
        return 0;
    }
}

float MivoPlayGamePhase::BlockTurn(const MivoBlock& block, int32_t part) const
{
    switch (block.kind)
    {
    case MivoBlockKind::Track:
    {
        const MivoTrack* track = table ? table->FindTrack(block.trackId) : nullptr;
        const float turn = track && track->vertical ? kPi / 2.0f : 0.0f;
        return part == 2 ? turn + kPi : turn;
    }
    case MivoBlockKind::Magnet:
    {
        const int32_t d = block.magnetDirection;
        return float(d % 2 ? (d - 7) / 2 : (d - 2) / 2) * kPi / 2.0f;
    }
    case MivoBlockKind::Wall:
        return float((WeRand() * 4) >> 15) * kPi / 2.0f;
    default:
        return 0.0f;
    }
}

WeColor MivoPlayGamePhase::TeleportColor(int32_t group) const
{
    if (group < 1 || group > 8)
        return {1.0f, 1.0f, 1.0f, 1.0f};
    const uint32_t c = teleportColors[group - 1];
    const auto channel = [c](int shift) { return float(c >> shift & 0xFFu) / 255.0f; };
    return {channel(16), channel(8), channel(0), channel(24)};
}

int32_t MivoPlayGamePhase::TutorialOfKind(int32_t kind)
{
    // By kind 0..11: N + - M T R U J W P D.
    static constexpr int32_t tutorials[12] = {-1, 0, 1, 2, 7, 9, 8, 6, 3, -1, 4, 5};
    return kind >= 0 && kind < 12 ? tutorials[kind] : -1;
}

void MivoPlayGamePhase::LayoutBlocks()
{
    if (table)
        table->LayOut(kCellPitch, boardCentreX, boardCentreZ);
}

void MivoPlayGamePhase::BuildBoard()
{
    table = nullptr;
    if (!scene || !board)
        return;
    WeSceneConfig& config = scene->config;
    config.clearBackground = true;
    static const bool& ownLook = WeConfig::GetBool("Mivo.Render.BrightnessContrast", true);
    if (ownLook)
    {
        config.Brightness = 0.0f;
        config.Contrast = 0.0f;
    }
    config.Brightness += gameApp.brightness - 0.5f;
    config.SetupRenderDevice();

    database = LevelDatabase(gameApp.mapToPlay);
    table = database ? database->Table(TableNumber(gameApp.mapToPlay)) : nullptr;
    if (table)
        PlaceBoard();
}

int32_t MivoPlayGamePhase::TableNumber(int32_t mapId)
{
    return mapId - mapId / 1000 * 1000;
}

std::unique_ptr<MivoMapDatabase> MivoPlayGamePhase::LevelDatabase(int32_t mapId)
{
    if (TableNumber(mapId) < 1)
        return nullptr;
    return MivoMapDatabase::Load(MivoMapDatabase::FileName(std::min(mapId / 1000, 999)));
}

float MivoPlayGamePhase::BoardCentre(int32_t cells)
{
    return (float(cells) * 0.5f - 0.5f) * kCellPitch;
}

void MivoPlayGamePhase::RehearseBoard()
{
    const std::unique_ptr<MivoMapDatabase> source = LevelDatabase(gameApp.mapToPlay);
    MivoMapTable* rehearsed = source ? source->Table(TableNumber(gameApp.mapToPlay)) : nullptr;
    if (!rehearsed || !scene)
        return;
    BuildBlockMaterials();
    rehearsed->LayOut(kCellPitch, BoardCentre(rehearsed->width), BoardCentre(rehearsed->height));
    const auto stage = [this, rehearsed](const MivoBlock& block, int32_t part)
    {
        std::unique_ptr<MivoActor> actor = BlockLook(rehearsed, block, part);
        const WeVector at{block.x, BlockHeight(block), -block.y};
        actor->SetLocation(at);
        level.rehearsal.push_back(actor.get());
        scene->AddActor(actor.release());
        // The glow stands on its own: its actor's end would leave it to the scene's next tick.
        if (block.kind == MivoBlockKind::Teleport && part == 0)
            if (WeParticleSystem* glow = SpawnTeleportGlow(nullptr, at))
                level.rehearsal.push_back(glow);
    };
    rehearsed->ForEachCell(
        [&stage](const MivoMapCell& cell)
        {
            for (const MivoBlock* block : {cell.floor.get(), cell.top.get()})
                if (block)
                    stage(*block, 0);
        });
    ForEachTrackEnd(*rehearsed, stage);
}

void MivoPlayGamePhase::DropRehearsal()
{
    for (WeActor* actor : level.rehearsal)
        delete actor; // which takes it out of the scene
    level.rehearsal.clear();
}

void MivoPlayGamePhase::PlaceBoard()
{
    for (int32_t g = 0; g < 8; ++g)
        teleportColors[g] = uint32_t(WeConfig::GetInt(WeString("Mivo.Teleports.Color").AppendInt(g + 1),
                                                      int32_t(kTeleportDefaults[g])));
    boardCentreX = BoardCentre(table->width);
    boardCentreZ = BoardCentre(table->height);
    LayoutBlocks();
    board->SetTable(table);

    static constexpr int32_t order[kTutorialCount] = {10, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::copy(std::begin(order), std::end(order), level.tutorialOrder);
    std::fill(std::begin(level.tutorialPending), std::end(level.tutorialPending), uint8_t(0));
    level.tutorialPending[10] = 1;
    table->ForEachCell(
        [this](MivoMapCell& cell)
        {
            for (MivoBlock* block : {cell.floor.get(), cell.top.get()})
            {
                if (!block)
                    continue;
                if (const int32_t tutorial = TutorialOfKind(int32_t(block->kind)); tutorial >= 0)
                    level.tutorialPending[tutorial] = 1;
                MivoActor* actor = CreateBlockActor(block->x, -block->y, block, 0, true, HasArrows(block));
                if (actor && block == cell.floor.get() && block->kind == MivoBlockKind::Teleport)
                    block->presentation[kGlowWord] =
                        reinterpret_cast<std::uintptr_t>(SpawnTeleportGlow(actor, {0.0f, 0.0f, 0.0f}));
            }
        });
    CreateTrackEnds();
}

void MivoPlayGamePhase::CreateTrackEnds()
{
    ForEachTrackEnd(*table, [this](MivoBlock& floor, int32_t part)
                    { CreateBlockActor(floor.x, -floor.y, &floor, part, false, false); });
}

void MivoPlayGamePhase::ForEachTrackEnd(const MivoMapTable& tracked,
                                        const std::function<void(MivoBlock& floor, int32_t part)>& visit)
{
    for (const MivoTrack& track : tracked.tracks)
    {
        for (const int32_t part : {1, 2})
        {
            const int32_t i = part == 1 ? 0 : track.length - 1;
            const MivoMapCell* cell = tracked.Cell(track.CellX(i), track.CellY(i));
            if (cell && cell->floor)
                visit(*cell->floor, part);
        }
    }
}

float MivoPlayGamePhase::BlockHeight(const MivoBlock& block)
{
    static const float& baseLayerY = WeConfig::GetFloat("Mivo.Blocks.BaseLayerY", 0.0f);
    const bool floor = block.kind == MivoBlockKind::Track || block.kind == MivoBlockKind::Teleport;
    return floor ? baseLayerY : 0.0f;
}

std::unique_ptr<MivoActor> MivoPlayGamePhase::BlockLook(MivoMapTable* tracked, const MivoBlock& block,
                                                        int32_t part) const
{
    auto actor = std::make_unique<MivoActor>();
    actor->model.reset(modelManager.Load(BlockModelKey(&block, part), WeMesh::allSets));
    actor->materialPreset = MaterialIndexOn(tracked, &block, part);
    if (block.kind == MivoBlockKind::Teleport && actor->model)
    {
        const WeColor colour = TeleportColor(block.teleport.group);
        const float rgba[4] = {colour.r, colour.g, colour.b, colour.a};
        std::copy(std::begin(rgba), std::end(rgba), actor->model->colour);
        // Only the group's ring takes the colour.
        if (WeMesh* mesh = actor->model->mesh)
            std::fill(mesh->sets[0].tinted, mesh->sets[0].tinted + 5, false);
    }
    return actor;
}

MivoActor* MivoPlayGamePhase::CreateBlockActor(float x, float z, MivoBlock* block, int32_t part, bool own,
                                               bool pickable)
{
    if (!block || !scene)
        return nullptr;
    std::unique_ptr<MivoActor> actor = BlockLook(table, *block, part);
    actor->SetLocation({x, BlockHeight(*block), z});
    actor->SetRotation(D3DXQuaternionRotationAxis({0.0f, 1.0f, 0.0f}, BlockTurn(*block, part)));
    MivoActor* placed = actor.release();
    scene->AddActor(placed);
    if (own)
    {
        block->presentation[kActorWord] = reinterpret_cast<std::uintptr_t>(placed);
        level.blocks.push_back(block);
    }
    if (pickable)
        level.pickableBlocks.push_back(block);
    return placed;
}

void MivoPlayGamePhase::SyncBlockActors()
{
    for (auto it = level.pickableBlocks.rbegin(); it != level.pickableBlocks.rend(); ++it)
        if (MivoActor* actor = MivoActorOf(*it); actor && !actor->busy)
            actor->SetLocation({(*it)->x, 0.0f, -(*it)->y});
    if (board)
        board->ResolveMagnets(false);
}

bool MivoPlayGamePhase::ProbeBlock(const WeVector& centre, const WeVector& origin, const WeVector& direction)
{
    const WeVector half{kPickHalfSize, kPickHalfSize, kPickHalfSize};
    return D3DXBoxBoundProbe(centre - half, centre + half, origin, direction);
}

bool MivoPlayGamePhase::RayNearBlock(const WeVector& centre, const WeVector& origin,
                                     const WeVector& direction)
{
    // Plain arithmetic: this runs for every block a pick passes.
    const float x = centre.x - origin.x, y = centre.y - origin.y, z = centre.z - origin.z;
    const float cx = y * direction.z - z * direction.y, cy = z * direction.x - x * direction.z,
                cz = x * direction.y - y * direction.x;
    const float acrossSquared = cx * cx + cy * cy + cz * cz;
    const float lengthSquared =
        direction.x * direction.x + direction.y * direction.y + direction.z * direction.z;
    // Beyond the corners' distance, with a margin that keeps rounding on the side of probing;
    // NaN (no direction) probes too.
    const float cornerSquared =
        3.0f * kPickHalfSize * kPickHalfSize * 1.001f + (x * x + y * y + z * z) * 1e-10f;
    return !(acrossSquared > cornerSquared * lengthSquared);
}

int32_t MivoPlayGamePhase::ArrowUnderRay(const WeVector& centre, const WeVector& origin,
                                         const WeVector& direction)
{
    const Plane floor = D3DXPlaneFromPointNormal({0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f});
    WeVector point;
    if (!D3DXPlaneIntersectLine(&point, floor, origin, origin + direction * 100.0f))
        return -1;
    return MivoArrowSet::Quadrant(point.x - centre.x, point.z - centre.z);
}

void MivoPlayGamePhase::PickBlock(WeActor*& actor, MivoBlock*& block)
{
    actor = nullptr;
    block = nullptr;
    if (!scene || !camera)
        return;
    int32_t cursorX = 0, cursorY = 0;
    input.GetCursorPosition(&cursorX, &cursorY);
    WeVector origin, direction;
    camera->GetPickRay(float(cursorX), float(cursorY), origin, direction);
    origin = origin + direction;

    if (const MivoArrowSet* set = CurrentArrows(); set && level.selectedActor)
    {
        const WeVector centre = level.selectedActor->GetWorldPosition();
        if (ProbeBlock(centre, origin, direction))
            actor = level.selectedActor;
        else if (const int32_t arrow = ArrowUnderRay(centre, origin, direction); arrow >= 0)
            actor = set->arrows[arrow].actor;
        return;
    }
    float best = 1000000.0f;
    for (auto it = level.blocks.rbegin(); it != level.blocks.rend(); ++it)
    {
        MivoActor* candidate = MivoActorOf(*it);
        if (!candidate)
            continue;
        const WeVector centre = candidate->GetWorldPosition();
        if (!RayNearBlock(centre, origin, direction) || !ProbeBlock(centre, origin, direction))
            continue;
        const WeVector apart = centre - origin;
        const float distance = D3DXVec3Dot(apart, apart);
        if (distance < best)
        {
            best = distance;
            actor = candidate;
            block = *it;
        }
    }
}

MivoArrowSet* MivoPlayGamePhase::CurrentArrows() const
{
    const std::vector<std::unique_ptr<MivoArrowSet>>& sets = level.arrowSets;
    return !sets.empty() && sets.back()->wanted ? sets.back().get() : nullptr;
}

void MivoPlayGamePhase::CreateArrows(MivoBlock* block)
{
    MivoActor* actor = MivoActorOf(block);
    if (!actor || !scene)
        return;
    level.selectedActor = actor;
    auto set = std::make_unique<MivoArrowSet>(actor->GetWorldPosition());
    for (int32_t i = 0; HasArrows(block) && i < 4; ++i)
    {
        if (!board->CanMove(block, 2 * i + 1, true))
            continue;
        auto arrow = std::make_unique<MivoActor>();
        arrow->model.reset(modelManager.Load("Ingame.Models.arrow", 0));
        if (arrow->model)
            arrow->model->LoadMaterials(1);
        arrow->physicModel.type = WePhysicModel::dynamicTriangleMesh;
        arrow->visible = false;
        arrow->arrowSet = set.get();
        arrow->arrowIndex = i;
        set->arrows[i].actor = arrow.get();
        scene->AddActor(arrow.release());
    }
    set->wanted = true;
    level.arrowSets.push_back(std::move(set));
}

void MivoPlayGamePhase::ClearSelection()
{
    if (level.selectedActor && level.selectedActor->model)
        std::fill(std::begin(level.selectedActor->model->colour),
                  std::end(level.selectedActor->model->colour), 1.0f);
    level.selectedActor = nullptr;
    for (const std::unique_ptr<MivoArrowSet>& set : level.arrowSets)
        set->wanted = false;
}

void MivoPlayGamePhase::AnimateArrows(MivoArrowSet& set)
{
    const uint32_t changes = set.Advance(timer.deltaTime);
    for (const MivoArrowSet::Arrow& arrow : set.arrows)
    {
        MivoActor* actor = arrow.actor;
        if (!actor)
            continue;
        if (changes & MivoArrowSet::Showed)
            actor->visible = true;
        if (changes & MivoArrowSet::Placed)
            actor->SetLocationAndRotation(arrow.position, arrow.rotation);
        if (changes & MivoArrowSet::Rescaled)
            actor->SetScale(arrow.scale);
        if (changes & MivoArrowSet::Hid)
            actor->visible = false;
    }
}

void MivoPlayGamePhase::KillArrows(MivoArrowSet& set)
{
    for (MivoArrowSet::Arrow& arrow : set.arrows)
    {
        if (!arrow.actor)
            continue;
        if (arrow.actor->parent)
            arrow.actor->Detach();
        arrow.actor->Kill();
        arrow.actor = nullptr;
    }
}

void MivoPlayGamePhase::RefreshBlockLook(MivoBlock* block)
{
    MivoActor* actor = MivoActorOf(block);
    if (!actor)
        return;
    const WeString key = BlockModelKey(block, 0);
    if (key != actor->GetModelName())
        actor->model.reset(modelManager.Load(key, WeMesh::allSets));
    actor->materialPreset = BlockMaterialIndex(block, 0);
}

void MivoPlayGamePhase::ForgetBlock(MivoBlock* block)
{
    MivoActor* actor = MivoActorOf(block);
    if (!actor)
        return;
    if (actor == level.selectedActor)
        ClearSelection();
    if (actor == level.pulsingActor)
        level.pulsingActor = nullptr;
    if (const auto faded = std::find(level.fadeList.begin(), level.fadeList.end(), actor);
        faded != level.fadeList.end())
        level.fadeList.erase(faded);
    if (actor->parent)
        actor->Detach();
    actor->Kill();
    actor->slideTrail = nullptr;
    block->presentation[kActorWord] = 0;
    std::erase(level.blocks, block);
    std::erase(level.pickableBlocks, block);
}
