// A tiny RIFF WAVE writer and reader, for tests that must not depend on the
// file format libraries (and for reading what the peers write).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "support/FileBytes.h"
#include "wavefmt.h"

namespace testsupport {

// "RIFF" size "WAVE", then "fmt " with formatChunk, "fact" when factSamples
// is not 0, and "data".
Bytes WaveFileBytes(const Bytes& formatChunk, const Bytes& data, uint32_t factSamples = 0);
// The same as a file, the format chunk holding the block's significant bytes
// (16 for PCM, as most writers store it; 18 + cbSize otherwise).
bool WriteWaveFile(const std::string& path, const WAVEFORMATEX* format, const Bytes& data, uint32_t factSamples = 0);
// Frames of MusicSignal as 16-bit PCM, the usual source of a conversion.
bool WriteMusicWave(const std::string& path, uint32_t rate, uint16_t channels, size_t frames, uint32_t seed = 1);

struct WaveContents {
    Bytes format;  // the "fmt " chunk, at least 18 bytes (a 16-byte one gets cbSize 0)
    Bytes data;
    uint32_t factSamples = 0;  // 0 when the file has no "fact" chunk
    const WAVEFORMATEX* Format() const { return reinterpret_cast<const WAVEFORMATEX*>(format.data()); }
};
// False unless the file is RIFF WAVE with "fmt " and "data"; a chunk that
// claims more than the file holds is cut to what is there.
bool ReadWaveFile(const std::string& path, WaveContents& contents);

} // namespace testsupport
