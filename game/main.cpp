// Entry function of Mivo, a 3D block-puzzle game.
#include <cstdio>

int main()
{
    std::puts("Mivo: a 3D block-puzzle game (the run loop is not built yet).");
    return 0;
}
