// The compressor's module: opened from beside the program, or refused with the reason.
#include "WeDxtCompressor.h"
#include "WeVirtualFileSystem.h"

#include <gtest/gtest.h>

#include <string>

TEST(DxtModule, OpensByPathOrSaysWhyNot)
{
    const std::string beside = std::string(WeGetExecutableFolder().GetData()) + "/libwe_dxt.so";
    const struct
    {
        std::string path;
        bool opens;
        std::string problem; // what the problem starts with
    } cases[] = {
        {beside, true, ""},
        {"/no/such/folder/libwe_dxt.so", false, "/no/such/folder/libwe_dxt.so: cannot open"},
        {"libm.so.6", false, "libm.so.6 has no WeDxtCompress"},
    };
    for (const auto& c : cases)
    {
        WeDxtCompressCall call = nullptr;
        WeString problem;
        EXPECT_EQ(WeLoadDxtModule(c.path.c_str(), call, problem), c.opens) << c.path;
        EXPECT_EQ(std::string(problem.GetData()).rfind(c.problem, 0), 0u) << problem.GetData();
        EXPECT_EQ(call != nullptr, c.opens);
    }
}
