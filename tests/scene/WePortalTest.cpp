// Portals: their records of every version through the map loader, their rebuild when the size
// changes, the culling of actors seen through them, and which linked portals see each other.
#include "WePortal.h"

#include "SceneFixture.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace
{

class PortalTest : public SceneTest
{
protected:
    // A camera at the origin looking along +z, 90 degrees wide, far clip 1000.
    PortalTest()
    {
        camera.SetPerspective(std::numbers::pi_v<float> / 2.0f, 1.0f, 1000.0f, 1.0f);
        camera.Update();
    }
    // A 4 x 4 portal at the place, turned 30 degrees about y so that its sides lie at different
    // depths, in the scene and projected.
    WePortal& AddPortal(const WeVector& at)
    {
        auto* portal = new WePortal;
        scene.AddActor(portal);
        portal->Width = portal->Height = 4.0f;
        WeMatrix placed = d3dx::D3DXMatrixRotationYawPitchRoll(std::numbers::pi_v<float> / 6.0f, 0, 0);
        placed.m[3][0] = at.x;
        placed.m[3][1] = at.y;
        placed.m[3][2] = at.z;
        portal->SetMatrix(placed);
        portal->UpdateGeometry();
        scene.UpdatePortals(camera);
        return *portal;
    }
    // Whether an actor of the sphere passes the portal test.
    bool BallVisible(const WeVector& at, float radius)
    {
        WeActor ball;
        ball.sphereCentre = at;
        ball.sphereRadius = radius;
        return scene.IsVisibleThroughPortals(ball, camera);
    }

    WeScene scene;
    WeCamera camera;
};

TEST_F(PortalTest, ActorsWhollyBehindThePortalsRectangleAreHidden)
{
    const WePortal& portal = AddPortal({0, 0, 10});
    EXPECT_TRUE(portal.projected);
    EXPECT_FALSE(portal.visible) << "portals are not drawn outside the editor";
    EXPECT_LT(portal.screen.minX, 0.0f);
    EXPECT_GT(portal.screen.maxX, 0.0f);
    const struct
    {
        const char* what;
        WeVector at;
        float radius;
        bool visible;
    } cases[] = {
        {"behind, inside", {0, 0, 30}, 0.5f, false},
        {"behind, across the edge", {0, 0, 30}, 6.0f, true},
        {"in front", {0, 0, 5}, 0.5f, true},
        {"beside", {20, 0, 30}, 0.5f, true},
    };
    for (const auto& test : cases)
        EXPECT_EQ(BallVisible(test.at, test.radius), test.visible) << test.what;
    scene.portalCulling = false;
    EXPECT_TRUE(BallVisible({0, 0, 30}, 0.5f)) << "culling off";
}

TEST_F(PortalTest, APortalBehindTheCameraOrNoneCullsNothing)
{
    EXPECT_TRUE(BallVisible({0, 0, 30}, 0.5f)) << "no portals";
    const WePortal& behind = AddPortal({0, 0, -10});
    EXPECT_FALSE(behind.projected);
    EXPECT_TRUE(BallVisible({0, 0, -30}, 0.5f));
    EXPECT_TRUE(BallVisible({0, 0, 30}, 0.5f));
}

// The far portal is linked and behind the near one from the camera; the near one has nothing
// between it and the camera.
TEST_F(PortalTest, ALinkedPortalBehindAnotherIsNotMutuallyVisible)
{
    WePortal& far = AddPortal({0, 0, 10});
    WePortal& near = AddPortal({0, 0, 5});
    const struct
    {
        bool farFlags[2], nearFlags[2];
        bool farVisible, nearVisible;
    } cases[] = {
        {{false, false}, {true, false}, false, true}, // not linked: never
        {{true, false}, {false, false}, true, false}, // the near one takes no part
        {{true, false}, {true, false}, false, true},
        {{true, false}, {true, true}, true, true}, // only a far portal with the third flag meets it
        {{true, true}, {true, true}, false, true},
        {{true, true}, {true, false}, false, true},
    };
    for (const auto& test : cases)
    {
        std::copy(test.farFlags, test.farFlags + 2, far.flags + 1);
        std::copy(test.nearFlags, test.nearFlags + 2, near.flags + 1);
        scene.UpdatePortals(camera);
        const int32_t row = int32_t(&test - cases);
        EXPECT_EQ(far.mutuallyVisible, test.farVisible) << "case " << row;
        EXPECT_EQ(near.mutuallyVisible, test.nearVisible) << "case " << row;
    }
}

TEST_F(PortalTest, ANewSizeRebuildsTheBoundsOnTheNextTick)
{
    WePortal& portal = AddPortal({0, 0, 10});
    scene.Tick();
    EXPECT_FLOAT_EQ(portal.storedScale.x, 4.0f);
    portal.Width = 20.0f;
    scene.Tick();
    EXPECT_FLOAT_EQ(portal.storedScale.x, 20.0f);
    EXPECT_FLOAT_EQ(portal.scale.x, 20.0f);
    EXPECT_FLOAT_EQ(portal.sphereRadius, 10.0f * std::numbers::sqrt2_v<float>);
    EXPECT_EQ(scene.ticked.GetCount(), 1) << "filed once however often it is indexed";
    EXPECT_NEAR(portal.portalCorners[2].x - portal.portalCorners[1].x,
                20.0f * std::cos(std::numbers::pi_v<float> / 6.0f), 1e-4f);
}

TEST_F(PortalTest, RecordsOfEveryVersionLoad)
{
    WeActor head;
    head.name = "portal";
    const std::vector<uint8_t> actorBytes = Saved(head);
    WePortal written;
    written.Width = 3.0f;
    written.Height = 7.0f;
    written.flags[2] = true;
    written.values[1] = 9.0f;
    const std::vector<uint8_t> current = Saved(written);
    const struct
    {
        const char* name;
        RecordBytes portal;
        float width, value2;
        bool flag1, flag2;
    } cases[] = {
        {"v1", RecordBytes().Int(1).Int(7).Int(8).String("a").String("b").Bool(false).Float(2).Float(3), 2,
         500, false, false},
        {"v2",
         RecordBytes().Int(2).Int(7).Int(8).String("").String("").Bool(true).Float(2).Float(3).Bool(true), 2,
         500, true, true},
        {"v3",
         RecordBytes()
             .Int(3)
             .Int(0)
             .Int(0)
             .String("")
             .String("")
             .Bool(true)
             .Float(5)
             .Float(3)
             .Bool(false)
             .Bool(true)
             .Float(42),
         5, 42, true, false},
        {"v9", RecordBytes().Int(9), 10, 500, true, false},
    };
    for (const auto& test : cases)
    {
        RecordBytes map = Header();
        map.Int(WeActorTypePortal).Raw(actorBytes.data(), actorBytes.size());
        map.Raw(test.portal.bytes.data(), test.portal.Size()).Int(0);
        WriteMap(test.name, map);
        WeScene loaded;
        ASSERT_TRUE(loaded.Load(test.name)) << test.name;
        auto* portal = dynamic_cast<WePortal*>(loaded.FindActor("portal"));
        ASSERT_NE(portal, nullptr) << test.name;
        EXPECT_FLOAT_EQ(portal->Width, test.width) << test.name;
        EXPECT_FLOAT_EQ(portal->values[1], test.value2) << test.name;
        EXPECT_EQ(portal->flags[0], test.flag1) << test.name;
        EXPECT_EQ(portal->flags[1], test.flag2) << test.name;
        EXPECT_EQ(loaded.portals.GetCount(), 1);
    }
    RecordBytes map = Header();
    map.Int(WeActorTypePortal).Raw(current.data(), current.size()).Int(0);
    WriteMap("v5", map);
    WeScene loaded;
    ASSERT_TRUE(loaded.Load("v5"));
    loaded.portals.Reset();
    const auto* portal = static_cast<const WePortal*>(loaded.portals.GetValue());
    EXPECT_FLOAT_EQ(portal->Height, 7.0f);
    EXPECT_TRUE(portal->flags[2]);
    EXPECT_FLOAT_EQ(portal->values[1], 9.0f);
}

} // namespace
