#include "wav_test_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace acmtest {

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t Get32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

}  // namespace

bool WriteWav(const std::string& path, const void* format, size_t formatSize, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out;
    const auto chunk = [&](const char* id, const void* bytes, size_t size) {
        out.insert(out.end(), id, id + 4);
        Put32(out, static_cast<uint32_t>(size));
        const auto* p = static_cast<const uint8_t*>(bytes);
        out.insert(out.end(), p, p + size);
        if (size % 2) out.push_back(0);
    };
    out.insert(out.end(), {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'});
    chunk("fmt ", format, formatSize);
    chunk("data", data.data(), data.size());
    const uint32_t riffSize = static_cast<uint32_t>(out.size() - 8);
    std::memcpy(&out[4], &riffSize, 4);
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return file.good();
}

bool ReadWav(const std::string& path, WavFile& file) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(&bytes[8], "WAVE", 4) != 0)
        return false;
    size_t offset = 12;
    bool haveFormat = false;
    bool haveData = false;
    while (offset + 8 <= bytes.size()) {
        const uint32_t size = Get32(&bytes[offset + 4]);
        const size_t start = offset + 8;
        if (start + size > bytes.size()) return false;
        if (std::memcmp(&bytes[offset], "fmt ", 4) == 0) {
            file.format.assign(bytes.begin() + start, bytes.begin() + start + size);
            haveFormat = true;
        } else if (std::memcmp(&bytes[offset], "data", 4) == 0) {
            file.data.assign(bytes.begin() + start, bytes.begin() + start + size);
            haveData = true;
        }
        offset = start + size + (size & 1);
    }
    return haveFormat && haveData;
}

TempFolder::TempFolder(const std::string& name) {
    m_path = testing::TempDir() + "/orvano-" + name + "-" + std::to_string(getpid());
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

bool Run(const std::string& command) { return std::system((command + " 2>/dev/null").c_str()) == 0; }

bool HaveSox() { return Run("sox --version >/dev/null"); }

}  // namespace acmtest
