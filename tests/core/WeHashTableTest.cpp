#include "WeHashTable.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace
{

using Table = WeHashTable<intptr_t>;

std::vector<std::string> KeysInIteratorOrder(Table& table)
{
    std::vector<std::string> keys;
    for (table.Reset(); !table.IsEnd(); table.Next())
        keys.emplace_back(table.GetKey().GetData());
    return keys;
}

WeString Key(int i)
{
    return WeString("Key.").AppendInt(i);
}

} // namespace

TEST(WeHashTableHash, OneAtATimeOverSignedBytes)
{
    EXPECT_EQ(Table::Hash("", 0), 0u);
    EXPECT_EQ(Table::Hash("a", 1), 0xCA2E9442u);
    EXPECT_EQ(Table::Hash("Root", 4), 0xD7E000B0u);
    EXPECT_EQ(Table::Bucket(""), 0);
    EXPECT_EQ(Table::Bucket("a"), 3);
    EXPECT_EQ(Table::Bucket("Root"), 125);
    EXPECT_EQ(Table::Bucket("UI.Size.SrcW"), 20);
    EXPECT_EQ(Table::Bucket("config.main.ui"), 53);
    EXPECT_EQ(Table::Bucket("\xC3\xA9"), 17); // unsigned bytes would give 8
}

TEST(WeHashTable, FindsLooksUpAndRemoves)
{
    Table table;
    EXPECT_EQ(*table.Insert("Root", 10), 10);
    table.Insert("Main", 20);
    intptr_t value = 0;
    EXPECT_TRUE(table.Find("Root", value));
    EXPECT_EQ(value, 10);
    EXPECT_FALSE(table.Find("root", value));
    intptr_t* slot = nullptr;
    ASSERT_TRUE(table.Lookup("Main", slot));
    *slot = 21;
    EXPECT_TRUE(table.Find("Main", value));
    EXPECT_EQ(value, 21);
    EXPECT_TRUE(table.Remove("Main", &value));
    EXPECT_EQ(value, 21);
    EXPECT_FALSE(table.Remove("Main"));
    EXPECT_EQ(table.GetCount(), 1);
}

TEST(WeHashTable, KeysDifferingOnlyInLengthAreDistinct)
{
    Table table;
    table.Insert(WeString("ab\0", 3), 1);
    table.Insert("ab", 2);
    intptr_t value = 0;
    EXPECT_TRUE(table.Find("ab", value));
    EXPECT_EQ(value, 2);
    EXPECT_TRUE(table.Find(WeString("ab\0", 3), value));
    EXPECT_EQ(value, 1);
}

TEST(WeHashTable, DuplicateKeysFindTheFirstInserted)
{
    Table table;
    table.Insert("Texture", 1);
    table.Insert("Texture", 2);
    EXPECT_EQ(table.GetCount(), 2);
    intptr_t value = 0;
    EXPECT_TRUE(table.Find("Texture", value));
    EXPECT_EQ(value, 1);
    EXPECT_TRUE(table.Remove("Texture"));
    EXPECT_TRUE(table.Find("Texture", value));
    EXPECT_EQ(value, 2);
}

TEST(WeHashTable, FindFirstReturnsTheExistingSlot)
{
    Table table;
    intptr_t* first = table.Insert("Font", 1);
    intptr_t* again = table.Insert("Font", 2, true);
    EXPECT_EQ(first, again);
    EXPECT_EQ(*again, 1);
    EXPECT_EQ(table.GetCount(), 1);
}

TEST(WeHashTable, IteratesInBucketThenChainOrder)
{
    Table table;
    for (int i = 0; i < 500; ++i)
        table.Insert(Key(i), i);
    int previousBucket = -1;
    std::map<int, std::vector<intptr_t>> chains;
    int visited = 0;
    for (table.Reset(); !table.IsEnd(); table.Next(), ++visited)
    {
        const int bucket = Table::Bucket(table.GetKey());
        EXPECT_GE(bucket, previousBucket);
        previousBucket = bucket;
        chains[bucket].push_back(table.GetValue());
    }
    EXPECT_EQ(visited, 500);
    for (const auto& [bucket, values] : chains)
        EXPECT_TRUE(std::is_sorted(values.begin(), values.end())) << bucket; // insertion order
}

TEST(WeHashTable, ForEachVisitsInIteratorOrder)
{
    Table table;
    for (int i = 0; i < 50; ++i)
        table.Insert(Key(i), i);
    std::vector<std::string> visited;
    table.ForEach([&](const WeString& key, intptr_t) { visited.emplace_back(key.GetData()); });
    EXPECT_EQ(visited, KeysInIteratorOrder(table));
}

TEST(WeHashTable, RemovingTheCurrentEntryContinuesTheWalk)
{
    Table table;
    for (int i = 0; i < 300; ++i)
        table.Insert(Key(i), i);
    std::set<intptr_t> seen;
    for (table.Reset(); !table.IsEnd();)
    {
        const intptr_t value = table.GetValue();
        EXPECT_TRUE(seen.insert(value).second) << value;
        if (value % 3 == 0)
            table.RemoveValue(value);
        else
            table.Next();
    }
    EXPECT_EQ(seen.size(), 300u);
    EXPECT_EQ(table.GetCount(), 200);
    intptr_t value = 0;
    EXPECT_FALSE(table.Find(Key(3), value));
    EXPECT_TRUE(table.Find(Key(4), value));
}

TEST(WeHashTable, RemoveByKeyAdvancesTheIterator)
{
    Table table;
    for (int i = 0; i < 100; ++i)
        table.Insert(Key(i), i);
    int visited = 0;
    for (table.Reset(); !table.IsEnd(); ++visited)
        table.Remove(table.GetKey());
    EXPECT_EQ(visited, 100);
    EXPECT_EQ(table.GetCount(), 0);
}

TEST(WeHashTable, RemoveValueTakesTheFirstInTableOrder)
{
    Table table;
    table.Insert("Root", 5); // bucket 125
    table.Insert("a", 5);    // bucket 3
    table.Insert("UI.Size.SrcW", 6);
    EXPECT_TRUE(table.RemoveValue(5));
    intptr_t value = 0;
    EXPECT_FALSE(table.Find("a", value));
    EXPECT_TRUE(table.Find("Root", value));
    EXPECT_FALSE(table.RemoveValue(42));
    EXPECT_EQ(table.GetCount(), 2);
}

TEST(WeHashTable, ClearKeepsNodesForReuse)
{
    Table table;
    std::set<intptr_t*> slots;
    for (int i = 0; i < 20; ++i)
        slots.insert(table.Insert(Key(i), i));
    table.Clear();
    EXPECT_EQ(table.GetCount(), 0);
    table.Reset();
    EXPECT_TRUE(table.IsEnd());
    intptr_t value = 0;
    EXPECT_FALSE(table.Find(Key(1), value));
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(slots.count(table.Insert(Key(100 + i), i)), 1u);
    EXPECT_TRUE(table.Find(Key(105), value));
    EXPECT_EQ(value, 5);
}

TEST(WeHashTable, HoldsRecordValues)
{
    struct Entry
    {
        WeString text;
        int32_t number = 0;
    };
    WeHashTable<Entry> table;
    table.Insert("build.Options.Language", Entry{"en", 1});
    Entry* entry = nullptr;
    ASSERT_TRUE(table.Lookup("build.Options.Language", entry));
    EXPECT_EQ(entry->text, "en");
    EXPECT_EQ(entry->number, 1);
}
