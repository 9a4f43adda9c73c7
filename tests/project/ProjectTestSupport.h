// Fixtures of the project tests: a private scratch folder, generated WAVE
// files, the real and the fake file format libraries, formats the codec
// layer enumerates, and a presenter that records what would be shown.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "acm/acm.h"
#include "app/ErrorReport.h"
#include "formats/AudioFormat.h"
#include "libhost/FileFormatLibrary.h"
#include "project/ProjectItem.h"

namespace project_test {

class ScratchFolder {
public:
    ScratchFolder()
    {
        static std::atomic<int> counter{0};
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        m_path = std::filesystem::path(testing::TempDir()) /
                 ("orvano-project-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
                  (info != nullptr ? info->name() : "x"));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string Path() const { return m_path.string(); }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

inline std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void AppendLe16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

inline void AppendLe32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

inline void AppendText(std::vector<uint8_t>& out, const std::string& text)
{
    out.insert(out.end(), text.begin(), text.end());
}

// A RIFF WAVE file: "fmt " with the format's significant bytes (16 for PCM),
// then "data".
inline void WriteWaveFile(const std::string& path, const CAudioFormat& format, const std::vector<uint8_t>& data)
{
    const uint32_t formatSize = format.GetSize();
    std::vector<uint8_t> file;
    AppendText(file, "RIFF");
    AppendLe32(file, 4 + 8 + formatSize + (formatSize & 1) + 8 + static_cast<uint32_t>(data.size()) +
                         static_cast<uint32_t>(data.size() & 1));
    AppendText(file, "WAVE");
    AppendText(file, "fmt ");
    AppendLe32(file, formatSize);
    const auto* block = reinterpret_cast<const uint8_t*>(format.GetFormat());
    file.insert(file.end(), block, block + formatSize);
    if (formatSize & 1) {
        file.push_back(0);
    }
    AppendText(file, "data");
    AppendLe32(file, static_cast<uint32_t>(data.size()));
    file.insert(file.end(), data.begin(), data.end());
    if (data.size() & 1) {
        file.push_back(0);
    }
    WriteBytes(path, file);
}

// Whole blocks of a 440 Hz tone in 16-bit PCM, or bytes of the same tone
// squeezed to 8 bits for other formats (any byte is a valid G.711 sample).
inline std::vector<uint8_t> ToneData(const CAudioFormat& format, uint32_t blocks)
{
    const WAVEFORMATEX& f = *format.GetFormat();
    std::vector<uint8_t> data(static_cast<size_t>(f.nBlockAlign) * blocks);
    for (size_t i = 0; i < data.size(); ++i) {
        const double phase = 2.0 * 3.14159265358979 * 440.0 * static_cast<double>(i / 2) / f.nSamplesPerSec;
        const auto sample = static_cast<int16_t>(8000.0 * std::sin(phase));
        data[i] = static_cast<uint8_t>((i % 2 == 0) ? (sample & 0xFF) : ((sample >> 8) & 0xFF));
    }
    return data;
}

inline WAVEFORMATEX UncompressedBlock(uint16_t tag, uint32_t rate, uint16_t bits, uint16_t channels)
{
    WAVEFORMATEX format{};
    format.wFormatTag = tag;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.nBlockAlign = static_cast<uint16_t>(channels * bits / 8);
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    format.wBitsPerSample = bits;
    return format;
}

inline CAudioFormat Pcm(uint32_t rate, uint16_t bits, uint16_t channels)
{
    const WAVEFORMATEX block = UncompressedBlock(WAVE_FORMAT_PCM, rate, bits, channels);
    return CAudioFormat(&block);
}

inline CAudioFormat ALaw(uint32_t rate, uint16_t channels)
{
    const WAVEFORMATEX block = UncompressedBlock(WAVE_FORMAT_ALAW, rate, 8, channels);
    return CAudioFormat(&block);
}

// A block no codec knows.
inline CAudioFormat UnknownFormat()
{
    WAVEFORMATEX block = UncompressedBlock(0x7777, 44100, 16, 2);
    return CAudioFormat(&block);
}

// The first format the codec layer enumerates for tag with this rate and
// channel count (bitRate 0: any), or an empty record when there is none.
CAudioFormat EnumeratedFormat(uint16_t tag, uint32_t rate, uint16_t channels, uint32_t bytesPerSecond = 0);

// The test's libraries: the real WAVE and MP3 libraries of the output folder
// and the fake ones (extensions FAK and AU), each only when it loads.
struct TestLibraries {
    CLibraryList list;
    const CFileFormatLibrary* wave = nullptr;
    const CFileFormatLibrary* mp3 = nullptr;
    const CFileFormatLibrary* fake = nullptr;
    const CFileFormatLibrary* au = nullptr;
};

// Loads the named libraries in the order given: "wave", "mp3", "fake", "au".
std::unique_ptr<TestLibraries> LoadLibraries(const std::vector<std::string>& names);

class CRecordingPresenter final : public IMessagePresenter {
public:
    CRecordingPresenter() { SetMessagePresenter(this); }
    ~CRecordingPresenter() override { SetMessagePresenter(nullptr); }
    CRecordingPresenter(const CRecordingPresenter&) = delete;
    CRecordingPresenter& operator=(const CRecordingPresenter&) = delete;

    void PresentError(const SErrorReport& report, void*) override { reports.push_back(report); }
    int PresentMessageBox(const std::string& text, const std::string&, uint32_t type, void*) override
    {
        boxes.push_back(text);
        return DefaultMessageBoxResult(type);
    }

    std::vector<uint32_t> Ids() const
    {
        std::vector<uint32_t> ids;
        for (const auto& report : reports) {
            ids.push_back(report.messageId);
        }
        return ids;
    }
    void Clear()
    {
        reports.clear();
        boxes.clear();
    }

    std::vector<SErrorReport> reports;
    std::vector<std::string> boxes;
};

} // namespace project_test
