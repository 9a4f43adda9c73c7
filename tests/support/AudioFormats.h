// Format blocks for tests: uncompressed layouts built field by field, the
// same as bytes, and the codec layer's view of them (its format record and
// the standard formats it enumerates).
#pragma once

#include <cstdint>
#include <vector>

#include "formats/AudioFormat.h"
#include "support/FileBytes.h"
#include "wavefmt.h"

namespace testsupport {

// Channels x whole bytes per sample to a block, cbSize 0. The tag may be any
// uncompressed one (A-law, float, extensible head...).
WAVEFORMATEX PcmFormat(uint32_t rate, uint16_t bits, uint16_t channels, uint16_t tag = WAVE_FORMAT_PCM);
WAVEFORMATEX FloatFormat(uint32_t rate, uint16_t channels);
// WAVE_FORMAT_ALAW or WAVE_FORMAT_MULAW, 8 bits.
WAVEFORMATEX G711Format(uint16_t tag, uint32_t rate, uint16_t channels);

// The 16 head bytes of a format block (without cbSize), any values.
Bytes FormatHead(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t byteRate, uint16_t blockAlign,
                 uint16_t bits);
Bytes FormatHead(const WAVEFORMATEX& format);
// A whole block: head, cbSize as given and the extra bytes.
Bytes WithExtra(Bytes head, uint16_t cbSize, const Bytes& extra);
// The bytes that mean something: 16 for PCM, 18 + cbSize otherwise.
uint32_t SignificantSize(const WAVEFORMATEX& format);

// A format block as bytes (18 + cbSize of them), and a view of it.
using FormatBlock = std::vector<uint8_t>;
inline const WAVEFORMATEX* AsFormat(const FormatBlock& block)
{
    return reinterpret_cast<const WAVEFORMATEX*>(block.data());
}
inline WAVEFORMATEX* AsFormat(FormatBlock& block)
{
    return reinterpret_cast<WAVEFORMATEX*>(block.data());
}

// The first extra word of a block (samples per block of IMA ADPCM, MS ADPCM
// and GSM 6.10), or 0 when the block has none.
uint16_t SamplesPerBlock(const FormatBlock& block);

// Only these pull the codec layer into a test program.
CAudioFormat AudioFormatOf(const WAVEFORMATEX& block);
CAudioFormat PcmAudioFormat(uint32_t rate, uint16_t bits, uint16_t channels);
uint16_t SamplesPerBlock(const CAudioFormat& format);
// Every standard format of `tag`, in enumeration order (a failed
// enumeration is a test failure).
std::vector<FormatBlock> EnumeratedFormats(uint16_t tag);
// The first of them with this rate and channel count (and byte rate, unless
// 0), or an empty record when there is none.
CAudioFormat EnumeratedAudioFormat(uint16_t tag, uint32_t rate, uint16_t channels, uint32_t bytesPerSecond = 0);

} // namespace testsupport
