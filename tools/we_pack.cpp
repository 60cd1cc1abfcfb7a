// Packs a folder tree <Group>/<Subgroup>/<name>.<ext> into a package file.
// Usage: we_pack <folder> <Packages.dat>
#include "WePackageWriter.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: %s <folder> <Packages.dat>\n", argv[0]);
        return 2;
    }
    WePackageWriter writer;
    if (!writer.AddFolder(argv[1]) || !writer.Write(argv[2]))
    {
        std::fprintf(stderr, "we_pack: %s\n", writer.GetLastError().c_str());
        return 1;
    }
    std::printf("we_pack: %zu entries into %s\n", writer.GetEntryCount(), argv[2]);
    return 0;
}
