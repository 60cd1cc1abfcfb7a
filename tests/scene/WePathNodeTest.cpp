// Path nodes: the graph the scene links them into (loops, forks, jumps and the walks that must
// stop), their positions along it, their links by name, and their records.
#include "WePathNode.h"

#include "SceneFixture.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <memory>

namespace
{

struct NodeSpec
{
    int32_t number;
    WeVector at;
    int32_t kind = WePathNode::plain;
    int32_t branchA = 0, branchB = 0;
};

class PathNodeTest : public SceneTest
{
protected:
    void AddNodes(std::initializer_list<NodeSpec> specs)
    {
        for (const NodeSpec& spec : specs)
        {
            auto* node = new WePathNode;
            node->Number = spec.number;
            node->Kind = spec.kind;
            node->BranchA = spec.branchA;
            node->BranchB = spec.branchB;
            node->name = WeString("node ").AppendInt(spec.number);
            scene->AddActor(node);
            node->SetLocation(spec.at);
        }
    }
    WePathNode& Node(int32_t number)
    {
        WePathNode* node = scene->FindPathNodeByNumber(number);
        EXPECT_NE(node, nullptr) << number;
        return *node;
    }

    std::unique_ptr<WeScene> scene = std::make_unique<WeScene>();
};

TEST_F(PathNodeTest, PlainNodesCloseIntoALoopInNumberOrder)
{
    AddNodes({{30, {0, 0, 7}}, {10, {0, 0, 0}}, {20, {3, 0, 0}}});
    scene->BuildPathGraph(true, false);
    EXPECT_EQ(scene->pathRoot, &Node(10));
    EXPECT_EQ(Node(10).next, &Node(20));
    EXPECT_EQ(Node(20).next, &Node(30));
    EXPECT_EQ(Node(30).next, &Node(10));
    EXPECT_EQ(Node(10).previous, &Node(30));
    const float length = 3.0f + std::sqrt(9.0f + 49.0f) + 7.0f;
    EXPECT_FLOAT_EQ(scene->pathLength, length) << "the closing segment counts";
    EXPECT_FLOAT_EQ(Node(10).position, 0.0f);
    EXPECT_FLOAT_EQ(Node(20).position, 3.0f / length);
    EXPECT_FLOAT_EQ(Node(30).position, (3.0f + std::sqrt(58.0f)) / length);
    EXPECT_EQ(scene->pathNodeCount, 3);
    EXPECT_EQ(scene->actors.GetCount(), 3) << "nothing created";
}

TEST_F(PathNodeTest, WithoutAPlainNodeNumberedOneOrMoreANewNodeIsThePath)
{
    AddNodes({{0, {1, 0, 0}}, {-3, {2, 0, 0}}, {4, {3, 0, 0}, WePathNode::join}});
    scene->BuildPathGraph(false, false);
    EXPECT_EQ(scene->pathRoot, nullptr);
    scene->BuildPathGraph(true, false);
    ASSERT_NE(scene->pathRoot, nullptr);
    EXPECT_EQ(scene->actors.GetCount(), 4);
    EXPECT_EQ(scene->pathRoot->next, scene->pathRoot);
    EXPECT_FLOAT_EQ(scene->pathLength, 1.0f);
    EXPECT_TRUE(scene->pathRoot->placed);
    EXPECT_FLOAT_EQ(scene->pathRoot->GetWorldPosition().x, 0.0f);
    EXPECT_EQ(Node(0).GetDisplayName(), "INVALID node 0");
}

TEST_F(PathNodeTest, AForkSpreadsTheLongerBranchOverTheShorterOnesSpan)
{
    // Branch A: 2.5 + 2.5 + 5 = 10 long; branch B: 5 + 10 + 5 = 20.
    AddNodes({{1, {0, 0, -10}},
              {2, {0, 0, 0}, WePathNode::fork, 3, 5},
              {3, {0, 0, 2.5f}},
              {4, {0, 0, 5}},
              {5, {5, 0, 0}},
              {6, {5, 0, 10}},
              {7, {0, 0, 10}, WePathNode::join, 4, 6},
              {8, {0, 0, 20}}});
    scene->BuildPathGraph(true, false);
    WePathNode& fork = Node(2);
    EXPECT_FLOAT_EQ(fork.branchRatio, 0.5f);
    EXPECT_EQ(fork.next, &Node(3)) << "the shorter branch first";
    EXPECT_EQ(fork.secondNext, &Node(5));
    EXPECT_EQ(fork.partner, &Node(7));
    EXPECT_EQ(Node(4).next, &Node(7));
    EXPECT_EQ(Node(6).next, &Node(7));
    EXPECT_EQ(Node(7).secondPrevious, &Node(6));
    EXPECT_FLOAT_EQ(Node(7).distance, 20.0f) << "the shorter branch's length added";
    EXPECT_FLOAT_EQ(scene->pathLength, 60.0f);
    const struct
    {
        int32_t number;
        float at; // along the path, of 60
    } places[] = {{1, 0}, {2, 10}, {3, 12.5f}, {4, 15}, {5, 12.5f}, {6, 17.5f}, {7, 20}, {8, 30}};
    for (const auto& place : places)
    {
        EXPECT_TRUE(Node(place.number).placed) << place.number;
        EXPECT_FLOAT_EQ(Node(place.number).position * 60.0f, place.at) << place.number;
    }
    EXPECT_EQ(Node(6).branch, 2);
}

TEST_F(PathNodeTest, AForkWhoseBranchesCannotStartThereEndsTheWalkBeforeIt)
{
    const struct
    {
        const char* what;
        int32_t branchA, branchB;
    } cases[] = {{"missing", 99, 98}, {"itself", 20, 25}, {"the root", 10, 25}, {"one node twice", 25, 25}};
    for (const auto& test : cases)
    {
        scene = std::make_unique<WeScene>();
        AddNodes({{10, {0, 0, 0}},
                  {20, {0, 0, 5}, WePathNode::fork, test.branchA, test.branchB},
                  {25, {2, 0, 7}},
                  {30, {0, 0, 9}, WePathNode::join, 25, 25},
                  {40, {0, 0, 12}}});
        scene->BuildPathGraph(true, false);
        EXPECT_EQ(Node(10).next, &Node(10)) << test.what << ": the loop closes at the root";
        for (const int32_t number : {20, 25, 30, 40})
            EXPECT_FALSE(Node(number).placed) << test.what << " " << number;
        EXPECT_EQ(Node(40).GetDisplayName().Substring(0, 8), "INVALID ");
    }
}

TEST_F(PathNodeTest, AJumpAddsNoLengthAndLinksToItsEnd)
{
    AddNodes({{1, {0, 0, 0}},
              {2, {0, 0, 4}, WePathNode::jumpStart},
              {3, {0, 0, 50}, WePathNode::jumpEnd},
              {4, {0, 0, 53}}});
    scene->BuildPathGraph(true, false);
    EXPECT_EQ(Node(2).next, &Node(3));
    EXPECT_EQ(Node(2).BranchA, 3);
    EXPECT_FLOAT_EQ(Node(3).distance, 4.0f);
    EXPECT_FLOAT_EQ(Node(4).distance, 7.0f);
    EXPECT_FLOAT_EQ(scene->pathLength, 60.0f);
}

TEST_F(PathNodeTest, LinksNameActorsByTheirFirstWord)
{
    for (const char* name : {"Lamp one", "Lamp two", "Lampshade", "Box", "Ignored"})
    {
        auto* actor = new WeActor;
        actor->name = name;
        scene->AddActor(actor);
    }
    AddNodes({{1, {0, 0, 0}}});
    WePathNode& node = Node(1);
    node.LinkNamesA = "Lamp one; Box extra;;Ignored";
    node.LinkNamesB = "Nobody";
    scene->LinkActors();
    std::vector<std::string> linked;
    for (const WeActor* actor : node.linksA)
        linked.push_back(actor->name.GetData());
    std::sort(linked.begin(), linked.end());
    EXPECT_EQ(linked, (std::vector<std::string>{"Box", "Lamp one", "Lamp two"}));
    EXPECT_TRUE(node.linksB.IsEmpty());
    EXPECT_EQ(node.GetDisplayName(), "INVALID node 1   [Lamp one; Box extra;;Ignored]   [Nobody]");
}

TEST_F(PathNodeTest, RecordsRoundTripAndOldOnesStartWithTheirNumber)
{
    WePathNode written;
    written.name = "saved";
    written.Number = 77;
    written.Kind = WePathNode::fork;
    written.BranchB = 5;
    written.values[34] = 3.5f;
    written.value33 = 9;
    written.flags[19] = true;
    written.texts[3] = "three";
    written.LinkNamesB = "B";
    written.colourB.g = 0.25f;
    WeActor head;
    head.name = "old";
    head.SetLocation({1.0f, 0.0f, 0.0f});
    const std::vector<uint8_t> saved = Saved(written), actorBytes = Saved(head);
    RecordBytes map = Header();
    map.Int(WeActorTypePathNode).Raw(saved.data(), saved.size());
    map.Int(WeActorTypePathNode).Raw(actorBytes.data(), actorBytes.size()).Int(-5); // no version word
    map.Int(WeActorTypeMesh).Raw(actorBytes.data(), actorBytes.size()).Int(0);
    WriteMap("nodes", map);
    WeScene loaded;
    ASSERT_TRUE(loaded.Load("nodes")) << loaded.loadMessage.GetData();
    auto* copy = dynamic_cast<WePathNode*>(loaded.FindPathNodeByNumber(77));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Kind, WePathNode::fork);
    EXPECT_EQ(copy->BranchB, 5);
    EXPECT_FLOAT_EQ(copy->values[34], 3.5f);
    EXPECT_FLOAT_EQ(copy->values[17], 60.0f) << "defaults written and read back";
    EXPECT_EQ(copy->value33, 9);
    EXPECT_TRUE(copy->flags[19]);
    EXPECT_EQ(copy->texts[3], "three");
    EXPECT_EQ(copy->LinkNamesB, "B");
    EXPECT_FLOAT_EQ(copy->colourB.g, 0.25f);
    EXPECT_NE(loaded.FindPathNodeByNumber(-5), nullptr) << "read as a record without version";
    EXPECT_EQ(loaded.actors.GetCount(), 4)
        << "the actor after it read in step, and a new root: no plain node";
    EXPECT_GE(WePathNode::nodeCounter, 77);
    WePathNode duplicate;
    duplicate.CopyFrom(*copy);
    EXPECT_EQ(duplicate.Number, WePathNode::nodeCounter);
    EXPECT_EQ(duplicate.texts[3], "three");
}

TEST_F(PathNodeTest, PlainNodesAtTheOriginAreDroppedAtLoad)
{
    RecordBytes map = Header();
    for (const WeVector& at : {WeVector{0.0005f, -0.0009f, 0.0f}, WeVector{0.001f, 0.0f, 0.0f}})
    {
        WePathNode node;
        node.SetLocation(at);
        AddActor(map, node);
    }
    WePathNode fork;
    fork.Kind = WePathNode::fork;
    AddActor(map, fork);
    WriteMap("origin", map.Int(0));
    WeScene loaded;
    ASSERT_TRUE(loaded.Load("origin"));
    EXPECT_EQ(loaded.pathNodes.GetCount(), 2) << "the one nearer than 0.001 on every axis goes";
}

} // namespace
