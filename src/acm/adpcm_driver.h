// What the two 4-bit ADPCM drivers (IMA and Microsoft) share: the standard
// formats they enumerate and suggest, the checks of a block, and the block
// converters in both directions. A driver supplies its codec as a type:
//
//   struct Codec {
//       static constexpr uint16_t kTag;          // the format tag
//       static constexpr uint16_t kExtraBytes;   // cbSize of the standard formats
//       static constexpr uint16_t kMaxChannels;
//       static uint32_t SamplesPerBlock(uint32_t blockAlign, uint32_t channels);
//       static bool BlockAlignValid(uint32_t blockAlign, uint32_t channels);
//       // The standard extra bytes after wSamplesPerBlock.
//       static void WriteExtra(uint8_t* afterSamplesPerBlock);
//       // cbSize and the extra bytes after wSamplesPerBlock (cbSize >= 2).
//       static bool ExtraValid(const WAVEFORMATEX& format);
//       // A stream's codec, from its (described) ADPCM block.
//       explicit Codec(const WAVEFORMATEX& format);
//       // Decodes whole or cut-off block; false when the block is damaged.
//       bool DecodeBlock(const uint8_t* block, uint32_t length, uint32_t blockAlign, uint32_t channels,
//                        int16_t* out, uint32_t& samplesDecoded) const;
//       void EncodeBlock(const int16_t* in, uint32_t blockAlign, uint32_t channels, bool highQuality,
//                        uint8_t* block) const;
//   };
//
// Every ADPCM block starts its extra bytes with wSamplesPerBlock.
#pragma once

#include <iterator>

#include "acm/acm_support.h"

namespace orvano::acm::adpcm {

inline constexpr uint16_t kBitsPerSample = 4;
inline constexpr uint32_t kStandardRates[] = {8000, 11025, 22050, 44100};
inline constexpr uint16_t kStandardChannelCounts[] = {1, 2};
inline constexpr uint32_t kStandardFormatCount = std::size(kStandardRates) * std::size(kStandardChannelCounts);

inline const uint8_t* ExtraBytes(const WAVEFORMATEX* format) {
    return reinterpret_cast<const uint8_t*>(format) + 18;
}

// 256 bytes per channel, doubled from 22.05 kHz and doubled again from 44.1 kHz.
inline uint16_t StandardBlockAlign(uint32_t rate, uint16_t channels) {
    const uint32_t perChannel = rate < 22050 ? 256 : rate < 44100 ? 512 : 1024;
    return static_cast<uint16_t>(perChannel * channels);
}

template <typename Codec>
void WriteStandardFormat(uint32_t rate, uint16_t channels, WAVEFORMATEX* out) {
    const uint16_t blockAlign = StandardBlockAlign(rate, channels);
    const uint32_t samplesPerBlock = Codec::SamplesPerBlock(blockAlign, channels);
    out->wFormatTag = Codec::kTag;
    out->nChannels = channels;
    out->nSamplesPerSec = rate;
    out->nAvgBytesPerSec = static_cast<uint32_t>(uint64_t{rate} * blockAlign / samplesPerBlock);
    out->nBlockAlign = blockAlign;
    out->wBitsPerSample = kBitsPerSample;
    out->cbSize = Codec::kExtraBytes;
    uint8_t* extra = reinterpret_cast<uint8_t*>(out) + 18;
    StoreLe16(extra, static_cast<int16_t>(samplesPerBlock));
    Codec::WriteExtra(extra + 2);
}

// The driver's descriptor functions (see driver.h).
template <typename Codec>
bool EnumerateFormat(uint16_t tag, uint32_t index, WAVEFORMATEX* out) {
    if (tag != Codec::kTag || index >= kStandardFormatCount) return false;
    WriteStandardFormat<Codec>(kStandardRates[index / std::size(kStandardChannelCounts)],
                               kStandardChannelCounts[index % std::size(kStandardChannelCounts)], out);
    return true;
}

template <typename Codec>
MMRESULT DescribeFormat(const WAVEFORMATEX* format, char* name, size_t nameSize) {
    if (format->wFormatTag != Codec::kTag || !CommonFieldsValid(*format, Codec::kMaxChannels) ||
        format->wBitsPerSample != kBitsPerSample || format->cbSize < 2 ||
        !Codec::BlockAlignValid(format->nBlockAlign, format->nChannels))
        return ACMERR_NOTPOSSIBLE;
    const uint32_t samplesPerBlock = static_cast<uint16_t>(LoadLe16(ExtraBytes(format)));
    if (samplesPerBlock != Codec::SamplesPerBlock(format->nBlockAlign, format->nChannels) ||
        !Codec::ExtraValid(*format))
        return ACMERR_NOTPOSSIBLE;
    if (name) WriteFormatName(name, nameSize, format->nSamplesPerSec, kBitsPerSample, format->nChannels);
    return MMSYSERR_NOERROR;
}

template <typename Codec>
MMRESULT SuggestFromPcm(const WAVEFORMATEX* pcm, uint16_t tag, WAVEFORMATEX* out, uint32_t outSize) {
    if (tag != Codec::kTag || pcm->wBitsPerSample != 16 || pcm->nChannels > Codec::kMaxChannels ||
        outSize < 18u + Codec::kExtraBytes)
        return ACMERR_NOTPOSSIBLE;
    WriteStandardFormat<Codec>(pcm->nSamplesPerSec, pcm->nChannels, out);
    return MMSYSERR_NOERROR;
}

template <typename Codec>
class BlockDecoder final : public AcmBlockConverter {
public:
    explicit BlockDecoder(const WAVEFORMATEX& format)
        : AcmBlockConverter(format.nBlockAlign,
                            Codec::SamplesPerBlock(format.nBlockAlign, format.nChannels) * 2u * format.nChannels),
          m_channels(format.nChannels),
          m_codec(format) {}
    bool Allocate() { return m_samples.Allocate(DestinationBlockBytes() / 2); }

protected:
    MMRESULT ConvertBlocks(const uint8_t* src, uint32_t blocks, uint8_t* dst) override {
        for (uint32_t b = 0; b < blocks; ++b) {
            uint32_t decoded;
            if (!m_codec.DecodeBlock(src, SourceBlockBytes(), SourceBlockBytes(), m_channels, m_samples.data(),
                                     decoded))
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
        if (!m_codec.DecodeBlock(src, length, SourceBlockBytes(), m_channels, m_samples.data(), decoded)) return 0;
        const uint32_t bytes = decoded * 2u * m_channels;
        std::memcpy(dst, m_samples.data(), bytes);
        return bytes;
    }

private:
    uint16_t m_channels;
    Codec m_codec;
    AcmFixedBuffer<int16_t> m_samples;
};

template <typename Codec>
class BlockEncoder final : public AcmBlockConverter {
public:
    BlockEncoder(const WAVEFORMATEX& format, bool highQuality)
        : AcmBlockConverter(Codec::SamplesPerBlock(format.nBlockAlign, format.nChannels) * 2u * format.nChannels,
                            format.nBlockAlign),
          m_channels(format.nChannels),
          m_highQuality(highQuality),
          m_codec(format) {}
    bool Allocate() { return m_samples.Allocate(SourceBlockBytes() / 2); }

protected:
    MMRESULT ConvertBlocks(const uint8_t* src, uint32_t blocks, uint8_t* dst) override {
        for (uint32_t b = 0; b < blocks; ++b) {
            std::memcpy(m_samples.data(), src, SourceBlockBytes());
            m_codec.EncodeBlock(m_samples.data(), DestinationBlockBytes(), m_channels, m_highQuality, dst);
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
        m_codec.EncodeBlock(m_samples.data(), DestinationBlockBytes(), m_channels, m_highQuality, dst);
        return DestinationBlockBytes();
    }

private:
    uint16_t m_channels;
    bool m_highQuality;
    Codec m_codec;
    AcmFixedBuffer<int16_t> m_samples;
};

template <typename Codec>
MMRESULT OpenStream(const WAVEFORMATEX* src, const WAVEFORMATEX* dst, uint32_t flags,
                    std::unique_ptr<AcmStreamConverter>& out) {
    if (src->wFormatTag == Codec::kTag) {
        std::unique_ptr<BlockDecoder<Codec>> decoder(new (std::nothrow) BlockDecoder<Codec>(*src));
        if (!decoder || !decoder->Allocate()) return MMSYSERR_NOMEM;
        out = std::move(decoder);
    } else {
        std::unique_ptr<BlockEncoder<Codec>> encoder(
            new (std::nothrow) BlockEncoder<Codec>(*dst, (flags & ACM_STREAMOPENF_NONREALTIME) != 0));
        if (!encoder || !encoder->Allocate()) return MMSYSERR_NOMEM;
        out = std::move(encoder);
    }
    return MMSYSERR_NOERROR;
}

}  // namespace orvano::acm::adpcm
