// Material texts: what they set reaches the engine's reader through the written record, and
// lines the tool cannot understand stop it with the line's number.
#include "WeMaterialSource.h"
#include "WeMaterial.h"

#include "WeFileStream.h"
#include "WeRecordReader.h"
#include "core/TempFolder.h"

#include <gtest/gtest.h>

TEST(MaterialSourceTest, TextReachesTheEngineThroughTheRecord)
{
    WeMaterialSource source;
    ASSERT_TRUE(source.Parse("# a comment line\n"
                             "shader = Shaders.Default.Default   # and a comment after a value\n"
                             "pass = 2\n"
                             "destBlend = 2\n"
                             "texture0 = Ingame.Textures.block_1_a\n"
                             "texture15 = Ingame.Textures.splat\n"
                             "color = 0.25 0.5 0.75 0.5\n"
                             "twoSided = true\n"
                             "lighting = false\n"
                             "\n"
                             "priority = -2\n"
                             "splatUVScales = 1 2 3 4 5 6 7 8 9.5\n"
                             "glowAmount = 1e-1\n"))
        << source.GetLastError();
    TempFolder folder;
    WeFileStream out;
    ASSERT_TRUE(out.Create((folder / "m.material").c_str()));
    ASSERT_TRUE(source.Write(out));
    ASSERT_TRUE(out.Close());

    WeFileStream in;
    ASSERT_TRUE(in.Open((folder / "m.material").c_str()));
    WeRecordReader reader(in, in.GetSize());
    WeMaterial material;
    ASSERT_TRUE(material.ReadRecord(reader));
    EXPECT_EQ(reader.Remaining(), 0);
    EXPECT_EQ(material.version, 34);
    EXPECT_EQ(material.pass, 2);
    EXPECT_EQ(material.srcBlend, 5);
    EXPECT_EQ(material.destBlend, 2);
    EXPECT_STREQ(material.textureNames[0].GetData(), "Ingame.Textures.block_1_a");
    EXPECT_STREQ(material.textureNames[15].GetData(), "Ingame.Textures.splat");
    EXPECT_FLOAT_EQ(material.color[2], 0.75f);
    EXPECT_FLOAT_EQ(material.color[3], 0.5f);
    EXPECT_TRUE(material.twoSided);
    EXPECT_FALSE(material.lighting);
    EXPECT_EQ(material.priority, -2);
    EXPECT_FLOAT_EQ(material.splatUVScales[8], 9.5f);
    EXPECT_FLOAT_EQ(material.glowAmount, 0.1f);
    EXPECT_FLOAT_EQ(material.bumpIntensity, 2.5f) << "what the text leaves out keeps the engine's default";
}

TEST(MaterialSourceTest, LinesItCannotUnderstandAreRefused)
{
    const struct
    {
        const char* text;
        const char* error;
    } cases[] = {
        {"pass = two\n", "line 1: bad key or value for \"pass\""},
        {"\ncolor = 1 1 1\n", "line 2: bad key or value for \"color\""},
        {"color = 1 1 1 1 1\n", "line 1: bad key or value for \"color\""},
        {"lighting = yes\n", "line 1: bad key or value for \"lighting\""},
        {"texture16 = A.B.c\n", "line 1: bad key or value for \"texture16\""},
        {"pass 2\n", "line 1: no \"=\" in \"pass 2\""},
        {"fogEnd = 1,5\n", "line 1: bad key or value for \"fogEnd\""},
    };
    for (const auto& c : cases)
    {
        WeMaterialSource source;
        EXPECT_FALSE(source.Parse(c.text)) << c.text;
        EXPECT_EQ(source.GetLastError(), c.error);
    }
}
