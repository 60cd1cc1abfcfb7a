// The physic-model record inside actor records: the written form and every older version.
#include "physics/WePhysicModel.h"
#include "render/RecordBytes.h"

#include <gtest/gtest.h>

TEST(PhysicModelTest, WritesVersionFiveAndReadsItBack)
{
    WePhysicModel model;
    model.type = 9;
    model.group = 3;
    model.shapeFlags = 4;
    model.mass = 2.5f;
    model.startAsleep = false;
    model.gravity = false;
    model.density = 0.5f;
    model.friction = 0.25f;
    model.bendingStiffness = 0.75f;
    model.pressure = 1.5f;
    model.stretchingStiffness = 0.125f;
    RecordPackage package;
    WeFileStream out;
    const std::string path = package.folder / "model.bin";
    ASSERT_TRUE(out.Create(path.c_str()));
    ASSERT_TRUE(model.Save(out));
    out.Close();
    const std::vector<uint8_t> bytes = TempFolder::ReadBytes(path);
    ASSERT_EQ(bytes.size(), 38u);

    WePhysicModel loaded;
    WeRecordReader reader(package.Open(bytes), 42);
    ASSERT_TRUE(loaded.Load(reader));
    package.ExpectAtSentinel(reader, 38);
    EXPECT_EQ(loaded.type, 9);
    EXPECT_EQ(loaded.group, 3);
    EXPECT_EQ(loaded.shapeFlags, 4);
    EXPECT_FLOAT_EQ(loaded.mass, 2.5f);
    EXPECT_FALSE(loaded.startAsleep);
    EXPECT_FALSE(loaded.gravity);
    EXPECT_FLOAT_EQ(loaded.density, 0.5f);
    EXPECT_FLOAT_EQ(loaded.friction, 0.25f);
    EXPECT_FLOAT_EQ(loaded.bendingStiffness, 0.75f);
    EXPECT_FLOAT_EQ(loaded.pressure, 1.5f);
    EXPECT_FLOAT_EQ(loaded.stretchingStiffness, 0.125f);
}

TEST(PhysicModelTest, OlderVersionsReadTheirFieldsAndKeepTheRest)
{
    struct Case
    {
        int32_t version;
        RecordBytes body;
        float density; // expected
        bool gravity;
    };
    const short group = 2, flags = 1;
    const Case cases[] = {
        {1, RecordBytes().Int(5).Bool(true).Floats({1, 2, 3, 4, 5, 6}).Raw(&group, 2).Raw(&flags, 2).Float(3),
         0.02f, true},
        {3, RecordBytes().Int(5).Bool(true).Raw(&group, 2).Raw(&flags, 2).Float(3).Float(0.9f), 0.9f, true},
        {7,
         RecordBytes()
             .Int(5)
             .Bool(true)
             .Raw(&group, 2)
             .Raw(&flags, 2)
             .Float(3)
             .Floats({0.9f, 1, 1, 1, 1})
             .Bool(false),
         0.9f, false},
    };
    for (const Case& test : cases)
    {
        RecordBytes record;
        record.Int(test.version).Raw(test.body.bytes.data(), test.body.Size());
        RecordPackage package;
        WePhysicModel model;
        WeRecordReader reader(package.Open(record.bytes), int64_t(record.Size()) + 4);
        ASSERT_TRUE(model.Load(reader)) << test.version;
        package.ExpectAtSentinel(reader, record.Size());
        EXPECT_EQ(model.type, 5);
        EXPECT_EQ(model.group, 2);
        EXPECT_FLOAT_EQ(model.mass, 3.0f);
        EXPECT_FLOAT_EQ(model.density, test.density);
        EXPECT_EQ(model.gravity, test.gravity);
    }
    RecordPackage package;
    WePhysicModel untouched;
    WeRecordReader reader(package.Open(RecordBytes().Int(0).bytes), 8);
    ASSERT_TRUE(untouched.Load(reader));
    package.ExpectAtSentinel(reader, 4);
    EXPECT_EQ(untouched.type, 0);
}
