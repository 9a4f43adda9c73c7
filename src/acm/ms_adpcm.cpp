// Microsoft ADPCM (4 bit) to and from 16-bit PCM, with the coefficient pairs
// of the format block (the seven standard ones in the formats made here).
#include <iterator>

#include "acm/acm_support.h"
#include "acm/ms_adpcm_core.h"

namespace orvano::acm {

namespace {

constexpr uint16_t kBitsPerSample = 4;
constexpr uint16_t kStandardExtraBytes = 4 + 4 * msadpcm::kStandardCoefficientCount;
constexpr uint32_t kRates[] = {8000, 11025, 22050, 44100};
constexpr uint16_t kChannelCounts[] = {1, 2};
constexpr uint32_t kFormatCount = std::size(kRates) * std::size(kChannelCounts);

constexpr AcmFormatTagInfo kMsAdpcmTags[] = {
    {WAVE_FORMAT_ADPCM, "Microsoft ADPCM", 18 + kStandardExtraBytes, kFormatCount},
};

// Extra bytes: wSamplesPerBlock, wNumCoef, then wNumCoef pairs of int16.
const uint8_t* ExtraBytes(const WAVEFORMATEX* format) { return reinterpret_cast<const uint8_t*>(format) + 18; }

uint16_t StandardBlockAlign(uint32_t rate, uint16_t channels) {
    const uint32_t perChannel = rate < 22050 ? 256 : rate < 44100 ? 512 : 1024;
    return static_cast<uint16_t>(perChannel * channels);
}

void WriteMsAdpcmFormat(uint32_t rate, uint16_t channels, WAVEFORMATEX* out) {
    const uint16_t blockAlign = StandardBlockAlign(rate, channels);
    const uint32_t samplesPerBlock = msadpcm::SamplesPerBlock(blockAlign, channels);
    out->wFormatTag = WAVE_FORMAT_ADPCM;
    out->nChannels = channels;
    out->nSamplesPerSec = rate;
    out->nAvgBytesPerSec = static_cast<uint32_t>(uint64_t{rate} * blockAlign / samplesPerBlock);
    out->nBlockAlign = blockAlign;
    out->wBitsPerSample = kBitsPerSample;
    out->cbSize = kStandardExtraBytes;
    uint8_t* extra = reinterpret_cast<uint8_t*>(out) + 18;
    StoreLe16(extra, static_cast<int16_t>(samplesPerBlock));
    StoreLe16(extra + 2, msadpcm::kStandardCoefficientCount);
    for (uint32_t i = 0; i < msadpcm::kStandardCoefficientCount; ++i) {
        StoreLe16(extra + 4 + 4 * i, msadpcm::kStandardCoefficients[i].first);
        StoreLe16(extra + 6 + 4 * i, msadpcm::kStandardCoefficients[i].second);
    }
}

bool EnumerateMsAdpcm(uint16_t tag, uint32_t index, WAVEFORMATEX* out) {
    if (tag != WAVE_FORMAT_ADPCM || index >= kFormatCount) return false;
    WriteMsAdpcmFormat(kRates[index / std::size(kChannelCounts)], kChannelCounts[index % std::size(kChannelCounts)],
                       out);
    return true;
}

MMRESULT DescribeMsAdpcm(const WAVEFORMATEX* format, char* name, size_t nameSize) {
    if (format->wFormatTag != WAVE_FORMAT_ADPCM || !CommonFieldsValid(*format, msadpcm::kMaxChannels) ||
        format->wBitsPerSample != kBitsPerSample || format->cbSize < 4 ||
        !msadpcm::BlockAlignValid(format->nBlockAlign, format->nChannels))
        return ACMERR_NOTPOSSIBLE;
    const uint8_t* extra = ExtraBytes(format);
    const uint32_t samplesPerBlock = static_cast<uint16_t>(LoadLe16(extra));
    const uint32_t coefficientCount = static_cast<uint16_t>(LoadLe16(extra + 2));
    if (samplesPerBlock != msadpcm::SamplesPerBlock(format->nBlockAlign, format->nChannels) ||
        coefficientCount < msadpcm::kStandardCoefficientCount || coefficientCount > msadpcm::kMaxCoefficientCount ||
        format->cbSize != 4 + 4 * coefficientCount)
        return ACMERR_NOTPOSSIBLE;
    if (name) WriteFormatName(name, nameSize, format->nSamplesPerSec, kBitsPerSample, format->nChannels);
    return MMSYSERR_NOERROR;
}

MMRESULT SuggestPcmForMsAdpcm(const WAVEFORMATEX* format, WAVEFORMATEX* pcm) {
    *pcm = MakePcmFormat(format->nSamplesPerSec, 16, format->nChannels);
    return MMSYSERR_NOERROR;
}

MMRESULT SuggestMsAdpcmFromPcm(const WAVEFORMATEX* pcm, uint16_t tag, WAVEFORMATEX* out, uint32_t outSize) {
    if (tag != WAVE_FORMAT_ADPCM || pcm->wBitsPerSample != 16 || pcm->nChannels > msadpcm::kMaxChannels ||
        outSize < 18u + kStandardExtraBytes)
        return ACMERR_NOTPOSSIBLE;
    WriteMsAdpcmFormat(pcm->nSamplesPerSec, pcm->nChannels, out);
    return MMSYSERR_NOERROR;
}

// The coefficient pairs of a (described) format block, copied.
class CoefficientTable {
public:
    void Load(const WAVEFORMATEX* format) {
        const uint8_t* extra = ExtraBytes(format);
        m_count = static_cast<uint16_t>(LoadLe16(extra + 2));
        for (uint32_t i = 0; i < m_count; ++i)
            m_pairs[i] = {LoadLe16(extra + 4 + 4 * i), LoadLe16(extra + 6 + 4 * i)};
    }
    msadpcm::Coefficients Get() const { return {m_pairs, m_count}; }

private:
    msadpcm::CoefficientPair m_pairs[msadpcm::kMaxCoefficientCount] = {};
    uint32_t m_count = 0;
};

class MsAdpcmDecoder final : public AcmBlockConverter {
public:
    MsAdpcmDecoder(const WAVEFORMATEX* format)
        : AcmBlockConverter(format->nBlockAlign,
                            msadpcm::SamplesPerBlock(format->nBlockAlign, format->nChannels) * 2u * format->nChannels),
          m_channels(format->nChannels) {
        m_coefficients.Load(format);
    }
    bool Allocate() { return m_samples.Allocate(DestinationBlockBytes() / 2); }

protected:
    MMRESULT ConvertBlocks(const uint8_t* src, uint32_t blocks, uint8_t* dst) override {
        for (uint32_t b = 0; b < blocks; ++b) {
            uint32_t decoded;
            if (msadpcm::DecodeBlock(src, SourceBlockBytes(), SourceBlockBytes(), m_channels, m_coefficients.Get(),
                                     m_samples.data(), decoded) != msadpcm::DecodeResult::kOk)
                return MMSYSERR_ERROR;
            std::memcpy(dst, m_samples.data(), DestinationBlockBytes());
            src += SourceBlockBytes();
            dst += DestinationBlockBytes();
        }
        return MMSYSERR_NOERROR;
    }
    uint32_t ConvertPartialBlock(const uint8_t* src, uint32_t length, uint8_t* dst) override {
        uint32_t decoded;
        if (msadpcm::DecodeBlock(src, length, SourceBlockBytes(), m_channels, m_coefficients.Get(), m_samples.data(),
                                 decoded) != msadpcm::DecodeResult::kOk)
            return 0;
        const uint32_t bytes = decoded * 2u * m_channels;
        std::memcpy(dst, m_samples.data(), bytes);
        return bytes;
    }

private:
    uint16_t m_channels;
    CoefficientTable m_coefficients;
    AcmFixedBuffer<int16_t> m_samples;
};

class MsAdpcmEncoder final : public AcmBlockConverter {
public:
    MsAdpcmEncoder(const WAVEFORMATEX* format, bool highQuality)
        : AcmBlockConverter(msadpcm::SamplesPerBlock(format->nBlockAlign, format->nChannels) * 2u * format->nChannels,
                            format->nBlockAlign),
          m_channels(format->nChannels),
          m_highQuality(highQuality) {
        m_coefficients.Load(format);
    }
    bool Allocate() { return m_samples.Allocate(SourceBlockBytes() / 2); }

protected:
    MMRESULT ConvertBlocks(const uint8_t* src, uint32_t blocks, uint8_t* dst) override {
        for (uint32_t b = 0; b < blocks; ++b) {
            std::memcpy(m_samples.data(), src, SourceBlockBytes());
            msadpcm::EncodeBlock(m_samples.data(), DestinationBlockBytes(), m_channels, m_coefficients.Get(),
                                 m_highQuality, dst);
            src += SourceBlockBytes();
            dst += DestinationBlockBytes();
        }
        return MMSYSERR_NOERROR;
    }
    // The last piece of a stream: padded with silence to a whole block.
    uint32_t ConvertPartialBlock(const uint8_t* src, uint32_t length, uint8_t* dst) override {
        const uint32_t frameBytes = 2u * m_channels;
        const uint32_t bytes = length / frameBytes * frameBytes;
        std::memcpy(m_samples.data(), src, bytes);
        std::memset(reinterpret_cast<uint8_t*>(m_samples.data()) + bytes, 0, SourceBlockBytes() - bytes);
        msadpcm::EncodeBlock(m_samples.data(), DestinationBlockBytes(), m_channels, m_coefficients.Get(), m_highQuality,
                             dst);
        return DestinationBlockBytes();
    }

private:
    uint16_t m_channels;
    bool m_highQuality;
    CoefficientTable m_coefficients;
    AcmFixedBuffer<int16_t> m_samples;
};

MMRESULT OpenMsAdpcmStream(const WAVEFORMATEX* src, const WAVEFORMATEX* dst, uint32_t flags,
                           std::unique_ptr<AcmStreamConverter>& out) {
    if (src->wFormatTag == WAVE_FORMAT_ADPCM) {
        std::unique_ptr<MsAdpcmDecoder> decoder(new (std::nothrow) MsAdpcmDecoder(src));
        if (!decoder || !decoder->Allocate()) return MMSYSERR_NOMEM;
        out = std::move(decoder);
    } else {
        std::unique_ptr<MsAdpcmEncoder> encoder(
            new (std::nothrow) MsAdpcmEncoder(dst, (flags & ACM_STREAMOPENF_NONREALTIME) != 0));
        if (!encoder || !encoder->Allocate()) return MMSYSERR_NOMEM;
        out = std::move(encoder);
    }
    return MMSYSERR_NOERROR;
}

}  // namespace

const AcmDriver kMsAdpcmDriver = {
    "ms-adpcm", kMsAdpcmTags, std::size(kMsAdpcmTags), ACMDRIVERDETAILS_SUPPORTF_CODEC,
    EnumerateMsAdpcm, DescribeMsAdpcm, SuggestPcmForMsAdpcm, SuggestMsAdpcmFromPcm, OpenMsAdpcmStream,
};

}  // namespace orvano::acm
