// Loading libraries for tests: a library that does not load must not pass
// unnoticed, or every test that uses it would check nothing.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "support/core/Libraries.h"

using namespace testsupport;

namespace {

TEST(LoadedLibraries, OutputLibrariesLoadInTheirPlaces)
{
    LoadedLibraries libraries;
    libraries.LoadOutputLibraries();
    ASSERT_NE(libraries.wave, nullptr);
    ASSERT_NE(libraries.mp3, nullptr);
    EXPECT_EQ(libraries.wave->GetExtension(), "WAV");
    EXPECT_EQ(libraries.mp3->GetExtension(), "MP3");
    EXPECT_EQ(libraries.list.size(), 2u);
}

TEST(LoadedLibraries, OneThatDoesNotLoadIsAFailureUnlessItMayBeMissing)
{
    LoadedLibraries libraries;
    const std::string missing = OutputLibraryPath("AUDFFNONE.so");
    const CFileFormatLibrary unloaded;
    const CFileFormatLibrary* loaded = &unloaded;
    EXPECT_NONFATAL_FAILURE(loaded = libraries.Load(missing), "cannot load " + missing);
    EXPECT_EQ(loaded, nullptr);
    EXPECT_EQ(libraries.LoadIfPresent(missing), nullptr);
    EXPECT_EQ(libraries.list.size(), 0u);
}

} // namespace
