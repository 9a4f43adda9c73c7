// Running orvano-cli as a user would: a private copy of the program and its
// libraries (so its statistics file lies in the test's folder), its own
// settings folder, its output captured.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace cli_test {

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string Path() const { return m_path.string(); }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
    std::string m_oldConfig;
    std::string m_oldData;
    bool m_hadConfig = false;
    bool m_hadData = false;
};

struct SCliResult {
    int status = -1;
    std::string out;
    std::string err;
};

class CInstalledCli {
public:
    // Links (or copies) orvano-cli and the libraries into folder/install.
    explicit CInstalledCli(const ScratchFolder& folder);

    // Runs with arguments in workingFolder (the scratch folder by default).
    SCliResult Run(const std::vector<std::string>& arguments, const std::string& workingFolder = {}) const;

    std::string InstallFolder() const { return m_install; }

private:
    const ScratchFolder& m_folder;
    std::string m_install;
};

// A WAVE file of seconds of music, 16-bit PCM.
void WriteMusicWave(const std::string& path, uint32_t rate, uint16_t channels, double seconds);
std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteText(const std::string& path, const std::string& text);

struct SWaveHeader {
    uint16_t tag = 0;
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint16_t blockAlign = 0;
    uint16_t bits = 0;
    uint16_t samplesPerBlock = 0;
    uint32_t dataBytes = 0;
};
bool ReadWaveHeader(const std::string& path, SWaveHeader& header);

// Runs a shell command; its exit status and standard output.
int Shell(const std::string& command, std::string* out = nullptr);
bool HaveTool(const std::string& name);

} // namespace cli_test
