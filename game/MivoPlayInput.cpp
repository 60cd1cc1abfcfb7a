// The play phase's input: Escape and F2, the camera on keys, the right button and the wheel,
// pointing at blocks, picking one and moving it by releasing over one of its arrows, the number
// picker over an entrance teleport, and the developer keys.
#include "MivoBoard.h"
#include "MivoGameCamera.h"
#include "MivoGameScene.h"
#include "MivoPlayGamePhase.h"
#include "MivoScreen.h"
#include "MivoUserData.h"
#include "WeAudioDevice.h"
#include "WeConfig.h"
#include "WeInput.h"
#include "WeMesh.h"
#include "WeTimer.h"
#include "WeUIMain.h"

#include <algorithm>
#include <cmath>

namespace
{

// DirectInput key codes.
constexpr int32_t kEscapeKey = 1, kFirstDigitKey = 2, kF2Key = 0x3C, kF3Key = 0x3D, kF4Key = 0x3E;
constexpr int32_t kPageUpKey = 0xC9, kPageDownKey = 0xD1;
constexpr int32_t kLeftButton = 0, kRightButton = 1;
constexpr int32_t kPresetCount = 7;

// The camera views on keys 1 to 7: horizontal angle, vertical angle, distance.
constexpr float kPresets[kPresetCount][MivoGameCamera::axisCount] = {
    {0.0f, 89.0f, 19.0f},   {0.0f, 89.0f, 16.0f},  {0.0f, 60.0f, 13.5f},  {15.0f, 75.0f, 16.0f},
    {-15.0f, 75.0f, 16.0f}, {45.0f, 90.0f, 20.0f}, {-45.0f, 90.0f, 20.0f}};

// The blocks a picker offers, besides the numbers, to a teleport that lets others through.
struct PickerExtra
{
    const char* model;
    int32_t materialSet;
};
constexpr PickerExtra kPickerExtras[] = {{"Ingame.Models.block_number", 100},
                                         {"Ingame.Models.block_number", 104},
                                         {"Ingame.Models.Block", 2},
                                         {"Ingame.Models.block_number", 1},
                                         {"Ingame.Models.Block", 5}};

const char* const kSelectSound = "Sound.Effects.mi_izbor";

WeActor* MakeActor(const WeString& model, int32_t materialSet)
{
    auto actor = std::make_unique<WeActor>();
    actor->model.reset(modelManager.Load(model, materialSet));
    actor->materialPreset = materialSet;
    actor->SetScale({0.0f, 0.0f, 0.0f}); // the picker grows it
    return actor.release();
}

} // namespace

void MivoPlayGamePhase::HandleInput()
{
    level.pickerTouched = false;
    if (const WeUIComponent* tutorial = MivoFindWidget("IngameTutorialWindow");
        tutorial && tutorial->visible && input.UseKeyClicked(kEscapeKey))
        SendEvent(kTutorialOkId);
    if (phaseStack.GetTop() != this)
        return;
    if (input.UseKeyClicked(kEscapeKey))
        SendEvent(kPauseId);
    if (!playing)
        return;
    if (input.UseKeyClicked(kF2Key))
        SendEvent(kAbandonId);
    const float dt = timer.deltaTime;
    SteerCamera(dt);
    if (board->IsAtRest())
        PointAndMove();
    previousLeftButton = input.MousePressed(kLeftButton);
    DeveloperKeys();
}

void MivoPlayGamePhase::SteerCamera(float dt)
{
    static const float& angleHInput = WeConfig::GetFloat("Mivo.Camera.AngleHInput", 5.0f);
    static const float& angleVInput = WeConfig::GetFloat("Mivo.Camera.AngleVInput", 5.0f);
    static const float& distanceInput = WeConfig::GetFloat("Mivo.Camera.DistanceInput", 0.25f);
    for (int32_t preset = 0; preset < kPresetCount; ++preset)
    {
        if (!input.UseKeyClicked(kFirstDigitKey + preset))
            continue;
        for (int32_t axis = 0; axis < MivoGameCamera::axisCount; ++axis)
        {
            const float now = camera->bases[axis] + camera->offsets[axis];
            camera->bases[axis] = kPresets[preset][axis];
            camera->offsets[axis] = now - kPresets[preset][axis];
            camera->targets[axis] = 0.0f;
        }
    }
    const bool turning = input.MousePressed(kRightButton);
    const float dx = turning ? float(input.mouseMovedX) * dt : 0.0f;
    const float dy = turning ? float(input.mouseMovedY) * dt : 0.0f;
    float dz = float(input.mouseMovedZ) * dt;
    if (input.KeyPressed(kPageDownKey))
        dz -= dt * 10.0f;
    if (input.KeyPressed(kPageUpKey))
        dz += dt * 10.0f;
    constexpr float kDeadZone = 0.0001f;
    if (std::fabs(dx) > kDeadZone || std::fabs(dy) > kDeadZone || std::fabs(dz) > kDeadZone)
        camera->MoveTarget(dx * angleHInput, dy * angleVInput, -(dz * distanceInput));
}

void MivoPlayGamePhase::PointAndMove()
{
    WeActor* picked = nullptr;
    MivoBlock* block = nullptr;
    PickBlock(picked, block);
    // Only block and arrow actors are ever picked, and both are game actors.
    MivoActor* actor = static_cast<MivoActor*>(picked);

    if (level.hoveredArrow)
        level.hoveredArrow->materialPreset = 0;
    level.hoveredArrow = nullptr;
    if (actor && actor->arrowIndex >= 0)
    {
        actor->materialPreset = 1;
        level.hoveredArrow = actor;
    }

    if (level.pulsingActor && level.pulsingActor != actor)
    {
        if (std::find(level.fadeList.begin(), level.fadeList.end(), level.pulsingActor) ==
            level.fadeList.end())
            level.fadeList.push_back(level.pulsingActor);
        level.pulsingActor = nullptr;
    }
    const bool selectable = actor && block && block->IsSelectable();
    if (selectable && !level.pulsingActor)
    {
        std::erase(level.fadeList, actor);
        level.pulsingActor = actor;
        level.pulseTime = actor->model ? actor->model->colour[1] : 0.0f;
    }

    if (actor && block && block->kind == MivoBlockKind::Teleport && block->teleport.entrance)
    {
        if (!level.pickerBlock)
            OpenPicker(block, actor);
        level.pickerTouched = level.pickerTouched || level.pickerBlock == block;
    }

    const bool left = input.MousePressed(kLeftButton);
    if (left && !previousLeftButton)
    {
        if (board->selected)
        {
            board->selected = nullptr;
            ClearSelection();
        }
        if (selectable)
        {
            WePlaySound(kSelectSound);
            board->Select(block);
            CreateArrows(block);
        }
        return;
    }
    if (left)
        return;
    if (previousLeftButton && CurrentArrows() && actor && actor->arrowIndex >= 0)
    {
        level.hoveredArrow = nullptr;
        const int32_t direction = 2 * actor->arrowIndex + 1;
        if (board->CanMove(board->selected, direction, true))
        {
            ClearSelection();
            board->TryMove(board->selected, direction, false);
            board->selected = nullptr;
        }
        return;
    }
    if (board->selected)
    {
        WePlaySound(kSelectSound);
        board->selected = nullptr;
        ClearSelection();
    }
}

void MivoPlayGamePhase::OpenPicker(MivoBlock* block, MivoActor* actor)
{
    level.pickerBlock = block;
    level.pickerBlockActor = actor;
    level.pickerActors.clear();
    level.pickerTime = 0.0f;
    const MivoTeleportData& teleport = block->teleport;
    const bool all =
        teleport.acceptsOthers && std::all_of(teleport.acceptsNumber.begin(), teleport.acceptsNumber.end(),
                                              [](uint8_t accepts) { return accepts != 0; });
    if (!all)
    {
        for (int32_t n = 1; n <= 9; ++n)
            if (teleport.acceptsNumber[size_t(n - 1)])
                level.pickerActors.push_back(MakeActor("Ingame.Models.block_number", 4 * n + 26));
        if (teleport.acceptsOthers)
            for (const PickerExtra& extra : kPickerExtras)
                level.pickerActors.push_back(MakeActor(extra.model, extra.materialSet));
    }
    for (WeActor* ring : level.pickerActors)
        scene->AddActor(ring);
    // Drawn in the arrow model's picker material set.
    level.pickerArrow = MakeActor("Ingame.Models.arrow", 5);
    level.pickerArrow->visible = false;
    scene->AddActor(level.pickerArrow);
    level.pickerOpen = true;
}

void MivoPlayGamePhase::DeveloperKeys()
{
    if (input.ctrl && input.alt && !input.shift)
    {
        if (input.UseKeyClicked(kF3Key))
        {
            board->Clear();
            SendEvent(kWonId);
        }
        if (input.UseKeyClicked(kF4Key))
        {
            board->Clear();
            SendEvent(kLostOnTimeId);
        }
    }
    MivoUser* user = userData.CurrentUser();
    if (userData.gameMode != MivoModeSkill || !user || !input.ctrl || input.shift)
        return;
    for (int32_t cube = 1; cube <= kCubeCount; ++cube)
    {
        if (!input.UseKeyClicked(kFirstDigitKey + cube - 1))
            continue;
        const int32_t stock = ++user->skill.cubes[cube - 1];
        WeString count("x ");
        MivoSetWidgetText(WeString("IngameBonusCube").AppendInt(cube) + "Count", count.AppendInt(stock));
        if (stock >= kCubePrice)
            for (const WeString& name : {WeString("IngameBonusCube").AppendInt(cube),
                                         WeString("IngameBonusCube").AppendInt(cube) + "Count"})
                if (WeUIComponent* widget = MivoFindWidget(name))
                    widget->colour.a = 1.0f;
        return;
    }
}
