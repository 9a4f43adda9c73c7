// A folder of the running test's own under the test temporary folder: a
// unique name per object (parallel test programs and several folders in one
// test never meet), removed with everything in it when the object goes.
#pragma once

#include <filesystem>
#include <string>

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

} // namespace testsupport
