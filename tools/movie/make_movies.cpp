// Writes the test clips into a "Movies" folder:
//   make_movies <folder>  ->  <folder>/ColourBars.mkv (FFV1, lossless), <folder>/ColourBars.avi (MPEG-4)
#include "WeClipWriter.h"

#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: make_movies <folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    for (const auto& [name, encoding] : {std::pair{"ColourBars.mkv", clip::Encoding::lossless},
                                         std::pair{"ColourBars.avi", clip::Encoding::lossy}})
    {
        std::string problem;
        if (!clip::WriteClip((folder / name).string(), encoding, problem))
        {
            std::fprintf(stderr, "make_movies: %s: %s\n", name, problem.c_str());
            return 1;
        }
    }
    return 0;
}
