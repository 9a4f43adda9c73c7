// A folder of the running test's own under the test temporary folder: a
// unique name per object (parallel test programs and several folders in one
// test never meet), removed with everything in it when the object goes.
#pragma once

#include <filesystem>
#include <string>

#include "support/Environment.h"

namespace testsupport {

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder itself, without a trailing separator.
    std::string Path() const { return m_root.string(); }
    // A file or folder inside it.
    std::string File(const std::string& name) const { return (m_root / name).string(); }

private:
    std::filesystem::path m_root;
};

// A scratch folder that is also the user's home while it exists: settings
// under "config" (XDG_CONFIG_HOME), data under "data" (XDG_DATA_HOME), HOME
// at "home", so that nothing a test stores reaches the real ones or another
// test's. The folders are not made: what needs them makes them.
class UserScratchFolder : public ScratchFolder {
public:
    UserScratchFolder();

    std::string ConfigFolder() const { return File("config"); }
    std::string DataFolder() const { return File("data"); }
    std::string HomeFolder() const { return File("home"); }

private:
    ScopedEnvironment m_environment;
};

} // namespace testsupport
