// Fixtures of the project tests: tone data for any format, the real and the
// fake file format libraries, and a presenter that records what would be
// shown. Scratch folders, files, format blocks, enumerated formats and the
// loading of libraries come from the shared support (support/).
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "acm/acm.h"
#include "app/ErrorReport.h"
#include "formats/AudioFormat.h"
#include "libhost/FileFormatLibrary.h"
#include "project/ProjectItem.h"
#include "support/AudioFormats.h"
#include "support/FileBytes.h"
#include "support/ScratchFolder.h"
#include "support/WaveFile.h"
#include "support/core/Libraries.h"

namespace project_test {

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

inline CAudioFormat ALaw(uint32_t rate, uint16_t channels)
{
    return testsupport::AudioFormatOf(testsupport::G711Format(WAVE_FORMAT_ALAW, rate, channels));
}

// A block no codec knows.
inline CAudioFormat UnknownFormat()
{
    return testsupport::AudioFormatOf(testsupport::PcmFormat(44100, 16, 2, 0x7777));
}

// The test's libraries: the real WAVE and MP3 libraries of the output folder
// and the fake ones (extensions FAK and AU), each only when it loads.
struct TestLibraries : testsupport::LoadedLibraries {
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
