// Keeps Mesa's EGL library and software driver loaded until the test program exits.
// The driver keeps a few start-up allocations for the life of the process; when the last
// context goes, EGL unloads it, and the leak check at exit then sees those allocations
// from an unknown module that no suppression can name. Loaded here with RTLD_NODELETE,
// the libraries stay mapped, and the leak check attributes the allocations to them.
#include <dlfcn.h>
#include <link.h>

#include <string>

namespace
{

void* PinLibrary(const char* path) { return dlopen(path, RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE); }

struct GlDriverPin
{
    GlDriverPin()
    {
        void* egl = PinLibrary("libEGL_mesa.so.0");
        char folder[4096] = {};
        if (egl == nullptr || dlinfo(egl, RTLD_DI_ORIGIN, folder) != 0)
            return;
        PinLibrary((std::string(folder) + "/dri/swrast_dri.so").c_str());
    }
};

const GlDriverPin pin;

} // namespace
