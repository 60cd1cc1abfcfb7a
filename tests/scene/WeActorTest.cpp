// Actor records of every version, transforms, spawn links and culling.
#include "SceneFixture.h"

#include <cmath>

namespace
{

// An actor record of version v laid out as older writers did, with every dropped field zero:
// its matrix and scale, a lifetime (versions before 28) and a location (before 31).
RecordBytes OldRecord(int32_t v, const WeMatrix& matrix, const WeVector& scale, float lifetime,
                      const WeVector& location)
{
    RecordBytes r;
    r.Int(v);
    if (v < 33)
        r.Int(WeActorTypeMesh);
    if (v == 33 || (v >= 16 && v < 20))
        r.Bool(false);
    if (v < 33)
        r.Int(0);
    if (v < 21)
        r.Int(0);
    if (v < 28)
        r.Float(lifetime);
    if (v < 27)
        r.Float(0);
    if (v < 20)
        r.Bool(false).Bool(false);
    if (v >= 28 && v < 34)
        r.Bool(false);
    r.Bool(true);
    if (v >= 23)
        r.Bool(true);
    if (v >= 22)
        r.Bool(false);
    if (v < 20)
        r.Bool(false);
    if (v < 21)
        r.Floats({0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    if (v < 31)
        r.Floats({location.x, location.y, location.z});
    r.Raw(&matrix, sizeof matrix).Floats({scale.x, scale.y, scale.z});
    if (v < 20)
        r.Floats({0, 0, 0, 0, 0, 0});
    r.Bool(false);
    if (v < 34)
        r.Bool(false);
    if (v >= 17 && v < 34)
        r.Float(0);
    if (v < 19)
        r.Floats({0, 0, 0});
    if (v < 19 && v >= 5)
        r.Floats({0, 0, 0}).Bool(false);
    if (v < 26)
        r.Bool(false);
    r.Int(3);
    if (v >= 39)
        r.Int(-1);
    r.String("Model.Name");
    if (v < 19)
        r.String("");
    if (v >= 6)
        r.String("old");
    if (v >= 7)
        r.String("");
    if (v >= 8 && v < 25)
        r.Bool(false).Floats({0, 0});
    if (v >= 8 && v < 20)
        r.Floats({0, 0});
    if (v >= 12 && v < 25)
        r.Floats({0, 0, 0, 0});
    if (v >= 9 && v < 34)
        r.Bool(false).Bool(false);
    if (v >= 10)
        r.Bool(true);
    if (v >= 14)
        r.String("").Float(100);
    if (v >= 38)
        r.Float(10);
    if (v >= 13 && v < 19)
        r.Bool(false);
    if (v >= 13 && v < 34)
        r.Float(0);
    if (v >= 3 && v < 20)
        r.Int(7); // no light map
    if (v >= 11)
        r.Bool(false);
    if (v >= 24)
        r.Bool(false);
    if (v >= 37)
        r.String("");
    if (v >= 32)
        r.Float(1);
    if (v >= 41)
        r.Bool(true);
    if (v >= 40)
        r.Bool(false);
    if (v >= 35)
        r.Bool(false);
    if (v >= 36)
        r.Bool(true).Bool(true);
    if (v >= 15)
        r.Int(0);
    if (v >= 18 && v < 26)
        r.String("");
    if (v >= 20)
        r.Int(7);
    return r;
}

bool LoadRecord(WeActor& actor, const RecordBytes& record, RecordPackage& package)
{
    WeRecordReader reader(package.Open(record.bytes), int64_t(record.Size()) + 4);
    const bool loaded = actor.Load(reader);
    if (loaded)
        package.ExpectAtSentinel(reader, record.Size());
    return loaded;
}

WeMatrix Translation(float x, float y, float z)
{
    return d3dx::D3DXMatrixTranslation(x, y, z);
}

} // namespace

using ActorTest = SceneTest;

TEST_F(ActorTest, RecordRoundTrip)
{
    WeActor actor;
    actor.name = "crate";
    actor.modelName = "Ingame.Models.Block";
    actor.materialPreset = 5;
    actor.secondMaterialPreset = 2;
    actor.soundName = "Sounds.Drip";
    actor.animationName = "Walk";
    actor.animationLoop = false;
    actor.outlined = true;
    actor.physicModel.type = 6;
    actor.SetMatrix(d3dx::D3DXMatrixMultiply(d3dx::D3DXMatrixRotationZ(0.5f), Translation(1, 2, 3)));
    actor.SetScale({2, 2, 2});

    RecordPackage package;
    RecordBytes record;
    const std::vector<uint8_t> bytes = Saved(actor);
    record.Raw(bytes.data(), bytes.size());
    WeActor loaded;
    ASSERT_TRUE(LoadRecord(loaded, record, package));
    EXPECT_EQ(loaded.version, 41);
    EXPECT_EQ(loaded.name, "crate");
    EXPECT_EQ(loaded.modelName, "Ingame.Models.Block");
    EXPECT_EQ(loaded.materialPreset, 5);
    EXPECT_EQ(loaded.secondMaterialPreset, 2);
    EXPECT_EQ(loaded.soundName, "Sounds.Drip");
    EXPECT_EQ(loaded.animationName, "Walk");
    EXPECT_FALSE(loaded.animationLoop);
    EXPECT_TRUE(loaded.outlined);
    EXPECT_EQ(loaded.physicModel.type, 6);
    EXPECT_FLOAT_EQ(loaded.GetLocation().y, 2.0f);
    EXPECT_FLOAT_EQ(loaded.localMatrix.m[0][1], std::sin(0.5f));
    EXPECT_FLOAT_EQ(loaded.scale.x, 2.0f);
    EXPECT_FLOAT_EQ(loaded.GetRenderMatrix().m[0][0], 2.0f * std::cos(0.5f));
    EXPECT_FALSE(loaded.HasLifetime());
}

TEST_F(ActorTest, OlderRecordsReadThroughTheirVersionGates)
{
    struct Case
    {
        int32_t version;
        WeVector scale;
        float storedRow; // row 0, column 0 as stored
        float lifetime;
        float expectedRow;
        bool hasLifetime;
        float expectedX; // the translation
    };
    const Case cases[] = {
        {20, {2, 1, 1}, 2.0f, 5.0f, 1.0f, false, 9.0f},         // scaled matrix; old location
        {2, {0, 1, 1}, 3.0f, 0.0f, 3.0f, false, 9.0f},          // a zero scale divides nothing
        {27, {1, 1, 1}, 1.0f, 1234567.875f, 1.0f, false, 9.0f}, // the no-lifetime mark
        {30, {1, 1, 1}, 1.0f, 0.0f, 1.0f, false, 9.0f},
        {31, {1, 1, 1}, 1.0f, 0.0f, 1.0f, false, 4.0f}, // the matrix keeps its translation
        {33, {1, 1, 1}, 1.0f, 0.0f, 1.0f, false, 4.0f},
        {40, {1, 1, 1}, 1.0f, 0.0f, 1.0f, false, 4.0f},
    };
    for (const Case& test : cases)
    {
        WeMatrix matrix = Translation(4, 0, 0);
        matrix.m[0][0] = test.storedRow;
        RecordPackage package;
        WeActor actor;
        ASSERT_TRUE(
            LoadRecord(actor, OldRecord(test.version, matrix, test.scale, test.lifetime, {9, 0, 0}), package))
            << test.version;
        EXPECT_EQ(actor.version, test.version);
        EXPECT_EQ(actor.materialPreset, 3) << test.version;
        EXPECT_EQ(actor.modelName, "Model.Name") << test.version;
        EXPECT_FLOAT_EQ(actor.localMatrix.m[0][0], test.expectedRow) << test.version;
        EXPECT_FLOAT_EQ(actor.GetLocation().x, test.expectedX) << test.version;
        EXPECT_EQ(actor.HasLifetime(), test.hasLifetime) << test.version;
    }
}

TEST_F(ActorTest, ARecordCutShortFails)
{
    WeActor source;
    const std::vector<uint8_t> bytes = Saved(source);
    RecordPackage package;
    WeActor actor;
    WeRecordReader reader(package.Open(bytes), int64_t(bytes.size()) - 1);
    EXPECT_FALSE(actor.Load(reader));
}

TEST_F(ActorTest, ChildrenFollowParentsAndAttachOffsets)
{
    WeActor parent, child;
    parent.SetMatrix(d3dx::D3DXMatrixMultiply(d3dx::D3DXMatrixRotationZ(1.5707964f), Translation(10, 0, 0)));
    child.SetLocation({1, 0, 0});
    child.SetParent(&parent);
    EXPECT_NEAR(child.GetWorldPosition().x, 10.0f, 1e-5f);
    EXPECT_NEAR(child.GetWorldPosition().y, 1.0f, 1e-5f);
    ASSERT_EQ(parent.children.GetCount(), 1);

    child.SetAttachPoint({0, 2, 0}, WeQuaternion{});
    EXPECT_NEAR(child.GetWorldPosition().x, 8.0f, 1e-5f) << "the offset turns with the parent";

    child.Detach();
    EXPECT_EQ(parent.children.GetCount(), 0);
    EXPECT_NEAR(child.GetWorldPosition().x, 8.0f, 1e-5f) << "a dropped parent leaves the actor in place";
    parent.SetLocation({0, 0, 0});
    child.UpdateWorldMatrix(false, false, false);
    EXPECT_NEAR(child.GetWorldPosition().x, 8.0f, 1e-5f);
}

TEST_F(ActorTest, OrthonormaliseRebuildsSkewedAxes)
{
    WeActor actor;
    WeMatrix skewed;
    skewed.m[0][0] = 2.0f;
    skewed.m[1][0] = 0.5f;
    skewed.m[2][2] = 0.0f; // a zero-length axis
    actor.SetMatrix(skewed);
    EXPECT_FALSE(actor.Orthonormalise(false)) << "not fixed without force, physics or the key";
    EXPECT_FLOAT_EQ(actor.localMatrix.m[0][0], 2.0f);
    EXPECT_FALSE(actor.Orthonormalise(true));
    EXPECT_TRUE(actor.Orthonormalise(false));
    for (int32_t row = 0; row < 3; ++row)
        for (float value : actor.localMatrix.m[row])
            EXPECT_TRUE(std::isfinite(value));
}

TEST_F(ActorTest, SpawnsLinkToTheNextNumber)
{
    WeScene scene;
    struct Case
    {
        const char* name;
        const char* next;
    };
    for (const Case& test :
         {Case{"spawn:3", "spawn:4"}, Case{"spawn 7", "spawn:1"}, Case{"Spawn:1", nullptr}})
    {
        auto* first = new WeActor();
        first->name = test.name;
        scene.AddActor(first);
        WeActor* target = nullptr;
        if (test.next)
        {
            target = new WeActor();
            target->name = test.next;
            scene.AddActor(target);
        }
        first->LinkSpawn();
        EXPECT_EQ(first->nextSpawn, target) << test.name;
        if (target)
        {
            EXPECT_EQ(target->previousSpawn, first);
        }
        delete first;
        delete target;
    }
}

TEST_F(ActorTest, FrustumTests)
{
    WeCamera camera;
    camera.aspect = 1.0f;
    camera.Update();
    WeActor actor;
    actor.SetLocation({0, 0, -50});
    actor.UpdateBounds();
    EXPECT_TRUE(actor.IsInFrustum(camera.frustum, 0, 0)) << "a radius of 0 always passes";
    actor.radiusOverride = 1.0f;
    actor.UpdateBounds();
    EXPECT_FALSE(actor.IsInFrustum(camera.frustum, 0, 0));
    EXPECT_TRUE(actor.IsInFrustum(camera.frustum, 0x3F, 0)) << "every plane masked";
    actor.SetLocation({0, 0, 50});
    actor.UpdateBounds();
    EXPECT_TRUE(actor.IsInFrustum(camera.frustum, 0, 0));
}
