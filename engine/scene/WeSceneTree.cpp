#include "WeSceneTree.h"

#include "WeActor.h"

#include <algorithm>
#include <cmath>

WeBox BoxFromCentre(const WeVector& centre, float halfSize)
{
    return {centre.x - halfSize, centre.y - halfSize, centre.z - halfSize,
            centre.x + halfSize, centre.y + halfSize, centre.z + halfSize};
}

WeBox BoxFromSphere(const WeVector& centre, float radius)
{
    return BoxFromCentre(centre, radius);
}

bool BoxContainsBox(const WeBox& outer, const WeBox& inner)
{
    return inner.minX >= outer.minX && inner.minY >= outer.minY && inner.minZ >= outer.minZ &&
           inner.maxX <= outer.maxX && inner.maxY <= outer.maxY && inner.maxZ <= outer.maxZ;
}

bool BoxContainsPoint(const WeBox& box, const WeVector& point)
{
    return point.x >= box.minX && point.x <= box.maxX && point.y >= box.minY && point.y <= box.maxY &&
           point.z >= box.minZ && point.z <= box.maxZ;
}

WeSceneTreeNode::WeSceneTreeNode(WeSceneTree& tree, const WeBox& box) : tree(tree), box(box)
{
    sphereCentre = {(box.minX + box.maxX) * 0.5f, (box.minY + box.maxY) * 0.5f, (box.minZ + box.maxZ) * 0.5f};
    const float dx = box.maxX - sphereCentre.x, dy = box.maxY - sphereCentre.y,
                dz = box.maxZ - sphereCentre.z;
    sphereRadius = std::sqrt(dx * dx + dy * dy + dz * dz);
    ++tree.nodeCount;
}

WeSceneTreeNode::~WeSceneTreeNode()
{
    --tree.nodeCount;
}

WeBox WeSceneTreeNode::ChildBox(int32_t index) const
{
    const WeVector& middle = sphereCentre;
    WeBox child = box;
    (index & 1 ? child.minX : child.maxX) = middle.x;
    (index & 2 ? child.minZ : child.maxZ) = middle.z;
    (index & 4 ? child.minY : child.maxY) = middle.y;
    return child;
}

WeSceneTree::WeSceneTree(WeScene* scene, float corner, float halfSize, int32_t depthLimit)
    : depthLimit(depthLimit), box(BoxFromCentre({corner, corner, corner}, halfSize)), scene(scene)
{
    root = std::make_unique<WeSceneTreeNode>(*this, box);
    built = true;
}

WeSceneTree::~WeSceneTree()
{
    if (!built)
        return;
    root.reset();
    scene = nullptr;
    built = false;
}

void WeSceneTree::Insert(WeActor* actor, bool bySphere)
{
    if (!built || !actor || actor->octree)
        return;
    InsertAt(*root, actor, bySphere, 0);
    actor->octree = this;
}

void WeSceneTree::Remove(WeActor* actor)
{
    if (!built || !actor || actor->octree != this)
        return;
    RemoveFrom(*root, actor);
    actor->octree = nullptr;
}

void WeSceneTree::InsertAt(WeSceneTreeNode& node, WeActor* actor, bool bySphere, int32_t depth)
{
    const WeBox sphereBox = BoxFromSphere(actor->sphereCentre, actor->sphereRadius);
    const WeVector position = actor->GetWorldPosition();
    const auto holds = [&](const WeBox& box)
    { return bySphere ? BoxContainsBox(box, sphereBox) : BoxContainsPoint(box, position); };
    deepestLevel = std::max(deepestLevel, depth);
    if (!holds(node.box))
        return;
    if (depth < depthLimit)
        for (int32_t index = 0; index < 8; ++index)
        {
            std::unique_ptr<WeSceneTreeNode>& child = node.children[size_t(index)];
            if (!child)
                child = std::make_unique<WeSceneTreeNode>(*this, node.ChildBox(index));
        }
    for (const std::unique_ptr<WeSceneTreeNode>& child : node.children)
        if (child && depth < depthLimit && holds(child->box))
        {
            InsertAt(*child, actor, bySphere, depth + 1);
            return;
        }
    node.actors.PushBack(actor);
}

bool WeSceneTree::RemoveFrom(WeSceneTreeNode& node, WeActor* actor)
{
    if (node.actors.Remove(actor))
    {
        for (const std::unique_ptr<WeSceneTreeNode>& child : node.children)
            if (child)
                return false;
        return node.actors.IsEmpty();
    }
    for (std::unique_ptr<WeSceneTreeNode>& child : node.children)
        if (child && RemoveFrom(*child, actor))
            child.reset();
    return false;
}
