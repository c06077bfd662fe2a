// KVX512_USB=sim: the simulated player comes with kvx512-sim, not with the
// libraries, so its backend is a module loaded on first use. Without it the
// backend is the missing driver's, and the reason is said once.
#include "platform/usb/usb_driver.h"

#include <dlfcn.h>

#include <cstdio>

namespace platform::usb {

std::unique_ptr<Backend> MakeSimBackend() {
    // Found through this library's RUNPATH: the build tree's library directory,
    // or kvx512-sim's private directory beside this one. Never unloaded.
    void* module = dlopen(SimBackendModule, RTLD_NOW | RTLD_LOCAL);
    using Factory = Backend* (*)();
    auto factory = module != nullptr ? reinterpret_cast<Factory>(dlsym(module, SimBackendFactory)) : nullptr;
    if (factory == nullptr) {
        const char* reason = dlerror();
        std::fprintf(stderr, "KVX512_USB=sim: the simulated player is not installed (kvx512-sim): %s\n",
                     reason != nullptr ? reason : SimBackendModule);
        return MakeMissingDriverBackend();
    }
    return std::unique_ptr<Backend>(factory());
}

} // namespace platform::usb
