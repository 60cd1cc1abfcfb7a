// Turns material texts into material records: every <source>/<Group>/<Subgroup>/<name>.txt
// becomes <package folder>/<Group>/<Subgroup>/<name>.material, the asset
// "<Group>.<Subgroup>.<name>" of type "material".
//   make_materials <source folder> <package folder>
#include "WeFileStream.h"
#include "WeMaterialSource.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace
{

bool Convert(const fs::path& source, const fs::path& target)
{
    std::ifstream in(source);
    std::stringstream text;
    text << in.rdbuf();
    WeMaterialSource material;
    if (!in || !material.Parse(text.str()))
    {
        std::fprintf(stderr, "make_materials: %s: %s\n", source.c_str(),
                     in ? material.GetLastError().c_str() : "cannot be read");
        return false;
    }
    std::error_code ignored;
    fs::create_directories(target.parent_path(), ignored);
    WeFileStream stream;
    if (!stream.Create(target.c_str()) || !material.Write(stream) || !stream.Close())
    {
        std::fprintf(stderr, "make_materials: %s cannot be written\n", target.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: make_materials <source folder> <package folder>\n");
        return 2;
    }
    const fs::path sources(argv[1]);
    const fs::path package(argv[2]);
    std::error_code error;
    for (fs::recursive_directory_iterator file(sources, error), end; !error && file != end;
         file.increment(error))
    {
        if (!file->is_regular_file() || file->path().extension() != ".txt")
            continue;
        const fs::path relative = fs::relative(file->path(), sources);
        if (!Convert(file->path(), (package / relative).replace_extension(".material")))
            return 1;
    }
    if (error)
    {
        std::fprintf(stderr, "make_materials: %s: %s\n", sources.c_str(), error.message().c_str());
        return 1;
    }
    return 0;
}
