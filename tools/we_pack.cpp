// Packs folder trees <Group>/<Subgroup>/<name>.<ext> into one package file.
// Usage: we_pack <folder>... <Packages.dat>
#include "WePackageWriter.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        std::fprintf(stderr, "usage: %s <folder>... <Packages.dat>\n", argv[0]);
        return 2;
    }
    WePackageWriter writer;
    bool added = true;
    for (int i = 1; i + 1 < argc && added; ++i)
        added = writer.AddFolder(argv[i]);
    if (!added || !writer.Write(argv[argc - 1]))
    {
        std::fprintf(stderr, "we_pack: %s\n", writer.GetLastError().c_str());
        return 1;
    }
    std::printf("we_pack: %zu entries into %s\n", writer.GetEntryCount(), argv[argc - 1]);
    return 0;
}
