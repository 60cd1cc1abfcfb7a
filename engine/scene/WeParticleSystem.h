// The particle emitter actor. A system runs through a circular list of states; each state emits
// particles at a randomised rate for its time length, and every particle carries its own
// randomised envelope of fade-in, life and fade-out, its motion, spin, size and colour ramps.
// Systems come from maps, from particle presets in the package and from the game's effects; the
// particle renderer draws the particles a system holds. Particle records come from one
// process-wide pool and go back to it when they die.
#pragma once

#include "WeActor.h"
#include "WeColor.h"
#include "WeList.h"
#include "WeRecycled.h"
#include "WeString.h"

#include <cstdint>
#include <memory>
#include <vector>

class WeFileStream;
class WeMaterial;
class WeParticleSystem;
class WeRecordReader;
class WeVirtualFileSystem;

// One phase of a system's emission. A delta is the full width of a uniform random spread around
// its base value.
struct WeParticleSystemState
{
    static constexpr int32_t version = 5;
    // The smallest stored state: the first version's.
    static constexpr int64_t minimumRecordSize = 156;

    void SetDefaults() { *this = WeParticleSystemState(); }
    bool Write(WeFileStream& stream) const;
    // A record of any version; the sign of the stored version is ignored.
    void Read(WeRecordReader& reader);

    float TimeLength = 0.0f; // 0 or less: the state never ends
    float EmitRate = 2.0f, EmitRateDelta = 0.0f;
    float FadeInTime = 1.0f, FadeInTimeDelta = 0.0f;
    float LifeTime = 3.0f, LifeTimeDelta = 0.0f;
    float FadeOutTime = 1.0f, FadeOutTimeDelta = 0.0f;
    WeVector EmitterSize{0.0f, 0.0f, 0.0f};
    WeVector SpawnDirection{0.0f, 1.0f, 0.0f};
    WeVector SpawnSpread{0.0f, 0.0f, 0.0f};
    float SpawnVelocity = 1.0f, SpawnVelocityDelta = 0.0f;
    WeVector Wind{0.0f, 0.0f, 0.0f};
    float Angle = 0.0f, AngleDelta = 0.0f;
    float Spin = 0.0f, SpinDelta = 0.0f;
    float SizeFromX = 1.0f, SizeFromXDelta = 0.0f;
    float SizeFromY = 1.0f, SizeFromYDelta = 0.0f;
    float SizeToX = 1.0f, SizeToXDelta = 0.0f;
    float SizeToY = 1.0f, SizeToYDelta = 0.0f;
    bool uniformStartSize = true; // the start size Y is the start size X
    bool uniformEndSize = true;   // the end size Y is the end size X
    WeColor ColorFrom{1.0f, 1.0f, 1.0f, 1.0f};
    WeColor ColorTo{1.0f, 1.0f, 1.0f, 1.0f};
};

// One live particle: what was drawn at its emission, then its current values.
struct WeParticle
{
    // The derived values and the alpha envelope, from the drawn values at the current age.
    void Prepare();
    // Ages the particle by the frame time; false once it is dead.
    bool Step(float delta);

    float fadeInTime = 0.0f, lifeTime = 0.0f, fadeOutTime = 0.0f;
    WeVector spawnOffset;
    WeVector velocity;
    WeVector wind; // an acceleration
    float startAngle = 0.0f, spin = 0.0f;
    float startSizeX = 0.0f, endSizeX = 0.0f, startSizeY = 0.0f, endSizeY = 0.0f;
    WeColor startColor, endColor;
    WeParticleSystem* system = nullptr;
    float age = 0.0f;
    float fullPhaseEnd = 0.0f, totalTime = 0.0f, inverseTotalTime = 0.0f;
    WeVector position;
    // The current-value block, in the order the renderer reads it.
    float angle = 0.0f, sizeX = 0.0f, sizeXRate = 0.0f, sizeY = 0.0f, sizeYRate = 0.0f;
    WeColor color, colorRate; // the colour's alpha follows the envelope
    float fadeInSlope = 0.0f, lifeSlope = 0.0f, lifeIntercept = 0.0f, fadeOutSlope = 0.0f,
          fadeOutIntercept = 0.0f;
};

// The process-wide store of particle records: taken at emission, given back at death, allocated
// in blocks on demand and kept for reuse until exit.
class WeParticlePool
{
public:
    WeParticlePool() = default;
    WeParticlePool(const WeParticlePool&) = delete;
    WeParticlePool& operator=(const WeParticlePool&) = delete;

    WeParticle* Take();
    void Give(WeParticle* particle);
    int32_t GetLiveCount() const { return live; }

private:
    static constexpr size_t blockSize = 1024;
    std::vector<std::unique_ptr<WeParticle[]>> blocks;
    std::vector<WeParticle*> spare;
    int32_t live = 0;
};

extern WeParticlePool particlePool;

class WeParticleSystem : public WeRecycled<WeParticleSystem, WeActor>
{
public:
    static constexpr int32_t version = 5;
    // Counts a record may give: SpawnCount and the maximum spawn, and the number of states.
    static constexpr int32_t countLimit = 65536;
    static constexpr int32_t stateLimit = 256;
    // The most particles one system keeps alive, whatever its rates say.
    static constexpr int32_t liveLimit = 65536;

    WeParticleSystem();
    // Every live particle goes back to the pool.
    ~WeParticleSystem() override;

    // Only stops emission: the system goes by itself when its last particle is gone.
    void Kill() override;
    // The name, the live particle count in brackets and " INACTIVE" while not emitting.
    WeString GetDisplayName() const override;
    // After a return to active, emission starts over from the first state.
    void Tick() override;
    bool Save(WeFileStream& stream) override;
    // The actor record, then the particle-system record. A map's system keeps its Y axis up.
    bool Load(WeRecordReader& reader) override;
    void OnAddedToScene() override;
    void CopyFrom(const WeActor& source) override;
    // Runs the frame's update and hands the system to the render queue while particles live.
    void Render(WeCamera* camera) override;

    // The particle-system record alone (a preset asset holds one).
    bool SaveSystem(WeFileStream& stream) const;
    // False, with a message and the system left as it was, when the record is cut short or
    // gives a count out of range.
    bool LoadSystem(WeRecordReader& reader);
    // The preset of the name (asset type particles) through the file system; its name becomes
    // the system's. A preset that cannot be read leaves the system stopped, so that it emits
    // nothing wherever it is added.
    bool LoadPreset(WeVirtualFileSystem* fileSystem, const WeString& presetName);
    // Resolves the material (falling back to the default particle material), gives a system
    // without states one default state, takes the emitting radius as the bounding radius and
    // starts emission over.
    void Reset();
    // Emission, then every particle's step; at most once per scene frame.
    void Update();
    // A new particle of the state, already aged by the initial age.
    void SpawnParticle(const WeParticleSystemState& state, float initialAge);

    int32_t GetParticleCount() const { return int32_t(particles.size()); }
    const std::vector<WeParticle*>& GetParticles() const { return particles; }
    bool IsStopped() const { return stopped; }

    WeString MaterialName;
    float EmittingRadius = 100.0f;
    bool AlignToMotion = false;
    bool Relative = false;  // particles live in the system's local space
    int32_t SpawnCount = 0; // above 0: the number of live particles the system keeps
    int32_t maxSpawn = 0;   // above 0: the system stops after emitting this many
    int32_t RenderPass = 0;
    bool YAligned = false;
    float LifeTime = 0.0f; // above 0: the actor's lifetime once it is added to a scene
    WeList<WeParticleSystemState> states;
    WeMaterial* material = nullptr;
    bool emitting = true;     // the system's own switch, apart from the actor's
    int32_t currentState = 0; // index into the states; 0 goes back to the first
    WeString lastError;

private:
    // Emits what the accumulated time allows.
    void Emit();
    // Tops the live count up to SpawnCount, the new particles aged t, t + 1/rate, ...
    void Fill(float t);
    // The state emission is in; the first when the list changed under the index.
    WeParticleSystemState& CurrentState();
    // Moves on while the current state's time is spent; whether it moved.
    bool AdvanceState();
    // Steps every particle; the dead go back to the pool, the rest keep their order.
    void StepParticles(float delta);
    bool HasRoom() const;
    float DrawRate();
    // Marks the record damaged, with a message; false.
    bool Refuse(WeRecordReader& reader, const char* reason);
    void Restart();

    bool firstEmissionDone = false;
    bool stopped = false;
    int64_t lastUpdatedFrame = -1;
    int32_t spawnedTotal = 0;
    float accumulator = 0.0f;
    float stateTime = 0.0f;
    bool wasEmitting = true;
    std::vector<WeParticle*> particles;
};
