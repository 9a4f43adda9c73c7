// Generated test audio: steady tones, a music-like mix and noise, as 16-bit
// samples or their little-endian bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/FileBytes.h"

namespace testsupport {

// A steady sine of `amplitude` (0..1 of full scale) on every channel.
std::vector<int16_t> Tone(double frequency, double amplitude, uint32_t rate, uint16_t channels, size_t frames);
Bytes ToneBytes(double frequency, double amplitude, uint32_t rate, uint16_t channels, size_t frames);

// A few tones under a slow envelope plus a little noise, each channel its
// own mix; peaks near half scale. The same seed gives the same signal.
std::vector<int16_t> MusicSignal(uint32_t rate, uint16_t channels, size_t frames, uint32_t seed = 1);

// Bytes of no pattern, the same for the same seed.
Bytes Noise(size_t length, uint32_t seed);

Bytes ToBytes(const std::vector<int16_t>& samples);
// Whole samples only: an odd last byte is dropped.
std::vector<int16_t> ToSamples(const Bytes& bytes);

} // namespace testsupport
