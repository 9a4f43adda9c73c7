#include "AboutDialog.h"

#include <dlfcn.h>
#include <string>
#include <string_view>

#include "AboutBoxLibrary.h"

namespace audff {
namespace {

// A widget application needs Qt Widgets mapped already: the program's window
// links it, the command line does not.
bool QtWidgetsLoaded()
{
    void* widgets = dlopen(ORVANO_QT_WIDGETS_SONAME, RTLD_NOW | RTLD_NOLOAD);
    if (widgets == nullptr) {
        dlerror();
        return false;
    }
    dlclose(widgets);
    return true;
}

// The About box library beside this file format library, or empty when this
// library's own path is unknown or relative: a relative path would be read
// against today's working folder, not the one it was loaded from.
std::string AboutBoxLibraryPath()
{
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&ShowAboutDialog), &self) == 0 || self.dli_fname == nullptr ||
        self.dli_fname[0] != '/') {
        return {};
    }
    const std::string_view ownPath(self.dli_fname);
    return std::string(ownPath.substr(0, ownPath.rfind('/') + 1)) + kAboutBoxLibraryFile;
}

} // namespace

bool ShowAboutDialog(void* parentWindow, const char* caption, const char* firstLine, const char* secondLine)
{
    if (!QtWidgetsLoaded()) {
        return false;
    }
    std::string path;
    try {
        path = AboutBoxLibraryPath();
    } catch (...) {
        return false;
    }
    if (path.empty()) {
        return false;
    }
    // Never unmapped once loaded: Qt may keep pointers into the box library's
    // constant data (texts, tables) after the dialog is gone.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (library == nullptr) {
        dlerror();
        return false;
    }
    const auto run = reinterpret_cast<RunAboutBox>(dlsym(library, kAboutBoxEntryPoint));
    const bool shown = run != nullptr && run(parentWindow, caption, firstLine, secondLine) != 0;
    if (run == nullptr) {
        dlerror();
    }
    dlclose(library);
    return shown;
}

} // namespace audff
