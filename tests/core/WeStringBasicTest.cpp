#include "WeHashTable.h"
#include "WeList.h"
#include "WeString.h"

#include <gtest/gtest.h>

TEST(WeStringBasic, AppendsAndConverts)
{
    WeString s("Config");
    s += ".Main.";
    s.AppendInt(42);
    EXPECT_EQ(s, "Config.Main.42");
    EXPECT_EQ(s.GetToken('.', 2).ToInt(10), 42);
    EXPECT_EQ(WeString("#1F").ToInt(10), 31);
    EXPECT_FLOAT_EQ(WeString("1.5").ToFloat(0.0f), 1.5f);
}

TEST(WeListBasic, ReusesSpareNodes)
{
    WeList<WeString> list;
    list.PushBack() = "a";
    list.Clear();
    EXPECT_EQ(list.PushBack(), "a");
    EXPECT_EQ(list.GetCount(), 1);
}

TEST(WeHashTableBasic, FindsInsertedValues)
{
    WeHashTable<int> table;
    table.Insert("Root", 7);
    int value = 0;
    EXPECT_TRUE(table.Find("Root", value));
    EXPECT_EQ(value, 7);
    EXPECT_EQ(WeHashTable<int>::Bucket("Root"), 125);
}

TEST(WeStringBasic, FormatsFloats)
{
    EXPECT_EQ(WeString().AppendFloat(1.5, 6), "1.5");
    EXPECT_EQ(WeString().AppendFloat(2.0, 6), "2.0");
    EXPECT_EQ(WeString().AppendFloat(0.25, 6), "0.25");
    EXPECT_EQ(WeString().AppendFloat(-0.5, 6), "-0.5");
}
