// A fresh folder under /tmp for one test, removed with everything in it afterwards.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

class TempFolder
{
public:
    TempFolder()
    {
        char pattern[] = "/tmp/we_test_XXXXXX";
        if (mkdtemp(pattern))
            path = pattern;
    }
    ~TempFolder()
    {
        if (!path.empty())
            std::system(("rm -rf '" + path + "'").c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string operator/(const std::string& name) const { return path + "/" + name; }

    static void WriteBytes(const std::string& file, const std::vector<unsigned char>& bytes)
    {
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    static std::vector<unsigned char> ReadBytes(const std::string& file)
    {
        std::ifstream in(file, std::ios::binary);
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>());
    }

    std::string path;
};
