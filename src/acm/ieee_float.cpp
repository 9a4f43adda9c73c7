// IEEE float samples (32 bit, and 64 bit when a file has them), converted to
// and from 32-bit PCM: lossless for every float a 32-bit integer can hold,
// out-of-range values and infinities clamped, NaN as silence.
#include <iterator>

#include "acm/acm_support.h"
#include "acm/sample_convert.h"
#include "acm/uncompressed.h"

namespace orvano::acm {

namespace {

constexpr uint32_t kRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000, 96000};
constexpr uint16_t kChannelCounts[] = {1, 2};
constexpr uint32_t kFormatCount = std::size(kRates) * std::size(kChannelCounts);

constexpr AcmFormatTagInfo kFloatTags[] = {{WAVE_FORMAT_IEEE_FLOAT, "IEEE Float", 18, kFormatCount}};

WAVEFORMATEX MakeFloatFormat(uint32_t rate, uint16_t bits, uint16_t channels) {
    WAVEFORMATEX format = MakePcmFormat(rate, bits, channels);
    format.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    return format;
}

bool EnumerateFloat(uint16_t tag, uint32_t index, WAVEFORMATEX* out) {
    if (tag != WAVE_FORMAT_IEEE_FLOAT || index >= kFormatCount) return false;
    *out = MakeFloatFormat(kRates[index / std::size(kChannelCounts)], 32,
                           kChannelCounts[index % std::size(kChannelCounts)]);
    return true;
}

// Extra bytes some writers leave behind are ignored.
MMRESULT DescribeFloat(const WAVEFORMATEX* format, char* name, size_t nameSize) {
    if (format->wFormatTag != WAVE_FORMAT_IEEE_FLOAT || !CommonFieldsValid(*format) ||
        (format->wBitsPerSample != 32 && format->wBitsPerSample != 64) || !UncompressedLayoutValid(*format))
        return ACMERR_NOTPOSSIBLE;
    if (name) WriteFormatName(name, nameSize, format->nSamplesPerSec, format->wBitsPerSample, format->nChannels);
    return MMSYSERR_NOERROR;
}

MMRESULT SuggestPcmForFloat(const WAVEFORMATEX* format, WAVEFORMATEX* pcm) {
    *pcm = MakePcmFormat(format->nSamplesPerSec, 32, format->nChannels);
    return MMSYSERR_NOERROR;
}

MMRESULT SuggestFloatFromPcm(const WAVEFORMATEX* pcm, uint16_t tag, WAVEFORMATEX* out, uint32_t outSize) {
    if (tag != WAVE_FORMAT_IEEE_FLOAT || pcm->wBitsPerSample != 32 || outSize < 18) return ACMERR_NOTPOSSIBLE;
    *out = MakeFloatFormat(pcm->nSamplesPerSec, 32, pcm->nChannels);
    return MMSYSERR_NOERROR;
}

MMRESULT OpenFloatStream(const WAVEFORMATEX* src, const WAVEFORMATEX* dst, uint32_t,
                         std::unique_ptr<AcmStreamConverter>& out) {
    if (src->wFormatTag == WAVE_FORMAT_IEEE_FLOAT)
        return MakeFloatToPcm32Converter(src->nChannels, src->wBitsPerSample, out);
    return MakePcm32ToFloatConverter(dst->nChannels, dst->wBitsPerSample, out);
}

class FrameCopyConverter final : public AcmBlockConverter {
public:
    explicit FrameCopyConverter(uint32_t frameBytes) : AcmBlockConverter(frameBytes, frameBytes) {}

protected:
    MMRESULT ConvertBlocks(const uint8_t* src, uint32_t frames, uint8_t* dst) override {
        std::memcpy(dst, src, size_t{frames} * SourceBlockBytes());
        return MMSYSERR_NOERROR;
    }
    uint32_t ConvertPartialBlock(const uint8_t*, uint32_t, uint8_t*) override { return 0; }
};

class FloatPcmConverter final : public AcmBlockConverter {
public:
    using SampleLoop = void (*)(const uint8_t*, size_t, uint8_t*);
    FloatPcmConverter(uint16_t channels, uint32_t srcSampleBytes, uint32_t dstSampleBytes, SampleLoop loop)
        : AcmBlockConverter(channels * srcSampleBytes, channels * dstSampleBytes), m_channels(channels),
          m_loop(loop) {}

protected:
    MMRESULT ConvertBlocks(const uint8_t* src, uint32_t frames, uint8_t* dst) override {
        m_loop(src, size_t{frames} * m_channels, dst);
        return MMSYSERR_NOERROR;
    }
    uint32_t ConvertPartialBlock(const uint8_t*, uint32_t, uint8_t*) override { return 0; }

private:
    uint16_t m_channels;
    SampleLoop m_loop;
};

template <typename T, typename... Args>
MMRESULT Make(std::unique_ptr<AcmStreamConverter>& out, Args... args) {
    out.reset(new (std::nothrow) T(args...));
    return out ? MMSYSERR_NOERROR : MMSYSERR_NOMEM;
}

}  // namespace

MMRESULT MakeFrameCopyConverter(uint32_t frameBytes, std::unique_ptr<AcmStreamConverter>& out) {
    return Make<FrameCopyConverter>(out, frameBytes);
}

MMRESULT MakeFloatToPcm32Converter(uint16_t channels, uint16_t floatBits, std::unique_ptr<AcmStreamConverter>& out) {
    if (floatBits == 64) return Make<FloatPcmConverter>(out, channels, 8u, 4u, &DoubleSamplesToPcm32);
    return Make<FloatPcmConverter>(out, channels, 4u, 4u, &FloatSamplesToPcm32);
}

MMRESULT MakePcm32ToFloatConverter(uint16_t channels, uint16_t floatBits, std::unique_ptr<AcmStreamConverter>& out) {
    if (floatBits == 64) return Make<FloatPcmConverter>(out, channels, 4u, 8u, &Pcm32ToDoubleSamples);
    return Make<FloatPcmConverter>(out, channels, 4u, 4u, &Pcm32ToFloatSamples);
}

const AcmDriver kIeeeFloatDriver = {
    "ieee-float", kFloatTags, std::size(kFloatTags), ACMDRIVERDETAILS_SUPPORTF_CODEC,
    EnumerateFloat, DescribeFloat, SuggestPcmForFloat, SuggestFloatFromPcm, OpenFloatStream,
};

}  // namespace orvano::acm
