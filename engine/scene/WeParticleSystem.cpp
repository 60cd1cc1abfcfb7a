#include "WeParticleSystem.h"

#include "WeEngine.h"
#include "WeFileStream.h"
#include "WeMaterial.h"
#include "WeRandom.h"
#include "WeRecordReader.h"
#include "WeRenderQueue.h"
#include "WeScene.h"
#include "WeTimer.h"
#include "WeVirtualFileSystem.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace
{

// A fresh draw from the random table, centred on 0: -0.5 to 0.5.
float Rnd()
{
    return float(WeRandom()) * 3.051851e-5f - 0.5f;
}

// Readers take the stored version's absolute value.
int32_t AbsoluteVersion(int32_t stored)
{
    return stored == INT32_MIN ? INT32_MAX : std::abs(stored);
}

WeVector TransformDirection(const WeVector& v, const WeMatrix& m)
{
    return {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
            v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
            v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]};
}

void ReadVector(WeRecordReader& reader, WeVector& vector)
{
    reader.ReadFloats(&vector.x, 3);
}

void ReadColor(WeRecordReader& reader, WeColor& color)
{
    reader.ReadFloats(&color.r, 4);
}

bool WriteFloats(WeFileStream& stream, std::initializer_list<float> values)
{
    for (const float value : values)
        if (!stream.WriteFloat(value))
            return false;
    return true;
}

const WeMatrix& Identity()
{
    static const WeMatrix identity = d3dx::D3DXMatrixIdentity();
    return identity;
}

} // namespace

void WeParticleSystemState::Read(WeRecordReader& reader)
{
    const int32_t v = AbsoluteVersion(reader.ReadInt());
    for (float* field : {&TimeLength, &EmitRate, &EmitRateDelta, &FadeInTime, &FadeInTimeDelta, &LifeTime,
                         &LifeTimeDelta, &FadeOutTime, &FadeOutTimeDelta})
        *field = reader.ReadFloat();
    ReadVector(reader, EmitterSize);
    ReadVector(reader, SpawnDirection);
    if (v >= 2)
        ReadVector(reader, SpawnSpread);
    else
        SpawnSpread.x = SpawnSpread.y = SpawnSpread.z = reader.ReadFloat();
    SpawnVelocity = reader.ReadFloat();
    SpawnVelocityDelta = reader.ReadFloat();
    ReadVector(reader, Wind);
    if (v < 3)
        Wind = Wind * reader.ReadFloat(); // older records keep a direction and a strength
    for (float* field :
         {&Angle, &AngleDelta, &Spin, &SpinDelta, &SizeFromX, &SizeFromXDelta, &SizeToX, &SizeToXDelta})
        *field = reader.ReadFloat();
    if (v >= 4)
    {
        for (float* field : {&SizeFromY, &SizeFromYDelta, &SizeToY, &SizeToYDelta})
            *field = reader.ReadFloat();
    }
    else
    {
        SizeFromY = SizeFromX;
        SizeFromYDelta = SizeFromXDelta;
        SizeToY = SizeToX;
        SizeToYDelta = SizeToXDelta;
    }
    uniformStartSize = v >= 5 ? reader.ReadBool() : true;
    uniformEndSize = v >= 5 ? reader.ReadBool() : true;
    ReadColor(reader, ColorFrom);
    ReadColor(reader, ColorTo);
}

bool WeParticleSystemState::Write(WeFileStream& stream) const
{
    return stream.WriteInt(version) &&
           WriteFloats(stream, {TimeLength, EmitRate, EmitRateDelta, FadeInTime, FadeInTimeDelta, LifeTime,
                                LifeTimeDelta, FadeOutTime, FadeOutTimeDelta}) &&
           stream.WriteVector(&EmitterSize.x) && stream.WriteVector(&SpawnDirection.x) &&
           stream.WriteVector(&SpawnSpread.x) && WriteFloats(stream, {SpawnVelocity, SpawnVelocityDelta}) &&
           stream.WriteVector(&Wind.x) &&
           WriteFloats(stream, {Angle, AngleDelta, Spin, SpinDelta, SizeFromX, SizeFromXDelta, SizeToX,
                                SizeToXDelta, SizeFromY, SizeFromYDelta, SizeToY, SizeToYDelta}) &&
           stream.WriteBool(uniformStartSize) && stream.WriteBool(uniformEndSize) &&
           stream.WriteVector4(&ColorFrom.r) && stream.WriteVector4(&ColorTo.r);
}

void WeParticle::Prepare()
{
    const float a = age;
    fullPhaseEnd = fadeInTime + lifeTime;
    totalTime = fadeInTime + lifeTime + fadeOutTime;
    inverseTotalTime = totalTime != 0.0f ? 1.0f / totalTime : 0.0f;
    position = spawnOffset + (velocity + wind * (a * 0.5f)) * a;
    angle = startAngle + spin * a;
    sizeXRate = (endSizeX - startSizeX) * inverseTotalTime;
    sizeX = sizeXRate * a + startSizeX;
    sizeYRate = (endSizeY - startSizeY) * inverseTotalTime;
    sizeY = sizeYRate * a + startSizeY;
    color = startColor;
    colorRate = {
        (endColor.r - startColor.r) * inverseTotalTime, (endColor.g - startColor.g) * inverseTotalTime,
        (endColor.b - startColor.b) * inverseTotalTime, (endColor.a - startColor.a) * inverseTotalTime};
    const float startAlpha = startColor.a, endAlpha = endColor.a;
    fadeInSlope = fadeInTime != 0.0f ? startAlpha / fadeInTime : 0.0f;
    lifeSlope = lifeTime != 0.0f ? (endAlpha - startAlpha) / lifeTime : 0.0f;
    lifeIntercept = startAlpha - lifeSlope * fadeInTime;
    fadeOutSlope = fadeOutTime != 0.0f ? -(endAlpha / fadeOutTime) : 0.0f;
    fadeOutIntercept = endAlpha - fadeOutSlope * fullPhaseEnd;
}

bool WeParticle::Step(float delta)
{
    age += delta;
    float alpha;
    if (age < fadeInTime)
        alpha = fadeInSlope * age;
    else if (age < fullPhaseEnd)
        alpha = lifeSlope * age + lifeIntercept;
    else if (age < totalTime)
        alpha = fadeOutSlope * age + fadeOutIntercept;
    else
        return false; // also for times that are not numbers
    color.a = alpha;
    if (!(alpha > 0.0001f))
        return false;
    color.r += colorRate.r * delta;
    color.g += colorRate.g * delta;
    color.b += colorRate.b * delta;
    velocity = velocity + wind * delta;
    position = position + velocity * delta;
    angle += spin * delta;
    sizeX += sizeXRate * delta;
    sizeY += sizeYRate * delta;
    return true;
}

WeParticle* WeParticlePool::Take()
{
    if (spare.empty())
    {
        blocks.push_back(std::make_unique<WeParticle[]>(blockSize));
        WeParticle* block = blocks.back().get();
        for (size_t i = blockSize; i-- > 0;)
            spare.push_back(block + i);
    }
    WeParticle* particle = spare.back();
    spare.pop_back();
    ++live;
    *particle = WeParticle();
    return particle;
}

void WeParticlePool::Give(WeParticle* particle)
{
    spare.push_back(particle);
    --live;
}

WeParticleSystem::WeParticleSystem()
{
    type = WeActorTypeParticleSystem;
    overrideModelName = "Config.Assets.ParticleSys";
    renderFlag = false;
    MaterialName = "Config.Assets.DefaultParticle";
}

WeParticleSystem::~WeParticleSystem()
{
    for (WeParticle* particle : particles)
        particlePool.Give(particle);
}

void WeParticleSystem::Kill()
{
    stopped = true;
}

WeString WeParticleSystem::GetDisplayName() const
{
    WeString text = name + " [";
    text.AppendInt(GetParticleCount());
    text = text + "]";
    return emitting ? text : text + " INACTIVE";
}

void WeParticleSystem::Tick()
{
    if (emitting && !wasEmitting)
        Restart();
    wasEmitting = emitting;
    WeActor::Tick();
    // Nothing left to show, whether or not the system was drawn: a preset that could not load,
    // or a system killed out of view.
    if (stopped && particles.empty())
        WeActor::Kill();
}

bool WeParticleSystem::Save(WeFileStream& stream)
{
    return WeActor::Save(stream) && SaveSystem(stream);
}

bool WeParticleSystem::Load(WeRecordReader& reader)
{
    if (!WeActor::Load(reader) || !LoadSystem(reader))
        return false;
    renderFlag = false;
    YAligned = true;
    return true;
}

void WeParticleSystem::OnAddedToScene()
{
    physicModel.type = WePhysicModel::none;
    const bool editor = engine.settings.editorMode;
    active = editor; // the editor's marker model
    if (!editor)
        staticFlags[0] = true;
    furtherFlags[0] = furtherFlags[1] = true;
    shadowVolume = false;
    needsTick = true;
    WeActor::OnAddedToScene();
    Reset();
    if (!editor && LifeTime > 0.0f)
        SetLifeTime(LifeTime);
}

void WeParticleSystem::CopyFrom(const WeActor& source)
{
    WeActor::CopyFrom(source);
    const auto* other = dynamic_cast<const WeParticleSystem*>(&source);
    if (!other)
        return;
    MaterialName = other->MaterialName;
    EmittingRadius = other->EmittingRadius;
    AlignToMotion = other->AlignToMotion;
    Relative = other->Relative;
    SpawnCount = other->SpawnCount;
    maxSpawn = other->maxSpawn;
    RenderPass = other->RenderPass;
    YAligned = other->YAligned;
    LifeTime = other->LifeTime;
    states = other->states;
    material = other->material;
    Restart();
}

void WeParticleSystem::Render(WeCamera* camera)
{
    if (!material)
        return;
    Update();
    if (!particles.empty())
        renderQueue.Add(material, this, 0, nullptr, 0, &Identity(), camera);
}

bool WeParticleSystem::SaveSystem(WeFileStream& stream) const
{
    bool written = stream.WriteInt(version) && stream.WriteFloat(EmittingRadius) &&
                   stream.WriteString(MaterialName) && stream.WriteBool(AlignToMotion) &&
                   stream.WriteBool(Relative) && stream.WriteInt(SpawnCount) && stream.WriteInt(maxSpawn) &&
                   stream.WriteInt(RenderPass) && stream.WriteFloat(LifeTime) &&
                   stream.WriteInt(states.GetCount());
    for (const WeParticleSystemState& state : states)
        written = written && state.Write(stream);
    return written;
}

bool WeParticleSystem::LoadSystem(WeRecordReader& reader)
{
    const int32_t v = AbsoluteVersion(reader.ReadInt());
    const float radius = reader.ReadFloat();
    WeString materialName;
    reader.ReadString(materialName);
    const bool align = reader.ReadBool();
    const bool relative = reader.ReadBool();
    const int32_t spawnCount = v >= 2 ? reader.ReadInt() : 0;
    const int32_t spawnLimit = v >= 5 ? reader.ReadInt() : 0;
    const int32_t pass = v >= 3 ? reader.ReadInt() : 0;
    const float lifeTime = v >= 4 ? reader.ReadFloat() : 0.0f;
    const int32_t count = reader.ReadCount(WeParticleSystemState::minimumRecordSize);
    if (!reader.Ok())
        return Refuse(reader, "the record is cut short or its state count is wrong");
    if (spawnCount > countLimit || spawnLimit > countLimit || count > stateLimit)
        return Refuse(reader, "a count is out of range");
    WeList<WeParticleSystemState> read;
    for (int32_t i = 0; i < count && reader.Ok(); ++i)
        read.PushBack().Read(reader);
    if (!reader.Ok())
        return Refuse(reader, "a state record is cut short");
    EmittingRadius = radius;
    MaterialName = materialName;
    AlignToMotion = align;
    Relative = relative;
    SpawnCount = spawnCount;
    maxSpawn = spawnLimit;
    RenderPass = pass;
    LifeTime = lifeTime;
    states = read;
    material = nullptr;
    Restart();
    return true;
}

bool WeParticleSystem::Refuse(WeRecordReader& reader, const char* reason)
{
    lastError = "Particle system " + name + ": " + reason;
    std::fprintf(stderr, "%s\n", lastError.GetData());
    return reader.Fail();
}

bool WeParticleSystem::LoadPreset(WeVirtualFileSystem* fileSystem, const WeString& presetName)
{
    name = presetName;
    bool loaded = fileSystem && fileSystem->Open(presetName, WeAssetType::Particles);
    if (!loaded)
    {
        lastError = "Particle system " + presetName + ": no such preset";
        std::fprintf(stderr, "%s\n", lastError.GetData());
    }
    else
    {
        WeRecordReader reader(fileSystem->GetStream(), fileSystem->GetFileSize());
        loaded = LoadSystem(reader);
        fileSystem->Close();
    }
    // A system that failed emits nothing, so that it cannot become an endless default emitter.
    stopped = !loaded;
    Reset();
    return loaded;
}

void WeParticleSystem::Reset()
{
    if (!material && !MaterialName.IsEmpty())
        material = materialManager.Load(MaterialName);
    if (!material)
        material = materialManager.defaultParticle;
    if (states.IsEmpty())
        states.PushBack(WeParticleSystemState());
    radiusOverride = EmittingRadius;
    UpdateBounds();
    Restart();
}

void WeParticleSystem::Restart()
{
    accumulator = 0.0f;
    stateTime = 0.0f;
    currentState = 0;
}

WeParticleSystemState& WeParticleSystem::CurrentState()
{
    if (currentState >= states.GetCount())
        currentState = 0;
    auto state = states.begin();
    for (int32_t i = 0; i < currentState; ++i)
        ++state;
    return *state;
}

bool WeParticleSystem::HasRoom() const
{
    const int32_t live = GetParticleCount();
    return live < liveLimit && (SpawnCount <= 0 || live < SpawnCount);
}

float WeParticleSystem::DrawRate()
{
    const WeParticleSystemState& state = CurrentState();
    return state.EmitRate + Rnd() * state.EmitRateDelta;
}

bool WeParticleSystem::AdvanceState()
{
    // When every state ends, whole rounds of them change nothing: drop them first, so that a
    // tiny time length cannot keep the walk going for long.
    float round = 0.0f;
    for (const WeParticleSystemState& state : states)
        round = state.TimeLength > 0.0f ? round + state.TimeLength : INFINITY;
    if (round > 0.0f && std::isfinite(round) && stateTime >= round)
        stateTime = std::fmod(stateTime, round);
    bool moved = false;
    for (float length = CurrentState().TimeLength; length > 0.0f && stateTime >= length;
         length = CurrentState().TimeLength)
    {
        stateTime -= length;
        currentState = (currentState + 1) % states.GetCount();
        moved = true;
    }
    return moved;
}

void WeParticleSystem::Emit()
{
    float interval = 0.0f;
    do
    {
        // A full system banks no emission time: its replacements would otherwise be born old
        // enough to die at once.
        if (!HasRoom())
        {
            accumulator = 0.0f;
            return;
        }
        const float rate = DrawRate();
        if (!(rate > 0.0f))
            return;
        interval = 1.0f / rate;
        if (!firstEmissionDone)
        {
            accumulator += interval; // the first emitting frame emits at once
            firstEmissionDone = true;
        }
        bool emitted = false;
        for (WeParticleSystemState* state = &CurrentState();
             !stopped && accumulator >= interval && HasRoom() &&
             (state->TimeLength <= 0.0f || stateTime < state->TimeLength);)
        {
            accumulator -= interval;
            SpawnParticle(*state, accumulator);
            stateTime += interval;
            emitted = true;
        }
        const bool moved = AdvanceState();
        // A stopped system, or a pass that neither emitted nor moved on, has nothing more to give
        // this frame.
        if (stopped || (!emitted && !moved))
            return;
    } while (accumulator > interval);
}

void WeParticleSystem::Fill(float t)
{
    if (stopped || SpawnCount <= 0 || !HasRoom())
        return;
    const float rate = DrawRate();
    if (!(rate > 0.0f))
        return;
    const float interval = 1.0f / rate;
    for (int32_t i = 0; !stopped && HasRoom(); ++i)
        SpawnParticle(CurrentState(), t + float(i) * interval);
}

void WeParticleSystem::StepParticles(float delta)
{
    size_t kept = 0;
    for (WeParticle* particle : particles)
    {
        if (particle->Step(delta))
            particles[kept++] = particle;
        else
            particlePool.Give(particle);
    }
    particles.resize(kept);
}

void WeParticleSystem::Update()
{
    if (!scene || scene->frame == lastUpdatedFrame || states.IsEmpty())
        return;
    const float delta = timer.deltaTime;
    if (emitting && !stopped)
    {
        accumulator += delta;
        const float t = accumulator;
        Emit();
        Fill(t);
    }
    StepParticles(delta);
    if (stopped && particles.empty())
        WeActor::Kill();
    lastUpdatedFrame = scene->frame;
}

void WeParticleSystem::SpawnParticle(const WeParticleSystemState& state, float initialAge)
{
    WeParticle& p = *particlePool.Take();
    particles.push_back(&p);
    p.system = this;
    p.age = initialAge;
    p.fadeInTime = state.FadeInTime + Rnd() * state.FadeInTimeDelta;
    p.lifeTime = state.LifeTime + Rnd() * state.LifeTimeDelta;
    p.fadeOutTime = state.FadeOutTime + Rnd() * state.FadeOutTimeDelta;
    const WeMatrix& world = GetWorldMatrix();
    p.spawnOffset.x = Rnd() * state.EmitterSize.x;
    p.spawnOffset.y = Rnd() * state.EmitterSize.y;
    p.spawnOffset.z = Rnd() * state.EmitterSize.z;
    if (!Relative)
        p.spawnOffset = d3dx::D3DXVec3TransformCoord(p.spawnOffset, world);
    WeVector direction = state.SpawnDirection;
    direction.x += Rnd() * state.SpawnSpread.x;
    direction.y += Rnd() * state.SpawnSpread.y;
    direction.z += Rnd() * state.SpawnSpread.z;
    if (!Relative)
        direction = TransformDirection(direction, world);
    const float length = d3dx::D3DXVec3Length(direction);
    if (length >= 0.0001f)
    {
        const WeVector unit{direction.x / length, direction.y / length, direction.z / length};
        p.velocity = unit * (state.SpawnVelocity + Rnd() * state.SpawnVelocityDelta);
    }
    else
        p.velocity = direction;
    p.wind = Relative ? state.Wind : TransformDirection(state.Wind, world);
    p.startAngle = state.Angle + Rnd() * state.AngleDelta;
    p.spin = state.Spin + Rnd() * state.SpinDelta;
    p.startSizeX = state.SizeFromX + Rnd() * state.SizeFromXDelta;
    p.endSizeX = state.SizeToX + Rnd() * state.SizeToXDelta;
    p.startSizeY = state.uniformStartSize ? p.startSizeX : state.SizeFromY + Rnd() * state.SizeFromYDelta;
    p.endSizeY = state.uniformEndSize ? p.endSizeX : state.SizeToY + Rnd() * state.SizeToYDelta;
    p.startColor = state.ColorFrom;
    p.endColor = state.ColorTo;
    p.Prepare();
    ++spawnedTotal;
    if (maxSpawn > 0 && spawnedTotal >= maxSpawn && !engine.settings.editorMode)
        stopped = true;
}
