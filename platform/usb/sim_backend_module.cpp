// KVX512_USB=sim: the simulated player comes with kvx512-sim, not with the
// libraries, so its backend is a module loaded on first use. Without it the
// backend is the missing driver's, and the reason is said once.
#include "platform/usb/usb_driver.h"

#include <dlfcn.h>

#include <cstdio>
#include <string>

namespace platform::usb {

namespace {

// Where this library was loaded from. The module is looked for by path, not
// through this library's RUNPATH: a sanitizer's dlopen interceptor calls
// dlopen from its own runtime, whose RUNPATH knows nothing of ours.
std::string OwnFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&MakeSimBackend), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    const std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

} // namespace

std::unique_ptr<Backend> MakeSimBackend() {
    // The build tree keeps the module beside this library; installed, it is
    // in kvx512-sim's private folder beside this library's; else the loader's
    // own search. Never unloaded.
    const std::string folder = OwnFolder();
    void* module = nullptr;
    if (!folder.empty()) {
        for (const std::string& candidate : {folder + "/" + SimBackendModule,
                                             folder + "/../kvx512-sim/" + SimBackendModule}) {
            if ((module = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) != nullptr) {
                break;
            }
        }
    }
    if (module == nullptr) {
        module = dlopen(SimBackendModule, RTLD_NOW | RTLD_LOCAL);
    }
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
