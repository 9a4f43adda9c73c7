#include "support/core/Libraries.h"

#include <gtest/gtest.h>

#include <memory>

namespace testsupport {

namespace {

const CFileFormatLibrary* Append(COwningList<CFileFormatLibrary>& list, const std::string& path, std::string& reason)
{
    auto library = std::make_unique<CFileFormatLibrary>();
    if (!library->Load(path, "English")) {
        reason = library->LastLoadError();
        return nullptr;
    }
    return list.Append(std::move(library));
}

} // namespace

std::string OutputLibraryPath(const std::string& fileName)
{
    return std::string(ORVANO_BIN_DIR) + "/" + fileName;
}

void LoadedLibraries::LoadOutputLibraries()
{
    wave = Load(OutputLibraryPath("AUDFFWAV.so"));
    mp3 = Load(OutputLibraryPath("AUDFFMP3.so"));
}

const CFileFormatLibrary* LoadedLibraries::Load(const std::string& path)
{
    std::string reason;
    const CFileFormatLibrary* library = Append(list, path, reason);
    if (library == nullptr) {
        ADD_FAILURE() << "cannot load " << path << ": " << reason;
    }
    return library;
}

const CFileFormatLibrary* LoadedLibraries::LoadIfPresent(const std::string& path)
{
    std::string ignored;
    return Append(list, path, ignored);
}

} // namespace testsupport
