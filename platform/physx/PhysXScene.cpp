#include "physx/PhysXCooking.h"
#include "physx/PhysXSdk.h"
#include "physx/PhysXWorld.h"

#include <BulletCollision/Gimpact/btGImpactCollisionAlgorithm.h>

#include <algorithm>
#include <cmath>

namespace physx
{

namespace
{

uint64_t PairKey(uint32_t a, uint32_t b)
{
    return (uint64_t(a) << 32) | b;
}

template <typename T> void EraseValue(std::vector<T>& values, const T& value)
{
    values.erase(std::remove(values.begin(), values.end(), value), values.end());
}

// How the pair filter sees a collision object.
struct Side
{
    int kind = 0;
    const Actor* actor = nullptr;
    uint32_t groups = 0;
    bool pushes = false;  // a body that moves under contact
    bool dynamic = false; // of a dynamic actor, or a cloth
};

// Gathers the lines Bullet draws into a debug renderable.
struct LineCollector : btIDebugDraw
{
    explicit LineCollector(std::vector<DebugLine>& lines) : lines(lines) {}
    void drawLine(const btVector3& from, const btVector3& to, const btVector3& color) override
    {
        const auto channel = [](btScalar value)
        { return uint32_t(std::clamp(value, 0.0f, 1.0f) * 255.0f + 0.5f); };
        lines.push_back(
            {FromBullet(from), FromBullet(to),
             0xFF000000u | channel(color.x()) << 16 | channel(color.y()) << 8 | channel(color.z())});
    }
    void drawContactPoint(const btVector3&, const btVector3&, btScalar, int, const btVector3&) override {}
    void reportErrorWarning(const char*) override {}
    void draw3dText(const btVector3&, const char*) override {}
    void setDebugMode(int) override {}
    int getDebugMode() const override { return DBG_DrawWireframe; }

    std::vector<DebugLine>& lines;
};

// Keeps the nearest hit on each shape a ray meets.
struct RayCollector : btCollisionWorld::RayResultCallback
{
    struct Hit
    {
        Shape* shape;
        btScalar fraction;
        btVector3 normal;
        int triangle;
    };

    RayCollector(ShapesType shapesType, uint32_t groups) : shapesType(shapesType), groups(groups) {}

    bool Wanted(const Shape& shape) const
    {
        const uint32_t kind = shape.getActor().isDynamic() ? NX_DYNAMIC_SHAPES : NX_STATIC_SHAPES;
        return (shapesType & kind) && (groups & (1u << shape.getGroup())) &&
               !shape.getFlag(NX_SF_DISABLE_RAYCASTING);
    }

    bool needsCollision(btBroadphaseProxy* proxy) const override
    {
        const auto* object = static_cast<const btCollisionObject*>(proxy->m_clientObject);
        if (object->getUserIndex() == kTriggerObject)
            return Wanted(*static_cast<const Shape*>(object->getUserPointer()));
        if (object->getUserIndex() != kBodyObject)
            return false;
        const Actor& actor = *static_cast<const Actor*>(object->getUserPointer());
        const auto shapes = actor.getShapes();
        return std::any_of(shapes, shapes + actor.getNbShapes(),
                           [this](const Shape* shape) { return !shape->isTrigger() && Wanted(*shape); });
    }

    btScalar addSingleResult(btCollisionWorld::LocalRayResult& result, bool normalInWorldSpace) override
    {
        const btCollisionObject* object = result.m_collisionObject;
        const btCollisionWorld::LocalShapeInfo* info = result.m_localShapeInfo;
        Shape* shape = object->getUserIndex() == kTriggerObject
                           ? static_cast<Shape*>(object->getUserPointer())
                           : HitShape(*static_cast<const Actor*>(object->getUserPointer()), info);
        if (!shape || !Wanted(*shape))
            return m_closestHitFraction;
        const int triangle = shape->getType() == NX_SHAPE_MESH && info ? info->m_triangleIndex : 0;
        const btVector3 normal = normalInWorldSpace
                                     ? result.m_hitNormalLocal
                                     : object->getWorldTransform().getBasis() * result.m_hitNormalLocal;
        auto it =
            std::find_if(hits.begin(), hits.end(), [shape](const Hit& hit) { return hit.shape == shape; });
        if (it == hits.end())
            it = hits.insert(hits.end(), Hit{shape, result.m_hitFraction, normal, triangle});
        else if (result.m_hitFraction < it->fraction)
            *it = Hit{shape, result.m_hitFraction, normal, triangle};
        return it->fraction; // further triangles of this mesh only count when nearer
    }

    // The shape of a body that a hit names: a compound reports its child as the triangle index.
    static Shape* HitShape(const Actor& actor, const btCollisionWorld::LocalShapeInfo* info)
    {
        const auto shapes = actor.getShapes();
        int child = info && info->m_shapePart == -1 ? info->m_triangleIndex : 0;
        for (uint32_t i = 0; i < actor.getNbShapes(); ++i)
            if (!shapes[i]->isTrigger() && child-- == 0)
                return shapes[i];
        return nullptr;
    }

    ShapesType shapesType;
    uint32_t groups;
    std::vector<Hit> hits;
};

// u, v of a point in a triangle: p = (1 - u - v) a + u b + v c.
void Barycentric(const btVector3& p, const btVector3& a, const btVector3& b, const btVector3& c, float& u,
                 float& v)
{
    const btVector3 e0 = b - a, e1 = c - a, e2 = p - a;
    const btScalar d00 = e0.dot(e0), d01 = e0.dot(e1), d11 = e1.dot(e1), d20 = e2.dot(e0), d21 = e2.dot(e1);
    const btScalar denominator = d00 * d11 - d01 * d01;
    u = v = 0.0f;
    if (std::fabs(denominator) <= 1e-12f * d00 * d11)
        return;
    u = (d11 * d20 - d01 * d21) / denominator;
    v = (d00 * d21 - d01 * d20) / denominator;
}

// The length of the ray inside the box, from its origin on: false when it misses.
bool ClipRay(const btVector3& origin, const btVector3& direction, const btVector3& low, const btVector3& high,
             btScalar& length)
{
    btScalar enter = 0.0f;
    for (int axis = 0; axis < 3; ++axis)
    {
        if (std::fabs(direction[axis]) < 1e-12f)
        {
            if (origin[axis] < low[axis] || origin[axis] > high[axis])
                return false;
            continue;
        }
        const btScalar t0 = (low[axis] - origin[axis]) / direction[axis];
        const btScalar t1 = (high[axis] - origin[axis]) / direction[axis];
        enter = std::max(enter, std::min(t0, t1));
        length = std::min(length, std::max(t0, t1));
    }
    return enter <= length;
}

} // namespace

bool ContactStreamIterator::goNextPair()
{
    const bool first = !pairTaken && stream.patchCount > 0;
    pairTaken = true;
    return first;
}

bool ContactStreamIterator::goNextPatch()
{
    if (!pairTaken || patch + 1 >= int64_t(stream.patchCount))
        return false;
    ++patch;
    point = -1;
    return true;
}

bool ContactStreamIterator::goNextPoint()
{
    if (patch < 0 || point + 1 >= int64_t(stream.patches[patch].pointCount))
        return false;
    ++point;
    return true;
}

Scene::World::World(Scene& scene, const SceneDesc& desc)
    : scene(scene), dispatcher(&configuration), filter(*this), dynamics(*this)
{
    btGImpactCollisionAlgorithm::registerAlgorithm(&dispatcher);
    broadphase.getOverlappingPairCache()->setOverlapFilterCallback(&filter);
    dynamics.setGravity(ToBullet(desc.gravity));
    dynamics.getWorldInfo().m_gravity = ToBullet(desc.gravity);
    weightless.m_broadphase = &broadphase;
    weightless.m_dispatcher = &dispatcher;
    weightless.m_gravity.setZero();
    weightless.m_sparsesdf.Initialize();
    for (btSparseSdf<3>* field : {&dynamics.getWorldInfo().m_sparsesdf, &weightless.m_sparsesdf})
    {
        field->setDefaultVoxelsz(0.05f);
        field->Reset();
    }
}

Scene::World::~World() = default;

Scene::World::Dynamics::Dynamics(World& world)
    : btSoftRigidDynamicsWorld(&world.dispatcher, &world.broadphase, &world.solver, &world.configuration),
      owner(world)
{
}

void Scene::World::Dynamics::calculateSimulationIslands()
{
    // The scene has one material, the default, which every material index names: the average of
    // a pair's two is the default's own friction and restitution.
    const Material& material = owner.scene.defaultMaterial;
    const btScalar friction = material.getDynamicFriction();
    const btScalar restitution = material.getRestitution();
    for (int i = 0; i < owner.dispatcher.getNumManifolds(); ++i)
    {
        btPersistentManifold* manifold = owner.dispatcher.getManifoldByIndexInternal(i);
        if (manifold->getBody0()->getUserIndex() != kBodyObject ||
            manifold->getBody1()->getUserIndex() != kBodyObject)
            continue;
        for (int p = 0; p < manifold->getNumContacts(); ++p)
        {
            manifold->getContactPoint(p).m_combinedFriction = friction;
            manifold->getContactPoint(p).m_combinedRestitution = restitution;
        }
    }
    btSoftRigidDynamicsWorld::calculateSimulationIslands();
}

bool Scene::World::PairFilter::needBroadphaseCollision(btBroadphaseProxy* a, btBroadphaseProxy* b) const
{
    return world.MayTouch(*static_cast<const btCollisionObject*>(a->m_clientObject),
                          *static_cast<const btCollisionObject*>(b->m_clientObject));
}

bool Scene::World::MayTouch(const btCollisionObject& a, const btCollisionObject& b) const
{
    const auto sideOf = [](const btCollisionObject& object)
    {
        Side side;
        side.kind = object.getUserIndex();
        if (side.kind == kBodyObject)
        {
            const auto* actor = static_cast<const Actor*>(object.getUserPointer());
            side = {kBodyObject, actor, actor->solidGroups, actor->Pushable(), actor->dynamic};
        }
        else if (side.kind == kTriggerObject)
        {
            const auto* shape = static_cast<const Shape*>(object.getUserPointer());
            side = {kTriggerObject, &shape->actor, 1u << shape->group, false, shape->actor.dynamic};
        }
        else if (side.kind == kClothObject)
            side = {kClothObject, nullptr, 1u << static_cast<const Cloth*>(object.getUserPointer())->group,
                    true, true};
        return side;
    };
    const Side x = sideOf(a), y = sideOf(b);
    if (!x.kind || !y.kind || (x.actor && x.actor == y.actor))
        return false;
    for (const Actor* actor : {x.actor, y.actor})
        if (actor && actor->readActorFlag(NX_AF_DISABLE_COLLISION))
            return false;
    if (x.kind == kTriggerObject || y.kind == kTriggerObject)
    {
        if ((x.kind == kTriggerObject ? y.kind : x.kind) != kBodyObject || !(x.dynamic || y.dynamic))
            return false;
    }
    else if ((x.kind == kClothObject && y.kind == kClothObject) || !(x.pushes || y.pushes))
        return false;
    return scene.groupsCollide(x.groups, y.groups);
}

void Scene::World::ScanContacts(float seconds)
{
    ++stamp;
    stepManifolds.clear();
    const bool reportContacts = scene.contactReport != nullptr;
    for (int i = 0; i < dispatcher.getNumManifolds(); ++i)
    {
        const btPersistentManifold* manifold = dispatcher.getManifoldByIndexInternal(i);
        if (manifold->getNumContacts() == 0)
            continue;
        const btCollisionObject* a = manifold->getBody0();
        const btCollisionObject* b = manifold->getBody1();
        if (a->getUserIndex() == kTriggerObject || b->getUserIndex() == kTriggerObject)
        {
            const bool triggerFirst = a->getUserIndex() == kTriggerObject;
            const btCollisionObject* other = triggerFirst ? b : a;
            if (other->getUserIndex() != kBodyObject)
                continue;
            const btManifoldPoint& point = manifold->getContactPoint(0);
            Shape* shape = static_cast<Actor*>(other->getUserPointer())
                               ->SolidShape(triggerFirst ? point.m_index1 : point.m_index0);
            if (shape)
                Overlapping(*static_cast<Shape*>((triggerFirst ? a : b)->getUserPointer()), *shape);
            continue;
        }
        if (a->getUserIndex() == kBodyObject && b->getUserIndex() == kBodyObject)
            Touching(static_cast<Actor*>(a->getUserPointer()), static_cast<Actor*>(b->getUserPointer()),
                     manifold, reportContacts);
    }
    for (auto it = touches.begin(); it != touches.end();)
    {
        if (it->second.stamp == stamp)
        {
            ++it;
            continue;
        }
        if (reportContacts)
            QueueContact(it->second.actors, NX_NOTIFY_ON_END_TOUCH);
        it = touches.erase(it);
    }
    for (auto it = overlaps.begin(); it != overlaps.end();)
    {
        if (it->second.stamp == stamp)
        {
            ++it;
            continue;
        }
        QueueTrigger(*it->second.trigger, *it->second.other, NX_TRIGGER_ON_LEAVE);
        it = overlaps.erase(it);
    }
    AddContactPoints(seconds);
}

void Scene::World::Touching(Actor* a, Actor* b, const btPersistentManifold* manifold, bool report)
{
    if (a->id > b->id)
        std::swap(a, b);
    const auto [it, fresh] = touches.try_emplace(PairKey(a->id, b->id), Touch{{a, b}, 0, UINT32_MAX});
    Touch& touch = it->second;
    if (!fresh && touch.stamp == stamp)
    {
        if (touch.contact != UINT32_MAX) // another manifold of a pair already reported
            stepManifolds.emplace_back(touch.contact, manifold);
        return;
    }
    touch.stamp = stamp;
    touch.contact = UINT32_MAX;
    if (!report || (!fresh && !a->body->isActive() && !b->body->isActive()))
        return;
    touch.contact = QueueContact(touch.actors, fresh ? NX_NOTIFY_ON_START_TOUCH : NX_NOTIFY_ON_TOUCH);
    stepManifolds.emplace_back(touch.contact, manifold);
}

void Scene::World::Overlapping(Shape& trigger, Shape& other)
{
    const auto [it, fresh] =
        overlaps.try_emplace(PairKey(trigger.id, other.id), Overlap{&trigger, &other, 0});
    if (!fresh && it->second.stamp == stamp)
        return;
    it->second.stamp = stamp;
    QueueTrigger(trigger, other, fresh ? NX_TRIGGER_ON_ENTER : NX_TRIGGER_ON_STAY);
}

uint32_t Scene::World::QueueContact(Actor* const (&pair)[2], ContactPairFlag event)
{
    const uint32_t index = static_cast<uint32_t>(contacts.size());
    contacts.push_back({{pair[0], pair[1]}, event, {}, {}, static_cast<uint32_t>(patches.size()), 0});
    reports.push_back({ReportKind::contact, index, 1});
    return index;
}

void Scene::World::QueueTrigger(Shape& trigger, Shape& other, ShapeFlag status)
{
    if (!scene.triggerReport || !(trigger.flags & status))
        return;
    reports.push_back({ReportKind::trigger, static_cast<uint32_t>(triggers.size()), 1});
    triggers.push_back({&trigger, &other, status});
}

void Scene::World::AddContactPoints(float seconds)
{
    const auto byContact = [](const auto& x, const auto& y) { return x.first < y.first; };
    if (!std::is_sorted(stepManifolds.begin(), stepManifolds.end(), byContact))
        std::stable_sort(stepManifolds.begin(), stepManifolds.end(), byContact);
    for (const auto& [index, manifold] : stepManifolds)
    {
        QueuedContact& contact = contacts[index];
        if (contact.patchCount++ == 0)
            contact.firstPatch = static_cast<uint32_t>(patches.size());
        // Bullet's normals point from body 1 to body 0; the forces are those on the first actor.
        const btScalar sign = manifold->getBody0() == contact.actors[0]->body.get() ? 1.0f : -1.0f;
        const btScalar perSecond = sign / seconds;
        ContactPatch patch;
        patch.firstPoint = static_cast<uint32_t>(points.size());
        patch.pointCount = static_cast<uint32_t>(manifold->getNumContacts());
        for (int p = 0; p < manifold->getNumContacts(); ++p)
        {
            const btManifoldPoint& point = manifold->getContactPoint(p);
            points.push_back(FromBullet(point.getPositionWorldOnB()));
            contact.normalForce = contact.normalForce + FromBullet(point.m_normalWorldOnB *
                                                                   (point.getAppliedImpulse() * perSecond));
            contact.frictionForce =
                contact.frictionForce +
                FromBullet((point.m_lateralFrictionDir1 * point.m_appliedImpulseLateral1 +
                            point.m_lateralFrictionDir2 * point.m_appliedImpulseLateral2) *
                           perSecond);
        }
        patches.push_back(patch);
    }
}

void Scene::World::ScanSleep()
{
    for (const bool wake : {true, false})
    {
        const uint32_t first = static_cast<uint32_t>(actors.size());
        for (Actor* actor : bodies)
        {
            const bool asleep = actor->Pushable() && actor->body->getActivationState() == ISLAND_SLEEPING;
            if (asleep == actor->sleepReported || asleep == wake)
                continue;
            actor->sleepReported = asleep;
            if (scene.userNotify)
                actors.push_back(actor);
        }
        const uint32_t count = static_cast<uint32_t>(actors.size()) - first;
        if (count > 0)
            reports.push_back({wake ? ReportKind::wake : ReportKind::sleep, first, count});
    }
}

void Scene::World::Forget(const Actor& actor)
{
    EraseValue(bodies, const_cast<Actor*>(&actor));
    EraseValue(moving, const_cast<Actor*>(&actor));
    EraseValue(triggerCarriers, const_cast<Actor*>(&actor));
    std::erase_if(touches, [&actor](const auto& entry)
                  { return entry.second.actors[0] == &actor || entry.second.actors[1] == &actor; });
    std::erase_if(overlaps, [&actor](const auto& entry)
                  { return &entry.second.trigger->actor == &actor || &entry.second.other->actor == &actor; });
    for (const auto& cloth : scene.cloths)
        cloth->Detach(*actor.body);
}

Scene::Scene(PhysicsSDK& sdk, const SceneDesc& desc)
    : sdk(sdk), bullet(std::make_unique<World>(*this, desc)), maxTimestep(1.0f / 60.0f), maxIter(8),
      method(NX_TIMESTEP_FIXED)
{
    std::fill(std::begin(groupRows), std::end(groupRows), 0xFFFFFFFFu);
    setTiming(desc.maxTimestep, desc.maxIter, desc.timeStepMethod);
}

Scene::~Scene()
{
    cloths.clear();
    actors.clear();
    bullet->released.clear();
}

void Scene::setTiming(float newMaxTimestep, uint32_t newMaxIter, TimeStepMethod newMethod)
{
    if (newMaxTimestep > 0.0f && std::isfinite(newMaxTimestep))
        maxTimestep = newMaxTimestep;
    maxIter = std::max(newMaxIter, 1u);
    method = newMethod;
}

void Scene::simulate(float elapsed)
{
    if (running)
        return;
    running = true;
    uint32_t steps = 0;
    float seconds = maxTimestep;
    if (elapsed > 0.0f && method == NX_TIMESTEP_VARIABLE)
    {
        steps = 1;
        seconds = std::min(elapsed, 1e6f);
    }
    else if (elapsed > 0.0f)
    {
        // A sum of whole steps handed back counts as whole despite rounding; time past maxIter
        // steps is dropped.
        owed += std::min(elapsed, float(maxIter + 1) * maxTimestep);
        const float whole = std::floor(owed / maxTimestep + 1e-4f);
        steps = static_cast<uint32_t>(std::min(whole, float(maxIter)));
        owed = std::max(0.0f, owed - whole * maxTimestep);
    }
    stepsRun = steps;
    for (uint32_t i = 0; i < steps; ++i)
        step(seconds, i, steps);
    World& w = *bullet;
    if (steps > 0)
    {
        for (Actor* actor : w.moving)
            actor->ClearMotion();
        w.moving.clear();
    }
    if (!cloths.empty())
    {
        w.dynamics.getWorldInfo().m_sparsesdf.GarbageCollect();
        w.weightless.m_sparsesdf.GarbageCollect();
    }
}

void Scene::step(float seconds, uint32_t index, uint32_t count)
{
    World& w = *bullet;
    for (Actor* actor : w.moving)
        actor->ApplyStep(index, count);
    for (Actor* actor : w.triggerCarriers)
        actor->PlaceTriggers();
    w.dynamics.stepSimulation(seconds, 0, seconds);
    for (const auto& cloth : cloths)
        cloth->Damp();
    w.ScanContacts(seconds);
    w.ScanSleep();
}

bool Scene::fetchResults(SimulationStatus, bool)
{
    if (!running)
        return false;
    for (const auto& cloth : cloths)
        cloth->WriteMeshData();
    debugLines.lines.clear();
    if (sdk.getParameter(NX_VISUALIZATION_SCALE) != 0.0f)
    {
        LineCollector collector(debugLines.lines);
        bullet->dynamics.setDebugDrawer(&collector);
        bullet->dynamics.debugDrawWorld();
        bullet->dynamics.setDebugDrawer(nullptr);
    }
    deliverReports();
    running = false;
    return true;
}

void Scene::deliverReports()
{
    World& w = *bullet;
    w.delivering = true;
    std::vector<Actor*> changed;
    for (const World::Report& report : w.reports)
    {
        if (report.kind == World::ReportKind::contact && contactReport)
        {
            const World::QueuedContact& queued = w.contacts[report.first];
            ContactPair pair;
            for (int i = 0; i < 2; ++i)
            {
                pair.actors[i] = queued.actors[i];
                pair.isDeletedActor[i] = queued.actors[i]->released;
            }
            pair.stream = {w.patches.data() + queued.firstPatch, queued.patchCount, w.points.data()};
            pair.sumNormalForce = queued.normalForce;
            pair.sumFrictionForce = queued.frictionForce;
            contactReport->onContactNotify(pair, queued.events);
        }
        else if (report.kind == World::ReportKind::trigger && triggerReport)
        {
            const World::QueuedTrigger& queued = w.triggers[report.first];
            if (!queued.trigger->actor.released && !queued.other->actor.released)
                triggerReport->onTrigger(*queued.trigger, *queued.other, queued.status);
        }
        else if ((report.kind == World::ReportKind::wake || report.kind == World::ReportKind::sleep) &&
                 userNotify)
        {
            changed.clear();
            std::copy_if(w.actors.begin() + report.first, w.actors.begin() + report.first + report.count,
                         std::back_inserter(changed), [](const Actor* actor) { return !actor->released; });
            if (changed.empty())
                continue;
            if (report.kind == World::ReportKind::wake)
                userNotify->onWake(changed.data(), static_cast<uint32_t>(changed.size()));
            else
                userNotify->onSleep(changed.data(), static_cast<uint32_t>(changed.size()));
        }
    }
    w.delivering = false;
    w.reports.clear();
    w.contacts.clear();
    w.patches.clear();
    w.points.clear();
    w.triggers.clear();
    w.actors.clear();
    w.released.clear();
}

Actor* Scene::createActor(const ActorDesc& desc)
{
    if (!Actor::Accepts(desc))
        return nullptr;
    actors.push_back(std::make_unique<Actor>(*this, desc, nextId()));
    return actors.back().get();
}

void Scene::releaseActor(Actor& actor)
{
    const auto it =
        std::find_if(actors.begin(), actors.end(), [&actor](const auto& a) { return a.get() == &actor; });
    if (it == actors.end())
        return;
    std::unique_ptr<Actor> owned = std::move(*it);
    actors.erase(it);
    World& w = *bullet;
    w.Forget(actor);
    actor.Detach();
    actor.released = true;
    if (w.delivering || !w.reports.empty())
        w.released.push_back(std::move(owned));
}

Cloth* Scene::createCloth(const ClothDesc& desc)
{
    if (!desc.clothMesh || desc.collisionGroup >= 32 || !(desc.density > 0.0f) || !(desc.thickness >= 0.0f))
        return nullptr;
    auto cloth = std::make_unique<Cloth>(*this, desc);
    if (!cloth->body)
        return nullptr;
    cloths.push_back(std::move(cloth));
    return cloths.back().get();
}

void Scene::releaseCloth(Cloth& cloth)
{
    std::erase_if(cloths, [&cloth](const auto& c) { return c.get() == &cloth; });
}

void Scene::setGroupCollisionFlag(uint16_t group1, uint16_t group2, bool enable)
{
    if (group1 >= 32 || group2 >= 32)
        return;
    const auto set = [enable](uint32_t& row, uint16_t group)
    { row = enable ? row | (1u << group) : row & ~(1u << group); };
    set(groupRows[group1], group2);
    set(groupRows[group2], group1);
    for (const auto& actor : actors)
        actor->RefreshFilter();
    for (const auto& cloth : cloths)
        bullet->Refilter(*cloth->body);
}

bool Scene::getGroupCollisionFlag(uint16_t group1, uint16_t group2) const
{
    return group1 < 32 && group2 < 32 && (groupRows[group1] & (1u << group2));
}

bool Scene::groupsCollide(uint32_t groupsA, uint32_t groupsB) const
{
    for (uint32_t group = 0; groupsA; ++group, groupsA >>= 1)
        if ((groupsA & 1) && (groupRows[group] & groupsB))
            return true;
    return false;
}

uint32_t Scene::raycastAllShapes(const Ray& worldRay, UserRaycastReport& report, ShapesType shapesType,
                                 uint32_t groups, float maxDist, uint32_t)
{
    const btVector3 origin = ToBullet(worldRay.orig);
    btVector3 direction = ToBullet(worldRay.dir);
    if (actors.empty() || !worldRay.orig.isFinite() || !worldRay.dir.isFinite() ||
        !(direction.length2() > 0.0f) || !(maxDist > 0.0f))
        return 0;
    direction.normalize();
    btVector3 low, high;
    bullet->broadphase.getBroadphaseAabb(low, high);
    btScalar length = maxDist;
    if (!ClipRay(origin, direction, low - btVector3(1, 1, 1), high + btVector3(1, 1, 1), length))
        return 0;
    const btVector3 end = origin + direction * length;
    RayCollector collector(shapesType, groups);
    bullet->dynamics.rayTest(origin, end, collector);
    std::sort(collector.hits.begin(), collector.hits.end(),
              [](const RayCollector::Hit& a, const RayCollector::Hit& b) { return a.fraction < b.fraction; });
    uint32_t reported = 0;
    for (const RayCollector::Hit& found : collector.hits)
    {
        RaycastHit hit;
        hit.shape = found.shape;
        const btVector3 impact = origin + direction * (length * found.fraction);
        hit.worldImpact = FromBullet(impact);
        hit.worldNormal = FromBullet(found.normal.fuzzyZero() ? found.normal : found.normal.normalized());
        hit.distance = length * found.fraction;
        hit.materialIndex = found.shape->getMaterial();
        if (const TriangleMesh* mesh = found.shape->getMesh())
        {
            hit.faceID = static_cast<uint32_t>(found.triangle);
            const btTransform pose = found.shape->WorldTransform();
            const uint32_t* corner = mesh->getTriangles() + 3 * size_t(hit.faceID);
            const Vec3* vertices = mesh->getVertices();
            Barycentric(impact, pose * ToBullet(vertices[corner[0]]), pose * ToBullet(vertices[corner[1]]),
                        pose * ToBullet(vertices[corner[2]]), hit.u, hit.v);
        }
        ++reported;
        if (!report.onHit(hit))
            break;
    }
    return reported;
}

} // namespace physx
