// The format head as stores keep it: the 16 bytes from wFormatTag through
// wBitsPerSample, little-endian and unaligned (saved formats, statistics
// records), with the byte helpers behind it.
#pragma once

#include <cstdint>

#include "wavefmt.h"

namespace formathead {

inline constexpr unsigned kSize = 16;

inline void StoreLe16(uint8_t* out, uint16_t value)
{
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

inline void StoreLe32(uint8_t* out, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

inline uint16_t LoadLe16(const uint8_t* in)
{
    return static_cast<uint16_t>(in[0] | in[1] << 8);
}

inline uint32_t LoadLe32(const uint8_t* in)
{
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 | static_cast<uint32_t>(in[2]) << 16 |
           static_cast<uint32_t>(in[3]) << 24;
}

inline void Store(uint8_t* out, const WAVEFORMATEX& format)
{
    StoreLe16(out + 0, format.wFormatTag);
    StoreLe16(out + 2, format.nChannels);
    StoreLe32(out + 4, format.nSamplesPerSec);
    StoreLe32(out + 8, format.nAvgBytesPerSec);
    StoreLe16(out + 12, format.nBlockAlign);
    StoreLe16(out + 14, format.wBitsPerSample);
}

// A bare head: cbSize 0.
inline WAVEFORMATEX Load(const uint8_t* in)
{
    WAVEFORMATEX format{};
    format.wFormatTag = LoadLe16(in + 0);
    format.nChannels = LoadLe16(in + 2);
    format.nSamplesPerSec = LoadLe32(in + 4);
    format.nAvgBytesPerSec = LoadLe32(in + 8);
    format.nBlockAlign = LoadLe16(in + 12);
    format.wBitsPerSample = LoadLe16(in + 14);
    return format;
}

} // namespace formathead
