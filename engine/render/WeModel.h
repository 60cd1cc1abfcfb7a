// Models: what an actor draws. A static model draws one mesh of the mesh manager; an animated
// model draws a tree of frames loaded from a ".x" description, posed by its own animation
// controller and skinned (WeModelFrame.h). One global manager, `modelManager`, turns asset names
// into models: a static model is made fresh for every request over the shared mesh; an animated
// model is loaded once as a prototype and every request gets a copy of it.
#pragma once

#include "WeHashTable.h"
#include "WeRecycled.h"
#include "WeSphere.h"
#include "WeString.h"

#include <cstdint>
#include <memory>
#include <vector>

class WeActor;
class WeCamera;
class WeLight;
class WeMesh;
class WeModelFrame;
class WeRecordReader;
class WeScene;
class WeVirtualFileSystem;

namespace d3dx
{
class AnimationController;
}

class WeBaseModel
{
public:
    static constexpr int32_t maxLights = 8;
    // The material set that draws every subset with the selection material.
    static constexpr int32_t selectionSet = -2;

    explicit WeBaseModel(int32_t kind = 0) : kind(kind) {}
    virtual ~WeBaseModel() = default;
    WeBaseModel(const WeBaseModel&) = delete;
    WeBaseModel& operator=(const WeBaseModel&) = delete;

    // Copies what a copy of this model needs into the target: here its mesh.
    virtual void CopyTo(WeBaseModel& target) const;
    // The sphere around the mesh placed by the world matrix, its radius grown by the largest
    // scale of the matrix's axes when scaleRadius; the merged sphere becomes the same.
    virtual void UpdateBounds(bool scaleRadius);
    // The materials of the mesh's set (WeMesh::allSets for all), keeping those already put in.
    virtual void LoadMaterials(int32_t materialSet);
    // Builds the mesh's shadow volume when on, releases it when off.
    virtual void SetShadowVolume(bool on);
    // The scene's dynamic lights that reach the sphere, nearest first, at most eight point
    // lights and eight others; the lighting feature bit when a point light was found.
    virtual void GatherLights(WeScene* scene);
    // Hands every subset of the mesh to the render queue with its material of the set: -1 the
    // actor's current set, -2 the selection material for every subset. A subset without a
    // material takes the default one; one whose material has no shader is left out. Nothing
    // without an actor or a mesh.
    virtual void Render(WeScene* scene, WeCamera* camera, WeActor* actor, int32_t materialSet);
    // The lights are gathered again when the model is next queued.
    virtual void InvalidateLights();

    const int32_t kind;     // 0 a model, 1 a frame of an animated model
    WeMesh* mesh = nullptr; // the mesh manager's; null draws nothing
    WeMatrix world, previousWorld;
    WeSphere sphere;       // its own, in world space
    WeSphere mergedSphere; // its own and everything below it
    bool lightsGathered = false;
    WeLight* pointLights[maxLights] = {}; // nearest first
    int32_t pointLightCount = 0;
    WeLight* otherLights[maxLights] = {}; // nearest first
    int32_t otherLightCount = 0;
    int32_t lightFlags = 0; // technique feature bits the lights add
    float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    int32_t alphaOffset = 0; // added to the alpha reference of the actor's current set
};

// The state of one animation track: the set it plays, whether it loops and stops at its end,
// and its fades.
struct WeModelTrack
{
    bool playing = false;
    bool finished = false; // stopped; disabled on the next advance
    bool loop = true;
    bool disableAtEnd = true;
    float fadeIn = 0.1f;          // seconds
    float fadeOut = 0.1f;         // seconds
    float fadeOutElapsed = -1.0f; // negative while not fading out
};

class WeModel : public WeRecycled<WeModel, WeBaseModel>
{
public:
    explicit WeModel(bool animated);
    ~WeModel() override;

    // A copy: the same mesh, or for an animated model a tree of new frames over the same mesh
    // containers and a controller of its own over the same animation sets, all tracks stopped.
    void CopyTo(WeBaseModel& target) const override;
    // An animated model takes the root frame's merged sphere over its whole tree.
    void UpdateBounds(bool scaleRadius) override;
    void LoadMaterials(int32_t materialSet) override;
    void SetShadowVolume(bool on) override;
    // An animated model passes these to its whole frame tree.
    void GatherLights(WeScene* scene) override;
    void Render(WeScene* scene, WeCamera* camera, WeActor* actor, int32_t materialSet) override;
    void InvalidateLights() override;

    // The frame tree, its controller and its material names from the "animodel" asset (or from
    // a ".x" file of the path); false for a static model, a missing or damaged entry, or a tree
    // the loader refuses.
    bool LoadHierarchy(WeVirtualFileSystem* fileSystem, const WeString& assetName, bool fromPackage);
    // The animodel record the reader stands on: a version (0 refused, negative for no frames), a
    // byte count and that many bytes of ".x", then per mesh container its material names by
    // set and subset (sets past 128 and subsets past 16 read and dropped). False, with nothing
    // kept, for a damaged record.
    bool ReadRecord(WeRecordReader& reader);
    // Plays the named set on the track from its start (or from a random point in its first
    // half), fading in over fadeIn seconds. An unknown set stops the track.
    void PlayAnimation(int32_t track, const WeString& setName, float speed, bool loop, float fadeIn,
                       float fadeOut, bool randomStart, bool disableAtEnd);
    // Stops a playing track at once (fadeOut 0) or fading out over fadeOut seconds.
    void StopAnimation(int32_t track, float fadeOut);
    // Moves the tracks on by the frame time times speedFactor: stops sets that reached their
    // end or faded out (holding their last pose), disables those stopped before, and weights
    // the others by their fades.
    void AdvanceAnimation(float speedFactor);
    // Places the frame tree under the actor's matrix (with resetHistory the previous world
    // matrices equal the new ones), rebuilds the skin matrices, and takes the root's world.
    void UpdateFrameMatrices(const WeMatrix& parentMatrix, bool resetHistory);
    int32_t GetTrackCount() const { return int32_t(tracks.size()); }
    const WeModelTrack& GetTrack(int32_t track) const { return tracks[size_t(track)]; }

    const bool animated;
    WeString name;
    std::unique_ptr<WeModelFrame> rootFrame;
    d3dx::AnimationController* animationController = nullptr; // owned

private:
    // Binds the frames to this model and gives every track of the controller a fresh record,
    // the track disabled.
    void ResetTracks();
    bool ValidTrack(int32_t track) const;
    // The tree and controller of the ".x" bytes, bound, the tracks stopped.
    bool LoadX(const std::vector<uint8_t>& bytes);
    // Reads each mesh container's material names, in the order of the material blocks.
    bool ReadMaterialBlocks(WeRecordReader& reader);
    void ReleaseHierarchy();

    std::vector<WeModelTrack> tracks;
};

class WeModelManager
{
public:
    WeModelManager() = default;
    ~WeModelManager();
    WeModelManager(const WeModelManager&) = delete;
    WeModelManager& operator=(const WeModelManager&) = delete;

    // A model of the asset with the materials of the set (WeMesh::allSets for all), owned by
    // the caller: an animated model ("animodel") when there is one of that name, else a static
    // one ("mesh"); null for an empty name or nothing loadable.
    WeModel* Load(const WeString& name, int32_t materialSet);
    // A new model into which the prototype copies itself; null for a null prototype.
    static WeModel* CreateInstance(const WeModel* prototype);
    int32_t GetPrototypeCount() const { return prototypes.GetCount(); }
    // Deletes every prototype (the models handed out stay valid: they share only meshes).
    void FreeAll();

    WeVirtualFileSystem* fileSystem = nullptr; // null means the program's

private:
    WeVirtualFileSystem* CurrentFileSystem() const;

    WeHashTable<WeModel*> prototypes;
};

extern WeModelManager modelManager;
