// The PCM codec: 8-bit unsigned and 16/24/32-bit signed samples, 1 to 8
// channels, 1 Hz to 384 kHz. One stream changes rate (libsoxr), bits and
// channels at once. Same-rate streams work exactly in int32; resampling
// streams work in float.
#include <soxr.h>

#include <algorithm>
#include <iterator>

#include "acm/acm_support.h"
#include "acm/sample_convert.h"

namespace orvano::acm {

namespace {

constexpr uint32_t kRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000, 96000};
constexpr uint16_t kBits[] = {8, 16, 24};
constexpr uint16_t kChannelCounts[] = {1, 2};
constexpr uint32_t kFormatCount = std::size(kRates) * std::size(kBits) * std::size(kChannelCounts);

constexpr AcmFormatTagInfo kPcmTags[] = {{WAVE_FORMAT_PCM, "PCM", WAVEFORMATEX_HEAD_SIZE, kFormatCount}};

// Frames per pass through the working buffers.
constexpr size_t kChunkFrames = 4096;

bool EnumeratePcm(uint16_t tag, uint32_t index, WAVEFORMATEX* out) {
    if (tag != WAVE_FORMAT_PCM || index >= kFormatCount) return false;
    const uint32_t perRate = std::size(kBits) * std::size(kChannelCounts);
    *out = MakePcmFormat(kRates[index / perRate], kBits[index % perRate / std::size(kChannelCounts)],
                         kChannelCounts[index % std::size(kChannelCounts)]);
    return true;
}

bool PcmBitsSupported(uint16_t bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

MMRESULT DescribePcm(const WAVEFORMATEX* format, char* name, size_t nameSize) {
    if (format->wFormatTag != WAVE_FORMAT_PCM || !CommonFieldsValid(*format) ||
        !PcmBitsSupported(format->wBitsPerSample) || !UncompressedLayoutValid(*format))
        return ACMERR_NOTPOSSIBLE;
    if (name) WriteFormatName(name, nameSize, format->nSamplesPerSec, format->wBitsPerSample, format->nChannels);
    return MMSYSERR_NOERROR;
}

MMRESULT SuggestPcmForPcm(const WAVEFORMATEX* format, WAVEFORMATEX* pcm) {
    *pcm = MakePcmFormat(format->nSamplesPerSec, format->wBitsPerSample, format->nChannels);
    return MMSYSERR_NOERROR;
}

struct PcmLayout {
    uint16_t bits;
    uint16_t channels;
    uint32_t frameBytes;
};

PcmLayout LayoutOf(const WAVEFORMATEX& format) {
    return {format.wBitsPerSample, format.nChannels, format.nBlockAlign};
}

Quantize QuantizeFor(const PcmLayout& src, const PcmLayout& dst, bool highQuality) {
    if (dst.bits >= src.bits) return Quantize::Round;
    return highQuality ? Quantize::Dither : Quantize::Truncate;
}

// Same rate: each source frame maps to one destination frame.
class PcmFrameConverter final : public AcmBlockConverter {
public:
    PcmFrameConverter(const PcmLayout& src, const PcmLayout& dst, Quantize quantize)
        : AcmBlockConverter(src.frameBytes, dst.frameBytes), m_src(src), m_dst(dst), m_quantize(quantize) {}

    bool Open() {
        if (m_src.channels != m_dst.channels && !MakeChannelMatrix(m_src.channels, m_dst.channels, m_matrix))
            return false;
        return m_decoded.Allocate(kChunkFrames * m_src.channels) && m_mixed.Allocate(kChunkFrames * m_dst.channels);
    }

protected:
    MMRESULT ConvertBlocks(const uint8_t* src, uint32_t frames, uint8_t* dst) override {
        if (m_src.bits == m_dst.bits && m_src.channels == m_dst.channels) {
            std::memcpy(dst, src, size_t{frames} * m_src.frameBytes);
            return MMSYSERR_NOERROR;
        }
        while (frames != 0) {
            const uint32_t n = static_cast<uint32_t>(std::min<size_t>(frames, kChunkFrames));
            DecodePcmToInt32(src, m_src.bits, size_t{n} * m_src.channels, m_decoded.data());
            const int32_t* samples = m_decoded.data();
            if (m_src.channels != m_dst.channels) {
                MixChannels(m_matrix, m_decoded.data(), n, m_mixed.data());
                samples = m_mixed.data();
            }
            EncodeInt32ToPcm(samples, size_t{n} * m_dst.channels, m_dst.bits, m_quantize, m_dither, dst);
            src += size_t{n} * m_src.frameBytes;
            dst += size_t{n} * m_dst.frameBytes;
            frames -= n;
        }
        return MMSYSERR_NOERROR;
    }
    // An incomplete frame holds no whole sample set: it is consumed and dropped.
    uint32_t ConvertPartialBlock(const uint8_t*, uint32_t, uint8_t*) override { return 0; }

private:
    PcmLayout m_src;
    PcmLayout m_dst;
    Quantize m_quantize;
    ChannelMatrix m_matrix;
    TpdfDither m_dither;
    AcmFixedBuffer<int32_t> m_decoded;
    AcmFixedBuffer<int32_t> m_mixed;
};

// Rate change through libsoxr, streaming. Channels are mixed before the
// resampler (fewer channels to filter) and quantised after it. soxr keeps
// what it could not deliver and takes no more input than the room needs, so
// nothing is lost or duplicated between calls.
class PcmResampleConverter final : public AcmStreamConverter {
public:
    PcmResampleConverter(const PcmLayout& src, uint32_t srcRate, const PcmLayout& dst, uint32_t dstRate,
                         bool highQuality)
        : m_src(src), m_dst(dst), m_srcRate(srcRate), m_dstRate(dstRate), m_highQuality(highQuality),
          m_quantize(QuantizeFor(src, dst, highQuality)) {}

    ~PcmResampleConverter() override { soxr_delete(m_soxr); }

    bool Open() {
        if (m_src.channels != m_dst.channels && !MakeChannelMatrix(m_src.channels, m_dst.channels, m_matrix))
            return false;
        return CreateResampler() && m_decoded.Allocate(kChunkFrames * m_src.channels) &&
               m_mixed.Allocate(kChunkFrames * m_dst.channels) && m_resampled.Allocate(kChunkFrames * m_dst.channels);
    }

    uint32_t SourceBlockBytes() const override { return m_src.frameBytes; }
    uint32_t DestinationBlockBytes() const override {
        return static_cast<uint32_t>((uint64_t{m_dstRate} + m_srcRate - 1) / m_srcRate) * m_dst.frameBytes;
    }

    MMRESULT Convert(const uint8_t* src, uint32_t srcLength, uint32_t& srcUsed, uint8_t* dst, uint32_t dstRoom,
                     uint32_t& dstUsed, uint32_t flags) override {
        srcUsed = 0;
        dstUsed = 0;
        const bool end = (flags & ACM_STREAMCONVERTF_END) != 0;
        if (flags & ACM_STREAMCONVERTF_START || (m_drained && srcLength != 0)) {
            if (!Restart()) return MMSYSERR_NOMEM;
        }
        // While a tail is still being delivered, no new input is taken.
        const bool acceptsInput = !m_draining;
        const uint32_t framesIn = acceptsInput ? srcLength / m_src.frameBytes : 0;
        uint32_t framesDone = 0;
        uint32_t roomFrames = dstRoom / m_dst.frameBytes;

        while (roomFrames != 0) {
            const size_t n = std::min<size_t>(framesIn - framesDone, kChunkFrames);
            const size_t wanted = std::min<size_t>(roomFrames, kChunkFrames);
            size_t taken = 0;
            size_t produced = 0;
            soxr_error_t error = nullptr;
            if (n != 0) {
                const float* mixed = Mix(src + size_t{framesDone} * m_src.frameBytes, n);
                error = soxr_process(m_soxr, mixed, n, &taken, m_resampled.data(), wanted, &produced);
            } else if (end || m_draining) {
                m_draining = true;
                error = soxr_process(m_soxr, nullptr, 0, nullptr, m_resampled.data(), wanted, &produced);
            } else {
                // Input is through: only collect what soxr still holds ready.
                error = soxr_process(m_soxr, m_mixed.data(), 0, nullptr, m_resampled.data(), wanted, &produced);
            }
            if (error) return MMSYSERR_ERROR;
            if (n != 0) m_fed = true;
            EncodeFloatToPcm(m_resampled.data(), produced * m_dst.channels, m_dst.bits, m_quantize, m_dither,
                             dst + size_t{dstUsed});
            dstUsed += static_cast<uint32_t>(produced * m_dst.frameBytes);
            roomFrames -= static_cast<uint32_t>(produced);
            framesDone += static_cast<uint32_t>(taken);
            if (n == 0 && produced < wanted) {
                if (m_draining) {
                    m_draining = false;
                    m_drained = true;
                }
                break;
            }
            if (n != 0 && taken == 0 && produced == 0) break;
        }
        srcUsed = framesDone * m_src.frameBytes;
        // A trailing incomplete frame goes with the last whole one.
        if (!(flags & ACM_STREAMCONVERTF_BLOCKALIGN) && acceptsInput && framesDone == framesIn) srcUsed = srcLength;
        return MMSYSERR_NOERROR;
    }

private:
    bool CreateResampler() {
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(m_highQuality ? SOXR_VHQ : SOXR_QQ, 0);
        const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
        soxr_error_t error = nullptr;
        m_soxr = soxr_create(m_srcRate, m_dstRate, m_dst.channels, &error, &io, &quality, &runtime);
        if (error) {
            soxr_delete(m_soxr);
            m_soxr = nullptr;
        }
        return m_soxr != nullptr;
    }

    // A new signal after a drained tail or a START: a fresh resampler (the
    // library's own clear does not restore its ratio).
    bool Restart() {
        m_draining = m_drained = false;
        if (!m_fed) return true;
        soxr_delete(m_soxr);
        m_soxr = nullptr;
        m_fed = false;
        return CreateResampler();
    }

    const float* Mix(const uint8_t* src, size_t frames) {
        DecodePcmToFloat(src, m_src.bits, frames * m_src.channels, m_decoded.data());
        if (m_src.channels == m_dst.channels) return m_decoded.data();
        MixChannels(m_matrix, m_decoded.data(), frames, m_mixed.data());
        return m_mixed.data();
    }

    PcmLayout m_src;
    PcmLayout m_dst;
    uint32_t m_srcRate;
    uint32_t m_dstRate;
    bool m_highQuality;
    Quantize m_quantize;
    ChannelMatrix m_matrix;
    TpdfDither m_dither;
    soxr_t m_soxr = nullptr;
    bool m_fed = false;       // the resampler holds signal
    bool m_draining = false;  // an END flush has begun and is not through
    bool m_drained = false;   // the tail is out; new input starts a new signal
    AcmFixedBuffer<float> m_decoded;
    AcmFixedBuffer<float> m_mixed;
    AcmFixedBuffer<float> m_resampled;
};

MMRESULT OpenPcmStream(const WAVEFORMATEX* src, const WAVEFORMATEX* dst, uint32_t flags,
                       std::unique_ptr<AcmStreamConverter>& out) {
    const PcmLayout srcLayout = LayoutOf(*src);
    const PcmLayout dstLayout = LayoutOf(*dst);
    const bool highQuality = (flags & ACM_STREAMOPENF_NONREALTIME) != 0;
    if (srcLayout.channels != dstLayout.channels && dstLayout.channels > 2) return ACMERR_NOTPOSSIBLE;
    if (src->nSamplesPerSec == dst->nSamplesPerSec) {
        std::unique_ptr<PcmFrameConverter> converter(
            new (std::nothrow) PcmFrameConverter(srcLayout, dstLayout, QuantizeFor(srcLayout, dstLayout, highQuality)));
        if (!converter || !converter->Open()) return MMSYSERR_NOMEM;
        out = std::move(converter);
        return MMSYSERR_NOERROR;
    }
    std::unique_ptr<PcmResampleConverter> converter(new (std::nothrow) PcmResampleConverter(
        srcLayout, src->nSamplesPerSec, dstLayout, dst->nSamplesPerSec, highQuality));
    if (!converter || !converter->Open()) return MMSYSERR_NOMEM;
    out = std::move(converter);
    return MMSYSERR_NOERROR;
}

}  // namespace

const AcmDriver kPcmDriver = {
    "pcm", kPcmTags, std::size(kPcmTags), ACMDRIVERDETAILS_SUPPORTF_CONVERTER,
    EnumeratePcm, DescribePcm, SuggestPcmForPcm, nullptr, OpenPcmStream,
};

}  // namespace orvano::acm
