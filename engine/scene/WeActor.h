// The base of every object in a scene: a transform with parent and children, the model it draws
// (from the model manager), an attached sound, an animation, a light map, a physic model, a lifetime and the
// flags that decide how the scene ticks, culls and simulates it. Its versioned record is the body of every
// actor record in a map file; subclasses (lights, camera actors, the game's actors) add their own records
// after it.
#pragma once

#include "WeCamera.h"
#include "WeLightMap.h"
#include "WeList.h"
#include "WeModel.h"
#include "WeString.h"
#include "physics/WePhysicModel.h"

#include <cstdint>
#include <memory>

class WeFileStream;
class WePhysicHandle;
class WeRecordReader;
class WeScene;
class WeSceneTree;
class WeSound3D;

// Type ids at the head of every actor record in a map, kept in each actor.
enum WeActorType : int32_t
{
    WeActorTypeEnd = 0, // ends a map's actor list
    WeActorTypeMesh = -1,
    WeActorTypeLight = -2,
    WeActorTypePathNode = -6,
    WeActorTypePortal = -11,
    WeActorTypeParticleSystem = -13,
    WeActorTypeCamera = -14,
};

class WeActor
{
public:
    static constexpr int32_t recordVersion = 41;
    // A stored lifetime of exactly this value means "no lifetime".
    static constexpr float noLifetimeMark = 1234567.875f;

    WeActor();
    // Leaves the parent's child list and the scene; outside a scene-wide destruction the children
    // are detached where they stand and killed.
    virtual ~WeActor();
    WeActor(const WeActor&) = delete;
    WeActor& operator=(const WeActor&) = delete;

    virtual void SetShadowVolume(bool value);
    virtual void UpdateShadowVolume(bool value);
    // Called by the physics layer after it moved the actor to a simulated pose.
    virtual void OnPhysicsPose() {}
    // Marks the actor dead; in a scene it leaves the moving index and is deleted at the end of the
    // scene's next Tick.
    virtual void Kill();
    virtual WeString GetDisplayName() const { return name; }
    virtual void Tick();
    virtual void UpdateGeometry() {}
    // The record, version 41, between the scene's save hooks.
    virtual bool Save(WeFileStream& stream);
    // A record of versions 2 to 41. False when it is cut short or its light map cannot be walked.
    virtual bool Load(WeRecordReader& reader);
    virtual void OnAddedToScene();
    virtual void CopyFrom(const WeActor& source);
    // Hands the model's subsets to the render queue for the camera: with the material preset
    // and the second preset where set, and with the selection material while highlighted.
    virtual void Render(WeCamera* camera);

    void SetLocation(const WeVector& location);
    // Normalised, stored, the rotation rows rebuilt, the translation kept.
    void SetRotation(const WeQuaternion& value);
    void SetLocationAndRotation(const WeVector& location, const WeQuaternion& value);
    // Copied; the rotation derived from it and normalised.
    void SetMatrix(const WeMatrix& matrix);
    void SetScale(const WeVector& value);
    void UpdateWorldMatrix(bool positionChanged, bool rotationChanged, bool scaleChanged);
    // Leaves the old parent's child list, joins the new one's (none for null). A named attach
    // point of the parent's mesh becomes the offset.
    void SetParent(WeActor* newParent, const WeString& attachPointName = WeString());
    // The offset applied before the parent's world matrix: a turn and a position.
    void SetAttachPoint(const WeVector& position, const WeQuaternion& turn);
    // Drops the parent and keeps the current world matrix as the base that replaces it.
    void Detach();
    // An actor without a lifetime gets one (and, in a scene, enters its timed index); 0 or less
    // kills it at once.
    void SetLifeTime(float seconds);
    void CreateSound();
    // Stores the animation; an animated model stops track 0 and plays the set on it, fading in
    // and out over a tenth of a second while it runs forward.
    void PlayAnimation(const WeString& setName, float speed, bool loop);
    // From the model when there is one: the box of a static one's mesh vertices (box culling on)
    // for static physics, else its sphere, grown by the scale.
    void UpdateBounds();
    // Whether the world matrix was orthonormal; when not (or when forced), its axes are made so.
    bool Orthonormalise(bool force);
    // The physic model's physics object, when there is none yet; the model's initial velocities
    // become pending changes. Cloth always passes culling.
    void CreatePhysics();
    void DestroyPhysics();
    bool HasActivePhysics() const { return !staticFlags[0] && physicsHandle; }
    bool HasPendingChanges() const
    {
        return positionPending || rotationPending || linearVelocityPending || angularVelocityPending;
    }
    // Pull: velocities, orientation and position come from the physics object where no change of
    // that kind is pending. Push: the pending changes go to it and are cleared. Nothing is
    // exchanged when no physics step is due (a push still clears the pending flags).
    void SyncPhysics(bool pull);
    bool IsVisible() const;
    // Against the frustum's planes whose bit is clear in the mask, with a margin.
    bool IsInFrustum(const WeFrustum& frustum, uint32_t planeMask, float margin) const;
    // The loaded model's own name, else the override name when set, else the model name.
    WeString GetModelName() const;
    // "spawn" actors: the one named with the next number becomes this one's next spawn.
    void LinkSpawn();

    const WeVector& GetLocation() const { return *reinterpret_cast<const WeVector*>(localMatrix.m[3]); }
    const WeMatrix& GetWorldMatrix() const { return *world; }
    const WeMatrix& GetRenderMatrix() const { return *renderMatrix; }
    WeVector GetWorldPosition() const { return {world->m[3][0], world->m[3][1], world->m[3][2]}; }
    bool HasLifetime() const { return !noLifetime; }
    bool IsStaticForPhysics() const { return physicModel.IsStatic(); }
    bool HasAnimatedModel() const { return model && model->animated; }

    // What a frame reads and writes of an actor that moves (the physics sync, the pose of its
    // model, its bounds) comes first, so that it spans few cache lines.
    WeMatrix localMatrix;
    WeQuaternion rotation;
    WeVector linearVelocity;
    WeVector angularVelocity;
    WeVector sphereCentre;
    float sphereRadius = 0.0f;
    float radiusOverride = -1.0f;
    std::unique_ptr<WeModel> model;
    WePhysicHandle* physicsHandle = nullptr; // owned; its destructor clears this
    WeActor* parent = nullptr;
    std::unique_ptr<WeSound3D> sound;
    WeScene* scene = nullptr;
    int64_t lastTickedFrame = 0;
    int32_t renderIndex = 0;
    int32_t movingSlot = -1; // in the scene's moving list, or -1
    bool dead = false;
    bool staticFlags[3] = {false, false, false};
    bool fullyStatic = false;
    bool boxCulling = false;
    bool positionPending = false, rotationPending = false, linearVelocityPending = false,
         angularVelocityPending = false, transformChanged = false;
    bool scaled = false;
    bool attached = false;
    bool detached = false;

private:
    const WeMatrix* world = &localMatrix;
    const WeMatrix* renderMatrix = &localMatrix;

public:
    WePhysicModel physicModel;
    float lifetime = 0.0f;
    float creationTime = 0.0f;
    WeSceneTree* octree = nullptr; // the scene octree holding the actor
    bool shadowVolume = true;
    bool secondResourceFlag = true;
    int32_t id = 0;
    WeString indexKey;
    WeLightMap lightMap;
    int32_t version = 0; // of the last record read or written
    bool fromMap = false;
    bool highlighted = false;
    int32_t type = WeActorTypeMesh;
    WeMatrix worldMatrix;
    WeVector scale{1.0f, 1.0f, 1.0f};
    WeMatrix renderMatrices[2];
    WeMatrix detachedBase;
    WeList<WeActor*> children;
    WeMatrix attachOffset;
    WeString soundName;
    float soundRange = 100.0f;
    float soundVolume = 10.0f;
    bool renderFlag = true;
    WeString name;
    bool active = true;
    WeString modelName;
    WeString overrideModelName;
    WeMatrix modelMatrix; // the model's world matrix when the actor was added
    bool outlined = false;
    bool visible = true;
    bool editorVisible = true;
    bool thirdVisibilityFlag = false;
    int32_t materialPreset = 0;
    int32_t secondMaterialPreset = -1;
    bool furtherFlags[2] = {false, false};
    bool motionBlurFlag = false; // static mesh actors, for the velocity renderer
    float motionBlurFactor = 0.0f;
    bool teleport = false;
    WeString teleportTarget;
    bool teleportPending = false;
    WeMatrix teleportPose;
    bool noLifetime = true;
    bool discard = false;
    WeVector boxMin, boxMax;
    WeVector corners[8];
    WeActor* nextSpawn = nullptr;
    WeActor* previousSpawn = nullptr;
    WeString animationName;
    float animationSpeed = 1.0f;
    bool animationLoop = true;
    bool animationPaused = false;
    bool needsTick = false;
    int32_t lightSet[2] = {}; // the scene's pair when it was last collected for drawing

    // Raised while a scene deletes all its actors: children are then not detached and killed.
    static bool sceneBeingDestroyed;

protected:
    // Shared by Save and CopyFrom: the local matrix with the rotation derived from it.
    void TakeMatrix(const WeMatrix& matrix);
    // The model takes the render matrix: an animated one poses its frame tree under it; with
    // resetHistory the previous-frame matrices become the same.
    void PoseModel(bool resetHistory);

private:
    // The fields up to the location of records before version 31.
    void ReadHead(WeRecordReader& reader, int32_t stored, WeVector& oldLocation);
    // The model of the override name (else the model name) with the preset's materials, and the
    // second preset's; an existing model loads the presets' materials.
    void LoadModel();
    // The world box of a static model's mesh vertices and its eight corners.
    void UpdateBox();
};
