// Running orvano-cli as a user would: a private copy of the program and its
// libraries (so its statistics file lies in the test's folder), run in the
// test's folder with its output captured. And the libraries loaded as the
// command line loads them, for tests of its pieces. Folders and libraries
// come from the shared support (support/).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ScratchFolder.h"
#include "support/core/Libraries.h"

namespace cli_test {

// A test with the WAVE and MP3 libraries of the output folder loaded.
class OutputLibrariesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_libraries.LoadOutputLibraries();
        ASSERT_NE(m_libraries.wave, nullptr);
        ASSERT_NE(m_libraries.mp3, nullptr);
    }

    testsupport::LoadedLibraries m_libraries;
};

struct SCliResult {
    int status = -1;
    std::string out;
    std::string err;
};

class CInstalledCli {
public:
    // Links (or copies) orvano-cli and the libraries into folder/install.
    explicit CInstalledCli(const testsupport::ScratchFolder& folder);

    // Runs with arguments in workingFolder (the scratch folder by default).
    SCliResult Run(const std::vector<std::string>& arguments, const std::string& workingFolder = {}) const;

    std::string InstallFolder() const { return m_install; }

private:
    const testsupport::ScratchFolder& m_folder;
    std::string m_install;
};

} // namespace cli_test
