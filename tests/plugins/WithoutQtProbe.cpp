// A process without Qt, as the command line is: loads the plug-ins named on
// the command line, asks each for its About box and names every object that
// brought Qt or the About box library in. Exit status 0 when there was none
// and every About answered 7.
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <link.h>

#include "audff.h"

namespace {

int NameQtObject(dl_phdr_info* object, size_t /*size*/, void* count)
{
    const char* name = object->dlpi_name;
    if (name != nullptr && (std::strstr(name, "libQt") != nullptr || std::strstr(name, "liborvano-about") != nullptr)) {
        std::printf("loaded: %s\n", name);
        ++*static_cast<int*>(count);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::printf("usage: %s PLUGIN...\n", argv[0]);
        return 2;
    }
    int faults = 0;
    for (int i = 1; i < argc; ++i) {
        void* module = dlopen(argv[i], RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            std::printf("cannot load %s: %s\n", argv[i], dlerror());
            ++faults;
            continue;
        }
        const auto about = reinterpret_cast<AUDFF_PFN_About>(dlsym(module, "AUDFF_About"));
        if (about == nullptr) {
            std::printf("%s has no AUDFF_About\n", argv[i]);
            ++faults;
            continue;
        }
        const int32_t result = about(nullptr, module);
        if (result != 7) {
            std::printf("%s: AUDFF_About gave %d\n", argv[i], static_cast<int>(result));
            ++faults;
        }
    }
    dl_iterate_phdr(NameQtObject, &faults);
    return faults == 0 ? 0 : 1;
}
