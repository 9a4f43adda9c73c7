// GSM 6.10 (mono, 65-byte blocks of 320 samples) to and from 16-bit PCM.
#include <algorithm>
#include <iterator>

#include "acm/acm_support.h"
#include "acm/gsm610_core.h"

namespace orvano::acm {

namespace {

constexpr uint16_t kExtraBytes = 2;  // wSamplesPerBlock
constexpr uint32_t kRates[] = {8000, 11025, 22050, 44100};
constexpr uint32_t kPcmBlockBytes = gsm610::kSamplesPerBlock * 2;

constexpr AcmFormatTagInfo kGsmTags[] = {
    {WAVE_FORMAT_GSM610, "GSM 6.10", 18 + kExtraBytes, std::size(kRates)},
};

void WriteGsmFormat(uint32_t rate, WAVEFORMATEX* out) {
    out->wFormatTag = WAVE_FORMAT_GSM610;
    out->nChannels = 1;
    out->nSamplesPerSec = rate;
    out->nAvgBytesPerSec = static_cast<uint32_t>(uint64_t{rate} * gsm610::kBlockBytes / gsm610::kSamplesPerBlock);
    out->nBlockAlign = gsm610::kBlockBytes;
    out->wBitsPerSample = 0;
    out->cbSize = kExtraBytes;
    StoreLe16(reinterpret_cast<uint8_t*>(out) + 18, gsm610::kSamplesPerBlock);
}

bool EnumerateGsm(uint16_t tag, uint32_t index, WAVEFORMATEX* out) {
    if (tag != WAVE_FORMAT_GSM610 || index >= std::size(kRates)) return false;
    WriteGsmFormat(kRates[index], out);
    return true;
}

MMRESULT DescribeGsm(const WAVEFORMATEX* format, char* name, size_t nameSize) {
    // wBitsPerSample means nothing here; writers differ in what they put.
    if (format->wFormatTag != WAVE_FORMAT_GSM610 || !CommonFieldsValid(*format, 1) ||
        format->nBlockAlign != gsm610::kBlockBytes || format->cbSize != kExtraBytes ||
        static_cast<uint16_t>(LoadLe16(reinterpret_cast<const uint8_t*>(format) + 18)) != gsm610::kSamplesPerBlock)
        return ACMERR_NOTPOSSIBLE;
    if (name) WriteFormatName(name, nameSize, format->nSamplesPerSec, 0, 1);
    return MMSYSERR_NOERROR;
}

MMRESULT SuggestPcmForGsm(const WAVEFORMATEX* format, WAVEFORMATEX* pcm) {
    *pcm = MakePcmFormat(format->nSamplesPerSec, 16, 1);
    return MMSYSERR_NOERROR;
}

MMRESULT SuggestGsmFromPcm(const WAVEFORMATEX* pcm, uint16_t tag, WAVEFORMATEX* out, uint32_t outSize) {
    if (tag != WAVE_FORMAT_GSM610 || pcm->wBitsPerSample != 16 || pcm->nChannels != 1 || outSize < 18u + kExtraBytes)
        return ACMERR_NOTPOSSIBLE;
    WriteGsmFormat(pcm->nSamplesPerSec, out);
    return MMSYSERR_NOERROR;
}

// The coder keeps filter memory across blocks, so unlike the stateless
// block converters it must forget it when a stream starts again.
class GsmConverter final : public AcmStreamConverter {
public:
    explicit GsmConverter(bool encoding) : m_encoding(encoding) {}
    bool Open() { return m_codec.Open(); }

    uint32_t SourceBlockBytes() const override { return m_encoding ? kPcmBlockBytes : gsm610::kBlockBytes; }
    uint32_t DestinationBlockBytes() const override { return m_encoding ? gsm610::kBlockBytes : kPcmBlockBytes; }

    MMRESULT Convert(const uint8_t* src, uint32_t srcLength, uint32_t& srcUsed, uint8_t* dst, uint32_t dstRoom,
                     uint32_t& dstUsed, uint32_t flags) override {
        srcUsed = 0;
        dstUsed = 0;
        // A new signal starts after END or with START; the fresh state is
        // made only when its data arrives.
        if (flags & ACM_STREAMCONVERTF_START) m_resetPending = true;
        if (m_resetPending && srcLength != 0) {
            if (!m_codec.Reset()) return MMSYSERR_NOMEM;
            m_resetPending = false;
        }
        const uint32_t sourceBlock = SourceBlockBytes();
        const uint32_t destinationBlock = DestinationBlockBytes();
        const uint32_t wholeBlocks = srcLength / sourceBlock;
        const uint32_t blocks = std::min(wholeBlocks, dstRoom / destinationBlock);
        for (uint32_t b = 0; b < blocks; ++b) {
            ConvertBlock(src + srcUsed, sourceBlock, dst + dstUsed);
            srcUsed += sourceBlock;
            dstUsed += destinationBlock;
        }
        const uint32_t rest = srcLength - srcUsed;
        if (blocks == wholeBlocks && rest != 0 && !(flags & ACM_STREAMCONVERTF_BLOCKALIGN) &&
            dstRoom - dstUsed >= destinationBlock) {
            dstUsed += ConvertBlock(src + srcUsed, rest, dst + dstUsed);
            srcUsed = srcLength;
        }
        if ((flags & ACM_STREAMCONVERTF_END) && srcUsed == srcLength) m_resetPending = true;
        return MMSYSERR_NOERROR;
    }

private:
    // One whole or trailing partial block; returns the bytes written. A
    // short PCM piece is padded with silence, a short GSM block decodes the
    // frames it holds.
    uint32_t ConvertBlock(const uint8_t* src, uint32_t length, uint8_t* dst) {
        if (m_encoding) {
            const uint32_t bytes = length & ~1u;
            std::memcpy(m_samples, src, bytes);
            std::memset(reinterpret_cast<uint8_t*>(m_samples) + bytes, 0, kPcmBlockBytes - bytes);
            m_codec.EncodeBlock(m_samples, dst);
            return gsm610::kBlockBytes;
        }
        const uint32_t samples = m_codec.DecodeBlock(src, length, m_samples);
        std::memcpy(dst, m_samples, samples * 2u);
        return samples * 2u;
    }

    bool m_encoding;
    bool m_resetPending = false;
    gsm610::Wav49Codec m_codec;
    int16_t m_samples[gsm610::kSamplesPerBlock] = {};
};

MMRESULT OpenGsmStream(const WAVEFORMATEX* src, const WAVEFORMATEX*, uint32_t,
                       std::unique_ptr<AcmStreamConverter>& out) {
    std::unique_ptr<GsmConverter> converter(new (std::nothrow) GsmConverter(src->wFormatTag != WAVE_FORMAT_GSM610));
    if (!converter || !converter->Open()) return MMSYSERR_NOMEM;
    out = std::move(converter);
    return MMSYSERR_NOERROR;
}

}  // namespace

const AcmDriver kGsm610Driver = {
    "gsm610", kGsmTags, std::size(kGsmTags), ACMDRIVERDETAILS_SUPPORTF_CODEC,
    EnumerateGsm, DescribeGsm, SuggestPcmForGsm, SuggestGsmFromPcm, OpenGsmStream,
};

}  // namespace orvano::acm
