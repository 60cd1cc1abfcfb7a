// The scene octree: where actors land by position or by sphere, what is kept and deleted as they
// leave, and the box tests on their faces.
#include "WeSceneTree.h"

#include "WeActor.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{

// A small tree: the cube from -8 to 8, two levels deep.
class SceneTreeTest : public ::testing::Test
{
protected:
    WeActor& ActorAt(const WeVector& at, float radius = 0.0f)
    {
        WeActor& actor = *actors.emplace_back(std::make_unique<WeActor>());
        actor.SetLocation(at);
        actor.sphereCentre = at;
        actor.sphereRadius = radius;
        return actor;
    }
    // The node whose list holds the actor, and its depth; null when none does.
    static const WeSceneTreeNode* Holder(const WeSceneTreeNode& node, const WeActor* actor, int32_t& depth)
    {
        for (const WeActor* held : node.actors)
            if (held == actor)
                return &node;
        for (const auto& child : node.children)
            if (child)
                if (const WeSceneTreeNode* found = Holder(*child, actor, depth))
                {
                    ++depth;
                    return found;
                }
        return nullptr;
    }

    WeSceneTree tree{nullptr, 0.0f, 8.0f, 2};
    std::vector<std::unique_ptr<WeActor>> actors;
};

TEST(SceneTreeBoxes, FacesCountAsInside)
{
    const WeBox box = BoxFromCentre({1.0f, 2.0f, 3.0f}, 1.0f);
    const struct
    {
        WeVector point;
        bool inside;
    } points[] = {{{0, 1, 2}, true},
                  {{2, 3, 4}, true},
                  {{1, 2, 3}, true},
                  {{2.001f, 2, 3}, false},
                  {{1, 0.999f, 3}, false}};
    for (const auto& test : points)
        EXPECT_EQ(BoxContainsPoint(box, test.point), test.inside) << test.point.x << " " << test.point.y;
    EXPECT_TRUE(BoxContainsBox(box, box));
    EXPECT_TRUE(BoxContainsBox(box, BoxFromSphere({1, 2, 3}, 0.5f)));
    EXPECT_FALSE(BoxContainsBox(box, BoxFromSphere({1.6f, 2, 3}, 0.5f)));
}

TEST(SceneTreeBoxes, TheSceneTreeCoversItsCubeAroundTheCorner)
{
    const WeSceneTree sceneTree(nullptr, -1024.0f, 32768.0f, 10);
    EXPECT_FLOAT_EQ(sceneTree.box.minX, -33792.0f);
    EXPECT_FLOAT_EQ(sceneTree.box.maxZ, 31744.0f);
    EXPECT_EQ(sceneTree.nodeCount, 1);
}

TEST_F(SceneTreeTest, PositionsGoToTheDeepestOctantTheLowerIndexOnAFace)
{
    const struct
    {
        WeVector at;
        float minX, minY, minZ; // of the holding node's box
        int32_t depth;
    } cases[] = {
        {{5, 5, 5}, 4, 4, 4, 2},
        {{-5, 1, 7}, -8, 0, 4, 2},
        {{0, 0, 0}, -4, -4, -4, 2}, // on every shared face: index 0 at each level
        {{4, -4, 4}, 0, -8, 0, 2},
    };
    for (const auto& test : cases)
    {
        WeActor& actor = ActorAt(test.at);
        tree.Insert(&actor, false);
        EXPECT_EQ(actor.octree, &tree);
        int32_t depth = 0;
        const WeSceneTreeNode* holder = Holder(*tree.root, &actor, depth);
        ASSERT_NE(holder, nullptr) << test.at.x << " " << test.at.y << " " << test.at.z;
        EXPECT_EQ(depth, test.depth);
        EXPECT_FLOAT_EQ(holder->box.minX, test.minX);
        EXPECT_FLOAT_EQ(holder->box.minY, test.minY);
        EXPECT_FLOAT_EQ(holder->box.minZ, test.minZ);
    }
    EXPECT_EQ(tree.deepestLevel, 2);
}

TEST_F(SceneTreeTest, APositionOutsideIsMarkedHeldButNotInserted)
{
    WeActor& outside = ActorAt({8.5f, 0, 0});
    tree.Insert(&outside, false);
    EXPECT_EQ(outside.octree, &tree);
    int32_t depth = 0;
    EXPECT_EQ(Holder(*tree.root, &outside, depth), nullptr);
    EXPECT_EQ(tree.nodeCount, 1) << "nothing subdivided";
    tree.Remove(&outside);
    EXPECT_EQ(outside.octree, nullptr);
    tree.Insert(&outside, false);
    tree.Insert(&outside, false);
    EXPECT_EQ(tree.root->actors.GetCount(), 0) << "an actor in a tree is not inserted again";
}

TEST_F(SceneTreeTest, RemovingTheLastActorOfALeafDeletesOnlyTheLeaf)
{
    WeActor& first = ActorAt({5, 5, 5});
    WeActor& second = ActorAt({5.5f, 5, 5});
    tree.Insert(&first, false);
    tree.Insert(&second, false);
    EXPECT_EQ(tree.nodeCount, 1 + 8 + 8);
    tree.Remove(&first);
    EXPECT_EQ(tree.nodeCount, 17) << "the leaf still holds the second";
    tree.Remove(&second);
    EXPECT_EQ(tree.nodeCount, 16) << "the leaf goes, its empty parent stays";
    tree.Remove(&second);
    EXPECT_EQ(tree.nodeCount, 16);
}

TEST_F(SceneTreeTest, BySphereACrossingSphereStaysInTheParent)
{
    WeActor& crossing = ActorAt({3.9f, 2, 2}, 0.5f);
    WeActor& inside = ActorAt({2, 2, 2}, 0.5f);
    tree.Insert(&crossing, true);
    tree.Insert(&inside, true);
    int32_t depth = 0;
    EXPECT_NE(Holder(*tree.root, &crossing, depth), nullptr);
    EXPECT_EQ(depth, 1) << "across the split at x = 4";
    depth = 0;
    Holder(*tree.root, &inside, depth);
    EXPECT_EQ(depth, 2);
}

} // namespace
