// Helpers of the codec tests: a music-like test signal, streams driven the
// way the conversion run drives them, error measures, tiny WAVE file access
// and a private temporary folder for talking to command-line peers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "acm/acm.h"

namespace codectest {

// Format blocks as bytes (18 + cbSize of them).
using FormatBlock = std::vector<uint8_t>;
inline const WAVEFORMATEX* AsFormat(const FormatBlock& block) {
    return reinterpret_cast<const WAVEFORMATEX*>(block.data());
}
inline WAVEFORMATEX* AsFormat(FormatBlock& block) { return reinterpret_cast<WAVEFORMATEX*>(block.data()); }

WAVEFORMATEX Pcm16(uint32_t rate, uint16_t channels);
// Every standard format of `tag`, in enumeration order.
std::vector<FormatBlock> EnumeratedFormats(uint16_t tag);
std::string FormatName(const FormatBlock& format);

// A few tones under a slow envelope plus a little noise, each channel its
// own mix; peaks near half scale.
std::vector<int16_t> MusicSignal(uint32_t rate, uint16_t channels, size_t frames, uint32_t seed = 1);
// A steady sine of `amplitude` (0..1) on every channel.
std::vector<int16_t> Tone(double frequency, double amplitude, uint32_t rate, uint16_t channels, size_t frames);

std::vector<uint8_t> ToBytes(const std::vector<int16_t>& samples);
std::vector<int16_t> ToSamples(const std::vector<uint8_t>& bytes);

struct RunOptions {
    uint32_t flags = 0;           // acmStreamOpen flags
    uint32_t piece = 1u << 16;    // source bytes offered per convert
    uint32_t room = 1u << 18;     // destination room per convert
    bool endFlush = true;         // finish with END converts
};

struct RunResult {
    MMRESULT openResult = MMSYSERR_NOERROR;
    MMRESULT convertResult = MMSYSERR_NOERROR;  // the first failing convert
    std::vector<uint8_t> output;
};

// Drives one stream like the conversion run: each piece is prepared (zero
// padded when prepare refuses its length, as the run does with the last
// piece), converted with block alignment and, when that consumed nothing,
// again without flags; the source is advanced by what was consumed and every
// convert's output kept. Finally END converts with no source until one
// leaves room unused.
RunResult RunStream(const void* src, const void* dst, const std::vector<uint8_t>& input,
                    const RunOptions& options = {});

// RMS of (test - reference) over RMS of reference, on the first
// min(sizes) samples after skipping `skip` samples.
double RelativeError(const std::vector<int16_t>& reference, const std::vector<int16_t>& test, size_t skip = 0);
int MaxAbsDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b);
double Rms(const int16_t* samples, size_t count);

struct WavFile {
    FormatBlock format;  // the "fmt " chunk
    std::vector<uint8_t> data;
    uint32_t factSamples = 0;  // 0 when the file has no "fact" chunk
};
// Writes "fmt " (the block), "fact" (when factSamples is not 0) and "data".
bool WriteWav(const std::string& path, const FormatBlock& format, const std::vector<uint8_t>& data,
              uint32_t factSamples = 0);
bool ReadWav(const std::string& path, WavFile& file);
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes);

class TempFolder {
public:
    explicit TempFolder(const std::string& name);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string Path(const std::string& file) const { return m_path + "/" + file; }

private:
    std::string m_path;
};

// Runs a shell command with its output discarded; true on exit code 0.
bool RunCommand(const std::string& command);
bool HaveTool(const char* name);
std::string Quoted(const std::string& path);

}  // namespace codectest
