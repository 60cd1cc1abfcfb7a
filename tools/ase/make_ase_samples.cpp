// Writes the ASE sample scenes into the folder given: "cube.ase" (textured, with normals),
// "sphere.ase", "remarks.ASE" (CR LF line ends, "*COMMENT" lines and a material list) and
// "grid.ase" (20,000 faces).
#include "WeAseWriter.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: make_ase_samples <folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const struct
    {
        const char* name;
        std::string text;
    } samples[] = {
        {"cube.ase", WeAseText(WeAseCube())},
        {"sphere.ase", WeAseText(WeAseSphere(12, 16))},
        {"remarks.ASE", WeAseText(WeAseCube(), {true, true, 2})},
        {"grid.ase", WeAseText(WeAseGrid(100))},
    };
    for (const auto& sample : samples)
    {
        std::ofstream out(folder / sample.name, std::ios::binary);
        out << sample.text;
        if (!out)
        {
            std::fprintf(stderr, "cannot write %s\n", sample.name);
            return 1;
        }
    }
    return 0;
}
