// Sample loops of the uncompressed codecs (PCM, IEEE float, extensible):
// decoding to a working form, channel mixing, and quantising back.
// Working forms: float in [-1, 1) for the resampler, and int32 holding the
// sample in its top bits ("left-justified") for exact same-rate changes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvano::acm {

// How a sample loses bits: rounding to nearest (no bits lost), truncation
// (Low Quality) or TPDF dither then rounding (High Quality).
enum class Quantize { Round, Truncate, Dither };

// Triangular dither of +-1 LSB from a small xorshift generator.
class TpdfDither {
public:
    // In units of one LSB, in (-1, 1).
    float NextLsb() {
        const uint32_t r = Next();
        return static_cast<float>(static_cast<int32_t>((r >> 16) + (r & 0xFFFF)) - 65535) * (1.0f / 65536.0f);
    }
    // In units of 2^shift (one LSB of a left-justified sample), shift 8..24.
    int64_t NextScaled(int shift) {
        const uint32_t r = Next();
        return (static_cast<int64_t>((r >> 16) + (r & 0xFFFF)) - 65535) * (int64_t{1} << shift) >> 16;
    }

private:
    uint32_t Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    uint32_t m_state = 0x9E3779B9u;
};

// PCM samples (8 unsigned, 16/24/32 signed little-endian) to the working forms.
void DecodePcmToFloat(const uint8_t* src, uint16_t bits, size_t samples, float* out);
void DecodePcmToInt32(const uint8_t* src, uint16_t bits, size_t samples, int32_t* out);
// The working forms to PCM samples, clamped to the sample range.
void EncodeFloatToPcm(const float* in, size_t samples, uint16_t bits, Quantize mode, TpdfDither& dither,
                      uint8_t* out);
void EncodeInt32ToPcm(const int32_t* in, size_t samples, uint16_t bits, Quantize mode, TpdfDither& dither,
                      uint8_t* out);

// 32-bit IEEE float samples <-> 32-bit PCM. Out-of-range values and
// infinities clamp to full scale, NaN becomes 0.
void FloatSamplesToPcm32(const uint8_t* src, size_t samples, uint8_t* out);
void Pcm32ToFloatSamples(const uint8_t* src, size_t samples, uint8_t* out);
// The same for 64-bit float samples.
void DoubleSamplesToPcm32(const uint8_t* src, size_t samples, uint8_t* out);
void Pcm32ToDoubleSamples(const uint8_t* src, size_t samples, uint8_t* out);

// Channel changes: the same count, mono -> stereo (copied), or any count to
// mono or stereo as a weighted average (front 1, centre and surround 0.7071,
// LFE left out) whose weights per output add up to 1, so nothing clips.
// Channel order is the WAVE default layout for the count.
inline constexpr int kMaxMixChannels = 8;
struct ChannelMatrix {
    uint16_t from = 0;
    uint16_t to = 0;
    float weights[2][kMaxMixChannels] = {};
    int32_t fixedWeights[2][kMaxMixChannels] = {};  // the weights in Q16
};
bool MakeChannelMatrix(uint16_t from, uint16_t to, ChannelMatrix& matrix);
void MixChannels(const ChannelMatrix& matrix, const float* in, size_t frames, float* out);
void MixChannels(const ChannelMatrix& matrix, const int32_t* in, size_t frames, int32_t* out);

}  // namespace orvano::acm
