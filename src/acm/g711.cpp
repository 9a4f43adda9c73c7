// CCITT G.711 A-law and u-law: 8-bit companded samples to and from 16-bit
// PCM. Encoding looks the 13-bit (A-law) or 14-bit (u-law) linear value up
// in a table built at compile time by the standard segment search; decoding
// is one table look-up per sample.
#include <array>
#include <iterator>

#include "acm/acm_support.h"

namespace orvano::acm {

namespace {

constexpr int16_t ALawToLinear(uint8_t code) {
    const int value = code ^ 0x55;
    int magnitude = (value & 0x0F) << 4;
    const int segment = (value & 0x70) >> 4;
    if (segment == 0)
        magnitude += 8;
    else
        magnitude = (magnitude + 0x108) << (segment - 1);
    return static_cast<int16_t>((value & 0x80) ? magnitude : -magnitude);
}

constexpr int16_t ULawToLinear(uint8_t code) {
    constexpr int kBias = 0x84;
    const int value = ~code & 0xFF;
    const int magnitude = (((value & 0x0F) << 3) + kBias) << ((value & 0x70) >> 4);
    return static_cast<int16_t>((value & 0x80) ? kBias - magnitude : magnitude - kBias);
}

// `linear13` is a 16-bit sample shifted right by 3.
constexpr uint8_t LinearToALaw(int linear13) {
    constexpr int kSegmentEnds[8] = {0x1F, 0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF};
    int mask = 0xD5;
    if (linear13 < 0) {
        mask = 0x55;
        linear13 = -linear13 - 1;
    }
    int segment = 0;
    while (segment < 8 && linear13 > kSegmentEnds[segment]) ++segment;
    if (segment == 8) return static_cast<uint8_t>(0x7F ^ mask);
    const int mantissa = (segment < 2 ? linear13 >> 1 : linear13 >> segment) & 0x0F;
    return static_cast<uint8_t>(((segment << 4) | mantissa) ^ mask);
}

// `linear14` is a 16-bit sample shifted right by 2.
constexpr uint8_t LinearToULaw(int linear14) {
    constexpr int kSegmentEnds[8] = {0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF, 0x1FFF};
    constexpr int kClip = 8159;
    int mask = 0xFF;
    if (linear14 < 0) {
        linear14 = -linear14;
        mask = 0x7F;
    }
    if (linear14 > kClip) linear14 = kClip;
    linear14 += 0x84 >> 2;
    int segment = 0;
    while (segment < 8 && linear14 > kSegmentEnds[segment]) ++segment;
    if (segment == 8) return static_cast<uint8_t>(0x7F ^ mask);
    return static_cast<uint8_t>(((segment << 4) | ((linear14 >> (segment + 1)) & 0x0F)) ^ mask);
}

template <int16_t (*Decode)(uint8_t)>
constexpr std::array<int16_t, 256> MakeDecodeTable() {
    std::array<int16_t, 256> table{};
    for (int code = 0; code < 256; ++code) table[code] = Decode(static_cast<uint8_t>(code));
    return table;
}

// Indexed by the top 13 (A-law) or 14 (u-law) bits of the sample, as unsigned.
template <int IndexBits, uint8_t (*Encode)(int)>
constexpr std::array<uint8_t, (1 << IndexBits)> MakeEncodeTable() {
    std::array<uint8_t, (1 << IndexBits)> table{};
    for (int index = 0; index < (1 << IndexBits); ++index) {
        const int linear = index >= (1 << (IndexBits - 1)) ? index - (1 << IndexBits) : index;
        table[index] = Encode(linear);
    }
    return table;
}

constexpr auto kALawDecode = MakeDecodeTable<ALawToLinear>();
constexpr auto kULawDecode = MakeDecodeTable<ULawToLinear>();
constexpr auto kALawEncode = MakeEncodeTable<13, LinearToALaw>();
constexpr auto kULawEncode = MakeEncodeTable<14, LinearToULaw>();

constexpr uint32_t kRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000, 96000};
constexpr uint16_t kChannelCounts[] = {1, 2};
constexpr uint32_t kFormatCount = std::size(kRates) * std::size(kChannelCounts);

constexpr AcmFormatTagInfo kG711Tags[] = {
    {WAVE_FORMAT_ALAW, "CCITT A-Law", 18, kFormatCount},
    {WAVE_FORMAT_MULAW, "CCITT u-Law", 18, kFormatCount},
};

bool IsG711(uint16_t tag) { return tag == WAVE_FORMAT_ALAW || tag == WAVE_FORMAT_MULAW; }

WAVEFORMATEX MakeG711Format(uint16_t tag, uint32_t rate, uint16_t channels) {
    WAVEFORMATEX format = MakePcmFormat(rate, 8, channels);
    format.wFormatTag = tag;
    return format;
}

bool EnumerateG711(uint16_t tag, uint32_t index, WAVEFORMATEX* out) {
    if (!IsG711(tag) || index >= kFormatCount) return false;
    *out = MakeG711Format(tag, kRates[index / std::size(kChannelCounts)],
                          kChannelCounts[index % std::size(kChannelCounts)]);
    return true;
}

MMRESULT DescribeG711(const WAVEFORMATEX* format, char* name, size_t nameSize) {
    if (!IsG711(format->wFormatTag) || !CommonFieldsValid(*format) || format->wBitsPerSample != 8 ||
        !UncompressedLayoutValid(*format))
        return ACMERR_NOTPOSSIBLE;
    if (name) WriteFormatName(name, nameSize, format->nSamplesPerSec, 8, format->nChannels);
    return MMSYSERR_NOERROR;
}

MMRESULT SuggestG711FromPcm(const WAVEFORMATEX* pcm, uint16_t tag, WAVEFORMATEX* out, uint32_t outSize) {
    if (!IsG711(tag) || pcm->wBitsPerSample != 16 || outSize < 18) return ACMERR_NOTPOSSIBLE;
    *out = MakeG711Format(tag, pcm->nSamplesPerSec, pcm->nChannels);
    return MMSYSERR_NOERROR;
}

class G711Decoder final : public AcmBlockConverter {
public:
    G711Decoder(const std::array<int16_t, 256>& table, uint16_t channels)
        : AcmBlockConverter(channels, 2u * channels), m_table(table) {}

protected:
    MMRESULT ConvertBlocks(const uint8_t* src, uint32_t frames, uint8_t* dst) override {
        const size_t samples = size_t{frames} * SourceBlockBytes();
        for (size_t i = 0; i < samples; ++i) StoreLe16(dst + 2 * i, m_table[src[i]]);
        return MMSYSERR_NOERROR;
    }
    uint32_t ConvertPartialBlock(const uint8_t*, uint32_t, uint8_t*) override { return 0; }

private:
    const std::array<int16_t, 256>& m_table;
};

template <size_t TableSize>
class G711Encoder final : public AcmBlockConverter {
public:
    G711Encoder(const std::array<uint8_t, TableSize>& table, int shift, uint16_t channels)
        : AcmBlockConverter(2u * channels, channels), m_table(table), m_shift(shift) {}

protected:
    MMRESULT ConvertBlocks(const uint8_t* src, uint32_t frames, uint8_t* dst) override {
        const size_t samples = size_t{frames} * DestinationBlockBytes();
        for (size_t i = 0; i < samples; ++i)
            dst[i] = m_table[static_cast<uint16_t>(LoadLe16(src + 2 * i)) >> m_shift];
        return MMSYSERR_NOERROR;
    }
    uint32_t ConvertPartialBlock(const uint8_t*, uint32_t, uint8_t*) override { return 0; }

private:
    const std::array<uint8_t, TableSize>& m_table;
    int m_shift;
};

MMRESULT OpenG711Stream(const WAVEFORMATEX* src, const WAVEFORMATEX* dst, uint32_t,
                        std::unique_ptr<AcmStreamConverter>& out) {
    if (IsG711(src->wFormatTag)) {
        out.reset(new (std::nothrow)
                      G711Decoder(src->wFormatTag == WAVE_FORMAT_ALAW ? kALawDecode : kULawDecode, src->nChannels));
    } else if (dst->wFormatTag == WAVE_FORMAT_ALAW) {
        out.reset(new (std::nothrow) G711Encoder<kALawEncode.size()>(kALawEncode, 3, dst->nChannels));
    } else {
        out.reset(new (std::nothrow) G711Encoder<kULawEncode.size()>(kULawEncode, 2, dst->nChannels));
    }
    return out ? MMSYSERR_NOERROR : MMSYSERR_NOMEM;
}

}  // namespace

const AcmDriver kG711Driver = {
    "g711", kG711Tags, std::size(kG711Tags), ACMDRIVERDETAILS_SUPPORTF_CODEC,
    EnumerateG711, DescribeG711, SuggestPcm16, SuggestG711FromPcm, OpenG711Stream,
};

}  // namespace orvano::acm
