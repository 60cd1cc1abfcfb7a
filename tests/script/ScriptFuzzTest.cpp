// Bad script input against the started engine: wrong selves, wrong and missing arguments, NaN
// and huge numbers, objects of deleted natives, then a seeded random driver.
#include "ScriptFixture.h"

namespace
{
class ScriptFuzzTest : public ScriptEngineTest
{
protected:
    void SetUp() override
    {
        ScriptEngineTest::SetUp();
        ASSERT_EQ(Run("host = { model = 'Ingame.Models.Block', texture = 'Config.Assets.DefaultWhite', "
                      "font = 'Arial:16' }"),
                  "");
    }
    // Runs the fuzz script; its result is the number of bad calls checked.
    std::string Fuzz(int seed, int calls)
    {
        const std::string setup =
            "host.seed = " + std::to_string(seed) + " host.calls = " + std::to_string(calls) + " ";
        return Run(setup + "____checked = (function() " + Source("ScriptFuzz.lua") + " end)()");
    }
};
} // namespace

TEST_F(ScriptFuzzTest, EveryMemberRefusesBadInputAndTheEngineGoesOn)
{
    for (const int seed : {1, 2, 3})
    {
        ASSERT_EQ(Fuzz(seed, 1500), "") << "seed " << seed;
        EXPECT_GT(std::stoi(Eval("____checked")), 2000);
    }
    // Still usable afterwards.
    EXPECT_EQ(Eval("NewVector(1, 2, 3).z"), "3");
}
