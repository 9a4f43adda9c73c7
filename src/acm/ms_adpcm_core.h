// Microsoft ADPCM as WAVE files carry it: a block header per channel group
// (predictor indexes, initial deltas, second and first sample, each field for
// every channel in turn), then 4-bit codes of the interleaved samples, high
// nibble first. The predictor coefficient pairs come from the format block.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvano::acm::msadpcm {

inline constexpr uint32_t kHeaderBytesPerChannel = 7;
inline constexpr uint32_t kMaxChannels = 2;
inline constexpr uint32_t kStandardCoefficientCount = 7;
inline constexpr uint32_t kMaxCoefficientCount = 256;

struct CoefficientPair {
    int16_t first;
    int16_t second;
};

inline constexpr CoefficientPair kStandardCoefficients[kStandardCoefficientCount] = {
    {256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};

constexpr uint32_t SamplesPerBlock(uint32_t blockAlign, uint32_t channels) {
    return (blockAlign - kHeaderBytesPerChannel * channels) * 8 / (4 * channels) + 2;
}
constexpr bool BlockAlignValid(uint32_t blockAlign, uint32_t channels) {
    return channels >= 1 && channels <= kMaxChannels && blockAlign >= kHeaderBytesPerChannel * channels &&
           (blockAlign - kHeaderBytesPerChannel * channels) * 2 % channels == 0;
}

struct Coefficients {
    const CoefficientPair* pairs;
    uint32_t count;
};

enum class DecodeResult { kOk, kBadPredictor };

// Decodes the samples present in `length` bytes of one block (whole, or the
// start of a cut-off block: header and every complete frame of codes) into
// interleaved samples; `samplesDecoded` is per channel.
DecodeResult DecodeBlock(const uint8_t* block, uint32_t length, uint32_t blockAlign, uint32_t channels,
                         const Coefficients& coefficients, int16_t* out, uint32_t& samplesDecoded);

// Encodes SamplesPerBlock(blockAlign) interleaved frames into one block.
// High quality codes the block with every predictor and keeps the best; low
// quality picks the predictor from the residual of the uncoded signal.
void EncodeBlock(const int16_t* in, uint32_t blockAlign, uint32_t channels, const Coefficients& coefficients,
                 bool highQuality, uint8_t* block);

}  // namespace orvano::acm::msadpcm
