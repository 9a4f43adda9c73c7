#include "support/WaveFile.h"

#include <algorithm>
#include <cstring>

#include "support/AudioFormats.h"
#include "support/Signals.h"

namespace testsupport {

Bytes WaveFileBytes(const Bytes& formatChunk, const Bytes& data, uint32_t factSamples)
{
    Bytes body;
    AppendText(body, "WAVE");
    AppendChunk(body, "fmt ", formatChunk);
    if (factSamples != 0) {
        Bytes fact;
        AppendLe32(fact, factSamples);
        AppendChunk(body, "fact", fact);
    }
    AppendChunk(body, "data", data);
    Bytes file;
    AppendChunk(file, "RIFF", body);
    return file;
}

bool WriteWaveFile(const std::string& path, const WAVEFORMATEX* format, const Bytes& data, uint32_t factSamples)
{
    const auto* block = reinterpret_cast<const uint8_t*>(format);
    return WriteBytes(path, WaveFileBytes(Bytes(block, block + SignificantSize(*format)), data, factSamples));
}

bool WriteMusicWave(const std::string& path, uint32_t rate, uint16_t channels, size_t frames, uint32_t seed)
{
    const WAVEFORMATEX format = PcmFormat(rate, 16, channels);
    return WriteWaveFile(path, &format, ToBytes(MusicSignal(rate, channels, frames, seed)));
}

bool ReadWaveFile(const std::string& path, WaveContents& contents)
{
    Bytes bytes;
    if (!ReadBytes(path, bytes) || bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        return false;
    }
    contents = WaveContents{};
    bool haveFormat = false;
    bool haveData = false;
    size_t position = 12;
    while (position + 8 <= bytes.size()) {
        const uint8_t* chunk = bytes.data() + position;
        const size_t size = std::min<size_t>(LoadLe32(chunk + 4), bytes.size() - position - 8);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            contents.format.assign(chunk + 8, chunk + 8 + size);
            if (contents.format.size() < 18) {
                contents.format.resize(18, 0);
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "fact", 4) == 0 && size >= 4) {
            contents.factSamples = LoadLe32(chunk + 8);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            contents.data.assign(chunk + 8, chunk + 8 + size);
            haveData = true;
        }
        position += 8 + size + (size % 2);
    }
    return haveFormat && haveData;
}

} // namespace testsupport
