#include "WeActor.h"

#include "WeConfig.h"
#include "WeEngine.h"
#include "WeFileStream.h"
#include "WeMesh.h"
#include "WeRecordReader.h"
#include "WeScene.h"
#include "WeSound.h"
#include "physics/WePhysicHandle.h"
#include "physics/WePhysics.h"

#include <algorithm>
#include <cmath>
#include <utility>

using namespace d3dx;

bool WeActor::sceneBeingDestroyed = false;

namespace
{

// Dynamic bodies that fall this far are taken out of the scene.
constexpr float fallLimit = -10000.0f;

Quaternion Normalised(const Quaternion& q)
{
    const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (!(length > 0.0f))
        return Quaternion{};
    return {q.x / length, q.y / length, q.z / length, q.w / length};
}

Vector3& Row(WeMatrix& matrix, int32_t row)
{
    return *reinterpret_cast<Vector3*>(matrix.m[row]);
}

const Vector3& Row(const WeMatrix& matrix, int32_t row)
{
    return *reinterpret_cast<const Vector3*>(matrix.m[row]);
}

void ReadVector(WeRecordReader& reader, WeVector& vector)
{
    reader.ReadFloats(&vector.x, 3);
}

void DropString(WeRecordReader& reader)
{
    WeString dropped;
    reader.ReadString(dropped);
}

// Rows 0 to 2 made unit length; a row of no length becomes its axis.
void NormaliseAxes(WeMatrix& matrix)
{
    for (int32_t row = 0; row < 3; ++row)
    {
        Vector3& axis = Row(matrix, row);
        if (D3DXVec3Length(axis) > 1e-6f)
            axis = D3DXVec3Normalize(axis);
        else
        {
            axis = Vector3{};
            matrix.m[row][row] = 1.0f;
        }
    }
}

} // namespace

WeActor::WeActor() = default;

WeActor::~WeActor()
{
    if (sound)
        sound->Stop();
    sound.reset();
    if (scene)
        scene->RemoveActor(this);
    if (!sceneBeingDestroyed)
    {
        if (parent)
            parent->children.Remove(this);
        while (!children.IsEmpty())
        {
            WeActor* child = children.First();
            child->Detach();
            child->Kill();
        }
    }
    children.Clear();
    DestroyPhysics();
}

void WeActor::SetShadowVolume(bool value)
{
    shadowVolume = value;
    UpdateShadowVolume(value);
}

void WeActor::UpdateShadowVolume(bool value)
{
    if (model)
        model->SetShadowVolume(value && shadowVolume);
}

void WeActor::Kill()
{
    if (dead || !scene)
    {
        dead = true;
        return;
    }
    scene->StopMoving(this);
    scene->deferredDeletes.PushBack(this);
    dead = true;
}

void WeActor::SetLocation(const WeVector& location)
{
    Row(localMatrix, 3) = location;
    UpdateWorldMatrix(true, false, false);
}

void WeActor::SetRotation(const WeQuaternion& value)
{
    rotation = Normalised(value);
    const WeMatrix turn = D3DXMatrixRotationQuaternion(rotation);
    for (int32_t row = 0; row < 3; ++row)
        Row(localMatrix, row) = Row(turn, row);
    UpdateWorldMatrix(false, true, false);
}

void WeActor::SetLocationAndRotation(const WeVector& location, const WeQuaternion& value)
{
    Row(localMatrix, 3) = location;
    SetRotation(value);
    UpdateWorldMatrix(true, true, false);
}

void WeActor::TakeMatrix(const WeMatrix& matrix)
{
    localMatrix = matrix;
    rotation = Normalised(D3DXQuaternionRotationMatrix(matrix));
}

void WeActor::SetMatrix(const WeMatrix& matrix)
{
    TakeMatrix(matrix);
    UpdateWorldMatrix(true, true, false);
}

void WeActor::SetScale(const WeVector& value)
{
    scale = value;
    UpdateWorldMatrix(false, false, true);
}

void WeActor::UpdateWorldMatrix(bool positionChanged, bool rotationChanged, bool scaleChanged)
{
    const WeMatrix base = attached ? D3DXMatrixMultiply(localMatrix, attachOffset) : localMatrix;
    world = &worldMatrix;
    if (parent)
        worldMatrix = D3DXMatrixMultiply(base, parent->GetWorldMatrix());
    else if (detached)
        worldMatrix = D3DXMatrixMultiply(base, detachedBase);
    else if (attached)
        worldMatrix = base;
    else
        world = &localMatrix;
    if (scaleChanged)
        scaled = std::fabs(scale.x - 1.0f) + std::fabs(scale.y - 1.0f) + std::fabs(scale.z - 1.0f) > 0.0001f;
    if (scaled)
    {
        WeMatrix& scaledMatrix = renderMatrices[renderIndex];
        scaledMatrix = *world;
        const float factors[3] = {scale.x, scale.y, scale.z};
        for (int32_t row = 0; row < 3; ++row)
            for (float& value : scaledMatrix.m[row])
                value *= factors[row];
        renderMatrix = &scaledMatrix;
    }
    else
        renderMatrix = world;
    if (!(positionChanged || rotationChanged || scaleChanged))
        return;
    if (!staticFlags[0])
    {
        positionPending = positionPending || positionChanged;
        rotationPending = rotationPending || rotationChanged;
    }
    transformChanged = true;
}

void WeActor::SetParent(WeActor* newParent, const WeString& attachPointName)
{
    if (parent)
        parent->children.Remove(this);
    parent = newParent;
    UpdateWorldMatrix(true, true, false);
    if (!parent)
        return;
    parent->children.PushBack(this);
    WeMesh* mesh = parent->model ? parent->model->mesh : nullptr;
    if (attachPointName.IsEmpty() || !mesh)
        return;
    if (const WeMeshAttachPoint* point = mesh->FindAttachPoint(attachPointName))
        SetAttachPoint(point->position, point->rotation);
}

void WeActor::SetAttachPoint(const WeVector& position, const WeQuaternion& turn)
{
    attachOffset = D3DXMatrixRotationQuaternion(turn);
    Row(attachOffset, 3) = position;
    attached = true;
    UpdateWorldMatrix(true, true, false);
}

void WeActor::Detach()
{
    if (!parent)
        return;
    detachedBase = parent->GetWorldMatrix();
    detached = true;
    SetParent(nullptr);
}

void WeActor::SetLifeTime(float seconds)
{
    lifetime = seconds;
    if (noLifetime)
    {
        noLifetime = false;
        // Outside a scene the timed index is joined when the actor is added.
        if (scene)
            scene->timed.Insert(indexKey, this, true);
    }
    if (seconds <= 0.0f)
        Kill();
}

void WeActor::CreateSound()
{
    if (sound)
        sound->Stop();
    sound.reset();
    if (soundName.IsEmpty())
        return;
    sound = std::make_unique<WeSound3D>(soundName, uint8_t(0));
    sound->SetRange(soundRange);
    sound->SetVolume(soundVolume);
}

void WeActor::PlayAnimation(const WeString& setName, float speed, bool loop)
{
    if (HasAnimatedModel())
        model->StopAnimation(0, 0.1f);
    animationName = setName;
    animationSpeed = speed;
    animationLoop = loop;
    if (!HasAnimatedModel())
        return;
    const float fade = !animationPaused && speed > 0.0f ? 0.1f : 0.0f;
    model->PlayAnimation(0, setName, 1.0f, loop, fade, fade, false, true);
}

void WeActor::PoseModel(bool resetHistory)
{
    if (!model)
        return;
    if (model->animated)
    {
        model->UpdateFrameMatrices(*renderMatrix, resetHistory);
        return;
    }
    model->world = *renderMatrix;
    if (resetHistory)
        model->previousWorld = model->world;
}

void WeActor::UpdateBox()
{
    WeMesh* mesh = model->mesh;
    void* data = nullptr;
    if (!mesh || mesh->GetNumVertices() <= 0 ||
        d3d9::Failed(mesh->LockVertexBuffer(d3d9::D3DLOCK_READONLY, &data)))
        return;
    const auto* bytes = static_cast<const uint8_t*>(data);
    const size_t stride = size_t(mesh->GetBytesPerVertex());
    for (int32_t index = 0; index < mesh->GetNumVertices(); ++index)
    {
        const WeVector at = D3DXVec3TransformCoord(
            *reinterpret_cast<const WeVector*>(bytes + stride * size_t(index)), model->world);
        if (index == 0)
            boxMin = boxMax = at;
        boxMin = {std::min(boxMin.x, at.x), std::min(boxMin.y, at.y), std::min(boxMin.z, at.z)};
        boxMax = {std::max(boxMax.x, at.x), std::max(boxMax.y, at.y), std::max(boxMax.z, at.z)};
    }
    mesh->UnlockVertexBuffer();
    for (int32_t corner = 0; corner < 8; ++corner)
        corners[corner] = {corner & 1 ? boxMax.x : boxMin.x, corner & 2 ? boxMax.y : boxMin.y,
                           corner & 4 ? boxMax.z : boxMin.z};
    boxCulling = true;
}

void WeActor::UpdateBounds()
{
    if (!model)
    {
        sphereCentre = GetWorldPosition();
        sphereRadius = 0.0f;
    }
    else
    {
        const bool staticShape = !model->animated && physicModel.IsStatic();
        model->UpdateBounds(staticShape || scaled);
        if (staticShape)
            UpdateBox();
        sphereCentre = model->sphere.center;
        sphereRadius = model->sphere.radius;
    }
    if (radiusOverride >= 0.0f)
        sphereRadius = radiusOverride;
}

bool WeActor::Orthonormalise(bool force)
{
    static const bool autoFix = WeConfig::GetBool("debug.Physics.AutoFixRotations", false);
    bool orthonormal = true;
    for (int32_t row = 0; row < 3; ++row)
        orthonormal = orthonormal && std::fabs(D3DXVec3Length(Row(*world, row)) - 1.0f) <= 0.0001f;
    for (const auto& [a, b] : {std::pair{0, 1}, std::pair{0, 2}, std::pair{1, 2}})
        orthonormal = orthonormal && std::fabs(D3DXVec3Dot(Row(*world, a), Row(*world, b))) < 0.0001f;
    if (orthonormal || !(force || physicModel.type != WePhysicModel::none || autoFix))
        return orthonormal;
    WeMatrix fixed = localMatrix;
    NormaliseAxes(fixed);
    Vector3& x = Row(fixed, 0);
    Vector3& y = Row(fixed, 1);
    Vector3& z = Row(fixed, 2);
    const float xy = std::fabs(D3DXVec3Dot(x, y)), xz = std::fabs(D3DXVec3Dot(x, z)),
                yz = std::fabs(D3DXVec3Dot(y, z));
    // The straightest pair stays; the third axis and then the second of the pair are rebuilt.
    if (xy <= xz && xy <= yz)
    {
        z = D3DXVec3Normalize(D3DXVec3Cross(x, y));
        y = D3DXVec3Cross(z, x);
    }
    else if (xz <= yz)
    {
        y = D3DXVec3Normalize(D3DXVec3Cross(z, x));
        z = D3DXVec3Cross(x, y);
    }
    else
    {
        x = D3DXVec3Normalize(D3DXVec3Cross(y, z));
        z = D3DXVec3Cross(x, y);
    }
    NormaliseAxes(fixed);
    TakeMatrix(fixed);
    UpdateWorldMatrix(false, true, false);
    PoseModel(false);
    UpdateBounds();
    return false;
}

bool WeActor::IsVisible() const
{
    return engine.settings.editorMode ? editorVisible : visible;
}

bool WeActor::IsInFrustum(const WeFrustum& frustum, uint32_t planeMask, float margin) const
{
    if (sphereRadius == 0.0f)
        return true;
    for (int32_t index = 5; index >= 0; --index)
    {
        if (planeMask & (1u << index))
            continue;
        const Plane& plane = frustum.planes[index];
        const float squared = plane.a * plane.a + plane.b * plane.b + plane.c * plane.c;
        if (!boxCulling)
        {
            if (!(D3DXPlaneDotCoord(plane, sphereCentre) > -squared * (sphereRadius + margin)))
                return false;
            continue;
        }
        bool anyInside = false;
        for (const WeVector& corner : corners)
            anyInside = anyInside || D3DXPlaneDotCoord(plane, corner) > squared * (0.001f - margin);
        if (!anyInside)
            return false;
    }
    return true;
}

WeString WeActor::GetModelName() const
{
    if (model)
        return model->name;
    return overrideModelName.IsEmpty() ? modelName : overrideModelName;
}

void WeActor::LinkSpawn()
{
    if (!scene || name.Substring(0, 5) != "spawn")
        return;
    const int32_t colon = name.Find(":");
    WeString key;
    if (colon >= 0)
        key = name.Substring(0, colon + 1).AppendInt(name.Substring(colon + 1, name.GetLength()).ToInt() + 1);
    else
        key = name.GetToken(' ', 0) + ":1";
    nextSpawn = scene->FindActor(key);
    if (nextSpawn)
        nextSpawn->previousSpawn = this;
}

void WeActor::Tick()
{
    bool modelChanged = HasAnimatedModel();
    if (modelChanged)
        model->AdvanceAnimation(animationPaused ? 0.0f : animationSpeed);
    if (transformChanged || !fullyStatic)
    {
        PoseModel(false);
        modelChanged = model != nullptr;
        if ((!boxCulling && !staticFlags[2]) || engine.settings.editorMode)
            UpdateBounds();
        else if (!staticFlags[1])
        {
            sphereCentre = GetWorldPosition();
            if (model)
                model->sphere.center = sphereCentre;
        }
        transformChanged = false;
    }
    if (modelChanged)
        model->InvalidateLights();
    if (sound && !sound->IsPlaying())
    {
        const WeVector at = GetWorldPosition();
        sound->SetPosition(at.x, at.y, at.z);
        if (soundRange == 0.0f || !sound->IsOutOfRange())
            sound->Play(true);
    }
    if (!engine.settings.editorMode && physicModel.IsDynamicBody() && world->m[3][1] < fallLimit)
    {
        Detach();
        Kill();
    }
}

void WeActor::CreatePhysics()
{
    if (physicsHandle)
        return;
    physicsHandle = physicModel.CreatePhysics(this);
    linearVelocity = {physicModel.linearVelocity[0], physicModel.linearVelocity[1],
                      physicModel.linearVelocity[2]};
    angularVelocity = {physicModel.angularVelocity[0], physicModel.angularVelocity[1],
                       physicModel.angularVelocity[2]};
    linearVelocityPending = angularVelocityPending = true;
    if (physicModel.type == WePhysicModel::cloth)
        radiusOverride = 0.0f;
}

void WeActor::DestroyPhysics()
{
    delete physicsHandle; // its destructor clears the field
}

namespace
{

void Sanitise(WeVector& v)
{
    for (float* c : {&v.x, &v.y, &v.z})
        if (std::isnan(*c))
            *c = 0.0f;
}

void Sanitise(WeQuaternion& q)
{
    for (float* c : {&q.x, &q.y, &q.z})
        if (std::isnan(*c))
            *c = 0.0f;
    if (std::isnan(q.w))
        q.w = 1.0f;
}

} // namespace

void WeActor::SyncPhysics(bool pull)
{
    if (!physics.IsStepDue())
    {
        if (!pull)
            positionPending = rotationPending = linearVelocityPending = angularVelocityPending = false;
        return;
    }
    WePhysicHandle* handle = physicsHandle;
    const bool fetch = pull && handle;
    if (!angularVelocityPending && fetch)
        handle->GetAngularVelocity(&angularVelocity);
    Sanitise(angularVelocity);
    if (angularVelocityPending && !pull && handle)
        handle->SetAngularVelocity(&angularVelocity);
    if (!linearVelocityPending && fetch)
        handle->GetLinearVelocity(&linearVelocity);
    Sanitise(linearVelocity);
    if (linearVelocityPending && !pull && handle)
        handle->SetLinearVelocity(&linearVelocity);
    if (!rotationPending && fetch)
    {
        WeQuaternion turn;
        handle->GetOrientation(&turn);
        Sanitise(turn);
        SetRotation(turn);
        rotationPending = false;
    }
    if (rotationPending && !pull && handle)
    {
        Sanitise(rotation);
        handle->SetOrientation(&rotation);
    }
    if (!positionPending && fetch)
    {
        WeVector at;
        handle->GetPosition(&at);
        Sanitise(at);
        SetLocation(at);
        positionPending = false;
    }
    if (positionPending && !pull && handle)
    {
        WeVector at = GetLocation();
        Sanitise(at);
        SetLocation(at);
        handle->SetPosition(&at);
    }
    if (!pull)
        positionPending = rotationPending = linearVelocityPending = angularVelocityPending = false;
}

void WeActor::LoadModel()
{
    if (!model)
    {
        model.reset(
            modelManager.Load(overrideModelName.IsEmpty() ? modelName : overrideModelName, materialPreset));
        if (!model)
            return;
    }
    else if (materialPreset >= 0)
        model->LoadMaterials(materialPreset);
    if (secondMaterialPreset >= 0)
        model->LoadMaterials(secondMaterialPreset);
}

void WeActor::OnAddedToScene()
{
    if (!scene)
        return;
    if (active)
        LoadModel();
    PoseModel(true);
    UpdateBounds();
    if (model)
        modelMatrix = model->world;
    Orthonormalise(true);
    CreatePhysics();
    if (HasActivePhysics())
        SyncPhysics(false);
    fullyStatic = staticFlags[0] && staticFlags[1] && staticFlags[2] && !HasAnimatedModel();
    if (type == WeActorTypeMesh && physicModel.IsStatic())
    {
        motionBlurFlag = true;
        motionBlurFactor = 1.0f;
    }
    PlayAnimation(animationName, animationSpeed, animationLoop);
    CreateSound();
    boxCulling = false;
    UpdateBounds();
    scene->IndexActor(this);
}

bool WeActor::Save(WeFileStream& stream)
{
    if (scene)
        scene->BeforeSaveActor(this);
    version = recordVersion;
    bool written =
        stream.WriteInt(recordVersion) && stream.WriteBool(visible) && stream.WriteBool(editorVisible) &&
        stream.WriteBool(thirdVisibilityFlag) && stream.WriteMatrix(&localMatrix.m[0][0]) &&
        stream.WriteVector(&scale.x) && stream.WriteBool(teleport) && stream.WriteInt(materialPreset) &&
        stream.WriteInt(secondMaterialPreset) && stream.WriteString(GetModelName()) &&
        stream.WriteString(name) && stream.WriteString(teleportTarget) && stream.WriteBool(renderFlag) &&
        stream.WriteString(soundName) && stream.WriteFloat(soundRange) && stream.WriteFloat(soundVolume) &&
        stream.WriteBool(furtherFlags[0]) && stream.WriteBool(furtherFlags[1]) &&
        stream.WriteString(animationName) && stream.WriteFloat(animationSpeed) &&
        stream.WriteBool(animationLoop) && stream.WriteBool(animationPaused) && stream.WriteBool(outlined) &&
        stream.WriteBool(secondResourceFlag) && stream.WriteBool(shadowVolume);
    written = written && physicModel.Save(stream);
    written = lightMap.Save(stream) && written;
    if (scene)
        scene->AfterSaveActor(this);
    return written;
}

void WeActor::ReadHead(WeRecordReader& reader, int32_t stored, WeVector& oldLocation)
{
    if (stored < 33)
        type = reader.ReadInt();
    if (stored == 33 || (stored >= 16 && stored < 20))
        reader.Skip(1);
    if (stored < 33)
        reader.Skip(4);
    if (stored < 21)
        reader.Skip(4);
    lifetime = stored < 28 ? reader.ReadFloat() : 0.0f;
    if (stored < 27)
        reader.Skip(4);
    if (stored < 20)
        reader.Skip(2);
    if (stored >= 28 && stored < 34)
        reader.Skip(1);
    visible = reader.ReadBool();
    if (stored >= 23)
        editorVisible = reader.ReadBool();
    if (stored >= 22)
        thirdVisibilityFlag = reader.ReadBool();
    if (stored < 20)
        reader.Skip(1);
    if (stored < 21)
        reader.Skip(12 + 4 + 24); // an old bounding sphere and two vectors
    if (stored < 31)
        ReadVector(reader, oldLocation);
}

bool WeActor::Load(WeRecordReader& reader)
{
    const int32_t stored = reader.ReadInt();
    version = stored;
    WeVector oldLocation;
    ReadHead(reader, stored, oldLocation);
    WeMatrix matrix;
    reader.ReadFloats(&matrix.m[0][0], 16);
    ReadVector(reader, scale);
    // Older records stored the scaled matrix; a zero scale leaves its row as stored.
    const float factors[3] = {scale.x, scale.y, scale.z};
    for (int32_t row = 0; row < 3 && stored < 21; ++row)
        if (std::fabs(factors[row]) > 1e-6f)
            for (int32_t column = 0; column < 3; ++column)
                matrix.m[row][column] /= factors[row];
    if (stored < 31)
        Row(matrix, 3) = oldLocation;
    if (stored < 20)
        reader.Skip(12 + 12);
    teleport = reader.ReadBool();
    if (stored < 34)
        reader.Skip(stored >= 17 ? 5 : 1);
    if (stored < 19)
        reader.Skip(stored >= 5 ? 12 + 13 : 12);
    if (stored < 26)
        reader.Skip(1);
    if (stored >= 2)
        materialPreset = reader.ReadInt();
    if (stored >= 39)
        secondMaterialPreset = reader.ReadInt();
    reader.ReadString(modelName);
    if (stored < 19)
        DropString(reader);
    if (stored >= 6)
        reader.ReadString(name);
    if (stored >= 7)
        reader.ReadString(teleportTarget);
    if (stored >= 8)
        reader.Skip((stored < 25 ? 9 : 0) + (stored < 20 ? 8 : 0));
    if (stored >= 12 && stored < 25)
        reader.Skip(16);
    if (stored >= 9 && stored < 34)
        reader.Skip(2);
    if (stored >= 10)
        renderFlag = reader.ReadBool();
    if (stored >= 14)
    {
        reader.ReadString(soundName);
        soundRange = reader.ReadFloat();
    }
    if (stored >= 38)
        soundVolume = reader.ReadFloat();
    if (stored >= 13)
        reader.Skip((stored < 19 ? 1 : 0) + (stored < 34 ? 4 : 0));
    if (stored >= 3 && stored < 20 && reader.Ok() && !lightMap.Load(reader))
        return false;
    if (stored >= 11)
        furtherFlags[0] = reader.ReadBool();
    if (stored >= 24)
        furtherFlags[1] = reader.ReadBool();
    if (stored >= 37)
        reader.ReadString(animationName);
    if (stored >= 32)
        animationSpeed = reader.ReadFloat();
    if (stored >= 41)
        animationLoop = reader.ReadBool();
    if (stored >= 40)
        animationPaused = reader.ReadBool();
    if (stored >= 35)
        outlined = reader.ReadBool();
    if (stored >= 36)
    {
        secondResourceFlag = reader.ReadBool();
        shadowVolume = reader.ReadBool();
    }
    if (stored >= 15)
        physicModel.Load(reader);
    if (stored >= 18 && stored < 26)
        DropString(reader);
    if (stored >= 20 && reader.Ok() && !lightMap.Load(reader))
        return false;
    if (!reader.Ok())
        return false;
    if (lifetime == 0.0f || lifetime == noLifetimeMark)
    {
        lifetime = 0.0f;
        noLifetime = true;
    }
    TakeMatrix(matrix);
    UpdateWorldMatrix(true, true, true);
    return true;
}

void WeActor::CopyFrom(const WeActor& source)
{
    version = source.version;
    visible = source.visible;
    thirdVisibilityFlag = source.thirdVisibilityFlag;
    active = source.active;
    lifetime = source.lifetime;
    noLifetime = source.noLifetime;
    creationTime = source.creationTime;
    sphereCentre = source.sphereCentre;
    sphereRadius = source.sphereRadius;
    overrideModelName = source.overrideModelName;
    model.reset(WeModelManager::CreateInstance(source.model.get()));
    soundName = source.soundName;
    soundRange = source.soundRange;
    physicModel = source.physicModel;
    animationName = source.animationName;
    animationSpeed = source.animationSpeed;
    animationLoop = source.animationLoop;
    animationPaused = source.animationPaused;
    teleport = source.teleport;
    teleportTarget = source.teleportTarget;
    linearVelocity = source.linearVelocity;
    angularVelocity = source.angularVelocity;
    materialPreset = source.materialPreset;
    secondMaterialPreset = source.secondMaterialPreset;
    renderFlag = source.renderFlag;
    furtherFlags[0] = source.furtherFlags[0];
    furtherFlags[1] = source.furtherFlags[1];
    name = source.name;
    TakeMatrix(source.localMatrix);
    UpdateWorldMatrix(true, true, false);
    SetScale(source.scale);
}

void WeActor::Render(WeCamera* camera)
{
    if (!active || !model)
        return;
    for (const int32_t preset : {materialPreset, secondMaterialPreset})
        if (preset >= 0)
            model->Render(scene, camera, this, preset);
    if (highlighted)
        model->Render(scene, camera, this, WeBaseModel::selectionSet);
}
