// A level: every actor loaded from a map file or added by the game, kept in nine indexes keyed
// by the actor's id in decimal; the level's render settings and sky; the step-by-step map loader
// with a progress callback that may cancel; the per-frame Tick (lifetimes, per-actor Tick,
// deferred deletes) and the frame's clear and flat sky. The game derives its own scene from it.
#pragma once

#include "WeActor.h"
#include "WeColor.h"
#include "WeHashTable.h"
#include "WeList.h"
#include "WeSceneTree.h"
#include "WeSkyBox.h"
#include "WeString.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class WeCamera;
class WeFileStream;
class WePathNode;
class WeRecordReader;

// The level's render settings, read from the map header (there is no writer).
struct WeSceneConfig
{
    static constexpr int32_t version = 24;

    void SetDefaults() { *this = WeSceneConfig(); }
    // A record of any version; fields a version lacks keep their values. Old records carry
    // embedded actors, read and dropped. False when the record is cut short or a count is bad.
    bool Read(WeRecordReader& reader);
    // Ambient and outline colours, fog, brightness, contrast, the HDR value and the outline
    // factors to the render device.
    void SetupRenderDevice() const;

    bool clearBackground = true;
    bool clearDepth = true;
    WeColor backgroundColor{0.4f, 0.4f, 0.4f, 1.0f};
    WeColor AmbientColor{0.5f, 0.5f, 0.5f, 1.0f};
    WeColor outlineColor{0.0f, 0.0f, 0.0f, 1.0f};
    bool FogEnabled = false;
    float FogStart = 500.0f;
    float FogEnd = 2000.0f;
    float FogMin = 0.0f;
    float FogMax = 1.0f;
    WeColor FogColor{1.0f, 1.0f, 1.0f, 1.0f};
    float Brightness = 0.0f;
    float Contrast = 0.0f;
    float FHDRI0 = 0.0f;
    float FHDRI1 = 1.0f;
    float FHDRI2 = 2.0f;
    float factorA = 1.0f; // never below 1 after a read
    float distanceA = 2000.0f;
    float distanceB = 500.0f;
    float distanceZ = 1000.0f;
    float outlineFactors[4] = {1.3f, 0.5f, 3.0f, 2.0f};
    // Kept for the scene widget: camera position, direction and up, orthogonal flag and height.
    WeVector vectorA{0.0f, 0.0f, 0.0f};
    WeVector vectorB{0.0f, 0.0f, 1.0f};
    WeVector vectorZ{0.0f, 1.0f, 0.0f};
    float valueD = 0.0f;
    float valueE = 0.0f;
    bool flagF = false;
    float valueG = 100.0f;
};

// A box the scene draws in its next Render with the shared debug material: the unit box model
// scaled and moved over the box's extent. One whose flag is clear stays listed but is not drawn.
struct WeDebugBox
{
    WeMatrix world;
    bool shown = true;
};

class WeScene
{
public:
    // Called with the load's progress, 0 to 1; false cancels the load.
    using ProgressCallback = std::function<bool(float progress)>;
    static constexpr int32_t mapFileVersion = 1;

    // The first scene of the process also loads the shared debug assets, as fixed resources.
    WeScene();
    // Deletes every actor (children are not detached one by one) and any open map stream.
    virtual ~WeScene();
    WeScene(const WeScene&) = delete;
    WeScene& operator=(const WeScene&) = delete;

    // Reads what a derived scene adds to the map header, after the config record.
    virtual void OnLoadHeader(WeFileStream&, const WeString&) {}
    // A replacement for a loaded actor (which is then deleted), or null to keep it.
    virtual WeActor* OnActorLoaded(WeActor*) { return nullptr; }
    virtual void OnLoadFinished(WeFileStream&) {}
    virtual void BeforeSaveActor(WeActor*) {}
    virtual void AfterSaveActor(WeActor*) {}
    // Marks loaded actors that the scene should not keep (actor->discard): here plain path nodes
    // at the origin.
    virtual void FilterLoadedActor(WeActor* actor);

    // Opens "Maps\<name>.map" and reads its header. False when it cannot be opened or its
    // header is cut short.
    bool BeginLoad(const WeString& mapName);
    // One actor. True while more follow and once the load has finished; false when no load is
    // open, or when it was cancelled.
    bool LoadStep();
    // BeginLoad, then LoadStep until finished; whether the load finished.
    bool Load(const WeString& mapName);
    void EndLoad(bool finishedLoad);

    // A new actor of the type (a plain actor for ids without a class of their own).
    static std::unique_ptr<WeActor> CreateActor(int32_t typeId);
    // Gives the actor an id and takes ownership; an actor already in this scene is left as it
    // is, one of another scene leaves that scene first. Null is ignored.
    void AddActor(WeActor* actor);
    // Files the actor into the indexes its flags call for, each once.
    void IndexActor(WeActor* actor);
    // Into the moving list once; out of it (the last one takes its slot).
    void StartMoving(WeActor* actor);
    void StopMoving(WeActor* actor);
    // Takes the actor out of every index without deleting it; false for null or a foreign actor.
    bool RemoveActor(WeActor* actor);
    // The first actor, in index order, whose name is the text.
    WeActor* FindActor(const WeString& actorName);
    // Every actor whose name begins with the prefix, replacing the list's contents.
    void FindActorsByPrefix(const WeString& prefix, WeList<WeActor*>& found);
    // Spawn chains of every actor, and the path nodes' links by name.
    void LinkActors();

    // Links the path nodes into one closed graph from the lowest-numbered plain node, numbers
    // first (or, byProximity, nearest first), and places each node on it. With no node to start
    // from and createIfNone, a new node at the origin is the whole path.
    void BuildPathGraph(bool createIfNone, bool byProximity);
    // The first node of the path-node index with the number, or null.
    WePathNode* FindPathNodeByNumber(int32_t number);
    // The unvisited node of the kind (any for a negative kind) after from: the lowest number
    // above from's, none above a limit of 1 or more; byProximity the nearest to from.
    WePathNode* FindNextPathNode(const WePathNode* from, int32_t kind, int32_t limit, bool byProximity);
    // Links the nodes after start up to the limit; the last node linked. The length grows by
    // the distance walked; the counter numbers the nodes in walk order.
    WePathNode* WalkPath(WePathNode* start, int32_t limit, int32_t branch, float& length, bool byProximity,
                         int32_t& counter);
    // Positions from first up to stop along the links, each branch of a fork compressed onto
    // the shorter one's span. Ends at a node already placed or a missing link.
    void AssignPathPositions(WePathNode* first, const WePathNode* stop, float offset, float scale);

    // Projects every portal with the camera, each frame before the scene is prepared.
    void UpdatePortals(const WeCamera& camera);
    // False when the actor's test points (its sphere's six axis points, or its box's corners)
    // all lie inside a projected portal's rectangle and behind it; true with portal culling off.
    bool IsVisibleThroughPortals(const WeActor& actor, const WeCamera& camera);

    // Lists a box, shown, from its lower to its upper corner, until the next Tick.
    WeDebugBox& AddDebugBox(const WeVector& boxMin, const WeVector& boxMax);
    // Queues each listed box that is shown with the shared debug material, when that material
    // and the unit box are loaded.
    void DrawDebugBoxes(const WeCamera* camera);

    // Starts with an empty debug-box list.
    void Tick();
    // The frame for the camera: the clear, the flat sky, the debug boxes and the scene.
    void Render(WeCamera* camera);
    // Render as a warm-up of the scene renderer (see there) into the current target, with every
    // model's lights gathered again from the scene's lights as they now stand: what the camera
    // sees of the scene is drawn once ahead of the frames that show it, a part of it for about
    // the milliseconds in each call. While a load is under way and no light has come yet, lit
    // materials wait. Does nothing until drawn content was added or removed, the wait ended or
    // the last call was cut short. Whether all is drawn. The next frame's clear takes the
    // pixels away.
    bool WarmUp(WeCamera* camera, double milliseconds);

    int32_t nextId = 0;
    int64_t frame = 0;
    float time = 0.0f;
    std::unique_ptr<WeFileStream> mapStream;
    bool finished = false;
    bool open = false;
    WeList<WeActor*> deferredDeletes;
    WeSceneConfig config;
    WeHashTable<WeActor*> actors;
    WeHashTable<WeActor*> ticked;
    WeHashTable<WeActor*> timed;
    // The actors that are not static, in no meaningful order: each frame their render history
    // turns over and physics poses reach them. Each actor knows its slot here.
    std::vector<WeActor*> moving;
    WeHashTable<WeActor*> portals;
    WeHashTable<WeActor*> lights;
    WeHashTable<WeActor*> indexedLights;
    WeHashTable<WeActor*> pathNodes;
    WeHashTable<WeActor*> cameraActors;
    WeList<WeDebugBox> debugBoxes;
    WeSkyBox skyBox;
    float octreeHalfSize = 32768.0f;
    float octreeCorner = -1024.0f; // on all three axes
    int32_t octreeDepthLimit = 10;
    std::unique_ptr<WeSceneTree> octree;
    float loadProgress = 0.0f;
    ProgressCallback progressCallback;
    bool portalCulling = true;
    // How far actors are drawn, and their squares, which the scene renderer's Prepare stores for
    // the actors' own tests.
    float visibilityDistances[2] = {2000.0f, 500.0f};
    float visibilityDistancesSquared[2] = {};
    // The light-set pair every actor collected for drawing takes.
    int32_t lightSet[2] = {};
    // The last path-graph build: links made, nodes on the main loop, its root and length.
    int32_t pathLinkCount = 0;
    int32_t pathNodeCount = 0;
    WePathNode* pathRoot = nullptr;
    float pathLength = 0.0f;
    // Why the last load stopped early; empty when it read to the end.
    WeString loadMessage;
    // Counts the adds and removals of actors that draw or light, and the count when a warm-up
    // last drew all (holding lit materials back, with warmedUnlit).
    int32_t contentRevision = 0;
    int32_t warmedRevision = -1;
    bool warmedUnlit = false;

private:
    // Ends the actor list: the end-of-load work, unless the callback cancels at 1.0.
    bool FinishLoad();
    // A record that cannot be read ends the list; the actors before it stay.
    bool DropRecord(const WeString& reason);
    void TickActor(WeActor* actor);
    // Before the actors' Ticks: render histories turn over, poses and velocities come from the
    // physics objects (cloth takes its render copy).
    void PullPhysics();
    // After them: the changes actors made go to their physics objects.
    void PushPhysics();
    // The fork's branches up to its join, both linked between them; false (nothing linked) when
    // the fork has no join or its branches do not start at fresh nodes of their own.
    bool WalkFork(WePathNode* current, WePathNode* forkNode, int32_t limit, float& length, bool byProximity,
                  int32_t& counter);
    // The jump's end node linked after it; false when there is none.
    bool WalkJump(WePathNode* current, WePathNode* jump, int32_t limit, float& length, bool byProximity);
    // The indexes an actor leaves when it is removed.
    void Unindex(WeActor* actor);
};
