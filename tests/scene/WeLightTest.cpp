// Light records and states of every version, fades, key states and the range limit.
#include "WeLight.h"
#include "SceneFixture.h"

namespace
{

WeLightState State(float intensity, float duration)
{
    WeLightState state;
    state.Intensity = intensity;
    state.Duration = duration;
    return state;
}

// A new light in the scene.
WeLight* AddLight(WeScene& scene)
{
    auto* light = new WeLight();
    scene.AddActor(light);
    return light;
}

void Ticks(WeScene& scene, int32_t ticks)
{
    for (int32_t i = 0; i < ticks; ++i)
        scene.Tick();
}

} // namespace

using LightTest = SceneTest;

TEST_F(LightTest, StateRecordsOfEveryVersion)
{
    struct Case
    {
        RecordBytes record;
        float intensity, specular, duration, variation, corona;
    };
    const Case cases[] = {
        // no version word (a first word below 10): it is read again as data
        {RecordBytes().Floats({0.0f, 1, 1, 1, 1, 1, 1, 1}).Floats({3, 0.25f}), 0.25f, 1, 3, 0, 1},
        {RecordBytes().Int(10).Floats({1, 1, 1, 1, 1, 1, 1, 1}).Floats({0.25f, 0.75f, 3}), 0.25f, 0.75f, 3, 0,
         1},
        {RecordBytes()
             .Int(11)
             .Floats({1, 1, 1, 1, 1, 1, 1, 1})
             .Floats({0.25f, 0.75f, 3, 0.5f, 1, 1, 1, 1, 1}),
         0.25f, 0.75f, 3, 0, 0.5f},
        {RecordBytes()
             .Int(12)
             .Floats({1, 1, 1, 1, 1, 1, 1, 1})
             .Floats({0.25f, 0.75f, 3, 2, 0.5f, 1, 1, 1, 1, 1}),
         0.25f, 0.75f, 3, 2, 0.5f},
    };
    for (const Case& test : cases)
    {
        RecordPackage package;
        WeRecordReader reader(package.Open(test.record.bytes), int64_t(test.record.Size()) + 4);
        WeLightState state;
        state.Read(reader);
        ASSERT_TRUE(reader.Ok());
        package.ExpectAtSentinel(reader, test.record.Size());
        EXPECT_FLOAT_EQ(state.Intensity, test.intensity);
        EXPECT_FLOAT_EQ(state.SpecularIntensity, test.specular);
        EXPECT_FLOAT_EQ(state.Duration, test.duration);
        EXPECT_FLOAT_EQ(state.variation, test.variation);
        EXPECT_FLOAT_EQ(state.CoronaAlpha, test.corona);
    }
}

TEST_F(LightTest, LightRecordsRoundTripAndOldVersionsReadTheirFields)
{
    WeLight light;
    light.Range = 321.0f;
    light.LightType = LIGHT_POINT | LIGHT_FLARE;
    light.InterpolateStates = true;
    light.CoronaTextureName = "Textures.Corona";
    light.CastShadowPlane[5] = true;
    light.furtherValue = 4.5f;
    light.states.PushBack(State(0.5f, 2.0f));
    light.states.PushBack(State(2.0f, 1.0f));
    const std::vector<uint8_t> bytes = Saved(light);
    RecordPackage package;
    WeLight loaded;
    WeRecordReader reader(package.Open(bytes), int64_t(bytes.size()) + 4);
    ASSERT_TRUE(loaded.Load(reader));
    package.ExpectAtSentinel(reader, bytes.size());
    EXPECT_FLOAT_EQ(loaded.Range, 321.0f);
    EXPECT_EQ(loaded.LightType, 9);
    EXPECT_TRUE(loaded.InterpolateStates);
    EXPECT_EQ(loaded.CoronaTextureName, "Textures.Corona");
    EXPECT_TRUE(loaded.CastShadowPlane[5]);
    EXPECT_FLOAT_EQ(loaded.furtherValue, 4.5f);
    ASSERT_EQ(loaded.states.GetCount(), 2);
    EXPECT_FLOAT_EQ(loaded.states.Last().Intensity, 2.0f);

    // Versions 6 to 14 by the fields they hold after the states.
    struct Case
    {
        int32_t version;
        bool sixFloats;
        RecordBytes tail;
        float further;
    };
    const Case cases[] = {
        {6, true, RecordBytes(), 0.0f},
        {8, true, RecordBytes().Bool(true).Floats({9, 9}), 0.0f},
        {10, false, RecordBytes().Bool(true).Floats({9, 9}).Float(3), 3.0f},
        {12, false, RecordBytes().Bool(true).Bool(true).Bool(true).Floats({9, 9}).Float(3), 3.0f},
        {14, false, RecordBytes().Bool(true).Bool(true).Bool(true).Float(3).Bool(true), 3.0f},
    };
    for (const Case& test : cases)
    {
        RecordBytes record;
        record.Int(test.version).Bool(true).Int(LIGHT_POINT).Bool(true).Bool(false).Floats({50, 1, 1});
        record.Bool(false).Bool(false).Bool(false).String("").Bool(false).Bool(false).Floats({1, 1, 1, 1});
        for (int i = 0; i < 6; ++i)
            record.String("");
        if (test.sixFloats)
            record.Floats({0, 0, 0, 0, 0, 0});
        record.Floats({0.5f, 0.5f})
            .Int(1)
            .Int(12)
            .Floats({1, 1, 1, 1, 1, 1, 1, 1, 7, 1, 1, 0, 1, 1, 1, 1, 1, 1});
        record.Raw(test.tail.bytes.data(), test.tail.Size());
        RecordPackage oldPackage;
        WeLight old;
        WeRecordReader oldReader(oldPackage.Open(record.bytes), int64_t(record.Size()) + 4);
        ASSERT_TRUE(old.LoadLight(oldReader)) << test.version;
        oldPackage.ExpectAtSentinel(oldReader, record.Size());
        EXPECT_FLOAT_EQ(old.Range, 50.0f);
        EXPECT_FLOAT_EQ(old.states.First().Intensity, 7.0f);
        EXPECT_FLOAT_EQ(old.furtherValue, test.further) << test.version;
    }
    for (const int32_t refused : {5, 2, 101, 0x3F800000})
    {
        RecordPackage refusedPackage;
        WeLight other;
        const RecordBytes record = RecordBytes().Int(refused).Floats({1, 1, 1, 1, 1, 1, 1, 1});
        WeRecordReader refusedReader(refusedPackage.Open(record.bytes), int64_t(record.Size()));
        EXPECT_FALSE(other.LoadLight(refusedReader)) << refused;
    }
}

TEST_F(LightTest, FadesInAndOut)
{
    WeScene scene;
    WeLight* light = AddLight(scene);
    light->IntensityFadeInTime = 2.0f;
    Ticks(scene, 10);
    EXPECT_NEAR(light->GetDiffuseIntensity(), 0.5f, 1e-4f) << "half faded in after one second";

    light->IntensityFadeInTime = 0.0f;
    light->IntensityFadeOutTime = 0.5f;
    light->Kill();
    Ticks(scene, 2);
    EXPECT_NEAR(light->fade, 0.6f, 1e-4f);
    light->Kill();
    Ticks(scene, 1);
    EXPECT_NEAR(light->fade, 0.4f, 1e-4f) << "a second Kill does not restart the fade";
    Ticks(scene, 3);
    EXPECT_EQ(scene.actors.GetCount(), 0);
}

TEST_F(LightTest, ALightWithALifetimeDiesAfterItsFade)
{
    WeScene scene;
    WeLight* light = AddLight(scene);
    light->IntensityFadeOutTime = 0.35f;
    light->SetLifeTime(0.25f);
    Ticks(scene, 5);
    EXPECT_EQ(scene.actors.GetCount(), 1) << "the timed pass's repeated Kill leaves the fade running";
    Ticks(scene, 1);
    EXPECT_EQ(scene.actors.GetCount(), 0);
}

TEST_F(LightTest, KeyStatesPlayInTurn)
{
    WeScene scene;
    WeLight* light = AddLight(scene);
    light->IntensityFadeInTime = 0.0f;
    light->Range = 5000.0f;
    light->states.PushBack(State(2.0f, 1.0f));
    light->states.PushBack(State(4.0f, 1.0f));
    Ticks(scene, 5);
    EXPECT_FLOAT_EQ(light->Range, 1000.0f);
    EXPECT_FLOAT_EQ(light->current.Intensity, 2.0f);
    light->InterpolateStates = true;
    Ticks(scene, 10); // 1.5 s: halfway through the second state, blending back to the first
    EXPECT_NEAR(light->current.Intensity, 3.0f, 1e-3f);
    Ticks(scene, 10); // 2.5 s wraps to 0.5 s
    EXPECT_NEAR(light->current.Intensity, 3.0f, 1e-3f);
    EXPECT_NEAR(light->statePhase, 0.5f, 1e-3f);
    light->LoopKeyStates = false;
    Ticks(scene, 20);
    EXPECT_FLOAT_EQ(light->current.Intensity, 1.0f) << "past the end of the sequence";
}
