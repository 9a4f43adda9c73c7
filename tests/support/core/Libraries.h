// The file format libraries a test loads: the program's own WAVE and MP3
// libraries from the output folder, and test libraries from their folders.
#pragma once

#include <string>

#include "app/OwningList.h"
#include "libhost/FileFormatLibrary.h"

namespace testsupport {

// One of the program's own libraries, where the program finds it.
std::string OutputLibraryPath(const std::string& fileName);

struct LoadedLibraries {
    COwningList<CFileFormatLibrary> list;
    const CFileFormatLibrary* wave = nullptr;
    const CFileFormatLibrary* mp3 = nullptr;

    // AUDFFWAV.so and AUDFFMP3.so, in that order, into wave and mp3.
    void LoadOutputLibraries();
    // Appends the library with English messages. One that does not load is
    // a test failure naming it and the loader's reason.
    const CFileFormatLibrary* Load(const std::string& path);
    // The same for tests that skip without the library: nullptr, no failure.
    const CFileFormatLibrary* LoadIfPresent(const std::string& path);
};

} // namespace testsupport
