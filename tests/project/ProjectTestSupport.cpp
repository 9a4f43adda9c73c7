#include "ProjectTestSupport.h"

namespace project_test {

namespace {

std::string LibraryPath(const std::string& name)
{
    if (name == "wave") {
        return testsupport::OutputLibraryPath("AUDFFWAV.so");
    }
    if (name == "mp3") {
        return testsupport::OutputLibraryPath("AUDFFMP3.so");
    }
    return std::string(ORVANO_FAKE_LIBRARY_DIR) + (name == "au" ? "/fake_library_au.so" : "/fake_library.so");
}

} // namespace

std::unique_ptr<TestLibraries> LoadLibraries(const std::vector<std::string>& names)
{
    auto libraries = std::make_unique<TestLibraries>();
    for (const std::string& name : names) {
        const CFileFormatLibrary* loaded = libraries->LoadIfPresent(LibraryPath(name));
        if (loaded == nullptr) {
            continue;
        }
        if (name == "wave") {
            libraries->wave = loaded;
        } else if (name == "mp3") {
            libraries->mp3 = loaded;
        } else if (name == "au") {
            libraries->au = loaded;
        } else {
            libraries->fake = loaded;
        }
    }
    return libraries;
}

} // namespace project_test
