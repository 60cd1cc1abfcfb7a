#include "WeRecycled.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

class PooledBase
{
public:
    explicit PooledBase(int id = 0) : id(id) {}
    virtual ~PooledBase() { ++destroyed; }
    int id;
    static int destroyed;
};
int PooledBase::destroyed = 0;

// Each test uses its own class, so that each starts with a fresh pool.
template <int Tag> class Pooled : public WeRecycled<Pooled<Tag>, PooledBase>
{
public:
    explicit Pooled(int id = 0) : WeRecycled<Pooled<Tag>, PooledBase>(id) {}
    double payload[4] = {};
};

template <int Tag> class Larger : public Pooled<Tag>
{
public:
    char extra[256] = {};
};

// Deletes a sibling from its destructor, as owners of pooled children do.
class Parent : public WeRecycled<Parent, PooledBase>
{
public:
    Parent* child = nullptr;
    ~Parent() override { delete child; }
};

} // namespace

TEST(WeRecycled, DeletedBlocksAreReused)
{
    using P = Pooled<1>;
    P::SetPooling(true);
    P* first = new P(1);
    const auto firstAddress = reinterpret_cast<uintptr_t>(first);
    EXPECT_EQ(P::GetLiveCount(), 1);
    delete first;
    EXPECT_EQ(P::GetLiveCount(), 0);
    EXPECT_EQ(P::GetSpareCount(), 1);
    P* second = new P(2);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(second), firstAddress);
    EXPECT_EQ(second->id, 2);
    delete second;
    P::DestroyPool();
}

TEST(WeRecycled, DeletingNullDoesNothing)
{
    using P = Pooled<2>;
    P::SetPooling(true);
    P* none = nullptr;
    delete none;
    EXPECT_EQ(P::GetLiveCount(), 0);
    EXPECT_EQ(P::GetSpareCount(), 0);
}

TEST(WeRecycled, DestroyPoolRunsEachDestructorOnce)
{
    using P = Pooled<3>;
    P::SetPooling(true);
    for (int i = 0; i < 4; ++i)
        new P(i); // owned by the pool from here on
    delete new P(9);
    PooledBase::destroyed = 0;
    P::DestroyPool();
    EXPECT_EQ(PooledBase::destroyed, 4);
    EXPECT_FALSE(P::IsPooling());
    EXPECT_EQ(P::GetLiveCount(), 0);
    EXPECT_EQ(P::GetSpareCount(), 0);
    P::DestroyPool(); // torn down a second time at exit
    EXPECT_EQ(PooledBase::destroyed, 4);
}

TEST(WeRecycled, AfterDestroyPoolObjectsArePlainAllocations)
{
    using P = Pooled<4>;
    P::SetPooling(true);
    P::DestroyPool();
    P* late = new P(5);
    EXPECT_EQ(P::GetLiveCount(), 0);
    delete late;
    EXPECT_EQ(P::GetSpareCount(), 0);
}

TEST(WeRecycled, ObjectPooledBeforeSwitchOffIsFreedWhole)
{
    using P = Pooled<5>;
    P::SetPooling(true);
    PooledBase* early = new P(1);
    P::SetPooling(false);
    delete early; // through the base, after pooling went off: the whole block is freed
    EXPECT_EQ(P::GetLiveCount(), 0);
    EXPECT_EQ(P::GetSpareCount(), 0);
    P* plain = new P(2);
    P::SetPooling(true);
    delete plain; // allocated while off, released while on: still a plain release
    EXPECT_EQ(P::GetSpareCount(), 0);
    P::DestroyPool();
}

TEST(WeRecycled, LargerDerivedClassesGetTheirOwnBlock)
{
    using P = Pooled<6>;
    P::SetPooling(true);
    Larger<6>* big = new Larger<6>();
    big->extra[255] = 'x';
    EXPECT_EQ(P::GetLiveCount(), 0);
    PooledBase::destroyed = 0;
    delete static_cast<PooledBase*>(big);
    EXPECT_EQ(PooledBase::destroyed, 1);
    EXPECT_EQ(P::GetSpareCount(), 0);
    P::DestroyPool();
}

TEST(WeRecycled, DestructorsMayDeleteOtherPooledObjects)
{
    Parent::SetPooling(true);
    Parent* parent = new Parent();
    parent->child = new Parent();
    new Parent(); // a third, unrelated
    PooledBase::destroyed = 0;
    Parent::DestroyPool();
    EXPECT_EQ(PooledBase::destroyed, 3);
    EXPECT_EQ(Parent::GetLiveCount(), 0);
}

TEST(WeRecycled, ForEachLiveSurvivesDeletionsDuringTheWalk)
{
    using P = Pooled<7>;
    P::SetPooling(true);
    std::vector<P*> objects;
    for (int i = 0; i < 6; ++i)
        objects.push_back(new P(i));
    std::vector<int> visited;
    P::ForEachLive(
        [&](P* object)
        {
            visited.push_back(object->id);
            if (object->id == 1)
                delete objects[2]; // the walk's next object
            if (object->id % 2 == 1)
                delete object;
        });
    EXPECT_EQ(visited, (std::vector<int>{0, 1, 3, 4, 5}));
    EXPECT_EQ(P::GetLiveCount(), 2);
    P::DestroyPool();
}

TEST(WeRecycled, FreeSpareBlocksReleasesEverything)
{
    using P = Pooled<8>;
    P::SetPooling(true);
    new P(1);
    delete new P(2);
    PooledBase::destroyed = 0;
    P::FreeSpareBlocks();
    EXPECT_EQ(PooledBase::destroyed, 0);
    EXPECT_EQ(P::GetLiveCount(), 0);
    EXPECT_EQ(P::GetSpareCount(), 0);
    EXPECT_TRUE(P::IsPooling());
}
