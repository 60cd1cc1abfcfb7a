#include "WeList.h"
#include "WeString.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

// Counts constructions and destructions, to see which nodes a list really frees.
struct Tracked
{
    static int alive;
    int value = 0;
    Tracked() { ++alive; }
    Tracked(const Tracked& other) : value(other.value) { ++alive; }
    Tracked& operator=(const Tracked&) = default;
    ~Tracked() { --alive; }
};
int Tracked::alive = 0;

template <typename T> std::vector<T> Contents(const WeList<T>& list)
{
    std::vector<T> values;
    for (const T& value : list)
        values.push_back(value);
    return values;
}

WeList<int> ListOf(std::initializer_list<int> values)
{
    WeList<int> list;
    for (int value : values)
        list.PushBack(value);
    return list;
}

} // namespace

TEST(WeList, PushBackKeepsOrderAndCount)
{
    const WeList<int> list = ListOf({3, 1, 2});
    EXPECT_EQ(list.GetCount(), 3);
    EXPECT_EQ(list.First(), 3);
    EXPECT_EQ(list.Last(), 2);
    EXPECT_EQ(Contents(list), (std::vector<int>{3, 1, 2}));
}

TEST(WeList, SpareNodeStillHoldsItsOldValue)
{
    WeList<WeString> list;
    list.PushBack() = "UI.Components.Main";
    list.Clear();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.PushBack(), "UI.Components.Main");
}

TEST(WeList, ClearReusesNodesInOrder)
{
    WeList<int> list = ListOf({1, 2, 3});
    list.Clear();
    EXPECT_EQ(list.PushBack(), 1);
    EXPECT_EQ(list.PushBack(), 2);
    EXPECT_EQ(list.PushBack(), 3);
    EXPECT_EQ(list.PushBack(), 0);
    EXPECT_EQ(list.GetCount(), 4);
}

TEST(WeList, RemoveCurrentContinuesTheWalk)
{
    WeList<int> list = ListOf({1, 2, 3, 4, 5, 6});
    std::vector<int> visited;
    for (list.Reset(); !list.IsEnd();)
    {
        visited.push_back(list.GetItem());
        if (list.GetItem() % 2 == 0)
            list.RemoveCurrent();
        else
            list.Next();
    }
    EXPECT_EQ(visited, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Contents(list), (std::vector<int>{1, 3, 5}));
    EXPECT_EQ(list.GetCount(), 3);
}

TEST(WeList, RemoveCurrentAtTheEndDoesNothing)
{
    WeList<int> list = ListOf({1});
    list.Reset();
    list.Next();
    list.RemoveCurrent();
    EXPECT_EQ(list.GetCount(), 1);
}

TEST(WeList, InsertBeforeCursorBuildsSortedLists)
{
    WeList<int> list;
    for (int value : {5, 1, 4, 2, 3, 9, 0})
    {
        for (list.Reset(); !list.IsEnd() && list.GetItem() < value; list.Next())
        {
        }
        list.InsertBeforeCursor() = value;
    }
    EXPECT_EQ(Contents(list), (std::vector<int>{0, 1, 2, 3, 4, 5, 9}));
}

TEST(WeList, PopBackTakesFromTheEnd)
{
    WeList<int> list = ListOf({1, 2});
    int value = 0;
    EXPECT_TRUE(list.PopBack(&value));
    EXPECT_EQ(value, 2);
    EXPECT_TRUE(list.PopBack());
    EXPECT_FALSE(list.PopBack(&value));
    EXPECT_EQ(value, 2);
    EXPECT_TRUE(list.IsEmpty());
}

TEST(WeList, RemoveTakesTheFirstMatch)
{
    WeList<int> list = ListOf({7, 8, 7});
    EXPECT_TRUE(list.Remove(7));
    EXPECT_EQ(Contents(list), (std::vector<int>{8, 7}));
    EXPECT_FALSE(list.Remove(9));
    EXPECT_EQ(list.GetCount(), 2);
}

TEST(WeList, RemoveDuringAWalkKeepsTheCursorValid)
{
    WeList<int> list = ListOf({1, 2, 3});
    list.Reset();
    list.Next(); // cursor on 2
    EXPECT_TRUE(list.Remove(2));
    ASSERT_FALSE(list.IsEnd());
    EXPECT_EQ(list.GetItem(), 3);
}

TEST(WeList, AssignmentCopiesInOrder)
{
    const WeList<int> source = ListOf({4, 5, 6});
    WeList<int> target = ListOf({9, 9, 9, 9});
    target = source;
    EXPECT_EQ(Contents(target), (std::vector<int>{4, 5, 6}));
    target = target;
    EXPECT_EQ(target.GetCount(), 3);
    WeList<int> copy(source);
    copy.PushBack(7);
    EXPECT_EQ(source.GetCount(), 3);
    EXPECT_EQ(copy.GetCount(), 4);
}

TEST(WeList, DestructionDestroysEveryNodeOnce)
{
    Tracked::alive = 0;
    {
        WeList<Tracked> list;
        for (int i = 0; i < 5; ++i)
            list.PushBack().value = i;
        list.Reset();
        list.RemoveCurrent();
        list.PopBack();
        EXPECT_EQ(Tracked::alive, 5); // removed nodes keep their element
        list.Clear();
        EXPECT_EQ(Tracked::alive, 5);
    }
    EXPECT_EQ(Tracked::alive, 0);
}
