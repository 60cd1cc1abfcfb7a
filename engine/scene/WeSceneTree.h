// An octree of actors over one cube of a scene's world. Outside the editor the scene files its
// path nodes into it by position and takes every other actor out of it; the tree offers only
// insertion and removal. The box helpers serve it.
#pragma once

#include "WeCamera.h"
#include "WeList.h"

#include <array>
#include <cstdint>
#include <memory>

class WeActor;
class WeScene;

struct WeBox
{
    float minX = 0.0f, minY = 0.0f, minZ = 0.0f;
    float maxX = 0.0f, maxY = 0.0f, maxZ = 0.0f;
};

WeBox BoxFromCentre(const WeVector& centre, float halfSize);
WeBox BoxFromSphere(const WeVector& centre, float radius);
// Inclusive on every face.
bool BoxContainsBox(const WeBox& outer, const WeBox& inner);
bool BoxContainsPoint(const WeBox& box, const WeVector& point);

class WeSceneTree;

class WeSceneTreeNode
{
public:
    WeSceneTreeNode(WeSceneTree& tree, const WeBox& box);
    ~WeSceneTreeNode();
    WeSceneTreeNode(const WeSceneTreeNode&) = delete;
    WeSceneTreeNode& operator=(const WeSceneTreeNode&) = delete;

    // The octant of the index: bit 0 the upper half in x, bit 1 in z, bit 2 in y.
    WeBox ChildBox(int32_t index) const;

    WeSceneTree& tree;
    WeList<WeActor*> actors;
    std::array<std::unique_ptr<WeSceneTreeNode>, 8> children;
    WeBox box;
    WeVector sphereCentre;
    float sphereRadius = 0.0f;
};

class WeSceneTree
{
public:
    // The root cube around (corner, corner, corner) with the scene's half size, and its depth
    // limit.
    WeSceneTree(WeScene* scene, float corner, float halfSize, int32_t depthLimit);
    virtual ~WeSceneTree();
    WeSceneTree(const WeSceneTree&) = delete;
    WeSceneTree& operator=(const WeSceneTree&) = delete;

    // An actor in no tree goes into the deepest node whose box holds its position (or, by
    // sphere, its sphere's box); it is marked as held even when the root cannot take it.
    void Insert(WeActor* actor, bool bySphere);
    // Out of this tree, leaves left empty are deleted.
    void Remove(WeActor* actor);

    int32_t deepestLevel = 0;
    int32_t depthLimit = 10;
    std::unique_ptr<WeSceneTreeNode> root;
    WeBox box;
    WeScene* scene = nullptr;
    bool built = false;
    int32_t nodeCount = 0;

private:
    void InsertAt(WeSceneTreeNode& node, WeActor* actor, bool bySphere, int32_t depth);
    // Whether the node may be deleted by its parent.
    bool RemoveFrom(WeSceneTreeNode& node, WeActor* actor);
};
