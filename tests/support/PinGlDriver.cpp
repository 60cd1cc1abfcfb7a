// Keeps every shared library loaded until the test program exits.
// Mesa's software driver keeps a few start-up allocations for the life of the process; when the
// last context goes, EGL unloads it, and the leak check at exit then sees those allocations from
// an unknown module that no suppression can name. The program's own dlclose comes first in symbol
// lookup, so the libraries' calls land here and nothing is unloaded: the driver stays mapped and
// the leak check attributes its allocations to it. Done this way rather than by loading the
// driver up front, which cost every test program, GL or not, a third of its start-up.
extern "C" int dlclose(void*)
{
    return 0;
}
