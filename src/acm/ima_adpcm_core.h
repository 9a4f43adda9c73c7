// IMA ADPCM as WAVE files carry it: one block per channel group starts with a
// 4-byte header per channel (first sample, step index, a zero byte), then
// 4-byte words of eight 4-bit codes per channel, channels interleaved word by
// word, low nibble first.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvano::acm::ima {

inline constexpr int kMaxStepIndex = 88;
inline constexpr uint32_t kHeaderBytesPerChannel = 4;
inline constexpr uint32_t kWordBytes = 4;
inline constexpr uint32_t kSamplesPerWord = 8;

// Samples per channel in a block of `blockAlign` bytes (valid layout assumed).
constexpr uint32_t SamplesPerBlock(uint32_t blockAlign, uint32_t channels) {
    return (blockAlign - kHeaderBytesPerChannel * channels) * 8 / (4 * channels) + 1;
}
// The block is at least one header per channel and whole words per channel.
constexpr bool BlockAlignValid(uint32_t blockAlign, uint32_t channels) {
    return channels != 0 && blockAlign >= kHeaderBytesPerChannel * channels &&
           blockAlign % (kWordBytes * channels) == 0;
}

enum class DecodeResult { kOk, kBadStepIndex };

// Decodes the samples present in `length` bytes of one block (a whole block,
// or the start of a cut-off one: the header and every complete word group).
// Writes interleaved samples to `out` (room for SamplesPerBlock x channels)
// and the samples per channel to `samplesDecoded`.
DecodeResult DecodeBlock(const uint8_t* block, uint32_t length, uint32_t blockAlign, uint32_t channels, int16_t* out,
                         uint32_t& samplesDecoded);

// Encodes SamplesPerBlock(blockAlign) interleaved frames into one block of
// blockAlign bytes. High quality looks ahead before choosing each code.
void EncodeBlock(const int16_t* in, uint32_t blockAlign, uint32_t channels, bool highQuality, uint8_t* block);

}  // namespace orvano::acm::ima
