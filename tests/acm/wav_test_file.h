// A tiny RIFF WAVE reader and writer for the tests that talk to sox.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace acmtest {

struct WavFile {
    std::vector<uint8_t> format;  // the "fmt " chunk as stored
    std::vector<uint8_t> data;
};

bool WriteWav(const std::string& path, const void* format, size_t formatSize, const std::vector<uint8_t>& data);
bool ReadWav(const std::string& path, WavFile& file);

// A folder of its own under the test temporary folder, removed on destruction.
class TempFolder {
public:
    explicit TempFolder(const std::string& name);
    ~TempFolder();
    std::string Path(const std::string& file) const { return m_path + "/" + file; }

private:
    std::string m_path;
};

// Runs a shell command; true when it exits with 0.
bool Run(const std::string& command);
bool HaveSox();

}  // namespace acmtest
