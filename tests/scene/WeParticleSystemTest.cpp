// Particle systems: emission timing and states, SpawnCount, the maximum spawn, the order of
// random draws, the end of a killed system, records of every version and damaged ones, presets.
#include "WeParticleSystem.h"
#include "SceneFixture.h"
#include "WeRandom.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace
{

// The value of the n-th draw (from 0) after the table's index was set to 0, centred on 0.
float Drawn(int32_t n)
{
    return float(randomTable.values[n + 1]) * 3.051851e-5f - 0.5f;
}

std::vector<uint8_t> SavedSystem(const WeParticleSystem& system)
{
    TempFolder scratch;
    WeFileStream out;
    EXPECT_TRUE(out.Create((scratch / "system.bin").c_str()));
    EXPECT_TRUE(system.SaveSystem(out));
    out.Close();
    return TempFolder::ReadBytes(scratch / "system.bin");
}

// Reads the record from exactly its bytes.
bool LoadSystem(WeParticleSystem& system, const std::vector<uint8_t>& bytes)
{
    RecordPackage package;
    WeRecordReader reader(package.Open(bytes), int64_t(bytes.size()));
    return system.LoadSystem(reader);
}

// A state record of the stored version: spread (0.1, 0.2, 0.3) (0.4 for all three before
// version 2), wind (1, 2, 3) with strength 2 before version 3, sizes X 2 to 3 and Y 4 to 5
// from version 4 on, both uniform flags off in version 5.
RecordBytes StateRecord(int32_t stored)
{
    const int32_t v = std::abs(stored);
    RecordBytes record;
    record.Int(stored).Floats({1.5f, 7, 0, 1, 0, 3, 0, 1, 0}).Floats({0, 0, 0, 0, 1, 0});
    if (v >= 2)
        record.Floats({0.1f, 0.2f, 0.3f});
    else
        record.Float(0.4f);
    record.Floats({1, 0}).Floats({1, 2, 3});
    if (v < 3)
        record.Float(2);
    record.Floats({0, 0, 0, 0, 2, 0.5f, 3, 0.25f});
    if (v >= 4)
        record.Floats({4, 0.75f, 5, 0.125f});
    if (v >= 5)
        record.Bool(false).Bool(false);
    return record.Floats({1, 1, 1, 1}).Floats({1, 0, 0, 0});
}

// A system record of the stored version with SpawnCount 4, maximum spawn 9, render pass 2,
// lifetime 1.5 where the version has them, and one state of the same version.
RecordBytes SystemRecord(int32_t stored)
{
    const int32_t v = std::abs(stored);
    RecordBytes record;
    record.Int(stored).Float(50).String("Ingame.Materials.spark").Bool(true).Bool(false);
    if (v >= 2)
        record.Int(4);
    if (v >= 5)
        record.Int(9);
    if (v >= 3)
        record.Int(2);
    if (v >= 4)
        record.Float(1.5f);
    record.Int(1);
    const RecordBytes state = StateRecord(stored);
    return record.Raw(state.bytes.data(), state.Size());
}

class ParticleSystemTest : public SceneTest
{
protected:
    ParticleSystemTest() { timer.deltaTime = 0.25f; }
    ~ParticleSystemTest() override { WeFillRandomTable(1); }

    // A system with one state, in the scene.
    WeParticleSystem* Add(const WeParticleSystemState& state)
    {
        auto* system = new WeParticleSystem();
        system->name = "ps";
        system->states.PushBack(state);
        scene.AddActor(system);
        return system;
    }
    // One scene frame with the system's update.
    void Frame(WeParticleSystem* system)
    {
        scene.Tick();
        system->Update();
    }

    WeScene scene;
};

} // namespace

TEST_F(ParticleSystemTest, EmissionFollowsRateStatesAndSpawnCount)
{
    struct Case
    {
        const char* what;
        float rate;
        int32_t spawnCount;
        bool secondState; // the first state lasts 1 s, then a state of rate 0 holds
        int32_t counts[5];
    };
    const Case cases[] = {
        {"one at once, then one every 0.5 s", 2, 0, false, {1, 2, 2, 3, 3}},
        {"two at once at 0.25 s intervals", 4, 0, false, {2, 3, 4, 5, 6}},
        {"a state that ends moves on to the next", 4, 0, true, {2, 3, 4, 4, 4}},
        {"rate 0 emits nothing", 0, 0, false, {0, 0, 0, 0, 0}},
        {"nor does it fill", 0, 5, false, {0, 0, 0, 0, 0}},
        {"SpawnCount holds the live count", 100, 5, false, {5, 5, 5, 5, 5}},
    };
    for (const Case& test : cases)
    {
        WeParticleSystemState state;
        state.EmitRate = test.rate;
        state.TimeLength = test.secondState ? 1.0f : 0.0f;
        WeParticleSystem* system = Add(state);
        system->SpawnCount = test.spawnCount;
        if (test.secondState)
            system->states.PushBack().EmitRate = 0.0f;
        for (const int32_t expected : test.counts)
        {
            Frame(system);
            EXPECT_EQ(system->GetParticleCount(), expected) << test.what;
        }
        system->Detach();
        scene.RemoveActor(system);
        delete system;
    }
}

TEST_F(ParticleSystemTest, SpawnCountTopsTheSystemUpEveryFrame)
{
    WeParticleSystemState state;
    state.EmitRate = 100.0f;
    state.FadeInTime = state.FadeOutTime = 0.0f;
    state.LifeTime = 1.5f;
    state.LifeTimeDelta = 1.0f;
    WeParticleSystem* system = Add(state);
    system->SpawnCount = 5;
    // Six seconds of particles living 1 to 2 s: before its particles step, each frame emits
    // exactly the ones that died since the last, however long the system was full.
    int32_t replaced = 0;
    for (int32_t frame = 0; frame < 24; ++frame)
    {
        const std::vector<WeParticle*> before = system->GetParticles();
        Frame(system);
        int32_t fresh = 0;
        for (const WeParticle* particle : system->GetParticles())
            fresh += std::find(before.begin(), before.end(), particle) == before.end();
        EXPECT_EQ(fresh, 5 - int32_t(before.size())) << frame;
        replaced += frame > 0 ? fresh : 0;
    }
    EXPECT_GE(replaced, 10);
}

TEST_F(ParticleSystemTest, MaximumSpawnStopsAFastSystemAndItGoesAfterItsLastParticle)
{
    WeParticleSystemState state;
    state.EmitRate = 100.0f;
    state.FadeInTime = state.FadeOutTime = 0.0f;
    state.LifeTime = 0.6f;
    WeParticleSystem* system = Add(state);
    system->maxSpawn = 3;
    timer.deltaTime = 0.1f;
    Frame(system); // ends although the accumulator still holds time for more
    EXPECT_TRUE(system->IsStopped());
    EXPECT_EQ(system->GetParticleCount(), 3);
    EXPECT_EQ(system->GetDisplayName(), "ps [3]");
    system->emitting = false;
    EXPECT_EQ(system->GetDisplayName(), "ps [3] INACTIVE");
    int32_t frames = 1;
    for (; !system->dead && frames < 20; ++frames)
        Frame(system);
    EXPECT_EQ(system->GetParticleCount(), 0);
    ASSERT_EQ(scene.FindActor("ps"), system) << "dead, but kept until the next Tick";
    scene.Tick();
    EXPECT_EQ(scene.FindActor("ps"), nullptr);
    EXPECT_EQ(particlePool.GetLiveCount(), 0);
}

TEST_F(ParticleSystemTest, KilledSystemLetsItsParticlesFinish)
{
    WeParticleSystemState state;
    state.FadeInTime = state.FadeOutTime = 0.0f;
    state.LifeTime = 1.0f;
    WeParticleSystem* system = Add(state);
    Frame(system);
    Frame(system);
    system->Kill();
    EXPECT_FALSE(system->dead);
    int32_t frames = 0;
    for (; !system->dead; ++frames)
    {
        EXPECT_GT(system->GetParticleCount(), 0) << "alive while a particle is";
        Frame(system);
    }
    EXPECT_EQ(frames, 3) << "the last particle, 0.25 s old at the kill, lives 1 s";
    scene.Tick();
    EXPECT_EQ(scene.FindActor("ps"), nullptr);
}

TEST_F(ParticleSystemTest, RandomValuesAreDrawnInTheirOrder)
{
    for (int32_t i = 0; i < WeRandomTable::kSize; ++i)
        randomTable.values[i] = (i * 1237) % 32768;
    randomTable.index = 0;
    WeParticleSystemState state;
    state.FadeInTimeDelta = state.LifeTimeDelta = state.FadeOutTimeDelta = 1.0f;
    state.EmitterSize = {1, 2, 3};
    state.SpawnDirection = {0, 0, 0};
    state.SpawnSpread = {4, 5, 6};
    state.SpawnVelocityDelta = state.AngleDelta = state.SpinDelta = 1.0f;
    state.SizeFromXDelta = state.SizeToXDelta = state.SizeFromYDelta = state.SizeToYDelta = 1.0f;
    state.uniformStartSize = state.uniformEndSize = false;
    WeParticleSystem system;
    system.Relative = true;
    system.SpawnParticle(state, 0.0f);
    const WeParticle& p = *system.GetParticles()[0];
    EXPECT_FLOAT_EQ(p.fadeInTime, 1 + Drawn(0));
    EXPECT_FLOAT_EQ(p.lifeTime, 3 + Drawn(1));
    EXPECT_FLOAT_EQ(p.fadeOutTime, 1 + Drawn(2));
    EXPECT_FLOAT_EQ(p.spawnOffset.x, Drawn(3) * 1);
    EXPECT_FLOAT_EQ(p.spawnOffset.y, Drawn(4) * 2);
    EXPECT_FLOAT_EQ(p.spawnOffset.z, Drawn(5) * 3);
    const WeVector direction{Drawn(6) * 4, Drawn(7) * 5, Drawn(8) * 6};
    const float speed = (1 + Drawn(9)) / d3dx::D3DXVec3Length(direction);
    EXPECT_FLOAT_EQ(p.velocity.x, direction.x * speed);
    EXPECT_FLOAT_EQ(p.velocity.z, direction.z * speed);
    EXPECT_FLOAT_EQ(p.startAngle, Drawn(10));
    EXPECT_FLOAT_EQ(p.spin, Drawn(11));
    EXPECT_FLOAT_EQ(p.startSizeX, 1 + Drawn(12));
    EXPECT_FLOAT_EQ(p.endSizeX, 1 + Drawn(13));
    EXPECT_FLOAT_EQ(p.startSizeY, 1 + Drawn(14));
    EXPECT_FLOAT_EQ(p.endSizeY, 1 + Drawn(15));

    // Uniform sizes and a direction too short to scale draw nothing for them.
    state.SpawnSpread = {0, 0, 0};
    state.uniformStartSize = state.uniformEndSize = true;
    system.SpawnParticle(state, 0.0f);
    const WeParticle& q = *system.GetParticles()[1];
    EXPECT_FLOAT_EQ(q.fadeInTime, 1 + Drawn(16));
    EXPECT_EQ(q.velocity.y, 0.0f);
    EXPECT_FLOAT_EQ(q.startAngle, Drawn(25));
    EXPECT_FLOAT_EQ(q.endSizeX, 1 + Drawn(28));
    EXPECT_EQ(q.startSizeY, q.startSizeX);
    EXPECT_EQ(q.endSizeY, q.endSizeX);
    EXPECT_EQ(randomTable.index, 29);
}

TEST_F(ParticleSystemTest, ParticleEnvelopeAndMotion)
{
    WeParticleSystem system;
    system.Relative = true;
    WeParticleSystemState state;
    state.SpawnVelocity = 2.0f;
    state.Wind = {1, 0, 0};
    state.ColorFrom = {1, 0, 0, 1};
    state.ColorTo = {0, 0, 1, 0.5f};
    system.SpawnParticle(state, 0.0f); // fade-in 1, life 3, fade-out 1
    WeParticle& p = *system.GetParticles()[0];
    struct Case
    {
        float step, alpha, x, y;
    };
    // Fading in, living (alpha 1 to 0.5 over 3 s), fading out; the wind bends the path.
    const Case cases[] = {
        {0.5f, 0.5f, 0.25f, 1.0f}, {2.5f, 2.0f / 3.0f, 7.75f, 6.0f}, {1.5f, 0.25f, 14.5f, 9.0f}};
    for (const Case& test : cases)
    {
        ASSERT_TRUE(p.Step(test.step));
        EXPECT_FLOAT_EQ(p.color.a, test.alpha) << p.age;
        EXPECT_FLOAT_EQ(p.position.x, test.x) << p.age;
        EXPECT_FLOAT_EQ(p.position.y, test.y) << p.age;
    }
    EXPECT_FALSE(p.Step(0.5f)) << "past fade-in, life and fade-out";

    state.FadeInTime = state.LifeTime = state.FadeOutTime = 0.0f;
    system.SpawnParticle(state, 0.0f);
    EXPECT_FALSE(system.GetParticles()[1]->Step(0.0f));
}

TEST_F(ParticleSystemTest, RecordsOfEveryVersion)
{
    struct Case
    {
        int32_t stored;
        WeVector spread, wind;
        float sizeFromY, sizeToYDelta;
        bool uniform;
        int32_t spawnCount, maxSpawn, renderPass;
        float lifeTime;
    };
    const Case cases[] = {
        {1, {0.4f, 0.4f, 0.4f}, {2, 4, 6}, 2, 0.25f, true, 0, 0, 0, 0},
        {2, {0.1f, 0.2f, 0.3f}, {2, 4, 6}, 2, 0.25f, true, 4, 0, 0, 0},
        {3, {0.1f, 0.2f, 0.3f}, {1, 2, 3}, 2, 0.25f, true, 4, 0, 2, 0},
        {-4, {0.1f, 0.2f, 0.3f}, {1, 2, 3}, 4, 0.125f, true, 4, 0, 2, 1.5f},
        {5, {0.1f, 0.2f, 0.3f}, {1, 2, 3}, 4, 0.125f, false, 4, 9, 2, 1.5f},
    };
    for (const Case& test : cases)
    {
        const RecordBytes record = SystemRecord(test.stored);
        RecordPackage package;
        WeRecordReader reader(package.Open(record.bytes), int64_t(record.Size()) + 4);
        WeParticleSystem system;
        ASSERT_TRUE(system.LoadSystem(reader)) << test.stored;
        package.ExpectAtSentinel(reader, record.Size());
        EXPECT_EQ(system.MaterialName, "Ingame.Materials.spark");
        EXPECT_TRUE(system.AlignToMotion);
        EXPECT_EQ(system.SpawnCount, test.spawnCount) << test.stored;
        EXPECT_EQ(system.maxSpawn, test.maxSpawn) << test.stored;
        EXPECT_EQ(system.RenderPass, test.renderPass) << test.stored;
        EXPECT_EQ(system.LifeTime, test.lifeTime) << test.stored;
        ASSERT_EQ(system.states.GetCount(), 1);
        const WeParticleSystemState& state = system.states.First();
        EXPECT_FLOAT_EQ(state.TimeLength, 1.5f);
        EXPECT_FLOAT_EQ(state.SpawnSpread.z, test.spread.z) << test.stored;
        EXPECT_FLOAT_EQ(state.SpawnSpread.x, test.spread.x) << test.stored;
        EXPECT_FLOAT_EQ(state.Wind.x, test.wind.x) << test.stored;
        EXPECT_FLOAT_EQ(state.Wind.z, test.wind.z) << test.stored;
        EXPECT_FLOAT_EQ(state.SizeToX, 3.0f);
        EXPECT_FLOAT_EQ(state.SizeFromY, test.sizeFromY) << test.stored;
        EXPECT_FLOAT_EQ(state.SizeToYDelta, test.sizeToYDelta) << test.stored;
        EXPECT_EQ(state.uniformStartSize, test.uniform) << test.stored;
        EXPECT_FLOAT_EQ(state.ColorTo.r, 1.0f);

        // What was read writes back as version 5 and reads back the same.
        WeParticleSystem copy;
        ASSERT_TRUE(LoadSystem(copy, SavedSystem(system)));
        EXPECT_EQ(SavedSystem(copy), SavedSystem(system));
    }
}

TEST_F(ParticleSystemTest, DamagedRecordsAreRefused)
{
    const std::vector<uint8_t> whole = SystemRecord(5).bytes;
    RecordPackage package;
    WeFileStream& stream = package.Open(whole);
    for (int64_t size = 0; size < int64_t(whole.size()); ++size)
    {
        ASSERT_TRUE(stream.Seek(0, SEEK_SET));
        WeRecordReader reader(stream, size);
        WeParticleSystem system;
        EXPECT_FALSE(system.LoadSystem(reader)) << size;
        EXPECT_FALSE(system.lastError.IsEmpty());
        EXPECT_EQ(system.EmittingRadius, 100.0f) << "left as it was";
    }
    struct Case
    {
        int32_t spawnCount, maxSpawn, states;
    };
    const Case cases[] = {{WeParticleSystem::countLimit + 1, 0, 1},
                          {0, WeParticleSystem::countLimit + 1, 1},
                          {0, 0, WeParticleSystem::stateLimit + 1},
                          {0, 0, -1}};
    for (const Case& test : cases)
    {
        RecordBytes record;
        record.Int(5).Float(50).String("").Bool(false).Bool(false).Int(test.spawnCount).Int(test.maxSpawn);
        record.Int(0).Float(0).Int(test.states);
        for (int32_t i = 0; i < std::max(test.states, 1); ++i)
        {
            const RecordBytes state = StateRecord(5);
            record.Raw(state.bytes.data(), state.Size());
        }
        WeParticleSystem system;
        EXPECT_FALSE(LoadSystem(system, record.bytes)) << test.spawnCount << " " << test.states;
    }
}

TEST_F(ParticleSystemTest, PresetsLoadOrLeaveASystemThatEmitsNothing)
{
    RecordPackage package;
    package.Write("Ingame.Particles.spark", WeAssetType::Particles, SystemRecord(5).bytes);
    auto* loaded = new WeParticleSystem();
    ASSERT_TRUE(loaded->LoadPreset(package.files.get(), "Ingame.Particles.spark"));
    EXPECT_EQ(loaded->name, "Ingame.Particles.spark");
    EXPECT_EQ(loaded->SpawnCount, 4);
    scene.AddActor(loaded);
    EXPECT_TRUE(loaded->HasLifetime());
    EXPECT_EQ(loaded->lifetime, 1.5f);
    EXPECT_EQ(loaded->sphereRadius, 50.0f);

    const std::vector<uint8_t> whole = SystemRecord(5).bytes;
    package.Write("Ingame.Particles.cut", WeAssetType::Particles,
                  std::vector<uint8_t>(whole.begin(), whole.end() - 8));
    for (const char* broken : {"Ingame.Particles.none", "Ingame.Particles.cut"})
    {
        auto* failed = new WeParticleSystem();
        EXPECT_FALSE(failed->LoadPreset(package.files.get(), broken));
        EXPECT_TRUE(failed->IsStopped());
        EXPECT_FALSE(failed->lastError.IsEmpty());
        scene.AddActor(failed);
        EXPECT_FALSE(failed->HasLifetime());
        scene.Tick();
        EXPECT_EQ(scene.FindActor(broken), nullptr) << "gone at the first Tick, having emitted nothing";
    }
}
