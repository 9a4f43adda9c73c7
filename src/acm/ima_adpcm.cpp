// IMA ADPCM (4 bit) to and from 16-bit PCM, blocks as WAVE files carry them.
#include <iterator>

#include "acm/acm_support.h"
#include "acm/ima_adpcm_core.h"

namespace orvano::acm {

namespace {

constexpr uint16_t kBitsPerSample = 4;
constexpr uint16_t kExtraBytes = 2;  // wSamplesPerBlock
constexpr uint32_t kRates[] = {8000, 11025, 22050, 44100};
constexpr uint16_t kChannelCounts[] = {1, 2};
constexpr uint32_t kFormatCount = std::size(kRates) * std::size(kChannelCounts);

constexpr AcmFormatTagInfo kImaTags[] = {
    {WAVE_FORMAT_IMA_ADPCM, "IMA ADPCM", 18 + kExtraBytes, kFormatCount},
};

const uint8_t* ExtraBytes(const WAVEFORMATEX* format) { return reinterpret_cast<const uint8_t*>(format) + 18; }

// 256 bytes per channel, doubled from 22.05 kHz and doubled again from 44.1 kHz.
uint16_t StandardBlockAlign(uint32_t rate, uint16_t channels) {
    const uint32_t perChannel = rate < 22050 ? 256 : rate < 44100 ? 512 : 1024;
    return static_cast<uint16_t>(perChannel * channels);
}

void WriteImaFormat(uint32_t rate, uint16_t channels, WAVEFORMATEX* out) {
    const uint16_t blockAlign = StandardBlockAlign(rate, channels);
    const uint32_t samplesPerBlock = ima::SamplesPerBlock(blockAlign, channels);
    out->wFormatTag = WAVE_FORMAT_IMA_ADPCM;
    out->nChannels = channels;
    out->nSamplesPerSec = rate;
    out->nAvgBytesPerSec = static_cast<uint32_t>(uint64_t{rate} * blockAlign / samplesPerBlock);
    out->nBlockAlign = blockAlign;
    out->wBitsPerSample = kBitsPerSample;
    out->cbSize = kExtraBytes;
    StoreLe16(reinterpret_cast<uint8_t*>(out) + 18, static_cast<int16_t>(samplesPerBlock));
}

bool EnumerateIma(uint16_t tag, uint32_t index, WAVEFORMATEX* out) {
    if (tag != WAVE_FORMAT_IMA_ADPCM || index >= kFormatCount) return false;
    WriteImaFormat(kRates[index / std::size(kChannelCounts)], kChannelCounts[index % std::size(kChannelCounts)], out);
    return true;
}

MMRESULT DescribeIma(const WAVEFORMATEX* format, char* name, size_t nameSize) {
    if (format->wFormatTag != WAVE_FORMAT_IMA_ADPCM || !CommonFieldsValid(*format) ||
        format->wBitsPerSample != kBitsPerSample || format->cbSize != kExtraBytes ||
        !ima::BlockAlignValid(format->nBlockAlign, format->nChannels))
        return ACMERR_NOTPOSSIBLE;
    const uint32_t samplesPerBlock = static_cast<uint16_t>(LoadLe16(ExtraBytes(format)));
    if (samplesPerBlock != ima::SamplesPerBlock(format->nBlockAlign, format->nChannels)) return ACMERR_NOTPOSSIBLE;
    if (name) WriteFormatName(name, nameSize, format->nSamplesPerSec, kBitsPerSample, format->nChannels);
    return MMSYSERR_NOERROR;
}

MMRESULT SuggestPcmForIma(const WAVEFORMATEX* format, WAVEFORMATEX* pcm) {
    *pcm = MakePcmFormat(format->nSamplesPerSec, 16, format->nChannels);
    return MMSYSERR_NOERROR;
}

MMRESULT SuggestImaFromPcm(const WAVEFORMATEX* pcm, uint16_t tag, WAVEFORMATEX* out, uint32_t outSize) {
    if (tag != WAVE_FORMAT_IMA_ADPCM || pcm->wBitsPerSample != 16 || outSize < 18u + kExtraBytes)
        return ACMERR_NOTPOSSIBLE;
    WriteImaFormat(pcm->nSamplesPerSec, pcm->nChannels, out);
    return MMSYSERR_NOERROR;
}

class ImaDecoder final : public AcmBlockConverter {
public:
    ImaDecoder(uint16_t blockAlign, uint16_t channels)
        : AcmBlockConverter(blockAlign, ima::SamplesPerBlock(blockAlign, channels) * 2u * channels),
          m_channels(channels) {}
    bool Allocate() { return m_samples.Allocate(DestinationBlockBytes() / 2); }

protected:
    MMRESULT ConvertBlocks(const uint8_t* src, uint32_t blocks, uint8_t* dst) override {
        for (uint32_t b = 0; b < blocks; ++b) {
            uint32_t decoded;
            if (ima::DecodeBlock(src, SourceBlockBytes(), SourceBlockBytes(), m_channels, m_samples.data(), decoded) !=
                ima::DecodeResult::kOk)
                return MMSYSERR_ERROR;
            std::memcpy(dst, m_samples.data(), DestinationBlockBytes());
            src += SourceBlockBytes();
            dst += DestinationBlockBytes();
        }
        return MMSYSERR_NOERROR;
    }
    uint32_t ConvertPartialBlock(const uint8_t* src, uint32_t length, uint8_t* dst) override {
        uint32_t decoded;
        // A damaged cut-off block yields nothing rather than noise.
        if (ima::DecodeBlock(src, length, SourceBlockBytes(), m_channels, m_samples.data(), decoded) !=
            ima::DecodeResult::kOk)
            return 0;
        const uint32_t bytes = decoded * 2u * m_channels;
        std::memcpy(dst, m_samples.data(), bytes);
        return bytes;
    }

private:
    uint16_t m_channels;
    AcmFixedBuffer<int16_t> m_samples;
};

class ImaEncoder final : public AcmBlockConverter {
public:
    ImaEncoder(uint16_t blockAlign, uint16_t channels, bool highQuality)
        : AcmBlockConverter(ima::SamplesPerBlock(blockAlign, channels) * 2u * channels, blockAlign),
          m_channels(channels),
          m_highQuality(highQuality) {}
    bool Allocate() { return m_samples.Allocate(SourceBlockBytes() / 2); }

protected:
    MMRESULT ConvertBlocks(const uint8_t* src, uint32_t blocks, uint8_t* dst) override {
        for (uint32_t b = 0; b < blocks; ++b) {
            std::memcpy(m_samples.data(), src, SourceBlockBytes());
            ima::EncodeBlock(m_samples.data(), DestinationBlockBytes(), m_channels, m_highQuality, dst);
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
        ima::EncodeBlock(m_samples.data(), DestinationBlockBytes(), m_channels, m_highQuality, dst);
        return DestinationBlockBytes();
    }

private:
    uint16_t m_channels;
    bool m_highQuality;
    AcmFixedBuffer<int16_t> m_samples;
};

MMRESULT OpenImaStream(const WAVEFORMATEX* src, const WAVEFORMATEX* dst, uint32_t flags,
                       std::unique_ptr<AcmStreamConverter>& out) {
    if (src->wFormatTag == WAVE_FORMAT_IMA_ADPCM) {
        std::unique_ptr<ImaDecoder> decoder(new (std::nothrow) ImaDecoder(src->nBlockAlign, src->nChannels));
        if (!decoder || !decoder->Allocate()) return MMSYSERR_NOMEM;
        out = std::move(decoder);
    } else {
        std::unique_ptr<ImaEncoder> encoder(new (std::nothrow) ImaEncoder(
            dst->nBlockAlign, dst->nChannels, (flags & ACM_STREAMOPENF_NONREALTIME) != 0));
        if (!encoder || !encoder->Allocate()) return MMSYSERR_NOMEM;
        out = std::move(encoder);
    }
    return MMSYSERR_NOERROR;
}

}  // namespace

const AcmDriver kImaAdpcmDriver = {
    "ima-adpcm", kImaTags, std::size(kImaTags), ACMDRIVERDETAILS_SUPPORTF_CODEC,
    EnumerateIma, DescribeIma, SuggestPcmForIma, SuggestImaFromPcm, OpenImaStream,
};

}  // namespace orvano::acm
